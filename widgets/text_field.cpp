// The single-line text field over the text-edit engine.
#include "widgets/text_field.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "core/alert.h"
#include "core/strings.h"
#include "core/window_state.h"
#include "graphics/palette.h"
#include "graphics/text_layout.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_internals.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

int OGLE_x = 0;
int OGLE_y = 0;
int OGLE_entry_dx = 0;
float OGLE_dx = 0;
float OGLE_dy = 0;
std::string* OGLE_input = nullptr;
int OGLE_edit = 0;

namespace {
constexpr float line_h = 11;
// How far the text may reach right of the box before it would wrap: the field is one line
// however long its text, or every wrapped line would be drawn over the first.
constexpr float logical_reach = 1e7f;
}  // namespace

void OGLE_GetVisibleBounds(OGLE_Rec*, float r[4]) {
    r[0] = static_cast<float>(OGLE_x);
    r[1] = static_cast<float>(OGLE_y) - 2;
    r[2] = static_cast<float>(OGLE_x + OGLE_entry_dx);
    r[3] = static_cast<float>(OGLE_y) - 2 + line_h;
}

void OGLE_GetLogicalBounds(OGLE_Rec* rec, float r[4]) {
    OGLE_GetVisibleBounds(rec, r);
    r[0] -= OGLE_dx;
    r[1] -= OGLE_dy;
    r[2] += logical_reach - OGLE_dx;
    r[3] -= OGLE_dy;
}

void OGLE_SetLogicalHeight(OGLE_Rec*, float) {}

void OGLE_ScrollTo(OGLE_Rec*, float off[2]) {
    OGLE_dx = off[0];
    OGLE_dy = off[1];
}

void OGLE_GetText(OGLE_Rec*, const char** begin, const char** end) {
    if (!OGLE_input) {
        *begin = *end = "";
        return;
    }
    *begin = OGLE_input->data();
    *end = *begin + OGLE_input->size();
}

void OGLE_ReplaceTextFunc(OGLE_Rec*, int from, int to, const char* begin, const char* end) {
    OGLE_edit = 1;
    if (!OGLE_input) return;
    size_t len = OGLE_input->size();
    size_t f = std::min(static_cast<size_t>(std::max(from, 0)), len);
    size_t t = std::min(static_cast<size_t>(std::max(to, from)), len);
    OGLE_input->replace(f, t - f, begin, static_cast<size_t>(end > begin ? end - begin : 0));
}

float OGLE_GetLineHeight(OGLE_Rec*) { return line_h; }

// The measures walk whole characters (a UTF-8 sequence is one), as the text is drawn: a fit never
// ends inside a character, so neither does a caret placed by a click.
float OGLE_MeasureString(OGLE_Rec*, const char* begin, const char* end) {
    float w = 0;
    for (const char* p = begin; p < end;) {
        const text_char t = OGL_text_char(p, end);
        w += static_cast<float>(OGL_char_width(t.code));
        p += t.len;
    }
    return w;
}

int OGLE_FitStringFwd(OGLE_Rec*, const char* begin, const char* end, float width) {
    if (begin >= end || width <= 0) return 0;
    for (const char* p = begin; p < end;) {
        const text_char t = OGL_text_char(p, end);
        width -= static_cast<float>(OGL_char_width(t.code));
        p += t.len;
        if (width <= 0) return static_cast<int>(p - begin);
    }
    return static_cast<int>(end - begin);
}

int OGLE_FitStringRev(OGLE_Rec*, const char* begin, const char* end, float width) {
    if (begin >= end) return 0;
    for (const char* p = end; p > begin;) {
        const int len = OGL_text_char_before(begin, p);
        p -= len;
        width -= static_cast<float>(OGL_char_width(OGL_text_char(p, end).code));
        if (width <= 0) return static_cast<int>(end - p);
    }
    return static_cast<int>(end - begin);
}

void OGLE_DrawString(OGLE_Rec*, const char* begin, const char* end, float, float) {
    // A single line: every run is drawn at the field's own origin.
    widget_paint().string(45, static_cast<float>(OGLE_x) - OGLE_dx, static_cast<float>(OGLE_y) - OGLE_dy,
                          std::string(begin, end), 9999, font_prop, 0);
}

void OGLE_DrawSelection(OGLE_Rec*, float r[4]) {
    if (r[0] == r[2])
        widget_paint().line(45, colr.pulse, r[0], r[1], r[2], r[3]);
    else
        widget_paint().fillrect(8, 1.0f, r[0], r[1], r[2] - r[0], r[3] - r[1]);
}

const char* OGLE_WordBreak(OGLE_Rec*, const char* begin, const char* end) {
    const char* p = begin;
    while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
    while (p < end && !std::isspace(static_cast<unsigned char>(*p))) ++p;
    return p;
}

const OGLE_Callbacks OGLE_cbs = {
    OGLE_GetVisibleBounds, OGLE_GetLogicalBounds, OGLE_SetLogicalHeight, OGLE_ScrollTo, OGLE_GetText,
    OGLE_ReplaceTextFunc,  OGLE_GetLineHeight,    OGLE_MeasureString,    OGLE_FitStringFwd, OGLE_FitStringRev,
    OGLE_DrawString,       OGLE_DrawSelection,    OGLE_WordBreak,
};

namespace {

// Shared by every text field, as one engine serves them all.
OGLE_Rec* ogle = nullptr;
int focused_field_id = 0;
int drag_field_id = 0;  // the field a press landed in, while the mouse stays held
focus_queue field_keys;

// Moves the selection's active end to pos (shift) or places the caret there.
void move_to(int pos, int shift) {
    ogle->desired_x = -1.0f;
    if (shift && ogle->active_end == 1)
        OGLE_SetSelection(ogle, ogle->sel_start, pos);
    else if (shift)
        OGLE_SetSelection(ogle, pos, ogle->sel_end);
    else
        OGLE_SetSelection(ogle, pos, pos);
    OGLE_RevealSelection(ogle);
}

// The length of the character at pos (after it) or before pos, 0 at the text's ends.
int char_after(int pos) {
    const char* b = OGLE_input->data();
    const int len = static_cast<int>(OGLE_input->size());
    return pos < len ? OGL_text_char(b + pos, b + len).len : 0;
}
int char_before(int pos) {
    return pos > 0 ? OGL_text_char_before(OGLE_input->data(), OGLE_input->data() + pos) : 0;
}

// Types one character: a code point beyond ASCII goes in as its UTF-8 bytes, the first replacing
// the selection as any typed byte does.
void type_char(int c, int shift) {
    for (char byte : utf8_encode(static_cast<uint32_t>(c))) OGLE_Key(ogle, byte, shift);
}

// Whether a typed character goes into the text: printable ASCII, and code points beyond it other
// than controls, surrogates and what Unicode leaves out.
bool typeable(int c) {
    return (c >= 32 && c < 127) || (c >= 0xA0 && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF));
}

// One queued key, by its virtual key where it has one: Home, End, Page Up/Down and forward Delete
// carry control characters that must never land in the text. The engine steps one byte; the
// arrows and deletions step as many as the character has, so no character is cut in two.
void field_key(int c, int vkey, int flags) {
    if (flags & key_flag_up) return;
    int shift = flags & key_flag_shift;
    int len = static_cast<int>(OGLE_input->size());
    const bool empty = ogle->sel_start == ogle->sel_end;
    const int active = ogle->active_end == 1 ? ogle->sel_end : ogle->sel_start;
    auto repeat = [&](char key, int n) {
        for (int i = 0; i < std::max(n, 1); ++i) OGLE_Key(ogle, key, shift);
    };
    switch (vkey) {
    case 37: repeat(28, shift || empty ? char_before(active) : 1); return;
    case 38: OGLE_Key(ogle, 30, shift); return;
    case 39: repeat(29, shift || empty ? char_after(active) : 1); return;
    case 40: OGLE_Key(ogle, 31, shift); return;
    case 8:
        if (empty && ogle->sel_start > 0)
            OGLE_SetSelection(ogle, ogle->sel_start - char_before(ogle->sel_start), ogle->sel_start);
        OGLE_Key(ogle, 8, 0);
        return;
    case 46:
        if (empty) {
            if (ogle->sel_end >= len) return;
            OGLE_SetSelection(ogle, ogle->sel_start, ogle->sel_start + char_after(ogle->sel_start));
        }
        OGLE_Key(ogle, 8, 0);
        return;
    case 36: move_to(0, shift); return;
    case 35: move_to(len, shift); return;
    case 33:
    case 34: return;
    default: break;
    }
    if (typeable(c)) type_char(c, shift);
}

}  // namespace

int BTN_enterstring(float x, float y, std::string* value, int max_len, std::string label, float width,
                    int want_focus) {
    int id = focus_id_at(x, y);
    if (!ogle) ogle = OGLE_Create(&OGLE_cbs, nullptr);
    bool clicked = mnw.open_menu == -1 && mnw.mouse_down && mnw.mouse_x >= x && mnw.mouse_x <= x + width &&
                   mnw.mouse_y >= y && mnw.mouse_y <= y + 8;
    int take = clicked || (want_focus && wind_focus == 0 && focus_id == 0);
    int has = field_keys.register_focus(id, focus_mask_text, take);
    OGLE_edit = 0;
    if (clicked) drag_field_id = id;
    if (!mnw.mouse_held && !mnw.mouse_down) drag_field_id = 0;

    if (has) {
        OGLE_x = static_cast<int>(x);
        OGLE_y = static_cast<int>(y);
        OGLE_entry_dx = static_cast<int>(width);
        OGLE_input = value;
        if (id != focused_field_id) {
            OGLE_dx = OGLE_dy = 0;
            if (!clicked) OGLE_SetSelection(ogle, 0, static_cast<int>(value->size()));
        }
        focused_field_id = id;
        // The caller may have changed the string since the last frame.
        OGLE_Repaginate(ogle);
        OGLE_SetSelection(ogle, ogle->sel_start, ogle->sel_end);  // held inside the text
        // Only a press inside this field moves its caret, not one that merely handed it the focus.
        if (clicked)
            OGLE_Click(ogle, mnw.mouse_x, mnw.mouse_y, 0);
        else if (mnw.mouse_held && drag_field_id == id)
            OGLE_Drag(ogle, mnw.mouse_x, mnw.mouse_y);
    }
    // Keys queued for this field edit it only while it holds the focus.
    field_keys.drain(id, [&](int c, int vkey, int flags) {
        if (has) field_key(c, vkey, flags);
    });
    if (has && OGLE_edit && value->size() > static_cast<size_t>(static_cast<unsigned>(max_len))) {
        *value = utf8_prefix(*value, static_cast<size_t>(max_len));
        OGLE_Repaginate(ogle);
        OGLE_SetSelection(ogle, ogle->sel_start, ogle->sel_end);
    }

    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    BTN_frame1(9, x + width / 2 - 2, y + 3, width + 10, 0);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + width + 6, y, 2, right, 0);
    widget_painter& p = widget_paint();
    p.scissors(x - 1, y - 3, width + 2, 11);
    if (has)
        OGLE_Draw(ogle, 1);
    else
        p.string(45, x, y, *value, 9999, font_prop, 0);
    p.scissors_end();
    // Nothing reads the string between calls; a temporary must not be left bound.
    OGLE_input = nullptr;
    return OGLE_edit;
}

int BTN_enterstring(float x, float y, char* value, int max_len, std::string label, float width, int want_focus) {
    // The array has room for max_len characters: a negative size has none to edit in.
    if (max_len < 0) return 0;
    std::string text(value);
    int result = BTN_enterstring(x, y, &text, max_len, std::move(label), width, want_focus);
    copy_to_chars(value, text);
    return result;
}

void copy_to_chars(char* dst, const std::string& text) {
    if (text.size() > 499) {
        __MACIBM_alert(0, "String too long!", text, "", "", t_exit, "GenH/hl_string", 137);
        return;
    }
    std::memcpy(dst, text.c_str(), text.size() + 1);
}

// Widget kit layer (widgets/).
// Push buttons, check boxes, radio buttons, the number display and boxed text.
#include "graphics/text_layout.h"
#include "widgets/widget_internals.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

int BTN_action(float x, float y, float w, int lit, int mode, std::string label, std::string side_text) {
    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    if (w <= 0) w = 21 + OGL_string_width(label);
    BTN_frame1(2, x, y, w, 0);
    if (lit) BTN_frame1(3, x, y, w, 0);
    BTN_util_draw_label(x, y - 3, 1, left, mode == 2 && lit);
    if (side_text != "-") widget_paint().string(45, x + w / 2 + 10, y + 7, side_text, 500, font_prop, 0);
    if (!(no_menu_open() && mnw.mouse_down && mouse_in(x - w / 2, x + w / 2, y - 10, y + 10))) return 0;
    if (!lit && mode != 0) {
        // Show the press at once: the screen usually moves on in this same frame.
        BTN_frame1(3, x, y, w, 0);
        BTN_util_draw_label(x, y - 3, 1, label, 0);
        widget_paint().swap();
    }
    return 1;
}

int BTN_bool(float x, float y, int* value, std::string label, int radio) {
    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    float off_u = radio ? 92 : 148, on_u = radio ? 151 : 206, v = radio ? 132 : 187;
    BTN_util_element(x, y + 3, off_u, v, 9, 9, 0);
    if (*value) BTN_util_element(x, y + 3, on_u, v, 9, 9, 0);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + 12, y, 2, right, 0);
    if (!no_menu_open() || !mouse_in(x - 8, x + 8, y - 4, y + 12)) return 0;
    stls[help_string] = help;
    if (!mnw.mouse_down) return 0;
    *value = *value == 0 ? 1 : 0;
    return 1;
}

int BTN_xbol(float x, float y, bool* value, std::string label) {
    int v = *value ? 1 : 0;
    int r = BTN_bool(x, y, &v, std::move(label), 0);
    *value = v != 0;
    return r;
}

int BTN_xchr(float x, float y, char* value, std::string label) {
    int v = static_cast<signed char>(*value);
    int r = BTN_bool(x, y, &v, std::move(label), 0);
    *value = static_cast<char>(v & 0xFF);
    return r;
}

int BTN_xbyt(float x, float y, unsigned char* value, std::string label) {
    int v = *value;
    int r = BTN_bool(x, y, &v, std::move(label), 0);
    *value = static_cast<unsigned char>(v & 0xFF);
    return r;
}

int BTN_is_int(float x, float y, int* value, int this_value, std::string label) {
    int on = *value == this_value ? 1 : 0;
    int r = BTN_bool(x, y, &on, std::move(label), 1);
    if (on) *value = this_value;
    return r;
}

void BTN_display_number(float x, float y, float number, int digits, int decimals, const std::string& label) {
    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    float d = static_cast<float>(digits);
    BTN_frame1(9, x + 5 * d - 1, y + 3, 10 * d + 15, 0);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + 10 * d + 12, y, 2, right, 0);
    widget_paint().number(45, x + 4, y, number, digits, decimals, font_fixed);
}

void OGL_boxed_string(float x, float y, const std::string& label, const std::string& text, int font, int color) {
    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    float W = 100;
    if (font == font_fixed)
        W = 10.0f * static_cast<float>(text.size()) + 7;
    else if (font == font_prop)
        W = OGL_string_width(text) + 7;
    BTN_frame1(9, x, y + 3, W, 0);
    BTN_util_draw_label(x - W / 2 - 8, y, 0, left, 0);
    BTN_util_draw_label(x + W / 2 + 8, y, 2, right, 0);
    widget_paint().string(color, x - W / 2 + 4, y, text, 9999, font, 0);
}

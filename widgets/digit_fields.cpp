// Fields edited one cell at a time: the number fields (a row of digits with step arrows), the
// character-cell field, and the latitude and longitude entry built from number fields.
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

#include "graphics/text_layout.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_internals.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

namespace {

constexpr int vk_left = 37, vk_up = 38, vk_right = 39, vk_down = 40;
constexpr int cursor_up_arrow = 13, cursor_down_arrow = 14;
// Beyond this many digits a value no longer fits the 64-bit integer the digits are edited in.
constexpr int max_digits = 18;

// A cell index that another, longer field left is wrapped into this row before it is used.
int wrap_cell(int cell, int cells) {
    if (cell < 0) return cells - 1;
    if (cell >= cells) return 0;
    return cell;
}

// The selected cell after a key: Left and Right move it; every key wraps it into the row.
int key_cell(int cell, int vkey, int cells) {
    if (vkey == vk_left) --cell;
    if (vkey == vk_right) ++cell;
    return wrap_cell(cell, cells);
}

// The step arrows above and below each of n cells from x.
void draw_cell_arrows(float x, float y, int n) {
    const float ox = mnw.subwin_x, oy = mnw.subwin_y;
    std::vector<atlas_quad> q;
    for (int i = 0; i < n; ++i) {
        const float l = x + 10.0f * static_cast<float>(i) - 1 + ox, r = l + 14;
        q.push_back({l, y - 19 + oy, r, y - 1 + oy, 83, 178, 97, 196});
        q.push_back({l, y + 9 + oy, r, y + 27 + oy, 83, 197, 97, 215});
    }
    widget_paint().quads(tex_interface, 0, q);
}

void highlight_cell(float x, float y, int cell) {
    widget_paint().fillrect(8, 1.0f, x + 10.0f * static_cast<float>(cell) + 2, y - 2, 9, 11);
}

// --- number fields

// Shared by every number field: the selected cell and the key queue.
int hot_digit = 0;
focus_queue number_keys;

double ten_to(int n) { return std::pow(10.0, n); }

// |v| in units of the last decimal shown, or -1 when it does not fit 64 bits.
long long scaled_magnitude(double v, int decimals) {
    const double s = std::fabs(v) * ten_to(decimals);
    return s < 9e18 ? std::llround(s) : -1;
}

// The value with digit d in the cell of place 10^k (k counted from the last decimal). The digit
// is read from the rounded integer: floor(v / p) misreads fractions (45.000 holds 44.9999962).
double with_digit(double value, int decimals, int k, int d) {
    long long n = scaled_magnitude(value, decimals);
    if (n < 0) return value;
    long long p = 1;
    for (int i = 0; i < k; ++i) p *= 10;
    n += (d - (n / p) % 10) * p;
    const double v = static_cast<double>(n) / ten_to(decimals);
    return value < 0 ? -v : v;
}

// The one number field; the family converts to and from it.
int digit_row(float x, float y, double* value, int digits, int decimals, double min, double max,
              const std::string& label) {
    if (digits < 1) return 0;
    digits = std::min(digits, max_digits);
    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    const int id = focus_id_at(x, y);
    const float row_w = 10.0f * static_cast<float>(digits);
    const bool hovered = mouse_in(x, x + row_w, y - 2, y + 8);
    if (hovered) stls[help_string] = help;
    const bool clicked = no_menu_open() && mnw.mouse_down && hovered;
    if (clicked) hot_digit = static_cast<int>((mnw.mouse_x - 2 - x) / 10);
    const int has =
        number_keys.register_focus(id, focus_navigation | focus_digits | focus_plus_minus, clicked);
    if (has) hot_digit = std::clamp(hot_digit, 0, digits - 1);

    // Place value of cell i.
    auto place = [&](int i) { return ten_to(digits - decimals - 1 - i); };
    double v = *value;
    int changed = 0;
    number_keys.drain(id, [&](int c, int vkey, int flags) {
        if (flags & key_flag_up) return;
        hot_digit = key_cell(hot_digit, vkey, digits);
        if (vkey == vk_up || vkey == vk_down) {
            v += vkey == vk_up ? place(hot_digit) : -place(hot_digit);
            changed = 1;
        } else if (c >= '0' && c <= '9') {
            v = with_digit(v, decimals, digits - 1 - hot_digit, c - '0');
            hot_digit = wrap_cell(hot_digit + 1, digits);
            changed = 1;
        } else if (c == '+') {
            if (min < 0) v = std::fabs(v), changed = 1;
        } else if (c == '-') {
            if (max >= 0) v = -std::fabs(v), changed = 1;
        }
    });

    if (no_menu_open() && !hovered && mouse_in(x, x + row_w, y - 18, y + 24)) {
        const bool upper = mnw.mouse_y > y + 3;
        mnw.cursor_mode = upper ? cursor_up_arrow : cursor_down_arrow;
        if (mnw.mouse_down) {
            for (int i = 0; i < std::min(digits, 10); ++i) {
                const float l = x + 10.0f * static_cast<float>(i);
                if (mnw.mouse_x < l || mnw.mouse_x > l + 10) continue;
                v += upper ? place(i) : -place(i);
                changed = 1;
            }
        }
    }

    if (v < min) v = min;
    if (v > max) v = max;
    const double s = v * ten_to(decimals);
    if (std::fabs(s) < 9e18) v = static_cast<double>(std::llround(s)) / ten_to(decimals);
    *value = v;

    BTN_frame1(9, x + 5.0f * static_cast<float>(digits) - 1, y + 3, row_w + 15, 0);
    draw_cell_arrows(x, y, digits);
    BTN_util_draw_label(x - 12, y, 0, left, 0);
    BTN_util_draw_label(x + row_w + 12, y, 2, right, 0);
    if (has) highlight_cell(x, y, hot_digit);
    widget_paint().number(45, x + 3, y, static_cast<float>(v), digits, decimals, font_fixed);
    return changed;
}

// The largest value a row of digits shows: (10^digits - 1) / 10^decimals.
double largest(int digits, int decimals) {
    if (digits < 1 || digits > 10) return ten_to(digits - 1) / ten_to(decimals);
    return (ten_to(digits) - 1) / ten_to(decimals);
}

int int_field(float x, float y, int* value, int digits, double min, double max, const std::string& label) {
    double v = *value;
    const int r = digit_row(x, y, &v, digits, 0, min, max, label);
    // Written back every call, within the int's range: an int above 2^24 keeps every digit.
    *value = static_cast<int>(
        std::trunc(std::clamp(v, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX))));
    return r;
}

}  // namespace

int BTN_flt_range(float x, float y, float* value, int digits, int decimals, float min, float max,
                  std::string label) {
    double v = *value;
    const int r = digit_row(x, y, &v, digits, decimals, min, max, label);
    *value = static_cast<float>(v);
    return r;
}

int BTN_flt(float x, float y, float* value, int digits, int decimals, int allow_negative, std::string label) {
    const double max = largest(digits, decimals);
    double v = *value;
    const int r = digit_row(x, y, &v, digits, decimals, allow_negative ? -max : 0.0, max, label);
    *value = static_cast<float>(v);
    return r;
}

int BTN_dob_range(float x, float y, double* value, int digits, int decimals, float min, float max,
                  std::string label) {
    double v = *value;
    const int r = digit_row(x, y, &v, digits, decimals, min, max, label);
    if (r) *value = v;
    return r;
}

int BTN_int_range(float x, float y, int* value, int digits, float min, float max, std::string label) {
    return int_field(x, y, value, digits, min, max, label);
}

int BTN_int(float x, float y, int* value, int digits, int allow_negative, std::string label) {
    const double max = largest(digits, 0);
    return int_field(x, y, value, digits, allow_negative ? -max : 0.0, max, label);
}

int BTN_fltij(float i, float j, float* value, int digits, int decimals, int allow_negative,
              std::string label) {
    return BTN_flt(75 * i + 75 - 10.0f * static_cast<float>(digits), 50 * j + 25, value, digits, decimals,
                   allow_negative, std::move(label));
}

int BTN_flt_rangeij(float i, float j, float* value, int digits, int decimals, float min, float max,
                    std::string label) {
    return BTN_flt_range(75 * i + 75 - 10.0f * static_cast<float>(digits), 50 * j + 25, value, digits,
                         decimals, min, max, std::move(label));
}

// --- character cells

namespace {

// Shared by every character-cell field.
int hot_cell = 0;
focus_queue cell_keys;

// The character set: space, '0' to '9', 'A' to 'Z', '-'. Bytes outside it count as '0'.
constexpr int char_codes = 38;
int char_code(char c) {
    if (c == ' ') return 0;
    if (c >= '0' && c <= '9') return 1 + (c - '0');
    if (c >= 'A' && c <= 'Z') return 11 + (c - 'A');
    if (c >= 'a' && c <= 'z') return 11 + (c - 'a');
    if (c == '-') return 37;
    return 1;
}
char code_char(int code) {
    code = (code % char_codes + char_codes) % char_codes;
    if (code == 0) return ' ';
    if (code <= 10) return static_cast<char>('0' + code - 1);
    if (code <= 36) return static_cast<char>('A' + code - 11);
    return '-';
}
char step_char(char c, int by) { return code_char(char_code(c) + by); }

bool cell_char(int c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == ' ';
}

}  // namespace

void BTN_chars(float x, float y, char* text, int len, std::string label) {
    // No cells, nothing to write into.
    if (len < 1 || !text) return;
    const float row_w = 10.0f * static_cast<float>(len);
    const bool clicked = no_menu_open() && mnw.mouse_down && mouse_in(x, x + row_w, y - 2, y + 8);
    if (clicked) hot_cell = static_cast<int>((mnw.mouse_x - x) / 10);
    const int id = focus_id_at(x, y);
    const int has = cell_keys.register_focus(
        id, focus_navigation | focus_letters | focus_digits | focus_plus_minus | focus_printable, clicked);
    if (has) hot_cell = std::clamp(hot_cell, 0, len - 1);

    cell_keys.drain(id, [&](int c, int vkey, int flags) {
        if (flags & key_flag_up) return;
        hot_cell = key_cell(hot_cell, vkey, len);
        if (vkey == vk_down || vkey == vk_up) {
            text[hot_cell] = step_char(text[hot_cell], vkey == vk_down ? 1 : -1);
        } else if (cell_char(c)) {
            text[hot_cell] = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
            hot_cell = wrap_cell(hot_cell + 1, len);
        }
    });

    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    BTN_frame1(9, x + 5.0f * static_cast<float>(len) + 1, y + 3, row_w + 11, 0);
    draw_cell_arrows(x, y, len);
    BTN_util_draw_label(x - 6, y, 0, left, 0);
    if (has) highlight_cell(x, y, hot_cell);
    for (int i = 0; i < len; ++i) {
        const float l = x + 10.0f * static_cast<float>(i);
        widget_paint().string(45, l + 2, y, std::string(1, text[i]), 9999, font_prop, 0);
        if (mouse_in(l, l + 10, y - 2, y + 8)) stls[help_string] = help;
        // The arrows, like the cells, do not react under an open menu.
        if (no_menu_open() && mnw.mouse_down && !clicked && mouse_in(l, l + 10, y - 18, y + 24)) {
            const bool upper = mnw.mouse_y > y + 3;
            mnw.cursor_mode = upper ? cursor_up_arrow : cursor_down_arrow;
            text[i] = step_char(text[i], upper ? -1 : 1);
        }
    }
}

// --- latitude and longitude

namespace {
struct deg_min {
    float d, m, lowest;
};
// Within a degree of zero the minutes carry the sign.
deg_min split_degrees(float v) {
    const float d = std::trunc(v);
    if (d == 0) return {d, v * 60, -60};
    return {d, std::fabs(v - d) * 60, 0};
}
float join_degrees(const deg_min& p) {
    if (p.d == 0) return p.m / 60;
    return (p.d >= 0 ? 1.0f : -1.0f) * (p.m / 60) + p.d;
}
}  // namespace

int enter_lat_lon(float* x, float* y, float* lon, float* lat) {
    deg_min o = split_degrees(*lon), a = split_degrees(*lat);
    int changed = 0;
    *y -= 50;
    changed |= BTN_flt(*x, *y, &o.d, 3, 0, 1, "lon:");
    changed |= BTN_flt_range(*x + 50, *y, &o.m, 5, 3, o.lowest, 60, "");
    *y -= 50;
    changed |= BTN_flt(*x + 10, *y, &a.d, 2, 0, 1, "lat:");
    changed |= BTN_flt_range(*x + 50, *y, &a.m, 5, 3, a.lowest, 60, "");
    *lon = join_degrees(o);
    *lat = join_degrees(a);
    return changed ? 1 : 0;
}

// The vertical scroll bar and the horizontal float slider.
#include <cmath>

#include "core/time_keeper.h"
#include "graphics/text_layout.h"
#include "widgets/widget_internals.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

namespace {
int slider_grabbed[4] = {};
constexpr int repeat_tick = 5;  // the 0.2-second tick of real time: sim time stands still here
}  // namespace

int BTN_vert_slider(int id, float x, float y0, float y1, int min, int max, int* value) {
    BTN_frame0(6, x, (y0 + y1) / 2, y1 - y0);
    if (min >= max) return 0;
    const float lo = y0 + 9, hi = y1 - 10;
    float ty = hi + (lo - hi) * static_cast<float>(static_cast<double>(*value) - min) /
                        static_cast<float>(max - min);
    ty = std::fmin(std::fmax(ty, lo), hi);
    if (id < 0 || id > 3) {
        butn_fatal("Too many sliders!", "", 593);
        return 0;
    }
    int& grabbed = slider_grabbed[id];
    const float mx = mnw.mouse_x, my = mnw.mouse_y;
    if (!mnw.mouse_held)
        grabbed = 0;
    else if (std::fabs(mx - x) <= 11 && std::fabs(my - ty) <= 11)
        grabbed = 1;

    long long v = *value;
    if (!grabbed) {
        bool step = mnw.mouse_down || (mnw.mouse_repeat && xtim.real_tick[repeat_tick]);
        if (step && std::fabs(mx - x) <= 11) {
            if (my >= y1 && my <= y1 + 20) v -= 1;
            if (my >= y0 - 20 && my <= y0) v += 1;
            if (my >= y0 && my <= y1) v += my >= ty ? -10 : 10;
        }
    } else {
        const double top = y1 - 11, bottom = y0 + 11;
        if (top == bottom) {
            v = (static_cast<long long>(min) + max) / 2;
        } else {
            double f =
                min + static_cast<double>(max - static_cast<long long>(min)) * (my - top) / (bottom - top);
            v = static_cast<long long>(std::trunc(std::fmin(std::fmax(f, min), max)));
        }
    }
    if (v < min) v = min;
    if (v > max) v = max;
    *value = static_cast<int>(v);

    const int colour = grabbed ? 47 : 0;
    BTN_util_element(x, y1 + 8, 92, 277, 9, 11, colour);
    BTN_util_element(x, ty, 92, 252, 9, 12, colour);
    BTN_util_element(x, y0 - 10, 92, 227, 9, 11, colour);
    return grabbed;
}

int BTN_horz_slider(float x, float y, float w, int fill_colour, float min, float max, float* value,
                    int enabled, std::string label, std::string caption) {
    // No width, nothing to slide along (and nothing to divide by).
    if (!(w > 0)) return 0;
    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    if (max <= min && min < max + 0.01f) min = max + 0.01f;
    if (max > min && max < min + 0.01f) max = min + 0.01f;

    BTN_frame1(7, x + w / 2, y, w, 0);
    BTN_util_draw_label(x - 8, y, 0, left, 0);
    BTN_util_draw_label(x + w + 8, y, 2, right, 0);
    if (mouse_in(x, x + w, y - 7, y + 7)) stls[help_string] = help;
    widget_paint().string(43, x + w / 2, y + 10, caption, 9999, font_prop, 1);

    const float f = std::fmin(std::fmax(w * (*value - min) / (max - min), 0.0f), w);
    int result = 0;
    if (enabled && mnw.mouse_held && mouse_in(x - 20, x + w + 20, y - 20, y + 20)) {
        const float lo = std::fmin(min, max), hi = std::fmax(min, max);
        *value = std::fmin(std::fmax(lo + (hi - lo) * (mnw.mouse_x - x) / w, lo), hi);
        result = 1;
    }
    if (fill_colour != 12 && f > 0) {
        const float F = 2 * OGL_round_half_away(std::trunc(f) / 2);
        BTN_frame1(8, x + F / 2, y + 4, F, fill_colour);
    }
    if (enabled) {
        const float kx = std::fmin(std::fmax(x + w * (*value - min) / (max - min), x), x + w);
        BTN_util_element(kx, y + 2, 272, 278, 10, 11, 0);
    }
    return result;
}

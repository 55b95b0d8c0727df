// Widget kit layer (widgets/).
// Window backgrounds, panels, tabs and the heading dial.
#include <cmath>

#include "core/interface_strings.h"
#include "core/window_state.h"
#include "graphics/text_layout.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

void BTN_fillwin(int titled, int inner_style) {
    float w = mnw.subwin_dx, h = mnw.subwin_dy;
    BTN_frame2(titled ? 11 : 12, 0, 0, w, h, stls[0]);
    if (inner_style == 1)
        BTN_frame1(1, w / 2, h - 50, w, 0);
    else if (inner_style != 21)
        BTN_frame2(inner_style, 10, 10, w - 20, h - 40, "");
}

void BTN_subwin(float reserve_h, int style, float x, float y, float w, float h, std::string title, float* next_x,
                float* next_y) {
    if (x < 0) x = 10;
    if (y < 0) y = 10;
    if (w < 0) w = (mnw.subwin_dx - 10) - x;
    if (h < 0) h = (mnw.subwin_dy - 28) - y - reserve_h;
    BTN_frame2(style, x, y, w, h, std::move(title));
    if (next_x) *next_x = x + w + 10;
    if (next_y) *next_y = y + h + 10;
}

int BTN_tab(int column, int row, int* current, int this_tab, std::string label) {
    float cx = 88.0f * static_cast<float>(column) + 53;
    float cy = (mnw.subwin_dy - 38) - 32.0f * static_cast<float>(row);
    // The hit box is narrower on the right than the sprite; menus do not block tabs.
    int hit = mnw.mouse_down && mnw.mouse_x >= cx - 50 && mnw.mouse_x <= cx + 40 && mnw.mouse_y >= cy - 13 &&
              mnw.mouse_y <= cy + 13;
    if (hit) *current = this_tab;
    bool selected = *current == this_tab;
    float v0 = selected ? 486 : 459;
    float ox = mnw.subwin_x, oy = mnw.subwin_y;
    widget_painter& p = widget_paint();
    p.quads(tex_interface, 0, {{cx - 49 + ox, cy - 13 + oy, cx + 49 + ox, cy + 13 + oy, 204, v0, 302, v0 + 26}});
    p.string(selected ? 41 : 42, cx - 40, cy - 4, label, 9999, font_prop, 0);
    return hit;
}

void plot_dir(float x, float y, float* heading, int look) {
    widget_painter& p = widget_paint();
    float nv = look == 0 ? 315 : 272;
    p.quads_rotated(tex_interface, 0, x + mnw.subwin_x, y + mnw.subwin_y, *heading,
                    {{-5, -21, 5, 21, 156, nv, 166, nv + 42}});
    BTN_util_element(x, y, 206, 189, 28, 29, 0);
    p.number(45, x - 14, y - 2, *heading, 3, 0, font_fixed);
    float dx = mnw.mouse_x - x, dy = mnw.mouse_y - y;
    if (mnw.mouse_held && std::fabs(dx) <= 30 && std::fabs(dy) <= 30) {
        float deg = static_cast<float>(std::atan2(dx, dy) * 180.0 / M_PI);
        while (deg < 0) deg += 360;
        while (deg > 360) deg -= 360;
        *heading = deg;
    }
}

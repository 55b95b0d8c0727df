#include "wizard/world_map.h"

#include <algorithm>

#include "core/window_state.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "wizard/wizard_draw.h"
#include "wizard/wizard_frame.h"

map_press_state g_map_press;

namespace {
// The drag box: a black line, darker than the map's grid, over a light band 3 pixels wide (each
// line covers the pixels from its corner up and right), so the box shows over the white land,
// the grey sea and the dark selected tiles alike.
void drag_box(float mx, float my, float px, float py) {
    const float x0 = mx < px ? mx : px, x1 = mx < px ? px : mx;
    const float y0 = my < py ? my : py, y1 = my < py ? py : my;
    const int white = 0, black = 12;
    const float band = 0.75f;
    // Bands of 3 round each line, none drawn twice: bottom and top rows, then the sides between.
    const float top = std::max(y0 + 2, y1 - 1), right = std::max(x0 + 2, x1 - 1);
    wizard_fill(white, band, x0 - 1, y0 - 1, x1 - x0 + 3, 3);
    wizard_fill(white, band, x0 - 1, top, x1 - x0 + 3, y1 + 2 - top);
    wizard_fill(white, band, x0 - 1, y0 + 2, 3, top - (y0 + 2));
    wizard_fill(white, band, right, y0 + 2, x1 + 2 - right, top - (y0 + 2));
    wizard_outline(black, 0.9f, {mx, my, px, my, px, py, mx, py});
}
}  // namespace

bool map_select(map_press_state& press, float mx, float my, int down, int held, float X, float Y,
                int selected[36][18]) {
    if (down) {
        press.x = mx;
        press.y = my;
        for (int c = 0; c < 36; ++c)
            for (int r = 0; r < 18; ++r)
                if (X + map_tile * c <= mx && mx <= X + map_tile * c + map_tile && Y + map_tile * r <= my &&
                    my <= Y + map_tile * r + map_tile)
                    press.value = selected[c][r] ? 0 : 1;
    }
    if (!held) return false;
    const float x0 = mx < press.x ? mx : press.x, x1 = mx < press.x ? press.x : mx;
    const float y0 = my < press.y ? my : press.y, y1 = my < press.y ? press.y : my;
    bool changed = false;
    for (int c = 0; c < 36; ++c)
        for (int r = 0; r < 18; ++r) {
            const float l = X + map_tile * c, b = Y + map_tile * r;
            if (x0 < l + map_tile && l < x1 && y0 < b + map_tile && b < y1) {
                selected[c][r] = press.value;
                changed = true;
            }
        }
    return changed;
}

void UTIL_world_map() {
    // Window units of the current sub-window, like the mouse; the drawing adds the origin.
    const float X = map_left, Y = map_bottom;
    bool changed =
        map_select(g_map_press, mnw.mouse_x, mnw.mouse_y, mnw.mouse_down, mnw.mouse_held, X, Y, stg.tile_selected);

    // The base picture (rows 0-251 of the 512-square texture), then the lit square of each
    // available tile over it: opaque when selected, half when not.
    std::vector<wizard_quad> lit_on, lit_off;
    for (int c = 0; c < 36; ++c)
        for (int r = 0; r < 18; ++r) {
            if (!stg.tile_available[c][r]) continue;
            const float l = X + map_tile * c, b = Y + map_tile * r;
            wizard_quad q = {l, b, l + map_tile, b + map_tile, map_tile * c, 252 + map_tile * r,
                             map_tile * c + map_tile, 266 + map_tile * r};
            (stg.tile_selected[c][r] ? lit_on : lit_off).push_back(q);
        }
    wizard_image(394, -1, 1.0f, {{X, Y, X + 504, Y + 252, 0, 0, 504, 252}});
    wizard_image(394, 49, 0.5f, lit_off);
    wizard_image(394, 49, 1.0f, lit_on);

    if (mnw.mouse_held) drag_box(mnw.mouse_x, mnw.mouse_y, g_map_press.x, g_map_press.y);

    if (interface_rect(470, 120, 255, 46, 114, 22, 1, 0)) {
        for (auto& col : stg.tile_selected)
            for (int& t : col) t = 1;
        changed = true;
    }
    if (interface_rect(620, 120, 374, 46, 132, 22, 1, 0)) {
        for (auto& col : stg.tile_selected)
            for (int& t : col) t = 0;
        changed = true;
    }
    if (changed) recalc_disk_sizes();
}

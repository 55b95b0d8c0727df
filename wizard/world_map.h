// The world map on which the user picks the 10-degree tiles of global scenery to install.
#pragma once

// What lasts between frames: where the mouse went down and the value its drag writes.
struct map_press_state {
    float x = 0, y = 0;
    int value = 0;
};
extern map_press_state g_map_press;

// Map geometry, window units: the map's lower-left corner relative to the sub-window origin,
// and one tile's side.
inline constexpr float map_left = 248, map_bottom = 150, map_tile = 14;

// One frame of mouse input on the map whose lower-left corner is (X, Y): a press decides the
// press value from the tile under it (the last matching tile on shared edges), a held button
// paints every tile the drag rectangle overlaps (strictly) with it. True when the frame
// counts as changed (any overlap while held).
bool map_select(map_press_state& press, float mouse_x, float mouse_y, int down, int held, float X, float Y,
                int selected[36][18]);

// Draws the map with the available tiles lit, edits stg.tile_selected from the mouse, draws
// SELECT ALL and SELECT NONE, and recounts the totals after any change.
void UTIL_world_map();

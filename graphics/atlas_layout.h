// Where things lie in the four images stored in the program. Pixel rectangles [u0, u1) x [v0, v1),
// v counted from the first stored row, which every quad draws lowest on screen.
#pragma once

struct atlas_region {
    const char* name;
    int ref;  // 392 interface, 393 elements
    int u0, v0, u1, v1;
};

// The art the widget kit, the shell and the wizard cut from refs 392 and 393. The atlas is read
// one row past its top by the menu bar and the title bar (v 513); that row wraps to row 0, the
// empty bottom row of the font cells, so both are listed to v 512 here.
inline constexpr atlas_region atlas_regions[] = {
    {"font grid", 392, 0, 0, 294, 75},
    {"missing-glyph mark", 392, 294, 0, 308, 15},
    {"bar 0 menu bar", 392, 1, 487, 101, 512},
    {"bar 1 title bar", 392, 102, 487, 202, 512},
    {"bar 2 button", 392, 304, 486, 356, 512},
    {"bar 3 pressed button", 392, 304, 459, 356, 485},
    {"bar 4 progress track", 392, 112, 161, 140, 177},
    {"bar 5 progress fill", 392, 83, 161, 111, 177},
    {"bar 7 slider track", 392, 240, 242, 305, 266},
    {"bar 8 slider fill", 392, 289, 219, 305, 235},
    {"bar 9 text field", 392, 262, 133, 313, 159},
    {"bar 10 pop-up field", 392, 357, 488, 425, 512},
    {"column 6 scroll track", 392, 102, 248, 122, 288},
    {"panel 11 titled window", 392, 1, 358, 101, 458},
    {"panel 12 window", 392, 102, 358, 202, 458},
    {"panel 13 inner", 392, 203, 358, 303, 458},
    {"panel 14 hover help", 392, 304, 358, 404, 458},
    {"panel 15 splash", 392, 405, 358, 505, 458},
    {"panel 16 list", 392, 1, 289, 69, 357},
    {"panel 17 drop-down", 392, 70, 315, 112, 357},
    {"panel 18", 392, 113, 315, 155, 357},
    {"panel 19", 392, 440, 12, 484, 56},
    {"title-strip box", 392, 120, 178, 138, 196},
    {"title-strip box pressed", 392, 120, 197, 138, 215},
    {"check box off", 392, 139, 178, 157, 196},
    {"check box on", 392, 197, 178, 215, 196},
    {"radio off", 392, 83, 123, 101, 141},
    {"radio on", 392, 142, 123, 160, 141},
    {"number arrow down", 392, 83, 178, 97, 196},
    {"number arrow up", 392, 83, 197, 97, 215},
    {"scroll arrow up", 392, 83, 266, 101, 288},
    {"scroll thumb", 392, 83, 240, 101, 264},
    {"scroll arrow down", 392, 83, 216, 101, 238},
    {"slider knob", 392, 262, 267, 282, 289},
    {"tab", 392, 204, 459, 302, 485},
    {"tab selected", 392, 204, 486, 302, 512},
    // The dial's rectangle holds the check box's "on" sprite: the dial is a ring around it.
    {"heading dial", 392, 178, 160, 234, 218},
    {"needle", 392, 156, 315, 166, 357},
    {"needle alternate", 392, 156, 272, 166, 314},
    {"icon folder", 392, 34, 82, 46, 94},
    {"icon 3", 392, 48, 82, 60, 94},
    {"icon 4", 392, 62, 82, 74, 94},
    {"icon 5", 392, 90, 82, 102, 94},
    {"icon 9", 392, 104, 82, 116, 94},
    {"icon 10", 392, 118, 82, 130, 94},
    {"icon 11", 392, 132, 82, 144, 94},
    {"icon 7", 392, 146, 82, 158, 94},
    {"folder button", 392, 208, 133, 234, 159},
    {"sub-menu arrow", 392, 162, 182, 172, 192},
    {"button quit", 393, 1, 0, 51, 68},
    {"button go back", 393, 54, 0, 143, 68},
    {"button continue", 393, 150, 0, 250, 68},
    {"button select all", 393, 255, 0, 369, 68},
    {"button select none", 393, 374, 0, 506, 68},
    {"panel 20", 393, 982, 2, 1023, 43},
};

// Palette slots read from single pixels of ref 392 at start-up.
struct atlas_swatch {
    int slot;
    int u, v;
};
inline constexpr atlas_swatch atlas_swatches[] = {
    {34, 319, 155}, {35, 319, 147}, {36, 319, 139}, {37, 319, 131}, {38, 319, 123},
    {40, 319, 115}, {41, 319, 107}, {42, 319, 99},  {43, 319, 91},  {45, 319, 83},
    {46, 319, 75},  {47, 319, 67},  {44, 395, 115},
};

// The rows of the three looks of each button in ref 393 (22 rows each).
inline constexpr int elements_hover_row = 0;
inline constexpr int elements_pressed_row = 23;
inline constexpr int elements_normal_row = 46;
inline constexpr int elements_button_h = 22;

// The world map, ref 394: two equirectangular earths of 504 x 252 at 1.4 pixels per degree,
// the base picture in rows 0-251, the lit one in rows 252-503; row 0 of each is the south pole.
inline constexpr int map_tile_px = 14;
inline constexpr int map_lit_row = 252;

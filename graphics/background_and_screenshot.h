// Graphics layer (graphics/).
// Whole-window operations: the background colour, the tiled background picture and the
// screenshot. Main (GL) thread only.
#pragma once

#include <string>

// Size of the loaded background picture; 0 until OGL_make_back_tex has loaded one.
extern int back_dx, back_dy;

// Fills the whole window with palette slot 34, inside a sub-window too.
void OGL_plot_back_col();
// At start-up only (no window current): loads the background picture into the 16 tile
// textures 427..442 (row r, column c: 427 + 4r + c, each 512 x 512 pixels of it).
void OGL_make_back_tex();
// Draws the picture from its tiles.
void OGL_plot_back_tex();
// Reads the centre of the window (at most 2048 x 2048) into scratch_array as RGB; with save,
// writes it to the next free screenshot_N.png of the working folder.
void OGL_screenshot(int save);

// Where the picture goes in a W x H window: left, bottom, right, top; fill when it does not
// cover the window (at start-up only, when the window is first filled with slot 34).
struct back_place {
    float left, bottom, right, top;
    bool fill;
};
back_place OGL_back_placement(int picture_dx, int picture_dy, int W, int H, int curwin, float layout_x);
// "screenshot_" + the next number after *shot that names no file + ".png"; *shot becomes it.
std::string OGL_next_screenshot_name(int* shot);

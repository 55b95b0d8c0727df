// Graphics layer (graphics/).
// Bitmap text: fonts 100 and 102 from the glyph grid of the interface atlas (ref 392), font 103
// from ref 396. Positions are window units relative to the current sub-window, y up. Main (GL)
// thread only. Widths and line breaks come from graphics/text_layout.h.
#pragma once

#include <string>

// Enlarges the drawn glyph quads (not the texels) when above 1.
extern float oglp;

// Text set-up for one line: state, colour slot `color`, the font's texture. Writes the glyph
// grid's origin and cell size and returns the fixed advance (0 proportional). A font other than
// 100, 102 or 103 is a fatal alert.
int OGL_strtex(int font, int color, float* tex_x, float* tex_y, float* cell_w, float* cell_h);

// One glyph quad at pen (x, y), inside the caller's glBegin(GL_QUADS) / glEnd. code is a byte
// (signed or not) or glyph_missing.
void OGL_char(float x, float y, float tex_x, float tex_y, float cell_w, float cell_h, int code, int font);

// One line: align 0 starts at x, 1 centred on x, 2 ends at x (by the font-100 width).
void str_one_line(int color, float x, float y, const std::string& text, int font, int align);

// The interface's one text call: adds the sub-window origin, snaps to whole pixels, wraps at
// `wrap` (off when <= 0 or >= 9999) and returns the y where a following line would go.
float OGL_string(int color, float x, float y, const std::string& text, float wrap, int font, int align);

// Font-100 text centred on x over a translucent grey box.
void OGL_gray_string(int color, float x, float y, const std::string& text);

// A number with `digits` positions, `decimals` of them after the point; font 102 lays it out cell
// by cell, the other fonts as zero-filled text with separators or the overflow form "d.ddxe".
void OGL_number(int color, float x, float y, float value, int digits, int decimals, int font);

// Text measures and layout without OpenGL: the glyph grid of the interface atlas, the advance
// table, line breaking and number texts. The drawing in bitmap_text.cpp and the artwork generator
// both use these, so what is drawn and what is measured cannot drift apart.
#pragma once

#include <string>
#include <vector>

// Fonts: 100 proportional, 102 fixed 10-pixel advance (both in the interface atlas, ref 392),
// 103 a second sheet of 40 columns in ref 396 with a fixed 15-pixel advance.
inline constexpr int font_prop = 100;
inline constexpr int font_fixed = 102;
inline constexpr int font_sheet = 103;

// The font-100/102 glyph grid: 21 x 5 cells of 14 x 15 pixels from the atlas origin.
inline constexpr int glyph_cols = 21;
inline constexpr int glyph_rows = 5;
inline constexpr int glyph_cell_w = 14;
inline constexpr int glyph_cell_h = 15;

struct glyph_cell {
    int col;
    int row;
};

// The glyph code of the missing-glyph mark: a character the grid lacks shows this box, with an
// advance, rather than nothing. Its cell lies right of the grid's first row.
inline constexpr int glyph_missing = 256;
inline constexpr int glyph_missing_width = 7;

// Cell of a glyph code (a byte, or glyph_missing) in the font-100/102 grid; bytes outside the grid
// get (0, 0), the space.
glyph_cell OGL_glyph_cell(int code);

// Pen advance of a glyph code in font 100: the advance table for a byte (0 outside the grid and for
// tab, LF and CR), glyph_missing_width for the mark.
int OGL_char_width(int code);

// One character of a text and the glyph it draws. A well-formed UTF-8 sequence of two to four
// bytes is one character, shown by its grid cell when its code point has one; any other byte is
// a character of its own, read as ISO 8859-1. A character without a cell shows the mark, except
// the control characters, which keep the space's cell and no advance.
struct text_char {
    int len;   // bytes
    int code;  // glyph code
};
// The character that starts at p (p < end).
text_char OGL_text_char(const char* p, const char* end);
// The length in bytes of the character that ends at p (begin < p).
int OGL_text_char_before(const char* begin, const char* p);

// The advance of the whole text, character by character: the one width measure of all text,
// whatever the font it is drawn in.
float OGL_string_width(const std::string& text);

// One glyph quad: screen rectangle and texture rectangle (atlas pixels / 512).
struct glyph_quad {
    float x0, y0, x1, y1;
    float s0, t0, s1, t1;
};

// The quad of one glyph at pen (x, y). code is the glyph code; scale enlarges the quad (not the
// texels) when above 1.
glyph_quad OGL_glyph_quad(float x, float y, float tex_x, float tex_y, float cell_w, float cell_h, int code,
                          int font, float scale);

// Pen x and glyph code of each character of one line, after alignment (0 starts at x, 1 centred on
// x, 2 ends at x; always by the font-100 width). fixed_adv > 0 moves the pen that much per
// character. Tab, LF and CR get no entry: they draw nothing and take no room.
struct line_glyph {
    float x;
    int code;
};
std::vector<line_glyph> OGL_line_layout(const std::string& text, float x, int fixed_adv, int align);

// Line breaking of OGL_string. wrap <= 0 or >= 9999: one line, no break, lines_emitted 0.
// Otherwise breaks after space, '-' or '/' when the pen plus 6 per character of the next word
// passes wrap, and after every LF; each emitted line lowers the text by 10.
struct wrapped_text {
    std::vector<std::string> lines;
    int lines_emitted;  // lines that moved the pen down (0 when not wrapping)
};
// x is the line's start, the pen's origin for the break test.
wrapped_text OGL_wrap_text(const std::string& text, float x, float wrap, int fixed_adv);

// text in lines by the drawn widths, each ending after the last space, hyphen or slash that fits
// width, or after a LF; a word wider than width, with the break after it, is a line of its own.
// The lines hold every byte of the text, in order.
std::vector<std::string> OGL_break_lines(const std::string& text, float width);

// The lines OGL_string draws text in at `wrap`, held to max_lines (at least 1) lines none wider
// than wrap: a line that would be wider (a word without breaks) is cut and ends in "...", and
// where more lines would follow, the last line shown begins with "..." and ends as the text does.
std::vector<std::string> OGL_fit_lines(const std::string& text, float wrap, int max_lines);

// The text when it is no wider than width, else its start and its end with "..." between them,
// the whole no wider than width: one line that still shows where a long path begins and ends.
std::string OGL_fit_line(const std::string& text, float width);

// The label a line begins with: its text up to and with the first ": " ("Error: "), empty when
// it has none.
std::string OGL_line_label(const std::string& line);

// How text wrapped at wrap (> 0) shows when no line may be wider than room nor, with max_lines
// above 0, more lines than max_lines follow. whole: the lines are OGL_wrap_text's and the text is
// drawn as it is. Otherwise each line is drawn alone, unwrapped: the wrap estimates words, so a
// line wider than room is wrapped again at room by its drawn width, a piece that alone is wider (a
// name without breaks) is cut in its middle as OGL_fit_line does, and where more lines would
// follow, the last one shown begins with "..." and ends as the text does. Held to one line, the
// text keeps its label (one no wider than half the room) before the "...".
struct fitted_text {
    std::vector<std::string> lines;
    bool whole;
};
fitted_text OGL_fit_text(const std::string& text, float wrap, float room, int max_lines);

// Rounds to the nearest whole number, halves away from zero.
float OGL_round_half_away(float v);

// The number of OGL_number as text, for fonts other than 102: zero-filled, with thousands
// separators, or "d.ddxe" when it needs more than digits positions. A value that is not finite
// shows one '-' per digit position.
std::string OGL_number_text(float value, int digits, int decimals);

// The number of OGL_number in font 102: glyphs at x offsets from the rounded left end, in drawing
// order (sign, point and separators half a cell right of the digit they follow, then at most 11
// digits, 10 apart).
struct number_cell {
    float dx;
    char c;
};
std::vector<number_cell> OGL_number_cells(float value, int digits, int decimals);

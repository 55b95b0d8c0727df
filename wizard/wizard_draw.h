// What the wizard draws besides the widgets: images of the four built-in textures, text in the
// interface font and outlines. Everything goes through the widgets' painter, so tests without
// GL record it instead. Positions are window units of the current sub-window.
#pragma once

#include <string>
#include <vector>

// One quad: window corners, then the matching corners in texels of the texture (v from its
// first stored row).
struct wizard_quad {
    float x0, y0, x1, y1;
    float u0, v0, u1, v1;
};

// Quads of texture ref tex in palette slot colour at alpha; colour -1 is plain white, which
// neither the global fade nor the monochrome mode changes.
void wizard_image(int tex, int colour, float alpha, const std::vector<wizard_quad>& quads);
// Text in font 100; wrap <= 0 keeps one line; align 0 left, 1 centred, 2 right.
void wizard_text(int colour, float x, float y, const std::string& text, float wrap, int align);
// wizard_text wrapped at wrap (> 0). The wrap estimates words, so a line may pass wrap a little;
// a line wider than room, the width its place leaves, is wrapped again at room by its drawn width
// (pushing the lines after it down), and only a piece that alone is wider (a name without breaks,
// such as a long folder name) is cut in its middle with "...", so none passes room. With max_lines
// above 0, a text that needs more lines shows its end after "..." on the last (OGL_fit_text).
void wizard_text_within(int colour, float x, float y, const std::string& text, float wrap, float room,
                        int align, int max_lines = 0);
// A closed line through the points (x, y pairs).
void wizard_outline(int colour, float alpha, const std::vector<float>& points);
// A filled rectangle from (x, y), w wide and h high.
void wizard_fill(int colour, float alpha, float x, float y, float w, float h);

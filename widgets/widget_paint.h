// Everything the widgets draw goes through one painter: the GL one in the program, a recorder in
// tests that run without GL.
#pragma once

#include <string>
#include <vector>

// One quad of an image: its window corners (sub-window origin included) and the matching
// corners in the image's pixels, v counting from the image's first stored (bottom) row.
struct atlas_quad {
    float x0, y0, x1, y1;
    float u0, v0, u1, v1;
};

inline constexpr int tex_interface = 392;  // 512 x 512: widget art and font 100
inline constexpr int tex_elements = 393;   // 1024 x 128
inline constexpr int tex_map = 394;        // 512 x 512
inline constexpr int tex_background = 395; // 1024 x 1024

class widget_painter {
public:
    virtual ~widget_painter() = default;
    // One batch of quads from texture ref tex in palette slot colour at alpha, blended.
    virtual void quads(int tex, int colour, const std::vector<atlas_quad>& q, float alpha = 1.0f) = 0;
    // The same, rotated by -degrees about the window point (cx, cy) (clockwise for positive
    // degrees); the quads' corners are relative to that point.
    virtual void quads_rotated(int tex, int colour, float cx, float cy, float degrees,
                               const std::vector<atlas_quad>& q) = 0;
    // The primitives and text calls of the graphics layer (positions relative to the sub-window).
    virtual float string(int colour, float x, float y, const std::string& text, float wrap, int font, int align) = 0;
    virtual void number(int colour, float x, float y, float value, int digits, int decimals, int font) = 0;
    virtual void line(int colour, float alpha, float x1, float y1, float x2, float y2) = 0;
    virtual void fillrect(int colour, float alpha, float x, float y, float w, float h) = 0;
    // The outline of a rectangle; by default four lines.
    virtual void framerect(int colour, float alpha, float x, float y, float w, float h) {
        line(colour, alpha, x, y, x + w, y);
        line(colour, alpha, x + w, y, x + w, y + h);
        line(colour, alpha, x + w, y + h, x, y + h);
        line(colour, alpha, x, y + h, x, y);
    }
    // The whole window in the background colour (slot 34), also inside a sub-window.
    virtual void back_colour() {}
    // Loads an image file as the texture of ref with the texture manager's flags, failing
    // silently: ref, or 0 when it could not be loaded. Painters without GL load nothing.
    virtual int load_image(int, int, const std::string&) { return 0; }
    // The loaded image of ref over the rectangle (sub-window relative), unblended.
    virtual void image(int, int, float, float, float, float, float) {}
    virtual void scissors(float x, float y, float w, float h) = 0;
    virtual void scissors_end() = 0;
    // Shows the frame at once (a pressed button before the screen moves on).
    virtual void swap() = 0;
};

// The painter in use: the GL painter unless a test installed another.
widget_painter& widget_paint();
// Installs p (null: the GL painter); returns the painter it replaced, null for the GL one.
widget_painter* set_widget_painter(widget_painter* p);

// Shell tests: what the widgets' painter was asked to write, while the drawing still happens.
#pragma once

#include <string>
#include <vector>

#include "widgets/widget_paint.h"

// The GL test context with the built-in images loaded (once) and mnw an 800 x 600 window with the
// main screen entered; false when there is no GL.
bool gl_main_screen();

struct tapped_string {
    int colour;
    float x, y;
    std::string text;
    float wrap;
    int font, align;
};

// Passes every call on to the painter it replaces and keeps the strings; puts it back at the end.
class string_tap : public widget_painter {
public:
    string_tap();
    ~string_tap() override;
    std::vector<tapped_string> strings;
    const tapped_string* find(const std::string& text) const;

    void quads(int tex, int colour, const std::vector<atlas_quad>& q, float alpha) override {
        real_.quads(tex, colour, q, alpha);
    }
    void quads_rotated(int tex, int colour, float cx, float cy, float degrees,
                       const std::vector<atlas_quad>& q) override {
        real_.quads_rotated(tex, colour, cx, cy, degrees, q);
    }
    float string(int colour, float x, float y, const std::string& text, float wrap, int font, int align) override;
    void number(int colour, float x, float y, float value, int digits, int decimals, int font) override {
        real_.number(colour, x, y, value, digits, decimals, font);
    }
    void line(int colour, float alpha, float x1, float y1, float x2, float y2) override {
        real_.line(colour, alpha, x1, y1, x2, y2);
    }
    void fillrect(int colour, float alpha, float x, float y, float w, float h) override {
        real_.fillrect(colour, alpha, x, y, w, h);
    }
    void scissors(float x, float y, float w, float h) override { real_.scissors(x, y, w, h); }
    void scissors_end() override { real_.scissors_end(); }
    void swap() override { real_.swap(); }

private:
    widget_painter& real_;
    widget_painter* previous_;
};

#include "wizard/wizard_draw.h"

#include "graphics/text_layout.h"
#include "widgets/widget_paint.h"

void wizard_image(int tex, int colour, float alpha, const std::vector<wizard_quad>& quads) {
    if (quads.empty()) return;
    std::vector<atlas_quad> q;
    q.reserve(quads.size());
    for (const wizard_quad& w : quads) q.push_back({w.x0, w.y0, w.x1, w.y1, w.u0, w.v0, w.u1, w.v1});
    widget_paint().quads(tex, colour < 0 ? 103 : colour, q, alpha);
}

void wizard_text(int colour, float x, float y, const std::string& text, float wrap, int align) {
    if (!text.empty()) widget_paint().string(colour, x, y, text, wrap, 100, align);
}

void wizard_text_within(int colour, float x, float y, const std::string& text, float wrap, float room,
                        int align, int max_lines) {
    const fitted_text fitted = OGL_fit_text(text, wrap, room, max_lines);
    if (fitted.whole) {
        wizard_text(colour, x, y, text, wrap, align);
        return;
    }
    for (const std::string& line : fitted.lines) {
        wizard_text(colour, x, y, line, 9999, align);
        y -= 10.0f;
    }
}

void wizard_outline(int colour, float alpha, const std::vector<float>& points) {
    const size_t n = points.size() / 2;
    for (size_t i = 0; i < n; ++i) {
        const size_t j = (i + 1) % n;
        widget_paint().line(colour, alpha, points[2 * i], points[2 * i + 1], points[2 * j], points[2 * j + 1]);
    }
}

void wizard_fill(int colour, float alpha, float x, float y, float w, float h) {
    if (w > 0 && h > 0) widget_paint().fillrect(colour, alpha, x, y, w, h);
}

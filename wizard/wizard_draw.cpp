#include "wizard/wizard_draw.h"

#include <algorithm>

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
                        int align) {
    const std::vector<std::string> lines = OGL_wrap_text(text, x, wrap, 0).lines;
    // What ends a line (its break, a line feed) draws nothing worth keeping.
    auto ink = [](std::string line) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) line.pop_back();
        return line;
    };
    auto too_wide = [&](const std::string& l) { return OGL_string_width(ink(l)) > room; };
    if (std::none_of(lines.begin(), lines.end(), too_wide)) {
        wizard_text(colour, x, y, text, wrap, align);
        return;
    }
    // The wrap misjudges wide letters: such a line is wrapped again by its drawn width, and only a
    // piece that alone is wider than room is cut.
    for (const std::string& line : lines)
        for (const std::string& piece : too_wide(line) ? OGL_break_lines(line, room) : std::vector{line}) {
            // A space the wrap left at a line's start is no line of its own.
            if (piece.find_first_not_of(' ') == std::string::npos) continue;
            wizard_text(colour, x, y, OGL_fit_line(ink(piece), room), 9999, align);
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

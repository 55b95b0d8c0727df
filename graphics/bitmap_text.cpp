// Bitmap fonts and text drawing (graphics layer).
#include "graphics/bitmap_text.h"

#include <GL/gl.h>

#include "core/alert.h"
#include "core/window_state.h"
#include "graphics/gl_state_cache.h"
#include "graphics/primitives.h"
#include "graphics/text_layout.h"
#include "graphics/texture_manager.h"

float oglp = 1.0f;

int OGL_strtex(int font, int color, float* tex_x, float* tex_y, float* cell_w, float* cell_h) {
    OGL_setstate(1, 1, 3, 5, 9, 11);
    OGL_set_colour(color, 1.0f);
    int adv;
    switch (font) {
        case font_prop:
            adv = 0;
            break;
        case font_fixed:
            adv = 10;
            break;
        case font_sheet:
            adv = 15;
            break;
        default:
            __MACIBM_alert(0, "String proc with bad charset!", "", "", "", 2, "OOPS_cpp/oglp", 494);
            return 0;
    }
    tman.bind_ref(font == font_sheet ? 396 : 392, 0, 0);
    *tex_x = 0;
    *tex_y = 0;
    *cell_w = font == font_sheet ? 13.0f : static_cast<float>(glyph_cell_w);
    *cell_h = font == font_sheet ? 13.0f : static_cast<float>(glyph_cell_h);
    return adv;
}

void OGL_char(float x, float y, float tex_x, float tex_y, float cell_w, float cell_h, int code, int font) {
    // A byte may come as a signed char; the missing-glyph mark's code lies above the bytes.
    const glyph_quad q =
        OGL_glyph_quad(x, y, tex_x, tex_y, cell_w, cell_h, code < 0 ? code & 0xFF : code, font, oglp);
    glTexCoord2f(q.s0, q.t0);
    glVertex2f(q.x0, q.y0);
    glTexCoord2f(q.s0, q.t1);
    glVertex2f(q.x0, q.y1);
    glTexCoord2f(q.s1, q.t1);
    glVertex2f(q.x1, q.y1);
    glTexCoord2f(q.s1, q.t0);
    glVertex2f(q.x1, q.y0);
}

void str_one_line(int color, float x, float y, const std::string& text, int font, int align) {
    // Set when the font is bad and the alert came back: nothing is drawn then.
    float tex_x = 0, tex_y = 0, cell_w = 0, cell_h = 0;
    const int adv = OGL_strtex(font, color, &tex_x, &tex_y, &cell_w, &cell_h);
    glBegin(GL_QUADS);
    for (const line_glyph& g : OGL_line_layout(text, x, adv, align))
        OGL_char(g.x, y, tex_x, tex_y, cell_w, cell_h, g.code, font);
    glEnd();
}

float OGL_string(int color, float x, float y, const std::string& text, float wrap, int font, int align) {
    float tex_x, tex_y, cell_w, cell_h;
    const int adv = OGL_strtex(font, color, &tex_x, &tex_y, &cell_w, &cell_h);
    const float px = OGL_round_half_away(x + mnw.subwin_x);
    float py = OGL_round_half_away(y + mnw.subwin_y - 2.0f);
    const wrapped_text w = OGL_wrap_text(text, px, wrap, adv);
    for (const std::string& line : w.lines) {
        str_one_line(color, px, py, line, font, align);
        if (w.lines_emitted > 0) py -= 10.0f;
    }
    return py - mnw.subwin_y + 2.0f;
}

void OGL_gray_string(int color, float x, float y, const std::string& text) {
    const float h = OGL_string_width(text) / 2.0f;
    OGL_grayrect(x - h - 2.0f, y - 2.0f, x + h + 2.0f, y + 8.0f, 0.5f);
    OGL_string(color, x - h, y, text, 9999.0f, font_prop, 0);
}

void OGL_number(int color, float x, float y, float value, int digits, int decimals, int font) {
    if (font != font_fixed) {
        OGL_string(color, x, y, OGL_number_text(value, digits, decimals), 9999.0f, font, 0);
        return;
    }
    float tex_x, tex_y, cell_w, cell_h;
    OGL_strtex(font_fixed, color, &tex_x, &tex_y, &cell_w, &cell_h);
    const float px = OGL_round_half_away(x + mnw.subwin_x);
    const float py = OGL_round_half_away(y + mnw.subwin_y) - 2.0f;
    glBegin(GL_QUADS);
    for (const number_cell& c : OGL_number_cells(value, digits, decimals))
        OGL_char(px + c.dx, py, tex_x, tex_y, cell_w, cell_h, static_cast<unsigned char>(c.c), font_fixed);
    glEnd();
}

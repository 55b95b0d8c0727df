#include "widgets/widget_paint.h"

#include <GL/gl.h>

#include "core/locks_and_queues.h"
#include "graphics/background_and_screenshot.h"
#include "graphics/bitmap_text.h"
#include "graphics/gl_state_cache.h"
#include "graphics/primitives.h"
#include "graphics/screen_2d.h"
#include "graphics/texture_manager.h"

namespace {

// The state, colour and texture of a batch of atlas quads: one texture unit, blended, no depth.
void begin_quads(int tex, int colour, float alpha) {
    OGL_setstate(1, 1, 3, 5, 9, 11);
    OGL_set_colour(colour, alpha);
    tman.bind_ref(tex, 0, 0);
}

// Quads from lower left, counter-clockwise; texture coordinates are the image's pixels over its size.
void emit_quads(int tex, const std::vector<atlas_quad>& q) {
    const float sw = tex == tex_elements || tex == tex_background ? 1024 : 512;
    const float sh = tex == tex_elements ? 128 : (tex == tex_background ? 1024 : 512);
    glBegin(GL_QUADS);
    for (const atlas_quad& a : q) {
        glTexCoord2f(a.u0 / sw, a.v0 / sh);
        glVertex2f(a.x0, a.y0);
        glTexCoord2f(a.u0 / sw, a.v1 / sh);
        glVertex2f(a.x0, a.y1);
        glTexCoord2f(a.u1 / sw, a.v1 / sh);
        glVertex2f(a.x1, a.y1);
        glTexCoord2f(a.u1 / sw, a.v0 / sh);
        glVertex2f(a.x1, a.y0);
    }
    glEnd();
}

class gl_painter final : public widget_painter {
public:
    void quads(int tex, int colour, const std::vector<atlas_quad>& q, float alpha) override {
        begin_quads(tex, colour, alpha);
        emit_quads(tex, q);
    }
    void quads_rotated(int tex, int colour, float cx, float cy, float degrees,
                       const std::vector<atlas_quad>& q) override {
        begin_quads(tex, colour, 1.0f);
        glPushMatrix();
        glTranslatef(cx, cy, 0);
        glRotatef(-degrees, 0, 0, 1);
        emit_quads(tex, q);
        glPopMatrix();
    }
    float string(int colour, float x, float y, const std::string& text, float wrap, int font, int align) override {
        return OGL_string(colour, x, y, text, wrap, font, align);
    }
    void number(int colour, float x, float y, float value, int digits, int decimals, int font) override {
        OGL_number(colour, x, y, value, digits, decimals, font);
    }
    void line(int colour, float alpha, float x1, float y1, float x2, float y2) override {
        OGL_line(colour, alpha, x1, y1, x2, y2);
    }
    void fillrect(int colour, float alpha, float x, float y, float w, float h) override {
        OGL_fillrect(colour, alpha, x, y, w, h);
    }
    void framerect(int colour, float alpha, float x, float y, float w, float h) override {
        OGL_framerect(colour, alpha, x, y, w, h);
    }
    void back_colour() override { OGL_plot_back_col(); }
    int load_image(int ref, int flags, const std::string& file) override {
        return tman.load_texture(tex_fail_quiet, ref, flags, tex_loaded, file);
    }
    void image(int ref, int colour, float alpha, float x0, float y0, float x1, float y1) override {
        // The image fills the lower left of its power-of-two texture.
        float s = 0, t = 0;
        UTL_critical_section_lock(&tman.lock);
        if (static_cast<size_t>(ref) < tman.ref_dat.size()) {
            const tman_class::ref_dat_struct& r = tman.ref_dat[static_cast<size_t>(ref)];
            if (r.tex_dx > 0 && r.tex_dy > 0) s = r.img_dx / r.tex_dx, t = r.img_dy / r.tex_dy;
        }
        UTL_critical_section_unlock(&tman.lock);
        OGL_2dquad(ref, colour, alpha, x0, y0, 0, 0, x0, y1, 0, t, x1, y1, s, t, x1, y0, s, 0, 1, 4);
    }
    void scissors(float x, float y, float w, float h) override { OGL_scissors(x, y, w, h); }
    void scissors_end() override { OGL_scissors_end(); }
    void swap() override { OGL_sbuff(); }
};

gl_painter gl;
widget_painter* installed = nullptr;

}  // namespace

widget_painter& widget_paint() { return installed ? *installed : gl; }

widget_painter* set_widget_painter(widget_painter* p) {
    widget_painter* old = installed;
    installed = p;
    return old;
}

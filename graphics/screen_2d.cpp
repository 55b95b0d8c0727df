// The 2-D window space everything is drawn in (graphics layer).
#include "graphics/screen_2d.h"

#include <GL/gl.h>

#include <algorithm>

#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/camera.h"
#include "graphics/render_state.h"

namespace {
void finish_only() { glFinish(); }
ogl_swap_fn swap_hook = finish_only;
}  // namespace

ogl_swap_fn OGL_set_swap_hook(ogl_swap_fn swap) {
    ogl_swap_fn old = swap_hook;
    swap_hook = swap ? swap : finish_only;
    return old;
}

void OGL_pix_specs(int) {
    mnw.view_l = 0;
    mnw.view_b = 0;
    mnw.view_r = static_cast<float>(mnw.x_res);
    mnw.view_t = static_cast<float>(mnw.y_res);
    mnw.scale = 1.0f;
    mnw.zoom = 1.0f;
    mnw.center_x = mnw.x_res / 2.0f;
    mnw.center_y = 384;
    mnw.layout_dx = mnw.curwin == -1 ? 0 : std::max(0.0f, (mnw.x_res - 1024) / 2.0f);
    mnw.layout_dy = std::max(0.0f, static_cast<float>(mnw.y_res - 768));
    if (mnw.curwin >= 0) OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
}

void OGL_viewport(int mode, float left, float vp_x, float bottom, float vp_y, float right, float vp_right,
                  float near, float top, float vp_top, float far, float zoom, int keep_aspect) {
    int origin_x = 0, origin_y = 0;
    if (mode == 2) {
        left = mnw.view_l;
        bottom = mnw.view_b;
        right = mnw.view_r;
        top = mnw.view_t;
        vp_x = vp_y = 0;
        vp_right = static_cast<float>(mnw.x_res);
        vp_top = static_cast<float>(mnw.y_res);
    } else {
        if (mode == 3) {
            left *= near;
            bottom *= near;
            right *= near;
            top *= near;
            vp_x *= mnw.scale;
            vp_y *= mnw.scale;
            vp_right *= mnw.scale;
            vp_top *= mnw.scale;
        }
        origin_x = static_cast<int>(vp_x);
        origin_y = static_cast<int>(vp_y);
    }
    const float w = vp_right - vp_x, h = vp_top - vp_y;
    if (keep_aspect && w != 0) {
        top *= h / w;
        bottom *= h / w;
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    if (zoom == 0) zoom = 1;  // no division by zero into the matrices
    if (mode == 2)
        xcam.SetupOrtho(left / zoom, right / zoom, bottom / zoom, top / zoom, -1.0, 1.0);
    else if (mode == 3)
        xcam.SetupFrustum(left / zoom, right / zoom, bottom / zoom, top / zoom, near, far);
    glViewport(origin_x, origin_y, static_cast<int>(w), static_cast<int>(h));
    xcam.Identity();
    glLoadMatrixd(xcam.proj_matrix);
    glMatrixMode(GL_MODELVIEW);
    glLoadMatrixd(xcam.mv_matrix);
    xcam.mv_from_gl = 0;
}

void OGL_screensize(int mode, float x1, float y1, float x2, float y2) {
    if (mode == 2) {
        glViewport(0, 0, mnw.x_res, mnw.y_res);
        return;
    }
    if (mode == 3) {
        x1 *= mnw.scale;
        y1 *= mnw.scale;
        x2 *= mnw.scale;
        y2 *= mnw.scale;
    }
    glViewport(static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2 - x1), static_cast<int>(y2 - y1));
}

void OGL_scissors(float x, float y, float w, float h) {
    x += mnw.subwin_x;
    y += mnw.subwin_y;
    const float s = mnw.scale;
    const float X = x * s, Y = y * s, W = (x + w) * s - X, H = (y + h) * s - Y;
    glEnable(GL_SCISSOR_TEST);
    glScissor(static_cast<int>(X), static_cast<int>(Y), W > 0 ? static_cast<int>(W) : 0,
              H > 0 ? static_cast<int>(H) : 0);
}

void OGL_scissors_end() { glDisable(GL_SCISSOR_TEST); }

void OGL_nrml_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA); }

void OGL_glow_colors() { glBlendFunc(GL_SRC_ALPHA, GL_ONE); }

void OGL_poly_offset(int level) {
    if (level == 0) {
        glDisable(GL_POLYGON_OFFSET_FILL);
        return;
    }
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(level * -10.0f, -1.0f);
}

void OGL_setspec(float s) {
    const GLfloat specular[4] = {s, s, s, 1.0f};
    glLightfv(GL_LIGHT0, GL_SPECULAR, specular);
    glMaterialfv(GL_FRONT, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT, GL_SHININESS, 128);
}

void OGL_sbuff() {
    const float c = ren.monochrome ? 0.0f : 1.0f;
    glColor4f(c, 1.0f, c, ren.global_fade);
    xtim.profile_chart("sb1", 0);
    swap_hook();
    xtim.profile_chart("sb2", 0);
}

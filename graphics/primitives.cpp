// Immediate-mode 2-D and 3-D primitives (graphics layer).
#include "graphics/primitives.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/window_state.h"
#include "graphics/gl_state_cache.h"
#include "graphics/palette.h"
#include "graphics/render_state.h"
#include "graphics/texture_manager.h"

float lookup_sin[361];
float lookup_cos[361];

void OGL_fill_angle_tables() {
    const float degtorad = 0.017453292519943295f;
    for (int d = 0; d <= 360; ++d) {
        const float a = static_cast<float>(d) * degtorad;
        lookup_sin[d] = std::sin(a);
        lookup_cos[d] = std::cos(a);
    }
}

namespace {
// Filled at load, so drawing never meets empty tables whatever the start-up order.
const bool angle_tables_filled = (OGL_fill_angle_tables(), true);

// Every 2-D vertex is relative to the current sub-window.
void vertex2(float x, float y) { glVertex2f(x + mnw.subwin_x, y + mnw.subwin_y); }

// Monochrome keeps only green: the sum of the three, between 0.01 and 1.
void monochrome(ogl_rgba& c) {
    if (!ren.monochrome) return;
    const float g = c.r + c.g + c.b;
    c.g = g < 0.01f ? 0.01f : std::min(g, 1.0f);
    c.r = c.b = 0;
}
}  // namespace

const float st00[2] = {0, 0}, st01[2] = {0, 1}, st10[2] = {1, 0}, st11[2] = {1, 1};

ogl_rgba OGL_slot_colour(int c, float alpha) {
    ogl_rgba out{colr.rgb[c][0], colr.rgb[c][1], colr.rgb[c][2], alpha * ren.global_fade};
    if (c <= 45) {
        out.r *= colr.rgb[105][0];
        out.g *= colr.rgb[105][1];
        out.b *= colr.rgb[105][2];
    }
    monochrome(out);
    return out;
}

void OGL_set_colour(int c, float alpha) {
    const ogl_rgba k = OGL_slot_colour(c, alpha);
    if (k.a <= 0.99f) {
        glColor4f(k.r, k.g, k.b, k.a);
    } else {
        // Opaque with an explicit alpha of 1: Mesa's immediate mode can keep the alpha of an
        // earlier glColor4f for a glColor3fv that follows it in the same batch.
        glColor4f(k.r, k.g, k.b, 1.0f);
    }
}

ogl_rgba OGL_spectrum_colour(float v) {
    const auto& keys = spectrum_keys;
    ogl_rgba out{0, 0, 0, ren.global_fade};
    const float* rgb = keys[0];
    float mixed[3];
    if (v >= 1) {
        rgb = keys[6];
    } else if (v > 0) {
        const int k = std::min(5, static_cast<int>(v * 6));
        const float f = v * 6 - k;
        for (int i = 0; i < 3; ++i) mixed[i] = (1 - f) * keys[k][i] + f * keys[k + 1][i];
        rgb = mixed;
    }
    out.r = rgb[0];
    out.g = rgb[1];
    out.b = rgb[2];
    monochrome(out);
    return out;
}

void OGL_spectrum_rgb(float v) {
    const ogl_rgba k = OGL_spectrum_colour(v);
    glColor4f(k.r, k.g, k.b, k.a);
}

void OGL_printer() {}

// --- 2-D

void OGL_line(int c, float alpha, float x1, float y1, float x2, float y2) {
    OGL_setstate(1, 0, 3, 5, 9, 11);
    OGL_set_colour(c, alpha);
    glBegin(GL_LINES);
    vertex2(x1 + 0.5f, y1 + 0.5f);  // pixel centres
    vertex2(x2 + 0.5f, y2 + 0.5f);
    glEnd();
}

void OGL_fillrect(int c, float alpha, float x, float y, float w, float h) {
    OGL_setstate(1, 0, 3, 5, 9, 11);
    OGL_set_colour(c, alpha);
    // Clockwise in y-up space: the front face, which culling keeps.
    glBegin(GL_QUADS);
    vertex2(x, y);
    vertex2(x, y + h);
    vertex2(x + w, y + h);
    vertex2(x + w, y);
    glEnd();
}

void OGL_framerect(int c, float alpha, float x, float y, float w, float h) {
    OGL_setstate(1, 0, 3, 5, 9, 11);
    OGL_set_colour(c, alpha);
    glBegin(GL_LINE_LOOP);
    vertex2(x + 0.5f, y + 0.5f);
    vertex2(x + 0.5f, y + h + 0.5f);
    vertex2(x + w + 0.5f, y + h + 0.5f);
    vertex2(x + w + 0.5f, y + 0.5f);
    glEnd();
}

void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha) {
    OGL_setstate(1, 0, 3, 5, 9, 11);
    OGL_set_colour(12, alpha);
    glBegin(GL_QUADS);
    vertex2(x1, y1);
    vertex2(x1, y2);
    vertex2(x2, y2);
    vertex2(x2, y1);
    glEnd();
}

void OGL_fillcircle(int c, float x, float y, float r) {
    for (float dy = -r; dy <= r; dy += 1) {
        const float half = std::sqrt(std::max(0.0f, r * r - dy * dy));
        OGL_line(c, 1.0f, x - half, y + dy, x + half, y + dy);
    }
}

void OGL_framecircle(int c, float x, float y, float r) {
    OGL_setstate(1, 0, 3, 4, 9, 11);
    OGL_set_colour(c, 1.0f);
    const float cx = x + mnw.subwin_x, cy = y + mnw.subwin_y;
    // Angle 0 straight up, clockwise.
    glBegin(GL_LINE_STRIP);
    for (int d = 0; d <= 360; d += 5) glVertex2f(cx + r * lookup_sin[d] + 0.5f, cy + r * lookup_cos[d] + 0.5f);
    glEnd();
}

void OGL_arc(int c, float x, float y, float r1, float r2, float d1, float d2) {
    const float to_rad = static_cast<float>(M_PI / 180);
    for (float r = r1; r <= r2; r += 1) {
        float px = x + r * std::sin(d1 * to_rad), py = y + r * std::cos(d1 * to_rad);
        for (float d = d1; d <= d2; d += 1) {
            const float qx = x + r * std::sin(d * to_rad), qy = y + r * std::cos(d * to_rad);
            OGL_line(c, 1.0f, px, py, qx, qy);
            px = qx;
            py = qy;
        }
    }
}

namespace {
constexpr int alpha_as_grey_ref = 418;

void textured_vertex(float x, float y, float s, float t) {
    glTexCoord2f(s, t);
    vertex2(x, y);
}
}  // namespace

void OGL_2dquad(int tex, int c, float alpha, float x1, float y1, float s1, float t1, float x2, float y2, float s2,
                float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int tex_units, int alpha_mode) {
    OGL_setstate(1, tex_units, 3, alpha_mode, 9, 11);
    if (tex > 0) tman.bind_ref(tex, 0, tex == alpha_as_grey_ref ? 17 : 0);
    OGL_set_colour(c, alpha);
    glBegin(GL_QUADS);
    textured_vertex(x1, y1, s1, t1);
    textured_vertex(x2, y2, s2, t2);
    textured_vertex(x3, y3, s3, t3);
    textured_vertex(x4, y4, s4, t4);
    glEnd();
}

void OGL_2dquad_d(int tex, int c, float alpha, float x, float y, float s, float t, float w, float h, float ds,
                  float dt, int alpha_mode) {
    OGL_setstate(1, 1, 3, alpha_mode, 9, 11);
    if (tex > 0) tman.bind_ref(tex, 0, 0);
    OGL_set_colour(c, alpha);
    glBegin(GL_QUADS);
    textured_vertex(x, y, s, t);
    textured_vertex(x, y + h, s, t + dt);
    textured_vertex(x + w, y + h, s + ds, t + dt);
    textured_vertex(x + w, y, s + ds, t);
    glEnd();
}

// --- 3-D

void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2) {
    glVertex3f(x1, y1, z1);
    glVertex3f(x2, y2, z2);
}

namespace {
// (p3 - p2) x (p2 - p1), normalised; straight up when the points are in a line.
void quad_normal(const float* p1, const float* p2, const float* p3) {
    const float a[3] = {p3[0] - p2[0], p3[1] - p2[1], p3[2] - p2[2]};
    const float b[3] = {p2[0] - p1[0], p2[1] - p1[1], p2[2] - p1[2]};
    float n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
    const float l = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
    if (l > 0) {
        for (float& v : n) v /= l;
    } else {
        n[0] = n[2] = 0;
        n[1] = 1;
    }
    glNormal3fv(n);
}
}  // namespace

void OGL_3dquad(const float* p1, const float* p2, const float* p3, const float* p4) {
    quad_normal(p1, p2, p3);
    glTexCoord2fv(st11);
    glVertex3fv(p1);
    glTexCoord2fv(st10);
    glVertex3fv(p2);
    glTexCoord2fv(st00);
    glVertex3fv(p3);
    glTexCoord2fv(st01);
    glVertex3fv(p4);
}

void OGL_3dquad_st(const float* p1, const float* p2, const float* p3, const float* p4, float s1, float t1, float s2,
                   float t2) {
    quad_normal(p1, p2, p3);
    glTexCoord2f(s1, t1);
    glVertex3fv(p1);
    glTexCoord2f(s1, t2);
    glVertex3fv(p2);
    glTexCoord2f(s2, t2);
    glVertex3fv(p3);
    glTexCoord2f(s2, t1);
    glVertex3fv(p4);
}

void OGL_cube(float x, float y, float z, float w, float h, float d, float s1, float s2, float t_low, float t_high,
              float angle) {
    glPushMatrix();
    glTranslatef(x, y, z);
    glRotatef(-angle, 0, 0, 1);
    const float hw = w / 2, hd = d / 2;
    const float corners[5][2] = {{-hw, -hd}, {hw, -hd}, {hw, hd}, {-hw, hd}, {-hw, -hd}};
    const float normals[4][3] = {{0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}};
    glBegin(GL_QUAD_STRIP);
    for (int i = 0; i < 5; ++i) {
        if (i == 0) glNormal3fv(normals[0]);
        if (i >= 2) glNormal3fv(normals[i - 1]);
        const float s = i % 2 ? s2 : s1;
        glTexCoord2f(s, t_high);
        glVertex3f(corners[i][0], h, corners[i][1]);
        glTexCoord2f(s, t_low);
        glVertex3f(corners[i][0], 0, corners[i][1]);
    }
    glEnd();
    glBegin(GL_QUADS);
    glNormal3f(0, 1, 0);
    const float top_s[4] = {s1, s2, s2, s1};
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(top_s[i], t_high);
        glVertex3f(corners[i][0], h, corners[i][1]);
    }
    glNormal3f(0, -1, 0);
    const float bottom[4][2] = {{-hw, hd}, {hw, hd}, {hw, -hd}, {-hw, -hd}};
    for (int i = 0; i < 4; ++i) {
        glTexCoord2f(top_s[i], t_low);
        glVertex3f(bottom[i][0], 0, bottom[i][1]);
    }
    glEnd();
    glPopMatrix();
}

void OGL_disc(float x, float y, float z, float r) {
    glPushMatrix();
    glTranslatef(x, y, z);
    const float k = 0.38f * r;
    auto ring = [](float px, float rho, int a) { glVertex3f(px, rho * lookup_cos[a], -rho * lookup_sin[a]); };
    glBegin(GL_TRIANGLE_FAN);
    glNormal3f(-1, 0, 0);
    glVertex3f(-r, 0, 0);
    for (int a = 360; a >= 0; a -= 30) ring(-r, k, a);
    glEnd();
    glBegin(GL_TRIANGLE_FAN);
    glNormal3f(1, 0, 0);
    glVertex3f(r, 0, 0);
    for (int a = 0; a <= 360; a += 30) ring(r, k, a);
    glEnd();
    const float bands[3][4] = {{-r, k, -k, r}, {-k, r, k, r}, {k, r, r, k}};  // px and rho of both rings
    for (const auto& b : bands) {
        glBegin(GL_QUAD_STRIP);
        for (int a = 360; a >= 0; a -= 30) {
            ring(b[0], b[1], a);
            ring(b[2], b[3], a);
        }
        glEnd();
    }
    glPopMatrix();
}

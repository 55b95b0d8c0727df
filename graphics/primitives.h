// Graphics layer (graphics/).
// Immediate-mode primitives. 2-D ones take window units relative to the current sub-window and a
// palette slot plus alpha, and state their GL needs through OGL_setstate; 3-D ones use world
// coordinates. Main (GL) thread only.
#pragma once

// Sine and cosine of every whole degree 0..360, single precision; filled before main.
extern float lookup_sin[361];
extern float lookup_cos[361];
void OGL_fill_angle_tables();

extern const float st00[2], st01[2], st10[2], st11[2];

struct ogl_rgba {
    float r, g, b, a;
};
// The colour rule: slot c of colr; slots 0-45 times the tint (slot 105); green only in
// monochrome; alpha times the global fade.
ogl_rgba OGL_slot_colour(int c, float alpha);
// Sets it as the current colour: with its alpha up to 0.99, else opaque.
void OGL_set_colour(int c, float alpha);
// The seven-key ramp black, red, orange, yellow, green, blue, violet over v = 0..1.
ogl_rgba OGL_spectrum_colour(float v);

void OGL_line(int c, float alpha, float x1, float y1, float x2, float y2);
void OGL_fillrect(int c, float alpha, float x, float y, float w, float h);
void OGL_framerect(int c, float alpha, float x, float y, float w, float h);
void OGL_grayrect(float x1, float y1, float x2, float y2, float alpha);
void OGL_fillcircle(int c, float x, float y, float r);
void OGL_framecircle(int c, float x, float y, float r);
void OGL_arc(int c, float x, float y, float r1, float r2, float d1, float d2);
// Textured quads: tex is a texture manager ref (0 or less keeps the bound texture); ref 418 shows
// its texture's alpha as grey.
void OGL_2dquad(int tex, int c, float alpha, float x1, float y1, float s1, float t1, float x2, float y2, float s2,
                float t2, float x3, float y3, float s3, float t3, float x4, float y4, float s4, float t4,
                int tex_units, int alpha_mode);
void OGL_2dquad_d(int tex, int c, float alpha, float x, float y, float s, float t, float w, float h, float ds,
                  float dt, int alpha_mode);
void OGL_spectrum_rgb(float v);
void OGL_printer();

// The caller issues glBegin and glEnd around these three.
void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2);
void OGL_3dquad(const float* p1, const float* p2, const float* p3, const float* p4);
void OGL_3dquad_st(const float* p1, const float* p2, const float* p3, const float* p4, float s1, float t1, float s2,
                   float t2);
void OGL_cube(float x, float y, float z, float w, float h, float d, float s1, float s2, float t_low, float t_high,
              float angle);
void OGL_disc(float x, float y, float z, float r);

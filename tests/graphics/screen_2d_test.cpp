// The 2-D window space and the primitives, by GL state and pixels read back.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "common/gl_test_context.h"
#include "core/window_state.h"
#include "graphics/camera.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state_cache.h"
#include "graphics/matrix.h"
#include "graphics/palette.h"
#include "graphics/primitives.h"
#include "graphics/render_state.h"
#include "graphics/scratch_buffers.h"
#include "graphics/screen_2d.h"
#include "graphics/texture_manager.h"

namespace {
// The normals the drawing code sets, while recording: this program defines the two GL functions
// and forwards them to the GL library's own.
bool recording_normals = false;
std::vector<std::array<float, 3>> normals;
std::vector<int> normal_at;  // vertices (glVertex3f) given before each normal
int vertices = 0;
void record_normal(float x, float y, float z) {
    if (!recording_normals) return;
    normals.push_back({x, y, z});
    normal_at.push_back(vertices);
}
}  // namespace

extern "C" {
void glNormal3f(GLfloat x, GLfloat y, GLfloat z) {
    record_normal(x, y, z);
    reinterpret_cast<void (*)(GLfloat, GLfloat, GLfloat)>(aglGetProcAddress("glNormal3f"))(x, y, z);
}
void glNormal3fv(const GLfloat* v) {
    record_normal(v[0], v[1], v[2]);
    reinterpret_cast<void (*)(const GLfloat*)>(aglGetProcAddress("glNormal3fv"))(v);
}
void glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
    vertices += recording_normals;
    reinterpret_cast<void (*)(GLfloat, GLfloat, GLfloat)>(aglGetProcAddress("glVertex3f"))(x, y, z);
}
}

namespace {
class Screen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_test_context());
        saved_mnw = mnw;
        saved_colr_tint = {colr.rgb[105][0], colr.rgb[105][1], colr.rgb[105][2]};
        window(gl_test_width, gl_test_height, 0);
        gl_test_clear(0, 0, 0, 1);
    }
    void TearDown() override {
        mnw = saved_mnw;
        colr.assign(105, saved_colr_tint[0], saved_colr_tint[1], saved_colr_tint[2]);
        ren.monochrome = 0;
        ren.global_fade = 1;
    }
    static void window(int w, int h, int curwin) {
        mnw.x_res = w;
        mnw.y_res = h;
        mnw.curwin = curwin;
        mnw.subwin_x = mnw.subwin_y = 0;
        OGL_pix_specs(0);
    }
    static bool lit(int x, int y) { return gl_test_pixel(x, y).r > 128; }
    // Some pixel of [x0, x1] x [y0, y1] is lit.
    static bool lit_near(int x0, int y0, int x1, int y1) {
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x)
                if (lit(x, y)) return true;
        return false;
    }
    mnw_struct saved_mnw;
    std::array<float, 3> saved_colr_tint;
};

GLint scissor_box(int i) {
    GLint box[4];
    glGetIntegerv(GL_SCISSOR_BOX, box);
    return box[i];
}

int swaps = 0;
void count_swap() { ++swaps; }
}  // namespace

TEST_F(Screen, LayoutOffsetAndProjection) {
    const struct {
        int w, h, curwin;
        float layout_dx, layout_dy;
    } cases[] = {{800, 600, 0, 0, 0}, {1280, 1024, 0, 128, 256}, {1024, 768, 0, 0, 0}, {1280, 1024, -1, 0, 256}};
    for (const auto& c : cases) {
        window(c.w, c.h, c.curwin);
        EXPECT_EQ(mnw.layout_dx, c.layout_dx) << c.w;
        EXPECT_EQ(mnw.layout_dy, c.layout_dy) << c.w;
        EXPECT_EQ(mnw.view_r, static_cast<float>(c.w));
    }
    window(gl_test_width, gl_test_height, 0);
    double gl[16], want[16];
    glGetDoublev(GL_PROJECTION_MATRIX, gl);
    buildOrthoMatrix(want, 0, gl_test_width, 0, gl_test_height, -1, 1);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(gl[i], want[i], 1e-7) << i;
    EXPECT_EQ(xcam.mv_from_gl, 0);

    mnw.x_res = 1000;
    mnw.y_res = 500;
    mnw.view_r = 1000;
    mnw.view_t = 500;
    OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1);
    EXPECT_EQ(xcam.ortho_top, 250);
}

TEST_F(Screen, ScissorBoxInWindowUnits) {
    mnw.subwin_x = 200;
    mnw.subwin_y = 100;
    OGL_scissors(10, 20, 100, 50);
    EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_EQ(scissor_box(0), 210);
    EXPECT_EQ(scissor_box(1), 120);
    EXPECT_EQ(scissor_box(2), 100);
    EXPECT_EQ(scissor_box(3), 50);
    OGL_scissors(10, 20, -5, 50);
    EXPECT_EQ(scissor_box(2), 0);
    OGL_scissors(10, 20, 1, 1);
    EXPECT_EQ(scissor_box(2), 1);
    EXPECT_EQ(scissor_box(3), 1);
    OGL_scissors_end();
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(Screen, FilledRectangleInASubWindow) {
    mnw.subwin_x = 100;
    mnw.subwin_y = 50;
    OGL_fillrect(0, 1, 10, 20, 30, 40);
    // Inside exactly x 110..139, y 70..109: the corners are wound to survive culling.
    const struct {
        int x, y;
        bool in;
    } pixels[] = {{110, 70, true},  {139, 109, true},  {125, 90, true},  {109, 70, false},
                  {140, 70, false}, {110, 69, false}, {110, 110, false}};
    for (const auto& p : pixels) EXPECT_EQ(lit(p.x, p.y), p.in) << p.x << "," << p.y;
}

TEST_F(Screen, LinesAndFrames) {
    OGL_line(0, 1, 0, 10, 10, 10);  // through pixel centres of row 10
    for (int x = 0; x < 10; ++x) EXPECT_TRUE(lit(x, 10)) << x;
    EXPECT_FALSE(lit(10, 10));
    EXPECT_FALSE(lit(5, 11));
    EXPECT_FALSE(lit(5, 9));

    OGL_framerect(0, 1, 100, 100, 20, 10);
    EXPECT_TRUE(lit(100, 105));
    EXPECT_TRUE(lit(120, 105));
    EXPECT_TRUE(lit(110, 110));
    EXPECT_FALSE(lit(110, 105));  // hollow

    // A line in space inside the caller's line batch, at a depth the 2-D view keeps.
    OGL_setstate(1, 0, 3, 5, 9, 11);
    glColor4f(1, 1, 1, 1);
    glBegin(GL_LINES);
    OGL_3dline(200.5f, 40.5f, 0, 240.5f, 40.5f, 0);  // through pixel centres
    glEnd();
    EXPECT_TRUE(lit(200, 40));
    EXPECT_TRUE(lit(239, 40));
    EXPECT_FALSE(lit(240, 40));
    EXPECT_FALSE(lit(220, 41));

    OGL_fillcircle(0, 300, 300, 5);
    EXPECT_TRUE(lit(300, 300));
    EXPECT_TRUE(lit(304, 300));
    EXPECT_FALSE(lit(304, 304));
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST(ColourRule, SlotsTintMonochromeAndFade) {
    colr_class saved = colr;
    colr.assign(105, 0.5f, 0.5f, 0.5f);
    colr.assign(5, 1, 1, 0);
    const struct {
        int slot, monochrome;
        float alpha, fade;
        ogl_rgba want;
    } cases[] = {
        {0, 0, 1, 1, {0.5f, 0.5f, 0.5f, 1}},     // tinted
        {49, 0, 1, 1, {1, 1, 1, 1}},             // not tinted
        {5, 1, 1, 1, {0, 1, 0, 1}},              // (0.5, 0.5, 0) in green
        {12, 1, 0.5f, 0.5f, {0, 0.01f, 0, 0.25f}},  // black stays faintly green; fade times alpha
    };
    for (const auto& c : cases) {
        ren.monochrome = c.monochrome;
        ren.global_fade = c.fade;
        const ogl_rgba k = OGL_slot_colour(c.slot, c.alpha);
        EXPECT_FLOAT_EQ(k.r, c.want.r) << c.slot;
        EXPECT_FLOAT_EQ(k.g, c.want.g) << c.slot;
        EXPECT_FLOAT_EQ(k.b, c.want.b) << c.slot;
        EXPECT_FLOAT_EQ(k.a, c.want.a) << c.slot;
    }
    ren.monochrome = 0;
    ren.global_fade = 1;
    colr = saved;

    const struct {
        float v;
        ogl_rgba want;
    } ramp[] = {{0.25f, {1, 0.16f, 0.04f, 1}}, {2, {0.8f, 0, 0.8f, 1}}, {-1, {0, 0, 0, 1}}, {0.5f, {1, 1, 0, 1}}};
    for (const auto& c : ramp) {
        const ogl_rgba k = OGL_spectrum_colour(c.v);
        EXPECT_NEAR(k.r, c.want.r, 1e-6) << c.v;
        EXPECT_NEAR(k.g, c.want.g, 1e-6) << c.v;
        EXPECT_NEAR(k.b, c.want.b, 1e-6) << c.v;
    }
}

TEST_F(Screen, OpaqueColoursSetNoAlphaAndTheFrameEndsWhite) {
    GLfloat c[4];
    OGL_set_colour(0, 0.5f);
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[3], 0.5f);
    OGL_set_colour(0, 0.995f);  // above 0.99: drawn opaque
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[3], 1.0f);

    ren.monochrome = 1;
    ren.global_fade = 0.5f;
    ogl_swap_fn old = OGL_set_swap_hook(count_swap);
    OGL_sbuff();
    OGL_set_swap_hook(old);
    EXPECT_EQ(swaps, 1);
    glGetFloatv(GL_CURRENT_COLOR, c);
    EXPECT_FLOAT_EQ(c[0], 0);
    EXPECT_FLOAT_EQ(c[1], 1);
    EXPECT_FLOAT_EQ(c[3], 0.5f);
}

TEST_F(Screen, TexturedQuadsAndTheAlphaAsGreyRef) {
    // 8 x 8 RGBA pixels of (200, 200, 200) with alpha 64.
    for (int i = 0; i < 8 * 8; ++i) {
        unsigned char* p = scratch_array + 4 * i;
        p[0] = p[1] = p[2] = 200;
        p[3] = 64;
    }
    scratch_dx = scratch_dy = 8;
    mnw.tex_level = 5;
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 418, 2, tex_loaded, "scratch_array:grey"), 418);
    ASSERT_EQ(tman.load_texture(tex_fail_fatal, 419, 2, tex_loaded, "scratch_array:colour"), 419);
    OGL_2dquad(418, 0, 1, 10, 10, 0, 0, 10, 30, 0, 1, 30, 30, 1, 1, 30, 10, 1, 0, 1, 4);
    OGL_2dquad_d(419, 0, 1, 50, 10, 0, 0, 20, 20, 1, 1, 4);
    OGL_2dquad(0, 0, 1, 90, 10, 0, 0, 90, 30, 0, 1, 110, 30, 1, 1, 110, 10, 1, 0, 1, 4);  // 419 stays bound
    EXPECT_NEAR(gl_test_pixel(20, 20).g, 64, 2);   // the texture's alpha, as grey
    EXPECT_NEAR(gl_test_pixel(60, 20).g, 200, 2);  // the texture's colour
    EXPECT_NEAR(gl_test_pixel(100, 20).g, 200, 2);
    EXPECT_EQ(gl_test_pixel(40, 20).g, 0);
    tman.unload_texture(418);
    tman.unload_texture(419);
}

TEST_F(Screen, ViewportsOffsetsAndLightingSetUps) {
    GLint vp[4];
    auto viewport = [&] {
        glGetIntegerv(GL_VIEWPORT, vp);
        return std::array<int, 4>{vp[0], vp[1], vp[2], vp[3]};
    };
    // No window yet: the 2-D set-up leaves the GL viewport alone.
    glViewport(1, 2, 3, 4);
    window(1280, 1024, -1);
    EXPECT_EQ(viewport(), (std::array<int, 4>{1, 2, 3, 4}));
    window(gl_test_width, gl_test_height, 0);

    // Mode 3: extents at unit distance times near, the viewport times the pixel scale.
    mnw.scale = 2;
    OGL_viewport(3, -1, 10, -0.5f, 20, 1, 110, 2, 0.5f, 70, 50, 1, 0);
    EXPECT_EQ(viewport(), (std::array<int, 4>{20, 40, 200, 100}));
    double gl[16], want[16];
    glGetDoublev(GL_PROJECTION_MATRIX, gl);
    buildFrustumMatrix(want, -2, 2, -1, 1, 2, 50);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(gl[i], want[i], 1e-6) << i;
    const struct {
        int mode;
        std::array<int, 4> want;
    } sizes[] = {{2, {0, 0, gl_test_width, gl_test_height}}, {3, {20, 40, 200, 100}}, {4, {10, 20, 100, 50}}};
    for (const auto& s : sizes) {
        OGL_screensize(s.mode, 10, 20, 110, 70);
        EXPECT_EQ(viewport(), s.want) << s.mode;
    }
    window(gl_test_width, gl_test_height, 0);

    OGL_poly_offset(2);
    GLfloat f = 0, u = 0;
    glGetFloatv(GL_POLYGON_OFFSET_FACTOR, &f);
    glGetFloatv(GL_POLYGON_OFFSET_UNITS, &u);
    EXPECT_TRUE(glIsEnabled(GL_POLYGON_OFFSET_FILL));
    EXPECT_EQ(f, -20);
    EXPECT_EQ(u, -1);
    OGL_poly_offset(0);
    EXPECT_FALSE(glIsEnabled(GL_POLYGON_OFFSET_FILL));

    OGL_setspec(0.25f);
    GLfloat light[4], material[4], shine = 0;
    glGetLightfv(GL_LIGHT0, GL_SPECULAR, light);
    glGetMaterialfv(GL_FRONT, GL_SPECULAR, material);
    glGetMaterialfv(GL_FRONT, GL_SHININESS, &shine);
    EXPECT_EQ((std::array<float, 4>{light[0], light[2], material[1], material[3]}),
              (std::array<float, 4>{0.25f, 0.25f, 0.25f, 1}));
    EXPECT_EQ(shine, 128);

    GLint dst = 0;
    OGL_glow_colors();
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(dst, GL_ONE);
    OGL_nrml_colors();
    glGetIntegerv(GL_BLEND_DST, &dst);
    EXPECT_EQ(dst, GL_ONE_MINUS_SRC_ALPHA);
}

TEST_F(Screen, CirclesArcsAndTheStateEachPrimitiveStates) {
    // Angle 0 is straight up, angles run clockwise.
    OGL_framecircle(0, 400, 300, 20);
    EXPECT_TRUE(lit_near(399, 319, 401, 321));
    EXPECT_TRUE(lit_near(419, 299, 421, 301));
    EXPECT_FALSE(lit_near(390, 290, 410, 310));
    OGL_arc(0, 200, 200, 30, 31, 0, 90);  // from straight up to the right
    EXPECT_TRUE(lit_near(199, 229, 202, 232));
    EXPECT_TRUE(lit_near(229, 199, 232, 202));
    EXPECT_TRUE(lit_near(220, 220, 224, 224));
    EXPECT_FALSE(lit_near(166, 166, 198, 234));
    EXPECT_FALSE(lit_near(166, 166, 234, 198));
    gl_test_clear(0, 0, 0, 1);
    OGL_arc(0, 200, 200, 30, 31, 90, 0);
    OGL_arc(0, 200, 200, 31, 30, 0, 90);
    for (int y = 160; y < 240; ++y)
        for (int x = 160; x < 240; ++x) ASSERT_FALSE(lit(x, y)) << x << "," << y;
    OGL_arc(0, 400, 200, 300, 300, 0, 1);  // d2 is the last degree drawn
    EXPECT_TRUE(lit_near(402, 499, 403, 501));

    // Untextured and blended whatever the state before; the frame circle does not blend.
    const struct {
        const char* what;
        void (*draw)();
        bool blend;
    } prims[] = {
        {"line", [] { OGL_line(0, 1, 0, 0, 5, 5); }, true},
        {"fillrect", [] { OGL_fillrect(0, 1, 0, 0, 5, 5); }, true},
        {"framerect", [] { OGL_framerect(0, 1, 0, 0, 5, 5); }, true},
        {"grayrect", [] { OGL_grayrect(0, 0, 5, 5, 1); }, true},
        {"framecircle", [] { OGL_framecircle(0, 10, 10, 5); }, false},
    };
    for (const auto& p : prims) {
        OGL_setstate(1, 1, 3, p.blend ? 6 : 7, 9, 11);
        p.draw();
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D)) << p.what;
        EXPECT_EQ(glIsEnabled(GL_BLEND) != 0, p.blend) << p.what;
        EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST)) << p.what;
    }
}

namespace {
// The vertices GL receives while draw() runs, in world units of an ortho box -10..10 each way.
std::vector<std::array<float, 3>> fed_back(void (*draw)()) {
    std::vector<GLfloat> buf(1 << 16);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-10, 10, -10, 10, -10, 10);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glFeedbackBuffer(static_cast<GLsizei>(buf.size()), GL_3D, buf.data());
    glRenderMode(GL_FEEDBACK);
    normals.clear();
    normal_at.clear();
    vertices = 0;
    recording_normals = true;
    draw();
    recording_normals = false;
    const GLint n = glRenderMode(GL_RENDER);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    glEnable(GL_CULL_FACE);
    OGL_pix_specs(0);
    std::vector<std::array<float, 3>> out;
    for (GLint i = 0; i < n;) {
        const auto token = static_cast<GLint>(buf[i++]);
        const int count = token == GL_POLYGON_TOKEN ? static_cast<int>(buf[i++]) : 0;
        EXPECT_EQ(token, GL_POLYGON_TOKEN);
        for (int k = 0; k < count; ++k, i += 3)
            out.push_back({buf[i] / gl_test_width * 20 - 10, buf[i + 1] / gl_test_height * 20 - 10,
                           (0.5f - buf[i + 2]) * 20});
    }
    return out;
}

void expect_box(const std::vector<std::array<float, 3>>& v, std::array<float, 3> lo, std::array<float, 3> hi,
                const char* what) {
    ASSERT_FALSE(v.empty()) << what;
    for (int a = 0; a < 3; ++a) {
        float mn = 1e9f, mx = -1e9f;
        for (const auto& p : v) mn = std::min(mn, p[a]), mx = std::max(mx, p[a]);
        EXPECT_NEAR(mn, lo[a], 1e-3) << what << " axis " << a;
        EXPECT_NEAR(mx, hi[a], 1e-3) << what << " axis " << a;
    }
}
}  // namespace

TEST_F(Screen, SolidsAndQuadNormals) {
    using normal_list = std::vector<std::array<float, 3>>;
    expect_box(fed_back([] { OGL_cube(1, 2, 3, 4, 5, 6, 0, 1, 0, 1, 0); }), {-1, 2, 0}, {3, 7, 6}, "cube");
    // The four sides in one strip, the first normal before the first two pairs; then top and bottom.
    EXPECT_EQ(normals, (normal_list{{0, 0, -1}, {1, 0, 0}, {0, 0, 1}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}}));
    EXPECT_EQ(normal_at, (std::vector<int>{0, 4, 6, 8, 10, 14}));
    // Turned by -90 degrees about z: local x becomes -y.
    expect_box(fed_back([] { OGL_cube(1, 2, 3, 4, 5, 6, 0, 1, 0, 1, 90); }), {1, 0, 0}, {6, 4, 6}, "turned cube");
    // The disc: caps of radius 0.38 r at x = -r and r, a band of radius r between -0.38 r and 0.38 r.
    const auto disc = fed_back([] { OGL_disc(0, 0, 0, 5); });
    expect_box(disc, {-5, -5, -5}, {5, 5, 5}, "disc");
    EXPECT_EQ(normals, (normal_list{{-1, 0, 0}, {1, 0, 0}}));  // the caps'; the bands set none
    EXPECT_EQ(normal_at, (std::vector<int>{0, 14}));
    for (const auto& p : disc) {
        const float rho = std::hypot(p[1], p[2]);
        const bool cap = std::fabs(std::fabs(p[0]) - 5) < 1e-3f && (rho < 1e-3f || std::fabs(rho - 1.9f) < 1e-3f);
        const bool band = std::fabs(std::fabs(p[0]) - 1.9f) < 1e-3f && std::fabs(rho - 5) < 1e-3f;
        EXPECT_TRUE(cap || band) << p[0] << " " << p[1] << " " << p[2];
    }

    // (p3 - p2) x (p2 - p1), normalised; points in a line give straight up.
    const float p1[3] = {0, 0, 1}, p2[3] = {1, 2, 1}, p3[3] = {3, 2, 2}, p4[3] = {2, 0, 2};
    GLfloat n[3], st[4];
    glBegin(GL_QUADS);
    OGL_3dquad(p1, p2, p3, p4);
    glEnd();
    glGetFloatv(GL_CURRENT_NORMAL, n);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, st);
    const float l = std::sqrt(21.0f);
    EXPECT_NEAR(n[0], -2 / l, 1e-6);
    EXPECT_NEAR(n[1], 1 / l, 1e-6);
    EXPECT_NEAR(n[2], 4 / l, 1e-6);
    EXPECT_EQ((std::array<float, 2>{st[0], st[1]}), (std::array<float, 2>{0, 1}));
    const float q[3] = {2, 4, 1};
    glBegin(GL_QUADS);
    OGL_3dquad_st(p1, p2, q, p4, 0.25f, 0.5f, 0.75f, 1);
    glEnd();
    glGetFloatv(GL_CURRENT_NORMAL, n);
    glGetFloatv(GL_CURRENT_TEXTURE_COORDS, st);
    EXPECT_EQ((std::array<float, 3>{n[0], n[1], n[2]}), (std::array<float, 3>{0, 1, 0}));
    EXPECT_EQ((std::array<float, 2>{st[0], st[1]}), (std::array<float, 2>{0.75f, 0.5f}));
}

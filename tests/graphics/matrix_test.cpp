// Matrix builders against the GL's own fixed-function matrices, and the camera built on them.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "common/gl_test_context.h"
#include "core/statistics.h"
#include "core/window_state.h"
#include "graphics/camera.h"
#include "graphics/matrix.h"

namespace {
void expect_matrix(const double* got, const double* want, const std::string& what, double tol = 1e-12) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], tol) << what << " element " << i;
}

// What the GL's model-view stack holds after gl() runs on the identity.
void gl_matrix(const std::function<void()>& gl, double* out) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gl();
    glGetDoublev(GL_MODELVIEW_MATRIX, out);
}

void set_stat(const char* name, float value) {
    UTL_stat::init_stats();
    for (UTL_stat* s : UTL_stat::stats_of(stat_debug))
        if (std::string(s->name) == name) s->value = value;
}
}  // namespace

TEST(Matrix, BuildersMatchTheGL) {
    ASSERT_TRUE(gl_test_context());
    const double skew[16] = {1, 2, 0, 0, 0, 1, 3, 0, 0.5, 0, 1, 0, 4, 5, 6, 1};
    const struct {
        const char* what;
        std::function<void(double*)> ours;
        std::function<void()> gl;
    } cases[] = {
        {"frustum", [](double* m) { buildFrustumMatrix(m, -2, 3, -1, 4, 1, 50); },
         [] { glFrustum(-2, 3, -1, 4, 1, 50); }},
        {"ortho", [](double* m) { buildOrthoMatrix(m, 0, 800, 0, 600, -1, 1); },
         [] { glOrtho(0, 800, 0, 600, -1, 1); }},
        {"rotation", [](double* m) { buildRotation(m, 30, 1, 2, 3); }, [] { glRotated(30, 1, 2, 3); }},
        {"rotation -z", [](double* m) { buildRotation(m, 90, 0, 0, -2); }, [] { glRotated(90, 0, 0, -2); }},
        {"rotation y", [](double* m) { buildRotation(m, -40, 0, 7, 0); }, [] { glRotated(-40, 0, 7, 0); }},
        {"apply", [&](double* m) {
             copyMatrix(m, skew);
             applyRotation(m, 25, 0, 1, 1);
             applyTranslation(m, 3, -2, 7);
         },
         [&] {
             glLoadMatrixd(skew);
             glRotated(25, 0, 1, 1);
             glTranslated(3, -2, 7);
         }},
    };
    for (const auto& c : cases) {
        double ours[16], gl[16];
        c.ours(ours);
        gl_matrix(c.gl, gl);
        expect_matrix(ours, gl, c.what, 1e-6);  // GL keeps its matrices in single precision
    }
}

TEST(Matrix, TransposeAndSum) {
    ASSERT_TRUE(gl_test_context());
    const double a[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    double t[16], gl[16], sum[16];
    transposeMatrix(t, a);
    gl_matrix([&] { glLoadTransposeMatrixd(a); }, gl);
    expect_matrix(t, gl, "transpose");
    addMatrices(sum, a, t);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(sum[4 * c + r], a[4 * c + r] + a[4 * r + c]) << r << c;
}

TEST(Matrix, LookAtAndPerspective) {
    double m[16], p[16], f[16];
    buildLookAtMatrix(m, 3, 4, 5, 1, 1, 1, 0, 1, 0);
    // The eye goes to the origin, the centre onto the negative z axis, up stays up.
    const double eye[3] = {3, 4, 5}, centre[3] = {1, 1, 1};
    for (int r = 0; r < 3; ++r) {
        EXPECT_NEAR(m[r] * eye[0] + m[4 + r] * eye[1] + m[8 + r] * eye[2] + m[12 + r], 0, 1e-12);
        const double c = m[r] * centre[0] + m[4 + r] * centre[1] + m[8 + r] * centre[2] + m[12 + r];
        EXPECT_NEAR(c, r == 2 ? -std::sqrt(4.0 + 9 + 16) : 0, 1e-12) << r;
    }
    EXPECT_GT(m[5], 0);
    buildPerspectiveMatrix(p, 90, 2, 1, 100);
    buildFrustumMatrix(f, -2, 2, -1, 1, 1, 100);
    expect_matrix(p, f, "perspective");

    // Degenerate input: no NaN, and a zero extent leaves the matrix as it was.
    buildLookAtMatrix(m, 1, 1, 1, 1, 1, 1, 0, 0, 0);
    for (double v : m) EXPECT_TRUE(std::isfinite(v));
    setIdentityMatrix(f);
    buildFrustumMatrix(f, 1, 1, -1, 1, 1, 10);
    buildOrthoMatrix(f, 0, 1, 0, 1, 5, 5);
    expect_matrix(f, gIdentity, "zero extent");
}

TEST(Matrix, RotationAxisRules) {
    double m[16];
    buildRotation(m, 90, 0, 0, 2);
    EXPECT_EQ(m[1], 1);
    EXPECT_EQ(m[4], -1);
    buildRotation(m, 90, 0.00005, 0, 0.00005);
    expect_matrix(m, gIdentity, "tiny axis");
}

TEST(Matrix, Inverse) {
    double a[16], b[16], ab[16], inv[16], back[16];
    buildFrustumMatrix(a, -1, 2, -1, 1, 1, 30);
    buildLookAtMatrix(b, 1, 2, 3, 0, 0, 0, 0, 1, 0);
    multMatrices(ab, a, b);
    ASSERT_EQ(invertMatrix(inv, ab), 1);
    multMatrices(back, inv, ab);
    expect_matrix(back, gIdentity, "inverse x m", 1e-12);

    double singular[16];
    copyMatrix(singular, ab);
    singular[4] = singular[5] = singular[6] = singular[7] = 0;  // a zero column
    copyMatrix(inv, gIdentity);
    EXPECT_EQ(invertMatrix(inv, singular), 0);
    expect_matrix(inv, gIdentity, "untouched");
}

TEST(Matrix, PrintIdentity) {
    testing::internal::CaptureStdout();
    printMatrix("id", gIdentity);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "id\n"
              " [ 1.000000 0.000000 0.000000 0.000000 ]\n"
              " [ 0.000000 1.000000 0.000000 0.000000 ]\n"
              " [ 0.000000 0.000000 1.000000 0.000000 ]\n"
              " [ 0.000000 0.000000 0.000000 1.000000 ]\n\n");
}

TEST(Camera, ProjectionsAndPlanes) {
    xcam_class c;
    c.SetupOrtho(0, 800, 0, 600, -1, 1);
    EXPECT_EQ(c.near_z, 1);
    EXPECT_EQ(c.far_z, -1);
    EXPECT_EQ(c.fake_far_z, -1);
    float h = 0, v = 0;
    EXPECT_EQ(c.GetFOVHalfCosines(&h, &v), 0);

    c.SetupPerspective(90, 1, 1, 100);
    EXPECT_EQ(c.GetFOVHalfCosines(&h, &v), 1);
    EXPECT_NEAR(h, std::sqrt(0.5), 1e-6);
    EXPECT_NEAR(v, std::sqrt(0.5), 1e-6);
    c.SetFakeFarClippingPlane(50);
    EXPECT_EQ(c.fake_far_z, -50);
    c.SetFakeFarClippingPlane(500);
    EXPECT_EQ(c.fake_far_z, -100);
    c.SetFakeFarClippingPlane(20);
    c.ResetFakeFarClippingPlane();
    EXPECT_EQ(c.fake_far_z, -100);

    // kill_clip narrows the projection to the middle tenth, not the planes.
    xcam_class full, narrow;
    full.SetupFrustum(-1, 1, -1, 1, 1, 10);
    set_stat("perf/kill_clip", 1);
    narrow.SetupFrustum(-1, 1, -1, 1, 1, 10);
    set_stat("perf/kill_clip", 0);
    double want[16];
    buildFrustumMatrix(want, -0.1, 0.1, -0.1, 0.1, 1, 10);
    expect_matrix(narrow.proj_matrix, want, "narrowed", 1e-5);  // narrowed in single precision
    for (int i = 0; i < 3; ++i) EXPECT_EQ(narrow.plane_left[i], full.plane_left[i]);
}

TEST(Camera, Directions) {
    xcam_class c;
    c.mv_from_gl = 0;
    c.LookAtPtFromDir(0, 0, 0, 0, 0, 10);
    double d[3], u[3];
    c.CalcDirection(d);
    c.CalcUp(u);
    EXPECT_NEAR(d[0], -1, 1e-12);
    EXPECT_NEAR(d[1], 0, 1e-12);
    EXPECT_NEAR(u[1], 1, 1e-12);
    float right[3], up[3];
    c.CalcBillboardCamera(right, up);
    EXPECT_NEAR(right[2], -1, 1e-6);
    double r[3];
    c.CalcRight(r);  // direction x up
    EXPECT_NEAR(r[0], 0, 1e-12);
    EXPECT_NEAR(r[1], 0, 1e-12);
    EXPECT_NEAR(r[2], -1, 1e-12);

    // A degenerate view gives zero vectors, not NaN.
    for (double& x : c.mv_matrix) x = 0;
    c.CalcDirection(d);
    c.CalcBillboardGround(right, up);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d[i], 0);
        EXPECT_EQ(right[i], 0);
        EXPECT_EQ(up[i], 0);
    }
}

TEST(Camera, TranslateAndRotateAsTheGL) {
    ASSERT_TRUE(gl_test_context());
    xcam_class c;
    c.mv_from_gl = 0;
    c.LookAtPtFromPt(1, 2, 3, 0, 0, 0, 0, 1, 0);
    c.changed = 0;
    c.Translate(3, -2, 7);
    EXPECT_EQ(c.changed, 1);
    c.changed = 0;
    c.Rotate(25, 0, 1, 1);
    EXPECT_EQ(c.changed, 1);
    double look[16], gl[16];
    buildLookAtMatrix(look, 1, 2, 3, 0, 0, 0, 0, 1, 0);
    gl_matrix(
        [&] {
            glLoadMatrixd(look);
            glTranslated(3, -2, 7);
            glRotated(25, 0, 1, 1);
        },
        gl);
    expect_matrix(c.mv_matrix, gl, "translate then rotate", 1e-5);
}

TEST(Camera, WindowPositionOfAWorldPoint) {
    ASSERT_TRUE(gl_test_context());
    glViewport(0, 0, gl_test_width, gl_test_height);
    mnw.scale = 1;
    mnw.subwin_x = 100;
    mnw.subwin_y = 50;
    xcam_class c;
    c.SetupOrtho(0, gl_test_width, 0, gl_test_height, -1, 1);
    c.Identity();
    const double world[3] = {300, 200, 0};
    double out[2];
    c.mtr_to_pix(world, out);
    mnw.subwin_x = mnw.subwin_y = 0;
    EXPECT_NEAR(out[0], 200, 1e-9);
    EXPECT_NEAR(out[1], 150, 1e-9);
}

TEST(CameraVolume, FrustumBounds) {
    xcam_class c;
    c.SetupPerspective(90, 1, 1, 1000);
    c.LookAtPtFromPt(0, 0, 0, 0, 0, -1, 0, 1, 0);
    double lo[3], hi[3];
    EXPECT_FALSE(c.GetFrustumBounds(100, 2000, 3000, lo, hi));
    EXPECT_EQ(lo[0], 9900000000.0);
    EXPECT_EQ(hi[0], -9900000000.0);

    ASSERT_TRUE(c.GetFrustumBounds(100, -1e6, 1e6, lo, hi));
    EXPECT_NEAR(lo[2], -100, 1e-3);  // cut at distance 100
    EXPECT_NEAR(hi[0], 100, 1e-3);
    ASSERT_TRUE(c.GetFrustumBounds(5000, -1e6, 1e6, lo, hi));
    EXPECT_NEAR(lo[2], -1000, 1e-2);  // the far plane bounds it

    // A band of zero thickness: the cross-section at that height, from 10 to 100 away and as
    // wide as it is far.
    ASSERT_TRUE(c.GetFrustumBounds(100, 10, 10, lo, hi));
    EXPECT_EQ(lo[1], 10);
    EXPECT_EQ(hi[1], 10);
    EXPECT_NEAR(lo[2], -100, 1e-3);
    EXPECT_NEAR(hi[2], -10, 1e-3);
    EXPECT_NEAR(lo[0], -100, 1e-3);
    EXPECT_NEAR(hi[0], 100, 1e-3);

    // An orthographic camera's box, its far face cut at max_dist, both faces in front of the eye.
    xcam_class o;
    o.SetupOrtho(-2, 2, -1, 1, 1, 50);
    o.Identity();
    ASSERT_TRUE(o.GetFrustumBounds(10, -5, 5, lo, hi));
    const double want_lo[3] = {-2, -1, -10}, want_hi[3] = {2, 1, -1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(lo[i], want_lo[i], 1e-6) << i;
        EXPECT_NEAR(hi[i], want_hi[i], 1e-6) << i;
    }

    xcam_class broken;
    for (double& x : broken.proj_matrix) x = 0;
    broken.proj_kind = 0;
    EXPECT_FALSE(broken.GetFrustumBounds(100, -1e6, 1e6, lo, hi));
}

TEST(CameraVolume, LightCameraHoldsTheView) {
    xcam_class view;
    view.SetupPerspective(60, 1, 1, 50);
    view.LookAtPtFromPt(0, 10, 0, 0, 10, -1, 0, 1, 0);
    xcam_class light;
    const double down[3] = {0, -1, 0.0001};
    double near_out = 0, far_out = 0;
    light.LookAtCamera(&view, down, 100, near_out, far_out);
    EXPECT_EQ(light.proj_kind, 1);
    EXPECT_EQ(near_out, -light.near_z);
    EXPECT_LT(near_out, far_out);
    // The light sits 100 above the view, looking down: the volume's top is 50 tan 30 above the view.
    EXPECT_NEAR(near_out, 100 - 50 * std::tan(M_PI / 6), 1e-2);

    // A singular view leaves the light camera and the outputs alone.
    xcam_class broken;
    for (double& x : broken.proj_matrix) x = 0;
    const xcam_class before = light;
    light.LookAtCamera(&broken, down, 100, near_out, far_out);
    expect_matrix(light.proj_matrix, before.proj_matrix, "unchanged");
    EXPECT_EQ(near_out, -light.near_z);
}

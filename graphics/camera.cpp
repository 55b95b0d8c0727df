// The camera and its matrices (graphics layer).
#include "graphics/camera.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "core/statistics.h"
#include "core/window_state.h"
#include "graphics/matrix.h"

xcam_class xcam;

namespace {
UTL_stat gKillCull("perf/kill_cull", stat_debug, 0.0f);
UTL_stat gKillClip("perf/kill_clip", stat_debug, 0.0f);
UTL_stat gExtraNear("shadow/extra_near", stat_debug, 0.0f);

constexpr double deg_to_rad = 0.017453292519943295;

// out = m x v for a 4-vector.
void transform4(double* out, const double* m, const double* v) {
    for (int r = 0; r < 4; ++r) out[r] = m[r] * v[0] + m[4 + r] * v[1] + m[8 + r] * v[2] + m[12 + r] * v[3];
}
}  // namespace

xcam_class::xcam_class()
    : proj_kind(1),
      near_z(0),
      far_z(0),
      fake_far_z(0),
      plane_top{},
      plane_left{},
      plane_right{},
      plane_bottom{},
      ortho_top(0),
      ortho_left(0),
      ortho_right(0),
      ortho_bottom(0),
      changed(1),
      mv_from_gl(1),
      proj_matrix{},
      mv_matrix{} {
    setIdentityMatrix(proj_matrix);
    setIdentityMatrix(mv_matrix);
}

xcam_class::xcam_class(const xcam_class* src) : xcam_class() {
    if (src) *this = *src;
}

void xcam_class::SetupOrtho(double left, double right, double bottom, double top, double near, double far) {
    proj_kind = 1;
    buildOrthoMatrix(proj_matrix, left, right, bottom, top, near, far);
    changed = 1;
    ortho_top = top;
    ortho_left = left;
    ortho_right = right;
    ortho_bottom = bottom;
    near_z = -near;
    far_z = fake_far_z = -far;
}

void xcam_class::SetupFrustum(double left, double right, double bottom, double top, double near, double far) {
    proj_kind = 0;
    // The middle tenth of the view, for looking at what clipping and culling do.
    auto narrow = [](double lo, double hi, float at) {
        const float v = static_cast<float>(lo) + at * static_cast<float>(hi - lo);
        return std::clamp(static_cast<double>(v), std::min(lo, hi), std::max(lo, hi));
    };
    const double nl = narrow(left, right, 0.45f), nr = narrow(left, right, 0.55f);
    const double nb = narrow(bottom, top, 0.45f), nt = narrow(bottom, top, 0.55f);
    if (gKillClip.value == 0)
        buildFrustumMatrix(proj_matrix, left, right, bottom, top, near, far);
    else
        buildFrustumMatrix(proj_matrix, nl, nr, nb, nt, near, far);

    const bool cull = gKillCull.value != 0;
    const double l = cull ? nl : left, r = cull ? nr : right, b = cull ? nb : bottom, t = cull ? nt : top;
    double tl[3] = {l, t, -near}, tr[3] = {r, t, -near}, bl[3] = {l, b, -near}, br[3] = {r, b, -near};
    for (double* v : {tl, tr, bl, br}) vec3_normalise(v);
    vec3_cross(plane_top, tl, tr);
    vec3_cross(plane_left, bl, tl);
    vec3_cross(plane_right, tr, br);
    vec3_cross(plane_bottom, br, bl);
    for (double* p : {plane_top, plane_left, plane_right, plane_bottom}) vec3_normalise(p);
    near_z = -near;
    changed = 1;
    far_z = fake_far_z = -far;
}

void xcam_class::SetupPerspective(double fovy, double aspect, double near, double far) {
    const double h = std::tan(fovy * M_PI / 360) * near;
    SetupFrustum(-h * aspect, h * aspect, -h, h, near, far);
}

void xcam_class::SetFakeFarClippingPlane(double distance) {
    fake_far_z = std::max(static_cast<float>(-distance), static_cast<float>(far_z));
}

void xcam_class::ResetFakeFarClippingPlane() { fake_far_z = far_z; }

void xcam_class::Identity() {
    setIdentityMatrix(mv_matrix);
    changed = 1;
}

void xcam_class::Translate(double x, double y, double z) {
    applyTranslation(mv_matrix, x, y, z);
    changed = 1;
}

void xcam_class::Rotate(double angle, double x, double y, double z) {
    applyRotation(mv_matrix, angle, x, y, z);
    changed = 1;
}

void xcam_class::LookAtPtFromPt(double eye_x, double eye_y, double eye_z, double center_x, double center_y,
                                double center_z, double up_x, double up_y, double up_z) {
    buildLookAtMatrix(mv_matrix, eye_x, eye_y, eye_z, center_x, center_y, center_z, up_x, up_y, up_z);
    changed = 1;
}

void xcam_class::LookAtPtFromDir(double x, double y, double z, double heading, double pitch, double distance) {
    const double h = heading * deg_to_rad, p = pitch * deg_to_rad;
    LookAtPtFromPt(x + distance * std::cos(p) * std::cos(h), y + distance * std::sin(p),
                   z + distance * std::cos(p) * std::sin(h), x, y, z, 0, 1, 0);
}

namespace {
void read_back(xcam_class& c) {
    if (!c.mv_from_gl) return;
    c.mv_from_gl = 0;
    c.changed = 1;
    glGetDoublev(GL_MODELVIEW_MATRIX, c.mv_matrix);
}
}  // namespace

void xcam_class::CalcUp(double* out) {
    read_back(*this);
    const double* m = mv_matrix;
    out[0] = m[1] + m[3];
    out[1] = m[5] + m[7];
    out[2] = m[9] + m[11];
    vec3_normalise(out);
}

void xcam_class::CalcDirection(double* out) {
    read_back(*this);
    const double* m = mv_matrix;
    out[0] = m[3] - m[2];
    out[1] = m[7] - m[6];
    out[2] = m[11] - m[10];
    vec3_normalise(out);
}

void xcam_class::CalcRight(double* out) {
    double d[3], u[3];
    CalcDirection(d);
    CalcUp(u);
    vec3_cross(out, d, u);
}

void xcam_class::CalcBillboardGround(float* right, float* up) {
    double d[3], r[3], u[3];
    CalcDirection(d);
    r[0] = -d[2];
    r[1] = 0;
    r[2] = d[0];
    vec3_normalise(r);
    vec3_cross(u, r, d);
    vec3_normalise(u);
    for (int i = 0; i < 3; ++i) {
        right[i] = static_cast<float>(r[i]);
        up[i] = static_cast<float>(u[i]);
    }
}

void xcam_class::CalcBillboardCamera(float* right, float* up) {
    double u[3], d[3], r[3];
    CalcUp(u);
    CalcDirection(d);
    vec3_cross(r, d, u);
    vec3_normalise(r);
    for (int i = 0; i < 3; ++i) {
        right[i] = static_cast<float>(r[i]);
        up[i] = static_cast<float>(u[i]);
    }
}

int xcam_class::GetFOVHalfCosines(float* horizontal, float* vertical) {
    if (proj_kind != 0) return 0;
    if (horizontal) *horizontal = static_cast<float>((plane_left[0] - plane_right[0]) / 2);
    if (vertical) *vertical = static_cast<float>((plane_bottom[1] - plane_top[1]) / 2);
    return 1;
}

void xcam_class::mtr_to_pix(const double* world, double* out) {
    const double p[4] = {world[0], world[1], world[2], 1};
    double e[4], c[4];
    transform4(e, mv_matrix, p);
    transform4(c, proj_matrix, e);
    if (c[3] != 0) {
        c[0] /= c[3];
        c[1] /= c[3];
    }
    GLfloat vp[4] = {0, 0, 0, 0};
    glGetFloatv(GL_VIEWPORT, vp);
    const double scale = mnw.scale != 0 ? mnw.scale : 1;  // 0 before the 2-D set-up
    out[0] = ((c[0] * 0.5 + 0.5) * vp[2] + vp[0] - mnw.subwin_x) / scale;
    out[1] = ((c[1] * 0.5 + 0.5) * vp[3] + vp[1] - mnw.subwin_y) / scale;
}

// --- fitting volumes

void xcam_class::LookAtCamera(const xcam_class* other, const double* dir, double distance, double& near_out,
                              double& far_out) {
    double inv_p[16], inv_v[16];
    if (!invertMatrix(inv_p, other->proj_matrix) || !invertMatrix(inv_v, other->mv_matrix)) return;
    const double pos[3] = {inv_v[12], inv_v[13], inv_v[14]};
    LookAtPtFromPt(pos[0] - distance * dir[0], pos[1] - distance * dir[1], pos[2] - distance * dir[2], pos[0],
                   pos[1], pos[2], 0, 1, 0);
    double lo[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (int x = -1; x <= 1; x += 2)
        for (int y = -1; y <= 1; y += 2)
            for (int z = -1; z <= 1; z += 2) {
                const double cube[4] = {double(x), double(y), double(z), 1};
                double eye[4], h[4], r[4];
                transform4(eye, inv_p, cube);
                transform4(h, inv_v, eye);
                const double p[4] = {h[0] / h[3], h[1] / h[3], h[2] / h[3], 1};
                transform4(r, mv_matrix, p);
                for (int i = 0; i < 3; ++i) {
                    lo[i] = std::min(lo[i], r[i]);
                    hi[i] = std::max(hi[i], r[i]);
                }
            }
    const double n = hi[2] + gExtraNear.value;
    proj_kind = 1;
    buildOrthoMatrix(proj_matrix, lo[0], hi[0], lo[1], hi[1], -n, -lo[2]);
    changed = 1;
    ortho_top = hi[1];
    ortho_left = lo[0];
    ortho_right = hi[0];
    ortho_bottom = lo[1];
    near_z = n;
    far_z = fake_far_z = lo[2];
    near_out = -n;
    far_out = -lo[2];
}

bool xcam_class::GetFrustumBounds(double max_dist, double y_low, double y_high, double* box_min, double* box_max) {
    for (int i = 0; i < 3; ++i) {
        box_min[i] = 9900000000.0;
        box_max[i] = -9900000000.0;
    }
    double inv_v[16], inv_p[16];
    if (!invertMatrix(inv_v, mv_matrix)) return false;
    if (proj_kind == 0 && !invertMatrix(inv_p, proj_matrix)) return false;
    const double limit = std::max(far_z, -max_dist);  // eye-space z of the cut-off
    static const int cube[8][3] = {{-1, 1, -1}, {-1, 1, 1}, {1, 1, -1}, {1, 1, 1},
                                   {-1, -1, -1}, {-1, -1, 1}, {1, -1, -1}, {1, -1, 1}};
    double corner[8][4];
    for (int k = 0; k < 8; ++k) {
        double e[4];
        if (proj_kind == 0) {
            const double c[4] = {double(cube[k][0]), double(cube[k][1]), double(cube[k][2]), 1};
            transform4(e, inv_p, c);
            for (int i = 0; i < 3; ++i) e[i] /= e[3];
            if (e[2] < -max_dist) {
                // Slide the corner along its ray onto the cut-off plane.
                const float f = static_cast<float>(-max_dist / e[2]);
                for (int i = 0; i < 3; ++i) e[i] *= f;
            }
        } else {
            // Both faces in front of the eye at eye-space z, like the perspective corners.
            e[0] = cube[k][0] < 0 ? ortho_left : ortho_right;
            e[1] = cube[k][1] < 0 ? ortho_bottom : ortho_top;
            e[2] = cube[k][2] < 0 ? near_z : limit;
        }
        e[3] = 1;
        transform4(corner[k], inv_v, e);
    }
    static const int edges[12][2] = {{0, 2}, {4, 6}, {0, 4}, {2, 6}, {1, 3}, {5, 7},
                                     {1, 5}, {3, 7}, {0, 1}, {2, 3}, {4, 5}, {6, 7}};
    for (const auto& e : edges) accum_segment(y_low, y_high, corner[e[0]], corner[e[1]], box_min, box_max);
    return box_min[0] <= box_max[0];
}

void xcam_class::accum_segment(double y_low, double y_high, const double* p, const double* q, double* box_min,
                               double* box_max) {
    const double* a = p[1] <= q[1] ? p : q;
    const double* b = p[1] <= q[1] ? q : p;
    auto add = [&](double x, double y, double z) {
        const double v[3] = {x, y, z};
        for (int i = 0; i < 3; ++i) {
            const float f = static_cast<float>(v[i]);
            if (f < static_cast<float>(box_min[i])) box_min[i] = f;
            if (f > static_cast<float>(box_max[i])) box_max[i] = f;
        }
    };
    auto add_at = [&](double y) {
        const float ay = static_cast<float>(a[1]), by = static_cast<float>(b[1]);
        float x, z;
        if (ay == by) {
            x = static_cast<float>((a[0] + b[0]) / 2);
            z = static_cast<float>((a[2] + b[2]) / 2);
        } else {
            const float t = static_cast<float>(y) - ay;
            x = static_cast<float>(a[0]) + (static_cast<float>(b[0] - a[0])) / (by - ay) * t;
            z = static_cast<float>(a[2]) + (static_cast<float>(b[2] - a[2])) / (by - ay) * t;
            x = std::clamp(x, static_cast<float>(std::min(a[0], b[0])), static_cast<float>(std::max(a[0], b[0])));
            z = std::clamp(z, static_cast<float>(std::min(a[2], b[2])), static_cast<float>(std::max(a[2], b[2])));
        }
        add(x, y, z);
    };
    auto inside = [&](double y) { return y_low <= y && y <= y_high; };
    if (a[1] == b[1]) {
        if (inside(a[1])) {
            add(a[0], a[1], a[2]);
            add(b[0], b[1], b[2]);
        }
    } else if (y_low == y_high) {
        if (a[1] <= y_low && y_low <= b[1]) add_at(y_low);
    } else {
        if (inside(a[1])) add(a[0], a[1], a[2]);
        if (inside(b[1])) add(b[0], b[1], b[2]);
        if (a[1] < y_low && y_low < b[1]) add_at(y_low);
        if (a[1] < y_high && y_high < b[1]) add_at(y_high);
    }
}

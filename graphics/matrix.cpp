#include "graphics/matrix.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace {
constexpr double deg_to_rad = 0.017453292519943295;
}  // namespace

const double gIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

void setIdentityMatrix(double* m) { copyMatrix(m, gIdentity); }

void copyMatrix(double* dst, const double* src) { std::memmove(dst, src, 16 * sizeof(double)); }

void transposeMatrix(double* dst, const double* src) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) dst[4 * i + j] = src[4 * j + i];
}

void addMatrices(double* dst, const double* a, const double* b) {
    for (int i = 0; i < 16; ++i) dst[i] = a[i] + b[i];
}

void multMatrices(double* dst, const double* a, const double* b) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            double s = 0;
            for (int k = 0; k < 4; ++k) s += a[4 * k + r] * b[4 * c + k];
            dst[4 * c + r] = s;
        }
}

int invertMatrix(double* dst, const double* src) {
    // Gauss-Jordan on [m | I], one array row per matrix row.
    double w[4][8];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            w[r][c] = src[4 * c + r];
            w[r][c + 4] = r == c ? 1 : 0;
        }
    for (int col = 0; col < 4; ++col) {
        int pivot = col;
        for (int r = col + 1; r < 4; ++r)
            if (std::fabs(w[r][col]) > std::fabs(w[pivot][col])) pivot = r;
        if (w[pivot][col] == 0) return 0;
        if (pivot != col) std::swap(w[pivot], w[col]);
        const double p = w[col][col];
        for (int c = 0; c < 8; ++c) w[col][c] /= p;
        for (int r = 0; r < 4; ++r) {
            if (r == col) continue;
            const double f = w[r][col];
            if (f == 0) continue;
            for (int c = 0; c < 8; ++c) w[r][c] -= f * w[col][c];
        }
    }
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) dst[4 * c + r] = w[r][c + 4];
    return 1;
}

void buildFrustumMatrix(double* m, double l, double r, double b, double t, double n, double f) {
    if (r == l || t == b || f == n) return;
    std::memset(m, 0, 16 * sizeof(double));
    m[0] = 2 * n / (r - l);
    m[5] = 2 * n / (t - b);
    m[8] = (r + l) / (r - l);
    m[9] = (t + b) / (t - b);
    m[10] = -(f + n) / (f - n);
    m[11] = -1;
    m[14] = -2 * f * n / (f - n);
}

void buildPerspectiveMatrix(double* m, double fovy, double aspect, double near, double far) {
    const double h = std::tan(fovy * M_PI / 360) * near;
    buildFrustumMatrix(m, -h * aspect, h * aspect, -h, h, near, far);
}

void buildOrthoMatrix(double* m, double l, double r, double b, double t, double n, double f) {
    if (r == l || t == b || f == n) return;
    std::memset(m, 0, 16 * sizeof(double));
    m[0] = 2 / (r - l);
    m[5] = 2 / (t - b);
    m[10] = -2 / (f - n);
    m[12] = -(r + l) / (r - l);
    m[13] = -(t + b) / (t - b);
    m[14] = -(f + n) / (f - n);
    m[15] = 1;
}

void buildLookAtMatrix(double* m, double eye_x, double eye_y, double eye_z, double center_x, double center_y,
                       double center_z, double up_x, double up_y, double up_z) {
    const double eye[3] = {eye_x, eye_y, eye_z};
    const double up[3] = {up_x, up_y, up_z};
    double z[3] = {eye_x - center_x, eye_y - center_y, eye_z - center_z};
    vec3_normalise(z);
    double x[3], y[3];
    vec3_cross(x, up, z);
    vec3_cross(y, z, x);
    vec3_normalise(x);
    vec3_normalise(y);
    for (int i = 0; i < 3; ++i) {
        m[4 * i] = x[i];
        m[4 * i + 1] = y[i];
        m[4 * i + 2] = z[i];
        m[4 * i + 3] = 0;
    }
    m[12] = -(x[0] * eye[0] + x[1] * eye[1] + x[2] * eye[2]);
    m[13] = -(y[0] * eye[0] + y[1] * eye[1] + y[2] * eye[2]);
    m[14] = -(z[0] * eye[0] + z[1] * eye[1] + z[2] * eye[2]);
    m[15] = 1;
}

void buildRotation(double* m, double angle, double x, double y, double z) {
    const double a = angle * deg_to_rad;
    const double s = std::sin(a), c = std::cos(a);
    setIdentityMatrix(m);
    const int axes = (x != 0) + (y != 0) + (z != 0);
    if (axes == 1) {
        // On a coordinate axis only the sign of the component counts.
        if (x != 0) {
            const double sx = x > 0 ? s : -s;
            m[5] = m[10] = c;
            m[6] = sx;
            m[9] = -sx;
        } else if (y != 0) {
            const double sy = y > 0 ? s : -s;
            m[0] = m[10] = c;
            m[8] = sy;
            m[2] = -sy;
        } else {
            const double sz = z > 0 ? s : -s;
            m[0] = m[5] = c;
            m[1] = sz;
            m[4] = -sz;
        }
        return;
    }
    const double len = std::sqrt(x * x + y * y + z * z);
    if (len <= 0.0001) return;
    x /= len;
    y /= len;
    z /= len;
    const double k = 1 - c;
    m[0] = x * x * k + c;
    m[5] = y * y * k + c;
    m[10] = z * z * k + c;
    m[1] = x * y * k + z * s;
    m[4] = x * y * k - z * s;
    m[2] = x * z * k - y * s;
    m[8] = x * z * k + y * s;
    m[6] = y * z * k + x * s;
    m[9] = y * z * k - x * s;
}

void applyRotation(double* m, double angle, double x, double y, double z) {
    double r[16], out[16];
    buildRotation(r, angle, x, y, z);
    multMatrices(out, m, r);
    copyMatrix(m, out);
}

void applyTranslation(double* m, double x, double y, double z) {
    for (int i = 0; i < 4; ++i) m[12 + i] += x * m[i] + y * m[4 + i] + z * m[8 + i];
}

void vec3_assign(double* v, double x, double y, double z) {
    v[0] = x;
    v[1] = y;
    v[2] = z;
}

void vec3_cross(double* out, const double* a, const double* b) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

void vec3_normalise(double* v) {
    const double l = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    if (l == 0) return;
    v[0] /= l;
    v[1] /= l;
    v[2] /= l;
}

void printMatrix(const char* title, const double* m) {
    std::puts(title);
    for (int r = 0; r < 4; ++r)
        std::printf(r < 3 ? " [ %f %f %f %f ]\n" : " [ %f %f %f %f ]\n\n", m[r], m[r + 4], m[r + 8], m[r + 12]);
}

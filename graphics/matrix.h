// 4 x 4 double matrices in OpenGL's column-major order (element row r, column c at 4c + r),
// built exactly as the fixed-function GL builds them, so they can be loaded with glLoadMatrixd.
// Every function writes into caller-owned arrays.
#pragma once

extern const double gIdentity[16];

void setIdentityMatrix(double* m);
void copyMatrix(double* dst, const double* src);
void transposeMatrix(double* dst, const double* src);  // dst must differ from src
void addMatrices(double* dst, const double* a, const double* b);
// dst = a x b; dst must differ from a and b.
void multMatrices(double* dst, const double* a, const double* b);
// 1 with dst the inverse; 0, dst untouched, when src is singular.
int invertMatrix(double* dst, const double* src);

// As glFrustum, gluPerspective, glOrtho, gluLookAt and glRotated. A zero extent (left = right,
// bottom = top, near = far) leaves m as it was, as GL leaves its matrix.
void buildFrustumMatrix(double* m, double left, double right, double bottom, double top, double near, double far);
void buildPerspectiveMatrix(double* m, double fovy, double aspect, double near, double far);
void buildOrthoMatrix(double* m, double left, double right, double bottom, double top, double near, double far);
void buildLookAtMatrix(double* m, double eye_x, double eye_y, double eye_z, double center_x, double center_y,
                       double center_z, double up_x, double up_y, double up_z);
void buildRotation(double* m, double angle, double x, double y, double z);  // degrees
// m = m x rotation, m = m x translation.
void applyRotation(double* m, double angle, double x, double y, double z);
void applyTranslation(double* m, double x, double y, double z);

void vec3_assign(double* v, double x, double y, double z);
void vec3_cross(double* out, const double* a, const double* b);  // out may not be a or b
// Divides by the length; a zero-length vector stays as it is rather than turning into NaN.
void vec3_normalise(double* v);
// The title line, then the four rows, to standard output.
void printMatrix(const char* title, const double* m);

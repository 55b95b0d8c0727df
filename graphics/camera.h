// Graphics layer (graphics/).
// The camera: projection and model-view matrices kept on the processor side, set up as the
// classic GL calls would, and the view volume's side planes.
#pragma once

#include <type_traits>

class xcam_class {
public:
    xcam_class();  // identity matrices, orthographic, changed, model-view to be read from GL
    explicit xcam_class(const xcam_class* src);  // a copy of src; a default camera when null

    void SetupOrtho(double left, double right, double bottom, double top, double near, double far);
    void SetupFrustum(double left, double right, double bottom, double top, double near, double far);
    void SetupPerspective(double fovy, double aspect, double near, double far);  // fovy in degrees
    // The effective far plane: the nearer of distance and the real far plane.
    void SetFakeFarClippingPlane(double distance);
    void ResetFakeFarClippingPlane();

    // On the model-view matrix.
    void Identity();
    void Translate(double x, double y, double z);
    void Rotate(double angle, double x, double y, double z);
    void LookAtPtFromPt(double eye_x, double eye_y, double eye_z, double center_x, double center_y,
                        double center_z, double up_x, double up_y, double up_z);
    // Looks at (x, y, z) from distance away, from the heading and pitch given in degrees.
    void LookAtPtFromDir(double x, double y, double z, double heading, double pitch, double distance);

    // World-space unit vectors (zero when degenerate); Up and Direction read GL's model-view
    // first when mv_from_gl is set.
    void CalcUp(double* out);
    void CalcDirection(double* out);
    void CalcRight(double* out);  // direction x up, not normalised
    void CalcBillboardGround(float* right, float* up);
    void CalcBillboardCamera(float* right, float* up);
    // Cosines of the half field of view; 0 (nothing written) for an orthographic camera.
    int GetFOVHalfCosines(float* horizontal, float* vertical);
    // A world point's position in window units of the current sub-window.
    void mtr_to_pix(const double* world, double* out);

    // Makes this an orthographic camera looking along dir that just holds other's view volume;
    // near_out and far_out get its near and far distances. Unchanged when other is singular.
    void LookAtCamera(const xcam_class* other, const double* dir, double distance, double& near_out,
                      double& far_out);
    // The world box of the view volume, cut off at max_dist, within heights y_low..y_high; false
    // when nothing of it lies in the band (or the camera is singular).
    bool GetFrustumBounds(double max_dist, double y_low, double y_high, double* box_min, double* box_max);
    // Grows the box by the part of the edge p-q within the band.
    static void accum_segment(double y_low, double y_high, const double* p, const double* q, double* box_min,
                              double* box_max);

    int proj_kind;  // 0 perspective frustum, 1 orthographic
    double near_z;  // eye-space z of the near plane
    double far_z;
    double fake_far_z;
    double plane_top[3];  // inward unit normals of the side planes, eye space
    double plane_left[3];
    double plane_right[3];
    double plane_bottom[3];
    double ortho_top;
    double ortho_left;
    double ortho_right;
    double ortho_bottom;
    int changed;
    int mv_from_gl;          // GL's model-view may differ from mv_matrix
    double proj_matrix[16];  // column-major
    double mv_matrix[16];
};
// Copied bytewise.
static_assert(std::is_trivially_copyable_v<xcam_class>);

extern xcam_class xcam;

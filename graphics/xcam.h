// The camera: projection and model-view matrices kept on the processor side.
#pragma once

#include <type_traits>

class xcam_class {
public:
    xcam_class();  // identity matrices, orthographic, changed, model-view to be read from GL

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

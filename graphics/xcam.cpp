#include "graphics/xcam.h"

xcam_class xcam;

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
    for (int i = 0; i < 4; ++i) proj_matrix[i * 5] = mv_matrix[i * 5] = 1.0;
}

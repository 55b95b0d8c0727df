#include "graphics/render_state.h"

ren_struct ren = ren_defaults();

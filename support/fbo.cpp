#include "support/fbo.h"

UTL_stat g_fbo_flushes("fbo/flush_per_frame", stat_per_frame, 0.0f);

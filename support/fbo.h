// Framebuffer render targets: the per-frame flush counter.
#pragma once

#include "core/utl_stat.h"

// "fbo/flush_per_frame": raised by one per end of a render into a target.
extern UTL_stat g_fbo_flushes;

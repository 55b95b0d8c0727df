// Platform layer (platform/).
// Opaque handles of the window system objects the shell keeps in its window record.
#pragma once

namespace plat {
struct pixel_format;
struct window;
struct gl_context;
using pixel_format_ref = pixel_format*;
using window_ref = window*;
using gl_context_ref = gl_context*;
}  // namespace plat

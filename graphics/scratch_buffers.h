// Graphics layer (graphics/).
// The two shared 16 MB pixel buffers. A "scratch_array" texture load reads its pixels from
// scratch_array (rows padded to the texture width, size in scratch_dx and scratch_dy); the
// image readers decode files into scratch_array_temp. Main thread, one user at a time.
#pragma once

#include <cstddef>

inline constexpr size_t scratch_bytes = 16777216;

extern unsigned char* const scratch_array;
extern unsigned char* const scratch_array_temp;
extern int scratch_dx;
extern int scratch_dy;

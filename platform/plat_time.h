// The platform clock.
#pragma once

#include <cstdint>

namespace plat {
// Microseconds of a monotonic clock (since an arbitrary start, never steps back).
uint64_t microseconds();
}  // namespace plat

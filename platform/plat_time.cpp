#include "platform/plat_time.h"

#include <time.h>

namespace plat {
uint64_t microseconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<uint64_t>(ts.tv_sec) * 1000000u + static_cast<uint64_t>(ts.tv_nsec) / 1000u;
}
}  // namespace plat

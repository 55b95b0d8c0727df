// The lazy memory pools' accounting: the bytes all pools hold, published as the statistic
// "memory/lazy_pools".
#pragma once

#include "core/utl_stat.h"

class UTL_lazy_mempool {
public:
    // Bytes held by all lazy pools, 32,768 per block.
    static inline float global_total = 0;
};

extern UTL_stat g_memory_used;

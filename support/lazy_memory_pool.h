// Support libraries layer (support/).
// A pool that takes memory in blocks of 32,768 bytes and gives it all back at once when it is
// destroyed. All pools together are accounted in one figure, published as the statistic
// "memory/lazy_pools".
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/statistics.h"

class UTL_lazy_mempool {
public:
    static constexpr uint32_t block_size = 32768;

    UTL_lazy_mempool() = default;
    ~UTL_lazy_mempool();
    UTL_lazy_mempool(const UTL_lazy_mempool&) = delete;
    UTL_lazy_mempool& operator=(const UTL_lazy_mempool&) = delete;

    // Room for bytes (16-byte aligned) in the newest block, starting a new block when it does
    // not fit; what the old block had left counts as wasted. Null for a request no block can
    // hold or when the heap is exhausted. Nothing is returned singly.
    void* allocate(size_t bytes);
    // Writes total, wasted and ready to the log.
    void dump();

    uint32_t total = 0;         // bytes handed out
    uint32_t wasted = 0;        // bytes left behind in blocks that filled up
    void* blocks = nullptr;     // newest block; each block's first word points to the one before
    uint32_t fill = 0;          // bytes used in the newest block
    uint32_t ready = 0;         // bytes still free in the newest block

    // Bytes held by all lazy pools, 32,768 per block. Pools on different threads change it
    // under a lock; the statistic reads it directly.
    static inline float global_total = 0;
};

extern UTL_stat g_memory_used;

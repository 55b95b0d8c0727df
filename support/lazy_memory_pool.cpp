// The lazy memory pool (support libraries layer).
#include "support/lazy_memory_pool.h"

#include <cstdlib>
#include <mutex>

#include "core/globals.h"

UTL_stat g_memory_used(&UTL_lazy_mempool::global_total, "memory/lazy_pools", stat_memory);

namespace {
std::mutex total_lock;
// The chain pointer sits in the block's first word; requests start behind it, aligned.
constexpr uint32_t kHeader = 16;

void add_to_total(float bytes) {
    std::lock_guard<std::mutex> g(total_lock);
    UTL_lazy_mempool::global_total += bytes;
}
}  // namespace

UTL_lazy_mempool::~UTL_lazy_mempool() {
    while (blocks) {
        void* block = blocks;
        blocks = *static_cast<void**>(block);
        std::free(block);
        add_to_total(-static_cast<float>(block_size));
    }
}

void* UTL_lazy_mempool::allocate(size_t bytes) {
    size_t rounded = (bytes + 15) & ~static_cast<size_t>(15);
    if (bytes == 0 || rounded > block_size - kHeader) return nullptr;
    if (!blocks || rounded > ready) {
        void* block = std::malloc(block_size);
        if (!block) return nullptr;
        *static_cast<void**>(block) = blocks;
        if (blocks) wasted += ready;
        blocks = block;
        fill = kHeader;
        ready = block_size - kHeader;
        add_to_total(static_cast<float>(block_size));
    }
    void* out = static_cast<char*>(blocks) + fill;
    fill += static_cast<uint32_t>(rounded);
    ready -= static_cast<uint32_t>(rounded);
    total += static_cast<uint32_t>(rounded);
    return out;
}

void UTL_lazy_mempool::dump() {
    xer << "Total memory allocated: " << total << "\n";
    xer << "Total wasted memory: " << wasted << "\n";
    xer << "Total ready memory: " << ready << "\n";
}

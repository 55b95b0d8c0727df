#include "support/lazy_memory_pool.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "common/test_helpers.h"

TEST(LazyMempool, BlocksAreChainedAndAccounted) {
    const float before = UTL_lazy_mempool::global_total;
    { UTL_lazy_mempool empty; }
    EXPECT_EQ(UTL_lazy_mempool::global_total, before);
    {
        UTL_lazy_mempool pool;
        const size_t most = UTL_lazy_mempool::block_size - 16;
        EXPECT_EQ(pool.allocate(0), nullptr);
        EXPECT_EQ(pool.allocate(most + 1), nullptr);
        char* a = static_cast<char*>(pool.allocate(40));
        char* b = static_cast<char*>(pool.allocate(8));
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(b, a + 48);  // rounded to 16 bytes, in the same block
        EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 16, 0u);
        EXPECT_EQ(UTL_lazy_mempool::global_total, before + 32768);
        // Two requests that fill a block each: three blocks in all.
        void* c = pool.allocate(most);
        void* d = pool.allocate(most);
        ASSERT_NE(c, nullptr);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(UTL_lazy_mempool::global_total, before + 3 * 32768);
        EXPECT_EQ(pool.total, 64u + 2 * most);
        EXPECT_EQ(pool.wasted, most - 64);
        EXPECT_EQ(pool.ready, 0u);
        // The chain runs newest to oldest and ends in null.
        int count = 0;
        for (void* blk = pool.blocks; blk; blk = *static_cast<void**>(blk)) ++count;
        EXPECT_EQ(count, 3);
    }
    EXPECT_EQ(UTL_lazy_mempool::global_total, before);
}

TEST(LazyMempool, DumpWritesThreeLines) {
    log_capture log;
    UTL_lazy_mempool pool;
    pool.dump();
    pool.allocate(100);
    pool.dump();
    EXPECT_EQ(log.text(),
              "Total memory allocated: 0\nTotal wasted memory: 0\nTotal ready memory: 0\n"
              "Total memory allocated: 112\nTotal wasted memory: 0\nTotal ready memory: 32640\n");
}

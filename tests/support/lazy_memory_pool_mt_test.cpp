#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/lazy_memory_pool.h"

// Pools built and destroyed on several threads at once keep the shared total exact.
TEST(LazyMempoolThreads, TotalBalancesAcrossThreads) {
    const float before = UTL_lazy_mempool::global_total;
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int round = 0; round < 50; ++round) {
                UTL_lazy_mempool pool;
                for (int i = 0; i < 4; ++i) pool.allocate(UTL_lazy_mempool::block_size - 16);
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(UTL_lazy_mempool::global_total, before);
}

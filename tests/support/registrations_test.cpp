#include <gtest/gtest.h>

#include <cstring>

#include "core/statistics.h"
#include "support/lazy_memory_pool.h"
#include "support/render_targets.h"
#include "support/shader_manager.h"

namespace {
UTL_stat* find_stat(UTL_stat_type type, const char* name) {
    for (UTL_stat* s : UTL_stat::stats_of(type))
        if (!std::strcmp(s->name, name)) return s;
    return nullptr;
}
}  // namespace

TEST(SupportRegistrations, StatisticsJoinTheirGroups) {
    UTL_stat::init_stats();
    UTL_stat* pools = find_stat(stat_memory, "memory/lazy_pools");
    ASSERT_NE(pools, nullptr);
    EXPECT_EQ(pools, &g_memory_used);
    EXPECT_EQ(pools->target, &UTL_lazy_mempool::global_total);
    UTL_stat* flushes = find_stat(stat_per_frame, "fbo/flush_per_frame");
    ASSERT_NE(flushes, nullptr);
    EXPECT_EQ(flushes, &g_fbo_flushes);
    EXPECT_EQ(flushes->target, &flushes->value);
    EXPECT_EQ(flushes->value, 0.0f);
}

TEST(SupportRegistrations, ShaderReloadIsARemoteCommand) {
    int found = 0;
    for (UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->next)
        if (!std::strcmp(c->name, "Reload Pixel Shaders...")) {
            ++found;
            EXPECT_EQ(c->fn, &do_reload);
            EXPECT_GT(c->id, 0);
            UTL_remote_cmd::invoke(nullptr, c->id);
        }
    EXPECT_EQ(found, 1);
}

#include "core/statistics.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
// Registered from static initialisers, before the registry opens.
UTL_stat early_own("test/early_own", stat_debug, 2.5f);
float outside_value = 7;
UTL_stat early_bound(&outside_value, "test/early_bound", stat_memory);

int runs[4];
void cmd_a() { ++runs[1]; }
void cmd_b() { ++runs[2]; }
void cmd_c() { ++runs[3]; }
UTL_remote_cmd early_cmd("Early", cmd_a);

bool has(UTL_stat_type t, UTL_stat* s) { return UTL_stat::stats_of(t).count(s) != 0; }
}  // namespace

TEST(UtlStat, RegistryOpensOnceAndTakesEarlyAndLateStatistics) {
    EXPECT_FALSE(has(stat_debug, &early_own));
    UTL_stat::init_stats();
    EXPECT_TRUE(has(stat_debug, &early_own));
    EXPECT_TRUE(has(stat_memory, &early_bound));
    EXPECT_FALSE(has(stat_memory, &early_own));
    EXPECT_EQ(*early_own.target, 2.5f);

    UTL_stat late("test/late", stat_per_frame, 1);
    EXPECT_TRUE(has(stat_per_frame, &late));
    late.publish();  // already there
    EXPECT_EQ(UTL_stat::stats_of(stat_per_frame).size(), 1u);

    // Reset zeroes the bound float and the own values of that type only.
    UTL_stat::reset_stats(stat_memory);
    EXPECT_EQ(outside_value, 0);
    EXPECT_EQ(early_own.value, 2.5f);
    UTL_stat::reset_stats(stat_debug);
    EXPECT_EQ(early_own.value, 0);

    // A type nobody uses gets an empty set.
    UTL_stat::reset_stats(static_cast<UTL_stat_type>(9));
    EXPECT_TRUE(UTL_stat::stats_of(static_cast<UTL_stat_type>(9)).empty());
}

TEST(UtlStat, DestroyedStatisticsLeaveTheRegistry) {
    UTL_stat::init_stats();
    auto gone = std::make_unique<UTL_stat>("test/gone", stat_per_frame, 3);
    UTL_stat* raw = gone.get();
    ASSERT_TRUE(has(stat_per_frame, raw));
    gone.reset();
    EXPECT_FALSE(has(stat_per_frame, raw));
    UTL_stat::reset_stats(stat_per_frame);  // would write freed memory otherwise
}

TEST(UtlRemoteCmd, IdsFollowConstructionAndInvokeRunsTheOne) {
    // Other units (the memory report) may register commands of their own before main.
    UTL_remote_cmd b("Same name", cmd_b);
    UTL_remote_cmd c("Same name", cmd_c);
    EXPECT_GT(b.id, early_cmd.id);
    EXPECT_EQ(c.id, b.id + 1);
    EXPECT_EQ(UTL_remote_cmd::cmd_list, &c);  // newest first

    UTL_remote_cmd::invoke(nullptr, b.id);
    EXPECT_EQ(runs[2], 1);
    EXPECT_EQ(runs[1] + runs[3], 0);
    UTL_remote_cmd::invoke(nullptr, 0);
    UTL_remote_cmd::invoke(nullptr, 9999);
    EXPECT_EQ(runs[1] + runs[2] + runs[3], 1);
    UTL_remote_cmd::init_remote_cmds();
}

TEST(UtlRemoteCmd, DestroyedCommandsAreNotInvoked) {
    int id;
    UTL_remote_cmd* head = UTL_remote_cmd::cmd_list;
    {
        UTL_remote_cmd gone("Gone", cmd_c);
        id = gone.id;
    }
    UTL_remote_cmd::invoke(nullptr, id);
    EXPECT_EQ(runs[3], 0);
    EXPECT_EQ(UTL_remote_cmd::cmd_list, head);
}

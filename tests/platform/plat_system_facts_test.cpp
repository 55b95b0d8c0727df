#include "platform/plat_system_facts.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <cstdlib>

TEST(Gestalt, FactsFromTheRunningSystem) {
    struct utsname u;
    ASSERT_EQ(uname(&u), 0);
    int32_t v = -1;
    ASSERT_EQ(plat::gestalt(plat::four_cc("sys1"), &v), 0);
    EXPECT_EQ(v, std::atoi(u.release));
    ASSERT_EQ(plat::gestalt(plat::four_cc("ramm"), &v), 0);
    EXPECT_GT(v, 0);
    ASSERT_EQ(plat::gestalt(plat::four_cc("cput"), &v), 0);
    if (std::string(u.machine) == "x86_64") {
        EXPECT_EQ(static_cast<uint32_t>(v), plat::four_cc("ixxx"));
    }

    // The system does not tell the bus clock; unknown selectors have no answer either.
    v = 7;
    EXPECT_EQ(plat::gestalt(plat::four_cc("bclm"), &v), plat::gestalt_undefined);
    EXPECT_EQ(plat::gestalt(plat::four_cc("sysv"), &v), plat::gestalt_undefined);
    EXPECT_EQ(v, 7);
}

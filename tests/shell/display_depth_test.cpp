// The display's colour depth. Its first reading is what shut-down restores, and this program
// never reads it outside a fresh child, so each child starts from scratch.
#include <gtest/gtest.h>

#include <cstdio>

#include "common/test_helpers.h"
#include "core/window_state.h"
#include "platform/plat_window_null.h"
#include "shell/window.h"

namespace {

// The depth first seen is what shut-down restores, so each display gets a fresh process.
std::string depth_switches(int w, int h, int depth) {
    child_result r = run_in_child([&] {
        plat::scoped_null_backend b;
        b->display_w = w;
        b->display_h = h;
        b->display_depth = depth;
        mnw = mnw_defaults();
        mnw.col_res_req = 32;
        MACIBM_setres(1);
        MACIBM_setres(0);
        for (int bits : b->depth_switches) std::printf("%d ", bits);
        std::fflush(stdout);
    });
    EXPECT_EQ(r.exit_code, child_returned);
    return r.out;
}

TEST(WindowDepth, SwitchedOnlyOnSmallDisplaysAndRestoredAtShutDown) {
    EXPECT_EQ(depth_switches(800, 600, 16), "32 16 ");
    EXPECT_EQ(depth_switches(1024, 700, 16), "32 16 ");
    EXPECT_EQ(depth_switches(800, 600, 32), "");
    EXPECT_EQ(depth_switches(1024, 768, 16), "");
}

}  // namespace

#include "core/named_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
std::vector<std::string> children(cmnd_class& c, const std::string& prefix) {
    std::vector<std::string> out{"stale"};
    c.get_cmds_in_path(prefix, out);
    return out;
}
}  // namespace

TEST(Cmnd, FreshRegistryHoldsTheBuiltInRow) {
    cmnd_class c;
    ASSERT_EQ(c.count(), 1);
    EXPECT_EQ(c.name(0), "cmnd_nothing");
    EXPECT_EQ(c.path(0), "sim/-none-/-none-");
    EXPECT_EQ(c.description(0), "Do nothing at all!");
    EXPECT_EQ(c.kind(0), 3);
    EXPECT_EQ(c.counter(0), 0);
    EXPECT_EQ(c.get_cmnd_by_name("sim/-none-/-none-"), 0);
    EXPECT_EQ(c.get_cmnd_by_name("sim/view/forward"), 0);
    EXPECT_EQ(c.get_cmnd_by_name("SIM/-none-/-none-"), 0);
    EXPECT_EQ(children(c, "sim/"), std::vector<std::string>{"-none-/"});
    EXPECT_EQ(children(c, "sim/-none-/"), std::vector<std::string>{"-none-"});
    EXPECT_EQ(children(c, ""), std::vector<std::string>{"sim/"});
    // A path equal to the prefix yields nothing.
    EXPECT_TRUE(children(c, "sim/-none-/-none-").empty());
}

TEST(Cmnd, PathsGroupIntoSortedEntries) {
    cmnd_class c;
    EXPECT_EQ(c.add_cmd("sim/view/forward", "Look forward"), 1);
    EXPECT_EQ(c.add_cmd("sim/view/left", "Look left"), 2);
    EXPECT_EQ(c.add_cmd("sim/flight/pause", "Pause"), 3);
    EXPECT_EQ(c.name(3), "DYNAMIC");
    EXPECT_EQ(c.kind(3), 2);
    EXPECT_EQ(c.description(1), "Look forward");
    EXPECT_EQ(children(c, "sim/"), (std::vector<std::string>{"-none-/", "flight/", "view/"}));
    EXPECT_EQ(children(c, "sim/view/"), (std::vector<std::string>{"forward", "left"}));
    EXPECT_EQ(children(c, ""), std::vector<std::string>{"sim/"});
    EXPECT_EQ(c.get_cmnd_by_name("sim/view/left"), 2);
}

TEST(Cmnd, DuplicatePathsAreKeptAndTheFirstIsFound) {
    cmnd_class c;
    int first = c.add_cmd("sim/a/b", "one");
    int second = c.add_cmd("sim/a/b", "two");
    EXPECT_NE(first, second);
    EXPECT_EQ(c.get_cmnd_by_name("sim/a/b"), first);
    EXPECT_EQ(children(c, "sim/a/"), std::vector<std::string>{"b"});
}

TEST(Cmnd, PressAndReleaseCount) {
    cmnd_class c;
    int i = c.add_cmd("sim/x/y", "");
    c.press_one(i);
    c.press_one(i);
    EXPECT_EQ(c.counter(i), 2);
    c.single_press(i);
    EXPECT_EQ(c.counter(i), 2);
    c.press_always(i);
    EXPECT_EQ(c.counter(i), 2);
    c.release_one(i);
    EXPECT_EQ(c.counter(i), 1);
}

// A unit's static initialiser may register before this one's globals are built.
static const int registered_early = cmnd.add_cmd("sim/test/early", "Registered before main");

TEST(Cmnd, GlobalAcceptsRegistrationFromStaticInitialisers) {
    EXPECT_EQ(cmnd.path(0), "sim/-none-/-none-");
    EXPECT_EQ(cmnd.get_cmnd_by_name("sim/test/early"), registered_early);
    EXPECT_GT(registered_early, 0);
}

TEST(Cmnd, PlaneFocus) {
    EXPECT_EQ(get_plane_focus(), 0);
    set_plane_focus(3);
    EXPECT_EQ(get_plane_focus(), 3);
    set_plane_focus(0);
}

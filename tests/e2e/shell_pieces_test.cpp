// The shell's pieces that nothing in the installer opens, run in the shell probe under X: the
// key-assignment window, the menus read from a menu file, and the progress window.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_helpers.h"
#include "e2e_session.h"

namespace {

const std::string probe = VOLATRA_TOOLS_DIR "/volatra_shell_probe";

// Each expected line must come after the one before it.
void expect_in_order(const std::string& log, const std::vector<std::string>& lines) {
    size_t at = 0;
    for (const std::string& l : lines) {
        size_t found = log.find(l, at);
        EXPECT_NE(found, std::string::npos) << "missing, or out of order: " << l << "\n" << log;
        if (found != std::string::npos) at = found + l.size();
    }
}

TEST(ShellPieces, AKeyIsAssignedInTheKeyWindowAndThenPressesItsCommand) {
    e2e_session s("key_window");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const int status = s.run(probe, {"--keys"},
                             "wait_log probe ready\n"
                             "shot empty.png\n"
                             "click 174 718\n"  // Add New Key Assignment
                             "wait_log \"binding 1:\"\n"
                             "click 85 670\n"  // its row: editing
                             "key shift+f\n"
                             "wait_log \"binding 1: SHIFT F\"\n"
                             "click 377 394\n"  // the group view/: its first command
                             "wait_log \"sim/view/forward\"\n"
                             "click 745 674\n"  // the second command of the group
                             "wait_log \"sim/view/left\"\n"
                             "shot assigned.png\n"
                             "click 85 670\n"  // editing ends
                             "key shift+f\n"
                             "wait_log \"command sim/view/left 0\"\n"
                             "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    expect_in_order(s.log(), {"probe ready 1024x768",
                              "binding 0: <none> <none> -> sim/-none-/-none-",
                              "binding 1: <none> <none> -> sim/-none-/-none-",
                              "binding 1: SHIFT F -> sim/-none-/-none-",
                              "binding 1: SHIFT F -> sim/view/forward",
                              "binding 1: SHIFT F -> sim/view/left",
                              "command sim/view/left 1",
                              "command sim/view/left 0",
                              "probe quit"});

    e2e_image shot;
    ASSERT_TRUE(read_png(s.work() + "assigned.png", &shot));
    EXPECT_EQ(shot.width, 1024);
    // The row being edited is drawn pressed; the other is not.
    EXPECT_FALSE(shot.at(40, 665) == shot.at(40, 685));
    // Of the group view/, left is ticked and forward is not; so is the group.
    const e2e_image::px left = shot.at(741, 675), forward = shot.at(741, 690), view = shot.at(373, 395),
                        flight = shot.at(373, 415);
    EXPECT_LT(left.r, 120) << "a ticked box is blue inside";
    EXPECT_GT(forward.r, 200);
    EXPECT_EQ(left, view);
    EXPECT_EQ(forward, flight);
}

}  // namespace

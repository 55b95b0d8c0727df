// The widgets under X in the shell probe: scripted clicks and typing change a button's count, a
// check box, a radio group and a text field, and the picture changes only where they stand.
#include <gtest/gtest.h>

#include "e2e_session.h"

namespace {

const std::string probe = VOLATRA_TOOLS_DIR "/volatra_shell_probe";

struct box {
    int x0, y0, x1, y1;  // window units, inclusive
    bool holds(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

TEST(Widgets, ClicksAndTypingChangeThemAndThePictureShowsIt) {
    e2e_session s("widgets");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    int status = s.run(probe, {"--widgets"},
                       "wait_log probe ready\n"
                       "shot before.png\n"
                       "click 400 480\n"
                       "wait_log button pressed 1\n"
                       "click 200 403\n"
                       "wait_log check 1\n"
                       "click 200 303\n"
                       "wait_log radio 2\n"
                       "click 300 224\n"
                       "type Volatra!\n"
                       "key Backspace\n"
                       "key Home\n"
                       "type \"My \"\n"
                       "wait_log \"text 'My Volatra'\"\n"
                       "move 600 100\n"
                       "shot after.png\n"
                       "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    std::string log = s.log();
    EXPECT_EQ(log.find("check 0"), std::string::npos) << log;
    EXPECT_EQ(log.find("button pressed 2"), std::string::npos) << log;

    e2e_image before, after;
    ASSERT_TRUE(read_png(s.work() + "before.png", &before));
    ASSERT_TRUE(read_png(s.work() + "after.png", &after));
    ASSERT_EQ(after.width, 800);
    // Where the values are drawn: the check box, the first and third radio buttons (their
    // sprites centred 3 above each line), the field's text band.
    const box check{191, 394, 209, 412}, radio1{191, 344, 209, 362}, radio3{191, 294, 209, 312},
        field{199, 217, 401, 228};
    int changed_check = 0, changed_radio1 = 0, changed_radio3 = 0, changed_field = 0, changed_elsewhere = 0;
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 800; ++x) {
            if (before.at(x, y) == after.at(x, y)) continue;
            if (check.holds(x, y))
                ++changed_check;
            else if (radio1.holds(x, y))
                ++changed_radio1;
            else if (radio3.holds(x, y))
                ++changed_radio3;
            else if (field.holds(x, y))
                ++changed_field;
            else
                ++changed_elsewhere;
        }
    EXPECT_GT(changed_check, 20);
    EXPECT_GT(changed_radio1, 20);
    EXPECT_GT(changed_radio3, 20);
    EXPECT_GT(changed_field, 100);  // "My Volatra" where the field was empty
    EXPECT_EQ(changed_elsewhere, 0) << "the button looks as before; nothing else moved";
}

}  // namespace

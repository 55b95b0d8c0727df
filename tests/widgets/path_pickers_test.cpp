// Path fields with a folder button, over a stand-in for the desktop's folder chooser.
#include <gtest/gtest.h>

#include <cstring>

#include "core/interface_strings.h"
#include "core/window_state.h"
#include "widget_helpers.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_shell.h"

namespace {

// What the chooser answers, and what it was asked.
std::string answer;
int answered = 0, asked = 0;
std::string asked_message;
int chooser(int mode, const std::string& message, const std::string&, int, const char*, std::string& path) {
    ++asked;
    asked_message = message;
    if (mode != 2 || !answered) return 0;
    path = answer;
    return 1;
}

// Pickers at (100, 100), 200 wide: the folder button's box is x 72 to 94, y 92 to 112.
class PathPicker : public ::testing::Test {
protected:
    frame_driver driver;
    widget_shell_hooks saved;
    int result = -1;
    void SetUp() override {
        saved = set_widget_shell_hooks({nullptr, nullptr, chooser});
        answered = asked = 0;
    }
    void TearDown() override { set_widget_shell_hooks(saved); }
    std::string shown() {
        for (const painted& p : driver.paint.of("string"))
            if (p.x == 100 && p.y == 100) return p.text;
        return "<none>";
    }
};

TEST_F(PathPicker, TheFieldShowsTheLeafAndAnEditReplacesThePath) {
    std::string path = "planes/small/";
    auto picker = [&] { result = BTN_select_path_stl(100, 100, 998, 0, &path, 100, "Folder:", 200, 0); };
    driver.frame(picker);
    EXPECT_EQ(shown(), "small/");
    driver.click(150, 102, picker);
    driver.frame(picker, typed("x"));
    EXPECT_EQ(path, "small/x");
    EXPECT_EQ(result, 0);

    path = "sim/view/";
    driver.frame([&] { BTN_select_path_stl(100, 100, 998, 20, &path, 100, "", 200, 0); });
    EXPECT_EQ(shown(), "sim/view/");
}

TEST_F(PathPicker, TheButtonAsksTheChooserAndTakesItsFolder) {
    std::string path = "old/";
    auto picker = [&] { result = BTN_select_path_stl(100, 100, 999, 0, &path, 100, "|{ pick one", 200, 0); };
    driver.move(72, 112);
    driver.frame(picker);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(stls[1802], "pick one");
    EXPECT_EQ(asked, 0);
    driver.press(80, 100, picker);  // cancelled
    EXPECT_EQ(result, 0);
    EXPECT_EQ(path, "old/");
    EXPECT_EQ(asked_message, "Please pick an Ostrand to update");
    answered = 1, answer = "/home/me/Volatra";
    driver.press(80, 100, picker);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(path, "/home/me/Volatra");
}

TEST_F(PathPicker, CharArraysAreCutToTheirSize) {
    char path[16] = "a/b";
    answered = 1, answer = "/twenty/characters/";
    driver.press(80, 100, [&] { result = BTN_select_path_chr(100, 100, 998, 0, path, 8, "", 200, 0); });
    EXPECT_EQ(result, 1);
    EXPECT_STREQ(path, "/twenty");
    driver.press(80, 100, [&] { result = BTN_select_path_chr(100, 100, 998, 0, path, 0, "", 200, 0); });
    EXPECT_EQ(result, 0);  // no room even for the terminator
    EXPECT_STREQ(path, "/twenty");

    char name[16] = "plane";
    std::string folder;
    auto picker = [&] { result = BTN_select_file_chr(100, 100, 998, 3, name, &folder, 8, "", 200); };
    driver.frame(picker);
    EXPECT_EQ(shown(), "plane");
    answered = 0;
    driver.press(80, 100, picker);
    EXPECT_STREQ(name, "plane");  // nothing written back without a pick
    answered = 1, answer = "/a/b/longfoldername";
    driver.press(80, 100, picker);
    EXPECT_EQ(folder, "/a/b/longfoldername");
    EXPECT_STREQ(name, "longfol");
}

TEST(PathPickerDeath, BadArgumentsAreFatal) {
    std::string s;
    char c[4] = "";
    EXPECT_EXIT(BTN_select_path_stl(0, 0, 1, 0, &s, 10, "", 100, 0), ::testing::ExitedWithCode(1),
                "Bad open_save arg to BTN_select_file_stl!");
    EXPECT_EXIT(BTN_select_path_chr(0, 0, 998, 22, c, 4, "", 100, 0), ::testing::ExitedWithCode(1),
                "Bad file_type arg to BTN_select_file_chr!.*line 704");
    EXPECT_EXIT(BTN_select_file_chr(0, 0, 998, -1, c, &s, 4, "", 100), ::testing::ExitedWithCode(1),
                "line 719");
}

}  // namespace

// The engine's two questions in their sub-windows, answered by clicks and keys through the frame
// loop on a window backend without a display.
#include <gtest/gtest.h>

#include "common/gl_test_context.h"
#include "core/globals.h"
#include "core/window_state.h"
#include "platform/plat_window_null.h"
#include "shell/frame.h"
#include "wizard/questions.h"
#include "wizard_helpers.h"

namespace {

class Questions : public frame_loop_test {
protected:
    int ask() { return wizard_abort_alert("Stop the run?", "Stop", "the run.", "Continue", "the run."); }
};

TEST_F(Questions, TwoButtonQuestionAnswersOneZeroOrClosed) {
    click_at(146, 253);  // the first button: (96, 56) in the window at (50, 197)
    EXPECT_EQ(ask(), 1);
    EXPECT_EQ(mnw.curwin, 0);
    ASSERT_TRUE(drawn_text(paint, "Stop the run?"));
    EXPECT_EQ(drawn_text(paint, "Stop the run?")->y, 160);
    click_at(146, 228);
    EXPECT_EQ(ask(), 0);
    key_return();  // closes the window without pressing a button
    EXPECT_EQ(ask(), 3);
    EXPECT_EQ(mnw.curwin, 0);
}

TEST_F(Questions, ChangedFileQuestionHasFiveAnswersAndNoClosing) {
    key_return();
    click_at(50 + 308, 227 + 28);  // window 996 of 700 x 146 lies at (50, 227)
    EXPECT_EQ(wizard_select_alert("/copy/a.txt", 0), 5);
    EXPECT_TRUE(drawn_text(paint, "KEEP EVERY OLD FILE IN THIS DIRECTORY"));
    EXPECT_TRUE(drawn_text(paint, "I am about to install:"));
    paint.clear();
    click_at(50 + 96, 227 + 53);
    EXPECT_EQ(wizard_select_alert("/copy/a.txt", 1), 1);
    EXPECT_TRUE(drawn_text(paint, "DELETE THE OLD FILE"));
    EXPECT_TRUE(drawn_text(paint, "I am about to DELETE:"));
}

// A path too wide for the window stays on its one line, cut in its middle, clear of the texts
// round it; its start and the file's name still show.
TEST_F(Questions, ALongPathKeepsToItsLineInsideTheWindow) {
    std::string path = "/home/user/Desktop/Volatra 9/Custom Scenery/";
    path += std::string(200 - path.size() - 12, 'x') + "/library.txt";
    click_at(50 + 96, 227 + 28);
    EXPECT_EQ(wizard_select_alert(path, 0), 2);
    expect_texts_apart_and_inside(paint.calls, 700, 146);  // window 996
    const painted* shown = drawn_text(paint, "/home/user/Desktop/Volatra 9/");
    ASSERT_TRUE(shown);
    EXPECT_NE(shown->text.find("xxx...xxx"), std::string::npos) << shown->text;
    EXPECT_EQ(shown->text.substr(shown->text.size() - 12), "/library.txt");
}

}  // namespace

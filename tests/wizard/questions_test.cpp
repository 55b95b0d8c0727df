// The engine's two questions in their sub-windows, answered by clicks and keys through the frame
// loop on a window backend without a display.
#include <gtest/gtest.h>

#include "common/gl_test_context.h"
#include "core/mnw.h"
#include "core/wx.h"
#include "platform/plat_window_null.h"
#include "shell/frame.h"
#include "wizard/questions.h"
#include "wizard_helpers.h"

namespace {

class Questions : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_test_context());
        saved = mnw;
        mnw = mnw_defaults();
        mnw.x_res = 800;
        mnw.y_res = 600;
        mnw.scale = 1;
        MACIBM_startwind(0, 0);
    }
    void TearDown() override { mnw = saved; }
    // A press at a point of the 800 x 600 window (y up), handled by the question's next frame.
    void click_at(int x, int y) {
        backend->mouse_h = x;
        backend->mouse_v = 600 - y;
        plat::event e;
        e.what = plat::ev_mouse_down;
        backend->events.push_back(e);
        e.what = plat::ev_mouse_up;
        backend->events.push_back(e);
    }
    void key_return() {
        plat::event e;
        e.what = plat::ev_key_down;
        e.message = (36 << 8) | 13;
        backend->events.push_back(e);
    }
    int ask() { return wizard_abort_alert("Stop the run?", "Stop", "the run.", "Continue", "the run."); }

    mnw_struct saved{};
    plat::scoped_null_backend backend;
    paint_recorder paint;
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

}  // namespace

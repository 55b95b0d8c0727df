// The engine's two questions in their sub-windows, answered by clicks and keys through the frame
// loop on a window backend without a display.
#include <gtest/gtest.h>

#include "common/gl_test_context.h"
#include "core/globals.h"
#include "core/window_state.h"
#include "platform/plat_strings.h"
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

// The error choice of a repair whose link leads to a disk away names two paths. With a target of
// 518 or 930 bytes, or a 132-byte name without breaks, the question keeps to its box, each line
// apart from the others and above the buttons (100 x 20 round (96, 56) and (96, 31)): a name too
// wide for its line is cut in its middle, and a text longer than its rows, 160 down to 80, shows
// its end after "...". A question that fits is drawn as it was, whole at (20, 160) wrapped at 660.
TEST_F(Questions, ALongQuestionKeepsToItsBoxAboveTheButtons) {
    auto choice = [](const std::string& target) {
        return "An error occurred during the repair:\n\nThe link /home/maria/Volatra 9/Custom Scenery/link "
               "leads to " +
               target +
               ", where nothing is found now (is its disk away?), so 5 files of the release beyond it are "
               "left out. (A link on the way leads to nothing)\n\nVolatra may not be usable until you are "
               "able to repair the sim without errors.";
    };
    std::string target = "/media/maria/Backup disk";
    for (int k = 1; target.size() < 930; ++k) target += "/Scenery overrides " + std::to_string(k);
    const std::string name = "/media/disk/" + std::string(132, 'n');
    struct long_case {
        std::string question, last_row_start;
    };
    const long_case cases[] = {{choice(target.substr(0, 518)), "Volatra may"},
                               {choice(target.substr(0, 930)), "..."},
                               {choice(name), "Volatra may"}};
    for (const long_case& c : cases) {
        paint.clear();
        click_at(146, 228);  // the second button
        EXPECT_EQ(wizard_abort_alert(c.question, "Stop", "the repair.", "Continue", "the repair."), 0);
        expect_texts_apart_and_inside(paint.calls, 700, 206);
        const painted* last = nullptr;
        for (const painted& p : paint.calls) {
            if (p.kind != "string") continue;
            if (p.x == 20 && (!last || p.y < last->y)) last = &p;
            if (p.text == "Stop" || p.text == "Continue") continue;
            const box b = text_bounds(p);
            for (float top : {66, 41})
                EXPECT_FALSE(b.l < 146 && 46 < b.r && b.b < top && top - 20 < b.t) << p.text;
        }
        ASSERT_TRUE(last);
        EXPECT_EQ(last->text.rfind(c.last_row_start, 0), 0u) << last->text;
        EXPECT_TRUE(plat::ends_with(last->text, "repair the sim without errors.")) << last->text;
    }
    EXPECT_TRUE(drawn_text(paint, "nnnn...nnnn"));
    const std::string stop =
        "Are you sure you want to stop the repair operation?  Volatra may not be usable until repairs are "
        "complete.  You can run the repair operation on Volatra again later to complete repairs.";
    for (const std::string& question : {stop, choice("/media/maria/Backup disk/Scenery")}) {
        paint.clear();
        click_at(146, 228);
        EXPECT_EQ(wizard_abort_alert(question, "Stop", "the repair.", "Continue", "the repair."), 0);
        const painted* shown = drawn_text(paint, question.substr(0, 20));
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->text, question);
        EXPECT_EQ(shown->x, 20);
        EXPECT_EQ(shown->y, 160);
        EXPECT_EQ(shown->w, 660);
    }
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

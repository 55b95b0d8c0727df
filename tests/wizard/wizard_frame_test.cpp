#include <gtest/gtest.h>

#include <tuple>

#include "core/globals.h"
#include "graphics/text_layout.h"
#include "install/install_state.h"
#include "wizard/wizard_frame.h"
#include "wizard_helpers.h"

namespace {

// Fake screens: each records its calls; a and b link to each other.
std::vector<std::pair<char, int>> calls;
int result_a = 0;
int quits = 0;
int b_screen(int entered, wizard_screen& s);
int c_screen(int entered, wizard_screen&) {
    calls.push_back({'c', entered});
    return 0;
}
int a_screen(int entered, wizard_screen& s) {
    calls.push_back({'a', entered});
    s.next = b_screen;
    s.choice_labels = {"First", "Second"};
    s.choice_targets = {c_screen, nullptr};
    return result_a;
}
int b_screen(int entered, wizard_screen& s) {
    calls.push_back({'b', entered});
    s.back = a_screen;
    s.next = wizard_quit;
    s.on_quit = [] { ++quits; };
    return 0;
}
int null_next_screen(int entered, wizard_screen&) {
    calls.push_back({'n', entered});
    return 1;
}

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        g_wizard = nullptr;
        wizard_frame();  // forgets the screen of an earlier test
        app_done = 0;
        calls.clear();
        result_a = quits = 0;
    }
    void TearDown() override { app_done = 0; }
    wizard_world w;
    paint_recorder paint;
};

TEST_F(Frame, EnteredOnFirstFrameAndAfterComingBack) {
    g_wizard = a_screen;
    wizard_frame();
    wizard_frame();
    wizard_frame(700, 20, true);  // Next
    EXPECT_EQ(g_wizard, b_screen);
    wizard_frame(600, 20, true);  // Back
    wizard_frame();
    EXPECT_EQ(calls, (std::vector<std::pair<char, int>>{{'a', 1}, {'a', 0}, {'a', 0}, {'b', 1}, {'a', 1}}));
}

TEST_F(Frame, ChoiceThenBackThenNextThenAutoAdvance) {
    g_wizard = a_screen;
    result_a = 1;
    wizard_frame(500, 350, true);  // a choice loses to auto-advance
    EXPECT_EQ(g_wizard, b_screen);
    result_a = 0;
    g_wizard = a_screen;
    wizard_frame(500, 350, true);
    EXPECT_EQ(g_wizard, c_screen);
    g_wizard = a_screen;
    wizard_frame(500, 325, true);  // a null target ends the program on the next frame
    EXPECT_EQ(app_done, 0);
    wizard_frame();
    EXPECT_EQ(app_done, 1);

    app_done = 0;
    g_wizard = null_next_screen;  // nonzero with no next: stays
    wizard_frame();
    wizard_frame();
    EXPECT_EQ(g_wizard, null_next_screen);
}

TEST_F(Frame, FinishScreenShowsTheQuitImageInsteadOfNext) {
    g_wizard = b_screen;
    wizard_frame(50, 20, true);  // no Quit button at (30, 12)
    EXPECT_EQ(app_done, 0);
    // Next shows the Quit sprite (texels 1-51) and ends without the quit hook.
    bool quit_sprite_at_next = false;
    for (const painted& c : paint.of("quads"))
        for (const atlas_quad& q : c.quads)
            if (c.tex == 393 && q.x0 == 670 && q.u0 == 1 && q.u1 == 51) quit_sprite_at_next = true;
    EXPECT_TRUE(quit_sprite_at_next);
    wizard_frame(690, 20, true);  // ends on the following frame
    EXPECT_EQ(app_done, 0);
    wizard_frame();
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(quits, 0);
}

TEST_F(Frame, QuitRunsTheScreensHookFirst) {
    g_wizard = a_screen;
    wizard_frame(50, 20, true);
    EXPECT_EQ(app_done, 1);
    EXPECT_EQ(quits, 0);  // a has no hook
    app_done = 0;
    g_wizard = [](int, wizard_screen& s) {
        s.on_quit = [] { ++quits; };
        return 0;
    };
    wizard_frame(50, 20, true);
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(app_done, 1);
}

// The shell's quit request (the window's close) takes the Quit button's road on the next frame:
// the screen's hook first, once.
TEST_F(Frame, ClosingTheWindowQuitsAsTheQuitButtonDoes) {
    g_wizard = [](int, wizard_screen& s) {
        s.on_quit = [] { ++quits; };
        return 0;
    };
    wizard_frame();
    EXPECT_EQ(app_done, 0);
    APP_window_closed();
    APP_window_closed();
    EXPECT_EQ(quits, 0);
    wizard_frame();
    EXPECT_EQ(quits, 1);
    EXPECT_EQ(app_done, 1);
    app_done = 0;
    wizard_frame();  // asked once, done once
    EXPECT_EQ(app_done, 0);
    EXPECT_EQ(quits, 1);
}

TEST_F(Frame, ProgressBarAndServerRows) {
    EXPECT_FLOAT_EQ(progress_bar_width(0), 20.8f);
    EXPECT_FLOAT_EQ(progress_bar_width(-0.5f), 20.8f);
    EXPECT_FLOAT_EQ(progress_bar_width(1), 520);
    EXPECT_FLOAT_EQ(progress_bar_width(2), 520);
    EXPECT_FLOAT_EQ(progress_bar_width(0.5f), 520 * 0.52f);

    stg.server_count = 3;
    server_desc[0] = "a|North";
    server_desc[1] = "South";
    server_desc[2] = "x|y|West";
    g_wizard = [](int, wizard_screen& s) {
        s.show_servers = 1;
        s.progress = 0.5f;
        s.progress_caption = "Installing: x";
        return 0;
    };
    wizard_frame();
    for (auto [text, y] : {std::pair<const char*, float>{"North", 158}, {"South", 118}, {"West", 78}}) {
        const auto* t = drawn_text(paint, text);
        ASSERT_TRUE(t) << text;
        EXPECT_EQ(t->y, y);
        EXPECT_EQ(t->x, 50);
    }
    ASSERT_TRUE(drawn_text(paint, "Installing: x"));
    EXPECT_EQ(drawn_text(paint, "Installing: x")->y, 120);

    // No bar, no caption and no rows without a fraction or servers.
    paint.clear();
    stg.server_count = -1;
    g_wizard = [](int, wizard_screen& s) {
        s.show_servers = 1;
        s.progress_caption = "hidden";
        return 0;
    };
    wizard_frame();
    EXPECT_FALSE(drawn_text(paint, "hidden"));
    EXPECT_FALSE(drawn_text(paint, "North"));
}

// The wrap estimates the next word, so a line may end a few pixels past it: still inside the
// panel, the text is drawn as wrapped. Only a line that would leave the panel (a word without
// breaks) is cut, to the room the panel leaves; the lines round it stay as they are.
TEST_F(Frame, BodyTextIsCutOnlyWhereALineWouldLeaveThePanel) {
    static std::string text;
    g_wizard = [](int, wizard_screen& s) {
        s.text = text;
        return 0;
    };
    // Home folders of every length up to 60 letters (18 made a line end 3 pixels past the wrap):
    // every line stays inside the panel, and the text is drawn as wrapped.
    for (int n = 1; n <= 60; ++n) {
        text = "I need to install approximately 3034 files to repair /home/anna/" + std::string(n, 'a') +
               " Downloads/Volatra 9/.\n\nClick continue to begin repairing Volatra.";
        paint.clear();
        wizard_frame();
        const painted* whole = drawn_text(paint, text);
        ASSERT_TRUE(whole) << n;
        EXPECT_EQ(std::make_tuple(whole->colour, whole->x, whole->y, whole->w, whole->align),
                  std::make_tuple(12, 230.0f, 440.0f, 540.0f, 0));
    }

    text = "The folder '" + std::string(200, 'V') + "' already exists in the dir '/home/anna/Desktop/'.";
    paint.clear();
    wizard_frame();
    std::vector<std::pair<std::string, float>> lines;
    for (const painted& p : paint.of("string"))
        if (p.x == 230) lines.emplace_back(p.text, p.y);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0], std::make_pair(std::string("The folder"), 440.0f));
    EXPECT_EQ(lines[1].second, 430);
    EXPECT_NE(lines[1].first.find("VVV...VVV"), std::string::npos) << lines[1].first;
    EXPECT_GT(OGL_string_width(lines[1].first), 540);
    EXPECT_LE(230 + OGL_string_width(lines[1].first), 790);  // the panel's inside
    EXPECT_EQ(lines[2],
              std::make_pair(std::string("already exists in the dir '/home/anna/Desktop/'."), 420.0f));

    // A home folder of wide letters, which the wrap takes for 6 pixels each: the line that would
    // leave the panel is wrapped again by its drawn width and drawn whole; only a piece that alone is
    // wider than the panel is cut.
    for (int n : {25, 60}) {
        text = "I need to install approximately 3034 files to repair /home/" + std::string(n, 'W') +
               "/Downloads/Volatra 9/.\n\nClick continue to begin repairing Volatra.";
        paint.clear();
        wizard_frame();
        lines.clear();
        for (const painted& p : paint.of("string"))
            if (p.x == 230) lines.emplace_back(p.text, p.y);
        const std::string home = std::string(25, 'W') + (n == 60 ? "..." + std::string(25, 'W') : "") + "/";
        EXPECT_LE(230 + OGL_string_width(home), 790);
        EXPECT_EQ(lines, (std::vector<std::pair<std::string, float>>{
                             {"I need to install approximately 3034 files to repair /home/", 440},
                             {home, 430},
                             {"Downloads/Volatra 9/.", 420},
                             {"Click continue to begin repairing Volatra.", 400}}));
    }
    // A wrap that ends a line between two spaces leaves the second to start the next line: it
    // draws no line of its own.
    text = "Folder " + std::string(46, 'W') + ".  " + std::string(51, 'W') + " end.";
    paint.clear();
    wizard_frame();
    lines.clear();
    for (const painted& p : paint.of("string"))
        if (p.x == 230) lines.emplace_back(p.text, p.y);
    const std::string cut = std::string(25, 'W') + "..." + std::string(25, 'W');
    EXPECT_EQ(lines, (std::vector<std::pair<std::string, float>>{
                         {"Folder " + std::string(46, 'W') + ".", 440}, {cut, 430}, {"end.", 420}}));
}

TEST_F(Frame, EnteringAScreenIsLoggedByName) {
    log_capture log;
    g_wizard = wizard_quit;
    wizard_frame();
    wizard_frame();
    EXPECT_EQ(log.text(), "WIZARD entered wizard_quit\n");
}

}  // namespace

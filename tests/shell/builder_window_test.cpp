// The builder's progress in the window: the bar and its two lines as drawn, the key poll, and a
// typed q stopping the build through the engine's hooks.
#include "shell/builder_window.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/gl_test_context.h"
#include "common/test_helpers.h"
#include "install/builder.h"
#include "platform/plat_window_null.h"
#include "shell_helpers.h"

namespace {

class BuilderWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl_main_screen()); }
    void push(int what, char c) {
        plat::event e;
        e.what = what;
        e.message = static_cast<uint8_t>(c);
        backend->events.push_back(e);
    }
    // The text's ink (pixels darker than mid-grey) in rows y0 to y1, x 0 to 399: how many, the
    // leftmost column and the darkest pixel.
    struct ink {
        int count = 0, left = 9999;
        gl_test_rgba darkest{255, 255, 255, 255};
    };
    static ink ink_in(int y0, int y1) {
        ink k;
        for (int y = y0; y <= y1; ++y)
            for (int x = 0; x < 400; ++x) {
                const gl_test_rgba p = gl_test_pixel(x, y);
                if (p.r + p.g + p.b >= 384) continue;
                ++k.count;
                k.left = std::min(k.left, x);
                if (p.r + p.g + p.b < k.darkest.r + k.darkest.g + k.darkest.b) k.darkest = p;
            }
        return k;
    }
    plat::scoped_null_backend backend;
};

TEST_F(BuilderWindow, ABarAlongTheLowerEdgeWithLineOneAboveLineTwo) {
    struct row {
        const char* line1;
        const char* line2;
        bool upper, lower;  // ink only line 1 has, ink only line 2 has
    } rows[] = {
        {"reg: 0: total files recursed: 500. will compress: 499.", "/master/All/Aircraft/a.acf", true, true},
        {"reg: 0: total files to compress: 501. now doing: 20.", "", true, false},
        {"", "/discs/disk_0/Volatra 9.10r1/All/Aircraft/a.acf.zip", false, true},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(std::string(r.line1) + "|" + r.line2);
        log_capture log;
        gl_test_clear(0, 0, 0, 1);
        builder_window_progress(r.line1, r.line2);
        EXPECT_EQ(log.text(), std::string(r.line1) + "\n  " + r.line2 + "\n");

        EXPECT_EQ(gl_test_pixel(2, 1), (gl_test_rgba{255, 255, 255, 255})) << "bar, left of the text";
        EXPECT_EQ(gl_test_pixel(2, 29), (gl_test_rgba{255, 255, 255, 255})) << "bar's top row";
        EXPECT_EQ(gl_test_pixel(799, 15), (gl_test_rgba{255, 255, 255, 255})) << "bar to the right edge";
        const gl_test_rgba above = gl_test_pixel(400, 30), back = gl_test_pixel(400, 300);
        EXPECT_EQ(above, back) << "the window's background just above the bar";
        EXPECT_FALSE(back == (gl_test_rgba{0, 0, 0, 255})) << "the background is drawn";
        EXPECT_FALSE(back == (gl_test_rgba{255, 255, 255, 255}));

        // Black text (grey where a glyph's edge blends) from the left margin.
        const ink bands[] = {ink_in(17, 26), ink_in(0, 8)};
        const bool wanted[] = {r.upper, r.lower};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(bands[i].count > 0, wanted[i]) << i;
            if (!wanted[i]) continue;
            const gl_test_rgba d = bands[i].darkest;
            EXPECT_LT(std::max({d.r, d.g, d.b}), 100) << i;
            EXPECT_LE(std::max({d.r, d.g, d.b}) - std::min({d.r, d.g, d.b}), 8) << i;
            EXPECT_GE(bands[i].left, 10) << i;
            EXPECT_LE(bands[i].left, 13) << i;
        }
    }
}

TEST_F(BuilderWindow, TheKeyPollFindsALowerCaseQAndDropsEverythingElse) {
    using plat::ev_auto_key, plat::ev_key_down, plat::ev_key_up, plat::ev_mouse_down;
    struct row {
        std::vector<std::pair<int, char>> events;
        int key;
        size_t left;  // events still queued afterwards
    } rows[] = {
        {{}, 0, 0},
        {{{ev_key_down, 'q'}}, 'q', 0},
        {{{ev_auto_key, 'q'}}, 'q', 0},
        {{{ev_key_down, 'Q'}, {ev_key_up, 'q'}, {ev_key_down, 'a'}}, 0, 0},
        {{{ev_mouse_down, 'q'}}, 0, 0},
        {{{ev_mouse_down, 0}, {ev_key_down, 'x'}, {ev_key_down, 'q'}, {ev_key_up, 'q'}}, 'q', 1},
    };
    for (const row& r : rows) {
        backend->events.clear();
        for (const auto& e : r.events) push(e.first, e.second);
        EXPECT_EQ(builder_window_key(), r.key) << r.events.size();
        EXPECT_EQ(backend->events.size(), r.left) << r.events.size();
    }
}

TEST_F(BuilderWindow, WithoutADisplayNothingStartsAndTheTerminalHooksStay) {
    backend->has_display = false;
    const builder_progress_fn progress = g_builder_progress;
    const builder_key_poll_fn poll = g_builder_key_poll;
    const char* argv[] = {"volatra_make_installer"};
    EXPECT_FALSE(builder_open_window(1, argv));
    EXPECT_EQ(g_builder_progress, progress);
    EXPECT_EQ(g_builder_key_poll, poll);
    EXPECT_TRUE(backend->windows.empty());
}

TEST_F(BuilderWindow, AQTypedIntoTheWindowStopsTheBuild) {
    const builder_progress_fn progress = g_builder_progress;
    const builder_key_poll_fn poll = g_builder_key_poll;
    g_builder_progress = builder_window_progress;
    g_builder_key_poll = builder_window_key;
    push(plat::ev_key_down, 'a');
    builder_progress("one", "two");  // goes on
    EXPECT_TRUE(backend->events.empty());
    push(plat::ev_key_down, 'q');
    EXPECT_EXIT(
        {
            g_builder_progress = nullptr;  // a forked child has none of Mesa's threads: no drawing there
            builder_progress("one", "two");
        },
        ::testing::ExitedWithCode(1), "ALERT type 2: You hit Q dumbass!");
    g_builder_progress = progress;
    g_builder_key_poll = poll;
}

}  // namespace

// The preferences screen in sub-window 2, run through the frame loop on a window backend without
// a display: each run gets one click and is closed with Return.
#include "wizard/prefs_screen.h"

#include <gtest/gtest.h>

#include "core/menu_table.h"
#include "install/install_state.h"
#include "net/http_client.h"
#include "wizard_helpers.h"

namespace {

class PrefsScreen : public frame_loop_test {
protected:
    void SetUp() override {
        frame_loop_test::SetUp();
        stg.platform = 1;
        stg.log_actions = 0;
        stg.stream_count = 0;
        http.proxy_host.clear();
        http.proxy_port_text.clear();
        http.proxy_port = 0;
    }
    // Runs the screen: a click at a point of the sub-window (x, y up) when given, then Return.
    void run(float x = -1, float y = -1) {
        paint.clear();
        // Sub-window 2 (600 x 380) sits at (100, 110) in the 800 x 600 window.
        if (x >= 0) click_at(static_cast<int>(100 + x), static_cast<int>(110 + y));
        frame_gap();
        key_return();
        handle_prefs();
        EXPECT_EQ(mnw.curwin, 0);
    }
    bool count_field_drawn() const { return !paint.of("number").empty(); }
};

}  // namespace

TEST(PrefsPort, OnlyAPortReplacesTheOldOne) {
    const struct {
        const char* text;
        unsigned port;
    } cases[] = {{"3128", 3128}, {"1", 1},   {"65535", 65535}, {"65536", 80},
                 {"0", 80},      {"-1", 80}, {"abc", 80},      {"8o", 80}};
    for (const auto& c : cases) EXPECT_EQ(proxy_port_of(c.text, 80), c.port) << c.text;
}

TEST_F(PrefsScreen, TheManualStreamsBoxShowsTheCountAndTicksToOne) {
    run();
    EXPECT_FALSE(count_field_drawn()) << "automatic: no count";
    ASSERT_TRUE(drawn_text(paint, "General Preferences"));
    ASSERT_TRUE(drawn_text(paint, "Proxy (if you are behind a firewall with a Proxy)"));
    ASSERT_TRUE(drawn_text(paint, "Macintosh"));

    run(30, 153);  // ticked while the count is 0: the field pulls it up to 1, and it stays ticked
    EXPECT_EQ(stg.stream_count, 1);
    EXPECT_TRUE(count_field_drawn());

    stg.stream_count = 3;
    run();
    EXPECT_EQ(stg.stream_count, 3);
    ASSERT_TRUE(count_field_drawn());
    EXPECT_EQ(paint.of("number").back().x, 403);
    run(30, 153);  // unticked: automatic
    EXPECT_EQ(stg.stream_count, 0);
}

TEST_F(PrefsScreen, LoggingPlatformAndProxyPort) {
    run(30, 268);
    EXPECT_EQ(stg.log_actions, 1);

    // The shell delivers the list's choice of Linux, its third item.
    select_popup_code = static_cast<int>(310 * 1024.0f + 200);
    popup_menu_select = 2;
    run();
    EXPECT_EQ(stg.platform, 3);
    EXPECT_TRUE(drawn_text(paint, "Linux"));

    http.proxy_port = 8080;
    run();
    EXPECT_EQ(http.proxy_port, 8080u) << "an empty port text changes nothing";
    http.proxy_port_text = "no port";
    run();
    EXPECT_EQ(http.proxy_port, 8080u);
    http.proxy_port_text = "3128";
    run();
    EXPECT_EQ(http.proxy_port, 3128u);
}

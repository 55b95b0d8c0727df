// The vertical scroll bar and the horizontal float slider.
#include <gtest/gtest.h>

#include "core/interface_strings.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "widget_helpers.h"
#include "widgets/widget_kit.h"

namespace {

// A bar at x 100 from y 0 (bottom, max) to 200 (top, min) over 0..100.
class VertSlider : public ::testing::Test {
protected:
    frame_driver driver;
    int value = 50, grabbed = -1;
    std::function<void()> bar = [this] { grabbed = BTN_vert_slider(1, 100, 0, 200, 0, 100, &value); };
    // The thumb sprite's centre (the second of the three sprites after the track).
    float thumb_y() {
        const atlas_quad q = driver.paint.of("quads").at(2).quads.at(0);
        return (q.y0 + q.y1) / 2;
    }
    void TearDown() override {
        mnw.mouse_repeat = 0;
        xtim.real_tick[5] = 0;
        driver.move(-1000, -1000);
        driver.frame(bar);  // lets go of any grab
    }
};

TEST_F(VertSlider, TheThumbRunsFromTopAtMinToBottomAtMax) {
    value = 0;
    driver.frame(bar);
    EXPECT_FLOAT_EQ(thumb_y(), 190);
    value = 100;
    driver.frame(bar);
    EXPECT_FLOAT_EQ(thumb_y(), 9);
    value = 500;  // out of range: held at the bottom and clamped
    driver.frame(bar);
    EXPECT_FLOAT_EQ(thumb_y(), 9);
    EXPECT_EQ(value, 100);
    // The arrows above and below the track and the thumb, 18 wide, from the atlas's slider column.
    const std::vector<painted> q = driver.paint.of("quads");
    ASSERT_EQ(q.size(), 4u);
    const atlas_quad up = q[1].quads[0], thumb = q[2].quads[0], down = q[3].quads[0];
    EXPECT_FLOAT_EQ(up.x0, 91);
    EXPECT_FLOAT_EQ(up.x1, 109);
    EXPECT_FLOAT_EQ(up.y0, 200 + 8 - 11);
    EXPECT_FLOAT_EQ(up.y1, 200 + 8 + 11);
    EXPECT_FLOAT_EQ(up.u0, 83);
    EXPECT_FLOAT_EQ(up.v0, 266);
    EXPECT_FLOAT_EQ(thumb.x0, 91);
    EXPECT_FLOAT_EQ(thumb.y1 - thumb.y0, 24);
    EXPECT_FLOAT_EQ(thumb.v0, 240);
    EXPECT_FLOAT_EQ(down.y0, -10 - 11);
    EXPECT_FLOAT_EQ(down.v1, 238);
}

TEST_F(VertSlider, ArrowsStepByOneAndTheTrackPagesByTen) {
    struct {
        int start;
        float y;
        int expected;
    } cases[] = {
        {0, 210, 0},    // up arrow at min stays
        {50, 210, 49},  // up arrow
        {50, -10, 51},  // down arrow
        {50, 150, 40},  // track above the thumb (at 99.5)
        {50, 60, 60},   // below it
        {95, 5, 100},   // paging clamps
        {50, 225, 50},  // above the arrow
    };
    for (const auto& c : cases) {
        value = c.start;
        driver.press(105, c.y, bar);
        EXPECT_EQ(value, c.expected) << "press at y " << c.y;
        driver.move(-1000, -1000);
        driver.frame(bar);
    }
    value = 50;
    driver.press(112, 210, bar);  // beside the arrow
    EXPECT_EQ(value, 50);
}

TEST_F(VertSlider, AHeldArrowStepsOnEveryRealTimeTick) {
    value = 10;
    driver.press(100, -10, bar);
    EXPECT_EQ(value, 11);
    mnw.mouse_repeat = 1;
    driver.hold(100, -10, bar);
    EXPECT_EQ(value, 11);  // no tick this frame
    xtim.real_tick[5] = 1;
    driver.hold(100, -10, bar);
    driver.hold(100, -10, bar);
    EXPECT_EQ(value, 13);
    xtim.sim_tick[5] = 1, xtim.real_tick[5] = 0;  // simulated time never moves the bar
    driver.hold(100, -10, bar);
    xtim.sim_tick[5] = 0;
    EXPECT_EQ(value, 13);
}

TEST_F(VertSlider, DraggingTheThumbFollowsTheMouseUntilRelease) {
    value = 0;
    driver.press(100, 190, bar);  // on the thumb
    EXPECT_EQ(grabbed, 1);
    EXPECT_EQ(driver.paint.of("quads").at(1).colour, 47);
    driver.hold(300, 189, bar);  // far off the thumb: still dragging
    EXPECT_EQ(grabbed, 1);
    EXPECT_EQ(value, 0);        // y1 - 11 gives min
    driver.hold(300, 11, bar);  // y0 + 11 gives max
    EXPECT_EQ(value, 100);
    driver.hold(300, 100.8f, bar);  // 49.55.. truncated
    EXPECT_EQ(value, 49);
    driver.hold(300, 100, bar);  // halfway between 189 and 11
    EXPECT_EQ(value, 50);
    driver.hold(300, -500, bar);
    EXPECT_EQ(value, 100);
    driver.move(300, 150);
    driver.frame(bar);
    EXPECT_EQ(grabbed, 0);
    EXPECT_EQ(value, 100);
}

TEST_F(VertSlider, AnEmptyRangeDrawsOnlyTheTrack) {
    value = 3;
    driver.press(100, 210, [&] { grabbed = BTN_vert_slider(0, 100, 0, 200, 5, 5, &value); });
    EXPECT_EQ(grabbed, 0);
    EXPECT_EQ(value, 3);
    EXPECT_EQ(driver.paint.of("quads").size(), 1u);
}

TEST(VertSliderDeath, IdsOutsideZeroToThreeAreRefused) {
    for (int id : {4, -1}) {
        frame_driver driver;
        int value = 1;
        EXPECT_EXIT(BTN_vert_slider(id, 100, 0, 200, 0, 10, &value), ::testing::ExitedWithCode(1),
                    "Too many sliders!");
    }
}

class HorzSlider : public ::testing::Test {
protected:
    frame_driver driver;
    float value = 0.5f;
    int result = -1;
    int fill = 3, enabled = 1;
    float min = 0, max = 1;
    std::function<void()> slider = [this] {
        result = BTN_horz_slider(100, 100, 200, fill, min, max, &value, enabled, "Left|Right{ help text",
                                 "Caption");
    };
    // The knob sprite: the one 20 wide.
    const painted* knob() {
        for (const painted& p : driver.paint.calls)
            if (p.kind == "quads" && p.quads.size() == 1 && p.quads[0].x1 - p.quads[0].x0 == 20) return &p;
        return nullptr;
    }
    int fills() {
        int n = 0;
        for (const painted& p : driver.paint.of("quads")) n += p.colour == fill;
        return n;
    }
};

TEST_F(HorzSlider, DraggingNearTheTrackSetsTheValue) {
    driver.hold(150, 115, slider);  // held, without a press on the slider
    EXPECT_EQ(result, 1);
    EXPECT_FLOAT_EQ(value, 0.25f);
    driver.hold(90, 80, slider);
    EXPECT_FLOAT_EQ(value, 0.0f);
    driver.hold(320, 100, slider);
    EXPECT_FLOAT_EQ(value, 1.0f);
    ASSERT_TRUE(knob());
    EXPECT_FLOAT_EQ(knob()->quads[0].x0, 290);
    driver.hold(321, 100, slider);  // too far off
    EXPECT_EQ(result, 0);
    driver.move(200, 100);
    driver.frame(slider);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(stls[1802], "help text");
    const painted* caption = driver.paint.find_text("Caption");
    ASSERT_TRUE(caption);
    EXPECT_FLOAT_EQ(caption->x, 200);
    EXPECT_FLOAT_EQ(caption->y, 110);
    EXPECT_EQ(caption->align, 1);
    EXPECT_EQ(driver.paint.find_text("Left")->x, 92);
    // The track under the whole width; the help only within 7 of its line.
    const std::vector<atlas_quad> track = driver.paint.of("quads").at(0).quads;
    EXPECT_FLOAT_EQ(track.front().x0, 100);
    EXPECT_FLOAT_EQ(track.back().x1, 300);
    stls[1802].clear();
    driver.move(200, 93);
    driver.frame(slider);
    EXPECT_EQ(stls[1802], "help text");
    stls[1802].clear();
    driver.move(200, 92);
    driver.frame(slider);
    EXPECT_EQ(stls[1802], "");
}

TEST_F(HorzSlider, EqualEndsRunReversedFromMinPlusAHundredth) {
    min = max = 1;
    driver.hold(100, 100, slider);
    EXPECT_FLOAT_EQ(value, 1.0f);
    ASSERT_TRUE(knob());
    EXPECT_NEAR(knob()->quads[0].x0 + 10, 300, 1e-3);  // 1 is the right end of 1.01 .. 1
    driver.hold(300, 100, slider);
    EXPECT_FLOAT_EQ(value, 1.01f);
    EXPECT_NEAR(knob()->quads[0].x0 + 10, 100, 1e-3);
}

TEST_F(HorzSlider, FillUnlessColourTwelveOrAtMinAndDisabledOnlyShows) {
    driver.frame(slider);
    EXPECT_EQ(fills(), 1);
    for (const painted& p : driver.paint.of("quads")) {
        if (p.colour != fill) continue;
        EXPECT_FLOAT_EQ(p.quads.front().x0, 100) << "the fill runs from the left end";
        EXPECT_FLOAT_EQ(p.quads.back().x1, 200) << "to the value";
    }
    value = 0;
    driver.frame(slider);
    EXPECT_EQ(fills(), 0);
    value = 0.5f, fill = 12;
    driver.frame(slider);
    EXPECT_EQ(fills(), 0);
    fill = 3, enabled = 0;
    driver.hold(150, 100, slider);
    EXPECT_EQ(result, 0);
    EXPECT_FLOAT_EQ(value, 0.5f);
    EXPECT_FALSE(knob());
    EXPECT_EQ(stls[1802], "help text");
}

TEST(HorzSliderWidth, NoWidthNoSlider) {
    frame_driver driver;
    float value = 0.5f;
    int r = -1;
    driver.hold(100, 100, [&] { r = BTN_horz_slider(100, 100, 0, 3, 0, 1, &value, 1, "", ""); });
    EXPECT_EQ(r, 0);
    EXPECT_FLOAT_EQ(value, 0.5f);
}

}  // namespace

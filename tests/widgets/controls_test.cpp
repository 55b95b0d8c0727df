// Push buttons, check boxes, radio buttons, the number display and boxed text.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/interface_strings.h"
#include "core/window_state.h"
#include "graphics/text_layout.h"
#include "widget_helpers.h"
#include "widgets/widget_kit.h"

namespace {

class Controls : public ::testing::Test {
protected:
    frame_driver driver;
    // The frame's pressed result of a button at (100, 100).
    int press_button(float mx, float my, float w, int lit = 0, int mode = 1, const std::string& label = "") {
        int got = -1;
        driver.press(mx, my, [&] { got = BTN_action(100, 100, w, lit, mode, label, "-"); });
        return got;
    }
    float span_of(const painted& p) {
        float x0 = 1e9f, x1 = -1e9f;
        for (const atlas_quad& q : p.quads) x0 = std::min(x0, q.x0), x1 = std::max(x1, q.x1);
        return x1 - x0;
    }
};

}  // namespace

TEST_F(Controls, ButtonsHitInsideTheirBoxBoundsIncluded) {
    EXPECT_EQ(press_button(110.5f, 100, 0), 1);  // an empty label: 21 wide, the hit box +-10.5
    EXPECT_FLOAT_EQ(span_of(driver.paint.of("quads")[0]), 22);  // the frame rounds to 22
    EXPECT_EQ(press_button(110.6f, 100, 0), 0);
    EXPECT_EQ(press_button(89.5f, 110, 0), 1);
    EXPECT_EQ(press_button(100, 110.5f, 0), 0);
    EXPECT_EQ(press_button(150, 90, 100), 1);
    int got = -1;
    driver.hold(100, 100, [&] { got = BTN_action(100, 100, 50, 0, 1, "", "-"); });
    EXPECT_EQ(got, 0);  // held, not pressed this frame
    mnw.open_menu = 2;
    EXPECT_EQ(press_button(100, 100, 50), 0);
}

TEST_F(Controls, AnAutomaticWidthMeasuresTheWholeLabel) {
    press_button(0, 0, 0, 0, 1, "Go|side{ help");
    EXPECT_FLOAT_EQ(span_of(driver.paint.of("quads")[0]),
                    2 * OGL_round_half_away((21 + OGL_string_width("Go|side{ help")) / 2));
    EXPECT_EQ(driver.paint.texts(), std::vector<std::string>{"Go"});
}

TEST_F(Controls, APressFlashesTheButtonOnceUnlessLitOrModeZero) {
    EXPECT_EQ(press_button(100, 100, 80, 0, 1, "Next|x"), 1);
    EXPECT_EQ(driver.paint.of("swap").size(), 1u);
    auto q = driver.paint.of("quads");
    ASSERT_EQ(q.size(), 2u);
    EXPECT_FLOAT_EQ(q[1].quads[0].v0, 459);  // the pressed look
    EXPECT_EQ(driver.paint.texts(), (std::vector<std::string>{"Next", "Next|x"}));  // the whole label
    EXPECT_EQ(press_button(100, 100, 80, 1, 1, "Next"), 1);
    EXPECT_EQ(driver.paint.of("swap").size(), 0u);
    EXPECT_EQ(press_button(100, 100, 80, 0, 0, "Next"), 1);
    EXPECT_EQ(driver.paint.of("swap").size(), 0u);
}

TEST_F(Controls, LitButtonsAndSideText) {
    driver.frame([] { BTN_action(100, 100, 80, 1, 2, "Lit", "beside"); });
    EXPECT_EQ(driver.paint.of("quads").size(), 2u);
    EXPECT_EQ(driver.paint.find_text("Lit")->colour, 81);  // mode 2 highlights a lit label
    const painted* side = driver.paint.find_text("beside");
    ASSERT_TRUE(side);
    EXPECT_FLOAT_EQ(side->x, 100 + 40 + 10);
    EXPECT_FLOAT_EQ(side->y, 107);
    EXPECT_EQ(side->colour, 45);
    driver.frame([] { BTN_action(100, 100, 80, 1, 1, "Lit", ""); });
    EXPECT_EQ(driver.paint.find_text("Lit")->colour, 43);
    EXPECT_TRUE(driver.paint.find_text(""));  // an empty side text is still drawn
}

TEST_F(Controls, CheckBoxesToggleAndShowTheirHelp) {
    int value = 0, got = -1;
    auto box = [&] { got = BTN_bool(200, 100, &value, "Left|Right{ Help me", 0); };
    driver.press(208, 112, box);
    EXPECT_EQ(got, 1);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(stls[1802], "Help me");
    EXPECT_EQ(driver.paint.of("quads").size(), 1u);  // drawn before the press toggled it
    driver.frame(box);
    auto sprites = driver.paint.of("quads");
    ASSERT_EQ(sprites.size(), 2u);  // off sprite, then on over it
    const atlas_quad& on = sprites[1].quads[0];
    EXPECT_FLOAT_EQ(on.x0, 191);
    EXPECT_FLOAT_EQ(on.y1, 112);
    EXPECT_FLOAT_EQ(on.u0, 197);
    EXPECT_FLOAT_EQ(on.v1, 196);
    EXPECT_EQ(sprites[0].colour, 0);
    driver.press(200, 95.9f, box);
    EXPECT_EQ(got, 0);
    driver.press(191.9f, 100, box);
    EXPECT_EQ(got, 0);
    driver.press(192, 96, box);
    EXPECT_EQ(value, 0);

    const painted* left = driver.paint.find_text("Left");
    const painted* right = driver.paint.find_text("Right");
    ASSERT_TRUE(left && right);
    EXPECT_FLOAT_EQ(left->x, 188);
    EXPECT_EQ(left->align, 2);  // ends at x - 12
    EXPECT_FLOAT_EQ(right->x, 212);
    EXPECT_EQ(right->align, 0);

    stls[1802] = "other";
    mnw.open_menu = 0;
    driver.press(200, 100, box);
    EXPECT_EQ(got, 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(stls[1802], "other");
}

TEST_F(Controls, OtherTypesKeepTheirValueUntilClicked) {
    char c = 5;
    unsigned char b = 200;
    bool flag = false;
    driver.frame([&] {
        BTN_xchr(100, 100, &c, "");
        BTN_xbyt(100, 200, &b, "");
        BTN_xbol(100, 300, &flag, "");
    });
    EXPECT_EQ(c, 5);
    EXPECT_EQ(b, 200);
    driver.press(100, 100, [&] { BTN_xchr(100, 100, &c, ""); });
    EXPECT_EQ(c, 0);
    EXPECT_FLOAT_EQ(driver.paint.of("quads")[0].quads[0].u0, 148 - 9);  // a check box, not a radio
    driver.press(100, 200, [&] { BTN_xbyt(100, 200, &b, ""); });
    EXPECT_EQ(b, 0);
    driver.press(100, 300, [&] { BTN_xbol(100, 300, &flag, ""); });
    EXPECT_TRUE(flag);
}

TEST_F(Controls, RadioButtonsCannotBeSwitchedOff) {
    int value = 3, got = -1;
    auto radios = [&] {
        got = BTN_is_int(100, 100, &value, 3, "|Three");
        BTN_is_int(100, 80, &value, 4, "|Four");
    };
    driver.frame(radios);
    auto q = driver.paint.of("quads");
    ASSERT_EQ(q.size(), 3u);  // off + on for three, off for four
    EXPECT_FLOAT_EQ(q[1].quads[0].u0, 151 - 9);
    EXPECT_FLOAT_EQ(q[1].quads[0].v0, 132 - 9);
    driver.press(100, 100, radios);
    EXPECT_EQ(got, 1);
    EXPECT_EQ(value, 3);
    driver.press(100, 80, radios);
    EXPECT_EQ(value, 4);
}

TEST_F(Controls, NumbersAndBoxedTextSitInFieldFrames) {
    driver.frame([] { BTN_display_number(100, 50, 12.5f, 4, 1, "Speed|kt"); });
    auto q = driver.paint.of("quads")[0].quads;
    EXPECT_FLOAT_EQ((q.front().x0 + q.back().x1) / 2, 119);  // centred at x + 19, 55 wide
    EXPECT_FLOAT_EQ(q.back().x1 - q.front().x0, 56 + 4);
    EXPECT_FLOAT_EQ(driver.paint.find_text("Speed")->x, 88);
    auto n = driver.paint.of("number");
    ASSERT_EQ(n.size(), 1u);
    EXPECT_FLOAT_EQ(n[0].x, 104);
    EXPECT_EQ(n[0].colour, 45);
    EXPECT_EQ(n[0].font, 102);
    EXPECT_FLOAT_EQ(driver.paint.find_text("kt")->x, 100 + 40 + 12);

    // Font 102, three bytes: a frame 37 wide (rounded to 38, plus 4) and the text at x - 14.5.
    driver.frame([] { OGL_boxed_string(100, 50, "L|R", "abc", 102, 45); });
    q = driver.paint.of("quads")[0].quads;
    EXPECT_FLOAT_EQ(q.back().x1 - q.front().x0, 42);
    EXPECT_FLOAT_EQ(driver.paint.find_text("abc")->x, 85.5f);
    EXPECT_FLOAT_EQ(driver.paint.find_text("L")->x, 100 - 18.5f - 8);
    EXPECT_FLOAT_EQ(driver.paint.find_text("R")->x, 100 + 18.5f + 8);
}

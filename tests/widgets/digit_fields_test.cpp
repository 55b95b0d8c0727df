// Number fields edited digit by digit, the character-cell field and the latitude and longitude
// entry built from number fields.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "core/window_state.h"
#include "widget_helpers.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_kit.h"

namespace {

constexpr int vk_left = 37, vk_up = 38, vk_right = 39, vk_down = 40;

// Fields have their row from x 100 at baseline 100; cell i is clicked at 107 + 10 i.
float cell_x(int i) { return 105.0f + 10.0f * static_cast<float>(i); }

class NumberField : public ::testing::Test {
protected:
    frame_driver driver;
    int changed = -1;
    // Clicks cell i of the field, then plays keys into it.
    void type_into(const std::function<void()>& field, int cell, const std::vector<key_event>& keys) {
        driver.click(cell_x(cell), 100, field);
        driver.frame(field, keys);
    }
    float highlight_x() {
        auto f = driver.paint.of("fill");
        return f.empty() ? -1 : f[0].x;
    }
};

TEST_F(NumberField, TypedDigitsReplaceTheShownOnesAndWrapToTheFirstCell) {
    int v = 0;
    auto field = [&] { changed = BTN_int_range(100, 100, &v, 3, 0, 999, ""); };
    type_into(field, 0, typed("123"));
    EXPECT_EQ(v, 123);
    EXPECT_EQ(changed, 1);
    EXPECT_FLOAT_EQ(highlight_x(), 102);  // back on cell 0

    float f = -5.5f;
    auto signed_field = [&] { changed = BTN_flt_range(100, 100, &f, 3, 1, -99.9f, 99.9f, ""); };
    type_into(signed_field, 1, typed("7"));
    EXPECT_FLOAT_EQ(f, -7.5f);
}

TEST_F(NumberField, AFractionalDigitIsReadFromTheRoundedValue) {
    // 45.000 in single precision is below 45 when divided by 0.001: the last digit read 9.
    float minutes = 45.0f;
    auto field = [&] { BTN_flt_range(100, 100, &minutes, 5, 3, 0, 60, ""); };
    type_into(field, 4, typed("5"));
    EXPECT_NEAR(minutes, 45.005f, 1e-5);
    type_into(field, 2, typed("9"));
    EXPECT_NEAR(minutes, 45.905f, 1e-5);
}

TEST_F(NumberField, SignKeysFollowTheRange) {
    struct {
        float min;
        std::string key;
        int start, expected, changed;
    } cases[] = {
        {0, "-", 5, 0, 1},  // made negative, then pulled back to min
        {0, "+", 5, 5, 0},  // no negatives: nothing to do
        {-99, "-", 5, -5, 1},
        {-99, "+", -5, 5, 1},
    };
    for (const auto& c : cases) {
        int v = c.start;
        auto field = [&] { changed = BTN_int_range(100, 100, &v, 2, c.min, 99, ""); };
        type_into(field, 0, typed(c.key));
        EXPECT_EQ(v, c.expected) << c.key << " with min " << c.min;
        EXPECT_EQ(changed, c.changed) << c.key << " with min " << c.min;
    }
}

TEST_F(NumberField, ArrowKeysStepThePlaceValueAndMoveTheCell) {
    int v = 0;
    auto field = [&] { BTN_int_range(100, 100, &v, 3, -999, 999, ""); };
    type_into(field, 1, key_stroke(0, vk_up));
    EXPECT_EQ(v, 10);
    std::vector<key_event> keys = key_stroke(0, vk_left);
    for (const key_event& k : key_stroke(0, vk_left)) keys.push_back(k);
    for (const key_event& k : key_stroke(0, vk_down)) keys.push_back(k);
    driver.frame(field, keys);  // cell 1 -> 0 -> wraps to 2
    EXPECT_EQ(v, 9);
    driver.frame(field, key_stroke(0, vk_right));  // wraps to 0
    EXPECT_FLOAT_EQ(highlight_x(), 102);
}

TEST_F(NumberField, StepArrowsAddTheirCellsPlaceValues) {
    int v = 0;
    auto field = [&] { changed = BTN_int_range(100, 100, &v, 3, -999, 999, ""); };
    driver.press(110, 115, field);  // on the line between cells 0 and 1: both step
    EXPECT_EQ(v, 110);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(mnw.cursor_mode, 13);
    driver.press(105, 90, field);
    EXPECT_EQ(v, 10);
    EXPECT_EQ(mnw.cursor_mode, 14);
    mnw.open_menu = 3;
    driver.press(105, 90, field);
    mnw.open_menu = -1;
    EXPECT_EQ(v, 10);

    double d = 0;
    auto wide = [&] { changed = BTN_dob_range(100, 100, &d, 12, 0, 0, 1e12f, ""); };
    driver.press(cell_x(11), 115, wide);  // only the first ten cells have working arrows
    EXPECT_EQ(changed, 0);
    driver.press(cell_x(9), 115, wide);
    EXPECT_DOUBLE_EQ(d, 100);
}

TEST_F(NumberField, EveryCallClampsAndRoundsWithoutCountingAChange) {
    float f = 1.23456f;
    driver.frame([&] { changed = BTN_flt_range(100, 100, &f, 5, 2, 0, 50, ""); });
    EXPECT_EQ(changed, 0);
    EXPECT_FLOAT_EQ(f, 1.23f);
    f = 70;
    driver.frame([&] { BTN_flt_range(100, 100, &f, 5, 2, 0, 50, ""); });
    EXPECT_FLOAT_EQ(f, 50);

    double d = 0.123456;  // a double is written back only when the user changed it
    driver.frame([&] { changed = BTN_dob_range(100, 100, &d, 5, 2, 0, 50, ""); });
    EXPECT_DOUBLE_EQ(d, 0.123456);
    float g = 9.999f;  // the largest of three digits with one decimal is 99.9
    driver.frame([&] { BTN_fltij(0, 0, &g, 3, 1, 0, ""); });
    EXPECT_FLOAT_EQ(g, 10.0f);
    g = 500;
    driver.frame([&] { BTN_fltij(0, 0, &g, 3, 1, 1, ""); });
    EXPECT_FLOAT_EQ(g, 99.9f);
    // The grid: column 2 ends the row at 225, row 3 puts the baseline at 175.
    g = 5;
    driver.frame([&] { BTN_flt_rangeij(2, 3, &g, 3, 1, 0, 10, ""); });
    const painted shown = driver.paint.of("number").at(0);
    EXPECT_FLOAT_EQ(shown.x, 225 - 30 + 3);
    EXPECT_FLOAT_EQ(shown.y, 175);
    EXPECT_FLOAT_EQ(g, 5);
}

TEST_F(NumberField, IntsKeepEveryDigitAndStayInTheirRange) {
    int big = 16777217;  // 2^24 + 1 has no float
    driver.frame([&] { BTN_int_range(100, 100, &big, 10, 0, 4e9f, ""); });
    EXPECT_EQ(big, 16777217);

    int v = 2000000000;
    auto field = [&] { BTN_int(100, 100, &v, 10, 1, ""); };
    driver.press(cell_x(0), 115, field);  // + 1,000,000,000
    EXPECT_EQ(v, INT_MAX);
    driver.frame(field);
    EXPECT_EQ(v, INT_MAX);
    v = -5;
    driver.frame([&] { BTN_int(100, 100, &v, 2, 0, ""); });
    EXPECT_EQ(v, 0);
}

// A four-cell field at (100, 100).
class CharCells : public ::testing::Test {
protected:
    frame_driver driver;
    char text[9] = "    ####";
    std::function<void()> field = [this] { BTN_chars(100, 100, text, 4, "Code"); };
    void keys(int cell, const std::vector<key_event>& k) {
        driver.click(cell_x(cell), 100, field);
        driver.frame(field, k);
    }
};

TEST_F(CharCells, TypedCharactersAreStoredInCapitalsAndAdvance) {
    keys(0, typed("ab-1"));
    EXPECT_STREQ(text, "AB-1####");
    EXPECT_FLOAT_EQ(driver.paint.of("fill").at(0).x, 102);
    keys(1, typed("+!"));
    EXPECT_STREQ(text, "AB-1####");
    driver.frame(field, typed("z"));
    EXPECT_STREQ(text, "AZ-1####");  // the ignored keys did not advance
}

TEST_F(CharCells, UpAndDownWalkTheCharacterSet) {
    std::memcpy(text, "Z#  ", 4);
    keys(0, key_stroke(0, vk_down));
    EXPECT_EQ(text[0], '-');
    driver.frame(field, key_stroke(0, vk_down));
    EXPECT_EQ(text[0], ' ');
    driver.frame(field, key_stroke(0, vk_down));
    EXPECT_EQ(text[0], '0');
    keys(1, key_stroke(0, vk_up));  // '#' counts as '0'
    EXPECT_EQ(text[1], ' ');
}

TEST_F(CharCells, AClickSelectsAndTheArrowsStep) {
    std::memcpy(text, "ABCD", 4);
    driver.press(125, 100, field);
    EXPECT_STREQ(text, "ABCD####");
    EXPECT_FLOAT_EQ(driver.paint.find_text("C")->x, 122);  // one character a cell
    EXPECT_EQ(driver.paint.find_text("C")->align, 0);
    EXPECT_FLOAT_EQ(driver.paint.find_text("Code")->x, 94);
    EXPECT_FLOAT_EQ(driver.paint.of("fill").at(0).x, 122);
    driver.press(115, 120, field);
    EXPECT_EQ(text[1], 'A');
    EXPECT_EQ(mnw.cursor_mode, 13);
    driver.press(120, 85, field);  // between cells 1 and 2: both step
    EXPECT_STREQ(text, "ABDD####");
    EXPECT_EQ(mnw.cursor_mode, 14);
}

TEST_F(CharCells, ACellLeftByALongerFieldIsWrappedBeforeTheWrite) {
    char one = 'x';
    driver.press(100, 100, [&] { BTN_chars(100, 100, &one, 0, ""); });  // no cells: nothing to write
    EXPECT_EQ(one, 'x');
    EXPECT_TRUE(driver.paint.calls.empty());

    char wide[9] = "        ", narrow[9] = "  ######";
    auto fields = [&] {
        BTN_chars(100, 100, wide, 8, "");
        BTN_chars(100, 200, narrow, 2, "");
    };
    driver.click(105, 200, fields);  // the narrow field
    std::vector<key_event> k = typed("x");
    for (const key_event& e : key_stroke(9, 9)) k.push_back(e);  // Tab: the wide one
    for (int i = 0; i < 6; ++i)
        for (const key_event& e : key_stroke(0, vk_right)) k.push_back(e);
    driver.frame(fields, k);
    EXPECT_STREQ(narrow, "X ######");
}

TEST(LatLon, DegreesAndMinutesRoundTrip) {
    frame_driver driver;
    float x = 100, y = 300, lon = -0.5f, lat = -33.75f;
    int changed = -1;
    auto rows = [&] {
        float cx = x, cy = y;
        changed = enter_lat_lon(&cx, &cy, &lon, &lat);
        EXPECT_FLOAT_EQ(cy, y - 100);
    };
    driver.frame(rows);
    EXPECT_EQ(changed, 0);
    auto n = driver.paint.of("number");
    ASSERT_EQ(n.size(), 4u);
    EXPECT_FLOAT_EQ(n[0].alpha, 0);
    EXPECT_FLOAT_EQ(n[1].alpha, -30);
    EXPECT_FLOAT_EQ(n[2].alpha, -33);
    EXPECT_FLOAT_EQ(n[3].alpha, 45);
    EXPECT_FLOAT_EQ(n[3].y, 200);
    // Degrees at x (the latitude's two digits 10 further right), minutes at x + 50.
    const float xs[] = {100, 150, 110, 150};
    for (int i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(n[static_cast<size_t>(i)].x, xs[i] + 3) << i;
    EXPECT_TRUE(driver.paint.find_text("lon:"));
    EXPECT_TRUE(driver.paint.find_text("lat:"));
    EXPECT_FLOAT_EQ(lon, -0.5f);
    EXPECT_FLOAT_EQ(lat, -33.75f);

    // The last minute cell of the latitude: 45.000 becomes 45.005.
    driver.click(150 + 2 + 45, 200, rows);
    driver.frame(rows, typed("5"));
    EXPECT_EQ(changed, 1);
    EXPECT_NEAR(lat, -(33 + 45.005 / 60), 1e-5);

    lon = 12.5f;
    driver.click(117, 250, rows);  // the longitude's tens of degrees
    driver.frame(rows, typed("00"));
    EXPECT_FLOAT_EQ(lon, 0.5f);
    driver.frame(rows);
    EXPECT_FLOAT_EQ(driver.paint.of("number").at(1).alpha, 30);
}

}  // namespace

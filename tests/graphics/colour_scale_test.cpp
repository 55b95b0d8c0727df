// The palette's colour scale drawn on the test GL context and read back as pixels.
#include <gtest/gtest.h>

#include "common/gl_test_context.h"
#include "core/window_state.h"
#include "graphics/palette.h"

namespace {

class ColourScale : public gl_screen_test {
protected:
    void SetUp() override {
        gl_screen_test::SetUp();
        saved_colr = colr;
    }
    void TearDown() override {
        colr = saved_colr;
        gl_screen_test::TearDown();
    }
    // Pixels with red above 64 in the box [x0, x1) x [y0, y1).
    static int ink(int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += gl_test_pixel(x, y).r > 64 ? 1 : 0;
        return n;
    }
    colr_class saved_colr;
};

}  // namespace

TEST_F(ColourScale, ThePointsClimbThroughTheSpectrumAndTheHighLimitIsWrittenAtTheTop) {
    colr.spectrum_init(1);  // (v, 0, 0): red grows with the index
    // 400 pixels of the 1000 lie below the window: j runs from 400 at y 0 to 996 at y 596.
    mnw.subwin_x = 200;  // the numbers move with the sub-window, the points do not
    colr.spectrum_plotscale(100, -400, 20, 30, 1);
    EXPECT_EQ(colr.spectrum_low, 20);
    EXPECT_EQ(colr.spectrum_high, 30);
    EXPECT_EQ(colr.spectrum_range, 10);
    const struct { int y, red; } column[] = {{0, 102}, {100, 127}, {300, 178}, {596, 254}};
    for (const auto& c : column) EXPECT_NEAR(gl_test_pixel(100, c.y).r, c.red, 2) << "y " << c.y;
    EXPECT_EQ(gl_test_pixel(100, 300).g, 0);
    // Points 4 pixels wide, every 4 pixels: an unbroken column.
    for (int y = 0; y < 596; ++y) ASSERT_GT(gl_test_pixel(100, y).r, 90) << "y " << y;
    EXPECT_EQ(ink(103, 0, 300, 580), 0);
    // "030.0" in white at (304 + 200, 596): ink right of the column's top only.
    EXPECT_GT(ink(300, 585, 360, 600), 20);
}

TEST_F(ColourScale, AnEmptyRangeShowsTheFirstColourAllTheWayUp) {
    colr.spectrum_init(0);
    colr.spectrum_plotscale(300, 0, 5, 5, 0);  // low equal to high: no division by zero
    EXPECT_EQ(colr.spectrum_range, 0);
    for (int y : {0, 250, 596}) {
        const gl_test_rgba p = gl_test_pixel(300, y);
        EXPECT_EQ(p.r, 255) << y;
        EXPECT_EQ(p.g, 0) << y;
    }
}

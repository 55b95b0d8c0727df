// Bitmap text drawn from the real interface atlas on the test GL context, read back as pixels.
#include "graphics/bitmap_text.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <vector>

#include "common/gl_test_context.h"
#include "core/window_state.h"
#include "graphics/gl_state_cache.h"
#include "graphics/palette.h"
#include "graphics/screen_2d.h"
#include "graphics/text_layout.h"
#include "graphics/texture_manager.h"

namespace {

class Text : public gl_screen_test {
protected:
    void SetUp() override {
        gl_screen_test::SetUp();
        mnw.subwin_x = mnw.subwin_y = 0;
    }

    // Lit pixels in [x0, x1) x [y0, y1), and lit pixels anywhere else on the screen.
    struct ink {
        int inside = 0, outside = 0;
    };
    static ink count_ink(int x0, int y0, int x1, int y1) {
        ink n;
        std::vector<unsigned char> px(gl_test_width * gl_test_height * 4);
        glReadPixels(0, 0, gl_test_width, gl_test_height, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        for (int y = 0; y < gl_test_height; ++y)
            for (int x = 0; x < gl_test_width; ++x) {
                if (px[(y * gl_test_width + x) * 4] < 64) continue;
                (x >= x0 && x < x1 && y >= y0 && y < y1 ? n.inside : n.outside)++;
            }
        return n;
    }
    // Which columns of [x0, x1) and which rows of [y0, y1) hold lit pixels.
    struct ink_lines {
        std::vector<bool> columns, rows;
    };
    static ink_lines lit_lines(int x0, int y0, int x1, int y1) {
        ink_lines l{std::vector<bool>(x1 - x0), std::vector<bool>(y1 - y0)};
        std::vector<unsigned char> px((x1 - x0) * (y1 - y0) * 4);
        glReadPixels(x0, y0, x1 - x0, y1 - y0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        for (int y = 0; y < y1 - y0; ++y)
            for (int x = 0; x < x1 - x0; ++x)
                if (px[(y * (x1 - x0) + x) * 4] >= 64) l.columns[x] = l.rows[y] = true;
        return l;
    }
    // Runs of consecutive true entries.
    static std::vector<int> runs(const std::vector<bool>& v) {
        std::vector<int> out;
        for (size_t i = 0; i < v.size(); ++i)
            if (v[i]) {
                if (i == 0 || !v[i - 1]) out.push_back(0);
                ++out.back();
            }
        return out;
    }
};

}  // namespace

TEST_F(Text, EveryGlyphStandsApartAndWrappedLinesKeepAFreeRow) {
    // Each glyph of "9.10r1" a run of lit columns of its own: the points show.
    OGL_string(0, 100, 100, "9.10r1", 9999, 100, 0);
    EXPECT_EQ(runs(lit_lines(100, 90, 160, 112).columns).size(), 6u);
    // Descenders over capitals and ascenders, 10 pixels apart: each line a band of lit rows of
    // its own, with a free row between.
    gl_test_clear(0, 0, 0, 1);
    const std::string text = "gypsy jig Qj\nHelp Blk\nquay pygmy\nTall Hd|";
    EXPECT_EQ(OGL_string(0, 100, 300, text, 200, 100, 0), 260);
    const std::vector<int> bands = runs(lit_lines(100, 240, 300, 320).rows);
    ASSERT_EQ(bands.size(), 4u);
    for (int h : bands) EXPECT_LE(h, 9);
}

TEST_F(Text, StringInkStaysInsideItsAdvancesAndCells) {
    // "MW%" at (100, 100): Y = 98, cells from y 94, ink from the row above, 32 wide.
    EXPECT_EQ(OGL_string(0, 100, 100, "MW%", 9999, 100, 0), 100);
    const auto n = count_ink(100, 95, 132, 109);
    EXPECT_GT(n.inside, 40);
    EXPECT_EQ(n.outside, 0);
    EXPECT_EQ(num_units, 1);
    // Slot 12 is black: on white the darkest pixel is black.
    gl_test_clear(1, 1, 1, 1);
    OGL_string(12, 100, 100, "MW%", 9999, 100, 0);
    int darkest = 255;
    for (int x = 100; x < 132; ++x)
        for (int y = 95; y < 109; ++y) darkest = std::min<int>(darkest, gl_test_pixel(x, y).r);
    EXPECT_LT(darkest, 40);
}

TEST_F(Text, SubWindowOffsetWrapAndReturnedY) {
    mnw.subwin_x = 200;
    mnw.subwin_y = 150;
    EXPECT_EQ(OGL_string(0, 10, 20, "ab", 9999, 100, 0), 20);
    auto n = count_ink(210, 163, 223, 178);
    EXPECT_GT(n.inside, 0);
    EXPECT_EQ(n.outside, 0);
    gl_test_clear(0, 0, 0, 1);
    // Wrapped: two lines, the second 10 lower; the result is 20 below the start.
    EXPECT_EQ(OGL_string(0, 10, 20, "aaaa bbbb", 40, 100, 0), 0);
    n = count_ink(210, 153, 238, 178);  // "bbbb" advances 28
    EXPECT_GT(n.inside, 0);
    EXPECT_EQ(n.outside, 0);
    EXPECT_EQ(count_ink(210, 153, 238, 163).inside > 0, true);  // the second line
}

TEST_F(Text, FixedFontNumberFillsOneCellPerDigit) {
    // 12345.6 in 7 positions with 1 decimal reads 012,345.6: digits at X + 10 i.
    OGL_number(0, 100, 100, 12345.6f, 7, 1, 102);
    for (int i = 0; i < 7; ++i) {
        int lit = 0;
        for (int x = 100 + 10 * i; x < 106 + 10 * i; ++x)
            for (int y = 95; y < 109; ++y) lit += gl_test_pixel(x, y).r > 64;
        EXPECT_GT(lit, 3) << i;
    }
    EXPECT_EQ(count_ink(100, 95, 170, 109).outside, 0);
    // Infinity comes back (a dash per digit).
    gl_test_clear(0, 0, 0, 1);
    OGL_number(0, 100, 100, std::numeric_limits<float>::infinity(), 4, 0, 100);
    const auto n = count_ink(100, 95, 140, 109);
    EXPECT_GT(n.inside, 0);
    EXPECT_EQ(n.outside, 0);  // left-aligned at x
}

TEST_F(Text, GreyStringDrawsItsBoxEvenWhenEmpty) {
    gl_test_clear(1, 1, 1, 1);
    OGL_gray_string(0, 400, 300, "");
    // A 4 x 10 box at half alpha, centred on x, from 2 below y.
    for (int y = 296; y < 310; ++y)
        for (int x = 396; x < 404; ++x) {
            const bool box = x >= 398 && x < 402 && y >= 298 && y < 308;
            EXPECT_EQ(gl_test_pixel(x, y).r < 200, box) << x << "," << y;
        }
}

TEST(TextDeath, UnknownFontIsFatal) {
    EXPECT_EXIT(
        {
            gl_test_context();
            OGL_string(0, 0, 0, "x", 9999, 7, 0);
        },
        ::testing::ExitedWithCode(1), "String proc with bad charset!");
}

// The sheet font's ref lies past the table and nothing loads it: its text binds no texture and
// draws without a GL error, also for codes past 127.
TEST_F(Text, TheSheetFontBindsNoTextureForItsUnloadedRef) {
    tman.bind_ref(392, 0, 0);
    GLint bound = -1;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    ASSERT_NE(bound, 0);
    OGL_string(0, 100, 300, "A\xC8", 9999, font_sheet, 0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    tman.bind_ref(392, 0, 0);
    tman.bind_ref(100000, 0, 0);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
}

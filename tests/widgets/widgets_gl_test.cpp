// The widgets drawn by the GL painter from the real built-in images, read back as pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "common/gl_test_context.h"
#include "core/mnw.h"
#include "graphics/builtin_images.h"
#include "graphics/ogl_prims.h"
#include "widgets/butn.h"
#include "widgets/focus_ring.h"

namespace {

std::vector<unsigned char> screen() {
    std::vector<unsigned char> px(gl_test_width * gl_test_height * 4);
    glReadPixels(0, 0, gl_test_width, gl_test_height, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    return px;
}

// Pixels in [x0, x1) x [y0, y1) that are not the black background.
int lit(const std::vector<unsigned char>& px, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            const unsigned char* p = &px[(y * gl_test_width + x) * 4];
            n += p[0] + p[1] + p[2] > 24;
        }
    return n;
}

class WidgetsGl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(gl_test_context());
        OGL_load_builtin_images();
    }
    void SetUp() override {
        saved = mnw;
        mnw.curwin = 0;
        mnw.subwin_x = mnw.subwin_y = 0;
        mnw.subwin_dx = gl_test_width, mnw.subwin_dy = gl_test_height;
        mnw.open_menu = -1;
        mnw.mouse_x = mnw.mouse_y = -100;
        mnw.mouse_down = mnw.mouse_held = 0;
        BTN_unfocus_any();
        BTN_begin_focus_ring();
        gl_test_clear(0, 0, 0, 1);
    }
    void TearDown() override {
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        mnw = saved;
    }
    mnw_struct saved;
};

}  // namespace

TEST_F(WidgetsGl, ButtonsAndCheckBoxesShowTheirArtWhereTheyStand) {
    BTN_action(200, 300, 100, 0, 1, "OK", "-");
    int on = 1, off = 0;
    BTN_bool(400, 300, &on, "", 0);
    BTN_bool(500, 300, &off, "", 0);
    auto px = screen();
    EXPECT_GT(lit(px, 151, 288, 249, 312), 98 * 24 / 2);  // the button's face
    EXPECT_EQ(lit(px, 100, 250, 148, 350) + lit(px, 252, 250, 300, 350), 0);
    EXPECT_GT(lit(px, 391, 294, 409, 312), 0);
    EXPECT_EQ(lit(px, 380, 270, 389, 330) + lit(px, 411, 270, 420, 330), 0);
    // The "on" sprite changes the box.
    int differ = 0;
    for (int y = 294; y < 312; ++y)
        for (int x = 0; x < 18; ++x)
            for (int c = 0; c < 3; ++c)
                differ += px[(y * gl_test_width + 391 + x) * 4 + c] != px[(y * gl_test_width + 491 + x) * 4 + c];
    EXPECT_GT(differ, 10);
}

TEST_F(WidgetsGl, TheFocusedFieldFillsItsSelectionAndClipsItsText) {
    std::string spaces = "      ";  // the space glyph draws nothing: the fill shows through
    BTN_enterstring(300, 200, &spaces, 50, "", 120, 1);
    auto px = screen();
    ogl_rgba want = OGL_slot_colour(8, 1);
    const unsigned char* p = &px[(201 * gl_test_width + 305) * 4];
    EXPECT_NEAR(p[0], want.r * 255, 2);
    EXPECT_NEAR(p[1], want.g * 255, 2);
    EXPECT_NEAR(p[2], want.b * 255, 2);

    // Text far wider than the box leaves the pixels right of the clip as an empty field does.
    std::string empty, wide(80, 'W');
    gl_test_clear(0, 0, 0, 1);
    BTN_enterstring(100, 400, &empty, 200, "", 150, 0);
    auto without = screen();
    gl_test_clear(0, 0, 0, 1);
    BTN_enterstring(100, 400, &wide, 200, "", 150, 0);
    auto with = screen();
    auto differ = [&](int x0, int x1) {
        int n = 0;
        for (int y = 390; y < 420; ++y)
            for (int x = x0; x < x1; ++x) n += with[(y * gl_test_width + x) * 4] != without[(y * gl_test_width + x) * 4];
        return n;
    };
    EXPECT_GT(differ(99, 251), 100);
    EXPECT_EQ(differ(251, 400), 0);
}

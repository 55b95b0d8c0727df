// The widgets drawn by the GL painter from the real built-in images, read back as pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include <unistd.h>

#include "common/gl_test_context.h"
#include "common/test_helpers.h"
#include "core/window_state.h"
#include "graphics/builtin_images.h"
#include "graphics/primitives.h"
#include "graphics/text_layout.h"
#include "widget_helpers.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_kit.h"

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

gl_test_rgba pixel(const std::vector<unsigned char>& px, int x, int y) {
    const unsigned char* p = &px[(y * gl_test_width + x) * 4];
    return {p[0], p[1], p[2], p[3]};
}

// How far the text drawn with OGL_string at (x, y) stands out from what lies behind it: the
// highest contrast, row by row through its glyphs' ink rows, between a pixel of the text and the
// pixel two left of its start in that row.
double text_contrast(const std::vector<unsigned char>& px, float x, float y, const std::string& text) {
    const int X = static_cast<int>(OGL_round_half_away(x)), Y = static_cast<int>(OGL_round_half_away(y - 2));
    double best = 1;
    for (int row = Y - 1; row <= Y + 7; ++row)
        for (int col = X; col < X + static_cast<int>(OGL_string_width(text)); ++col)
            best = std::max(best, gl_test_contrast(pixel(px, col, row), pixel(px, X - 2, row)));
    return best;
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

// The open dialog's folder path (a staircase from the band of its style-15 panel down into the
// body), the vehicle name and the flight comment (on the bands of the preview panels) read as
// text does.
TEST_F(WidgetsGl, TheOpenDialogsPathVehicleNameAndCommentStandOutFromTheirPanels) {
    temp_folder tree;
    std::string block(2092, '\0');
    block.replace(1552, 10, "Twin Astir");
    const std::string header{'a', 0, 0, 3, static_cast<char>(132)};  // version 900
    write_file(tree / "Airfield/Gliders/Twin Astir.acf", header + block);
    write_file(tree / "Airfield/Gliders/first.fdr", "A\n1 version\nCOMM,Ridge soaring\n");
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(tree.path().c_str()), 0);
    modal_driver shell;
    set_widget_painter(nullptr);  // drawn for real
    float ox = 0, oy = 0;
    modal_frame look;
    look.then = [&] { ox = mnw.subwin_x, oy = mnw.subwin_y; };
    struct {
        int type;
        std::string path;
        float x, y;
        std::string text;
    } previews[] = {{3, "Airfield/Gliders/Twin Astir.acf", 341, 405, "Twin Astir"},
                    {8, "Airfield/Gliders/first.fdr", 341, 270, "Ridge soaring"}};
    for (auto& p : previews) {
        gl_test_clear(0, 0, 0, 1);
        shell.play({look});
        EXPECT_EQ(BTN_opensave(998, p.type, &p.path), 0);
        auto px = screen();
        EXPECT_GE(text_contrast(px, ox + 30, oy + 405, "Airfield"), 4.5) << p.type;
        EXPECT_GE(text_contrast(px, ox + 40, oy + 395, "Gliders"), 4.5) << p.type;
        EXPECT_GE(text_contrast(px, ox + p.x, oy + p.y, p.text), 4.5) << p.text;
    }
    ASSERT_EQ(chdir(cwd), 0);
}

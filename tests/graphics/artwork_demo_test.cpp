// The wizard's frame drawn from the four built-in images on the test GL context and saved through
// the screenshot routine as build/artwork_demo/wizard_frame.png, for looking at; the test checks
// a few of its pixels.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/gl_test_context.h"
#include "common/test_helpers.h"
#include "core/window_state.h"
#include "graphics/atlas_layout.h"
#include "graphics/background_and_screenshot.h"
#include "graphics/bitmap_text.h"
#include "graphics/builtin_images.h"
#include "graphics/primitives.h"
#include "widgets/widget_kit.h"

namespace {

// A piece [sx, sx + w] x [sy, sy + h] of the elements image at (x, y), 1:1.
void element(float x, float y, float sx, float sy, float w, float h, float alpha) {
    OGL_2dquad(393, 0, alpha, x, y, sx / 1024, sy / 128, x, y + h, sx / 1024, (sy + h) / 128, x + w, y + h,
               (sx + w) / 1024, (sy + h) / 128, x + w, y, (sx + w) / 1024, sy / 128, 1, 5);
}

// The world map at (248, 150): the base picture, then the lit tiles, selected ones opaque.
void world_map() {
    const float x = 248, y = 150;
    OGL_2dquad(394, 0, 1.0f, x, y, 0, 0, x, y + 252, 0, 252 / 512.0f, x + 504, y + 252, 504 / 512.0f,
               252 / 512.0f, x + 504, y, 504 / 512.0f, 0, 1, 5);
    for (int c = 0; c < 36; ++c)
        for (int r = 4; r < 14; ++r) {
            const float s0 = 14 * c / 512.0f, s1 = (14 * c + 14) / 512.0f;
            const float t0 = (map_lit_row + 14 * r) / 512.0f, t1 = (map_lit_row + 14 * r + 14) / 512.0f;
            const float tx = x + 14 * c, ty = y + 14 * r;
            const float alpha = (c >= 17 && c <= 22 && r >= 9 && r <= 12) ? 1.0f : 0.5f;
            OGL_2dquad(394, 49, alpha, tx, ty, s0, t0, tx, ty + 14, s0, t1, tx + 14, ty + 14, s1, t1, tx + 14, ty, s1,
                       t0, 1, 5);
        }
}

}  // namespace

TEST(ArtworkDemo, WizardFrameFromTheBuiltInImages) {
    ASSERT_TRUE(gl_test_context());
    OGL_load_builtin_images();
    const mnw_struct saved = mnw;
    mnw.subwin_x = mnw.subwin_y = 0;

    OGL_2dquad(395, 0, 1.0f, 0, 0, 0, 0, 0, 600, 0, 600 / 1024.0f, 800, 600, 800 / 1024.0f, 600 / 1024.0f, 800, 0,
               800 / 1024.0f, 0, 1, 4);
    BTN_frame2(20, 10, 50, 190, 453, "");
    BTN_frame2(20, 210, 50, 580, 453, "");
    const char* steps[] = {"Choose where to install", "Accept the licence", "Pick the scenery", "Install"};
    for (int i = 0; i < 4; ++i) OGL_string(i == 2 ? 65 : 45, 30, 480 - 20.0f * i, steps[i], 180, 100, 0);
    OGL_string(12, 500, 480, "Pick the scenery to install", 540, 100, 1);
    OGL_string(12, 230, 440,
               "Drag a box over the tiles of global scenery you want, or click one to select or deselect it. "
               "Highlighted tiles are installed.\nInstalling all of them needs 54.2 GB; 120.5 GB are free.",
               540, 100, 0);
    world_map();
    element(470, 120, 255, elements_normal_row, 114, 22, 1.0f);   // select all
    element(620, 120, 374, elements_normal_row, 132, 22, 1.0f);   // select none
    element(30, 12, 1, elements_normal_row, 50, 22, 1.0f);        // quit
    element(560, 12, 54, elements_normal_row, 89, 22, 0.5f);      // back, disabled
    element(670, 12, 150, elements_hover_row, 100, 22, 1.0f);     // next, under the mouse
    OGL_string(45, 232, 100, "Scenery to install:", 9999, 100, 0);
    OGL_number(45, 340, 100, 54234.5f, 8, 1, 100);

    const std::string dir = VOLATRA_BINARY_DIR "/artwork_demo";
    remove_tree(dir);
    write_file(dir + "/.keep", "");
    char old_cwd[4096];
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    OGL_screenshot(1);
    std::string shot;
    for (int n = 0; n < 100 && shot.empty(); ++n)
        if (path_exists(dir + "/screenshot_" + std::to_string(n) + ".png")) shot = dir + "/screenshot_" + std::to_string(n) + ".png";
    ASSERT_EQ(chdir(old_cwd), 0);
    ASSERT_FALSE(shot.empty());
    ASSERT_EQ(std::rename(shot.c_str(), (dir + "/wizard_frame.png").c_str()), 0);

    // The title band's white letters, the light panels with black text on them, a button's face.
    int white = 0, black = 0;
    for (int x = 20; x < 300; ++x)
        for (int y = 530; y < 570; ++y) white += gl_test_pixel(x, y).r > 230;
    for (int x = 230; x < 770; ++x)
        for (int y = 420; y < 490; ++y) black += gl_test_pixel(x, y).g < 60;
    EXPECT_GT(white, 100);
    EXPECT_GT(black, 200);
    EXPECT_GT(gl_test_pixel(100, 300).g, 235);  // step-list panel
    EXPECT_GT(gl_test_pixel(700, 60).g, 235);   // screen panel, below the map
    // Selected tiles show the lit picture at its own alpha over the base, the others at half of it.
    const builtin_image& map = builtin_images[2];
    for (int c : {16, 18, 22}) {
        const int u = 14 * c + 7, v = 14 * 10 + 7;
        const unsigned char* base = map.pixels + (v * 504 + u) * 4;
        const unsigned char* lit = map.pixels + ((map_lit_row + v) * 504 + u) * 4;
        const float a = lit[3] / 255.0f * (c == 16 ? 0.5f : 1.0f);
        const gl_test_rgba p = gl_test_pixel(248 + u, 150 + v);
        EXPECT_NEAR(p.r, lit[0] * a + base[0] * (1 - a), 3) << c;
        EXPECT_NEAR(p.b, lit[2] * a + base[2] * (1 - a), 3) << c;
    }
    const gl_test_rgba next = gl_test_pixel(680, 20);
    EXPECT_GT(next.b, next.r + 60);  // CONTINUE is blue
    mnw = saved;
}

#include "graphics/background_and_screenshot.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "common/gl_test_context.h"
#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/window_state.h"
#include "graphics/image_loader.h"
#include "graphics/palette.h"
#include "graphics/png_codec.h"
#include "graphics/texture_manager.h"

namespace {
// The test's working folder for the life of the object.
class in_folder {
public:
    explicit in_folder(const std::string& dir) : old_(getcwd(nullptr, 0)) { EXPECT_EQ(chdir(dir.c_str()), 0); }
    ~in_folder() {
        EXPECT_EQ(chdir(old_), 0);
        std::free(old_);
    }

private:
    char* old_;
};

// A picture whose red is x / 8 and green y / 8.
void write_picture(const std::string& path, int w, int h) {
    std::vector<unsigned char> px(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            unsigned char* p = &px[(static_cast<size_t>(y) * w + x) * 4];
            p[0] = static_cast<unsigned char>(x / 8), p[1] = static_cast<unsigned char>(y / 8), p[2] = 255, p[3] = 255;
        }
    write_file(path, "");
    ASSERT_EQ(TEX_save_png(path, {GL_RGBA, w, h, 0, 0}, px.data()), 1);
}

gl_test_rgba texel(int ref, int x, int y) {
    std::vector<gl_test_rgba> px(512 * 512);
    glBindTexture(GL_TEXTURE_2D, ref);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
    tman.reset_bind();
    return px[y * 512 + x];
}
}  // namespace

TEST(OglBack, Placement) {
    back_place p = OGL_back_placement(1024, 768, 1280, 1024, -1, 0);
    EXPECT_EQ((std::vector<float>{p.left, p.right, p.bottom, p.top}), (std::vector<float>{0, 1024, 256, 1024}));
    EXPECT_TRUE(p.fill);
    p = OGL_back_placement(2048, 1200, 1600, 1000, -1, 0);
    EXPECT_EQ((std::vector<float>{p.left, p.right, p.bottom, p.top}), (std::vector<float>{-448, 1600, 0, 1200}));
    EXPECT_FALSE(p.fill);
    p = OGL_back_placement(2048, 2048, 1600, 1000, -1, 0);
    EXPECT_EQ((std::vector<float>{p.left, p.right, p.bottom, p.top}), (std::vector<float>{-448, 1600, -536, 1512}));
    p = OGL_back_placement(2048, 2048, 1600, 1000, 0, 288);
    EXPECT_EQ((std::vector<float>{p.left, p.right, p.bottom, p.top}), (std::vector<float>{288, 2336, 0, 2048}));
}

TEST(OglBack, ScreenshotNamesSkipTakenOnes) {
    temp_folder dir;
    in_folder here(dir.path());
    dir.write("screenshot_0.png", "x");
    dir.write("screenshot_1.png", "x");
    int shot = -1;
    EXPECT_EQ(OGL_next_screenshot_name(&shot), "screenshot_2.png");
    EXPECT_EQ(OGL_next_screenshot_name(&shot), "screenshot_3.png");
}

TEST(OglBack, ScreenshotKeepsTheWindowsTopAtTheFilesTop) {
    ASSERT_TRUE(gl_test_context());
    temp_folder dir;
    in_folder here(dir.path());
    gl_test_clear(0, 0, 1, 1);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, gl_test_height / 2, gl_test_width, gl_test_height / 2);
    gl_test_clear(1, 0, 0, 1);
    glDisable(GL_SCISSOR_TEST);
    OGL_screenshot(1);
    unsigned char* data = nullptr;
    TEX_image_desc d{};
    ASSERT_EQ(TEX_load_any("screenshot_0.png", data, GL_RGB, 0, 0, d, 1 << 22), 1);
    EXPECT_EQ(d.width, gl_test_width);
    EXPECT_EQ(d.height, gl_test_height);
    EXPECT_EQ(data[0], 0);    // bottom row: blue
    EXPECT_EQ(data[2], 255);
    EXPECT_EQ(data[(gl_test_height - 1) * gl_test_width * 3], 255);  // top row: red
    std::free(data);
}

TEST(OglBack, BackgroundColourFillsTheWholeWindowFromASubWindow) {
    ASSERT_TRUE(gl_test_context());
    colr.assign(34, 0, 1, 0);
    gl_test_clear(0, 0, 0, 1);
    mnw.subwin_x = 200, mnw.subwin_y = 100;
    OGL_plot_back_col();
    mnw.subwin_x = mnw.subwin_y = 0;
    EXPECT_EQ(gl_test_pixel(0, 0), (gl_test_rgba{0, 255, 0, 255}));
    EXPECT_EQ(gl_test_pixel(gl_test_width - 1, gl_test_height - 1), (gl_test_rgba{0, 255, 0, 255}));
}

TEST(OglBack, PictureTiles) {
    ASSERT_TRUE(gl_test_context());
    temp_folder dir;
    in_folder here(dir.path());
    write_picture("Resources/bitmaps/intro_ZYB.png", 1500, 900);
    mnw.curwin = -1;
    OGL_make_back_tex();
    EXPECT_EQ(back_dx, 1500);
    EXPECT_EQ(back_dy, 900);
    for (int ref = 427; ref <= 442; ++ref) EXPECT_EQ(tman.ref_dat[ref].tex, ref);
    EXPECT_EQ(texel(428, 0, 0), (gl_test_rgba{64, 0, 255, 255}));      // picture (512, 0)
    EXPECT_EQ(texel(432, 10, 300), (gl_test_rgba{65, 101, 255, 255}));  // picture (522, 812)
    EXPECT_EQ(texel(429, 475, 0).a, 255);                               // picture (1499, 0)
    EXPECT_EQ(texel(429, 476, 0).a, 0);                                 // beyond it
    EXPECT_EQ(texel(430, 0, 0).a, 0);
    EXPECT_EQ(texel(436, 0, 0).a, 0);

    // Wider than the window: its right part shows, at its own size.
    gl_test_clear(0, 0, 0, 1);
    OGL_plot_back_tex();
    EXPECT_EQ(gl_test_pixel(0, 0), (gl_test_rgba{87, 0, 255, 255}));    // picture (700, 0)
    EXPECT_EQ(gl_test_pixel(90, 520), (gl_test_rgba{98, 65, 255, 255}));  // picture (790, 520)
    // In a window: from the layout's left edge and the bottom.
    mnw.curwin = 0;
    mnw.layout_dx = 0;
    OGL_plot_back_tex();
    EXPECT_EQ(gl_test_pixel(5, 5), (gl_test_rgba{0, 0, 255, 255}));
    EXPECT_EQ(gl_test_pixel(600, 10), (gl_test_rgba{75, 1, 255, 255}));
}

TEST(OglBack, APictureWiderThanTheTilesIsRefused) {
    ASSERT_TRUE(gl_test_context());
    temp_folder dir;
    in_folder here(dir.path());
    write_picture("Resources/bitmaps/intro_ZYB.png", 2100, 4);
    mnw.curwin = -1;
    EXPECT_EXIT(OGL_make_back_tex(), testing::ExitedWithCode(1), "image too large for its buffer(.|\n)*PING-FILE");
    write_picture("Resources/bitmaps/intro_ZYB.png", 4, 2100);
    EXPECT_EXIT(OGL_make_back_tex(), testing::ExitedWithCode(1), "image too large for its buffer(.|\n)*PING-FILE");
    EXPECT_EXIT(
        {
            std::remove("Resources/bitmaps/intro_ZYB.png");
            OGL_make_back_tex();
        },
        testing::ExitedWithCode(1), "Trying to load a texture that you do not have!.*oglp line 991");
    mnw.curwin = 0;
}

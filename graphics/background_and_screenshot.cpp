// Background colour and picture, and the screenshot (graphics layer).
#include "graphics/background_and_screenshot.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "core/globals.h"
#include "core/strings.h"
#include "core/window_state.h"
#include "files/file_operations.h"
#include "graphics/gl_state_cache.h"
#include "graphics/image_loader.h"
#include "graphics/png_codec.h"
#include "graphics/primitives.h"
#include "graphics/render_state.h"
#include "graphics/scratch_buffers.h"
#include "graphics/texture_manager.h"

int back_dx = 0, back_dy = 0;

namespace {
const char back_file[] = "Resources/bitmaps/intro_ZYB.png";
constexpr int tile = 512;
constexpr int first_tile_ref = 427;
constexpr int picture_row = 2048;  // the load pads every picture row to this many pixels
}  // namespace

void OGL_plot_back_col() {
    // The primitive adds the sub-window origin back: the quad covers the whole window.
    OGL_fillrect(34, 1.0f, -mnw.subwin_x, -mnw.subwin_y, static_cast<float>(mnw.x_res),
                 static_cast<float>(mnw.y_res));
}

void OGL_make_back_tex() {
    if (mnw.curwin != -1) return;
    std::memset(scratch_array, 0, scratch_bytes);
    unsigned char* data = scratch_array;
    TEX_image_desc desc{};
    // A picture wider or taller than 2048 does not fit the buffer: the reader refuses it.
    if (!TEX_load_any(back_file, data, GL_RGBA, picture_row, 0, desc, scratch_bytes))
        TEX_missing_file_alert(back_file, "oglp", 991);
    back_dx = desc.width;
    back_dy = desc.height;
    unsigned char* picture = static_cast<unsigned char*>(std::malloc(scratch_bytes));
    if (!picture) return;
    std::memcpy(picture, scratch_array, scratch_bytes);
    OGL_setstate(1, 1, 3, 5, 9, 11);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            std::memset(scratch_array, 0, tile * tile * 4);
            const int rows = std::min(back_dy - tile * r, tile), cols = std::min(back_dx - tile * c, tile);
            if (rows > 0 && cols > 0)
                for (int k = 0; k < rows; ++k)
                    std::memcpy(scratch_array + static_cast<size_t>(k) * tile * 4,
                                picture + (static_cast<size_t>(tile * r + k) * picture_row + tile * c) * 4,
                                static_cast<size_t>(cols) * 4);
            scratch_dx = scratch_dy = tile;
            tman.load_texture(tex_fail_fatal, first_tile_ref + 4 * r + c, 0x412, tex_loaded,
                              "scratch_array-t_tex_back (tile)");
        }
    std::free(picture);
}

back_place OGL_back_placement(int picture_dx, int picture_dy, int W, int H, int curwin, float layout_x) {
    back_place p{};
    if (curwin == -1) {
        p.right = static_cast<float>(std::min(picture_dx, W));
        p.left = p.right - static_cast<float>(picture_dx);
        p.top = static_cast<float>(H + std::clamp(picture_dy - H, 0, tile));
        p.bottom = p.top - static_cast<float>(picture_dy);
        p.fill = picture_dx < W || picture_dy < H;
    } else {
        p.left = layout_x;
        p.right = p.left + static_cast<float>(picture_dx);
        p.bottom = 0;
        p.top = static_cast<float>(picture_dy);
    }
    return p;
}

void OGL_plot_back_tex() {
    const int W = mnw.x_res, H = mnw.y_res;
    const back_place p = OGL_back_placement(back_dx, back_dy, W, H, mnw.curwin, mnw.layout_dx);
    if (p.fill) OGL_plot_back_col();
    OGL_setstate(1, 1, 3, ren.global_fade > 0.99f ? 6 : 5, 9, 11);
    OGL_set_colour(0, 1.0f);
    // Each tile holds 512 x 512 pixels of the picture and is drawn at that size; what lies
    // beyond a picture narrower or lower than 2048 is transparent.
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            const float x0 = p.left + static_cast<float>(tile * c), x1 = x0 + tile;
            const float y0 = p.bottom + static_cast<float>(tile * r), y1 = y0 + tile;
            if (x1 <= 0 || x0 >= W || y1 <= 0 || y0 >= H) continue;
            tman.bind_ref(first_tile_ref + 4 * r + c, 0, 0);
            glBegin(GL_QUADS);
            glTexCoord2fv(st00);
            glVertex2f(x0, y0);
            glTexCoord2fv(st01);
            glVertex2f(x0, y1);
            glTexCoord2fv(st11);
            glVertex2f(x1, y1);
            glTexCoord2fv(st10);
            glVertex2f(x1, y0);
            glEnd();
        }
}

std::string OGL_next_screenshot_name(int* shot) {
    std::string name;
    do {
        char digits[16];
        int_to_str(++*shot, digits, 1, 0);
        name = std::string("screenshot_") + digits + ".png";
    } while (file_exists(name));
    return name;
}

void OGL_screenshot(int save) {
    static int shot = -1;
    const int W = mnw.x_res, H = mnw.y_res;
    const int w = std::clamp(W, 0, 2048), h = std::clamp(H, 0, 2048);
    glReadPixels((W - w) / 2, (H - h) / 2, w, h, GL_RGB, GL_UNSIGNED_BYTE, scratch_array);
    if (!save) return;
    const std::string name = OGL_next_screenshot_name(&shot);
    if (!write_png_to_disk(name, w, h, 3)) xer << "The screenshot " << name << " could not be written.\n";
}

#include "graphics/builtin_images.h"

#include <cstring>

#include "graphics/atlas_layout.h"
#include "graphics/palette.h"
#include "graphics/scratch_buffers.h"
#include "graphics/texture_manager.h"

namespace {

int power_of_two_at_least(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}

}  // namespace

void OGL_load_builtin_images() {
    for (const builtin_image& im : builtin_images) {
        const int tex_dx = power_of_two_at_least(im.width);
        const size_t row = static_cast<size_t>(im.width) * im.bpp;
        const size_t stride = static_cast<size_t>(tex_dx) * im.bpp;
        // The padding is zeroed: linear filtering at an image's edge reads it.
        std::memset(scratch_array, 0, stride * power_of_two_at_least(im.height));
        for (int r = 0; r < im.height; ++r) std::memcpy(scratch_array + r * stride, im.pixels + r * row, row);
        // The image's own size: the texture manager rounds it up and keeps it in the record.
        scratch_dx = im.width;
        scratch_dy = im.height;
        tman.load_texture(tex_fail_fatal, im.ref, im.flags, tex_loaded, "scratch_array:hardwired textures");
    }
    // The interface colours the atlas carries.
    const unsigned char* atlas = g_tex_interface;
    for (const atlas_swatch& s : atlas_swatches) {
        const unsigned char* p = atlas + (static_cast<size_t>(s.v) * 512 + s.u) * 4;
        colr.assign(s.slot, p[0] / 255.0f, p[1] / 255.0f, p[2] / 255.0f);
    }
    float mean[3];
    for (int k = 0; k < 3; ++k) mean[k] = (colr.rgb[38][k] + colr.rgb[35][k]) * 0.5f;
    colr.assign(39, mean[0], mean[1], mean[2]);
}

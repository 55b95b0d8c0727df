// The BMP image reader (graphics layer).
#include "graphics/bmp_reader.h"

#include <cstdint>

#include "core/alert.h"
#include "files/versioned_file.h"
#include "graphics/palette.h"

namespace {
const char* const src_tag = "TEX/TEX_bmp";

void bmp_fatal(const std::string& line1, const std::string& line2, const std::string& name, int line) {
    __MACIBM_alert(0, line1, line2, "", name, t_exit, src_tag, line);
}

// A little-endian field of n bytes at offset; 0 when it does not lie wholly inside the file.
uint32_t field(const xmap_class& f, size_t offset, int n) {
    if (static_cast<size_t>(f.end - f.base) < offset + n) return 0;
    uint32_t v = 0;
    for (int i = n - 1; i >= 0; --i) v = v << 8 | f.base[offset + i];
    return v;
}
}  // namespace

int TEX_load_bmp(const std::string& name, xmap_class* file, unsigned char*& data, unsigned long requested_format,
                 int pad_to, int power_of_two, TEX_image_desc& desc, size_t capacity) {
    if (!file || !file->base) return 0;
    const int bpp = TEX_reader_bpp(static_cast<uint32_t>(requested_format));
    if (bpp == 0) __MACIBM_alert(0, "Illegal desired format for bmp.", name, "", "", t_exit, src_tag, 27);

    // An OS/2 bitmap's 12-byte header holds 16-bit sizes and no compression: the fields read
    // below are not in it, so it is no picture this reader can take.
    if (field(*file, 14, 4) == 12) return 0;
    const uint32_t offset = field(*file, 10, 4);
    const int32_t width = static_cast<int32_t>(field(*file, 18, 4));
    const int32_t height = static_cast<int32_t>(field(*file, 22, 4));
    if (field(*file, 28, 2) != 24) bmp_fatal("Wrong bitmap color depth for texture!", "We need 24-bit color.", name, 48);
    if (field(*file, 30, 4) != 0) bmp_fatal("Bitmap is compressed!", "", name, 49);
    // Refused, not read: no pixels, rows stored top first (a negative height), fewer rows than
    // announced, or more than the buffer holds.
    if (width < 1 || height < 1) return 0;
    const uint64_t file_row = (3 * static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
    const uint64_t file_size = static_cast<uint64_t>(file->end - file->base);
    if (offset > file_size || (file_size - offset) / file_row < static_cast<uint64_t>(height)) return 0;
    TEX_image_desc image = {static_cast<uint32_t>(requested_format), width, height, 0, 0};
    if (!TEX_prepare_rows(image, bpp, pad_to, power_of_two, data, capacity)) return 0;
    desc = image;

    const size_t row_len = static_cast<size_t>(bpp) * width + desc.pad;
    const bool gamma = colr.use_gamma_table != 0;
    for (int y = 0; y < height; ++y) {
        const unsigned char* in = file->base + offset + y * file_row;
        unsigned char* out = data + y * row_len;
        for (int x = 0; x < width; ++x, in += 3, out += bpp) {
            const unsigned char b = in[0], g = in[1], r = in[2];
            if (bpp == 1) {
                out[0] = static_cast<unsigned char>((b + g + r) / 3);
                continue;
            }
            out[0] = gamma ? colr.gamma_table[r] : r;
            out[1] = gamma ? colr.gamma_table[g] : g;
            out[2] = gamma ? colr.gamma_table[b] : b;
            if (bpp == 4) {
                out[3] = 255;
                if (b == 255 && g == 0 && r == 255) out[0] = out[1] = out[2] = out[3] = 0;
            }
        }
    }
    return 1;
}

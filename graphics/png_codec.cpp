// PNG image reading and writing (graphics layer).
#include "graphics/png_codec.h"

#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/alert.h"
#include "core/globals.h"
#include "core/log_stream.h"
#include "files/versioned_file.h"
#include "graphics/palette.h"
#include "graphics/scratch_buffers.h"

xmap_class* png_mapped_file = nullptr;

namespace {
const char* const src_tag = "TEX/TEX_png";

void my_readbuf(png_structp png, png_bytep dest, png_size_t length) {
    xmap_class* f = png_mapped_file;
    if (static_cast<size_t>(f->end - f->cur) < length) png_error(png, "PNG Read Error, overran end of buffer!");
    std::memcpy(dest, f->cur, length);
    f->cur += length;
}

// Returns; libpng then prints its own message and jumps to the recovery point.
void my_error(png_structp, png_const_charp message) {
    __MACIBM_alert(0, "PNG error!", message, "", "", t_alert, src_tag, 13);
}

void my_warning(png_structp, png_const_charp message) { xer << "PNG warning! " << message << ", " << "\n"; }

png_voidp my_malloc(png_structp, png_alloc_size_t size) { return std::malloc(size); }
void my_free(png_structp, png_voidp p) { std::free(p); }

void png_fatal(const char* line2, const std::string& name, int line) {
    __MACIBM_alert(0, "PING-FILE ERROR!", line2, name, "", t_exit, src_tag, line);
}
}  // namespace

bool TEX_has_png_signature(const unsigned char* p) { return png_sig_cmp(p, 0, 8) == 0; }

int TEX_load_png(const std::string& name, xmap_class* file, unsigned char*& data, unsigned long requested_format,
                 int pad_to, int power_of_two, int alpha_from_file, TEX_image_desc& desc, size_t capacity) {
    png_structp png =
        png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, my_error, my_warning, nullptr, my_malloc, my_free);
    if (!png) png_fatal("!png_ptr", name, 36);
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        png_fatal("!info_ptr", name, 41);
    }
    if (!file || !file->cur || file->end - file->cur < 8) {
        png_mapped_file = nullptr;
        png_destroy_read_struct(&png, &info, nullptr);
        return 0;
    }
    png_mapped_file = file;
    if (!TEX_has_png_signature(file->cur)) {
        png_mapped_file = nullptr;
        png_destroy_read_struct(&png, &info, nullptr);
        png_fatal("is_png=!png_sig_cmp(png_io_buf,0,8)", name, 55);
    }

    // Written after the recovery point is set and read after a jump back to it.
    png_bytep* volatile rows = nullptr;
    volatile bool allocated = false;
    if (setjmp(png_jmpbuf(png))) {
        png_mapped_file = nullptr;
        std::free(rows);
        if (allocated) {
            std::free(data);
            data = nullptr;
        }
        png_destroy_read_struct(&png, &info, nullptr);
        png_fatal("setjmp(png_ptr->jmpbuf", name, 63);
    }
    png_set_read_fn(png, nullptr, my_readbuf);
    png_set_sig_bytes(png, 8);
    file->cur += 8;
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour_type = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour_type, nullptr, nullptr, nullptr);
    png_set_interlace_handling(png);

    desc.format = static_cast<uint32_t>(requested_format);
    desc.width = static_cast<int32_t>(width);
    desc.height = static_cast<int32_t>(height);
    desc.pad = 0;
    desc.has_mipmaps = 0;

    double file_gamma = 0;
    if (!png_get_gAMA(png, info, &file_gamma)) file_gamma = 1.0 / colr.gamma1;
    png_set_gamma(png, colr.gamma2, file_gamma);

    const bool has_trns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    if (colour_type == PNG_COLOR_TYPE_PALETTE && depth <= 8) png_set_palette_to_rgb(png);
    if (colour_type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (has_trns) png_set_tRNS_to_alpha(png);
    if (depth == 16) png_set_strip_16(png);
    if (depth < 8) png_set_packing(png);

    const bool has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0;
    if (alpha_from_file) {
        if (desc.format == GL_RGB && has_alpha) desc.format = GL_RGBA;
        else if (desc.format == GL_RGBA && !has_alpha) desc.format = GL_RGB;
    }
    if (desc.format == GL_RGBA) {
        if (!has_alpha) png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    } else if (has_alpha || has_trns) {
        png_set_strip_alpha(png);
    }
    if (desc.format == GL_ALPHA && (colour_type & PNG_COLOR_MASK_COLOR))
        png_set_rgb_to_gray_fixed(png, PNG_ERROR_ACTION_NONE, -1, -1);
    if (desc.format != GL_ALPHA && !(colour_type & PNG_COLOR_MASK_COLOR)) png_set_gray_to_rgb(png);

    const int bpp = TEX_reader_bpp(desc.format);
    if (bpp == 0) __MACIBM_alert(0, "Illegal bits per pixel", "", "", "", t_exit, src_tag, 112);

    png_read_update_info(png, info);
    // Every row must come out exactly as wide as the layout holds.
    if (png_get_rowbytes(png, info) != static_cast<size_t>(bpp) * width)
        png_error(png, "unexpected row size after the transformations");
    unsigned char* buf = data;
    if (!TEX_prepare_rows(desc, bpp, pad_to, power_of_two, buf, capacity))
        png_error(png, "image too large for its buffer");
    allocated = data == nullptr;
    data = buf;

    const size_t row_len = static_cast<size_t>(bpp) * width + desc.pad;
    rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * height));
    if (!rows) png_error(png, "out of memory");
    for (png_uint_32 i = 0; i < height; ++i) rows[i] = data + (height - 1 - i) * row_len;
    png_read_image(png, rows);

    std::free(rows);
    png_mapped_file = nullptr;
    png_destroy_read_struct(&png, &info, nullptr);
    return 1;
}

int TEX_save_png(const std::string& name, const TEX_image_desc& desc, const unsigned char* data) {
    const int bpp = TEX_reader_bpp(desc.format);
    if (bpp == 0) __MACIBM_alert(0, "Illegal pixel format for png-write.", name, "", "", t_exit, src_tag, 164);
    if (desc.width < 1 || desc.height < 1) return 0;
    const std::string path = app_path + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, my_error, my_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    png_bytep* rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * desc.height));
    auto fail = [&] {
        png_destroy_write_struct(&png, &info);
        std::free(rows);
        TEX_close_written(f, path, false);
        return 0;
    };
    if (!png || !info || !rows) return fail();
    if (setjmp(png_jmpbuf(png))) return fail();
    png_init_io(png, f);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_set_compression_mem_level(png, 8);
    png_set_compression_strategy(png, Z_DEFAULT_STRATEGY);
    png_set_compression_window_bits(png, 15);
    png_set_compression_method(png, 8);
    png_set_compression_buffer_size(png, 8192);
    png_set_gAMA(png, info, 1.0 / 1.8);
    const int colour_type = bpp == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : bpp == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY;
    png_set_IHDR(png, info, static_cast<png_uint_32>(desc.width), static_cast<png_uint_32>(desc.height), 8,
                 colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t row_len = static_cast<size_t>(bpp) * desc.width + desc.pad;
    for (int i = 0; i < desc.height; ++i)
        rows[i] = const_cast<png_bytep>(data + static_cast<size_t>(desc.height - 1 - i) * row_len);
    png_write_image(png, rows);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::free(rows);
    return TEX_close_written(f, path, true) ? 1 : 0;
}

int write_png_to_disk(std::string name, int width, int height, int bytes_per_pixel) {
    TEX_image_desc desc{static_cast<uint32_t>(bytes_per_pixel == 4 ? GL_RGBA : GL_RGB), width, height, 0, 0};
    return TEX_save_png(name, desc, scratch_array);
}

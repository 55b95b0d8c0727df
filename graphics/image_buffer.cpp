// The image description and pixel operations (graphics layer).
#include "graphics/image_buffer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {
int64_t next_pow2_64(int64_t n) {
    int64_t p = 1;
    while (p < n) p <<= 1;
    return p;
}
// Smallest k with 2^k >= f.
int ceil_log2(int f) {
    int k = 0;
    while ((1 << k) < f) ++k;
    return k;
}
}  // namespace

int TEX_reader_bpp(uint32_t format) {
    return format == GL_RGB ? 3 : format == GL_RGBA ? 4 : format == GL_ALPHA ? 1 : 0;
}

int TEX_next_pow2(int n) { return static_cast<int>(next_pow2_64(n)); }

bool TEX_is_s3tc(uint32_t format) {
    return format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT ||
           format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
}

int64_t TEX_bytes_needed_for_image(const TEX_image_desc& desc) {
    int64_t w = desc.width, h = desc.height;
    if (w < 1 || h < 1) return 0;
    const int64_t pad = desc.pad;
    int64_t total = 0;
    for (;;) {
        switch (desc.format) {
        case GL_RGBA:
        case GL_BGRA: total += h * (4 * w + pad); break;
        case GL_RGB:
        case GL_BGR: total += h * (3 * w + pad); break;
        case GL_ALPHA: total += h * (w + pad); break;
        case GL_DEPTH_COMPONENT:
        case GL_DEPTH_COMPONENT32: total += 4 * w * h; break;
        // libsquish's storage count (whole 4 x 4 blocks of 8 or 16 bytes), in 64 bits.
        case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
        case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT: total += ((w + 3) / 4) * ((h + 3) / 4) * 8; break;
        case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
        case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT: total += ((w + 3) / 4) * ((h + 3) / 4) * 16; break;
        default: return 0;
        }
        if ((w == 1 && h == 1) || !desc.has_mipmaps) break;
        if (w > 1) w /= 2;
        if (h > 1) h /= 2;
    }
    return total;
}

void TEX_downscale(TEX_image_desc& desc, unsigned char* data, int factor_x, int factor_y) {
    if (factor_x < 1 || factor_y < 1) return;
    const int bpp = desc.format == GL_RGBA ? 4 : desc.format == GL_RGB ? 3 : 1;
    const size_t src_row = static_cast<size_t>(bpp) * desc.width + desc.pad;
    const int nw = desc.width / factor_x, nh = desc.height / factor_y;
    const size_t dst_row = static_cast<size_t>(bpp) * nw + desc.pad;
    const int shift = ceil_log2(factor_x) + ceil_log2(factor_y);
    for (int y = 0; y < nh; ++y) {
        unsigned char* out = data + y * dst_row;
        for (int x = 0; x < nw; ++x) {
            for (int c = 0; c < bpp; ++c) {
                int sum = 0;
                for (int sy = 0; sy < factor_y; ++sy) {
                    const unsigned char* in = data + (static_cast<size_t>(y) * factor_y + sy) * src_row +
                                              static_cast<size_t>(x) * factor_x * bpp + c;
                    for (int sx = 0; sx < factor_x; ++sx) sum += in[sx * bpp];
                }
                out[x * bpp + c] = static_cast<unsigned char>(sum >> shift);
            }
        }
    }
    desc.width = nw;
    desc.height = nh;
}

void TEX_chroma_key(const TEX_image_desc& desc, unsigned char* data, unsigned char* key_rgb, int tolerance) {
    const size_t row = 4 * static_cast<size_t>(desc.width) + desc.pad;
    for (int y = 0; y < desc.height; ++y) {
        unsigned char* p = data + y * row;
        for (int x = 0; x < desc.width; ++x, p += 4) {
            int d = std::abs(p[0] - key_rgb[0]) + std::abs(p[1] - key_rgb[1]) + std::abs(p[2] - key_rgb[2]);
            if (d < tolerance) p[3] = 0;
        }
    }
}

void TEX_composite(const TEX_image_desc& src_desc, const TEX_image_desc& dst_desc, unsigned char* src,
                   unsigned char* dst, float x1, float y1, float x2, float y2) {
    const bool src_alpha = src_desc.format == GL_RGBA, dst_alpha = dst_desc.format == GL_RGBA;
    const int sb = src_alpha ? 4 : 3, db = dst_alpha ? 4 : 3;
    const size_t src_row = static_cast<size_t>(sb) * src_desc.width + src_desc.pad;
    const size_t dst_row = static_cast<size_t>(db) * dst_desc.width + dst_desc.pad;
    const int xa = std::max(0, static_cast<int>(std::floor(x1)));
    const int xb = std::min(static_cast<int>(std::ceil(x2)), dst_desc.width);
    const int ya = std::max(0, static_cast<int>(std::floor(y1)));
    const int yb = std::min(static_cast<int>(std::ceil(y2)), dst_desc.height);
    const float sw = static_cast<float>(src_desc.width), sh = static_cast<float>(src_desc.height);
    for (int y = ya; y < yb; ++y) {
        const float v = y2 == y1 ? sh / 2 : (static_cast<float>(y) - y1) * sh / (y2 - y1);
        const int j = static_cast<int>(std::floor(v));
        const float fv = v - static_cast<float>(j);
        for (int x = xa; x < xb; ++x) {
            const float u = x2 == x1 ? sw / 2 : (static_cast<float>(x) - x1) * sw / (x2 - x1);
            const int i = static_cast<int>(std::floor(u));
            const float fu = u - static_cast<float>(i);
            struct tap {
                int col, row;
                float w;
            } taps[4] = {{i, j, (1 - fu) * (1 - fv)}, {i + 1, j, fu * (1 - fv)}, {i, j + 1, (1 - fu) * fv},
                         {i + 1, j + 1, fu * fv}};
            const unsigned char* px[4] = {};
            for (int t = 0; t < 4; ++t) {
                if (taps[t].col < 0 || taps[t].col >= src_desc.width || taps[t].row < 0 ||
                    taps[t].row >= src_desc.height)
                    taps[t].w = 0;
                if (taps[t].w != 0) px[t] = src + taps[t].row * src_row + static_cast<size_t>(taps[t].col) * sb;
            }
            unsigned char* out = dst + y * dst_row + static_cast<size_t>(x) * db;
            if (dst_alpha) {
                float a = out[3];
                for (int t = 0; t < 4; ++t)
                    if (px[t]) a += taps[t].w * (src_alpha ? px[t][3] : 255.0f);
                out[3] = static_cast<unsigned char>(std::clamp(static_cast<int>(a), 0, 255));
            }
            if (src_alpha)
                for (int t = 0; t < 4; ++t)
                    if (px[t]) taps[t].w *= px[t][3] / 255.0f;
            float s = 0;
            for (const tap& t : taps) s += t.w;
            for (int c = 0; c < 3; ++c) {
                float sum = (1 - s) * out[c];
                for (int t = 0; t < 4; ++t)
                    if (px[t]) sum += taps[t].w * px[t][c];
                out[c] = static_cast<unsigned char>(static_cast<int>(sum));
            }
        }
    }
}

bool TEX_prepare_rows(TEX_image_desc& desc, int bytes_per_pixel, int pad_to, int power_of_two,
                      unsigned char*& data, size_t capacity) {
    const int64_t w = desc.width, h = desc.height;
    if (w < 1 || h < 1) return false;
    int64_t pad = 0;
    if (power_of_two)
        pad = bytes_per_pixel * (next_pow2_64(w) - w);
    else if (pad_to != 0) {
        if (pad_to < w) return false;
        pad = bytes_per_pixel * (pad_to - w);
    }
    const int64_t rows = power_of_two ? next_pow2_64(h) : h;
    const int64_t row_len = bytes_per_pixel * w + pad;
    if (pad > INT32_MAX || rows > INT64_MAX / row_len) return false;
    const int64_t size = rows * row_len;
    if (static_cast<uint64_t>(size) > capacity) return false;
    unsigned char* buf = data ? data : static_cast<unsigned char*>(std::malloc(static_cast<size_t>(size)));
    if (!buf) return false;
    if (power_of_two && (pad > 0 || rows > h)) std::memset(buf, 0, static_cast<size_t>(size));
    data = buf;
    desc.pad = static_cast<int32_t>(pad);
    return true;
}

bool TEX_close_written(std::FILE* f, const std::string& path, bool ok) {
    struct stat st {};
    const bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    if (std::fclose(f) != 0) ok = false;
    if (!ok && regular) unlink(path.c_str());
    return ok;
}

// DDS image reading and writing, S3TC conversion (graphics layer).
#include "graphics/dds_codec.h"

#include <squish.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "files/versioned_file.h"

namespace {
enum : uint32_t {
    ddsd_caps = 0x1,
    ddsd_height = 0x2,
    ddsd_width = 0x4,
    ddsd_pixelformat = 0x1000,
    ddsd_mipmapcount = 0x20000,
    ddsd_linearsize = 0x80000,
    ddpf_alphapixels = 0x1,
    ddpf_fourcc = 0x4,
    ddpf_rgb = 0x40,
    ddscaps_complex = 0x8,
    ddscaps_texture = 0x1000,
    ddscaps_mipmap = 0x400000,
};
constexpr int header_bytes = 128;
// Larger sides are no texture this program could use.
constexpr uint32_t max_side = 65536;

uint32_t get32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
void put32(unsigned char* p, uint32_t v) {
    for (int i = 0; i < 4; ++i, v >>= 8) p[i] = static_cast<unsigned char>(v);
}

int squish_kind(uint32_t format) {
    if (format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT)
        return squish::kDxt1;
    if (format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT) return squish::kDxt3;
    return squish::kDxt5;
}

int quality_flag(TEX_s3tc_quality q) {
    if (q == s3tc_range_fit) return squish::kColourRangeFit;
    if (q == s3tc_iterative_cluster_fit) return squish::kColourIterativeClusterFit;
    return squish::kColourClusterFit;
}
}  // namespace

int TEX_load_dds(const std::string&, xmap_class* file, const unsigned char*& data, TEX_image_desc& desc) {
    if (!file || !file->base || file->end - file->base < header_bytes) return 0;
    const unsigned char* h = file->base;
    if (std::memcmp(h, "DDS ", 4) != 0) return 0;
    const uint32_t pf_flags = get32(h + 80);
    uint32_t format = 0;
    if (pf_flags & ddpf_fourcc) {
        if (std::memcmp(h + 84, "DXT1", 4) == 0)
            format = GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
        else if (std::memcmp(h + 84, "DXT3", 4) == 0)
            format = GL_COMPRESSED_RGBA_S3TC_DXT3_EXT;
        else if (std::memcmp(h + 84, "DXT5", 4) == 0)
            format = GL_COMPRESSED_RGBA_S3TC_DXT5_EXT;
        else
            return 0;
    }
    if (pf_flags & ddpf_rgb) {
        // Only the two layouts read as plain bytes: 24-bit BGR and 32-bit BGRA with alpha.
        const uint32_t bits = get32(h + 88);
        if (bits == 24)
            format = GL_BGR;
        else if (bits == 32 && (pf_flags & ddpf_alphapixels))
            format = GL_BGRA;
        else
            return 0;
    }
    if (format == 0) return 0;
    const uint32_t height = get32(h + 12), width = get32(h + 16);
    if (width < 1 || height < 1 || width > max_side || height > max_side) return 0;
    TEX_image_desc d{format, static_cast<int32_t>(width), static_cast<int32_t>(height), 0,
                     (get32(h + 8) & ddsd_mipmapcount) && (get32(h + 108) & ddscaps_mipmap) ? 1 : 0};
    if (file->end - file->base - header_bytes < TEX_bytes_needed_for_image(d)) return 0;
    desc = d;
    data = h + header_bytes;
    return 1;
}

int TEX_save_dds(const std::string& name, const unsigned char* data, const TEX_image_desc& desc) {
    if (desc.format != GL_RGBA && desc.format != GL_RGB)
        __MACIBM_alert(0, "rel_assert Error! Possibly an out of range vector! Attach the debugger and see who called this!",
                       "in_desc.format == GL_RGBA || in_desc.format == GL_RGB", "TEX_save_dds",
                       "Please report this to Tessaly.", t_exit, "TEX/TEX_dds", 223);
    if (desc.width < 1 || desc.height < 1) return 0;
    const std::string path = app_path + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;

    const int kind = desc.format == GL_RGBA ? squish::kDxt5 : squish::kDxt1;
    const int bpp = desc.format == GL_RGBA ? 4 : 3;
    int w = desc.width, h = desc.height;
    std::vector<unsigned char> rgba(static_cast<size_t>(w) * h * 4);
    std::vector<unsigned char> blocks(static_cast<size_t>(squish::GetStorageRequirements(w, h, kind)));
    int levels = 1;
    for (int lw = w, lh = h; lw > 1 || lh > 1; ++levels) {
        lw = lw > 1 ? lw / 2 : 1;
        lh = lh > 1 ? lh / 2 : 1;
    }
    // The file holds the top row first.
    const size_t stride = static_cast<size_t>(bpp) * w + desc.pad;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* s = data + y * stride + static_cast<size_t>(x) * bpp;
            unsigned char* d = &rgba[(static_cast<size_t>(h - 1 - y) * w + x) * 4];
            d[0] = s[0], d[1] = s[1], d[2] = s[2], d[3] = bpp == 4 ? s[3] : 255;
        }

    unsigned char header[header_bytes] = {};
    std::memcpy(header, "DDS ", 4);
    put32(header + 4, 124);
    put32(header + 8, ddsd_caps | ddsd_height | ddsd_width | ddsd_pixelformat | ddsd_mipmapcount | ddsd_linearsize);
    put32(header + 12, static_cast<uint32_t>(h));
    put32(header + 16, static_cast<uint32_t>(w));
    put32(header + 20, static_cast<uint32_t>(blocks.size()));
    put32(header + 28, static_cast<uint32_t>(levels));
    put32(header + 76, 32);
    put32(header + 80, ddpf_fourcc);
    std::memcpy(header + 84, kind == squish::kDxt5 ? "DXT5" : "DXT1", 4);
    put32(header + 108, ddscaps_complex | ddscaps_texture | ddscaps_mipmap);
    bool ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;

    for (;;) {
        const size_t n = static_cast<size_t>(squish::GetStorageRequirements(w, h, kind));
        squish::CompressImage(rgba.data(), w, h, blocks.data(), kind | squish::kColourIterativeClusterFit);
        ok = ok && std::fwrite(blocks.data(), 1, n, f) == n;
        if (!ok || (w == 1 && h == 1)) break;
        // Next level in place: sums of 2 x 2 pixels, or of pairs once a side is 1.
        TEX_image_desc lvl{GL_RGBA, w, h, 0, 0};
        TEX_downscale(lvl, rgba.data(), w > 1 ? 2 : 1, h > 1 ? 2 : 1);
        w = lvl.width;
        h = lvl.height;
    }
    return TEX_close_written(f, path, ok) ? 1 : 0;
}

void TEX_encode_s3tc(const TEX_image_desc& in_desc, const TEX_image_desc& out_desc, const unsigned char* src,
                     unsigned char* dst, TEX_s3tc_quality quality) {
    squish::CompressImage(src, in_desc.width, in_desc.height, dst,
                          squish_kind(out_desc.format) | quality_flag(quality));
}

void TEX_decode_s3tc(const TEX_image_desc& in_desc, const TEX_image_desc&, const unsigned char* src,
                     unsigned char* dst) {
    squish::DecompressImage(dst, in_desc.width, in_desc.height, src, squish_kind(in_desc.format));
}

// Vertical flip of images and DXT blocks (graphics layer).
#include "graphics/image_flip.h"

#include <squish.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/alert.h"
#include "graphics/palette.h"

namespace {
uint16_t get16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void put16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
uint64_t get48(const uint8_t* p) {
    uint64_t v = 0;
    for (int i = 5; i >= 0; --i) v = v << 8 | p[i];
    return v;
}
void put48(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 6; ++i, v >>= 8) p[i] = static_cast<uint8_t>(v);
}

// Index 3 in three-colour mode among the first cols x rows pixels of the block.
bool uses_transparent(const DXTColBlock& b, int cols = 4, int rows = 4) {
    if (get16(b.col0) > get16(b.col1)) return false;
    for (int r = 0; r < std::min(rows, 4); ++r)
        for (int c = 0; c < std::min(cols, 4); ++c)
            if ((b.row[r] >> (2 * c) & 3) == 3) return true;
    return false;
}

// The transparency finding of a DXT1 level, over its own pixels only: encoders put index 3
// in the unused pixels of partial blocks.
int level_uses_transparent(const uint8_t* p, int w, int h) {
    const int cols = (w + 3) / 4, rows = (h + 3) / 4;
    for (int by = 0; by < rows; ++by)
        for (int bx = 0; bx < cols; ++bx)
            if (uses_transparent(*reinterpret_cast<const DXTColBlock*>(p + (by * cols + bx) * 8), w - 4 * bx,
                                 h - 4 * by))
                return 1;
    return 0;
}

void flip_colour(DXTColBlock& b) {
    std::swap(b.row[0], b.row[3]);
    std::swap(b.row[1], b.row[2]);
    if (colr.use_gamma_table) nv_gamma_correct(&b);
}

// Swaps pixel rows 0 and 1 of a block whose colour block starts at byte `colour` (8-byte DXT1,
// 16-byte DXT3 or DXT5).
void swap_top_rows(uint8_t* b, uint32_t format) {
    int colour = 0;
    if (format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT) {
        colour = 8;
        std::swap(b[0], b[2]);
        std::swap(b[1], b[3]);
    } else if (format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT) {
        colour = 8;
        const uint64_t v = get48(b + 2);
        put48(b + 2, (v & ~uint64_t{0xFFFFFF}) | (v & 0xFFF) << 12 | (v >> 12 & 0xFFF));
    }
    std::swap(b[colour + 4], b[colour + 5]);
}

// Flips one DXT level; returns the DXT1 transparency finding.
int flip_dxt_level(const TEX_image_desc& lvl, uint8_t* p) {
    const bool dxt1 =
        lvl.format == GL_COMPRESSED_RGB_S3TC_DXT1_EXT || lvl.format == GL_COMPRESSED_RGBA_S3TC_DXT1_EXT;
    const int bs = dxt1 ? 8 : 16;
    const int cols = (lvl.width + 3) / 4, rows = (lvl.height + 3) / 4;
    const size_t row_bytes = static_cast<size_t>(cols) * bs;
    const int found = dxt1 ? level_uses_transparent(p, lvl.width, lvl.height) : 0;
    // The finding is made above; the row flippers are told it is made.
    auto flip_row = [&](uint8_t* r) {
        if (dxt1)
            nv_flip_blocks_dxtc1(reinterpret_cast<DXTColBlock*>(r), cols, 1);
        else if (lvl.format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT)
            nv_flip_blocks_dxtc3(reinterpret_cast<DXT3Block*>(r), cols, 1);
        else
            nv_flip_blocks_dxtc5(reinterpret_cast<DXT5Block*>(r), cols, 1);
    };
    if (lvl.height % 4 == 0) {
        for (int i = 0; i < rows / 2; ++i) {
            uint8_t* a = p + i * row_bytes;
            uint8_t* b = p + (rows - 1 - i) * row_bytes;
            flip_row(a);
            flip_row(b);
            std::swap_ranges(a, a + row_bytes, b);
        }
        // The middle block row of an odd count turns over in place.
        if (rows % 2) flip_row(p + rows / 2 * row_bytes);
        return found;
    }
    const size_t level_bytes = row_bytes * rows;
    const int colour = dxt1 ? 0 : 8;
    if (lvl.height == 2) {
        // Small mip levels: the two rows of each block change places.
        for (size_t off = 0; off < level_bytes; off += bs) swap_top_rows(p + off, lvl.format);
    } else if (lvl.height > 2) {
        // A partial block row cannot be moved block by block: decode, turn over, encode again.
        const int kind = dxt1 ? squish::kDxt1 : lvl.format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT ? squish::kDxt3
                                                                                          : squish::kDxt5;
        const size_t row = static_cast<size_t>(lvl.width) * 4;
        std::vector<uint8_t> rgba(row * lvl.height);
        squish::DecompressImage(rgba.data(), lvl.width, lvl.height, p, kind);
        for (int y = 0; y < lvl.height / 2; ++y)
            std::swap_ranges(rgba.begin() + y * row, rgba.begin() + (y + 1) * row,
                             rgba.begin() + (lvl.height - 1 - y) * row);
        squish::CompressImage(rgba.data(), lvl.width, lvl.height, p, kind);
    }
    if (colr.use_gamma_table)
        for (size_t off = 0; off < level_bytes; off += bs)
            nv_gamma_correct(reinterpret_cast<DXTColBlock*>(p + off + colour));
    return found;
}
}  // namespace

int IncColor565(unsigned short& colour) {
    const int g = colour >> 5 & 63, b = colour & 31, r = colour >> 11;
    if (g < 63)
        colour = static_cast<unsigned short>(colour + (1 << 5));
    else if (b < 31)
        colour = static_cast<unsigned short>(colour + 1);
    else if (r < 31)
        colour = static_cast<unsigned short>(colour + (1 << 11));
    else
        return 0;
    return 1;
}

int DecColor565(unsigned short& colour) {
    const int g = colour >> 5 & 63, b = colour & 31, r = colour >> 11;
    if (g > 0)
        colour = static_cast<unsigned short>(colour - (1 << 5));
    else if (b > 0)
        colour = static_cast<unsigned short>(colour - 1);
    else if (r > 0)
        colour = static_cast<unsigned short>(colour - (1 << 11));
    else
        return 0;
    return 1;
}

void nv_gamma_correct(DXTColBlock* block) {
    auto correct = [](uint16_t c) {
        const int r5 = c >> 11, g6 = c >> 5 & 63, b5 = c & 31;
        const int r = colr.gamma_table[r5 << 3 | r5 >> 2];
        const int g = colr.gamma_table[g6 << 2 | g6 >> 4];
        const int b = colr.gamma_table[b5 << 3 | b5 >> 2];
        return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | (b >> 3));
    };
    const uint16_t c0 = get16(block->col0), c1 = get16(block->col1);
    uint16_t d0 = correct(c0), d1 = correct(c1);
    if ((c0 <= c1) == (d0 <= d1)) {
        put16(block->col0, d0);
        put16(block->col1, d1);
        return;
    }
    if (d0 == d1) {
        unsigned short raised = d1;
        if (IncColor565(raised)) {
            put16(block->col0, raised);
            put16(block->col1, d0);
        } else {
            unsigned short lowered = d1;
            DecColor565(lowered);
            put16(block->col0, d0);
            put16(block->col1, lowered);
        }
    } else {
        put16(block->col0, d1);
        put16(block->col1, d0);
    }
    // Keep each pixel's colour under the exchanged endpoints.
    const bool four_colour = get16(block->col0) > get16(block->col1);
    for (uint8_t& r : block->row) {
        uint8_t out = 0;
        for (int s = 0; s < 8; s += 2) {
            int i = r >> s & 3;
            if (four_colour)
                i ^= 1;
            else if (i < 2)
                i ^= 1;
            out = static_cast<uint8_t>(out | i << s);
        }
        r = out;
    }
}

int nv_flip_blocks_dxtc1(DXTColBlock* blocks, int count, int found) {
    for (int i = 0; i < count; ++i) {
        if (!found && uses_transparent(blocks[i])) found = 1;
        flip_colour(blocks[i]);
    }
    return found;
}

int nv_flip_blocks_dxtc3(DXT3Block* blocks, int count, int) {
    for (int i = 0; i < count; ++i) {
        uint8_t* a = blocks[i].alpha;
        std::swap(a[0], a[6]);
        std::swap(a[1], a[7]);
        std::swap(a[2], a[4]);
        std::swap(a[3], a[5]);
        flip_colour(blocks[i].colour);
    }
    return 0;
}

int nv_flip_dxt5_alpha(DXT5AlphaBlock* block) {
    const uint64_t v = get48(block->row);
    uint64_t out = 0;
    for (int r = 0; r < 4; ++r) out |= (v >> (12 * r) & 0xFFF) << (12 * (3 - r));
    put48(block->row, out);
    return 0;
}

int nv_flip_blocks_dxtc5(DXT5Block* blocks, int count, int) {
    for (int i = 0; i < count; ++i) {
        nv_flip_dxt5_alpha(&blocks[i].alpha);
        flip_colour(blocks[i].colour);
    }
    return 0;
}

int TEX_flip_y(const TEX_image_desc& desc, unsigned char* data) {
    if (desc.width < 1 || desc.height < 1) return 0;
    TEX_image_desc lvl = desc;
    lvl.has_mipmaps = 0;
    int found = 0;
    for (;;) {
        const int64_t n = TEX_bytes_needed_for_image(lvl);
        switch (lvl.format) {
        case GL_ALPHA:
        case GL_RGB:
        case GL_RGBA:
        case GL_BGR:
        case GL_BGRA: {
            const int64_t row = n / lvl.height;
            for (int i = 0; i < lvl.height / 2; ++i)
                std::swap_ranges(data + i * row, data + (i + 1) * row, data + (lvl.height - 1 - i) * row);
            break;
        }
        case GL_COMPRESSED_RGB_S3TC_DXT1_EXT:
        case GL_COMPRESSED_RGBA_S3TC_DXT1_EXT:
        case GL_COMPRESSED_RGBA_S3TC_DXT3_EXT:
        case GL_COMPRESSED_RGBA_S3TC_DXT5_EXT: found |= flip_dxt_level(lvl, data); break;
        default: __MACIBM_alert(0, "Illegal format!", "", "", "", t_exit, "TEX/TEX_utils", 441);
        }
        if ((lvl.width == 1 && lvl.height == 1) || !desc.has_mipmaps) break;
        data += n;
        if (lvl.width > 1) lvl.width /= 2;
        if (lvl.height > 1) lvl.height /= 2;
    }
    return found;
}

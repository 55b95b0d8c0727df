#include "graphics/image_flip.h"

#include <gtest/gtest.h>
#include <squish.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

#include "graphics/palette.h"

namespace {
int kind_of(uint32_t format) {
    if (format == GL_COMPRESSED_RGBA_S3TC_DXT3_EXT) return squish::kDxt3;
    if (format == GL_COMPRESSED_RGBA_S3TC_DXT5_EXT) return squish::kDxt5;
    return squish::kDxt1;
}

struct level {
    int w, h;
    size_t offset;
};

std::vector<level> levels_of(const TEX_image_desc& d) {
    std::vector<level> out;
    size_t off = 0;
    for (int w = d.width, h = d.height;;) {
        out.push_back({w, h, off});
        off += static_cast<size_t>(squish::GetStorageRequirements(w, h, kind_of(d.format)));
        if ((w == 1 && h == 1) || !d.has_mipmaps) break;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    return out;
}

// Every level compressed one after the other: random pixels (DXT1 gets a few holes), or with
// smooth set a vertical grey ramp.
std::vector<uint8_t> compressed_chain(const TEX_image_desc& d, unsigned seed, bool smooth = false) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(static_cast<size_t>(TEX_bytes_needed_for_image(d)));
    for (const level& l : levels_of(d)) {
        std::vector<uint8_t> rgba(static_cast<size_t>(l.w) * l.h * 4);
        for (size_t i = 0; i < rgba.size(); ++i)
            rgba[i] = smooth ? static_cast<uint8_t>(i / (l.w * 4) * 255 / std::max(1, l.h - 1))
                             : static_cast<uint8_t>(rng());
        if (kind_of(d.format) == squish::kDxt1)
            for (size_t i = 3; i < rgba.size(); i += 4) rgba[i] = rng() % 8 ? 255 : 0;
        squish::CompressImage(rgba.data(), l.w, l.h, out.data() + l.offset, kind_of(d.format));
    }
    return out;
}

std::vector<uint8_t> decode(const TEX_image_desc& d, const level& l, const uint8_t* chain) {
    std::vector<uint8_t> rgba(static_cast<size_t>(l.w) * l.h * 4);
    squish::DecompressImage(rgba.data(), l.w, l.h, chain + l.offset, kind_of(d.format));
    return rgba;
}

std::vector<uint8_t> upside_down(const std::vector<uint8_t>& rgba, int w, int h) {
    std::vector<uint8_t> out(rgba.size());
    for (int y = 0; y < h; ++y)
        std::memcpy(&out[static_cast<size_t>(y) * w * 4], &rgba[static_cast<size_t>(h - 1 - y) * w * 4], w * 4);
    return out;
}

void put565(uint8_t* p, uint16_t c) {
    p[0] = static_cast<uint8_t>(c);
    p[1] = static_cast<uint8_t>(c >> 8);
}
}  // namespace

// Every level whose height is a multiple of 4 (with an odd block-row count too), 2 or 1 decodes
// to the original picture upside down, bit for bit.
TEST(TexFlip, DxtLevelsDecodeUpsideDown) {
    const TEX_image_desc cases[] = {
        {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 8, 0, 0},    {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 4, 12, 0, 0},
        {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 8, 8, 0, 0},   {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 2, 0, 0},
        {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 4, 1, 0, 0},   {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 16, 16, 0, 1},
        {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 12, 8, 0, 1},  {GL_COMPRESSED_RGBA_S3TC_DXT1_EXT, 2, 8, 0, 1},
    };
    unsigned seed = 1;
    for (const TEX_image_desc& d : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << d.format << std::dec << " " << d.width << "x" << d.height);
        const std::vector<uint8_t> original = compressed_chain(d, seed++);
        std::vector<uint8_t> data = original;
        TEX_flip_y(d, data.data());
        for (const level& l : levels_of(d)) {
            SCOPED_TRACE(testing::Message() << "level " << l.w << "x" << l.h);
            EXPECT_EQ(decode(d, l, data.data()), upside_down(decode(d, l, original.data()), l.w, l.h));
        }
    }
}

// Other heights end in a partial block row: encoded again, the ramp runs the other way.
TEST(TexFlip, PartialBlockRowsAreEncodedAgain) {
    for (const TEX_image_desc& d : {TEX_image_desc{GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 8, 6, 0, 0},
                                    TEX_image_desc{GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, 12, 20, 0, 1}}) {
        const std::vector<uint8_t> original = compressed_chain(d, 0, true);
        std::vector<uint8_t> data = original;
        TEX_flip_y(d, data.data());
        for (const level& l : levels_of(d)) {
            const std::vector<uint8_t> got = decode(d, l, data.data());
            const std::vector<uint8_t> want = upside_down(decode(d, l, original.data()), l.w, l.h);
            for (size_t i = 0; i < got.size(); ++i)
                ASSERT_NEAR(got[i], want[i], 12) << d.width << "x" << d.height << " level " << l.w << "x" << l.h;
        }
    }
}

TEST(TexFlip, UncompressedRowsSwapWithTheirPadding) {
    unsigned char rgb[3 * 5] = {'A', 'A', 'A', 'a', 'a', 'B', 'B', 'B', 'b', 'b', 'C', 'C', 'C', 'c', 'c'};
    EXPECT_EQ(TEX_flip_y({GL_RGB, 1, 3, 2, 0}, rgb), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(rgb), sizeof rgb), "CCCccBBBbbAAAaa");

    // BGRA with mips: 2x2 then 1x1; the second level stays.
    unsigned char bgra[20] = {1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 9, 9, 9, 9};
    TEX_flip_y({GL_BGRA, 2, 2, 0, 1}, bgra);
    EXPECT_EQ(bgra[0], 3);
    EXPECT_EQ(bgra[12], 2);
    EXPECT_EQ(bgra[16], 9);
}

TEST(TexFlip, Dxt1TransparencyFinding) {
    std::vector<uint8_t> img(static_cast<size_t>(TEX_bytes_needed_for_image({GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 16, 16, 0, 0})));
    std::mt19937 rng(7);
    for (size_t b = 0; b < img.size(); b += 8) {
        put565(&img[b], 0xF000);  // four-colour mode: every index is a colour
        put565(&img[b + 2], 0x0800);
        for (int i = 4; i < 8; ++i) img[b + i] = static_cast<uint8_t>(rng());
    }
    const TEX_image_desc d{GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 16, 16, 0, 0};
    std::vector<uint8_t> copy = img;
    EXPECT_EQ(TEX_flip_y(d, copy.data()), 0);

    put565(&img[8], 0x1234);  // second block of the top row: c0 = c1, one index 3
    put565(&img[10], 0x1234);
    img[12] = 0, img[13] = 0x30, img[14] = 0, img[15] = 0;
    copy = img;
    EXPECT_EQ(TEX_flip_y(d, copy.data()), 1);

    // A single block row (the middle one) is looked at too.
    EXPECT_EQ(TEX_flip_y({GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 4, 4, 0, 0}, img.data() + 8), 1);
    // Index 3 only in the unused pixels of a 2 x 2 level is no transparency.
    uint8_t small[8] = {0x34, 0x12, 0x34, 0x12, 0xF0, 0xF0, 0xFF, 0xFF};
    EXPECT_EQ(TEX_flip_y({GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 2, 2, 0, 0}, small), 0);
    small[5] = 0xF3;
    EXPECT_EQ(TEX_flip_y({GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 2, 2, 0, 0}, small), 1);
    EXPECT_EQ(TEX_flip_y({GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 4, 1, 0, 0}, small), 1);
    // 6 x 4: the second block holds two columns; index 3 beyond them does not count.
    uint8_t pair[16] = {0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0x34, 0x12, 0x34, 0x12, 0xF0, 0xF0, 0xF0, 0xF0};
    EXPECT_EQ(TEX_flip_y({GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 6, 4, 0, 0}, pair), 0);
}

TEST(TexFlip, Color565Steps) {
    unsigned short c = 0xFFFF;
    EXPECT_EQ(IncColor565(c), 0);
    EXPECT_EQ(c, 0xFFFF);
    c = 0x07E0;
    EXPECT_EQ(IncColor565(c), 1);
    EXPECT_EQ(c, 0x07E1);
    c = 0x0000;
    EXPECT_EQ(IncColor565(c), 1);
    EXPECT_EQ(c, 0x0020);
    EXPECT_EQ(DecColor565(c), 1);
    EXPECT_EQ(DecColor565(c), 0);
    c = 0xF800;
    EXPECT_EQ(DecColor565(c), 1);
    EXPECT_EQ(c, 0xF000);
}

class TexFlipGamma : public testing::Test {
protected:
    void SetUp() override { std::memcpy(saved_, colr.gamma_table, sizeof saved_); }
    void TearDown() override {
        std::memcpy(colr.gamma_table, saved_, sizeof saved_);
        colr.use_gamma_table = 0;
    }
    unsigned char saved_[256];
};

TEST_F(TexFlipGamma, CorrectionKeepsEachBlocksMode) {
    for (unsigned char fill : {0, 128, 255}) {
        for (int i = 0; i < 256; ++i) colr.gamma_table[i] = fill == 0 ? static_cast<unsigned char>(255 - i) : fill;
        std::mt19937 rng(fill);
        for (int n = 0; n < 200; ++n) {
            DXTColBlock b;
            const uint16_t c0 = static_cast<uint16_t>(rng()), c1 = static_cast<uint16_t>(rng());
            put565(b.col0, c0);
            put565(b.col1, n % 5 ? c1 : c0);
            for (uint8_t& r : b.row) r = static_cast<uint8_t>(rng());
            const bool three_colour = (b.col0[0] | b.col0[1] << 8) <= (b.col1[0] | b.col1[1] << 8);
            nv_gamma_correct(&b);
            EXPECT_EQ((b.col0[0] | b.col0[1] << 8) <= (b.col1[0] | b.col1[1] << 8), three_colour);
        }
    }
}

// With the switch on each block is corrected exactly once, whichever way its level is flipped:
// an inverting table gives the inverted picture.
TEST_F(TexFlipGamma, FlipCorrectsEveryBlockOnce) {
    for (int i = 0; i < 256; ++i) colr.gamma_table[i] = static_cast<unsigned char>(255 - i);
    colr.use_gamma_table = 1;
    for (const TEX_image_desc& d : {TEX_image_desc{GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 12, 0, 0},
                                    TEX_image_desc{GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 8, 2, 0, 0}}) {
        std::vector<uint8_t> data(static_cast<size_t>(TEX_bytes_needed_for_image(d)));
        std::vector<uint8_t> rgba(static_cast<size_t>(d.width) * d.height * 4);
        std::mt19937 rng(3);
        for (size_t i = 0; i < rgba.size(); ++i) rgba[i] = i % 4 == 3 ? 255 : static_cast<uint8_t>(rng());
        squish::CompressImage(rgba.data(), d.width, d.height, data.data(), squish::kDxt1);
        const level l{d.width, d.height, 0};
        const std::vector<uint8_t> want = upside_down(decode(d, l, data.data()), d.width, d.height);
        TEX_flip_y(d, data.data());
        const std::vector<uint8_t> got = decode(d, l, data.data());
        for (size_t i = 0; i < got.size(); ++i)
            if (i % 4 != 3) {
                ASSERT_NEAR(got[i], 255 - want[i], 2) << d.height << " byte " << i;
            }
    }
}

TEST(TexFlipDeath, OtherFormatsAreFatal) {
    unsigned char px[16] = {};
    EXPECT_EXIT(TEX_flip_y({GL_DEPTH_COMPONENT, 2, 2, 0, 0}, px), testing::ExitedWithCode(1),
                "Illegal format!.*TEX/TEX_utils line 441");
}

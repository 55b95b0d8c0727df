#include "graphics/image_buffer.h"

#include <gtest/gtest.h>

#include <vector>

TEST(TexImage, BytesNeeded) {
    EXPECT_EQ(TEX_bytes_needed_for_image({GL_RGB, 300, 200, 212, 0}), 222400);
    EXPECT_EQ(TEX_bytes_needed_for_image({GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 4, 4, 0, 1}), 24);
    EXPECT_EQ(TEX_bytes_needed_for_image({GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 6, 2, 0, 0}), 32);
    // 256x64 down to 4x1, 2x1 and 1x1: nine levels.
    EXPECT_EQ(TEX_bytes_needed_for_image({GL_RGBA, 256, 64, 0, 1}),
              4 * (16384 + 4096 + 1024 + 256 + 64 + 16 + 4 + 2 + 1));
    EXPECT_EQ(TEX_bytes_needed_for_image({GL_ALPHA, 3, 2, 1, 0}), 8);
    EXPECT_EQ(TEX_bytes_needed_for_image({GL_DEPTH_COMPONENT, 3, 2, 9, 0}), 24);
    EXPECT_EQ(TEX_bytes_needed_for_image({0x1909 /* GL_LUMINANCE */, 4, 4, 0, 0}), 0);
    EXPECT_EQ(TEX_bytes_needed_for_image({GL_RGBA, 0, 4, 0, 1}), 0);
    // 64-bit: past what an int holds.
    EXPECT_EQ(TEX_bytes_needed_for_image({GL_RGBA, 65536, 65536, 0, 0}), int64_t{1} << 34);
}

TEST(TexImage, DownscaleIsABoxFilterDividedByThePowerOfTwo) {
    unsigned char a[16] = {0, 2, 10, 20, 4, 6, 30, 41, 100, 100, 7, 7, 101, 100, 7, 8};
    TEX_image_desc d{GL_ALPHA, 4, 4, 0, 0};
    TEX_downscale(d, a, 2, 2);
    EXPECT_EQ(d.width, 2);
    EXPECT_EQ(d.height, 2);
    EXPECT_EQ(std::vector<int>(a, a + 4), (std::vector<int>{3, 25, 100, 7}));

    unsigned char b[3] = {10, 20, 31};
    TEX_image_desc e{GL_ALPHA, 3, 1, 0, 0};
    TEX_downscale(e, b, 3, 1);
    EXPECT_EQ(b[0], (10 + 20 + 31) / 4);

    // RGB rows with padding keep their padding; the new rows lie one after the other.
    unsigned char c[2 * (6 + 2)] = {10, 20, 30, 30, 40, 50, 9, 9, 50, 60, 70, 70, 80, 90, 9, 9};
    TEX_image_desc f{GL_RGB, 2, 2, 2, 0};
    TEX_downscale(f, c, 2, 2);
    EXPECT_EQ(std::vector<int>(c, c + 3), (std::vector<int>{40, 50, 60}));
}

TEST(TexImage, ChromaKeyIsStrict) {
    unsigned char px[8] = {255, 0, 255, 200, 255, 1, 255, 200};
    TEX_image_desc d{GL_RGBA, 2, 1, 0, 0};
    unsigned char key[3] = {255, 0, 255};
    TEX_chroma_key(d, px, key, 0);
    EXPECT_EQ(px[3], 200);
    TEX_chroma_key(d, px, key, 1);
    EXPECT_EQ(px[3], 0);
    EXPECT_EQ(px[7], 200);
}

TEST(TexImage, CompositeCopiesOneToOneAndBlendsHalfPixels) {
    const unsigned char src[12] = {10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 110, 120};
    TEX_image_desc sd{GL_RGB, 2, 2, 0, 0}, dd{GL_RGB, 4, 3, 0, 0};
    std::vector<unsigned char> dst(36, 200);
    TEX_composite(sd, dd, const_cast<unsigned char*>(src), dst.data(), 0, 0, 2, 2);
    EXPECT_EQ(std::vector<unsigned char>(dst.begin(), dst.begin() + 6), std::vector<unsigned char>(src, src + 6));
    EXPECT_EQ(std::vector<unsigned char>(dst.begin() + 12, dst.begin() + 18),
              std::vector<unsigned char>(src + 6, src + 12));
    EXPECT_EQ(dst[6], 200);
    EXPECT_EQ(dst[24], 200);

    std::fill(dst.begin(), dst.end(), 200);
    TEX_composite(sd, dd, const_cast<unsigned char*>(src), dst.data(), 0.5f, 0, 2.5f, 2);
    EXPECT_EQ(dst[0], (200 + 10) / 2);      // half old, half source column 0
    EXPECT_EQ(dst[3], (10 + 40) / 2);       // mean of the two source columns
    EXPECT_EQ(dst[6], (200 + 40) / 2);      // half old, half source column 1
    EXPECT_EQ(dst[9], 200);

    // A fully transparent source changes no colour and adds nothing to the alpha.
    unsigned char clear[16] = {255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0, 255, 255, 255, 0};
    std::vector<unsigned char> rgba(4 * 4 * 4, 77);
    TEX_image_desc cs{GL_RGBA, 2, 2, 0, 0}, cd{GL_RGBA, 4, 4, 0, 0};
    TEX_composite(cs, cd, clear, rgba.data(), 0.3f, 0.7f, 3.1f, 3.9f);
    EXPECT_EQ(rgba, std::vector<unsigned char>(4 * 4 * 4, 77));
}

TEST(TexImage, RowLayoutRefusesWhatDoesNotFit) {
    unsigned char* data = nullptr;
    TEX_image_desc d{GL_RGB, 300, 200, 0, 0};
    ASSERT_TRUE(TEX_prepare_rows(d, 3, 0, 1, data, 1 << 20));
    EXPECT_EQ(d.pad, 3 * 212);
    for (int i = 0; i < 256 * 512 * 3; ++i) ASSERT_EQ(data[i], 0) << i;
    std::free(data);

    unsigned char buf[16];
    unsigned char* p = buf;
    TEX_image_desc e{GL_RGBA, 1000, 1, 0, 0};
    EXPECT_FALSE(TEX_prepare_rows(e, 4, 999, 0, p, 1 << 20));  // pad_to below the width
    EXPECT_FALSE(TEX_prepare_rows(e, 4, 0, 0, p, sizeof buf));  // larger than the buffer
    EXPECT_EQ(p, buf);
    ASSERT_TRUE(TEX_prepare_rows(e, 4, 2048, 0, p, 8192));
    EXPECT_EQ(e.pad, 4192);
    // Row padding past what the descriptor's 32 bits hold.
    TEX_image_desc huge{GL_RGBA, (1 << 30) + 1, 1, 0, 0};
    unsigned char* none = nullptr;
    EXPECT_FALSE(TEX_prepare_rows(huge, 4, 0, 1, none, SIZE_MAX));
    EXPECT_EQ(none, nullptr);
}

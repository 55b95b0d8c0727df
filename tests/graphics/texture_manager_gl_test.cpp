// The texture manager on the test GL context: uploads, filters, wraps, replacement in place,
// mipmaps, bleeding, binding and unloading. This program counts the two upload calls by
// defining them itself and forwarding to the GL library's own.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "common/gl_test_context.h"
#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/window_state.h"
#include "graphics/dds_codec.h"
#include "graphics/gl_capabilities.h"
#include "graphics/png_codec.h"
#include "graphics/scratch_buffers.h"
#include "graphics/texture_manager.h"

namespace {
int tex_image_calls = 0, tex_sub_image_calls = 0;
}

extern "C" {
void glTexImage2D(GLenum target, GLint level, GLint internal, GLsizei w, GLsizei h, GLint border, GLenum format,
                  GLenum type, const void* pixels) {
    ++tex_image_calls;
    reinterpret_cast<void (*)(GLenum, GLint, GLint, GLsizei, GLsizei, GLint, GLenum, GLenum, const void*)>(
        aglGetProcAddress("glTexImage2D"))(target, level, internal, w, h, border, format, type, pixels);
}
void glTexSubImage2D(GLenum target, GLint level, GLint x, GLint y, GLsizei w, GLsizei h, GLenum format, GLenum type,
                     const void* pixels) {
    ++tex_sub_image_calls;
    reinterpret_cast<void (*)(GLenum, GLint, GLint, GLint, GLsizei, GLsizei, GLenum, GLenum, const void*)>(
        aglGetProcAddress("glTexSubImage2D"))(target, level, x, y, w, h, format, type, pixels);
}
}

namespace {
class TmanGl : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_test_context());
        reset_recorders();
        mnw.tex_level = 5;
        tex_image_calls = tex_sub_image_calls = 0;
    }
    // Loads an image of w x h pixels of one colour from the scratch buffer.
    int from_scratch(tman_class& t, int ref, int flags, int w, int h, unsigned char value = 200) {
        const int bpp = (flags & 7) == 2 ? 4 : 3;
        std::memset(scratch_array, value, static_cast<size_t>(TEX_next_pow2(w)) * TEX_next_pow2(h) * bpp);
        scratch_dx = w;
        scratch_dy = h;
        return t.load_texture(tex_fail_fatal, ref, flags, tex_loaded, "scratch_array:hardwired textures");
    }
    static GLint level_param(int ref, int level, GLenum what) {
        glBindTexture(GL_TEXTURE_2D, ref);
        GLint v = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, what, &v);
        return v;
    }
    static GLint param(int ref, GLenum what) {
        glBindTexture(GL_TEXTURE_2D, ref);
        GLint v = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, what, &v);
        return v;
    }
    static std::vector<unsigned char> pixels(int ref, int w, int h) {
        std::vector<unsigned char> out(static_cast<size_t>(w) * h * 4);
        glBindTexture(GL_TEXTURE_2D, ref);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    temp_folder dir;
};

// A DXT1 file of w x h pixels, its bottom half blue and its top half red.
int save_blue_under_red_dds(const std::string& path, int w, int h) {
    std::vector<unsigned char> rgb(static_cast<size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) rgb[(static_cast<size_t>(y) * w + x) * 3 + (y < h / 2 ? 2 : 0)] = 255;
    return TEX_save_dds(path, rgb.data(), {GL_RGB, w, h, 0, 0});
}
}  // namespace

TEST_F(TmanGl, BuiltInImagesFromTheScratchBuffer) {
    tman_class t;
    mnw.tex_level = 3;  // does not reduce what is already in the scratch buffer
    EXPECT_EQ(from_scratch(t, 395, 0x501, 800, 600), 395);
    const tman_class::ref_dat_struct& r = t.ref_dat[395];
    EXPECT_EQ(r.img_dx, 800);
    EXPECT_EQ(r.img_dy, 600);
    EXPECT_EQ(r.tex_dx, 1024);
    EXPECT_EQ(r.tex_dy, 1024);
    EXPECT_EQ(r.load_time, tex_loaded);
    EXPECT_EQ(r.tex, 395);
    EXPECT_EQ(level_param(395, 0, GL_TEXTURE_WIDTH), 1024);
    from_scratch(t, 393, 0x502, 1024, 70);
    from_scratch(t, 394, 0x502, 504, 504);
    from_scratch(t, 392, 0x502, 512, 512);
    EXPECT_EQ(t.ref_dat.size(), 396u);
    EXPECT_EQ(t.total_texes(), 4);
    EXPECT_EQ(t.loaded_texes(), 4);
    // The atlas is filtered nearest, the others linear; 0x11 clamps both ways, 0x21 only S.
    EXPECT_EQ(param(392, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(param(392, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    EXPECT_EQ(param(393, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    from_scratch(t, 419, 1, 4, 4);
    from_scratch(t, 425, 1, 4, 4);
    EXPECT_EQ(param(419, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    EXPECT_EQ(param(425, GL_TEXTURE_MAG_FILTER), GL_NEAREST);
    from_scratch(t, 600, 0x11, 4, 4);
    from_scratch(t, 601, 0x21, 4, 4);
    EXPECT_EQ(param(600, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(param(600, GL_TEXTURE_WRAP_T), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(param(601, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(param(601, GL_TEXTURE_WRAP_T), GL_REPEAT);

    // The same shape again is written in place and counted once.
    tex_image_calls = tex_sub_image_calls = 0;
    from_scratch(t, 394, 0x502, 504, 504, 10);
    EXPECT_EQ(tex_sub_image_calls, 1);
    EXPECT_EQ(tex_image_calls, 0);
    EXPECT_EQ(t.loaded_texes(), 8);
    EXPECT_EQ(pixels(394, 512, 512)[0], 10);
    from_scratch(t, 394, 0x502, 600, 504, 10);  // another shape: made anew
    EXPECT_EQ(tex_image_calls, 1);
}

TEST_F(TmanGl, FilesGetPowerOfTwoTexturesAndSoftwareMipmaps) {
    tman_class t;
    std::vector<unsigned char> px(300 * 200 * 3);
    for (size_t i = 0; i < px.size(); i += 3) px[i] = 90, px[i + 1] = 30, px[i + 2] = 200;
    ASSERT_EQ(TEX_save_png(dir / "p.png", {GL_RGB, 300, 200, 0, 0}, px.data()), 1);
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 700, 1, tex_loaded, dir / "p.png"), 700);
    EXPECT_EQ(level_param(700, 0, GL_TEXTURE_WIDTH), 512);
    EXPECT_EQ(level_param(700, 0, GL_TEXTURE_HEIGHT), 256);
    EXPECT_EQ(t.ref_dat[700].img_dx, 300);

    ASSERT_EQ(t.load_texture(tex_fail_fatal, 701, 0x2001, tex_loaded, dir / "p.png"), 701);
    EXPECT_EQ(level_param(701, 0, GL_TEXTURE_WIDTH), 300);

    const int saved = glExt.automini_avail;
    glExt.automini_avail = 0;
    tex_image_calls = 0;
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 702, 0x09, tex_loaded, dir / "p.png"), 702);
    glExt.automini_avail = saved;
    EXPECT_EQ(tex_image_calls, 10);  // 512 x 256 down to 1 x 1
    EXPECT_EQ(level_param(702, 9, GL_TEXTURE_WIDTH), 1);
    std::vector<unsigned char> half(256 * 128 * 4);
    glGetTexImage(GL_TEXTURE_2D, 1, GL_RGBA, GL_UNSIGNED_BYTE, half.data());
    EXPECT_EQ(std::vector<unsigned char>(&half[(10 * 256 + 10) * 4], &half[(10 * 256 + 10) * 4 + 3]),
              (std::vector<unsigned char>{90, 30, 200}));
    EXPECT_EQ(param(702, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(t.ref_dat[702].vram_bytes, static_cast<int>(1.33f * 512 * 256 * 3));
}

// A DDS chain goes up as it is stored, level by level, bottom row first.
TEST_F(TmanGl, CompressedChains) {
    tman_class t;
    ASSERT_EQ(save_blue_under_red_dds(dir / "c.dds", 16, 16), 1);
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 730, 0x09, tex_loaded, dir / "c.png"), 730);
    EXPECT_EQ(level_param(730, 0, GL_TEXTURE_COMPRESSED_ARB), 1);
    EXPECT_EQ(level_param(730, 4, GL_TEXTURE_WIDTH), 1);
    EXPECT_EQ(t.ref_dat[730].gl_format, GL_COMPRESSED_RGB_S3TC_DXT1_EXT);
    EXPECT_EQ(t.ref_dat[730].vram_bytes, static_cast<int>(1.33f * 128));
    const std::vector<unsigned char> got = pixels(730, 16, 16);
    EXPECT_EQ(got[2], 255);                  // bottom row blue
    EXPECT_EQ(got[15 * 16 * 4 + 0], 255);    // top row red
}

TEST_F(TmanGl, TransparentPixelsTakeTheirNeighboursColour) {
    tman_class t;
    std::vector<unsigned char> px(8 * 8 * 4, 0);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 3; ++x) {
            unsigned char* p = &px[(y * 8 + x) * 4];
            p[0] = 255, p[3] = 255;
        }
    ASSERT_EQ(TEX_save_png(dir / "edge.png", {GL_RGBA, 8, 8, 0, 0}, px.data()), 1);
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 710, 2, tex_loaded, dir / "edge.png"), 710);
    const std::vector<unsigned char> got = pixels(710, 8, 8);
    EXPECT_EQ(got[(3 * 8 + 4) * 4 + 0], 255);  // two pixels from the red: red, still clear
    EXPECT_EQ(got[(3 * 8 + 4) * 4 + 3], 0);
    EXPECT_EQ(got[(3 * 8 + 5) * 4 + 0], 0);  // three away: untouched
}

// Unloading forgets the binding, so a later load of the same ref reaches its own texture.
TEST_F(TmanGl, PurgedRefsLoadAgainIntoTheirOwnTexture) {
    tman_class t;
    std::vector<unsigned char> px(4 * 4 * 3, 0);
    for (size_t i = 0; i < px.size(); i += 3) px[i] = 255;
    ASSERT_EQ(TEX_save_png(dir / "a.png", {GL_RGB, 4, 4, 0, 0}, px.data()), 1);
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 0, 1, tex_loaded, dir / "a.png"), 1135);
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 0, 1, tex_loaded, dir / "a.png"), 1135);
    t.bind_ref(1135, 0, 0);
    t.release_texture(1135);
    t.release_texture(1135);
    t.purge_unused_texes();
    EXPECT_FALSE(glIsTexture(1135));
    EXPECT_EQ(t.loaded_texes(), 0);

    for (size_t i = 0; i < px.size(); i += 3) px[i] = 0, px[i + 2] = 255;
    ASSERT_EQ(TEX_save_png(dir / "a.png", {GL_RGB, 4, 4, 0, 0}, px.data()), 1);
    EXPECT_EQ(t.load_texture(tex_fail_fatal, 0, 1, tex_loaded, dir / "a.png"), 1135);
    ASSERT_TRUE(glIsTexture(1135));
    EXPECT_EQ(pixels(1135, 4, 4)[2], 255);
}

TEST_F(TmanGl, DeferredAndFailedRecordsShowThePlaceholder) {
    tman_class t;
    from_scratch(t, 930, 2, 4, 4);
    from_scratch(t, 720, 2, 4, 4);
    t.ref_dat[720].load_time = tex_deferred;
    t.reset_bind();
    t.bind_ref(720, 0, 0);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 930);

    EXPECT_EQ(t.load_texture(tex_fail_quiet, 721, 2, tex_loaded, dir / "missing.png"), 0);
    EXPECT_EQ(t.ref_dat[721].tex, 930);
    EXPECT_EQ(t.ref_dat[721].tex_dx, 4);
    const int total = t.total_texes(), loaded = t.loaded_texes();
    t.unload_texture(721);
    EXPECT_TRUE(glIsTexture(930));
    EXPECT_EQ(t.total_texes(), total - 1);
    EXPECT_EQ(t.loaded_texes(), loaded);
}

namespace {
// An uncompressed DDS file of w x h BGRA pixels with every level down to 1 x 1, stored top row
// first. Pixel (x, t) of level l, t counted from the top, is R = 16 l + 1, G = x, B = t (mod 251).
std::string bgra_dds(int w, int h) {
    std::string f(128, '\0');
    auto put = [&](int at, int v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
    };
    f.replace(0, 4, "DDS ");
    put(4, 124);
    put(8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x20000);
    put(12, h), put(16, w);
    put(76, 32), put(80, 0x41), put(88, 32);  // RGB with alpha, 32 bits
    put(108, 0x1008 | 0x400000);
    for (int l = 0;; ++l) {
        for (int t = 0; t < h; ++t)
            for (int x = 0; x < w; ++x) {
                const char px[4] = {static_cast<char>(t % 251), static_cast<char>(x % 251),
                                    static_cast<char>(16 * l + 1), static_cast<char>(255)};
                f.append(px, 4);
            }
        if (w == 1 && h == 1) return f;
        w = std::max(1, w / 2), h = std::max(1, h / 2);
    }
}

struct level_image {
    int w, h;
    std::vector<unsigned char> rgba;
    const unsigned char* at(int x, int y) const { return &rgba[(static_cast<size_t>(y) * w + x) * 4]; }
};
level_image read_level(int ref, int level) {
    glBindTexture(GL_TEXTURE_2D, ref);
    level_image l{};
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &l.w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &l.h);
    l.rgba.resize(static_cast<size_t>(l.w) * l.h * 4);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, l.rgba.data());
    return l;
}
}  // namespace

// A chain whose sides are not powers of two goes up at the texture's rounded size: each level in
// the bottom left corner of its texture level, upright, the rest clear; the texture's extra last
// level repeats the file's last. Nothing of what the buffer held before shows.
TEST_F(TmanGl, UncompressedChainOfOddSidesIsPaddedLevelByLevel) {
    tman_class t;
    write_file(dir / "odd.dds", bgra_dds(300, 200));
    std::memset(scratch_array_temp, 0xAB, scratch_bytes);
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 740, 2, tex_loaded, dir / "odd.png"), 740);
    EXPECT_EQ(t.ref_dat[740].img_dx, 300);
    EXPECT_EQ(t.ref_dat[740].tex_dx, 512);
    int w = 300, h = 200;
    for (int level = 0; level <= 9; ++level) {
        SCOPED_TRACE(level);
        const level_image got = read_level(740, level);
        ASSERT_EQ(got.w, std::max(1, 512 >> level));
        ASSERT_EQ(got.h, std::max(1, 256 >> level));
        const int file_level = std::min(level, 8);  // the file's chain ends one level sooner
        int bad = 0;
        for (int y = 0; y < got.h; ++y)
            for (int x = 0; x < got.w; ++x) {
                const unsigned char* p = got.at(x, y);
                const bool inside = x < w && y < h;
                const unsigned char want[4] = {
                    static_cast<unsigned char>(inside ? 16 * file_level + 1 : 0),
                    static_cast<unsigned char>(inside ? x % 251 : 0),
                    static_cast<unsigned char>(inside ? (h - 1 - y) % 251 : 0),
                    static_cast<unsigned char>(inside ? 255 : 0)};
                bad += std::memcmp(p, want, 4) != 0;
            }
        EXPECT_EQ(bad, 0);
        w = std::max(1, w / 2), h = std::max(1, h / 2);
    }
}

TEST_F(TmanGl, CompressedChainOfOddSidesIsPaddedWithClearBlocks) {
    tman_class t;
    ASSERT_EQ(save_blue_under_red_dds(dir / "odd.dds", 300, 200), 1);
    std::memset(scratch_array_temp, 0xAB, scratch_bytes);
    ASSERT_EQ(t.load_texture(tex_fail_fatal, 741, 1, tex_loaded, dir / "odd.png"), 741);
    EXPECT_EQ(t.ref_dat[741].gl_format, GL_COMPRESSED_RGB_S3TC_DXT1_EXT);
    EXPECT_EQ(level_param(741, 9, GL_TEXTURE_WIDTH), 1);
    const level_image top = read_level(741, 0);
    ASSERT_EQ(top.w, 512);
    ASSERT_EQ(top.h, 256);
    using rgb_t = std::vector<int>;
    auto colour = [](const level_image& l, int x, int y) { return rgb_t{l.at(x, y)[0], l.at(x, y)[1], l.at(x, y)[2]}; };
    const rgb_t blue{0, 0, 255}, red{255, 0, 0}, clear{0, 0, 0};
    EXPECT_EQ(colour(top, 0, 0), blue);
    EXPECT_EQ(colour(top, 299, 99), blue);
    EXPECT_EQ(colour(top, 150, 100), red);
    EXPECT_EQ(colour(top, 299, 199), red);
    int stray = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x)
            if (x >= 300 || y >= 200) stray += colour(top, x, y) != clear;
    EXPECT_EQ(stray, 0);
    const level_image half = read_level(741, 1);
    EXPECT_EQ(colour(half, 10, 10), blue);
    EXPECT_EQ(colour(half, 140, 90), red);
    EXPECT_EQ(colour(half, 200, 10), clear);
    EXPECT_EQ(colour(half, 10, 110), clear);
}

// The one check before an upload: data that holds fewer bytes than the upload reads is a failed
// load, whatever stage let it through.
TEST_F(TmanGl, AnUploadNeverReadsPastTheBytesTheDataHolds) {
    struct row {
        int format, bpp, w, h, mips;
        int64_t bytes;
    };
    const row rows[] = {
        {GL_RGBA, 4, 64, 64, 0, 64 * 64 * 4},
        {GL_RGB, 3, 3, 5, 0, 45},  // rows unaligned
        {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, 3, 16, 16, 1, 128 + 32 + 8 + 8 + 8},
        {GL_BGRA, 4, 4, 2, 1, 32 + 8 + 4},
        {GL_DEPTH_COMPONENT, 1, 8, 8, 0, 64},  // one byte a pixel as it goes up
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.format);
        tman_class t;
        t.ref_dat.resize(751);
        tex_load_vars v;
        v.fail_mode = tex_fail_scene;
        v.ref = 750;
        v.flags = tex_any_size | 1;
        v.gl_format = r.format;
        v.bpp = static_cast<char>(r.bpp);
        v.has_mips = r.mips;
        v.img_dx = v.tex_dx = r.w;
        v.img_dy = v.tex_dy = r.h;
        v.name = "short.dds";
        v.data = scratch_array_temp;
        EXPECT_EQ(tex_upload_bytes(v), r.bytes);
        v.data_bytes = r.bytes - 1;
        log_capture log;
        EXPECT_EQ(t.load_texture_ogl(&v, 2), 0);
        EXPECT_EQ(t.ref_dat[750].tex, tex_placeholder_ref);
        EXPECT_EQ(t.has_scene_load_fail(), 1);
        EXPECT_NE(log.text().find("WARNING: the texture short.dds holds " + std::to_string(r.bytes - 1) +
                                  " bytes where its upload reads " + std::to_string(r.bytes) + ".\n"),
                  std::string::npos);
        v.data_bytes = r.bytes;
        EXPECT_EQ(t.load_texture_ogl(&v, 2), 750);
    }
}

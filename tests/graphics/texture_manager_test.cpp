// The texture manager's bookkeeping, scaling and file stage, without GL: failed loads never
// reach an upload.
#include "graphics/texture_manager.h"

#include <gtest/gtest.h>
#include <omp.h>
#include <png.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/command_line.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "files/versioned_file.h"
#include "graphics/dds_codec.h"
#include "graphics/gl_capabilities.h"
#include "graphics/png_codec.h"
#include "graphics/scratch_buffers.h"

namespace {
class Tman : public testing::Test {
protected:
    void SetUp() override {
        reset_recorders();
        mnw.tex_level = 5;
        glExt.max_tex_size = 4096;
    }
    temp_folder dir;
};

struct scale {
    int img_dx, img_dy, tex_dx, tex_dy;
    double s;
};
scale get_scale(int flags, int dx, int dy, int source = 2) {
    scale r{};
    r.s = TEX_get_scale("x", 1, flags, dx, dy, &r.img_dx, &r.img_dy, &r.tex_dx, &r.tex_dy, source);
    return r;
}

// What the file stage gives.
struct loaded {
    int ok, format, mips;
    char bpp;
    int img_dx, img_dy, tex_dx, tex_dy;
    int64_t filled;
};

int missing(tman_class& t, int manual_ref, const std::string& name, tex_fail_mode mode = tex_fail_quiet) {
    return t.load_texture(mode, manual_ref, 2, tex_loaded, name);
}
}  // namespace

TEST_F(Tman, FreshManager) {
    tman_class t;
    EXPECT_EQ(t.total_texes(), 0);
    EXPECT_EQ(t.loaded_texes(), 0);
    mnw.x_res = 1024, mnw.y_res = 768, mnw.col_res = 32;
    EXPECT_EQ(t.tot_vram(), 3145728);
    t.ref_dat.resize(3);
    t.ref_dat[1].vram_bytes = 2000000000;
    t.ref_dat[2].vram_bytes = 2000000000;
    EXPECT_EQ(t.tot_vram(), 3145728 + 4000000000LL);

    const tman_class::ref_dat_struct r;
    EXPECT_EQ(r.name, "un-inited");
    EXPECT_EQ(r.load_time, tex_unloaded);
    EXPECT_EQ(r.fail_mode, tex_fail_fatal);
    EXPECT_EQ(r.ref_count, -1);
    EXPECT_EQ(r.gl_format, 0);
}

TEST_F(Tman, ScaleTable) {
    EXPECT_EQ(get_scale(0, 1024, 1024).tex_dx, 1024);
    mnw.tex_level = 3;
    EXPECT_EQ(get_scale(0, 1024, 1024).img_dx, 256);
    EXPECT_EQ(get_scale(0x100, 1024, 1024).tex_dx, 1024);
    EXPECT_EQ(get_scale(0x40, 1024, 1024).tex_dx, 512);
    EXPECT_EQ(get_scale(0x80, 1024, 1024).tex_dx, 128);
    EXPECT_EQ(get_scale(0, 1024, 1024, 1).tex_dx, 1024);  // pixels already in the scratch buffer
    mnw.tex_level = 0;
    scale s = get_scale(0, 16, 8);
    EXPECT_DOUBLE_EQ(s.s, 1.0 / 8);
    EXPECT_EQ(s.img_dx, 2);
    EXPECT_EQ(s.img_dy, 1);
    mnw.tex_level = 5;
    glExt.max_tex_size = 1024;
    s = get_scale(0, 2048, 512);
    EXPECT_EQ(s.tex_dx, 1024);
    EXPECT_EQ(s.tex_dy, 256);
    EXPECT_EQ(get_scale(0, 2048, 512, 1).tex_dx, 2048);
    glExt.max_tex_size = 0;  // before the probe: no limit, no endless halving
    EXPECT_EQ(get_scale(0, 2048, 512).tex_dx, 2048);
    s = get_scale(0, 300, 200);
    EXPECT_EQ(s.img_dx, 300);
    EXPECT_EQ(s.tex_dx, 512);
    EXPECT_EQ(s.tex_dy, 256);
    s = get_scale(0x2000, 300, 200);
    EXPECT_EQ(s.tex_dx, 300);
    EXPECT_EQ(s.tex_dy, 200);
    EXPECT_EXIT(get_scale(0, 4096, 4), testing::ExitedWithCode(1),
                "Trying to create a texture either less than 1 or greater than 2048! \\| x \\| value: \\| 4096");
}

// The smallest scale keeps one pixel of the shorter side, and a product a hair below a whole
// number (49 x 1/49) costs no pixel: a 49-pixel picture at the lowest resolution halved again.
TEST_F(Tman, ReducedSidesKeepWholePixels) {
    mnw.tex_level = 0;
    struct row {
        int dx, dy, img_dx, img_dy;
    };
    for (const row& r : {row{49, 49, 1, 1}, row{98, 49, 2, 1}, row{49, 147, 1, 3}, row{16, 8, 2, 1}}) {
        const scale s = get_scale(0x80, r.dx, r.dy);
        EXPECT_EQ(s.img_dx, r.img_dx) << r.dx << " x " << r.dy;
        EXPECT_EQ(s.img_dy, r.img_dy) << r.dx << " x " << r.dy;
        EXPECT_EQ(s.tex_dx, TEX_next_pow2(r.img_dx));
    }
    // Through the file stage: the picture shrinks to one pixel.
    std::vector<unsigned char> px(49 * 49 * 3, 120);
    ASSERT_EQ(TEX_save_png(dir / "small.png", {GL_RGB, 49, 49, 0, 0}, px.data()), 1);
    int format = 0, mips = 0, img_dx = 0, img_dy = 0, tex_dx = 0, tex_dy = 0;
    char bpp = 3;
    ASSERT_EQ(load_any_into_scratch(dir / "small.png", 1, 0x81, format, mips, bpp, 0, &img_dx, &img_dy, &tex_dx,
                                    &tex_dy),
              1);
    EXPECT_EQ(img_dx, 1);
    EXPECT_EQ(tex_dy, 1);
}

TEST_F(Tman, DynamicRefs) {
    tman_class t;
    EXPECT_EQ(missing(t, 0, "a.png"), 1135);
    EXPECT_EQ(t.ref_dat.size(), 1136u);
    EXPECT_EQ(missing(t, 0, "a.png"), 1135);
    EXPECT_EQ(t.ref_dat[1135].ref_count, 2);
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(missing(t, 0, "n" + std::to_string(i)), 1135 + i);
    EXPECT_EQ(t.total_texes(), 6);
    t.release_texture(1137);
    t.release_texture(1139);
    t.purge_unused_texes();
    EXPECT_EQ(t.total_texes(), 4);
    EXPECT_EQ(t.tex_hash.count("n2"), 0u);
    EXPECT_EQ(missing(t, 0, "new"), 1139);  // the highest free one
    // A failed load leaves the record in use, sharing the placeholder; a manual one answers 0.
    EXPECT_EQ(t.ref_dat[1139].tex, 930);
    EXPECT_NE(t.ref_dat[1139].gl_format, 0);
    EXPECT_EQ(missing(t, 7, "gone.png"), 0);
    EXPECT_EQ(t.loaded_texes(), 0);
    EXPECT_EQ(t.total_texes(), 6);
    t.unload_texture(7);
    EXPECT_EQ(t.total_texes(), 5);
    EXPECT_EQ(t.ref_dat[7].name, "un-inited");
    EXPECT_EQ(t.ref_dat[7].load_time, tex_unloaded);
}

TEST_F(Tman, SharedNamesKeepTheirIndexEntry) {
    tman_class t;
    missing(t, 10, "shared");
    missing(t, 11, "shared");
    t.unload_texture(11);
    ASSERT_EQ(t.tex_hash.count("shared"), 1u);
    EXPECT_EQ(t.tex_hash["shared"], 10);
    t.unload_texture(10);
    EXPECT_EQ(t.tex_hash.count("shared"), 0u);
}

TEST_F(Tman, FailureModes) {
    tman_class t;
    log_capture log;
    missing(t, 20, "dir/lost.png", tex_fail_scene);
    EXPECT_EQ(t.has_scene_load_fail(), 1);
    t.mute_scene_load_fail();
    missing(t, 21, "dir/lost2.png", tex_fail_scene);
    EXPECT_EQ(t.has_scene_load_fail(), 0);
    missing(t, 22, "quiet.png", tex_fail_quiet);
    missing(t, 24, "plane.png", tex_fail_plane);
    missing(t, 25, "instl.png", tex_fail_instl);
    EXPECT_EQ(t.plane_load_fail, 1);
    EXPECT_EQ(t.instl_load_fail, 1);
    EXPECT_NE(log.text().find("WARNING: we are missing the texture: dir/lost.png.\n"), std::string::npos);
    EXPECT_EQ(log.text().find("quiet.png"), std::string::npos);
    EXPECT_TRUE(recorded_alerts().empty());
    EXPECT_EXIT(missing(t, 23, "must.png", tex_fail_fatal), testing::ExitedWithCode(1),
                "Trying to load a texture that you do not have!.*must.png \\(OOPS_cpp/tman line 781\\)");
}

// A 1025 x 1025 BGRA chain goes up at 2048 x 2048, past the scratch buffer: refused like a
// missing file, by the caller's fail mode, and the fatal alert only for a caller that wants one.
TEST_F(Tman, AChainPastTheScratchBufferFailsAsItsCallerAsks) {
    std::string dds = "DDS ";
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) dds += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    for (uint32_t v : {124u, 0x21007u, 1025u, 1025u, 0u, 0u, 1u}) u32(v);
    dds.append(44, '\0');
    for (uint32_t v : {32u, 0x41u, 0u, 32u, 0u, 0u, 0u, 0u, 0x401008u, 0u, 0u, 0u, 0u}) u32(v);
    ASSERT_EQ(dds.size(), 128u);
    size_t chain = 0;
    for (int side = 1025;; side /= 2) {
        chain += 4u * side * side;
        if (side == 1) break;
    }
    dds.append(chain, '\x40');
    const std::string name = dir / "big.dds";
    write_file(name, dds);

    tman_class t;
    log_capture log;
    EXPECT_EQ(t.load_texture(tex_fail_quiet, 26, 2, tex_loaded, name), 0);
    EXPECT_EQ(log.text().find("big.dds"), std::string::npos);
    EXPECT_EQ(t.load_texture(tex_fail_scene, 27, 2, tex_loaded, name), 0);
    EXPECT_EQ(t.has_scene_load_fail(), 1);
    EXPECT_NE(log.text().find("WARNING: we are missing the texture: " + name + ".\n"), std::string::npos);
    EXPECT_TRUE(recorded_alerts().empty());
    EXPECT_EXIT(
        t.load_texture(tex_fail_fatal, 28, 2, tex_loaded, name), testing::ExitedWithCode(1),
        "larger than the scratch buffer! \\| .*big.dds \\| value: \\| 22369620 \\(OOPS_cpp/tman line 135\\)");
}

TEST_F(Tman, InvalidArgumentsAreFatal) {
    tman_class t;
    EXPECT_EXIT(t.load_texture(tex_fail_quiet, 1136, 2, tex_loaded, "x"), testing::ExitedWithCode(1),
                "Trying to bind too low or high a manual_ref! \\| x \\| value: \\| 1136");
    EXPECT_EXIT(t.load_texture(tex_fail_quiet, 5, 2, static_cast<tex_load_time>(103), "x"),
                testing::ExitedWithCode(1), "invalid texture load_time!.*103 \\(OOPS_cpp/tman line 131\\)");
    EXPECT_EXIT(t.load_texture(tex_fail_quiet, 5, 16384, tex_loaded, "x"), testing::ExitedWithCode(1),
                "invalid filter type!.*line 132");
    EXPECT_EXIT(t.load_texture(tex_fail_quiet, 5, 0x100, tex_loaded, "x"), testing::ExitedWithCode(1),
                "BAD color enum for tman.*line 708");
    missing(t, 1135, "manual-1135");
    EXPECT_EXIT(t.release_texture(1135), testing::ExitedWithCode(1), "Ref count is negative - was never reffed.");
    EXPECT_EXIT(t.release_texture(1134), testing::ExitedWithCode(1), "Trying to release a manual texture");
    EXPECT_EXIT(t.unload_texture(1135), testing::ExitedWithCode(1), "dynamic textures should be released");
    missing(t, 0, "held");
    t.release_texture(1136);
    EXPECT_EXIT(t.release_texture(1136), testing::ExitedWithCode(1), "Ref count went negative");
    EXPECT_EXIT(t.bind_ref(10, 0, 0), testing::ExitedWithCode(1), "missing non-scenery texture - how\\?");
    EXPECT_EXIT(get_scale(0, 0, 8), testing::ExitedWithCode(1), "greater than 2048! \\| x \\| value: \\| 0");
    scratch_dx = 0;
    EXPECT_EXIT(t.load_texture(tex_fail_quiet, 5, 2, tex_loaded, "scratch_array:x"), testing::ExitedWithCode(1),
                "greater than 2048! \\| scratch_array:x");
    // Refs beyond the table are refused quietly.
    t.release_texture(5000);
    t.unload_texture(5000);
    t.force_load_tex(static_cast<int>(t.ref_dat.size()));
    EXPECT_EQ(t.ref_dat.size(), 1137u);
    EXPECT_EQ(missing(t, 0, ""), 0);
    EXPECT_EQ(t.load_texture(tex_fail_quiet, 5, 2, tex_unloaded, "late.png"), 0);
    EXPECT_EQ(t.ref_dat[5].load_time, tex_loaded);
}

// Deferred records load all at once with a progress line, or one at a time in three steps.
TEST_F(Tman, DeferredScenery) {
    static std::vector<std::pair<std::string, float>> shown;
    const tman_progress_fn old =
        set_tman_progress_hook([](const std::string& m, float* f) { shown.push_back({m, f ? *f : -1}); });
    tman_class t;
    for (int ref = 30; ref < 33; ++ref) {
        missing(t, ref, "scenery/tex" + std::to_string(ref) + ".png");
        t.ref_dat[ref].load_time = tex_deferred;
    }
    EXPECT_EQ(t.num_remaining_async_texes(), 3);
    t.force_load_tex(30);
    EXPECT_EQ(t.ref_dat[30].load_time, tex_loaded);

    struct finisher : tman_force_finish_obj {
        void finish() override { ++calls; }
        int calls = 0;
    } obj;
    ASSERT_EQ(t.load_scenery_async_register(&obj), 1);
    EXPECT_EQ(t.async_vars_ptr->ref, 31);
    EXPECT_EQ(t.load_scenery_async_work(), 0);  // the file is missing
    missing(t, 40, "other.png");                // a file load first finishes the registered one
    EXPECT_EQ(obj.calls, 1);
    t.load_scenery_async_finalize();
    EXPECT_EQ(t.ref_dat[31].load_time, tex_loaded);
    EXPECT_EQ(t.force_finish_obj, nullptr);

    t.load_all_scenery_texes();
    set_tman_progress_hook(old);
    EXPECT_EQ(t.ref_dat[32].load_time, tex_loaded);
    EXPECT_EQ(t.num_remaining_async_texes(), 0);
    EXPECT_EQ(t.load_scenery_async_register(&obj), 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "Loading scenery texture tex32.png.");
    EXPECT_EQ(shown[0].second, 0.0f);
}

TEST_F(Tman, ProgressLineAtMostOncePerSecond) {
    static uint64_t now;
    static std::vector<std::string> shown;
    shown.clear();
    xtim_set_clock([] { return now; });
    const tman_progress_fn old = set_tman_progress_hook([](const std::string& m, float* f) {
        EXPECT_EQ(f, nullptr);
        shown.push_back(m);
    });
    tman_class t;
    now = 5000000;
    missing(t, 50, "first.png");
    now = 5500000;
    missing(t, 50, "soon.png");
    now = 7000000;
    missing(t, 0, "dynamic.png");
    now = 9000000;
    missing(t, 392, "atlas.png");
    now = 13000000;
    t.load_texture(tex_fail_quiet, 50, 2, tex_deferred, "later.png");
    now = 15000000;
    missing(t, 51, "last.png");
    set_tman_progress_hook(old);
    xtim_set_clock(nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"Loading bitmap first.png.", "Loading bitmap last.png."}));
}

// The file stage: which file is found, what it decodes to and how its rows are laid out.
TEST_F(Tman, FileStage) {
    auto load = [](const std::string& name, int flags, char bpp = 3) {
        loaded l{};
        l.bpp = bpp;
        l.ok = load_any_into_scratch(name, 1, flags, l.format, l.mips, l.bpp, 0, &l.img_dx, &l.img_dy, &l.tex_dx,
                                     &l.tex_dy);
        return l;
    };
    // A .png name falls back to the .bmp file of the same base name.
    std::vector<unsigned char> px(300 * 200 * 3);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x) {
            unsigned char* p = &px[(y * 300 + x) * 3];
            p[0] = static_cast<unsigned char>(x / 2), p[1] = static_cast<unsigned char>(y / 2), p[2] = 7;
        }
    ASSERT_EQ(TEX_save_png(dir / "pic.bmp", {GL_RGB, 300, 200, 0, 0}, px.data()), 1);
    loaded l = load(dir / "pic.png", 1);
    ASSERT_EQ(l.ok, 1);
    EXPECT_EQ(l.format, GL_RGB);
    EXPECT_EQ(l.tex_dx, 512);

    // Reduced by half: rows come out 256 pixels apart, the picture in the first 150 of each.
    mnw.tex_level = 4;
    l = load(dir / "pic.png", 1);
    EXPECT_EQ(l.img_dx, 150);
    EXPECT_EQ(l.tex_dx, 256);
    EXPECT_EQ(l.tex_dy, 128);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 150; ++x) {
            const unsigned char* p = scratch_array_temp + (y * 256 + x) * 3;
            ASSERT_EQ(p[0], x);
            ASSERT_EQ(p[1], y);
        }
    EXPECT_EQ(scratch_array_temp[(10 * 256 + 200) * 3], 0);
    EXPECT_EQ(scratch_array_temp[(110 * 256 + 10) * 3 + 2], 0);
    // At its own size (0x2000) the rows are 300 pixels apart.
    mnw.tex_level = 5;
    l = load(dir / "pic.png", 0x2001);
    EXPECT_EQ(l.tex_dx, 300);
    EXPECT_EQ(scratch_array_temp[(199 * 300 + 299) * 3 + 0], 149);
    EXPECT_EQ(scratch_array_temp[(199 * 300 + 299) * 3 + 1], 99);

    // A DDS chain is flipped to bottom row first and found before the .png.
    std::vector<unsigned char> rgb(8 * 8 * 3);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) rgb[(y * 8 + x) * 3 + (y < 4 ? 2 : 0)] = 255;  // bottom blue, top red
    ASSERT_EQ(TEX_save_dds(dir / "pic.dds", rgb.data(), {GL_RGB, 8, 8, 0, 0}), 1);
    l = load(dir / "pic.png", 1);
    ASSERT_EQ(l.ok, 1);
    EXPECT_EQ(l.format, GL_COMPRESSED_RGB_S3TC_DXT1_EXT);
    EXPECT_EQ(l.mips, 1);
    std::vector<unsigned char> decoded(8 * 8 * 4);
    TEX_decode_s3tc({static_cast<uint32_t>(l.format), 8, 8, 0, 0}, {}, scratch_array_temp, decoded.data());
    EXPECT_EQ(decoded[2], 255);              // row 0, the bottom: blue
    EXPECT_EQ(decoded[7 * 8 * 4 + 0], 255);  // row 7, the top: red

    // --no_dds skips the .dds file.
    auto without_dds = [&] {
        const char* argv[] = {"test", "--no_dds"};
        cmdline.init_unix(2, argv);
        return load(dir / "pic.png", 1).format;
    };
    EXPECT_EXIT(std::exit(without_dds() == GL_RGB ? 0 : 3), testing::ExitedWithCode(0), "");
    EXPECT_EQ(load(dir / "nothing.png", 1).ok, 0);
}

namespace {
// A DDS file of w x h pixels, every byte of level l being l + 1; with mips every level down to
// 1 x 1 follows the first. bits 24 or 32 make it uncompressed BGR or BGRA, else fourcc names it.
struct dds_kind {
    uint32_t format;
    const char* fourcc;
    int bits;
};
std::string dds_file(const dds_kind& kind, int w, int h, bool mips) {
    std::string f(128, '\0');
    auto put = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
    };
    f.replace(0, 4, "DDS ");
    put(4, 124);
    put(8, 0x1007 | (mips ? 0x20000 : 0));
    put(12, h), put(16, w);
    put(76, 32);
    if (kind.bits) {
        put(80, kind.bits == 32 ? 0x41 : 0x40), put(88, kind.bits);
    } else {
        put(80, 0x4), f.replace(84, 4, kind.fourcc);
    }
    put(108, 0x1000 | (mips ? 0x400008 : 0));
    for (char l = 1;; ++l) {
        f.append(static_cast<size_t>(TEX_bytes_needed_for_image({kind.format, w, h, 0, 0})), l);
        if (!mips || (w == 1 && h == 1)) return f;
        w = std::max(1, w / 2), h = std::max(1, h / 2);
    }
}

std::string bmp_file(int w, int h) {
    const int row = (3 * w + 3) & ~3;
    std::string f(54, '\0');
    auto put = [&](int at, uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = static_cast<char>(v >> (8 * i));
    };
    f.replace(0, 2, "BM");
    put(2, 54 + row * h), put(10, 54), put(14, 40), put(18, w), put(22, h), put(26, 1 | 24 << 16);
    return f.append(static_cast<size_t>(row) * h, '\x50');
}

std::string png_file(int w, int h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = w, image.height = h, image.format = PNG_FORMAT_RGB;
    const std::vector<unsigned char> px(static_cast<size_t>(w) * h * 3, 0x50);
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&image, nullptr, &size, 0, px.data(), 0, nullptr);
    std::string f(size, '\0');
    png_image_write_to_memory(&image, f.data(), &size, 0, px.data(), 0, nullptr);
    f.resize(size);
    return f;
}

// The file stage on a file held in a heap block of exactly its size: under AddressSanitizer a
// read past its end is a heap-buffer-overflow.
loaded load_held(const std::string& bytes, int flags, char bpp) {
    std::vector<unsigned char> held(bytes.begin(), bytes.end());
    xmap_class file;
    file.base = file.cur = held.data();
    file.end = held.data() + held.size();
    loaded l{};
    l.bpp = bpp;
    l.ok = load_mapped_into_scratch("held", file, 1, flags, l.format, l.mips, l.bpp, 0, &l.img_dx, &l.img_dy,
                                    &l.tex_dx, &l.tex_dy, &l.filled, tex_fail_quiet);
    return l;
}
}  // namespace

// Every picture of sides 1 to 33, of each kind the file stage takes, at each reduction a caller
// can ask for, is read within its bytes. A chain is walked down no further than its last level
// (a short side reaches 1 x 1 before the reduction does), and the level loaded fits the reduced
// image. A DDS without a chain is refused.
TEST_F(Tman, EverySmallPictureIsReadWithinItsFile) {
    const dds_kind kinds[] = {{GL_COMPRESSED_RGB_S3TC_DXT1_EXT, "DXT1", 0},
                              {GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, "DXT3", 0},
                              {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, "DXT5", 0},
                              {GL_BGR, nullptr, 24},
                              {GL_BGRA, nullptr, 32}};
    const int threads = omp_get_max_threads();
    omp_set_num_threads(1);
    int failures = 0;
    for (int w = 1; w <= 33; ++w)
        for (int h = 1; h <= 33; ++h) {
            // The reductions that give this picture a scale of its own.
            std::vector<std::pair<int, int>> reductions;
            std::vector<double> scales;
            for (int level = 0; level <= 5; ++level)
                for (int flags : {0, +tex_double_res, +tex_half_res, +tex_full_res}) {
                    mnw.tex_level = level;
                    const double s = get_scale(flags, w, h).s;
                    if (std::find(scales.begin(), scales.end(), s) != scales.end()) continue;
                    scales.push_back(s);
                    reductions.push_back({level, flags});
                }
            std::vector<std::string> files;
            for (const dds_kind& kind : kinds)
                for (bool mips : {false, true}) files.push_back(dds_file(kind, w, h, mips));
            files.push_back(bmp_file(w, h));
            files.push_back(png_file(w, h));
            for (auto [level, flags] : reductions) {
                mnw.tex_level = level;
                for (size_t i = 0; i < files.size(); ++i) {
                    const bool dds = i < 2 * std::size(kinds), mips = dds && i % 2;
                    // The BMP and PNG readers decode to the format asked for: each size asks for one.
                    const loaded l = load_held(files[i], flags, "\1\3\4"[(w + h) % 3]);
                    // A chain may be refused where its level is too small for the texture's chain,
                    // never when reduced to 1 x 1.
                    const bool one = l.img_dx == 1 && l.img_dy == 1;
                    bool good = dds ? l.ok <= mips && (l.ok || !mips || !one) : l.ok == 1;
                    if (l.ok && mips && !TEX_is_s3tc(l.format)) {
                        // Uncompressed, each level's bytes its number: the level loaded fits the
                        // reduced image (at 1 x 1 it is the chain's last) and lies whole in the
                        // bottom left corner of the texture's top level, the rest clear.
                        const int got = scratch_array_temp[0];
                        int levels = 1, fits = 0, got_w = 0, got_h = 0;
                        for (int lw = w, lh = h;; ++levels) {
                            if (!fits && lw <= l.img_dx && lh <= l.img_dy) fits = levels;
                            if (levels == got) got_w = lw, got_h = lh;
                            if (lw == 1 && lh == 1) break;
                            lw = std::max(1, lw / 2), lh = std::max(1, lh / 2);
                        }
                        good = good && got >= fits && got <= levels && (!one || got == levels);
                        const int row = l.bpp * l.tex_dx;
                        for (int y = 0; good && y < l.tex_dy; ++y)
                            for (int x = 0; x < row; ++x)
                                good = good && scratch_array_temp[y * row + x] ==
                                                   (y < got_h && x < l.bpp * got_w ? got : 0);
                    }
                    if (!good && ++failures <= 5)
                        ADD_FAILURE() << w << " x " << h << ", file " << i << ", tex_level " << level
                                      << ", flags " << flags << ": ok " << l.ok << ", image " << l.img_dx
                                      << " x " << l.img_dy << ", first byte " << int(scratch_array_temp[0]);
                }
            }
        }
    omp_set_num_threads(threads);
    EXPECT_EQ(failures, 0);
}

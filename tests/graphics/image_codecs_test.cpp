// The PNG, BMP and DDS readers and writers and loading by name, on files in a temporary folder.
#include <gtest/gtest.h>
#include <png.h>
#include <squish.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "files/versioned_file.h"
#include "graphics/bmp_reader.h"
#include "graphics/dds_codec.h"
#include "graphics/image_loader.h"
#include "graphics/png_codec.h"

namespace {
using bytes = std::vector<unsigned char>;

struct png_spec {
    int width = 2, height = 2, depth = 8, colour_type = PNG_COLOR_TYPE_RGB;
    bytes pixels;  // file rows, top first, packed as the colour type and depth say
    std::vector<png_color> palette;
    bytes trns;
    double gamma = 0;  // 0: no gAMA chunk
};

// A PNG written with libpng directly, to read what our reader does not write.
void write_png(const std::string& path, const png_spec& s) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.colour_type, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), static_cast<int>(s.palette.size()));
    if (!s.trns.empty()) png_set_tRNS(png, info, s.trns.data(), static_cast<int>(s.trns.size()), nullptr);
    if (s.gamma > 0) png_set_gAMA(png, info, s.gamma);
    png_write_info(png, info);
    const size_t row = s.pixels.size() / s.height;
    for (int y = 0; y < s.height; ++y) png_write_row(png, const_cast<unsigned char*>(&s.pixels[y * row]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

struct read_result {
    int ok;
    TEX_image_desc desc;
    bytes data;
};

read_result read_png(const std::string& path, unsigned long format, int pad_to, int pow2, int alpha_from_file) {
    xmap_class f(path);
    unsigned char* data = nullptr;
    TEX_image_desc d{};
    const int ok = TEX_load_png(path, &f, data, format, pad_to, pow2, alpha_from_file, d, 1 << 24);
    read_result r{ok, d, {}};
    if (data) {
        const int bpp = d.format == GL_RGBA ? 4 : d.format == GL_RGB ? 3 : 1;
        const int rows = pow2 ? TEX_next_pow2(d.height) : d.height;
        r.data.assign(data, data + static_cast<size_t>(rows) * (bpp * d.width + d.pad));
        std::free(data);
    }
    return r;
}

// The file's rows as stored, top first: libpng without any transformation.
bytes png_rows(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    bytes out;
    const size_t row = png_get_rowbytes(png, info);
    png_bytepp rows = png_get_rows(png, info);
    for (png_uint_32 y = 0; y < png_get_image_height(png, info); ++y) out.insert(out.end(), rows[y], rows[y] + row);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return out;
}

void put16(bytes& b, size_t at, uint32_t v) {
    b[at] = static_cast<unsigned char>(v);
    b[at + 1] = static_cast<unsigned char>(v >> 8);
}
void put32(bytes& b, size_t at, uint32_t v) {
    put16(b, at, v & 0xFFFF);
    put16(b, at + 2, v >> 16);
}

// A bitmap file of width x height pixels, given bottom row first as B, G, R triples.
bytes make_bmp(int width, int height, const bytes& bgr, int bits = 24, int compression = 0) {
    const size_t row = (3 * width + 3) & ~3u;
    bytes b(54 + row * height, 0);
    b[0] = 'B', b[1] = 'M';
    put32(b, 2, static_cast<uint32_t>(b.size()));
    put32(b, 10, 54);
    put32(b, 14, 40);
    put32(b, 18, static_cast<uint32_t>(width));
    put32(b, 22, static_cast<uint32_t>(height));
    put16(b, 26, 1);
    put16(b, 28, static_cast<uint32_t>(bits));
    put32(b, 30, static_cast<uint32_t>(compression));
    for (int y = 0; y < height; ++y) std::memcpy(&b[54 + y * row], &bgr[3 * width * y], 3 * width);
    return b;
}

std::string as_text(const bytes& b) { return std::string(b.begin(), b.end()); }

class TexCodec : public testing::Test {
protected:
    void SetUp() override { reset_recorders(); }
    std::string file(const std::string& name, const bytes& content) { return dir.write(name, as_text(content)); }
    temp_folder dir;
};
}  // namespace

TEST_F(TexCodec, PngRoundTripsKeepValuesAndOrientation) {
    for (unsigned long format : {GL_RGB, GL_RGBA, GL_ALPHA}) {
        const int bpp = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1;
        const int w = 5, h = 3, pad = 3;
        bytes px((bpp * w + pad) * h);
        std::mt19937 rng(bpp);
        for (auto& b : px) b = static_cast<unsigned char>(rng());
        const std::string path = dir / ("round" + std::to_string(bpp) + ".png");
        ASSERT_EQ(TEX_save_png(path, {static_cast<uint32_t>(format), w, h, pad, 0}, px.data()), 1);

        const read_result r = read_png(path, format, 0, 0, 0);
        ASSERT_EQ(r.ok, 1);
        EXPECT_EQ(r.desc.width, w);
        EXPECT_EQ(r.desc.height, h);
        EXPECT_EQ(r.desc.pad, 0);
        for (int y = 0; y < h; ++y)
            EXPECT_EQ(bytes(r.data.data() + y * bpp * w, r.data.data() + (y + 1) * bpp * w),
                      bytes(px.data() + y * (bpp * w + pad), px.data() + y * (bpp * w + pad) + bpp * w));
        // The buffer's first row is the file's last.
        const bytes top_first = png_rows(path);
        EXPECT_EQ(bytes(top_first.end() - bpp * w, top_first.end()), bytes(px.begin(), px.begin() + bpp * w));
    }
}

TEST_F(TexCodec, PngTransformsFollowTheWantedFormat) {
    // 16-bit RGBA: read as RGB drops alpha; with alpha_from_file it stays RGBA.
    png_spec deep;
    deep.depth = 16;
    deep.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
    deep.width = 1, deep.height = 1;
    deep.pixels = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0x80, 0x00};
    deep.gamma = 1 / 1.8;
    write_png(dir / "deep.png", deep);
    read_result r = read_png(dir / "deep.png", GL_RGB, 0, 0, 0);
    EXPECT_EQ(r.desc.format, static_cast<uint32_t>(GL_RGB));
    EXPECT_EQ(r.data, (bytes{0x12, 0x56, 0x9A}));
    r = read_png(dir / "deep.png", GL_RGB, 0, 0, 1);
    EXPECT_EQ(r.desc.format, static_cast<uint32_t>(GL_RGBA));
    EXPECT_EQ(r.data, (bytes{0x12, 0x56, 0x9A, 0x80}));

    // Palette with tRNS: RGBA keeps the transparency; RGB with alpha_from_file stays RGB.
    png_spec pal;
    pal.depth = 8;
    pal.colour_type = PNG_COLOR_TYPE_PALETTE;
    pal.width = 2, pal.height = 1;
    pal.palette = {{200, 10, 20}, {1, 2, 3}};
    pal.trns = {0};
    pal.pixels = {0, 1};
    pal.gamma = 1 / 1.8;
    write_png(dir / "pal.png", pal);
    r = read_png(dir / "pal.png", GL_RGBA, 0, 0, 0);
    EXPECT_EQ(r.data, (bytes{200, 10, 20, 0, 1, 2, 3, 255}));
    r = read_png(dir / "pal.png", GL_RGB, 0, 0, 1);
    EXPECT_EQ(r.desc.format, static_cast<uint32_t>(GL_RGB));
    EXPECT_EQ(r.data, (bytes{200, 10, 20, 1, 2, 3}));

    // Grey as RGBA; colour as GL_ALPHA.
    png_spec grey;
    grey.colour_type = PNG_COLOR_TYPE_GRAY;
    grey.width = 2, grey.height = 1;
    grey.pixels = {7, 250};
    grey.gamma = 1 / 1.8;
    write_png(dir / "grey.png", grey);
    EXPECT_EQ(read_png(dir / "grey.png", GL_RGBA, 0, 0, 0).data, (bytes{7, 7, 7, 255, 250, 250, 250, 255}));
    EXPECT_EQ(read_png(dir / "pal.png", GL_ALPHA, 0, 0, 0).data.size(), 2u);

    // A file gamma of 1/2.2 against the screen's 1.8 darkens mid-tones (exponent 1.222).
    grey.pixels = {128, 64};
    grey.gamma = 0.45455;
    write_png(dir / "gamma.png", grey);
    r = read_png(dir / "gamma.png", GL_ALPHA, 0, 0, 0);
    EXPECT_NEAR(r.data[0], 255 * std::pow(128 / 255.0, 1 / (0.45455 * 1.8)), 2);
    EXPECT_NEAR(r.data[1], 255 * std::pow(64 / 255.0, 1 / (0.45455 * 1.8)), 2);
}

TEST_F(TexCodec, PngPadding) {
    bytes px(300 * 200 * 3);
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(1 + i % 200);
    std::memset(&px[199 * 900], 0xEE, 900);  // the picture's top row
    ASSERT_EQ(TEX_save_png(dir / "wide.png", {GL_RGB, 300, 200, 0, 0}, px.data()), 1);
    read_result r = read_png(dir / "wide.png", GL_RGB, 0, 1, 0);
    EXPECT_EQ(r.desc.pad, 3 * 212);
    ASSERT_EQ(r.data.size(), 256u * 512 * 3);
    EXPECT_EQ(r.data[199 * 1536], 0xEE);
    EXPECT_EQ(r.data[199 * 1536 + 900], 0);   // row padding
    EXPECT_EQ(r.data[200 * 1536 + 5], 0);     // rows past the picture
    r = read_png(dir / "wide.png", GL_RGB, 2048, 0, 0);
    EXPECT_EQ(r.desc.pad, 3 * 1748);
}

TEST_F(TexCodec, PngFilesThatAreShortBrokenOrTooLarge) {
    const std::string tiny = file("tiny.png", {0x89, 'P', 'N', 'G', 13});
    EXPECT_EQ(read_png(tiny, GL_RGB, 0, 0, 0).ok, 0);
    EXPECT_TRUE(recorded_alerts().empty());

    const std::string text = file("text.png", bytes(20, 'x'));
    EXPECT_EXIT(read_png(text, GL_RGB, 0, 0, 0), testing::ExitedWithCode(1), "PING-FILE ERROR!.*is_png=");

    bytes px(64 * 64 * 3, 90);
    ASSERT_EQ(TEX_save_png(dir / "whole.png", {GL_RGB, 64, 64, 0, 0}, px.data()), 1);
    const std::string whole = read_file(dir / "whole.png");
    const std::string cut = dir.write("cut.png", whole.substr(0, whole.size() / 2));
    EXPECT_EXIT(read_png(cut, GL_RGB, 0, 0, 0), testing::ExitedWithCode(1),
                "ALERT type 1: PNG error! \\| PNG Read Error, overran end of buffer!(.|\n)*"
                "ALERT type 2: PING-FILE ERROR! \\| setjmp\\(png_ptr->jmpbuf");
    // Larger than the caller's buffer: refused before a byte is written.
    EXPECT_EXIT(
        {
            xmap_class f(dir / "whole.png");
            unsigned char small[1000];
            unsigned char* p = small;
            TEX_image_desc d{};
            TEX_load_png("whole.png", &f, p, GL_RGB, 0, 0, 0, d, sizeof small);
        },
        testing::ExitedWithCode(1), "image too large for its buffer(.|\n)*PING-FILE ERROR!");
    EXPECT_EXIT(read_png(dir / "whole.png", GL_RGB, 32, 0, 0), testing::ExitedWithCode(1), "PING-FILE ERROR!");
    EXPECT_EXIT(read_png(dir / "whole.png", GL_BGR, 0, 0, 0), testing::ExitedWithCode(1), "Illegal bits per pixel");
}

// The writer's settings as the file shows them: colour type by bytes per pixel, a gAMA of 1/1.8
// and every row stored unfiltered (filter byte 0).
TEST_F(TexCodec, PngWriterSettings) {
    const struct {
        unsigned long format;
        int colour_type;
    } cases[] = {{GL_RGBA, PNG_COLOR_TYPE_RGB_ALPHA}, {GL_RGB, PNG_COLOR_TYPE_RGB}, {GL_ALPHA, PNG_COLOR_TYPE_GRAY}};
    for (const auto& c : cases) {
        const int bpp = c.format == GL_RGBA ? 4 : c.format == GL_RGB ? 3 : 1, w = 16, h = 8;
        bytes px(static_cast<size_t>(bpp) * w * h);
        for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<unsigned char>(i * 7 % 251);  // filters would pay
        const std::string path = dir / "settings.png";
        ASSERT_EQ(TEX_save_png(path, {static_cast<uint32_t>(c.format), w, h, 0, 0}, px.data()), 1);

        std::FILE* f = std::fopen(path.c_str(), "rb");
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_init_io(png, f);
        png_read_info(png, info);
        double gamma = 0;
        EXPECT_TRUE(png_get_gAMA(png, info, &gamma));
        EXPECT_NEAR(gamma, 1 / 1.8, 1e-5);
        EXPECT_EQ(png_get_color_type(png, info), c.colour_type);
        EXPECT_EQ(png_get_bit_depth(png, info), 8);
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);

        const std::string file = read_file(path);
        std::string idat;
        for (size_t at = 8; at + 8 <= file.size();) {
            const auto* p = reinterpret_cast<const unsigned char*>(file.data() + at);
            const size_t len = static_cast<size_t>(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
            if (file.compare(at + 4, 4, "IDAT") == 0) idat += file.substr(at + 8, len);
            at += 12 + len;
        }
        const size_t row = 1 + static_cast<size_t>(bpp) * w;
        bytes raw(row * h);
        uLongf raw_len = raw.size();
        ASSERT_EQ(uncompress(raw.data(), &raw_len, reinterpret_cast<const Bytef*>(idat.data()), idat.size()), Z_OK);
        ASSERT_EQ(raw_len, raw.size());
        for (int y = 0; y < h; ++y) EXPECT_EQ(raw[y * row], 0) << bpp << " row " << y;
    }
}

TEST_F(TexCodec, WritersReportFailedWrites) {
    bytes px(256 * 256 * 4, 1);
    EXPECT_EQ(TEX_save_png(dir / "no/such/folder.png", {GL_RGBA, 256, 256, 0, 0}, px.data()), 0);
    EXPECT_EQ(TEX_save_dds(dir / "no/such/folder.dds", px.data(), {GL_RGBA, 256, 256, 0, 0}), 0);
    // A full device: the write fails, the device stays.
    EXPECT_EQ(TEX_save_png("/dev/full", {GL_RGBA, 256, 256, 0, 0}, px.data()), 0);
    EXPECT_EQ(TEX_save_dds("/dev/full", px.data(), {GL_RGBA, 256, 256, 0, 0}), 0);
    EXPECT_TRUE(path_exists("/dev/full"));
    EXPECT_EXIT(TEX_save_png(dir / "x.png", {GL_BGR, 2, 2, 0, 0}, px.data()), testing::ExitedWithCode(1),
                "Illegal pixel format for png-write.");
}

TEST_F(TexCodec, Bitmaps) {
    // 3 x 2, bottom row first: magenta, near-magenta, grey-ish; then three more.
    const bytes bgr = {255, 0, 255, 255, 1, 255, 31, 20, 10, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    const std::string path = file("three.bmp", make_bmp(3, 2, bgr));
    auto read = [&](const std::string& p, unsigned long format, int pow2 = 0) {
        xmap_class f(p);
        unsigned char* data = nullptr;
        TEX_image_desc d{};
        const int ok = TEX_load_bmp(p, &f, data, format, 0, pow2, d, 1 << 20);
        const int bpp = format == GL_RGBA ? 4 : format == GL_RGB ? 3 : 1;
        read_result r{ok, d, bytes(data, data + (pow2 ? TEX_next_pow2(d.height) : d.height) * (bpp * d.width + d.pad))};
        std::free(data);
        return r;
    };
    read_result r = read(path, GL_RGB);
    EXPECT_EQ(r.data.size(), 18u);
    EXPECT_EQ(bytes(r.data.begin(), r.data.begin() + 6), (bytes{255, 0, 255, 255, 1, 255}));
    EXPECT_EQ(bytes(r.data.begin() + 9, r.data.begin() + 12), (bytes{3, 2, 1}));
    r = read(path, GL_RGBA);
    EXPECT_EQ(bytes(r.data.begin(), r.data.begin() + 8), (bytes{0, 0, 0, 0, 255, 1, 255, 255}));
    EXPECT_EQ(read(path, GL_ALPHA).data[2], 20);

    const std::string big = file("big.bmp", make_bmp(100, 50, bytes(100 * 50 * 3, 9)));
    r = read(big, GL_RGBA, 1);
    EXPECT_EQ(r.desc.pad, 112);
    ASSERT_EQ(r.data.size(), 64u * 512);
    EXPECT_EQ(r.data[400], 0);
    EXPECT_EQ(r.data[63 * 512], 0);
    EXPECT_EQ(r.data[49 * 512], 9);

    EXPECT_EXIT(read(file("8.bmp", make_bmp(2, 2, bytes(12), 8)), GL_RGB), testing::ExitedWithCode(1),
                "Wrong bitmap color depth for texture!");
    EXPECT_EXIT(read(file("rle.bmp", make_bmp(2, 2, bytes(12), 24, 1)), GL_RGB), testing::ExitedWithCode(1),
                "Bitmap is compressed!");
    // Files the reader cannot take are refused without an alert: rows cut short, rows stored top
    // first, more than the caller's buffer holds.
    bytes cut = make_bmp(4, 4, bytes(48, 1));
    cut.resize(cut.size() - 10);
    bytes down = make_bmp(2, 2, bytes(12, 1));
    put32(down, 22, static_cast<uint32_t>(-2));
    for (const std::string& p : {file("cut.bmp", cut), file("down.bmp", down)}) {
        EXPECT_EQ(read(p, GL_RGB).ok, 0) << p;
    }
    xmap_class f(path);
    unsigned char small[17], *into = small;
    TEX_image_desc d{};
    EXPECT_EQ(TEX_load_bmp(path, &f, into, GL_RGB, 0, 0, d, sizeof small), 0);
    EXPECT_EXIT(read(path, GL_BGR), testing::ExitedWithCode(1), "Illegal desired format for bmp.");
}

TEST_F(TexCodec, DdsWrittenAndReadBack) {
    bytes rgb(4 * 4 * 3, 0x80);
    ASSERT_EQ(TEX_save_dds(dir / "small.dds", rgb.data(), {GL_RGB, 4, 4, 0, 0}), 1);
    const std::string small = read_file(dir / "small.dds");
    ASSERT_EQ(small.size(), 128u + 8 + 8 + 8);
    EXPECT_EQ(small.substr(84, 4), "DXT1");
    EXPECT_EQ(small[28], 3);  // levels
    EXPECT_EQ(small[20], 8);  // top level's bytes

    // 256 x 64 RGBA, top half red: nine DXT5 levels, picture stored top row first.
    bytes rgba(256 * 64 * 4);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 256; ++x) {
            unsigned char* p = &rgba[(y * 256 + x) * 4];
            p[0] = y >= 32 ? 255 : 0, p[1] = 0, p[2] = y >= 32 ? 0 : 255, p[3] = x < 128 ? 255 : 0;
        }
    ASSERT_EQ(TEX_save_dds(dir / "chain.dds", rgba.data(), {GL_RGBA, 256, 64, 0, 0}), 1);
    xmap_class f(dir / "chain.dds");
    const unsigned char* data = nullptr;
    TEX_image_desc d{};
    ASSERT_EQ(TEX_load_dds("chain.dds", &f, data, d), 1);
    EXPECT_EQ(d.format, static_cast<uint32_t>(GL_COMPRESSED_RGBA_S3TC_DXT5_EXT));
    EXPECT_EQ(d.has_mipmaps, 1);
    EXPECT_EQ(data, f.base + 128);
    EXPECT_EQ(f.end - f.base, 128 + TEX_bytes_needed_for_image(d));
    bytes top(256 * 64 * 4);
    TEX_decode_s3tc(d, d, data, top.data());
    EXPECT_EQ(top[0], 255);                    // first file row: the picture's top, red
    EXPECT_EQ(top[63 * 256 * 4 + 2], 255);     // last file row: blue
    EXPECT_EQ(top[3], 255);                    // alpha kept
    EXPECT_EQ(top[200 * 4 + 3], 0);

    // Refused: truncated data, an unknown FourCC, 32-bit RGB without alpha, no mip caps.
    std::string body = read_file(dir / "chain.dds");
    auto refused = [&](std::string content) {
        xmap_class g(dir.write("bad.dds", content));
        const unsigned char* p = nullptr;
        TEX_image_desc e{};
        return TEX_load_dds("bad.dds", &g, p, e) == 0;
    };
    EXPECT_TRUE(refused(body.substr(0, body.size() - 1)));
    EXPECT_TRUE(refused(body.substr(0, 127)));
    std::string other = body;
    other.replace(84, 4, "ATI2");
    EXPECT_TRUE(refused(other));
    std::string x8 = body;
    x8[80] = 0x40, x8[88] = 32;  // RGB flag, 32 bits, no ALPHAPIXELS
    EXPECT_TRUE(refused(x8));
    std::string rgb24 = body.substr(0, 128) + std::string(256 * 64 * 3 * 2, '\0');
    rgb24[80] = 0x40 | 0x4, rgb24[88] = 24;
    xmap_class g(dir.write("bgr.dds", rgb24));
    EXPECT_EQ(TEX_load_dds("bgr.dds", &g, data, d), 1);
    EXPECT_EQ(d.format, static_cast<uint32_t>(GL_BGR));
    bytes row(4 * 1 * 4, 200);
    ASSERT_EQ(TEX_save_dds(dir / "row.dds", row.data(), {GL_RGBA, 4, 1, 0, 0}), 1);
    xmap_class r1(dir / "row.dds");
    EXPECT_EQ(TEX_load_dds("row.dds", &r1, data, d), 1);
    EXPECT_EQ(d.height, 1);
    EXPECT_EQ(TEX_save_dds(dir / "none.dds", row.data(), {GL_RGBA, 0, 4, 0, 0}), 0);
    std::string no_caps = body;
    no_caps[108 + 2] = 0;  // MIPMAP caps bit cleared
    xmap_class h(dir.write("flat.dds", no_caps));
    ASSERT_EQ(TEX_load_dds("flat.dds", &h, data, d), 1);
    EXPECT_EQ(d.has_mipmaps, 0);
}

TEST_F(TexCodec, S3tcConversion) {
    // Colours that 5:6:5 holds exactly survive a round trip unchanged.
    bytes solid(8 * 8 * 4);
    for (size_t i = 0; i < solid.size(); i += 4)
        solid[i] = 0xFF, solid[i + 1] = 0x82, solid[i + 2] = 0x00, solid[i + 3] = 255;
    for (uint32_t format : {GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT,
                            GL_COMPRESSED_RGBA_S3TC_DXT3_EXT, GL_COMPRESSED_RGBA_S3TC_DXT5_EXT}) {
        const TEX_image_desc in{GL_RGBA, 8, 8, 0, 0}, blocks{format, 8, 8, 0, 0};
        bytes packed(static_cast<size_t>(TEX_bytes_needed_for_image(blocks))), back(solid.size());
        TEX_encode_s3tc(in, blocks, solid.data(), packed.data(), s3tc_cluster_fit);
        TEX_decode_s3tc(blocks, in, packed.data(), back.data());
        EXPECT_EQ(back, solid) << std::hex << format;
    }
    // Each quality is the libsquish fit it names.
    bytes noise(16 * 16 * 4);
    std::mt19937 rng(5);
    for (auto& b : noise) b = static_cast<unsigned char>(rng());
    const std::pair<TEX_s3tc_quality, int> fits[] = {{s3tc_range_fit, squish::kColourRangeFit},
                                                     {s3tc_cluster_fit, squish::kColourClusterFit},
                                                     {s3tc_iterative_cluster_fit, squish::kColourIterativeClusterFit}};
    for (auto [quality, flag] : fits) {
        bytes ours(16 * 16), theirs(16 * 16);
        TEX_encode_s3tc({GL_RGBA, 16, 16, 0, 0}, {GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, 16, 16, 0, 0}, noise.data(),
                        ours.data(), quality);
        squish::CompressImage(noise.data(), 16, 16, theirs.data(), squish::kDxt5 | flag);
        EXPECT_EQ(ours, theirs) << quality;
    }
}

TEST_F(TexCodec, LoadAnyLooksAtTheBytes) {
    bytes px(4 * 4 * 4, 50);
    ASSERT_EQ(TEX_save_png(dir / "picture.bmp", {GL_RGBA, 4, 4, 0, 0}, px.data()), 1);
    unsigned char* data = nullptr;
    TEX_image_desc d{};
    ASSERT_EQ(TEX_load_any(dir / "picture.bmp", data, GL_RGBA, 0, 0, d, 1 << 20), 1);
    EXPECT_EQ(d.width, 4);
    std::free(data);
    data = nullptr;

    file("x.png", bytes(7, 0x89));
    EXPECT_EQ(TEX_load_any(dir / "x.png", data, GL_RGBA, 0, 0, d, 1 << 20), 0);
    EXPECT_EQ(TEX_load_any(dir / "missing.png", data, GL_RGBA, 0, 0, d, 1 << 20), 0);

    // By extension: the .png first, then the .bmp.
    file("logo.bmp", make_bmp(2, 1, bytes(6, 40)));
    ASSERT_EQ(TEX_load_any_ext(dir / "logo.dds", data, GL_RGB, 0, 0, d, 1 << 20), 1);
    EXPECT_EQ(d.width, 2);
    std::free(data);
    EXPECT_TRUE(recorded_alerts().empty());

    EXPECT_EQ(TEX_with_ext4("art/logo.dds", ".png"), "art/logo.png");
    EXPECT_EQ(TEX_with_ext4("logo", ".bmp"), "logo.bmp");
    EXPECT_EQ(TEX_with_ext4(".png", ".png"), ".png.png");
    EXPECT_EQ(TEX_with_ext4("art/photo.jpeg", ".png"), "art/photo.jpeg.png");
}

// Image paths against the libraries called bare on the same data; prints the ratio of times
// (ours / library: 1.10 or below is the goal).
//   - a 2048 x 2048 RGBA PNG read by TEX_load_any against libpng's simplified reader;
//   - DXT1 and DXT5 conversion of that image by TEX_encode_s3tc against squish::CompressImage
//     with the same flags.
// The PNG is written to $TMPDIR without a gamma chunk, so neither reader corrects gamma.
#include <png.h>
#include <squish.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "graphics/dds_codec.h"
#include "graphics/image_loader.h"
#include "graphics/scratch_buffers.h"

namespace {
constexpr int side = 2048;

// The best of `runs` times of each of the two, measured in turns, so that a busy spell of the
// machine falls on both alike.
std::pair<double, double> best_of_both(int runs, const std::function<void()>& ours,
                                       const std::function<void()>& library) {
    auto time = [](const std::function<void()>& f) {
        const auto t0 = std::chrono::steady_clock::now();
        f();
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    double a = 1e30, b = 1e30;
    for (int i = 0; i < runs; ++i) {
        a = std::min(a, time(ours));
        b = std::min(b, time(library));
    }
    return {a, b};
}

// A picture that compresses like artwork: smooth gradients with some texture.
std::vector<unsigned char> make_picture() {
    std::vector<unsigned char> px(static_cast<size_t>(side) * side * 4);
    uint32_t x = 12345;
    for (int y = 0; y < side; ++y)
        for (int i = 0; i < side; ++i) {
            x = x * 1103515245 + 12345;
            unsigned char* p = &px[(static_cast<size_t>(y) * side + i) * 4];
            p[0] = static_cast<unsigned char>(i / 8 + (x >> 28));
            p[1] = static_cast<unsigned char>(y / 8);
            p[2] = static_cast<unsigned char>((i + y) / 16 + (x >> 29));
            p[3] = static_cast<unsigned char>(y < side / 2 ? 255 : i / 8);
        }
    return px;
}

bool write_png(const std::string& path, const std::vector<unsigned char>& px) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, side, side, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < side; ++y) png_write_row(png, &px[static_cast<size_t>(y) * side * 4]);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

void report(const char* what, double ours, double theirs) {
    std::printf("%-34s ours %7.3f s  library %7.3f s  ratio %.3f\n", what, ours, theirs, ours / theirs);
}
}  // namespace

int main() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string path = std::string(tmp && *tmp ? tmp : "/tmp") + "/image_bench.png";
    const std::vector<unsigned char> px = make_picture();
    if (!write_png(path, px)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
    }

    std::vector<unsigned char> bare(static_cast<size_t>(side) * side * 4);
    const auto [ours_png, lib_png] = best_of_both(
        5,
        [&] {
            unsigned char* data = scratch_array_temp;
            TEX_image_desc desc{};
            if (!TEX_load_any(path, data, GL_RGBA, 0, 0, desc, scratch_bytes)) std::exit(1);
        },
        [&] {
            png_image img{};
            img.version = PNG_IMAGE_VERSION;
            if (!png_image_begin_read_from_file(&img, path.c_str())) std::exit(1);
            img.format = PNG_FORMAT_RGBA;
            if (!png_image_finish_read(&img, nullptr, bare.data(), 0, nullptr)) std::exit(1);
        });
    std::remove(path.c_str());
    report("2048x2048 RGBA PNG read", ours_png, lib_png);

    std::vector<unsigned char> blocks(static_cast<size_t>(side) * side);
    const TEX_image_desc in{GL_RGBA, side, side, 0, 0};
    for (auto [name, format, kind] : {std::make_tuple("DXT1 conversion (cluster fit)",
                                                      GL_COMPRESSED_RGB_S3TC_DXT1_EXT, squish::kDxt1),
                                      std::make_tuple("DXT5 conversion (cluster fit)",
                                                      GL_COMPRESSED_RGBA_S3TC_DXT5_EXT, squish::kDxt5)}) {
        const TEX_image_desc out{static_cast<uint32_t>(format), side, side, 0, 0};
        const auto [ours, lib] = best_of_both(
            3, [&] { TEX_encode_s3tc(in, out, px.data(), blocks.data(), s3tc_cluster_fit); },
            [&] { squish::CompressImage(px.data(), side, side, blocks.data(), kind | squish::kColourClusterFit); });
        report(name, ours, lib);
    }
    return 0;
}

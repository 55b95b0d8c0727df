// Speed of the checksum pass against `find | xargs -P<processors> md5sum` over the same tree.
//
//   checksum_bench [--files N] [--large K] [--total-mb M] [--dir FOLDER] [--keep]
//
// Builds a tree of N small files plus K large ones, M megabytes in all, reads it once so that it
// sits in the page cache, then times the reference and the pass (the step called back to back,
// as fast as the frame loop could call it) and prints the pass's speed relative to the reference.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "install/checksum.h"
#include "install/install_state.h"
#include "install/manifest.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void write_bytes(const std::string& path, size_t size, unsigned seed) {
    std::vector<char> block(1 << 20);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>((i * 2654435761u + seed) >> 13);
    std::ofstream f(path, std::ios::binary);
    for (size_t left = size; left > 0;) {
        size_t n = left < block.size() ? left : block.size();
        f.write(block.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    if (!f) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

// Runs one pass over sim_info; `sleep_ms` between steps stands for the frame time.
double time_pass(int sleep_ms, int* steps_out) {
    for (auto& h : sim_info) h.versions.back().sig_have.clear();
    auto t0 = std::chrono::steady_clock::now();
    int cursor = 0, steps = 0;
    float progress = 0.0f;
    while (!checksum_directory(cursor, progress)) {
        ++steps;
        if (sleep_ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(sleep_ms));
    }
    *steps_out = steps + 1;
    return seconds_since(t0);
}

}  // namespace

int main(int argc, char** argv) {
    long files = 20000, large = 4, total_mb = 2048;
    std::string dir;
    bool keep = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto next_num = [&]() { return i + 1 < argc ? std::atol(argv[++i]) : 0L; };
        if (a == "--files")
            files = next_num();
        else if (a == "--large")
            large = next_num();
        else if (a == "--total-mb")
            total_mb = next_num();
        else if (a == "--dir" && i + 1 < argc)
            dir = argv[++i];
        else if (a == "--keep")
            keep = true;
        else {
            std::fprintf(stderr, "usage: %s [--files N] [--large K] [--total-mb M] [--dir FOLDER] [--keep]\n",
                         argv[0]);
            return 2;
        }
    }
    if (dir.empty()) {
        char pattern[] = "/tmp/volatra_checksum_bench_XXXXXX";
        if (!mkdtemp(pattern)) return 1;
        dir = pattern;
    }
    if (dir.back() != '/') dir += '/';

    // Small files of 1 to 100 KB (mean about 50 KB); the rest of the total goes to the large ones.
    const unsigned long long total = static_cast<unsigned long long>(total_mb) << 20;
    unsigned long long small_total = 0;
    std::vector<size_t> small_sizes(files);
    for (long i = 0; i < files; ++i) small_total += small_sizes[i] = 1000 + (i * 7919u) % 100000;
    const unsigned long long large_each =
        large > 0 && total > small_total ? (total - small_total) / large : 0;

    stg.platform = 3;
    dest_dir_path = dir;
    std::printf("building %ld small and %ld large files in %s ...\n", files, large, dir.c_str());
    for (long i = 0; i < files + large; ++i) {
        std::string rel = "Resources/d" + std::to_string(i / 500) + "/f" + std::to_string(i);
        std::filesystem::create_directories(dir + "Resources/d" + std::to_string(i / 500));
        size_t size = i < files ? small_sizes[i] : static_cast<size_t>(large_each);
        if (!std::filesystem::exists(dir + rel) || std::filesystem::file_size(dir + rel) != size)
            write_bytes(dir + rel, size, static_cast<unsigned>(i));
        sim_info.emplace_back();
        file_version_struct v;
        v.path = "All/" + rel;
        v.sig_want = "00000000000000000000000000000000";
        sim_info.back().versions.push_back(v);
    }

    const unsigned processors = std::thread::hardware_concurrency();
    const std::string reference = "find '" + dir + "Resources' -type f -print0 | xargs -0 -n 64 -P" +
                                  std::to_string(processors) + " md5sum > /dev/null";
    // Into the page cache, and a first run of each to settle.
    if (std::system(reference.c_str()) != 0) return 1;
    int steps = 0;
    time_pass(0, &steps);

    double ref_best = 1e30, pass_best = 1e30;
    for (int round = 0; round < 3; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        if (std::system(reference.c_str()) != 0) return 1;
        ref_best = std::min(ref_best, seconds_since(t0));
        double t = time_pass(0, &steps);
        pass_best = std::min(pass_best, t);
    }
    int frame_steps = 0;
    double framed = time_pass(16, &frame_steps);

    const double n = static_cast<double>(files + large);
    std::printf("reference: %s\n", reference.c_str());
    std::printf("reference      %8.3f s\n", ref_best);
    std::printf("checksum pass  %8.3f s  (%d steps back to back, %.0f files/s, %.0f MB/s)\n", pass_best,
                steps, n / pass_best, static_cast<double>(total) / (1 << 20) / pass_best);
    std::printf("with 16 ms frames %6.3f s  (%d steps)\n", framed, frame_steps);
    std::printf("speed ratio (reference time / pass time): %.2f  (goal >= 0.90)\n", ref_best / pass_best);

    if (!keep) std::filesystem::remove_all(dir);
    return 0;
}

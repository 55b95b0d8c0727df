// The checksum pass, engine side: one pass over a tree as one fresh process, writing each file's
// digest as md5sum does. Without arguments it runs the whole benchmark (bench/speed_bench.py
// checksum): ~20k files, large ones first, middle and last, against find | xargs -P8 -n50 md5sum,
// back to back and at one step per 16 ms frame.
//
//   checksum_bench
//   checksum_bench --run TREE LIST DIGESTS [--frame-ms N]
//
// LIST names the files below TREE, one a line in the manifest's order, each with its size after a
// tab (the manifest's unpacked size).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

#include "bench_common.h"
#include "install/checksum.h"
#include "install/install_state.h"
#include "install/manifest.h"

int main(int argc, char** argv) {
    if (argc == 1) return run_driver("checksum", argv[0]);
    const bool paced = argc == 7 && std::strcmp(argv[5], "--frame-ms") == 0;
    if ((argc != 5 && !paced) || std::strcmp(argv[1], "--run") != 0) {
        std::fprintf(stderr, "usage: checksum_bench [--run TREE LIST DIGESTS [--frame-ms N]]\n");
        return 2;
    }
    dest_dir_path = std::string(argv[2]) + "/";
    stg.platform = 3;
    std::ifstream list(argv[3]);
    for (std::string line; std::getline(list, line);) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) continue;
        sim_info.emplace_back();
        file_version_struct v;
        v.path = "All/" + line.substr(0, tab);
        v.size_b = static_cast<float>(std::atof(line.c_str() + tab + 1) / 1000.0);
        v.sig_want = "00000000000000000000000000000000";
        sim_info.back().versions.push_back(v);
    }
    const double frame_ms = paced ? std::atof(argv[6]) : 0;
    const auto start = std::chrono::steady_clock::now();
    int cursor = 0, frames = 0;
    float progress = 0.0f;
    while (!checksum_directory(cursor, progress)) {
        // Back to back, a short pause between steps (as the disc benchmark makes) keeps the caller
        // from taking a processor from the pool's threads.
        if (frame_ms > 0)
            std::this_thread::sleep_until(
                start + std::chrono::microseconds(static_cast<long>(++frames * frame_ms * 1000)));
        else
            std::this_thread::sleep_for(std::chrono::microseconds(250));
    }
    std::ofstream out(argv[4]);
    for (const file_history_struct& h : sim_info)
        out << h.versions.back().sig_have << "  ./" << h.versions.back().path.substr(4) << "\n";
    return out ? 0 : 1;
}

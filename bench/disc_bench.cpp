// Installs every file of a disc set headless through the disc pipeline (install_files called back
// to back, discs switched here) and unpacks the same archives with unzip and 7zz into a fresh
// folder; prints both times and their ratio.
//
//   disc_bench DISCS_DIR WORK_DIR (bench/run_disc_bench.sh makes the disc set)

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/wx.h"
#include "files/zip_utils.h"
#include "install/builder.h"
#include "install/disc_pipeline.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/plat_paths.h"

#include "bench_common.h"

namespace {
using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t) {
    return std::chrono::duration<double>(clock_type::now() - t).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: disc_bench DISCS_DIR WORK_DIR\n");
        return 2;
    }
    const std::string discs = std::string(argv[1]) + "/";
    const std::string work = std::string(argv[2]) + "/";
    install_name = build_name[0];
    temp_path = work + "tmp/";
    dest_dir_path = work + "pipeline/";
    plat::make_dirs(temp_path, 0755);
    plat::make_dirs(work + "manifest", 0755);
    if (zip_to_file(discs + "disk_0/" + install_name + "/directory.txt.zip", work + "manifest/") != 0 ||
        read_directory(work + "manifest/directory.txt", "") != 3) {
        std::fprintf(stderr, "disc_bench: cannot read the manifest of %s\n", discs.c_str());
        return 1;
    }

    // Every file of every platform, as a fresh install; its folders made beforehand.
    for (file_history_struct& h : sim_info) {
        file_version_struct& v = h.versions.back();
        v.need_install = v.sig_want != "GONE";
        const std::string dest = install_location(v);
        plat::make_dirs(dest.substr(0, dest.rfind('/')), 0755);
    }

    auto t0 = clock_type::now();
    if (std::string failed = install_from_discs(discs); !failed.empty()) {
        std::fprintf(stderr, "disc_bench: %s\n", failed.c_str());
        return 1;
    }
    const double ours = seconds_since(t0);

    // The same archives with the reference tools, one call per archive, into a fresh folder.
    const std::string ref = work + "reference/";
    t0 = clock_type::now();
    for (const file_history_struct& h : sim_info) {
        const file_version_struct& v = h.versions.back();
        if (!v.need_install) continue;
        std::string rel = v.path;
        trim_dest_folder(rel);
        const std::string folder = ref + rel.substr(0, rel.rfind('/') + 1);
        plat::make_dirs(folder, 0755);
        const std::string archive =
            discs + "disk_" + std::to_string(v.disk) + "/" + install_name + "/" + v.path;
        int r = v.path.find("Global Scenery") != std::string::npos
                    ? run_quiet({"7zz", "x", "-y", "-bd", "-o" + folder, archive + ".7z"})
                    : run_quiet({"unzip", "-qq", "-o", archive + ".zip", "-d", folder});
        if (r != 0) {
            std::fprintf(stderr, "disc_bench: reference tool failed on %s\n", archive.c_str());
            return 1;
        }
    }
    const double reference = seconds_since(t0);

    std::printf("files: %zu\n", sim_info.size());
    std::printf("install_files: %.3f s\n", ours);
    std::printf("unzip + 7zz:   %.3f s\n", reference);
    std::printf("speed ratio (reference time / our time; goal >= 0.9): %.2f\n", reference / ours);
    return 0;
}

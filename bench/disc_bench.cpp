// The disc install, engine side: installs every file of a disc set headless through the disc
// pipeline, into a fresh folder, as one fresh process. Without arguments it runs the whole
// benchmark (bench/speed_bench.py disc): against unzip batched per folder and 7zz x under
// xargs -P8, back to back and paced as the wizard paces it.
//
//   disc_bench
//   disc_bench --run DISCS_DIR OUT_DIR TEMP_DIR [--paced]

#include <cstdio>
#include <cstring>
#include <string>

#include "bench_common.h"
#include "core/globals.h"
#include "files/archives.h"
#include "install/builder.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/plat_paths.h"
#include "wizard/dvd_install.h"

int main(int argc, char** argv) {
    if (argc == 1) return run_driver("disc", argv[0]);
    if ((argc != 5 && argc != 6) || std::strcmp(argv[1], "--run") != 0 ||
        (argc == 6 && std::strcmp(argv[5], "--paced") != 0)) {
        std::fprintf(stderr, "usage: disc_bench [--run DISCS_DIR OUT_DIR TEMP_DIR [--paced]]\n");
        return 2;
    }
    const std::string discs = std::string(argv[2]) + "/";
    install_name = build_name[0];
    dest_dir_path = std::string(argv[3]) + "/";
    temp_path = std::string(argv[4]) + "/";
    plat::make_dirs(temp_path, 0755);
    if (zip_to_file(discs + "disk_0/" + install_name + "/directory.txt.zip", temp_path) != 0 ||
        read_directory(temp_path + "directory.txt", "") != 3) {
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
    if (std::string failed = install_from_discs(discs, argc == 6 ? install_files_for_a_frame : nullptr);
        !failed.empty()) {
        std::fprintf(stderr, "disc_bench: %s\n", failed.c_str());
        return 1;
    }
    return 0;
}

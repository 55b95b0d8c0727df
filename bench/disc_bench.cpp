// Installs every file of a disc set headless through the disc pipeline (install_files called back
// to back, discs switched here) and unpacks the same archives with unzip and 7zz into a fresh
// folder; prints both times and their ratio.
//
//   disc_bench DISCS_DIR WORK_DIR (bench/run_disc_bench.sh makes the disc set)

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

namespace {
using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point t) {
    return std::chrono::duration<double>(clock_type::now() - t).count();
}

void mkdirs(const std::string& folder) {
    for (size_t p = 1; (p = folder.find('/', p)) != std::string::npos; ++p)
        mkdir(folder.substr(0, p).c_str(), 0755);
    mkdir(folder.c_str(), 0755);
}

int run_quiet(std::vector<std::string> args) {
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (!freopen("/dev/null", "w", stdout)) _exit(127);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
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
    mkdirs(temp_path);
    mkdirs(work + "manifest");
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
        mkdirs(dest.substr(0, dest.rfind('/')));
    }

    auto t0 = clock_type::now();
    int cursor = 0, disk = 0;
    dvd_path = discs + "disk_0/";
    for (;;) {
        int r = install_files(cursor, disk);
        if (r == 1) break;
        if (r == 2) {
            disk = sim_info[cursor].versions.back().disk;
            dvd_path = discs + "disk_" + std::to_string(disk) + "/";
        } else if (r == 3) {
            std::string msg;
            install_files_get_error(msg);
            std::fprintf(stderr, "disc_bench: %s\n", msg.c_str());
            return 1;
        }
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
        mkdirs(folder);
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

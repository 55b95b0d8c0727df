// Installs a disc set twice: headless through the install engine (the wizard's choice of files,
// folders, then install_files called back to back with the discs switched here), and through
// the installer's wizard under Xvfb, driven by an input script with a disc changer. Prints both
// run times and their ratio; the wizard's time leaves out the disc changes.
//
//   wizard_bench DISCS_DIR WORK_DIR INSTALLER CHANGER (bench/run_wizard_bench.sh makes the set)

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "files/archives.h"
#include "install/checksum.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/plat_paths.h"

#include "bench_common.h"

namespace {
using clock_type = std::chrono::steady_clock;

double seconds_between(clock_type::time_point a, clock_type::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

bool write_text(const std::string& path, const std::string& text) {
    std::ofstream f(path);
    f << text;
    return static_cast<bool>(f);
}

int count_discs(const std::string& discs) {
    int n = 0;
    struct stat st;
    while (stat((discs + "disk_" + std::to_string(n)).c_str(), &st) == 0) ++n;
    return n;
}

// The engine's run as the wizard does it for a new copy: every file of this platform and every
// tile, the folders made, then the pipeline with a disc switch whenever it asks for one.
double engine_run(const std::string& discs, const std::string& work, int* files) {
    plat::make_dirs(work, 0755);
    temp_path = work + "engine-tmp/";
    dest_dir_path = work + "engine/" + install_name + "/";
    plat::make_dirs(temp_path, 0755);
    if (zip_to_file(discs + "disk_0/" + install_name + "/directory.txt.zip", temp_path) != 0 ||
        read_directory(temp_path + "directory.txt", "") != 3) {
        std::fprintf(stderr, "wizard_bench: cannot read the manifest of %s\n", discs.c_str());
        return -1;
    }
    stg.platform = 1;
    set_install_filter(1, 1);
    scenery_take_all();
    int cursor = 0;
    float fraction = 0;
    while (!checksum_directory(cursor, fraction)) {
    }
    const auto t0 = clock_type::now();
    if (!choose_files() || make_dirs() != 0) return -1;
    delete_files();
    if (std::string failed = install_from_discs(discs); !failed.empty()) {
        std::fprintf(stderr, "wizard_bench: %s\n", failed.c_str());
        return -1;
    }
    const double t = seconds_between(t0, clock_type::now());
    *files = 0;
    for (const file_history_struct& h : sim_info) *files += h.versions.back().need_install;
    return t;
}

// The wizard's run: the time from entering the run screen to its finish screen, less the disc
// changes, which the engine's run makes at once.
double wizard_run(const std::string& discs, const std::string& work, const std::string& installer,
                  const std::string& changer) {
    plat::make_dirs(work, 0755);
    const std::string home = work + "wizard-home/", desktop = work + "wizard-desktop/", volumes = work + "volumes/";
    plat::make_dirs(home + ".config", 0755);
    plat::make_dirs(desktop, 0755);
    plat::make_dirs(work + "wizard-tmp", 0755);
    plat::make_dirs(volumes, 0755);
    write_text(home + ".config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"" + desktop.substr(0, desktop.size() - 1) + "\"\n");
    if (run_quiet({changer, "load", volumes, discs}) != 0) return -1;
    std::string script =
        "wait_log \"Disc read:\"\nclick 720 23\nwait_log \"WIZARD entered dvd_pick_install\"\nclick 720 23\n"
        "wait_log \"WIZARD entered dvd_eula_install\"\nclick 230 103\nsleep 0.2\nclick 720 23\n"
        "wait_log \"WIZARD entered dvd_scenery_install\"\nclick 720 23\n";
    for (int d = 1; d < count_discs(discs); ++d)
        script += "wait_log \"WIZARD entered dvd_switch_disk_install\" 600\nclick 720 23\n";
    script += "wait_log \"WIZARD entered dvd_done_install\" 600\nclick 695 23\n";
    write_text(work + "script.txt", script);

    const std::string log_path = desktop + "Volatra Installer Log.txt";
    unlink(log_path.c_str());
    pid_t pid = fork();
    if (pid == 0) {
        const std::string env[] = {"HOME=" + home.substr(0, home.size() - 1), "XDG_CONFIG_HOME=" + home + ".config",
                                   "TMPDIR=" + work + "wizard-tmp", "VOLATRA_TEST_VOLUMES=" + volumes,
                                   "VOLATRA_EJECT_COMMAND=" + changer, "VOLATRA_INPUT_SCRIPT=" + work + "script.txt",
                                   "SDL_VIDEODRIVER=x11", "PATH=" + std::string(getenv("PATH") ? getenv("PATH") : "")};
        std::vector<char*> envp;
        for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        if (!freopen((work + "wizard-stdout.txt").c_str(), "w", stdout)) _exit(127);
        dup2(1, 2);
        const char* argv[] = {"xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", installer.c_str(), nullptr};
        execvpe("xvfb-run", const_cast<char**>(argv), envp.data());
        _exit(127);
    }
    // Each line of the log is stamped when it is first seen here. A disc change lasts from leaving
    // the run for the verify screen to entering the run again.
    clock_type::time_point start{}, done{}, left{};
    double waiting = 0;
    size_t seen = 0;
    bool in_run = false, finished = false;
    std::string pending;
    for (int status; !finished;) {
        if (waitpid(pid, &status, WNOHANG) == pid) break;
        std::ifstream f(log_path, std::ios::binary);
        f.seekg(static_cast<std::streamoff>(seen));
        std::string more((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
        seen += more.size();
        pending += more;
        const auto now = clock_type::now();
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
            const std::string line = pending.substr(0, nl);
            if (line == "WIZARD entered dvd_run_install") {
                if (start == clock_type::time_point{}) start = now;
                if (!in_run && left != clock_type::time_point{}) waiting += seconds_between(left, now);
                in_run = true;
            } else if (line == "WIZARD entered dvd_verify_disk_install" && in_run) {
                left = now;
                in_run = false;
            } else if (line == "WIZARD entered dvd_done_install") {
                done = now;
                finished = true;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!finished || start == clock_type::time_point{}) {
        std::fprintf(stderr, "wizard_bench: the scripted install did not finish; see %s\n", work.c_str());
        return -1;
    }
    return seconds_between(start, done) - waiting;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: wizard_bench DISCS_DIR WORK_DIR INSTALLER CHANGER\n");
        return 2;
    }
    const std::string discs = std::string(argv[1]) + "/", work = std::string(argv[2]) + "/";
    install_name = build_name[0];
    // Taken in turns, the best of three each: other work on the machine only ever slows a run.
    int files = 0;
    double engine = 1e9, wizard = 1e9;
    for (int round = 0; round < 3; ++round) {
        const std::string n = std::to_string(round);
        const double e = engine_run(discs, work + "engine-" + n + "/", &files);
        const double w = wizard_run(discs, work + "wizard-" + n + "/", argv[3], argv[4]);
        if (e < 0 || w < 0) return 1;
        engine = std::min(engine, e);
        wizard = std::min(wizard, w);
    }
    std::printf("files installed: %d\n", files);
    std::printf("engine, headless: %.3f s\n", engine);
    std::printf("wizard, under Xvfb: %.3f s (disc changes left out)\n", wizard);
    std::printf("speed ratio (engine time / wizard time; goal >= 0.9): %.2f\n", engine / wizard);
    return 0;
}

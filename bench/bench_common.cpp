#include "bench_common.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <thread>

#include "install/disc_pipeline.h"
#include "install/install_state.h"
#include "install/manifest.h"

int run_quiet(const std::vector<std::string>& argv) {
    std::fflush(stdout);
    pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (!freopen("/dev/null", "w", stdout)) _exit(126);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::string install_from_discs(const std::string& discs, int (*frame_step)(int& cursor, int disk)) {
    int cursor = 0, disk = 0;
    dvd_path = discs + "disk_0/";
    frame_clock frame;
    for (;;) {
        int r;
        if (frame_step) {
            r = frame_step(cursor, disk);
            if (r == 0) frame.end_frame();
        } else {
            r = install_files(cursor, disk);
            if (r == 0) std::this_thread::sleep_for(std::chrono::microseconds(250));
        }
        if (r == 1) return std::string();
        if (r == 2) {
            disk = sim_info[cursor].versions.back().disk;
            dvd_path = discs + "disk_" + std::to_string(disk) + "/";
        } else if (r == 3) {
            std::string msg;
            install_files_get_error(msg);
            return msg.empty() ? "a file failed" : msg;
        }
    }
}

frame_clock::frame_clock(double min_draw_ms)
    : start_(std::chrono::steady_clock::now()), min_draw_(min_draw_ms / 1000.0) {}

void frame_clock::end_frame() {
    const std::chrono::duration<double> period(1.0 / 60.0);
    const auto now = std::chrono::steady_clock::now();
    const double at = std::chrono::duration<double>(now - start_ + min_draw_).count();
    const double next = std::ceil(at / period.count()) * period.count();
    std::this_thread::sleep_until(start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                               std::chrono::duration<double>(next)));
    ++frames_;
}

int run_driver(const char* which, const char* self) {
    // The build folder is the one above this program's own folder.
    char exe[4096];
    ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    std::string build = n > 0 ? std::string(exe, static_cast<size_t>(n)) : std::string(self);
    build = build.substr(0, build.rfind('/'));
    build = build.substr(0, build.rfind('/'));
    const std::string script = std::string(VOLATRA_SOURCE_DIR) + "/bench/speed_bench.py";
    execlp("python3", "python3", script.c_str(), which, "--build", build.c_str(),
           static_cast<char*>(nullptr));
    std::perror("python3");
    return 127;
}

#include "bench_common.h"

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
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

std::string install_from_discs(const std::string& discs) {
    int cursor = 0, disk = 0;
    dvd_path = discs + "disk_0/";
    for (;;) {
        int r = install_files(cursor, disk);
        if (r == 0) std::this_thread::sleep_for(std::chrono::microseconds(250));
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

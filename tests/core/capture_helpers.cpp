#include "capture_helpers.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/wx.h"

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

log_capture::log_capture() {
    path_ = ::testing::TempDir() + "xer_capture_" + std::to_string(getpid());
    EXPECT_TRUE(xer.open(path_));
}

log_capture::~log_capture() {
    xer.close();
    unlink(path_.c_str());
}

std::string log_capture::text() {
    xer.flush();
    return read_file(path_);
}

child_result run_in_child(const std::function<void()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, ""};
    std::fflush(nullptr);  // nothing buffered may reach the pipe twice
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        close(fds[1]);
        body();
        std::fflush(nullptr);
        _exit(child_returned);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        out.append(buf, n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

temp_folder::temp_folder() {
    std::string tmpl = ::testing::TempDir() + "volatra_XXXXXX";
    char* made = mkdtemp(tmpl.data());
    EXPECT_NE(made, nullptr);
    path_ = tmpl + "/";
}

temp_folder::~temp_folder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string temp_folder::write(const std::string& name, const std::string& content) const {
    std::string p = path_ + name;
    std::ofstream(p, std::ios::binary) << content;
    return p;
}

std::string temp_folder::read(const std::string& name) const { return read_file(path_ + name); }

#include "e2e_session.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "common/test_helpers.h"
#include "platform/plat_paths.h"

extern char** environ;

namespace {
// The variables that would let a run reach the user's own desktop session or settings.
bool inherited(const char* entry) {
    static const char* const dropped[] = {"DISPLAY=",    "WAYLAND_DISPLAY=", "HOME=", "TMPDIR=",      "XDG_",
                                          "XAUTHORITY=", "VOLATRA_",         "SDL_",  "LSAN_OPTIONS="};
    for (const char* d : dropped)
        if (std::strncmp(entry, d, std::strlen(d)) == 0) return false;
    return true;
}

// The children of this process, from every thread's list.
std::vector<pid_t> children() {
    std::vector<pid_t> out;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::ifstream in(task.path() / "children");
        for (pid_t pid; in >> pid;) out.push_back(pid);
    }
    return out;
}

// Waits for pid to end; false when it has not within the time, or kill_when answered true.
bool wait_for(pid_t pid, int timeout_ms, int* status, const std::function<bool()>& kill_when = nullptr) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    for (;;) {
        pid_t r = waitpid(pid, status, WNOHANG);
        if (r == pid) return true;
        if (r < 0) return false;
        if (std::chrono::steady_clock::now() > end) return false;
        if (kill_when && kill_when()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(kill_when ? 1 : 20));
    }
}
}  // namespace

e2e_session::e2e_session(const std::string& name) {
    // A program that hands over to another ends at once; the other becomes the test's child.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    // Without TMPDIR (plain ctest) the build's own tmp/, so two builds' runs never share a folder.
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp == '/' ? tmp : VOLATRA_BUILD_TMP_DIR;
    plat::make_dirs(base, 0755);
    if (base.back() != '/') base += '/';
    dir_ = base + "e2e-" + name + "/";
    remove_tree(dir_);
    for (const char* sub : {"home/Desktop", "home/.config", "tmp", "work", "runtime"})
        plat::make_dirs(dir_ + sub, 0700);
}

e2e_session::~e2e_session() {
    if (xvfb_ > 0) {
        kill(xvfb_, SIGTERM);
        int status;
        if (!wait_for(xvfb_, 5000, &status)) {
            kill(xvfb_, SIGKILL);
            waitpid(xvfb_, &status, 0);
        }
    }
}

bool e2e_session::start_display(std::string* why, int w, int h) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return *why = "pipe failed", false;
    std::string screen = std::to_string(w) + "x" + std::to_string(h) + "x24";
    std::string fd = std::to_string(fds[1]);
    pid_t pid = fork();
    if (pid == 0) {
        fcntl(fds[1], F_SETFD, 0);
        int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(open((dir_ + "xvfb.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        // The display number comes back on the pipe once the server listens.
        std::vector<const char*> argv{"Xvfb",         "-displayfd", fd.c_str(), "-screen", "0",
                                      screen.c_str(), "-nolisten",  "tcp",      "-noreset"};
        if (!font_path_.empty()) argv.insert(argv.end(), {"-fp", font_path_.c_str()});
        argv.push_back(nullptr);
        execvp("Xvfb", const_cast<char* const*>(argv.data()));
        _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        return *why = "fork failed", false;
    }
    xvfb_ = pid;
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return *why = "Xvfb did not start: " + read_file(dir_ + "xvfb.log"), false;
    display_ = ":" + number;
    return true;
}

std::string x_type1_font_folder() {
    // Debian's folder, then the older layout's. The server leaves a folder out of its path, without
    // a word, unless the folder's list (fonts.dir, its first line the count) names a font.
    for (const char* folder : {"/usr/share/fonts/X11/Type1", "/usr/share/X11/fonts/Type1"})
        if (std::atoi(read_file(std::string(folder) + "/fonts.dir").c_str()) > 0) return folder;
    return "";
}

bool e2e_session::wait_for_adopted(int timeout_s) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_s);
    for (;;) {
        bool running = false;
        for (pid_t pid : children()) {
            if (pid == xvfb_) continue;
            int status;
            running = running || waitpid(pid, &status, WNOHANG) == 0;
        }
        if (!running) return true;
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

void e2e_session::set_env(const std::string& name, const std::string& value) {
    const std::string prefix = name + "=";
    env_.erase(std::remove_if(env_.begin(), env_.end(),
                              [&](const std::string& e) { return e.compare(0, prefix.size(), prefix) == 0; }),
               env_.end());
    env_.push_back(prefix + value);
}

int e2e_session::run(const std::string& program, const std::vector<std::string>& args,
                     const std::string& script, int timeout_s, const std::function<bool()>& kill_when) {
    write_file(dir_ + "script.txt", script);
    std::vector<std::string> env;
    // A variable set for the runs replaces the inherited one (PATH with stand-ins first).
    auto overridden = [this](const char* entry) {
        for (const std::string& own : env_)
            if (std::strncmp(entry, own.c_str(), own.find('=') + 1) == 0) return true;
        return false;
    };
    for (char** e = environ; *e; ++e)
        if (inherited(*e) && !overridden(*e)) env.push_back(*e);
    env.push_back("HOME=" + dir_ + "home");
    env.push_back("XDG_CONFIG_HOME=" + dir_ + "home/.config");
    env.push_back("XDG_CACHE_HOME=" + dir_ + "home/.cache");
    env.push_back("XDG_DATA_HOME=" + dir_ + "home/.local/share");
    env.push_back("XDG_RUNTIME_DIR=" + dir_ + "runtime");
    env.push_back("TMPDIR=" + dir_ + "tmp");
    env.push_back("VOLATRA_INPUT_SCRIPT=" + dir_ + "script.txt");
    env.push_back("SDL_VIDEODRIVER=x11");
    // Under the leak checker: what the system libraries keep until exit is theirs.
    env.push_back("LSAN_OPTIONS=suppressions=" VOLATRA_E2E_DIR "/lsan.supp:print_suppressions=0");
    if (!display_.empty()) env.push_back("DISPLAY=" + display_);
    env.insert(env.end(), env_.begin(), env_.end());

    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(&e[0]);
    envp.push_back(nullptr);

    std::string out = dir_ + "stdout.txt", err = dir_ + "stderr.txt", work = dir_ + "work";
    pid_t pid = fork();
    if (pid == 0) {
        dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        if (chdir(work.c_str()) != 0) _exit(126);
        execve(program.c_str(), argv.data(), envp.data());
        _exit(127);
    }
    if (pid < 0) return -1;
    int status = 0;
    if (!wait_for(pid, timeout_s * 1000, &status, kill_when)) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        return -1;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string e2e_session::log() const { return read_file(desktop() + "Volatra Installer Log.txt"); }
std::string e2e_session::out() const { return read_file(dir_ + "stdout.txt"); }
std::string e2e_session::err() const { return read_file(dir_ + "stderr.txt"); }

std::string e2e_session::report() const {
    return "--- log\n" + log() + "--- stdout\n" + out() + "--- stderr\n" + err() + "--- folder " + dir_ +
           "\n";
}

e2e_image::px e2e_image::at(int x, int y) const {
    size_t i =
        (static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 3;
    return {rgb[i], rgb[i + 1], rgb[i + 2]};
}

bool read_png(const std::string& path, e2e_image* out) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&img, path.c_str())) return false;
    img.format = PNG_FORMAT_RGB;
    out->width = static_cast<int>(img.width);
    out->height = static_cast<int>(img.height);
    out->rgb.assign(PNG_IMAGE_SIZE(img), 0);
    if (!png_image_finish_read(&img, nullptr, out->rgb.data(), 0, nullptr)) return false;
    return true;
}

void expect_in_order(const std::string& log, const std::vector<std::string>& lines) {
    size_t at = 0;
    for (const std::string& l : lines) {
        size_t found = log.find(l, at);
        EXPECT_NE(found, std::string::npos) << "missing, or out of order: " << l;
        if (found != std::string::npos) at = found + l.size();
    }
}

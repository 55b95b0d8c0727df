#include "platform/plat_fs.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace {

std::string env_str(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string with_slash(std::string p) {
    if (p.empty() || p.back() != '/') p += '/';
    return p;
}

std::string without_slash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::string last_component(const std::string& p) {
    std::string q = without_slash(p);
    size_t s = q.rfind('/');
    return s == std::string::npos ? q : q.substr(s + 1);
}

std::string real_path(const std::string& p) {
    char buf[PATH_MAX];
    return realpath(p.c_str(), buf) ? buf : "";
}

bool is_dir(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Undoes the octal escapes (\040 and the like) of mountinfo fields.
std::string unescape_mount(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
            s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

// --- paths

std::string plat_parent_of(const std::string& p) {
    std::string q = without_slash(p);
    size_t s = q.rfind('/');
    if (s == std::string::npos) return ".";
    return s == 0 ? "/" : q.substr(0, s);
}

bool plat_path_within(const std::string& path, const std::string& root) {
    if (root == "/") return !path.empty() && path[0] == '/';
    return path == root ||
           (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/');
}

// --- the running program

std::string plat_exe_path() { return real_path("/proc/self/exe"); }

std::string plat_bundle_of_exe(const std::string& exe) {
    std::string macos = plat_parent_of(exe);
    std::string contents = plat_parent_of(macos);
    std::string bundle = plat_parent_of(contents);
    if (last_component(macos) == "MacOS" && last_component(contents) == "Contents" &&
        ends_with(last_component(bundle), ".app"))
        return bundle;
    return exe;
}

std::string plat_bundle_executable(const std::string& bundle_in) {
    std::string bundle = without_slash(bundle_in);
    if (!is_dir(bundle)) return bundle;
    std::string name;
    std::ifstream plist(bundle + "/Contents/Info.plist");
    if (plist) {
        std::stringstream ss;
        ss << plist.rdbuf();
        std::string text = ss.str();
        size_t k = text.find("<key>CFBundleExecutable</key>");
        if (k != std::string::npos) {
            size_t a = text.find("<string>", k);
            size_t b = a == std::string::npos ? a : text.find("</string>", a);
            if (b != std::string::npos) name = text.substr(a + 8, b - a - 8);
        }
    }
    // The name comes from the bundle itself, so it may not lead out of Contents/MacOS.
    if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos) {
        name = last_component(bundle);
        if (ends_with(name, ".app")) name.resize(name.size() - 4);
    }
    return bundle + "/Contents/MacOS/" + name;
}

// --- standard folders

std::string plat_home_dir() {
    std::string home = env_str("HOME");
    if (!home.empty()) return home;
    struct passwd pw, *res = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &res) == 0 && res && res->pw_dir) return res->pw_dir;
    return "";
}

int plat_make_dirs(const std::string& path, mode_t mode) {
    std::string p = without_slash(path);
    if (p.empty()) return EINVAL;
    if (is_dir(p)) return 0;
    std::string parent = plat_parent_of(p);
    if (parent != p && parent != "." && parent != "/") {
        int err = plat_make_dirs(parent, mode);
        if (err) return err;
    }
    if (mkdir(p.c_str(), mode) != 0 && errno != EEXIST) return errno;
    return is_dir(p) ? 0 : ENOTDIR;
}

bool plat_desktop_dir(std::string& out) {
    std::string home = plat_home_dir();
    if (home.empty()) return false;
    std::string config = env_str("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') config = home + "/.config";
    std::string desk;
    std::ifstream dirs(config + "/user-dirs.dirs");
    for (std::string line; std::getline(dirs, line);) {
        const std::string key = "XDG_DESKTOP_DIR=";
        if (line.compare(0, key.size(), key) != 0) continue;
        std::string v = line.substr(key.size());
        if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
        if (v.compare(0, 5, "$HOME") == 0)
            v = home + v.substr(5);
        else if (v.empty() || v[0] != '/')
            continue;  // the format allows only these two forms
        desk = v;
    }
    if (desk.empty()) desk = home + "/Desktop";
    if (plat_make_dirs(desk, 0755) != 0) return false;
    out = with_slash(desk);
    return true;
}

bool plat_prefs_dir(std::string& out) {
    std::string config = env_str("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') {
        std::string home = plat_home_dir();
        if (home.empty()) return false;
        config = home + "/.config";
    }
    if (plat_make_dirs(config, 0700) != 0) return false;
    out = with_slash(config);
    return true;
}

bool plat_temp_dir(std::string& out) {
    std::string base = env_str("TMPDIR");
    if (base.empty() || base[0] != '/') base = "/tmp";
    base = without_slash(base);
    if (base == "/") base.clear();
    std::string dir = base + "/volatra-installer-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    // Someone else may have made the name first: take it only when it is our own real folder.
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
    if ((st.st_mode & 077) != 0 && chmod(dir.c_str(), 0700) != 0) return false;
    out = dir + "/";
    return true;
}

int plat_write_all(int fd, const void* data, size_t n) {
    const char* p = static_cast<const char*>(data);
    while (n > 0) {
        ssize_t w = write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        p += w;
        n -= static_cast<size_t>(w);
    }
    return 0;
}

plat_fd_closer::~plat_fd_closer() {
    if (fd >= 0) close(fd);
}

int plat_open_regular(const std::string& path, uint64_t* size) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return -1;
    }
    if (size) *size = static_cast<uint64_t>(st.st_size);
    return fd;
}

// --- volumes

int plat_free_space(const std::string& path, uint64_t* total, uint64_t* avail) {
    struct statvfs vs;
    if (statvfs(path.c_str(), &vs) != 0) return errno;
    if (total) *total = static_cast<uint64_t>(vs.f_blocks) * vs.f_frsize;
    if (avail) *avail = static_cast<uint64_t>(vs.f_bavail) * vs.f_frsize;
    return 0;
}

std::string plat_mount_point_in(const std::string& mountinfo, const std::string& path, std::string* source) {
    std::istringstream in(mountinfo);
    std::string best, best_source;
    for (std::string line; std::getline(in, line);) {
        // id parent major:minor root mount-point options [optional...] - fstype source super-options
        std::istringstream f(line);
        std::string id, parent, dev, root, mp, field;
        if (!(f >> id >> parent >> dev >> root >> mp)) continue;
        while (f >> field && field != "-") {
        }
        std::string fstype, src;
        f >> fstype >> src;
        mp = unescape_mount(mp);
        // Later lines mount over earlier ones at the same point, so ties go to the later.
        if (plat_path_within(path, mp) && mp.size() >= best.size()) {
            best = mp;
            best_source = unescape_mount(src);
        }
    }
    if (source && !best.empty()) *source = best_source;
    return best;
}

int plat_mount_point_of(const std::string& path, std::string& mount_point, std::string* source) {
    std::string real = real_path(path);
    if (real.empty()) return errno;
    std::string test_root = env_str(kPlatTestVolumesEnv);
    if (!test_root.empty()) {
        std::string root = real_path(test_root);
        if (!root.empty() && real != root && plat_path_within(real, root)) {
            size_t end = real.find('/', root.size() + 1);
            mount_point = real.substr(0, end);
            if (source) source->clear();
            return 0;
        }
    }
    std::ifstream f("/proc/self/mountinfo");
    if (!f) return errno ? errno : ENOENT;
    std::stringstream ss;
    ss << f.rdbuf();
    std::string mp = plat_mount_point_in(ss.str(), real, source);
    if (mp.empty()) return ENOENT;
    mount_point = mp;
    return 0;
}

int plat_eject(const std::string& mount_point, const std::string& source) {
    int status = -1, err;
    std::string custom = env_str(kPlatEjectCommandEnv);
    if (!custom.empty()) {
        std::string exe = plat_find_program(custom);
        if (exe.empty()) return ENOENT;
        err = plat_run_wait(exe, {exe, mount_point}, &status);
    } else if (std::string eject = plat_find_program("eject"); !eject.empty()) {
        err = plat_run_wait(eject, {eject, mount_point}, &status);
    } else if (std::string udisks = plat_find_program("udisksctl"); !udisks.empty() && !source.empty()) {
        err = plat_run_wait(udisks, {udisks, "unmount", "-b", source}, &status);
        if (!err && status == 0) err = plat_run_wait(udisks, {udisks, "power-off", "-b", source}, &status);
    } else {
        return ENOENT;
    }
    if (err) return err;
    return status == 0 ? 0 : EIO;
}

// --- processes

std::string plat_find_program(const std::string& name) {
    if (name.empty()) return "";
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    std::string path = env_str("PATH");
    if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
    std::istringstream dirs(path);
    for (std::string d; std::getline(dirs, d, ':');) {
        if (d.empty()) continue;
        std::string candidate = d + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

int plat_spawn(const std::string& exe, const std::vector<std::string>& argv, pid_t* pid) {
    // Everything the child needs is built before fork: after it only async-signal-safe calls.
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return errno;
    pid_t child = fork();
    if (child < 0) {
        int err = errno;
        close(fds[0]);
        close(fds[1]);
        return err;
    }
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // Ignored signals stay ignored across exec: the started program gets the defaults (we
        // ignore SIGPIPE, which the simulator must not inherit).
        for (int sig = 1; sig < NSIG; ++sig) {
            struct sigaction sa;
            if (sigaction(sig, nullptr, &sa) == 0 && sa.sa_handler == SIG_IGN) signal(sig, SIG_DFL);
        }
        close(fds[0]);
        execv(exe.c_str(), args.data());
        // The pipe closes on a successful exec; only a failure writes to it.
        int err = errno;
        ssize_t w = write(fds[1], &err, sizeof err);
        (void)w;
        _exit(err & 0xff);
    }
    close(fds[1]);
    int child_err = 0;
    ssize_t got;
    do {
        got = read(fds[0], &child_err, sizeof child_err);
    } while (got < 0 && errno == EINTR);
    close(fds[0]);
    if (got == static_cast<ssize_t>(sizeof child_err)) {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        return child_err ? child_err : ENOEXEC;
    }
    if (pid) *pid = child;
    return 0;
}

int plat_run_wait(const std::string& exe, const std::vector<std::string>& argv, int* status) {
    pid_t child;
    int err = plat_spawn(exe, argv, &child);
    if (err) return err;
    int st = 0;
    while (waitpid(child, &st, 0) < 0) {
        if (errno != EINTR) return errno;
    }
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return 0;
}

// --- code bundles

std::string plat_framework_library(const std::string& framework) {
    static const struct {
        const char* framework;
        const char* library;
    } kMap[] = {{"OpenGL.framework", "libGL.so.1"}};
    for (const auto& m : kMap)
        if (framework == m.framework) return m.library;
    return "";
}

void* plat_framework_load(const std::string& library, std::string* why) {
    void* h = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h && why) {
        const char* e = dlerror();
        *why = e ? e : "";
    }
    return h;
}

void* plat_framework_symbol(void* handle, const char* name) { return handle ? dlsym(handle, name) : nullptr; }

void plat_framework_release(void* handle) {
    if (handle) dlclose(handle);
}

#include "platform/plat_paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <sstream>

#include "platform/plat_strings.h"

namespace plat {

namespace {

std::string with_slash(std::string p) {
    if (p.empty() || p.back() != '/') p += '/';
    return p;
}

std::string without_slash(std::string p) {
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    return p;
}

std::string last_component(const std::string& p) {
    std::string q = without_slash(p);
    size_t s = q.rfind('/');
    return s == std::string::npos ? q : q.substr(s + 1);
}

bool is_dir(const std::string& p) {
    struct stat st;
    return stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

// --- paths

std::string parent_of(const std::string& p) {
    std::string q = without_slash(p);
    size_t s = q.rfind('/');
    if (s == std::string::npos) return ".";
    return s == 0 ? "/" : q.substr(0, s);
}

std::vector<std::string> path_components(const std::string& path) {
    std::vector<std::string> out;
    for (size_t at = 0; at <= path.size();) {
        size_t slash = path.find('/', at);
        if (slash == std::string::npos) slash = path.size();
        if (slash > at) out.push_back(path.substr(at, slash - at));
        at = slash + 1;
    }
    return out;
}

bool path_within(const std::string& path, const std::string& root) {
    if (root == "/") return !path.empty() && path[0] == '/';
    return path == root ||
           (path.size() > root.size() && path.compare(0, root.size(), root) == 0 && path[root.size()] == '/');
}

std::string real_path(const std::string& p) {
    char buf[PATH_MAX];
    return realpath(p.c_str(), buf) ? buf : "";
}

std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? v : "";
}

// --- the running program

std::string exe_path() { return real_path("/proc/self/exe"); }

std::string bundle_of_exe(const std::string& exe) {
    std::string macos = parent_of(exe);
    std::string contents = parent_of(macos);
    std::string bundle = parent_of(contents);
    if (last_component(macos) == "MacOS" && last_component(contents) == "Contents" &&
        ends_with(last_component(bundle), ".app"))
        return bundle;
    return exe;
}

std::string bundle_executable(const std::string& bundle_in) {
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

std::string home_dir() {
    std::string home = env("HOME");
    if (!home.empty()) return home;
    struct passwd pw, *res = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &pw, buf, sizeof buf, &res) == 0 && res && res->pw_dir) return res->pw_dir;
    return "";
}

int make_dirs(const std::string& path, mode_t mode) {
    std::string p = without_slash(path);
    if (p.empty()) return EINVAL;
    if (is_dir(p)) return 0;
    std::string parent = parent_of(p);
    if (parent != p && parent != "." && parent != "/") {
        int err = make_dirs(parent, mode);
        if (err) return err;
    }
    if (mkdir(p.c_str(), mode) != 0 && errno != EEXIST) return errno;
    return is_dir(p) ? 0 : ENOTDIR;
}

bool desktop_dir(std::string& out) {
    std::string home = home_dir();
    if (home.empty()) return false;
    std::string config = env("XDG_CONFIG_HOME");
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
    if (make_dirs(desk, 0755) != 0) return false;
    out = with_slash(desk);
    return true;
}

bool prefs_dir(std::string& out) {
    std::string config = env("XDG_CONFIG_HOME");
    if (config.empty() || config[0] != '/') {
        std::string home = home_dir();
        if (home.empty()) return false;
        config = home + "/.config";
    }
    if (make_dirs(config, 0700) != 0) return false;
    out = with_slash(config);
    return true;
}

namespace {
// True when dir is a real folder of this user's alone (its rights tightened when loose).
bool own_private_folder(const std::string& dir) {
    struct stat st;
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
    return (st.st_mode & 077) == 0 || chmod(dir.c_str(), 0700) == 0;
}
}  // namespace

bool temp_dir(std::string& out) {
    std::string base = env("TMPDIR");
    if (base.empty() || base[0] != '/') base = "/tmp";
    base = without_slash(base);
    if (base == "/") base.clear();
    std::string dir = base + "/volatra-installer-" + std::to_string(getuid());
    if (mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
    // Someone else may have made the name first: take it only when it is our own real folder,
    // else a fresh one of our own under a name nobody could foresee, the same for the whole run.
    if (!own_private_folder(dir)) {
        static std::mutex mu;
        static std::string made;
        std::lock_guard<std::mutex> lock(mu);
        if (made.empty() || made.compare(0, dir.size(), dir) != 0 || !own_private_folder(made)) {
            std::string name = dir + "-XXXXXX";
            if (!mkdtemp(&name[0])) return false;
            made = name;
        }
        dir = made;
    }
    out = dir + "/";
    return true;
}

// --- file descriptors

int write_all(int fd, const void* data, size_t n) {
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

int copy_all(int in, int out) {
    std::unique_ptr<char[]> buf(new char[65536]);
    for (;;) {
        const ssize_t n = read(in, buf.get(), 65536);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return 0;
        if (int err = write_all(out, buf.get(), static_cast<size_t>(n))) return err;
    }
}

fd_closer::~fd_closer() {
    if (fd >= 0) close(fd);
}

int open_regular(const std::string& path, uint64_t* size) {
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

int lock_file(const std::string& path, int* fd) {
    // A file that keeps going under us is one that others keep taking.
    for (int tries = 0; tries < 16; ++tries) {
        // Reading is enough to lock; a FIFO put there must not block the open.
        int f = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0644);
        if (f < 0) return errno;
        struct stat held, named;
        if (fstat(f, &held) != 0 || !S_ISREG(held.st_mode)) {
            close(f);
            return EINVAL;
        }
        if (flock(f, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            close(f);
            return err;
        }
        // The last holder removes the file as it lets go: a lock taken on a file that is no
        // longer at path locks nothing, so the one now there is taken.
        if (stat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
            *fd = f;
            return 0;
        }
        close(f);
    }
    return EWOULDBLOCK;
}

void unlock_file(const std::string& path, int fd) {
    // Only the file this lock holds: one put at path since (another program's lock, taken after
    // ours was removed under us) is not ours to remove.
    struct stat held, named;
    if (fstat(fd, &held) == 0 && lstat(path.c_str(), &named) == 0 && held.st_dev == named.st_dev &&
        held.st_ino == named.st_ino)
        unlink(path.c_str());
    close(fd);
}

}  // namespace plat

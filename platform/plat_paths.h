// Paths, the running program's location, the standard folders and plain file descriptors.
// Folder paths returned here end in '/'. Functions give 0 or an errno value unless noted.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// The folder holding the last component (trailing '/' ignored): "." for a bare name, "/" at the top.
std::string parent_of(const std::string& path);
// The names of path between its '/', without empty ones: "a//b/" gives a, b.
std::vector<std::string> path_components(const std::string& path);
// True when path is root or lies below it (both absolute and normalised, root without a trailing '/').
bool path_within(const std::string& path, const std::string& root);
// realpath of path; empty (errno set) when it cannot be resolved.
std::string real_path(const std::string& path);
// The value of an environment variable, "" when unset.
std::string env(const char* name);

// --- the running program
// realpath of /proc/self/exe; empty when unknown.
std::string exe_path();
// "X.app" when exe lies in X.app/Contents/MacOS/, otherwise exe itself.
std::string bundle_of_exe(const std::string& exe);
// The executable a bundle folder runs: CFBundleExecutable of Contents/Info.plist when it names a
// plain file name, else Contents/MacOS/<bundle name less ".app">. A non-folder is its own executable.
std::string bundle_executable(const std::string& bundle);

// --- standard folders (false when the folder cannot be found or made; out is then unchanged)
std::string home_dir();
bool desktop_dir(std::string& out);  // XDG desktop, else $HOME/Desktop; created when missing
bool prefs_dir(std::string& out);    // $XDG_CONFIG_HOME, else $HOME/.config
// A private folder ${TMPDIR:-/tmp}/volatra-installer-<uid>/, mode 0700 and owned by the user:
// the program writes fixed names there, which a shared /tmp would open to link attacks. When
// another user holds that name, a fresh volatra-installer-<uid>-XXXXXX/ serves the whole run.
bool temp_dir(std::string& out);
// Creates every missing folder of path with mode.
int make_dirs(const std::string& path, mode_t mode);

// --- file descriptors
// Writes all n bytes, going on after short and interrupted writes. 0 or errno.
int write_all(int fd, const void* data, size_t n);
// Writes everything in reads from its offset on to out. 0 or errno.
int copy_all(int in, int out);
// Closes fd when it goes out of scope, unless released first.
struct fd_closer {
    int fd = -1;
    ~fd_closer();
    int release() {
        int f = fd;
        fd = -1;
        return f;
    }
};
// Opens a regular file for reading (close-on-exec, and without blocking on a FIFO); -1 for
// anything else. *size gets its length.
int open_regular(const std::string& path, uint64_t* size);

// An advisory lock between programs: the file at path (made when missing, a link there refused)
// locked through *fd, which holds it until unlock_file or the program's end. 0; EWOULDBLOCK when
// another holds it; or the errno of the open.
int lock_file(const std::string& path, int* fd);
// Removes the lock's file while path still names it, then closes fd and with it the lock.
void unlock_file(const std::string& path, int fd);

}  // namespace plat

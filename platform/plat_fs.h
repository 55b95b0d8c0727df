// The Linux side of the file layer: standard folders, volumes, processes and code bundles.
// Folder paths returned here end in '/'. Functions give 0 or an errno value unless noted.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// Environment overrides, for tests and for machines without a drive:
// a folder whose sub-folders act as mounted discs,
inline constexpr char kPlatTestVolumesEnv[] = "VOLATRA_TEST_VOLUMES";
// a program run as "<program> <mount point>" instead of the system's eject.
inline constexpr char kPlatEjectCommandEnv[] = "VOLATRA_EJECT_COMMAND";

// --- paths
// The folder holding the last component (trailing '/' ignored): "." for a bare name, "/" at the top.
std::string plat_parent_of(const std::string& path);
// True when path is root or lies below it (both absolute and normalised, root without a trailing '/').
bool plat_path_within(const std::string& path, const std::string& root);

// --- the running program
// realpath of /proc/self/exe; empty when unknown.
std::string plat_exe_path();
// "X.app" when exe lies in X.app/Contents/MacOS/, otherwise exe itself.
std::string plat_bundle_of_exe(const std::string& exe);
// The executable a bundle folder runs: CFBundleExecutable of Contents/Info.plist when it names a
// plain file name, else Contents/MacOS/<bundle name less ".app">. A non-folder is its own executable.
std::string plat_bundle_executable(const std::string& bundle);

// --- standard folders (false when the folder cannot be found or made; out is then unchanged)
std::string plat_home_dir();
bool plat_desktop_dir(std::string& out);  // XDG desktop, else $HOME/Desktop; created when missing
bool plat_prefs_dir(std::string& out);    // $XDG_CONFIG_HOME, else $HOME/.config
// A private folder ${TMPDIR:-/tmp}/volatra-installer-<uid>/, mode 0700 and owned by the user:
// the program writes fixed names there, which a shared /tmp would open to link attacks.
bool plat_temp_dir(std::string& out);
// Creates every missing folder of path with mode.
int plat_make_dirs(const std::string& path, mode_t mode);

// Writes all n bytes, going on after short and interrupted writes. 0 or errno.
int plat_write_all(int fd, const void* data, size_t n);
// Closes fd when it goes out of scope, unless released first.
struct plat_fd_closer {
    int fd = -1;
    ~plat_fd_closer();
    int release() {
        int f = fd;
        fd = -1;
        return f;
    }
};

// Opens a regular file for reading (close-on-exec, and without blocking on a FIFO); -1 for
// anything else. *size gets its length.
int plat_open_regular(const std::string& path, uint64_t* size);

// --- volumes
// Size and space available to the user of the volume holding the existing folder or file.
int plat_free_space(const std::string& path, uint64_t* total, uint64_t* avail);
// The mount point (no trailing '/') holding the absolute path, looked up in mountinfo text;
// source receives the mounted device. Empty when no line matches.
std::string plat_mount_point_in(const std::string& mountinfo, const std::string& path, std::string* source);
// The same for an existing path on this system, the test volumes included.
int plat_mount_point_of(const std::string& path, std::string& mount_point, std::string* source);
// Ejects the volume mounted at mount_point, waiting for the eject program.
int plat_eject(const std::string& mount_point, const std::string& source);

// --- processes
// Full path of a program: name itself when it holds '/', else the first match on $PATH.
std::string plat_find_program(const std::string& name);
// Starts exe with argv (argv[0] included). 0 and *pid once exec succeeded; otherwise the errno
// of fork or exec, the failed child already reaped.
int plat_spawn(const std::string& exe, const std::vector<std::string>& argv, pid_t* pid);
// Starts and waits; *status gets the exit status (-1 when killed by a signal).
int plat_run_wait(const std::string& exe, const std::vector<std::string>& argv, int* status);

// --- code bundles ("OpenGL.framework" and the like, mapped to shared libraries)
// The shared library standing for a framework name; empty when none does.
std::string plat_framework_library(const std::string& framework);
void* plat_framework_load(const std::string& library, std::string* why);
void* plat_framework_symbol(void* handle, const char* name);
void plat_framework_release(void* handle);

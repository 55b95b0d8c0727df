// The deletion watch of wizard_helpers.h. Only a test that watches links this file, and with it
// the unlink and rmdir below in place of the C library's.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

#include "wizard/copy_lock.h"
#include "wizard_helpers.h"

namespace {
// Set before watching is, so a deletion of any thread that sees watching sees the copy too.
std::string watched_copy;
std::atomic<bool> watching{false};
std::atomic<int> deleted_in_copy{0}, deleted_unlocked{0};

void note_deletion(const char* path) {
    if (!watching || std::strncmp(path, watched_copy.c_str(), watched_copy.size()) != 0 ||
        path == watched_copy + copy_lock_name)
        return;
    ++deleted_in_copy;
    const int fd = open((watched_copy + copy_lock_name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0) ++deleted_unlocked;
    if (fd >= 0) close(fd);
}
}  // namespace

// Every deletion of the program passes here on its way to the C library.
extern "C" int unlink(const char* path) noexcept {
    static const auto real = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_NEXT, "unlink"));
    note_deletion(path);
    return real(path);
}
extern "C" int rmdir(const char* path) noexcept {
    static const auto real = reinterpret_cast<int (*)(const char*)>(dlsym(RTLD_NEXT, "rmdir"));
    note_deletion(path);
    return real(path);
}

deletion_watch::deletion_watch(const std::string& copy) {
    watched_copy = copy;
    deleted_in_copy = deleted_unlocked = 0;
    watching = true;
}
deletion_watch::~deletion_watch() { watching = false; }
int deletion_watch::in_copy() const { return deleted_in_copy; }
int deletion_watch::unlocked() const { return deleted_unlocked; }

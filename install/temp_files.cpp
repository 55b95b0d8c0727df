#include "install/temp_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <utility>

#include "core/globals.h"
#include "core/strings.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/safe_extract.h"
#include "platform/plat_paths.h"

namespace {

constexpr char kLockName[] = ".lock";

// A hidden name this program writes, of a process other than this one that no longer runs.
bool is_stale_temp_item(const std::string& name) {
    const pid_t pid = hidden_temp_owner(name);
    if (pid <= 0 || pid == getpid()) return false;
    return kill(pid, 0) != 0 && errno == ESRCH;
}

// The locks of the copies a sweep walks, held until it ends: no program starts a run in them
// meanwhile. A process the sweep cannot see (one in another PID namespace) counts as ended, so
// the lock, not the process id, tells whether a run is writing there.
class copy_locks {
public:
    copy_locks() = default;
    copy_locks(const copy_locks&) = delete;
    copy_locks& operator=(const copy_locks&) = delete;
    ~copy_locks() {
        for (auto l = held_.rbegin(); l != held_.rend(); ++l) plat::unlock_file(l->first, l->second);
    }
    // Takes the lock of the copy in folder (ending in '/') where it can be had; false, logged,
    // when another program holds it.
    bool take(const std::string& folder) {
        int fd = -1;
        if (!take_copy_lock(folder, &fd)) {
            xer << "Temporary items in " << folder
                << " are left alone: another program is working on the copy.\n";
            return false;
        }
        if (fd >= 0) held_.emplace_back(folder + copy_lock_name, fd);
        return true;
    }

private:
    std::vector<std::pair<std::string, int>> held_;
};

// A folder goes with everything in it (a link as a link); anything else is unlinked.
int remove_item(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return errno;
    return S_ISDIR(st.st_mode) ? recursive_delete_folder(path + "/") : delete_file(path);
}

}  // namespace

bool take_copy_lock(const std::string& folder, int* fd) {
    *fd = -1;
    const int err = plat::lock_file(folder + copy_lock_name, fd);
    if (err == EWOULDBLOCK) return false;
    if (err != 0)
        xer << "Could not lock the copy " << folder << " (" << error_str(err) << "); going on without a lock.\n";
    return true;
}

std::vector<std::string> folder_names(const std::string& folder) {
    std::vector<std::string> out;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") out.push_back(name);
        }
        closedir(d);
    }
    return out;
}

void sweep_stale_temp_items(const std::string& folder, const std::vector<std::string>& moved) {
    copy_locks locks;
    if (!locks.take(folder)) return;
    // The walk's roots are reached as they are named; only below them is a link never followed.
    const std::set<std::string> roots(moved.begin(), moved.end());
    std::vector<std::string> todo(moved.rbegin(), moved.rend());
    todo.push_back(folder);
    std::set<std::pair<dev_t, ino_t>> seen;  // a folder mounted below itself is walked once
    while (!todo.empty()) {
        const std::string dir = todo.back();
        todo.pop_back();
        // Below folder a link put in the walk's way stays unfollowed (a trailing '/' would follow it).
        const bool root = dir == folder || roots.count(dir);
        const int fd = root ? open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                            : open(dir.substr(0, dir.size() - 1).c_str(),
                                   O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        struct stat st;
        if (fd < 0) continue;
        DIR* d = fstat(fd, &st) == 0 && seen.insert({st.st_dev, st.st_ino}).second ? fdopendir(fd) : nullptr;
        // A copy installed inside this one is swept only while its own lock is ours too.
        if (d && dir != folder && fstatat(fd, copy_lock_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && !locks.take(dir)) {
            closedir(d);
            continue;
        }
        if (!d) {
            close(fd);
            continue;
        }
        while (dirent* e = readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            if (is_stale_temp_item(name)) {
                const int err = remove_item(dir + name);
                if (err)
                    xer << "Could not remove the temporary item " << dir + name << " of an ended run: "
                        << error_str(err) << "\n";
                else
                    xer << "Removed the temporary item " << dir + name << " of an ended run.\n";
            } else if (e->d_type == DT_DIR ||
                       (e->d_type == DT_UNKNOWN && fstatat(fd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                        S_ISDIR(st.st_mode))) {
                todo.push_back(dir + name + "/");
            }
        }
        closedir(d);
    }
}

int empty_private_temp_folder(const std::string& folder, const std::string& keep) {
    struct stat st;
    if (folder.size() < 2 || folder[0] != '/' || folder.back() != '/') return EINVAL;
    if (lstat(folder.c_str(), &st) != 0) return errno;
    if (!S_ISDIR(st.st_mode) || st.st_uid != getuid()) return EPERM;

    static int lock_fd = -1;
    static std::string locked;
    if (locked != folder) {
        const int fd = open((folder + kLockName).c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) return errno;
        if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int err = errno == EWOULDBLOCK ? EBUSY : errno;
            close(fd);
            return err;
        }
        if (lock_fd >= 0) close(lock_fd);
        lock_fd = fd;
        locked = folder;
    }

    std::string kept;
    if (starts_with(keep, folder))
        kept = keep.substr(folder.size(), keep.find('/', folder.size()) - folder.size());
    int err = 0;
    for (const std::string& name : folder_names(folder)) {
        if (name == kLockName || name == kept) continue;
        if (int e = remove_item(folder + name)) err = err ? err : e;
    }
    return err;
}

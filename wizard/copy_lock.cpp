#include "wizard/copy_lock.h"

#include <cerrno>

#include "core/alert.h"
#include "core/globals.h"
#include "core/localisation.h"
#include "files/file_operations.h"
#include "platform/plat_paths.h"

namespace {
std::string locked_folder;
int lock_fd = -1;
}  // namespace

bool lock_copy_for_run(const std::string& folder) {
    if (lock_fd >= 0 && folder == locked_folder) return true;
    unlock_copy();
    int fd = -1;
    if (take_copy_lock(folder, &fd)) {
        if (fd >= 0) {
            locked_folder = folder;
            lock_fd = fd;
        }
        return true;
    }
    xer << "The copy " << folder << " is in use by another program.\n";
    __MACIBM_alert(0, UTL_translate_string("Another program is working on this copy of Volatra:"), folder,
                   UTL_translate_string("It may be installing, repairing or updating it."),
                   UTL_translate_string("Please wait until it has finished, then try again."), t_alert, __FILE__,
                   __LINE__);
    return false;
}

void unlock_copy() {
    if (lock_fd < 0) return;
    plat::unlock_file(locked_folder + copy_lock_name, lock_fd);
    lock_fd = -1;
    locked_folder.clear();
}

int delete_folder_then_unlock(const std::string& folder) {
    if (lock_fd < 0 || locked_folder.compare(0, folder.size(), folder) != 0) {
        unlock_copy();
        return recursive_delete_folder(folder);
    }
    const std::string held = locked_folder;
    int err = recursive_delete_folder(folder, held + copy_lock_name);
    unlock_copy();
    // Only the emptied folders that held the lock file remain; removed one level at a time, so
    // what a program that took the copy meanwhile put there stays.
    for (std::string f = held; err == 0; f.erase(f.rfind('/', f.size() - 2) + 1)) {
        const int e = delete_file(f);
        if (e != 0 && e != ENOENT) err = e;
        if (f.size() <= folder.size()) break;
    }
    return err;
}

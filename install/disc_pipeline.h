// Installing from the disc set: every history marked need_install is copied from the mounted disc
// to the temporary folder on one thread, then unpacked into the copy on one thread per processor.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "core/worker_pool.h"

// Copies archives from the disc: one thread, so the disc is read sequentially.
extern UTL_worker_threads* copy_pool;
// Unpacks the copies into the install folder: one thread per processor.
extern UTL_worker_threads* unzip_pool;
// The last failed task found, kept until install_files_get_error reads it.
extern int install_err_num;
extern std::string install_err_msg;

// Copy-then-unpack work for one history; passes through both pools.
class dvd_unpack_task : public UTL_work_task {
public:
    dvd_unpack_task(int index, const std::string& temp_dir);
    ~dvd_unpack_task() override;
    void do_it() override;
    int check_error(std::string& msg) override;

    int index;
    int phase;  // 0 before the copy, 1 after it
    std::string temp_file;
    std::string suffix;  // ".7z" or ".zip"
    std::string dest_path;
    std::string err_msg;
    int err;
    // The copy failed because the disc's release folder was gone: the disc left the drive.
    bool disc_missing = false;
    // The copy failed with a medium error while the disc stayed in the drive.
    bool disc_unreadable = false;
    // Made again from a disc asked for after it was lost.
    bool copied_again = false;

private:
    void copy_phase();
    void unpack_phase();
    void fail_by_exception(const char* what);
};

// One step, called once per frame with the caller's cursor (0 before the first step) and the
// disc mounted now: 0 working, 1 every needed file is installed (pools deleted), 2 the next needed
// file is on another disc and nothing is outstanding, 3 a task failed (the run goes on). A disc
// that leaves the drive mid-run, or stays but cannot be read (EIO, ENOMEDIUM, ENXIO), also gives
// 2 once the pools are idle, the cursor at the first file whose copy it took; those copies are
// made again before the run goes on. A copy that cannot be read again from the disc put back is a
// failed task. A file kept out by an item in the way (place_is_taken) gives 3 once per item, its
// message naming the item; the files behind an item already reported fail unreported.
int install_files(int& cursor, int disk);
// Whether the disc last asked for stayed in the drive but could not be read: then it must come
// out and back even though its files are listed. True once per such request.
bool install_files_disc_unreadable();
// The failure behind result 3: returns its code and message, then clears both.
int install_files_get_error(std::string& msg);
// Abandons a run, or closes one that is done: lets every queued task finish, deletes the tasks and
// both pools. Returns how many files failed that no step reported: those tasks' failures, and the
// files that failed behind an item in the way already reported (result 3 comes once per item).
int install_files_kill();
// ".7z" when the history's current path contains "Global Scenery", else ".zip".
std::string suffix_for_file(int history);

// Expands one archive into a folder ending in '/': 0 or an error code. The default picks the
// 7z or zip reader by the archive's suffix; tests put their own here.
using unpack_archive_fn = int (*)(const std::string& archive, const std::string& folder);
extern unpack_archive_fn g_unpack_archive;
int unpack_archive_by_suffix(const std::string& archive, const std::string& folder);
// Reads the disc's archives as read(2) does; tests put a failing drive here.
using disc_read_fn = ssize_t (*)(int fd, void* buf, size_t n);
extern disc_read_fn g_disc_read;
// Unpacks the archive of one file into its install location dest, through g_unpack_archive.
// The archive must hold the file's own name (and in a zip its resource fork) and nothing else,
// and the file must have the manifest's digest sig_want; otherwise nothing else is written, dest
// keeps what it held and an error comes back (err_zip_not_manifest for a wrong name or digest).
// The new file is unpacked into a hidden folder beside dest and renamed over it once proved
// right, so dest holds the old file whole until that rename, whenever the process may end.
// A file of more than max_bytes (when not -1) is EFBIG, and nothing of it is left: a 7z is
// refused before anything is written when its entries say they hold more. A dest beyond an item
// in the way (way_to) gets way_to's error, and nothing is written; beyond a folder the user moved
// and linked, nothing is written outside it. A link whose text leads out from where it lands, as
// its folder was moved, is err_link_moved_leads_out. A file at a place below "Contents/MacOS/"
// is made executable before it takes its place; a link there is left as it is.
int install_from_archive(const std::string& archive, const std::string& dest, const std::string& sig_want,
                         int64_t max_bytes = -1);

// The two-button question (sub-window 997): 1 first button, 0 second, 3 closed otherwise.
using abort_alert_fn = int (*)(std::string question, std::string label1, std::string text1,
                               std::string label2, std::string text2);
// The drawn window installs itself here; while it is null the answer is 3.
extern abort_alert_fn g_abort_alert;
int abort_alert(std::string question, std::string label1, std::string text1, std::string label2,
                std::string text2);

#include "install/disc_pipeline.h"

#include <cxxabi.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <exception>
#include <memory>
#include <set>
#include <vector>

#include "core/globals.h"
#include "core/locks_and_queues.h"
#include "core/strings.h"
#include "files/archives.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/md5.h"
#include "files/safe_extract.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "install/temp_files.h"
#include "platform/plat_paths.h"

UTL_worker_threads* copy_pool = nullptr;
UTL_worker_threads* unzip_pool = nullptr;
int install_err_num = 0;
std::string install_err_msg;

unpack_archive_fn g_unpack_archive = unpack_archive_by_suffix;
disc_read_fn g_disc_read = ::read;
abort_alert_fn g_abort_alert = nullptr;

namespace {
// Tasks out per pool. A copy holds its slot in the unpack pool from the moment it is queued, so
// no more than this many archives wait in the temporary folder.
constexpr int kTasksOut = 30;

// Histories whose copy failed because their disc went away, in manifest order: copied again
// once the disc is back, before the hand-out goes on from resume_cursor.
std::vector<int> copies_lost;
int resume_cursor = -1;
// A copy found the disc gone: nothing more is handed out until the disc is asked for again.
bool disc_gone = false;
// The disc is asked for because it could not be read, though it stayed in the drive.
bool disc_unreadable = false;
// Items in the way that a failed file was reported for this run: the files behind them fail
// silently (one question per item), counted here for install_files_kill.
std::set<std::string> places_reported;
int failed_unreported = 0;

const file_version_struct& current_version(int history) { return sim_info[history].versions.back(); }

// The signature names the temporary copy; one read from a manifest must not lead out of the
// temporary folder, so anything but letters and digits becomes '_'.
std::string temp_name_part(const std::string& sig) {
    std::string out = sig;
    for (char& c : out)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) c = '_';
    return out;
}
}  // namespace

int unpack_archive_by_suffix(const std::string& archive, const std::string& folder) {
    // Nothing an archive holds may land outside the copy being installed (or the folder of it
    // that the user moved and linked).
    const copy_way way = way_to(folder);
    if (way.err) return way.err;
    const std::string& root = way.bound;
    if (ends_with(archive, ".7z")) return p7z_to_file(archive, folder, nullptr, 0, root);
    return zip_to_file(archive, folder, nullptr, 0, root);
}

namespace {

// 0 when the file at path has the digest the manifest gives.
int check_digest(const std::string& path, const std::string& sig_want) {
    std::string have;
    return calc_file_md5(path, have) == 0 && have == sig_want ? 0 : err_zip_not_manifest;
}

// A zip's central directory must name the file and at most its resource fork: nothing else may
// be written into the copy.
int zip_holds_only(const std::string& zip, const std::string& leaf) {
    unzFile uf = unzOpen64((app_path + zip).c_str());
    if (!uf) return err_zip_open;
    int files = 0, others = 0;
    int err = unzGoToFirstFile(uf);
    for (; err == UNZ_OK; err = unzGoToNextFile(uf)) {
        unz_file_info64 info;
        char raw[512];
        if ((err = unzGetCurrentFileInfo64(uf, &info, raw, sizeof raw, nullptr, 0, nullptr, 0)) != UNZ_OK)
            break;
        const std::string name(raw, std::min<size_t>(info.size_filename, sizeof raw));
        if (name == leaf)
            ++files;
        else if (name != "__MACOSX/._" + leaf)
            ++others;
    }
    unzClose(uf);
    if (err != UNZ_END_OF_LIST_OF_FILE) return err_zip_read;
    return files == 1 && others == 0 ? 0 : err_zip_not_manifest;
}

// A fresh hidden name beside target (the sweep of stale temporary items knows it).
int hidden_name_beside(const std::string& target, std::string* name) {
    int fd = create_temp_beside(target, name);
    if (fd < 0) return -fd;
    close(fd);
    return 0;
}

// Runs its action when the scope ends, also by an exception.
template <class F>
struct scope_exit {
    F action;
    ~scope_exit() { action(); }
};
template <class F>
scope_exit(F) -> scope_exit<F>;

}  // namespace

// The archive is unpacked into a hidden folder beside the file, and the new file is renamed over
// the old one only once it proved right: until then the old file stays in place, so a crash at any
// point leaves it whole (the next checksum pass sweeps the hidden folder of a process that ended).
// Entries of other names never reach the copy.
int install_from_archive(const std::string& archive, const std::string& dest, const std::string& sig_want,
                         int64_t max_bytes) {
    // Beyond an item in the way (a link the release put where the manifest names a file of its
    // own, a file of the user's, a link leading out) the file's own folder is not there. A folder
    // the user moved and linked takes the file, and nothing may leave it.
    const copy_way way = way_to(dest);
    if (way.err) return way.err;
    // A link of the user's to a folder stands there as that folder would: it is never replaced.
    if (users_link_to_a_folder(dest)) return EISDIR;
    const std::string& root = way.bound;
    const size_t climb = release_link_climb(dest);
    const std::string leaf = dest.substr(dest.rfind('/') + 1);
    const bool own_reader = g_unpack_archive == unpack_archive_by_suffix;
    // A bundle's program is made executable before it takes its place: a mode set there later
    // would follow a link the release put there.
    const mode_t mode = dest.find("Contents/MacOS/") != std::string::npos ? 0755 : 0;
    if (!ends_with(archive, ".7z")) {
        // The zip reader of this program opens the archive once and writes the file beside its
        // place, digested as it is written, renaming it over the old one once it proved right.
        if (own_reader) return zip_install_file(archive, dest, sig_want, root, max_bytes, climb, mode);
        if (int err = zip_holds_only(archive, leaf)) return err;
    }
    std::string stage;
    if (int err = hidden_name_beside(dest, &stage)) return err;
    unlink(stage.c_str());
    if (mkdir(stage.c_str(), 0700) != 0) return errno;
    stage += "/";
    scope_exit remove_stage{[&] { recursive_delete_folder(stage); }};
    // The reader of this program digests the file as it writes it.
    std::string digest;
    if (int err = own_reader ? p7z_to_file(archive, stage, nullptr, 0, root, &digest, max_bytes)
                             : g_unpack_archive(archive, stage))
        return err;
    if (folder_names(stage) != std::vector<std::string>{leaf}) return err_zip_not_manifest;
    const std::string fresh = stage + leaf;
    struct stat st;
    if (lstat(fresh.c_str(), &st) != 0) return errno;
    if (S_ISLNK(st.st_mode)) {
        // Judged in the hidden folder, one level deeper: a link must stay inside the copy from
        // where it will lie, and from the place the manifest names.
        std::string text;
        if (!is_sim_link(fresh.c_str(), &text)) return err_zip_unsafe_path;
        if (int err = link_text_check(dest, text, root, climb)) return err;
    } else if (!S_ISREG(st.st_mode)) {
        return err_zip_not_manifest;
    }
    if (own_reader ? digest != sig_want : check_digest(fresh, sig_want) != 0) return err_zip_not_manifest;
    if (mode && S_ISREG(st.st_mode) && chmod(fresh.c_str(), mode) != 0) return errno;
    return rename(fresh.c_str(), dest.c_str()) == 0 ? 0 : errno;
}

std::string suffix_for_file(int history) {
    return current_version(history).path.find("Global Scenery") != std::string::npos ? ".7z" : ".zip";
}

dvd_unpack_task::dvd_unpack_task(int index_, const std::string& temp_dir)
    : index(index_), phase(0), suffix(suffix_for_file(index_)), err(0) {
    const file_version_struct& v = current_version(index);
    char tail[64];
    std::snprintf(tail, sizeof tail, "_%d.%s", index, suffix.c_str());
    temp_file = temp_dir + temp_name_part(v.sig_want) + tail;
    dest_path = install_location(v);
}

dvd_unpack_task::~dvd_unpack_task() {
    if (stg.log_actions) {
        xer << "EXPANDING file " << dest_path << ", with result=" << err << ".";
        if (err) xer << " " << err_msg;
        xer << "\n";
    }
}

int dvd_unpack_task::check_error(std::string& msg) {
    msg = err_msg;
    return err;
}

void dvd_unpack_task::do_it() {
    // An exception must not escape onto the pool thread: the task would never come back and
    // the owner would wait for it forever.
    try {
        if (phase == 0) {
            copy_phase();
        } else {
            unpack_phase();
        }
    } catch (abi::__forced_unwind&) {
        throw;  // the thread is being ended; let it go
    } catch (const std::exception& e) {
        fail_by_exception(e.what());
    } catch (...) {
        fail_by_exception("unknown error");
    }
}

void dvd_unpack_task::fail_by_exception(const char* what) {
    if (!err) err = EIO;
    err_msg = "I was unable to install the file " + dest_path + ": " + what + ".";
    delete_file(temp_file);
}

namespace {
// What a drive gives while its disc cannot be read, or has none in it.
bool is_medium_error(int err) { return err == EIO || err == ENOMEDIUM || err == ENXIO; }

// The archive from the disc into the private temporary folder; a failed copy leaves nothing
// behind. 0, 2 when the source is not a plain file, else errno (of the open too: a disc folder
// that cannot be read is not a missing file). *unreadable is set when the disc, not the
// temporary folder, failed with a medium error.
int copy_archive(const std::string& source, const std::string& target, bool* unreadable) {
    plat::fd_closer in{open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat st;
    if (in.fd < 0 || fstat(in.fd, &st) != 0) {
        const int err = errno;
        *unreadable = is_medium_error(err);
        return err;
    }
    if (!S_ISREG(st.st_mode)) return 2;
    plat::fd_closer out{open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600)};
    if (out.fd < 0) return errno;
    // Read and written apart, so that a read error is known to be the disc's.
    constexpr size_t kBlock = size_t(1) << 20;
    std::unique_ptr<char[]> buf(new char[kBlock]);
    int err = 0;
    for (;;) {
        ssize_t n = g_disc_read(in.fd, buf.get(), kBlock);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            err = errno;
            *unreadable = is_medium_error(err);
        }
        if (n <= 0 || (err = plat::write_all(out.fd, buf.get(), static_cast<size_t>(n))) != 0) break;
    }
    // close reports what the last writes could not: a full disc, say.
    if (close(out.release()) != 0 && !err) err = errno;
    if (err) unlink(target.c_str());
    return err;
}
}  // namespace

void dvd_unpack_task::copy_phase() {
    const std::string source = dvd_path + install_name + "/" + current_version(index).path + suffix;
    phase = 1;
    bool unreadable = false;
    err = copy_archive(source, temp_file, &unreadable);
    if (!err) return;
    err_msg = "I was unable to copy the file " + source + " from the DVD to the hard drive.";
    // Judged now, while the drive is as the copy found it.
    disc_missing = !dir_exists(dvd_path + install_name + "/");
    disc_unreadable = !disc_missing && unreadable;
}

void dvd_unpack_task::unpack_phase() {
    if (err) {
        // A failed copy may leave a truncated file behind.
        delete_file(temp_file);
        return;
    }
    file_version_struct& v = sim_info[index].versions.back();
    // No more than the manifest's size of the file: a small archive must not fill the disk.
    err = install_from_archive(temp_file, dest_path, v.sig_want, unpacked_max_bytes(v.size_b));
    delete_file(temp_file);
    if (err) {
        err_msg = "I was unable to unzip the file " + temp_file + " to the folder " +
                  dest_path.substr(0, dest_path.rfind('/') + 1) + ".";
        return;
    }
    v.sig_have = v.sig_want;
    v.up_to_date = 1;
}

namespace {
bool pools_idle() { return copy_pool->count_total_tasks() == 0 && unzip_pool->count_total_tasks() == 0; }

void delete_pools() {
    delete copy_pool;
    delete unzip_pool;
    copy_pool = nullptr;
    unzip_pool = nullptr;
}

void forget_lost_copies() {
    copies_lost.clear();
    resume_cursor = -1;
    disc_gone = false;
    disc_unreadable = false;
}

// The copies lost with a disc that went away, queued again from the disc now in the drive; the
// cursor names the first still waiting, or where the hand-out goes on once none is.
void hand_out_lost_copies(int& cursor, int disk) {
    size_t done = 0;
    while (done < copies_lost.size() && copy_pool->has_free_slot() &&
           current_version(copies_lost[done]).disk == disk) {
        dvd_unpack_task* task = new dvd_unpack_task(copies_lost[done++], temp_path);
        task->copied_again = true;
        copy_pool->enqueue_task(task);
    }
    copies_lost.erase(copies_lost.begin(), copies_lost.begin() + static_cast<std::ptrdiff_t>(done));
    if (!copies_lost.empty()) {
        cursor = copies_lost.front();
        return;
    }
    cursor = resume_cursor;
    resume_cursor = -1;
}
}  // namespace

int install_files(int& cursor, int disk) {
    if (!copy_pool || !unzip_pool) {
        delete copy_pool;
        if (!unzip_pool) unzip_pool = new UTL_worker_threads(UTL_count_processors(), kTasksOut);
        // One reader, so the disc is read in order; each copy goes on to the unpack pool as soon
        // as it is made, not when the frame next steps.
        copy_pool = new UTL_worker_threads(1, kTasksOut);
        copy_pool->forward_to(unzip_pool);
        forget_lost_copies();
        places_reported.clear();
        failed_unreported = 0;
    }

    const int n = static_cast<int>(sim_info.size());
    if (!disc_gone) {
        if (resume_cursor >= 0) hand_out_lost_copies(cursor, disk);
        if (resume_cursor < 0) {
            while (cursor < n && !current_version(cursor).need_install) ++cursor;
            while (cursor < n && copy_pool->has_free_slot()) {
                const file_version_struct& v = current_version(cursor);
                if (v.disk != disk) break;
                if (v.need_install) copy_pool->enqueue_task(new dvd_unpack_task(cursor, temp_path));
                ++cursor;
            }
        }
    }

    while (unzip_pool->has_free_slot()) {
        UTL_work_task* t = copy_pool->check_retired_tasks();
        if (!t) break;
        unzip_pool->enqueue_task(t);
    }

    while (UTL_work_task* t = unzip_pool->check_retired_tasks()) {
        dvd_unpack_task* task = static_cast<dvd_unpack_task*>(t);
        // Not the file's fault: it is copied again once the disc is back. A read error again
        // from the disc put back is the file's own, reported so that the run can go on without it.
        if (task->disc_missing || (task->disc_unreadable && !task->copied_again)) {
            copies_lost.insert(std::lower_bound(copies_lost.begin(), copies_lost.end(), task->index), task->index);
            disc_gone = true;
            if (task->disc_unreadable) disc_unreadable = true;
            delete task;
            continue;
        }
        std::string msg;
        const int code = task->check_error(msg);
        const std::string dest = task->dest_path;
        delete task;
        if (!code) continue;
        if (place_is_taken(code)) {
            const item_in_the_way it = item_in_the_way_of(dest, code);
            if (!places_reported.insert(it.item).second) {
                ++failed_unreported;
                log_left_out(dest, it.item, code);
                continue;
            }
            msg = item_in_the_way_text(it);
        }
        install_err_num = code;
        install_err_msg = msg;
        return 3;
    }

    if (disc_gone && pools_idle()) {
        // Asked for once, whatever number of copies it took with it.
        xer << (disc_unreadable ? "The disc could not be read: " : "The disc went away: ") << copies_lost.size()
            << " archives to copy again\n";
        disc_gone = false;
        if (resume_cursor < 0) resume_cursor = cursor;
        cursor = copies_lost.front();
        return 2;
    }
    // While lost copies wait, the cursor names the first of them.
    if (cursor >= n && resume_cursor < 0 && pools_idle()) {
        delete_pools();
        return 1;
    }
    if (cursor < n && pools_idle()) {
        const file_version_struct& v = current_version(cursor);
        if (v.need_install && v.disk != disk) return 2;
    }
    return 0;
}

bool install_files_disc_unreadable() {
    const bool was = disc_unreadable;
    disc_unreadable = false;
    return was;
}

int install_files_get_error(std::string& msg) {
    msg = install_err_msg;
    int code = install_err_num;
    install_err_msg.clear();
    install_err_num = 0;
    return code;
}

int install_files_kill() {
    forget_lost_copies();
    places_reported.clear();
    int failed = failed_unreported;
    failed_unreported = 0;
    if (!copy_pool && !unzip_pool) return failed;
    if (copy_pool && unzip_pool) {
        // Every queued copy is made and passed on to the unpack pool before the pool goes.
        delete copy_pool;
        copy_pool = nullptr;
    }
    // The tasks finished here are never seen by a step: their failures are counted for the caller.
    const auto finish = [&failed](UTL_work_task* t) {
        std::string msg;
        if (t->check_error(msg)) ++failed;
        delete t;
    };
    if (copy_pool) {
        while (UTL_work_task* t = copy_pool->wait_retired_tasks()) {
            if (unzip_pool) {
                unzip_pool->enqueue_task(t);
            } else {
                finish(t);
            }
        }
    }
    if (unzip_pool) {
        while (UTL_work_task* t = unzip_pool->wait_retired_tasks()) finish(t);
    }
    delete_pools();
    if (failed) xer << "Stopping the run: " << failed << " more files failed.\n";
    return failed;
}

int abort_alert(std::string question, std::string label1, std::string text1, std::string label2,
                std::string text2) {
    if (!g_abort_alert) return 3;
    return g_abort_alert(question, label1, text1, label2, text2);
}

#include "install/disc_pipeline.h"

#include <cxxabi.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <exception>

#include "core/strings.h"
#include "core/utl_threads.h"
#include "core/wx.h"
#include "files/io_utils.h"
#include "files/zip_utils.h"
#include "install/install_state.h"
#include "install/manifest.h"

UTL_worker_threads* copy_pool = nullptr;
UTL_worker_threads* unzip_pool = nullptr;
int install_err_num = 0;
std::string install_err_msg;

unpack_archive_fn g_unpack_archive = unpack_archive_by_suffix;
abort_alert_fn g_abort_alert = nullptr;

namespace {
// Tasks out per pool: bounds the archive copies waiting in the temporary folder.
constexpr int kTasksOut = 30;

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
    // Nothing an archive holds may land outside the copy being installed.
    if (ends_with(archive, ".7z")) return p7z_to_file(archive, folder, nullptr, 0, dest_dir_path);
    return zip_to_file(archive, folder, nullptr, 0, dest_dir_path);
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

void dvd_unpack_task::copy_phase() {
    const std::string source = dvd_path + install_name + "/" + current_version(index).path + suffix;
    phase = 1;
    err = copy_file(source, temp_file);
    if (err) err_msg = "I was unable to copy the file " + source + " from the DVD to the hard drive.";
}

void dvd_unpack_task::unpack_phase() {
    if (err) {
        // A failed copy may leave a truncated file behind.
        delete_file(temp_file);
        return;
    }
    const std::string folder = dest_path.substr(0, dest_path.rfind('/') + 1);
    err = g_unpack_archive(temp_file, folder);
    // An archive that held another name leaves the file missing: that is a failure too.
    struct stat st;
    if (!err && lstat(dest_path.c_str(), &st) != 0) err = ENOENT;
    delete_file(temp_file);
    if (err) {
        err_msg = "I was unable to unzip the file " + temp_file + " to the folder " + folder + ".";
        return;
    }
    if (dest_path.find("Contents/MacOS/") != std::string::npos) make_file_executable(dest_path.c_str());
    file_version_struct& v = sim_info[index].versions.back();
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
}  // namespace

int install_files(int& cursor, int disk) {
    if (!copy_pool) copy_pool = new UTL_worker_threads(1, kTasksOut);
    if (!unzip_pool) unzip_pool = new UTL_worker_threads(UTL_count_processors(), kTasksOut);

    const int n = static_cast<int>(sim_info.size());
    while (cursor < n && !current_version(cursor).need_install) ++cursor;

    while (cursor < n && copy_pool->has_free_slot()) {
        const file_version_struct& v = current_version(cursor);
        if (v.disk != disk) break;
        if (v.need_install) copy_pool->enqueue_task(new dvd_unpack_task(cursor, temp_path));
        ++cursor;
    }

    while (unzip_pool->has_free_slot()) {
        UTL_work_task* t = copy_pool->check_retired_tasks();
        if (!t) break;
        unzip_pool->enqueue_task(t);
    }

    while (UTL_work_task* t = unzip_pool->check_retired_tasks()) {
        std::string msg;
        int code = t->check_error(msg);
        delete t;
        if (code) {
            install_err_num = code;
            install_err_msg = msg;
            return 3;
        }
    }

    if (cursor >= n && pools_idle()) {
        delete_pools();
        return 1;
    }
    if (cursor < n && pools_idle()) {
        const file_version_struct& v = current_version(cursor);
        if (v.need_install && v.disk != disk) return 2;
    }
    return 0;
}

int install_files_get_error(std::string& msg) {
    msg = install_err_msg;
    int code = install_err_num;
    install_err_msg.clear();
    install_err_num = 0;
    return code;
}

void install_files_kill() {
    if (!copy_pool && !unzip_pool) return;
    if (copy_pool) {
        while (UTL_work_task* t = copy_pool->wait_retired_tasks()) {
            if (unzip_pool) {
                unzip_pool->enqueue_task(t);
            } else {
                delete t;
            }
        }
    }
    if (unzip_pool) {
        while (UTL_work_task* t = unzip_pool->wait_retired_tasks()) delete t;
    }
    delete_pools();
}

int abort_alert(std::string question, std::string label1, std::string text1, std::string label2,
                std::string text2) {
    if (!g_abort_alert) return 3;
    return g_abort_alert(question, label1, text1, label2, text2);
}

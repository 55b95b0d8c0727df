// The checksum pass over an installed copy.
#include "install/checksum.h"

#include <exception>

#include "core/wx.h"
#include "core/xtim.h"
#include "files/io_utils.h"
#include "files/md5.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/temp_files.h"

UTL_worker_threads* checksum_workers = nullptr;
int (*checksum_file_md5)(const std::string& path, std::string& hex) = calc_file_md5;

namespace {
// Histories per task: small enough to spread a pass evenly, large enough to keep queueing cheap.
constexpr int batch_size = 10;
constexpr int tasks_per_processor = 4;

double seconds_now() { return static_cast<double>(xtim.microsecs()) / 1000000.0; }
}  // namespace

void checksum_task::do_it() {
    std::string swept;
    for (int h = first; h < end; ++h) {
        const int last = static_cast<int>(sim_info[h].versions.size()) - 1;
        file_version_struct& v = sim_info[h].versions[last];
        // What an interrupted extraction left beside the files goes first.
        const std::string location = install_location(v);
        const std::string folder = location.substr(0, location.rfind('/') + 1);
        if (folder != swept) sweep_stale_temp_items(swept = folder);
        if (!want_this_f(h, last)) continue;
        // "NONE" fits the string's inline buffer, so resetting it cannot throw.
        v.sig_have = "NONE";
        try {
            checksum_file_md5(location, v.sig_have);
        } catch (const std::exception&) {
            // A pool thread has no handler: leave the file absent and let repair take it.
            v.sig_have = "NONE";
        }
        v.up_to_date = v.sig_want == v.sig_have;
    }
}

int checksum_task::check_error(std::string& msg) {
    msg.clear();
    return 0;
}

int checksum_directory(int& cursor, float& progress) {
    const int total = static_cast<int>(sim_info.size());
    if (!dir_exists(dest_dir_path)) {
        // A pass left running (its folder since removed or another copy chosen) must not write
        // these records at the same time.
        checksum_directory_kill();
        for (file_history_struct& h : sim_info) {
            file_version_struct& v = h.versions.back();
            v.sig_have = "NONE";
            v.up_to_date = v.sig_want == v.sig_have;
        }
        return 1;
    }
    if (checksum_workers == nullptr) {
        const int processors = UTL_count_processors();
        checksum_workers = new UTL_worker_threads(processors, tasks_per_processor * processors);
        xer << " Start of MD5 at " << seconds_now() << "\n";
    }
    while (cursor < total && checksum_workers->has_free_slot()) {
        int n = total - cursor < batch_size ? total - cursor : batch_size;
        checksum_workers->enqueue_task(new checksum_task(cursor, cursor + n));
        cursor += n;
    }
    while (UTL_work_task* done = checksum_workers->check_retired_tasks()) delete done;

    progress = total == 0 ? 0.0f : static_cast<float>(cursor) / static_cast<float>(total);
    if (cursor < total || checksum_workers->count_total_tasks() > 0) return 0;

    delete checksum_workers;
    checksum_workers = nullptr;
    xer << " End of MD5 at " << seconds_now() << "\n";
    return 1;
}

void checksum_directory_kill() {
    if (checksum_workers == nullptr) return;
    while (UTL_work_task* done = checksum_workers->wait_retired_tasks()) delete done;
    delete checksum_workers;
    checksum_workers = nullptr;
}

// The checksum pass over an installed copy.
#include "install/checksum.h"

#include <algorithm>
#include <exception>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/time_keeper.h"
#include "files/file_operations.h"
#include "files/md5.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/temp_files.h"
#include "platform/plat_paths.h"

UTL_worker_threads* checksum_workers = nullptr;
int (*checksum_file_md5)(const std::string& path, std::string& hex) = calc_file_md5;

namespace {
// A task takes histories until it holds this many or this many kilobytes (the manifest's
// unpacked sizes): a large file goes alone, so no thread is left with several large ones while
// the others idle.
constexpr int batch_files = 10;
constexpr float batch_kb = 4000.0f;
// Tasks queued per processor. Progress counts histories handed out, so a small queue keeps the
// bar close to what has been hashed.
constexpr int tasks_per_processor = 4;

// One past the last history of the batch that starts at first.
int batch_end(int first, int total) {
    int end = first;
    float kb = 0.0f;
    while (end < total && end - first < batch_files && kb < batch_kb)
        kb += std::max(0.0f, sim_info[end++].versions.back().size_b);
    return end;
}

double seconds_now() { return static_cast<double>(xtim.microsecs()) / 1000000.0; }

// The folders the user moved elsewhere and linked that lie on the way of the manifest's files.
std::vector<std::string> moved_folders() {
    std::set<std::string> bounds;
    folder_way ways;
    for (const file_history_struct& h : sim_info) {
        const copy_way& way = ways.of(install_location(h.versions.back()));
        if (way.bound != dest_dir_path) bounds.insert(way.bound);
    }
    // A link to a folder that holds the copy (the home folder, the root) moved no folder of it:
    // such a folder is not walked.
    const std::string real_copy = plat::real_path(dest_dir_path);
    std::vector<std::string> moved;
    for (const std::string& b : bounds)
        if (!plat::path_within(real_copy, b.size() > 1 ? b.substr(0, b.size() - 1) : b)) moved.push_back(b);
    return moved;
}

// What interrupted extractions left anywhere in the copy, also in folders that hold no file of
// this manifest (those of an older release's files), and in the folders the user moved and linked.
class sweep_task : public UTL_work_task {
public:
    explicit sweep_task(std::string root) : root_(std::move(root)) {}
    void do_it() override { sweep_stale_temp_items(root_, moved_folders()); }
    int check_error(std::string& msg) override {
        msg.clear();
        return 0;
    }

private:
    std::string root_;
};
}  // namespace

void checksum_task::do_it() {
    folder_way ways;
    for (int h = first; h < end; ++h) {
        const int last = static_cast<int>(sim_info[h].versions.size()) - 1;
        file_version_struct& v = sim_info[h].versions[last];
        if (!want_this_f(h, last)) continue;
        const std::string location = install_location(v);
        // "NONE" fits the string's inline buffer, so resetting it cannot throw.
        v.sig_have = "NONE";
        try {
            // Beyond an item in the way (a link of the release, or one leading out of the copy or
            // of the folder the user moved) lies no file of this place: were it read, a file of
            // another place, or the user's, would count as this one. A folder the user moved and
            // linked is read where it is.
            if (!ways.of(location).err) checksum_file_md5(location, v.sig_have);
            // The user's link to a folder is no file of this place, whatever its text: as a
            // folder there would, it keeps the file out, and is never replaced.
            if (v.sig_have != v.sig_want && v.sig_have != "NONE" && users_link_to_a_folder(location))
                v.sig_have = "NONE";
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
    const bool starting = checksum_workers == nullptr;
    if (starting) {
        const int processors = UTL_count_processors();
        // One slot more, for the sweep.
        checksum_workers = new UTL_worker_threads(processors, tasks_per_processor * processors + 1);
        xer << " Start of MD5 at " << seconds_now() << "\n";
    }
    // Collect first: the slots freed since the last step are refilled in this one, not the next.
    while (UTL_work_task* done = checksum_workers->check_retired_tasks()) delete done;
    // A manifest without files has nothing to repair: its pass ends at once, unswept.
    if (starting && total > 0) checksum_workers->enqueue_task(new sweep_task(dest_dir_path));
    while (cursor < total && checksum_workers->has_free_slot()) {
        const int end = batch_end(cursor, total);
        checksum_workers->enqueue_task(new checksum_task(cursor, end));
        cursor = end;
    }

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

#include "install/net_fetch.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <utility>

#include "core/alert.h"
#include "core/globals.h"
#include "core/localisation.h"
#include "core/locks_and_queues.h"
#include "core/time_keeper.h"
#include "core/worker_pool.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/safe_extract.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "net/http_client.h"

namespace {

constexpr int stream_max = 4;
constexpr int first_stream_slot = 2;
constexpr char download_page[] = "https://www.tessaly.example/download/";

// A failed transfer is tried again after this many seconds, not on the next frame.
constexpr float retry_pause = 1.0f;

}  // namespace

std::string download_failure_text(const http_failure& f) {
    if (f.oversize)
        return UTL_translate_string("The server sent more than the manifest says the file holds.");
    if (f.os_err) return error_str(f.os_err);
    if (f.stalled) return UTL_translate_string("The server sent nothing for 30 seconds.");
    if (f.status >= 100 && (f.status < 200 || f.status > 299))
        return UTL_translate_string("The server answered: ") + f.reason + " (#" + std::to_string(f.status) +
               ")";
    if (f.status >= 200) return UTL_translate_string("The transfer ended before the whole file arrived.");
    return UTL_translate_string("The server closed the connection without an answer.");
}

namespace {

int usable_servers() { return std::min(stg.server_count, max_servers); }

// Servers near the top of the list are drawn more often: index = u^1.5 * count.
void draw_server() {
    float u = static_cast<float>(rand()) * 4.656613e-10f;
    int index = static_cast<int>(std::pow(u, 1.5f) * static_cast<float>(usable_servers()));
    stg.server_index = std::max(0, std::min(index, usable_servers() - 1));
}

// Points server_index at a server that has not sent stream s's file larger than it can be: the
// one drawn, or the next such one down the list. False when every server of the list has.
bool avoid_oversent(int s) {
    const int n = usable_servers();
    for (int k = 0; k < n; ++k, stg.server_index = (stg.server_index + 1) % n)
        if (!(next.oversent[s] & (1 << stg.server_index))) return true;
    return false;
}

// False when the list holds no server at all; an index outside the list is drawn anew.
bool pick_usable_server() {
    if (usable_servers() < 1) return false;
    if (stg.server_index < 0 || stg.server_index >= usable_servers()) draw_server();
    return true;
}

// After a finished file: more streams when the rate allows, fewer when the choice says so.
void adapt_streams(int s) {
    float elapsed = std::max(1.0f, xtim.real_time - next.start_time);
    float rate = (next.kb_done_download + next.kb_partial) / elapsed;
    int target = 2;
    if (rate > 50) target = 4;
    if (rate > 100) target = 6;
    if (rate > 150) target = 8;
    if (rate > 200) target = 9;
    if (stg.stream_count) target = stg.stream_count;
    // A count below 1 from a hand-edited preference file would stop every stream and end the
    // fetch as done with files still to fetch.
    target = std::max(target, 1);

    int active = 0;
    for (int i = 0; i < stream_max; ++i) active += next.active[i] ? 1 : 0;
    if (target > active) {
        for (int i = 0; i < stream_max; ++i) {
            if (!next.active[i]) {
                next.active[i] = 1;
                next.wants_file[i] = 1;
                break;
            }
        }
    }
    if (target < active)
        next.active[s] = 0;
    else
        next.wants_file[s] = 1;
}

// Unpacking and checking a downloaded archive runs on a pool, so that the streams go on
// downloading meanwhile; the step takes the results back and reports them.
class fetch_unpack_task : public UTL_work_task {
public:
    fetch_unpack_task(int history, std::string archive, std::string shown, std::string dest, std::string sig,
                      int64_t max_bytes)
        : history(history),
          archive(std::move(archive)),
          shown(std::move(shown)),
          dest(std::move(dest)),
          sig(std::move(sig)),
          max_bytes(max_bytes) {}
    void do_it() override {
        // Nothing may escape onto the pool thread: the task would never come back.
        try {
            err = unpack_downloaded(archive, dest, sig, max_bytes);
        } catch (...) {
            err = EIO;
            delete_file(archive);
        }
    }
    int check_error(std::string& msg) override {
        msg.clear();
        return err;
    }

    int history;
    // The archive the pool unpacks, and the stream's file it was downloaded as: the one a report
    // names, as an unpacking in the step would.
    std::string archive, shown, dest, sig;
    int64_t max_bytes;
    int err = 0;
};

UTL_worker_threads* unpack_pool = nullptr;
// The server each stream's transfer went to: server_index may move while it runs.
int asked_server[stream_max];
unsigned unpack_serial = 0;

// A task back from the pool: the file counts as installed only when it proved right.
void take_back(fetch_unpack_task* t, bool report) {
    if (report)
        report_extraction(t->err, t->shown, t->dest);
    else if (t->err)
        xer << "Abandoned the unpacking of " << t->dest << ": error " << t->err << ".\n";
    if (t->err == 0 && t->history < static_cast<int>(sim_info.size())) {
        file_version_struct& v = sim_info[t->history].versions.back();
        if (v.sig_want == t->sig) {
            v.sig_have = v.sig_want;
            v.up_to_date = 1;
        }
    }
    delete t;
}

void collect_unpacked() {
    if (!unpack_pool) return;
    while (UTL_work_task* t = unpack_pool->check_retired_tasks())
        take_back(static_cast<fetch_unpack_task*>(t), true);
}

// Waits for every queued archive, then the pool goes.
void drain_unpacks(bool report) {
    if (!unpack_pool) return;
    while (UTL_work_task* t = unpack_pool->wait_retired_tasks())
        take_back(static_cast<fetch_unpack_task*>(t), report);
    delete unpack_pool;
    unpack_pool = nullptr;
}

// Hands the stream's finished download to the pool under a name of its own, so the stream can
// start its next file at once. False when it cannot (then the caller unpacks it itself).
bool queue_unpack(int history, const std::string& temp, const std::string& dest, const std::string& sig,
                  int64_t max_bytes) {
    if (!unpack_pool) {
        const int processors = UTL_count_processors();
        unpack_pool = new UTL_worker_threads(processors, 4 * processors);
    }
    if (!unpack_pool->has_free_slot()) return false;
    const std::string queued = temp_path + "unpack-" + std::to_string(++unpack_serial) + ".zip";
    if (rename(temp.c_str(), queued.c_str()) != 0) return false;
    unpack_pool->enqueue_task(new fetch_unpack_task(history, queued, temp, dest, sig, max_bytes));
    return true;
}

}  // namespace

int64_t archive_max_bytes(float size_a_kb) {
    // A hand-made manifest may hold anything here; the bound stays a sane 64-bit number.
    const double kb = size_a_kb > 0 ? std::min<double>(size_a_kb, 1e15) : 0;
    return (static_cast<int64_t>(kb) + 1) * 1000;
}

int64_t unpacked_max_bytes(float size_b_kb) { return archive_max_bytes(size_b_kb); }

int64_t download_max_bytes(float size_a_kb, float size_b_kb) {
    // A zip of n bytes takes at most n, plus deflate's stored blocks where it cannot shrink the
    // data (5 bytes a block of 16 KiB at the least: under n / 1024), plus its records: the fixed
    // parts of the local and central headers, the data descriptor, the end records with their
    // Zip64 forms (under 300 bytes), and six fields of at most 65,535 bytes each (two names, two
    // extra fields, the entry's and the archive's comments).
    const int64_t unpacked = unpacked_max_bytes(size_b_kb);
    const int64_t zipped = unpacked + unpacked / 1024 + 6 * 65535 + 300;
    return std::max(archive_max_bytes(size_a_kb), zipped);
}

void grab_files_kill() { drain_unpacks(false); }

std::string grab_stream_file(int stream) { return temp_path + std::to_string(stream) + ".zip"; }

int grab_files() {
    const int count = static_cast<int>(sim_info.size());
    next.kb_partial = 0;
    collect_unpacked();

    for (int s = 0; s < stream_max; ++s) {
        if (!next.active[s]) continue;
        if (next.wants_file[s]) {
            next.file_index[s] = next.cursor;
            next.cursor = std::min(next.cursor + 1, count);
            next.oversent[s] = 0;
        }
        if (next.file_index[s] < 0 || next.file_index[s] >= count) continue;

        file_version_struct& v = sim_info[next.file_index[s]].versions.back();
        const std::string location = install_location(v);
        const std::string temp = grab_stream_file(s);
        const int slot = s + first_stream_slot;
        const bool have_server = pick_usable_server();
        // A new try never goes to a server that sent this file larger than it can be.
        if (have_server && !http.slot(slot) && !avoid_oversent(s)) {
            if (!stg.extract_error)
                xer << "Every server sent " << v.path << " larger than the manifest allows: giving up.\n";
            // The fetch ends as a failed one, with the update screen's texts.
            stg.extract_error = 1;
            continue;
        }
        const std::string server_file = (have_server ? server_path[stg.server_index] : "") + v.path + ".zip";
        crnt_file_path = server_file;
        crnt_file_name = server_file.substr(server_file.rfind('/') + 1);
        next.wants_file[s] = 0;
        bool done = false;

        if (!path_is_safe(v.path)) {
            // A manifest path that would leave the copy is never deleted, fetched or written.
            xer << "Refusing the unsafe manifest path " << v.path << "\n";
            stg.current_action = 3;
            done = true;
        } else if (v.need_delete) {
            // Deleted once every file is in (or by the preparation, where it stood in the way of one).
            stg.current_action = 0;
            done = true;
        } else if (!v.need_install) {
            stg.current_action = v.up_to_date ? 2 : 3;
            done = true;
        } else {
            stg.current_action = 1;
            if (!have_server) {
                // No server to ask: the fetch ends as a failed one, with the update screen's texts.
                stg.download_failed = 1;
                stg.extract_error = 1;
                continue;
            }
            if (xtim.real_time < next.retry_at[s]) continue;
            if (!http.slot(slot)) asked_server[s] = stg.server_index;
            const std::string& server = server_name[asked_server[s]];
            const std::string asked_file = server_path[asked_server[s]] + v.path + ".zip";
            int r = http.net_check(slot, server, asked_file, temp, download_max_bytes(v.size_a, v.size_b));
            if (r == 0) {
                down_class* d = http.slot(slot);
                if (!d)
                    stg.file_fraction = 0;
                else if (d->content_length() <= 0)
                    stg.file_fraction = -0.01f;
                else
                    stg.file_fraction =
                        static_cast<float>(d->received()) / static_cast<float>(d->content_length());
                next.kb_partial += stg.file_fraction * v.size_a;
            } else if (r == 2) {
                const http_failure failure = http.last_failure(slot);
                stg.download_failed = 1;
                download_error_text = download_failure_text(failure);
                xer << "Download of " << asked_file << " from " << server
                    << " failed: " << download_error_text << "\n";
                next.retry_at[s] = xtim.real_time + retry_pause;
                delete_file(temp);  // the partial download; the next try starts afresh
                if (failure.oversize) next.oversent[s] |= 1 << asked_server[s];
                draw_server();
            } else {
                stg.download_failed = 0;
                const int64_t unpacked_max = unpacked_max_bytes(v.size_b);
                if (!queue_unpack(next.file_index[s], temp, location, v.sig_want, unpacked_max) &&
                    extract_and_delete_file(temp, location, v.sig_want, unpacked_max) == 0) {
                    v.sig_have = v.sig_want;
                    v.up_to_date = 1;
                }
                next.kb_done_download += v.size_a;
                next.kb_done_install += v.size_b;
                done = true;
            }
        }
        if (done) adapt_streams(s);
    }

    bool streams_busy = false;
    for (int s = 0; s < stream_max; ++s)
        if (next.active[s] && next.file_index[s] < count) streams_busy = true;
    const bool unpacking = unpack_pool && unpack_pool->count_total_tasks() > 0;
    if (!stg.extract_error && (streams_busy || unpacking)) return 0;
    // The fetch ends with this step: every downloaded file is in place (or reported) first.
    drain_unpacks(true);
    if (streams_busy) return stg.extract_error;
    next.finished = 1;
    // Only a fetch that brought every file takes the old ones away: one that stopped leaves the
    // copy as whole as it was, for the next run to complete.
    if (!stg.extract_error)
        for (file_history_struct& h : sim_info) {
            file_version_struct& v = h.versions.back();
            if (v.need_delete && v.sig_have != "NONE" && path_is_safe(v.path))
                stg.delete_errors += delete_removal(v, "now we want to nuke a file: ", deleted_files);
        }
    prune_empty_folders(deleted_files);
    return 1;
}

int unpack_downloaded(const std::string& archive, const std::string& dest, const std::string& sig_want,
                      int64_t max_bytes) {
    // The copy is the root nothing in the archive may leave; the old file is replaced only once
    // the new one proved right (a bundle's program made executable before).
    int err = install_from_archive(archive, dest, sig_want, max_bytes);
    delete_file(archive);
    return err;
}

std::string first_taken_place;

namespace {

// The items in the way this run has shown: each is shown once, whatever number of files it keeps out.
std::set<std::string> places_shown;
fetch_run place_run = fetch_run::update;

// Notes count files left out by place: counted, the first place kept for the finish screen, and
// the alert (line1, then the error and place) only for a place not shown yet.
void note_place_taken(const std::string& place, int count, const std::string& line1, int err,
                      const std::string& line4) {
    stg.place_errors += count;
    if (first_taken_place.empty()) first_taken_place = place;
    if (!places_shown.insert(place).second) return;
    __MACIBM_alert(0,
                   line1 + UTL_translate_string(place_run == fetch_run::installation
                                                    ? "  The installation goes on with the other files."
                                                    : "  The update goes on with the other files."),
                   UTL_translate_string("Error: ") + error_str(err),
                   UTL_translate_string("In the way: ") + place, line4, t_alert, __FILE__, __LINE__);
}

}  // namespace

void start_place_reports(fetch_run run) {
    place_run = run;
    stg.place_errors = 0;
    first_taken_place.clear();
    places_shown.clear();
}

int leave_out_what_is_in_the_way() {
    return leave_out_files_in_the_way([](const item_in_the_way& it) {
        note_place_taken(it.item, static_cast<int>(it.histories.size()), item_in_the_way_text(it, true),
                         it.err,
                         UTL_translate_string("Destination: ") +
                             install_location(sim_info[it.histories[0]].versions.back()));
        return true;
    });
}

void report_extraction(int err, const std::string& archive, const std::string& dest) {
    if (err && place_is_taken(err)) {
        const item_in_the_way it = item_in_the_way_of(dest, err);
        log_left_out(dest, it.item, err);
        note_place_taken(it.item, 1, item_in_the_way_text(it, true), it.err,
                         UTL_translate_string("Destination: ") + dest);
    } else if (err) {
        stg.extract_error = 1;
        __MACIBM_alert(0, UTL_translate_string("The installer cannot extract a file."),
                       UTL_translate_string("Error: ") + error_str(err),
                       UTL_translate_string("Compressed File: ") + archive,
                       UTL_translate_string("Destination: ") + dest, t_alert, __FILE__, __LINE__);
    }
    if (stg.log_actions) {
        xer << "EXPANDING file " << dest << ", with result=" << err << ".\n";
        // The mode was set as the file was written: a failure there is the expansion's.
        xer << "CHMODING  file " << dest << ", with result=0.\n";
    }
}

int extract_and_delete_file(std::string archive, std::string dest, const std::string& sig_want,
                            int64_t max_bytes) {
    const int err = unpack_downloaded(archive, dest, sig_want, max_bytes);
    report_extraction(err, archive, dest);
    return err;
}

void new_format(std::string text) {
    __MACIBM_alert(
        0,
        UTL_translate_string("OK I am checking the Tessaly servers and I am finding file formats that are "
                             "newer than I can understand!"),
        UTL_translate_string("In other words, you need to get a new installer!"),
        UTL_translate_string("Please download the newest installer from the download section of the "
                             "Tessaly web site."),
        text, t_alert, __FILE__, __LINE__);
    go_to_URL(download_page);
    stg.new_format_flag = 2;
    app_done = 1;
}

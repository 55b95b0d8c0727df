#include "wizard/web_update.h"

#include <algorithm>
#include <cmath>

#include "core/globals.h"
#include "core/localisation.h"
#include "core/time_keeper.h"
#include "files/file_operations.h"
#include "install/checksum.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "net/http_client.h"
#include "wizard/copies.h"
#include "wizard/copy_lock.h"
#include "wizard/disk_space.h"
#include "wizard/dvd_install.h"
#include "wizard/server_list.h"
#include "wizard/start_copy.h"
#include "wizard/wizard_frame.h"

namespace {

constexpr int streams = 4;
constexpr int first_stream_slot = 2;
constexpr int manifest_slot = 1;
// How long a frame of the run polls the download streams.
constexpr uint64_t patch_poll_us = 20000;

std::string tr(const char* text) { return UTL_translate_string(text); }

// Nothing to fetch and nothing to delete: the copy is the release already.
bool nothing_to_update() { return stg.num_to_add == 0 && stg.num_to_remove == 0; }

const net_search_texts update_search = {"I am contacting ", " to find an update server.",
                                        "I am downloading patch info from ",
                                        "I am processing information about the available patches."};

// Fetches that keep failing: where and why, rather than a search that seems to go on for ever.
bool show_unreachable(wizard_screen& screen) {
    std::string host, reason;
    if (!server_unreachable(&host, &reason)) return false;
    screen.text = tr("I can not reach ") + host;
    if (UseProxy(host.c_str(), 80))
        screen.text += tr(" through the proxy ") + http.proxy_host + ":" + std::to_string(http.proxy_port & 0xFFFF);
    screen.text += "." + tr("\n\nWhat went wrong: ") + reason +
                   tr("\n\nYour internet connection may not be working, or the server may be down.  I will keep "
                      "trying...");
    return true;
}

}  // namespace

void net_stream_stop() {
    net_stream_halt();
    // The run is over or abandoned: the copy is free for another program.
    unlock_copy();
}

void net_stream_halt() {
    grab_files_kill();
    for (int s = 0; s < streams; ++s) {
        // A transfer left running would go on filling its stream's file with the old file's
        // archive, which the stream's next file would then be unpacked from.
        http.cancel(s + first_stream_slot);
        if (!temp_path.empty()) delete_file(grab_stream_file(s));
    }
}

void net_stream_reset() {
    net_stream_stop();
    next.cursor = 0;
    for (int s = 0; s < streams; ++s) {
        next.active[s] = next.wants_file[s] = s < 2 ? 1 : 0;
        next.file_index[s] = 0;
    }
    next.kb_partial = next.kb_done_download = next.kb_done_install = 0;
    next.start_time = xtim.real_time;
}

bool net_search(int entered, wizard_screen& screen, const net_search_texts& texts) {
    if (entered) {
        // A pass left running by Back writes into the histories a new read would replace.
        checksum_directory_kill();
        if (stg.dir_state == 3) stg.dir_state = 1;
        new_server_search();
    }
    UTL_download_directory();
    if (stg.server_count == -1) {
        if (!show_unreachable(screen))
            screen.text = tr(texts.contacting) + server_list_host + tr(texts.contacting_end);
        return false;
    }
    switch (stg.dir_state) {
        case 0: {
            if (show_unreachable(screen)) return false;
            screen.text = tr(texts.downloading) + server_name[stg.server_index];
            const down_class* d = http.slot(manifest_slot);
            int64_t percent = 0;
            if (d && d->content_length() <= 0) {
                screen.progress = -0.01f;
                screen.progress_caption = tr(
                    "I am checking the net for the latest version of Volatra 9 right now, and I am connecting to the "
                    "server...");
                return false;
            }
            screen.progress = 0;
            if (d) {
                percent = d->received() * 100 / d->content_length();
                screen.progress = static_cast<float>(d->received()) / static_cast<float>(d->content_length());
            }
            screen.progress_caption =
                tr("I am checking the net for the latest version of Volatra 9 right now, and I am ") +
                std::to_string(percent) + tr("% done checking.");
            return false;
        }
        case 1:
            screen.text = tr(texts.processing);
            return false;
        case 2:
            screen.text = tr("There was a problem reading information from the servers.");
            return false;
    }
    return true;
}

std::string time_left_text(float seconds) {
    // Far beyond any real wait, and below what converts to a whole number.
    const double s = std::min(static_cast<double>(seconds), 1e9);
    if (s >= 7200) return std::to_string(static_cast<long long>(s / 3600)) + tr(" hours");
    if (s >= 120) return std::to_string(static_cast<long long>(s / 60)) + tr(" minutes");
    return std::to_string(static_cast<long long>(std::max(s, 0.0))) + tr(" seconds");
}

std::string rate_text(float kb_to_download, float kb_done, float elapsed, int streams_active) {
    const float rate = elapsed > 0 ? kb_done / elapsed : 0;
    if (!(rate > 0) || !std::isfinite(rate)) return "";
    const float left = std::max(0.0f, kb_to_download - kb_done) / rate;
    return tr("About ") + time_left_text(left) + tr(" left in the install, downloading at ") +
           std::to_string(static_cast<long long>(std::min(rate, 1e12f))) + tr(" kilobytes/second ") + tr("with ") +
           std::to_string(streams_active) + tr(" simultaneous download streams.");
}

float smoothed_progress(float previous, float w, float kb_done, float kb_total, int files_done, int files) {
    float now = 1;
    if (kb_total > 0)
        now = kb_done / kb_total;
    else if (files > 0)
        now = static_cast<float>(files_done) / static_cast<float>(files);
    // A value left by an earlier run that was not a number would stay one for good.
    if (!std::isfinite(previous)) previous = 0;
    const float r = (1 - w) * previous + w * now;
    return std::isfinite(r) ? std::clamp(r, 0.0f, 1.0f) : 0.0f;
}

int net_patch_frame(wizard_screen& screen, float& totl_inst_rat) {
    const uint64_t t0 = xtim_class::microsecs();
    do {
        if (grab_files()) return 1;
    } while (xtim_class::microsecs() - t0 < patch_poll_us);

    const int files = static_cast<int>(sim_info.size());
    totl_inst_rat = smoothed_progress(totl_inst_rat, 5 * xtim.frame_period, next.kb_done_install, stg.kb_to_install,
                                      std::min(next.cursor, files), files);
    if (stg.download_failed) {
        screen.text = tr("I can not download the file '") + crnt_file_path +
                      tr("'.\n\nYour internet connection may not be working, or the server could be undergoing "
                         "maintainance or an upgrade right now.\n\nI am trying another server now to see if I can "
                         "still get you a download...");
        // The cause the fetch found (a full disc, a missing file, a refused connection).
        if (!download_error_text.empty()) screen.text += tr("\n\nWhat went wrong: ") + download_error_text;
        return 0;
    }
    screen.progress = totl_inst_rat;
    switch (stg.current_action) {
        case 0:
            screen.progress_caption = tr("Deleting ") + crnt_file_name + tr(" because that file is no longer needed!");
            break;
        case 1:
            screen.progress_caption = tr("Downloading and installing ") + crnt_file_name + tr(", currently ") +
                                      std::to_string(static_cast<int>(stg.file_fraction * 100)) +
                                      tr("% done with that file.");
            break;
        case 2:
            screen.progress_caption = tr("duplicate filename through file ") + crnt_file_name +
                                      tr(", but not installing it because you already have this file.");
            break;
        default:
            screen.progress_caption = tr("Browsing through file ") + crnt_file_name +
                                      tr(", but not installing it because you don't need this file.");
            break;
    }
    if (totl_inst_rat > 0.01f) {
        int running = 0;
        for (int s = 0; s < streams; ++s) running += next.active[s] ? 1 : 0;
        screen.text = rate_text(stg.kb_to_download, next.kb_done_download + next.kb_partial,
                                std::max(1.0f, xtim.real_time - next.start_time), running);
    }
    return 0;
}

int net_start(int entered, wizard_screen& screen) {
    // Whether the folder given with "-path" holds a copy.
    static bool given_is_copy = false;
    if (entered) {
        checksum_directory_kill();
        locate_all_volatras();
        if (!cmd_line_path.empty() && cmd_line_path.back() != '/') cmd_line_path += '/';
        if (!cmd_line_path.empty()) {
            dest_dir_path = cmd_line_path;
            given_is_copy = path_is_to_a_sim();
            if (!given_is_copy) xer << "The folder given with -path holds no copy: " << cmd_line_path << "\n";
        }
        const bool pick = cmd_line_path.empty() && all_ostrands.size() != 1;
        if (pick)
            set_steps({{"Welcome", net_start},
                       {"Pick Destination", net_pick_dest},
                       {"Search for Updates", net_get_updates},
                       {"Check Disk Space", net_check_disk},
                       {"Install Updates", net_run_patch},
                       {"Finish", net_done}});
        else
            set_steps({{"Welcome", net_start},
                       {"Search for Updates", net_get_updates},
                       {"Check Disk Space", net_check_disk},
                       {"Install Updates", net_run_patch},
                       {"Finish", net_done}});
        net_stream_reset();
    }
    screen.title = tr("Volatra 9 Web Updater");
    if (!cmd_line_path.empty())
        dest_dir_path = cmd_line_path;
    else if (all_ostrands.size() == 1)
        dest_dir_path = all_ostrands[0];
    else
        dest_dir_path.clear();
    if ((dest_dir_path.empty() && all_ostrands.empty()) || (!cmd_line_path.empty() && !given_is_copy)) {
        screen.text = tr("You do not appear to have Volatra 9 installed.");
        return 0;
    }
    screen.text = tr("I will guide you through the process of updating your copy of Volatra 9 to the latest version.");
    screen.next = dest_dir_path.empty() ? net_pick_dest : net_get_updates;
    return 0;
}

int net_pick_dest(int entered, wizard_screen& screen) {
    if (entered) {
        checksum_directory_kill();
        net_stream_reset();
    }
    screen.title = tr("Pick Destination");
    screen.back = net_start;
    if (all_ostrands.size() > 1)
        screen.text = tr("You have more than one copy of Volatra 9 installed on this computer.  ");
    screen.text += tr("Please select which copy of Volatra 9 you would like to update.");
    UTIL_pick_install();
    screen.next = dest_dir_path.empty() ? nullptr : net_get_updates;
    return 0;
}

int net_get_updates(int entered, wizard_screen& screen) {
    static int ctr = 0;
    if (entered) {
        ctr = 0;
        set_install_filter(1, 1);
        install_marks_ready = 0;
    }
    screen.title = tr("Search for Updates");
    screen.back = net_pick_dest;
    screen.on_quit = checksum_directory_kill;
    if (!net_search(entered, screen, update_search)) return 0;
    float progress = 0;
    if (!checksum_directory(ctr, progress)) {
        screen.text = tr("I am scanning ") + dest_dir_path + tr(" to see what files need updating.");
        screen.progress = progress;
        screen.progress_caption =
            fill_format(tr("Scanning %d of %d files."), {std::to_string(ctr), std::to_string(sim_info.size())});
        return 0;
    }
    // The tiles the copy holds stay chosen: a tile counts as removed only when the user drops it.
    scenery_from_install();
    recalc_disk_sizes();
    xer << "Update of " << dest_dir_path << ": " << stg.num_to_add << " files to fetch, " << stg.num_to_remove
        << " to delete.\n";
    screen.back = nullptr;
    screen.next = net_check_disk;
    return 1;
}

int net_check_disk(int entered, wizard_screen& screen) {
    if (entered) net_stream_reset();
    screen.title = tr("Check Disk Space");
    screen.back = net_get_updates;
    screen.show_servers = 1;
    // Files only to delete are deleted by the run: only a copy with nothing to change is done.
    if (nothing_to_update()) {
        screen.next = net_done;
        return 1;
    }
    if (!UTIL_disk_space(tr("You have enough free disk space to update Volatra 9"),
                         tr("You do not have enough free disk space to update Volatra 9."))) {
        screen.text = tr("There is a newer version of Volatra 9 available, but you do not have enough free disk space "
                         "to download and install the update.\n\nPlease free some space on your hard drive.");
        return 0;
    }
    screen.text = tr("You are about to download ") + size_string(stg.kb_to_download) +
                  tr(" of compressed data to update to ") + install_name + ".";
    screen.next = net_run_patch;
    return 0;
}

int net_run_patch(int entered, wizard_screen& screen) {
    static float totl_inst_rat = 0;
    screen.title = tr("Installing");
    screen.back = net_check_disk;
    screen.show_servers = 1;
    screen.on_quit = net_stream_stop;
    if (entered) {
        stg.extract_error = 0;
        stg.download_failed = 0;
        stg.delete_errors = 0;
        start_place_reports(fetch_run::update);
        net_stream_reset();
        // A copy deleted since its scan would otherwise be fetched whole into a folder made anew.
        if (!picked_copy_still_there()) {
            screen.next = net_start;
            return 1;
        }
        // Only a removal that stands where a file or folder of the release goes is made before the
        // new folders (a file may take the place of a folder it drops, and the reverse); the rest
        // wait until every file is in, so that a fetch that stops leaves the old files in place.
        if (!lock_copy_for_run(dest_dir_path) || !choose_files() ||
            clear_and_make_dirs(nullptr, removal_order::in_the_way_first)) {
            screen.next = net_check_disk;
            return 1;
        }
        // What the user keeps where files go is shown once per item; its files are not fetched.
        leave_out_what_is_in_the_way();
    }
    if (!net_patch_frame(screen, totl_inst_rat)) return 0;
    net_stream_reset();
    xer << "Web update ended" << (stg.extract_error ? " with an archive that could not be extracted" : "")
        << (stg.delete_errors ? " with files that could not be deleted" : "")
        << (stg.place_errors ? " with files left out where the copy holds other items" : "") << ".\n";
    screen.back = nullptr;
    screen.next = net_done;
    return 1;
}

int net_done(int, wizard_screen& screen) {
    screen.title = tr("Finshed Web Update");
    screen.next = wizard_quit;
    if (nothing_to_update() || (!stg.extract_error && !stg.delete_errors && !stg.place_errors)) {
        screen.text = nothing_to_update()
                          ? tr("This copy of Volatra (") + dest_dir_path + tr(") is already up to date.")
                          : tr("I have finished updating ") + dest_dir_path + ".";
        screen.choice_labels.push_back(tr("Fly Volatra Now"));
        screen.choice_targets.push_back(dvd_do_run_sim);
    } else {
        // A broken download may come right from another server; what the copy holds will not.
        screen.text = stg.extract_error ? tr("There were problems updating Volatra.  You can try this updater again "
                                             "using a different server.")
                                        : tr("There were problems updating Volatra.");
        if (stg.place_errors == 1)
            screen.text +=
                fill_format(tr("\n\n1 file could not be put in place because something of yours stands "
                               "where it goes, such as:\n%s"),
                            {first_taken_place});
        else if (stg.place_errors)
            screen.text += fill_format(tr("\n\n%d files could not be put in place because something of yours stands "
                                          "where they go, such as:\n%s"),
                                       {std::to_string(stg.place_errors), first_taken_place});
        if (stg.delete_errors)
            screen.text += fill_format(tr("\n\n%d files that the new version no longer has could not be deleted."),
                                       {std::to_string(stg.delete_errors)});
        if (stg.place_errors || stg.delete_errors)
            screen.text += tr("\n\nThe log on your desktop names each of them.  Move what is in the way and run this "
                              "updater again.");
    }
    return 0;
}

static wizard_screen_names update_names({{net_start, "net_start"},
                                         {net_pick_dest, "net_pick_dest"},
                                         {net_get_updates, "net_get_updates"},
                                         {net_check_disk, "net_check_disk"},
                                         {net_run_patch, "net_run_patch"},
                                         {net_done, "net_done"}});

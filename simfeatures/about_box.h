// Simulator-side features layer (simfeatures/).
// The about box: the build name and credits, and an online check of the maker's server list
// for a newer release, whose installer it can download, unpack (into the program folder when
// that is a copy, else into a fresh folder of the private temporary folder) and start. It runs
// its own frame loop in sub-window 993.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The host the server list "serverlist9.txt" is fetched from (with the path "/serverlist9.txt").
inline constexpr char kServerListHost[] = "update.tessaly.example";
inline constexpr char kMakerWebAddress[] = "http://www.tessaly.example";
// This build's release number.
inline constexpr int kThisRelease = 91001;
// After a failed or useless fetch of the list, the next one waits this long.
inline constexpr uint64_t kAboutRetryMicros = 5000000;
// The most the installer archive may bring, and the most its files may take unpacked.
inline constexpr int64_t kInstallerMaxBytes = int64_t(512) << 20;

// What the box keeps from one opening to the next, for the rest of the run.
struct about_state {
    int version_str_found = 0;  // a list with a "FINAL" line was read: no more fetches
    std::string version_str_net;
    std::string version_str_net_beta;
    int version_final = -1;
    int version_beta = -1;
    int is_latest = 1;
    int is_beta = 0;
    int ins_state = 0;  // 0 nothing, 1 offer, 2 downloading, 3 unpacked, 4 show err_msg
    std::string installer_server;
    std::string installer_path;
    std::string installer_app_name;
    std::string err_msg;
    uint64_t next_fetch = 0;  // microseconds (xtim_class::microsecs) before which no list is fetched
    std::string progress;     // the download line drawn in the last pass of state 2
    // Where the list, the archive and the unpacked installer go: -1 not chosen yet; 1 the copy at
    // app_path (folder empty, files relative to it); 0 a fresh folder of the private temporary
    // folder (folder and files absolute).
    int in_copy = -1;
    std::string folder;
    std::string list_file;
    std::string installer_zip;
};

extern about_state about_box;

// Reads a downloaded server list (relative to app_path) into st and decides what to offer.
// False when the file is missing or its header is refused; st is then unchanged.
bool about_read_list(about_state& st, const std::string& rel_path);
// "The current version of Volatra is now ..." or, before a list was read, the no-connection line.
std::string about_status_line(const about_state& st);
// The download line for a transfer of `length` bytes (-1 or 0: unknown) with `received` so far.
std::string about_progress_text(int64_t received, int64_t length);

// The name of the one program an installer archive may hold (its first entry, without a '/'
// at its end), or "" when an entry lies outside it or the first entry is no single name. Only
// resource forks of the program's own files may stand beside it, under "__MACOSX/".
std::string about_installer_entry(const std::vector<std::string>& names);

// One pass of the box: the version check, the drawing, the buttons, the installer's step.
void about_pass(about_state& st);
// Opens the box and runs its loop until the sub-window closes or the program is asked to end
// (app_done), or never returns when a new installer starts.
void MACIBM_about();

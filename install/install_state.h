// The installer's state: what the install engine works on and the wizard's screens show. The
// engine owns it; the wizard reads and sets it.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

// The installer state block: plain words, zero before main sets its defaults.
struct stg_struct {
    int32_t dir_state;  // manifest: 0 to fetch, 1 to read, 2 refused, 3 ready
    int32_t platform;   // 1 Mac, 2 Windows, 3 Linux
    int32_t log_actions;
    int32_t new_format_flag;
    int32_t download_failed;
    int32_t extract_error;
    int32_t server_count;  // -1 until the server list is read, then 0..10
    int32_t server_index;
    int32_t tile_selected[36][18];  // [longitude band][latitude band], nonzero = chosen
    int32_t tile_available[36][18];
    int32_t current_action;  // 0 deleting, 1 downloading, 2 already present, 3 not needed
    float file_fraction;     // -0.01 while the download's length is unknown
    int32_t stream_count;    // 0 automatic, else 1..4 download streams
    int32_t get_beta;
    float kb_to_download;  // KB of 1000 bytes
    float kb_to_install;
    int32_t num_to_add;
    int32_t num_to_remove;
    int32_t has_scenery;
    int32_t has_sim;
    int32_t delete_errors;  // files the network fetch could not delete
    int32_t place_errors;   // files the network fetch left out: the user's items hold their place
};
static_assert(std::is_trivial_v<stg_struct> && std::is_standard_layout_v<stg_struct>);

extern stg_struct stg;

// State of the download streams, shared by the update screens and the network fetch.
struct download_streams_struct {
    int32_t cursor;  // next file history to hand out
    int32_t finished;
    int32_t active[4];
    int32_t wants_file[4];
    int32_t file_index[4];
    float start_time;  // xtim.real_time when the run started
    float kb_partial;  // KB received of the downloads in progress
    float kb_done_download;
    float kb_done_install;
    float retry_at[4];  // a stream whose transfer failed tries again from this real_time on
    int32_t oversent[4];  // per stream, one bit per server that sent its file larger than it can be
};
static_assert(std::is_trivial_v<download_streams_struct>);

// Named as the rest of the program knows it; never use std::next unqualified beside it.
extern download_streams_struct next;

inline constexpr int max_servers = 10;

// Read by the install engine's pool threads too, so never destroyed: a pool still running while
// the process exits finds them intact.
extern std::string& install_name;   // release folder name; "Not Yet Scanned" until read
extern std::string& dest_dir_path;  // the copy being installed, repaired or updated, ending in '/'
extern std::string& temp_path;      // the temporary folder, ending in '/'
extern std::string& dvd_path;       // mount path of the install disc, ending in '/'; empty while none
extern std::string server_name[max_servers];
extern std::string server_path[max_servers];  // release folder on each server, ending in '/'
extern std::string crnt_file_path;
extern std::string crnt_file_name;
// Why the last failed download failed (a full disk, a 404, a refused connection), for the screens.
extern std::string download_error_text;

// Whether folder (relative to app_path, ending in '/') holds a copy of the simulator: folders
// whose names contain "Airfoils", "Instructions", "Output" and "Resources".
bool folder_holds_copy(const std::string& folder);
// Whether it holds at least one of those four folders: what is left of a copy that lost some.
bool folder_holds_part_of_copy(const std::string& folder);

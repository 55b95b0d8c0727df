// The web updater: brings an installed copy up to the newest release on the update servers,
// and the parts of it the web demo shares (the stream reset, the search screen, the run).
#pragma once

#include <string>

struct wizard_screen;

int net_start(int entered, wizard_screen& screen);
int net_pick_dest(int entered, wizard_screen& screen);
int net_get_updates(int entered, wizard_screen& screen);
int net_check_disk(int entered, wizard_screen& screen);
int net_run_patch(int entered, wizard_screen& screen);
int net_done(int entered, wizard_screen& screen);

// Ends every download stream's transfer and deletes its file in the temporary folder, then
// gives the copy's lock up.
void net_stream_stop();
// net_stream_stop keeping the lock: the run's folder is deleted under it.
void net_stream_halt();
// net_stream_stop, then streams 0 and 1 wanting the first file, the counters zeroed and the
// clock started: a run begins again from the first file.
void net_stream_reset();

// What the search screens say; each is translated before use.
struct net_search_texts {
    const char* contacting;   // followed by the server-list host, then contacting_end
    const char* contacting_end;
    const char* downloading;  // followed by the server's host
    const char* processing;
};
// The search of a web variant, every frame: the server list, the manifest and its progress.
// Returns true once the manifest is read (dir_state 3). Re-entered, the manifest is read again.
// Fetches that keep failing are shown with their server and cause while they go on.
bool net_search(int entered, wizard_screen& screen, const net_search_texts& texts);

// One frame of a run: grab_files for about 0.02 s, then the progress, caption and text.
// totl_inst_rat is the run screen's smoothed overall progress. 1 when the run has ended.
int net_patch_frame(wizard_screen& screen, float& totl_inst_rat);

// The time a number of seconds takes, as the run's text gives it: hours from 7200 s, minutes
// from 120 s, else seconds (whole numbers, cut off).
std::string time_left_text(float seconds);
// "About <time> left in the install, downloading at <rate> kilobytes/second with <n> simultaneous
// download streams.", or empty while nothing has arrived (no rate to tell a time by).
std::string rate_text(float kb_to_download, float kb_done, float elapsed, int streams);
// The overall progress after one more frame of smoothing with weight w, from the KB installed
// of kb_total; with nothing to unpack, the share of files handled. Always within 0..1.
float smoothed_progress(float previous, float w, float kb_done, float kb_total, int files_done, int files);

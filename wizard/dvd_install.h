// The disc install: the start screen, destination, licence, scenery map, the run and its finish.
// The run helpers (UTIL_cancel_install, the cancel guard) serve the other disc flows too.
#pragma once

#include <string>

#include "wizard/wizard_frame.h"

int dvd_start(int entered, wizard_screen& screen);
int dvd_pick_install(int entered, wizard_screen& screen);
int dvd_eula_install(int entered, wizard_screen& screen);
int dvd_scenery_install(int entered, wizard_screen& screen);
int dvd_run_install(int entered, wizard_screen& screen);
int dvd_done_install(int entered, wizard_screen& screen);

// The choice of a new folder for a copy, kept for the program's run: the parent and the name.
struct new_folder_choice {
    std::string parent_dir;      // ending in '/'; empty until the screen is first shown
    std::string install_folder;  // the new folder's name
    std::string desktop;         // the desktop folder, read on entry
    bool prepare_pending = false;  // the marks are prepared on the next frame showing a new folder
};
struct new_folder_texts {
    const char* dialog_message;
    const char* enough;
    const char* short_of_space;
};
// Draws the destination choice (a button opening the folder dialog at the parent, a field for
// the name, the verdict and the space report) and sets dest_dir_path. The first time, the parent is
// the applications folder and the name default_name. 0 when the name is unusable or the folder
// exists, 1 when it is new but the volume is short of space, 2 when it is new and there is room.
int UTIL_pick_new_folder(int entered, wizard_screen& screen, new_folder_choice& choice,
                         const std::string& default_name, const new_folder_texts& texts);

// Anything at folder (ending in '/' or not), a dangling link included.
bool something_at(const std::string& folder);
// A folder name the user may give for a new copy: not empty, one component.
bool folder_name_ok(const std::string& name);
// Prepares the marks of a new copy at dest_dir_path (nothing there yet): every file absent,
// every tile the manifest offers selected, the totals counted.
void prepare_new_install();
// The world map with the screen's text, title "Select Scenery", Back and, while the selection
// fits on the volume (the space report drawn with its two verdicts), Next.
void UTIL_scenery_map(wizard_screen& screen, const std::string& text, screen_fn back, screen_fn next,
                      const std::string& enough, const std::string& short_of_space);
// The licence screen's title, text and acceptance box bound to accepted; true once accepted.
bool UTIL_licence(wizard_screen& screen, int* accepted);

// The file marks and totals were prepared for a new install by the destination screen. Any
// other flow that changes the install filter, the marks or the tile selection clears it, so the
// next visit of the destination screen prepares again.
extern int install_marks_ready;

// The answer of a run's error choice or stop question, which delete nothing: anything but the
// second button (Continue) stops, the question closed without a button too.
inline bool stops_the_run(int answer) { return answer != 0; }
// The answer of a question whose first button cancels the run and deletes the partial copy: only
// that button. The second, and the question closed without a button (Return, the close dot), let
// the run go on, so closing a question never deletes the user's files.
inline bool cancels_and_deletes(int answer) { return answer == 1; }

// A run's choice about a failure: title + "\n\n" + msg and err's text + "\n\n" + text, asked
// with abort_alert. 1 first button, 0 second, 3 closed otherwise.
int UTIL_run_choice(const std::string& title, const std::string& msg, int err, const std::string& text,
                    const std::string& label1, const std::string& caption1, const std::string& label2,
                    const std::string& caption2);
// The error choice of a run: UTIL_run_choice with the failed task's message and error.
int UTIL_cancel_install(const std::string& title, const std::string& text, const std::string& label1,
                        const std::string& caption1, const std::string& label2, const std::string& caption2);

// The busy run's bar at the cursor: the start_fraction of that history's current version with
// caption + its path; 0 before the first history; 1.0 with finishing once all are queued.
void run_progress(wizard_screen& screen, int cursor, const char* caption, const char* finishing);

// One frame's worth of install_files: steps again while it is busy, pausing briefly between
// steps, for a time in proportion to the rest of the frame, so the pools are kept fed however
// slowly frames are drawn. The step's last result.
int install_files_for_a_frame(int& cursor, int disk);

// The folder a new install's preparation created (make_dirs), the only thing its cancel may
// delete; empty when none.
extern std::string run_created_dir;
// Deletes run_created_dir unless it is, or holds, a registered copy other than dest_dir_path;
// the file layer refuses the root, top-level folders and the home folder. The copy's lock is
// given up once the files have gone (delete_folder_then_unlock). 0 or an error.
int delete_cancelled_install();

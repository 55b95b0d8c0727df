// The disc install: the start screen, destination, licence, scenery map, the run and its finish.
// The run helpers (UTIL_cancel_install, the cancel guard) serve the other disc flows too.
#pragma once

#include <string>

struct wizard_screen;

int dvd_start(int entered, wizard_screen& screen);
int dvd_pick_install(int entered, wizard_screen& screen);
int dvd_eula_install(int entered, wizard_screen& screen);
int dvd_scenery_install(int entered, wizard_screen& screen);
int dvd_run_install(int entered, wizard_screen& screen);
int dvd_done_install(int entered, wizard_screen& screen);

// The file marks and totals were prepared for a new install by the destination screen. Any
// other flow that changes the install filter, the marks or the tile selection clears it, so the
// next visit of the destination screen prepares again.
extern int install_marks_ready;

// The error choice of a run: title + "\n\n" + the failed task's message and error text +
// "\n\n" + text, asked with abort_alert. 1 first button, 0 second, 3 closed otherwise.
int UTIL_cancel_install(const std::string& title, const std::string& text, const std::string& label1,
                        const std::string& caption1, const std::string& label2, const std::string& caption2);

// One frame's worth of install_files: steps again while it is busy, pausing briefly between
// steps, for a time in proportion to the rest of the frame, so the pools are kept fed however
// slowly frames are drawn. The step's last result.
int install_files_for_a_frame(int& cursor, int disk);

// The folder a new install's preparation created (make_dirs), the only thing its cancel may
// delete; empty when none.
extern std::string run_created_dir;
// Deletes run_created_dir unless it is, or holds, a registered copy other than dest_dir_path;
// the file layer refuses the root, top-level folders and the home folder. 0 or an error.
int delete_cancelled_install();

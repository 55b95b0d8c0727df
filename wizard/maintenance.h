// The two flows that maintain an installed copy, started from the start screen's menu: adding or
// removing global scenery, and repairing everything else. Both pick a copy, scan it, let the
// user choose or confirm, run the disc pipeline with disc changes, and finish.
#pragma once

struct wizard_screen;

int dvd_pick_scenery(int entered, wizard_screen& screen);
int dvd_scan_scenery(int entered, wizard_screen& screen);
int dvd_edit_scenery(int entered, wizard_screen& screen);
int dvd_install_scenery(int entered, wizard_screen& screen);
int dvd_done_scenery(int entered, wizard_screen& screen);
int dvd_switch_disk_scenery(int entered, wizard_screen& screen);
int dvd_verify_disk_scenery(int entered, wizard_screen& screen);

int dvd_pick_repair(int entered, wizard_screen& screen);
int dvd_scan_repair(int entered, wizard_screen& screen);
int dvd_confirm_repair(int entered, wizard_screen& screen);
int dvd_install_repair(int entered, wizard_screen& screen);
int dvd_done_repair(int entered, wizard_screen& screen);
int dvd_switch_disk_repair(int entered, wizard_screen& screen);
int dvd_verify_disk_repair(int entered, wizard_screen& screen);

// The scenery finish text's word for a run with errors (the -ing form) or without, by whether
// files were added and removed.
const char* scenery_result_word(int errors, int added, int removed);
// The histories the repair would install: current versions not up to date that pass the install
// filter, removals included (so the count may exceed what is installed).
int count_files_to_repair();

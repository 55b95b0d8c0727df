// Starting an installed copy: choosing it, and handing over to it.
#pragma once

struct wizard_screen;

// Chooses the copy to start; with exactly one registered, takes it at once.
int dvd_pick_run_sim(int entered, wizard_screen& screen);
// Starts dest_dir_path's application and ends the installer; tried again every frame while the
// start fails.
int dvd_do_run_sim(int entered, wizard_screen& screen);

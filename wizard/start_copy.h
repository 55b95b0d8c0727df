// Installer wizard layer (wizard/).
// Starting an installed copy: choosing it, and handing over to it.
#pragma once

struct wizard_screen;

// Chooses the copy to start; with exactly one registered, takes it at once. A destination left
// by another screen counts as chosen only when it is a registered copy.
int dvd_pick_run_sim(int entered, wizard_screen& screen);
// Starts dest_dir_path's application ("Volatra.app": an executable, or a bundle folder) and ends
// the installer. When the start fails it says so (logged once), offers Back to the first
// screen, and tries again whenever the program file changes.
int dvd_do_run_sim(int entered, wizard_screen& screen);

// The web demo: installs a new demo copy from the update servers into a folder the user names.
// The copy is not recorded among the installed copies.
#pragma once

struct wizard_screen;

int demo_start(int entered, wizard_screen& screen);
int demo_eula(int entered, wizard_screen& screen);
int demo_get_updates(int entered, wizard_screen& screen);
int demo_pick_dest(int entered, wizard_screen& screen);
int demo_run_patch(int entered, wizard_screen& screen);
int demo_done(int entered, wizard_screen& screen);

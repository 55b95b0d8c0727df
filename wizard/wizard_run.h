// What the three programs run after the shell's start-up. They are built from the same sources
// and differ only in the wizard's first screen.
#pragma once

enum wizard_variant { variant_installer = 0, variant_updater = 1, variant_webdemo = 2 };

// Names the units that no flow calls but whose static set-up every program runs: the support
// units' statistics and remote command (published once more) and the scenery library, empty.
// A static library gives a program only the units it names, static set-up and all, so start-up
// calls this first.
void wizard_register_units();

// The rest of main: returns its exit status.
int wizard_run(int argc, char** argv, wizard_variant variant);

// What the three programs run after the shell's start-up. They are built from the same sources
// and differ only in the wizard's first screen.
#pragma once

enum wizard_variant { variant_installer = 0, variant_updater = 1, variant_webdemo = 2 };

// The rest of main: returns its exit status.
int wizard_run(int argc, char** argv, wizard_variant variant);

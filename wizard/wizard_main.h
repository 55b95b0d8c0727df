// What main does after the shell's start-up: hand over to a copy when started from the install
// disc, log the standard folders, set the installer's state, read the preferences, "-path" and
// the record of copies, open the preferences screen first when the option "--prefs" is given and
// the about box when "--about" is, then run the frame loop with first as the first screen.
#pragma once

#include <string>

#include "wizard/wizard_frame.h"

int wizard_main(int argc, char** argv, screen_fn first);

// Steps before the frame loop; app is this program (its bundle, or the executable itself).
void wizard_start(int argc, char** argv, const std::string& app);
// When app lies on the install disc (dvd_path a prefix of it): copies it into temp (ending in
// '/') and starts the copy, which ends this program with status 1. Returns when the copy or
// its start failed (both logged); the program then goes on from the disc.
void hand_over_from_disc(const std::string& app, const std::string& temp);

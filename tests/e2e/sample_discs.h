// The sample disc set for whole-program runs of the installer: the sample master turned into
// three discs by the builder, the first in the disc changer's drive; the screens a run entered
// and whether an installed copy holds the master's files.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "e2e_session.h"

// The release the sample master is built as.
extern const std::string sample_release;
// The steps from the start screen to the world map of a new install, default destination.
extern const char* const to_the_run;
// The whole install of the three discs (order 0 1 2) with every tile, ending with Quit.
extern const std::string whole_install;

// Runs a program with its output dropped; its exit status.
int run_tool(const std::vector<std::string>& argv);

struct sample_set {
    std::string master, discs, volumes;
};
// Makes the sample master and its discs below the session's folder and points the session's
// programs at the changer, with the discs of order in it (the first in the drive). more_files,
// when given, adds to the master before the discs are made; disc_kb is the disc limit.
sample_set make_sample(e2e_session& s, const std::vector<std::string>& order, const std::string& disc_kb = "350",
                       const std::function<void(const std::string& master)>& more_files = nullptr);
// Loads the changer again: the first disc of order in the drive, the eject log emptied.
void load_changer(const sample_set& set, const std::vector<std::string>& order);

// The screens the log says were entered, in order.
std::vector<std::string> screens_entered(const std::string& log);
// The manifest the installer unpacked into the session's temporary folder.
std::string unpacked_manifest(const e2e_session& s);
// Every file of the manifest for this platform (1) and all (0), by its path in the copy, with
// its path in the master.
std::vector<std::pair<std::string, std::string>> manifest_files(const std::string& manifest);
// Items below folder whose names say they are unfinished: a hidden temporary (".vtmp...") or,
// with archives set, an archive on its way to the copy.
std::vector<std::string> leftovers(const std::string& folder, bool archives);
// Whether the installed item is the master's: the same link text, or the same digest.
bool same_item(const std::string& installed, const std::string& master);

// What the benchmarks share: running a reference tool quietly and installing a disc set headless.
#pragma once

#include <string>
#include <vector>

// Runs argv (searched on PATH) with its standard output dropped; its exit status, 127 when it
// could not be started, 128 when it did not exit.
int run_quiet(const std::vector<std::string>& argv);

// Installs every history of sim_info marked need_install from the disc set below discs
// ("disk_N/" folders), switching discs at once whenever the pipeline asks, with a short pause
// between steps (as the wizard makes) so the loop does not take a processor from the pools:
// empty, or the failed task's message.
std::string install_from_discs(const std::string& discs);

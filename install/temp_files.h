// Temporary items of the install engine. The extractors write each file under a hidden name
// ".vtmp-PID-N" beside its target and rename it into place, and archives wait in the private
// temporary folder: an interrupted run leaves both behind.
#pragma once

#include <string>
#include <vector>

// The lock file of a copy, in the copy's folder: a program holds it while it works on the copy.
// Hidden, so no listing of the copy shows it.
inline constexpr char copy_lock_name[] = ".volatra-installer.lock";

// Takes the lock of the copy in folder (ending in '/'), setting *fd for plat::unlock_file. False
// when another program holds it. Where it cannot be had for any other reason (no lock file can
// be made in a folder the user cannot write) the work goes on without one: true, logged, *fd -1.
bool take_copy_lock(const std::string& folder, int* fd);

// Every name in folder but "." and "..", hidden ones included; empty when it cannot be read.
std::vector<std::string> folder_names(const std::string& folder);
// Removes from the copy in folder (ending in '/') and every folder below it the hidden temporary
// items, files or folders, of processes that no longer run, logging each; so too in each of the
// folders of the copy that the user moved elsewhere and linked (moved, each ending in '/'). Not
// while another program holds the copy's lock (nothing is removed) or that of a copy found inside
// these folders (whose folders are skipped); a lock that cannot be had otherwise is gone on
// without, as a run does. Links below these folders are not followed.
void sweep_stale_temp_items(const std::string& folder, const std::vector<std::string>& moved = {});
// Start-up: empties the private temporary folder (ending in '/', a real folder of this user)
// of what earlier runs left, except the item that holds keep (the running program may have been
// started from a copy there). A lock taken for the life of the process keeps a second installer
// from emptying it under the first. 0, EBUSY when another installer holds it, or an error.
int empty_private_temp_folder(const std::string& folder, const std::string& keep);

// One program at a time works on a copy: a run holds a lock on the copy it writes into, so a
// second installer, updater or demo installer is told the copy is in use instead of installing,
// deleting or ejecting discs under the first.
#pragma once

#include <string>

#include "install/temp_files.h"  // copy_lock_name, which the clean-up of a copy takes too

// Takes the lock of the copy in folder (ending in '/') for a run, giving up one held on another
// copy. False, after an alert naming the copy, when another program holds it. Where no lock file
// can be made (a folder the user cannot write) the run goes on without one.
bool lock_copy_for_run(const std::string& folder);
// Gives the lock up: the run ended or was stopped.
void unlock_copy();
// Deletes folder (ending in '/') with everything in it and gives the lock up. A lock held on a
// copy in the folder is kept until all else has gone and its file goes last, so no other
// program starts work on files that are being deleted. 0 or the error that stopped it.
int delete_folder_then_unlock(const std::string& folder);

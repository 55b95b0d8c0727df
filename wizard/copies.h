// The record of installed copies ("volatra_install.txt" in the preferences folder, one folder
// path per line, only ever appended to) and the copy picker.
#pragma once

#include <string>

inline constexpr char copies_record_name[] = "volatra_install.txt";

// Rebuilds all_ostrands from the record: each absolute line, with its '/' added, that names a
// copy (holds_recorded_copy), once, in file order.
void locate_all_volatras();
// Whether a recorded folder (absolute, ending in '/') is still a copy to work on: an existing
// folder, neither '/' nor the home folder, that holds at least one of a copy's four folders.
bool holds_recorded_copy(const std::string& folder);
// Whether the copy picked, dest_dir_path, is still one (holds_recorded_copy) as a run starts on
// it; a run into a folder gone since would make a tree of its own. Says so in the log when not.
bool picked_copy_still_there();
// Appends dest_dir_path to the record unless a line equals it exactly, always on a line of its
// own; a path holding a line end is not recorded.
void register_new_volatra();
// Whether dest_dir_path (ending in '/') holds a copy (folder_holds_copy).
bool path_is_to_a_sim();
// A pick screen's entry: the copies listed anew (locate_all_volatras), and a destination left
// by another screen kept only when it is one of them, so no flow works on a folder the user did
// not choose as a copy or on one that has gone.
void keep_registered_destination();
// The copy that holds the folder chosen (itself or the nearest parent that is a copy), ending
// in '/'; empty when none is. dest_dir_path is left as it was.
std::string find_copy_above(const std::string& chosen);
// Draws the list of copies bound to dest_dir_path and the "Find It" button.
void UTIL_pick_install();

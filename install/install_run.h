// Preparing a run: which files to install or delete, the folders they need, and the removal of
// obsolete files and of the folders that removal empties.
#pragma once

#include <set>
#include <string>

// The question about a file the user changed since it was installed. Answers: 1 overwrite or
// delete it, 2 keep it, 3 cancel the whole installation, 4 overwrite or delete every changed
// file of its folder, 5 keep every changed file of its folder.
using select_alert_fn = int (*)(std::string path, int is_delete);
// The drawn question window installs itself here; while it is null every question is
// answered 3, so nothing is touched without the user's consent.
extern select_alert_fn g_select_alert;

// Sets need_install / need_delete of every current version and their start_fraction:
// 1 done, 0 the user cancelled.
int choose_files();

// Creates dest_dir_path and the folders the files to install need: 0, or the error of the
// first folder that could not be made (after its alert).
int make_dirs();
// The shallowest folder of dest_dir_path (ending in '/') that the last make_dirs created, empty
// when dest_dir_path already existed. Cancelling a new install removes this and nothing above it.
extern std::string make_dirs_new_root;
void make_dir_error(std::string path, int err);
// Deletes the current versions marked need_delete and prunes the folders left empty. Returns
// the number of files that could not be deleted (see delete_failed).
int delete_files();
// Readies an existing copy for a run's files: first deletes what the run removes and prunes the
// folders that empties (delete_files), so that a file can take the place of a folder the release
// no longer has and a folder the place of a file, then makes the folders (make_dirs). Returns
// make_dirs's result; *delete_failures (when given) = the files that would not go.
int clear_and_make_dirs(int* delete_failures);
// True when the folder that holds `location` (a file, or a folder ending in '/') resolves, links
// followed, to the copy or a folder inside it, and passes no link at a place the manifest names
// (passes_named_link). A link that an archive left in the copy must not lead a deletion
// elsewhere; a folder that does not resolve holds nothing to delete.
bool folder_stays_inside_copy(const std::string& location);
// Whether deleting location ended with err in a failure: anything but success or a file that
// is not there. A failure is logged with its cause.
bool delete_failed(const std::string& location, int err);
// path without its last component: a/b/c.txt gives a/b/, a/b/ gives a/, c.txt gives "".
void get_path_with_path(std::string& out, const std::string& path);
// Adds every folder between location and dest_dir_path (that one excluded), each ending in '/'.
void add_parent_folders(const std::string& location, std::set<std::string>& out);
// Removes, deepest first, every folder of the set below dest_dir_path that holds nothing and
// that no file still to be installed needs.
void prune_empty_folders(const std::set<std::string>& folders);

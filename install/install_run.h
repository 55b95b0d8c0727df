// Preparing a run: which files to install or delete, the folders they need, and the removal of
// obsolete files and of the folders that removal empties.
#pragma once

#include <functional>
#include <set>
#include <string>
#include <vector>

struct file_version_struct;
class folder_way;

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
// Which removals the preparation of a run makes: every one (the disc road), or only those that
// stand where the run installs something (a folder where a file goes, a file or link where a
// folder goes), the rest left to the fetch, which makes them once the files are in.
enum class removal_order { all_first, in_the_way_first };
// Readies an existing copy for a run's files: deletes what the run removes (all of it, or what is
// in the way), removes a folder tree holding nothing but folders where a file is to go, and
// prunes the folders the deletions emptied, so that a file can take the place of a folder and a
// folder the place of a file; last makes the folders (make_dirs). Returns make_dirs's result;
// *delete_failures (when given) = the files that would not go.
int clear_and_make_dirs(int* delete_failures, removal_order order);
// Deletes the removal v at its install location unless its folder leads out of the copy, logs it
// (the log flag set) after log_prefix, adds its folders to `folders` and marks v absent once it is
// gone. True when it would not go.
bool delete_removal(file_version_struct& v, const char* log_prefix, std::set<std::string>& folders);
// True when nothing stands on the way to the folder that holds `location` (a file, or a folder
// ending in '/'): way_to passes, so the folder resolves inside the copy or inside the folder the
// user moved and linked. A link that an archive left in the copy must not lead a deletion
// elsewhere; a folder the user moved and linked takes the release's removals where it is; a
// folder that does not resolve holds nothing to delete.
bool folder_stays_inside_copy(const std::string& location);
// Whether deleting location ended with err in a failure: anything but success or a file that
// is not there. A failure is logged with its cause.
bool delete_failed(const std::string& location, int err);
// path without its last component: a/b/c.txt gives a/b/, a/b/ gives a/, c.txt gives "".
void get_path_with_path(std::string& out, const std::string& path);
// Adds every folder between location and dest_dir_path (that one excluded), each ending in '/'.
void add_parent_folders(const std::string& location, std::set<std::string>& out);
// Removes the folder tree at folder (ending in '/'), deepest first, when it holds nothing but
// folders and stays inside the copy; a link is never followed, and a tree holding anything else
// stays whole. The way to it is judged first (through ways, where the caller keeps one for a run
// of places): nothing beyond an item in the way is looked at.
void remove_folders_holding_nothing(const std::string& folder, folder_way* ways = nullptr);
// Removes, deepest first, every folder of the set below dest_dir_path that holds nothing and
// that no file still to be installed needs.
void prune_empty_folders(const std::set<std::string>& folders);

// Whether an unpacking's error says that the copy holds something else where the file or its
// folder goes (a folder where a file goes, a file or a link leading out where a folder goes): no
// server or disc can mend that.
bool place_is_taken(int err);
// The log's line for a file left out because place (with the error err) is in its way.
void log_left_out(const std::string& file, const std::string& place, int err);

// Something in the copy that keeps files of the run out of their places: a file of the user's
// where a folder goes, a folder (or the user's link to one) holding the user's items where a file
// goes, a link of the release on the way, a link leading out of the copy or of the folder the user
// moved, or one leading nowhere (a disk that is away); met as a file unpacks, also a link of the
// release that would lead out from the folder the user moved (err_link_moved_leads_out).
struct item_in_the_way {
    std::string item;
    int err = 0;  // ENOTDIR, EISDIR, or an error of way_to's (copy_way)
    // The folder such a link leads out of, as the user knows it (resolved, ending in '/').
    std::string bound;
    std::string leads_to;        // where a link that leads nowhere points
    std::vector<int> histories;  // the files it keeps out, in manifest order
    // Met as a file unpacked (histories empty): it is that file's own place, so it keeps that one
    // out; else the files it keeps out are not known then.
    bool at_own_place = false;
    // err_link_moved_leads_out: the link of the release first refused in the folder the user
    // moved, which is the item: one cause, whatever number of the release's links it keeps out.
    std::string link;
};
// After the run's folders are made: the items in the way of the files marked need_install, each
// once, in the order of their first file.
std::vector<item_in_the_way> items_in_the_way();
// The item in the way of the file dest, met as it unpacked with err (place_is_taken): what way_to
// finds on its way, else dest itself (at_own_place), or, for a link of the release refused where
// the user moved its folder, the first link on its way (the move). Its histories are left empty.
item_in_the_way item_in_the_way_of(const std::string& dest, int err);
// One sentence for the user: the item, what it is, and how many files it keeps out (its
// histories, or the one file at its own place; else no number). The item is named by its whole
// path, or, where the message gives that on a line of its own, as it stands below the copy.
std::string item_in_the_way_text(const item_in_the_way& it, bool named_below_copy = false);
// Shows each item in the way once through ask (false: the user stops the run) and leaves out the
// files it keeps out: need_install cleared, so they are neither fetched nor unpacked, each logged.
// Returns how many files were left out; *stopped tells whether ask stopped (the files of the items
// after it are left as they were).
int leave_out_files_in_the_way(const std::function<bool(const item_in_the_way&)>& ask,
                               bool* stopped = nullptr);

// Files and archives layer (files/).
// File-system operations: standard folders, tests on paths, copy, rename, delete, folders,
// free space, disc eject, folder listing, code bundles and handing over to another program.
// Functions give 0 or an error number (files/errors.h) unless noted. Paths use '/'; most
// operations put app_path in front of the path given (copy_file, rename_file, make_folder,
// get_free_space and eject_dvd do not).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum os_dir_type {
    os_dir_this_app = 0,         // the folder holding the program (ends in '/')
    os_dir_this_app_bundle = 1,  // the program's bundle, or the executable itself
    os_dir_desktop = 2,
    os_dir_default_apps = 3,  // the desktop too: there is no applications folder to install into
    os_dir_temp = 4,          // private to the user
    os_dir_prefs = 5
};

// A file reference: on this system the item's path.
struct FSRef {
    std::string path;
};
// A loaded code bundle: a shared-library handle.
typedef void* CFBundleRef;

// out = the standard folder (2 to 5 end in '/'); left as it was when it cannot be found.
void get_OS_abs_path(os_dir_type type, std::string& out);
int FSRefToFilePath(FSRef* ref, std::string& out);
// With leaf null, ref is path itself (which must exist); otherwise ref is the folder holding
// the last component and leaf that component, which need not exist.
int FilePathToFSRefAndName(const char* path, FSRef* ref, std::string* leaf);
void ConvertPathToCFM(std::string& path);

// Links are followed: a link to a file is a file; a broken link is nothing.
bool file_exists(std::string path);
bool dir_exists(std::string path);
// Size in bytes, -1 for a missing path or a folder.
int64_t APL_file_size(const std::string& path);
// True for a symbolic link (not followed); target gets its text (at most 499 bytes).
bool is_sim_link(const char* path, std::string* target);
// The whole text of the link at path (as given), whatever its length. 0 or errno.
int read_link_text(const std::string& path, std::string* text);

// 2 when the source or the destination cannot be opened; the destination is replaced only
// when the whole copy succeeded. The destination gets the source's mode & 0777. Onto a
// symbolic link the copy replaces the link's target, and the link stays.
int copy_file(const std::string& src, const std::string& dst);
// A file, or a whole folder tree; links inside the tree are copied as links. A folder that
// cannot be made (or listed) is the error returned.
int copy_file_recursive(const std::string& src, const std::string& dst);

// A trailing '/' removes an (empty) folder, otherwise the item itself (a link, never its target).
int delete_file(std::string path);
// dir ends in '/'. Depth first; links are removed as links; stops at the first error.
// EINVAL, with nothing touched, for a path without the '/', the root, a top-level folder, or
// the home folder or one holding it (as written or with its links resolved). A file spare inside
// dir (written as dir followed by its path) stays, with the folders that hold it.
int recursive_delete_folder(std::string dir, const std::string& spare = std::string());
int rename_file(const std::string& dir, const std::string& old_name, const std::string& new_name);
// One level, mode 0755; an existing folder gives EEXIST.
int make_folder(const std::string& path);
int make_file_executable(const char* path);
// Whether an error is to be shown: delete errors never, folder creation unless it exists.
int show_del_err(int err);
int show_make_dir_err(int err);

// Byte counts of the volume holding path, whose last component need not exist yet, and the
// size of the blocks that its files take. Outputs are untouched on failure.
int get_free_space(const std::string& path, unsigned long long* total, unsigned long long* free,
                   unsigned long long* block = nullptr);
int eject_dvd(std::string path);

// The open/save dialog's listing of dir (ends in '/'): names sorted ignoring case, without
// dot-names; types 1 folder, 0 other, or the type of the name's extension. Mode 0 lists
// everything, 12 images for panels, 20 nothing, 21 the command paths, another mode that type.
int opensave_getitems(const std::string& dir, int mode, std::vector<std::string>& names,
                      std::vector<int>& types);
int opensave_takeit(const std::string& dir, const std::string& name, int mode, int& type);

// Loads a system framework by name; 0, or -50, -120, -36, -43, -54, -37 by failing step
// (with report set, a fatal alert first).
int load_bundle_by_filename(const char* name, int report, CFBundleRef* bundle);
void* CFBundleGetFunctionPointerForName(CFBundleRef bundle, const char* name);

// Starts app (a bundle folder or an executable) with "-path path_arg" when path_arg is not
// empty, then finishes up and ends this program with status 1. Returns the errno when the
// program could not be started.
int launch_app(const std::string& app, const std::string& path_arg);
void make_file_large_address_aware(std::string path);

// Paths copied into the old fixed buffers hold at most 499 bytes: a longer one is fatal.
void io_check_path_length(const std::string& full_path);
// With g_case_sensitive set, the path after that check and findPath's case correction.
std::string io_case_fix(const std::string& full_path);

// The running program's bundle (keep_bundle 1), or the folder holding it, ending in '/' (0).
void MACIBM_set_app_path(std::string* out, int keep_bundle);
// Set: paths are corrected for letter case (the find-path hook) before use. Stays 0 here.
extern int g_case_sensitive;
// Corrects the case of a 500-byte path buffer in place (the path finder installs itself here);
// the default leaves it unchanged. Returns the hook replaced; null installs the default.
using find_path_fn = int (*)(char* path);
find_path_fn set_find_path_hook(find_path_fn fn);

// Guards for writing archive entries: names and link texts from an archive are untrusted, so
// nothing an archive holds may create or change anything outside the destination root.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "files/errors.h"
#include "files/finder_info_and_forks.h"

// What the hidden names of files on their way into place start with (".vtmp-PID-N"): reserved,
// as a clean-up removes such names.
inline constexpr char kHiddenTempPrefix[] = ".vtmp-";

// The process that wrote name, when name is exactly a hidden name this program writes: the
// prefix, the process id and a counter in decimal as printed (no sign, blank or leading zero,
// each within its type), one '-' between them and nothing after. 0 for any other name.
pid_t hidden_temp_owner(const std::string& name);

// A relative name without "..", without a backslash, not empty, and with no component that starts
// with kHiddenTempPrefix. Trailing '/' allowed.
bool archive_name_is_safe(const std::string& name);

// 0 when the folder holding target resolves (links followed) to root or below it;
// errno when that folder cannot be resolved (ENOENT when it is missing);
// err_zip_unsafe_path when it lies outside. An empty root means the working folder.
int check_target_parent(const std::string& target, const std::string& root);

// True when a link at link_path with this text stays inside root: the text is relative, its ".."
// steps come before any name and never climb above root, read from the link's resolved folder,
// nor more than max_climb folders (the depth of the place the caller names it by, where a folder
// on its way may be a link leading elsewhere).
bool link_text_is_safe(const std::string& link_path, const std::string& text, const std::string& root,
                       size_t max_climb = SIZE_MAX);
// The same judgement, told apart: 0 safe; err_zip_unsafe_path for a text no archive may hold
// here (absolute, a ".." after a name, more than max_climb of them, or no folder to read it from);
// err_link_moved_leads_out for one that stays within max_climb (when given) but climbs above
// root from the folder the link really lands in, which someone moved.
int link_text_check(const std::string& link_path, const std::string& text, const std::string& root,
                    size_t max_climb = SIZE_MAX);

// A new file beside target under a fresh hidden name, created without following any link.
// Returns the descriptor (and its name in temp) or -errno.
int create_temp_beside(const std::string& target, std::string* temp);
// A new symbolic link beside target holding text. 0 or errno; temp receives its name.
int symlink_temp_beside(const std::string& target, const std::string& text, std::string* temp);
// Renames temp over target (an existing link at target is replaced, never followed).
// On failure temp is removed and errno returned.
int commit_temp(const std::string& temp, const std::string& target);

// What one extraction changed, so that a failed one leaves its folders as it found them: a file
// or link it replaces keeps a hidden name beside its place (a second hard link, or a copy where
// the file system has none: the place never stands empty) until the extraction ends, and what it
// made is removed again. Undone when destroyed unless succeeded() came first.
class extraction_journal {
public:
    extraction_journal() = default;
    extraction_journal(const extraction_journal&) = delete;
    extraction_journal& operator=(const extraction_journal&) = delete;
    ~extraction_journal();
    // commit_temp, noting what was at target. 0 or errno (temp is removed).
    int commit(const std::string& temp, const std::string& target);
    // A folder the extraction made; removed on undo once empty.
    void made_folder(const std::string& path);
    // The Mac metadata of the file at path (st its lstat) is about to change: undo puts back what
    // it was before the call first changed it. 0 or errno.
    int metadata_changing(const std::string& path, const struct stat& st);
    // The extraction is whole: what was replaced goes for good.
    void succeeded();

private:
    struct change {
        change(std::string p, std::string k, bool f) : path(std::move(p)), kept(std::move(k)), folder(f) {}
        std::string path;
        std::string kept;  // the replaced file's hidden name; empty when the extraction made path
        bool folder;
        bool metadata = false;  // only path's metadata changed, from saved
        mac_metadata saved;
    };
    std::vector<change> changes_;
    // Each file's metadata is saved once, however many records of the archive change it.
    std::set<std::pair<dev_t, ino_t>> metadata_saved_;
};

// The manifest ("directory.txt") as the engine holds it: one version history per file, the
// install filter that picks a run's files, and the size totals shown beside the free space.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// One version of one file, as a manifest line gives it, with the install state worked out for it.
struct file_version_struct {
    int platform = 0;  // 0 all, 1 Mac, 2 Windows, 3 Linux, 6 Linux plug-in libraries
    int vcode = 0;
    float size_a = 0.0f;   // archive size, KB of 1000 bytes
    float size_b = 0.0f;   // unpacked size, KB
    std::string sig_want;  // MD5 as 32 lower-case hex digits, or "GONE"
    std::string sig_have;  // MD5 of the installed file, "NONE" when absent, empty before a pass
    std::string path;      // manifest path: platform folder first
    int disk = 0;
    int up_to_date = 0;
    int is_global = 0;
    int lat_idx = 0;
    int lon_idx = 0;
    int need_install = 0;
    int need_delete = 0;
    // Share of the run's unpacked KB that lies in the histories before this one (choose_files).
    float start_fraction = 0.0f;
};

// The versions of one manifest path, oldest first; versions.back() is the current one.
struct file_history_struct {
    std::vector<file_version_struct> versions;
};

// Every history, in manifest order; histories are addressed by their index here.
// References to storage that is never destroyed: pool tasks may still read it while the process exits.
extern std::vector<file_history_struct>& sim_info;
// Folders touched by the network fetch's deletions, pruned at its end.
extern std::set<std::string>& deleted_files;

// Reads the manifest into sim_info: 3 when read, 2 when the header is not an accepted one.
// Stops a running checksum pass first. The second argument is not used.
int read_directory(const std::string& path, std::string unused);
bool is_global_scenery_f(const char* path);
int find_sector(int* lon_idx, int* lat_idx, std::string path);
bool path_has_no_file(std::string path);
// True when a manifest path stays inside the folder it is put under: not empty, no empty, "."
// or ".." component, no leading '/', no backslash and no control character.
bool path_is_safe(const std::string& path);
// Drops the first component (the platform folder) of a manifest path.
void trim_dest_folder(std::string& path);
// Where a version lives in the copy: dest_dir_path followed by its trimmed path.
std::string install_location(const file_version_struct& v);
// Notes the trimmed path of every history of sim_info, whatever its platform or state, with the
// signatures of its versions: the places where the manifest has a file or link of its own, and
// what the releases put there. read_directory calls it; the notes stay as they are until the next
// call, so pool tasks may read them while a pass runs.
void note_named_locations();
// What lies on the way from dest_dir_path to a location of the copy: the folders that hold it (the
// location itself too when it ends in '/').
struct copy_way {
    // 0 when the way passes (also where it stops at a folder not made yet); else what stands in
    // it: ENOTDIR a file of the user's, or a link the release put in the copy;
    // err_link_leads_out a link leading out of the copy or of the folder the user moved;
    // err_link_leads_nowhere a link whose target is not there (a disk that is away, say);
    // err_path_climbs a "." or ".." component of location itself.
    int err = 0;
    std::string item;  // what stands in the way, as the copy names it, without a trailing '/'
    // What nothing read or written for location may leave, ending in '/': dest_dir_path, or,
    // resolved, a folder the user moved elsewhere and linked.
    std::string bound;
    std::string leads_to;  // where a link that leads nowhere points, by its words
    // On a way that passes, the link that moved what lies beyond it, as the copy names it: the one
    // the bound comes from, or, inside the copy, the first link met; empty when it met none.
    std::string moved_by;
};
// Judges each link on the way; beyond an item in the way nothing is read, written, made or
// removed. A link at a noted place (by the name the walk reached, or the one location gives it)
// whose text's digest is one of the place's signatures is the release's: what lies beyond it is
// another place of the copy, never passed. Who made any other link cannot be known, but what a
// release can write is: a relative text that stays inside the copy from the place it names
// (release_link_climb). So only a text no release writes is the user's move, and makes the
// folder it leads to the bound: an absolute one, or, for the first link of the way, one that
// climbs out of the copy from the folder holding it (beyond a first link, a release's link may
// lie in a folder the user moved, from where its text climbs out). Any other link in the copy's
// own folders is walked by its words, as a way of its own under these rules, and leads out where
// they climb out of the copy; one inside a folder moved passes where it leads inside the copy or
// that folder.
copy_way way_to(const std::string& location);
// Whether text, the text of a link at place (trimmed, below the copy), is one a history of the
// manifest gives that place: the release's link.
bool release_link_at(std::string_view place, const std::string& text);
// Whether location (below the copy) holds a link of the user's that leads to a folder: as a
// folder there, it keeps the file of that place out. It is judged as a folder on a way (way_to),
// and nothing beyond it is looked at: one leading out or nowhere (its disk away) counts as such a
// link; one in whose way anything else stands (the release's link, a link to a file) as none.
bool users_link_to_a_folder(const std::string& location);
// How many folders the text of a link of the release written at location (below the copy) may
// climb: the depth of the place the manifest names. The writers hold it to that as well as to
// the folder it really lands in (link_text_check), so way_to never takes it for a move.
size_t release_link_climb(const std::string& location);
// way_to of the folder of each location met in turn. The files of a folder follow each other in
// the manifest: its way is judged once while they do.
class folder_way {
public:
    const copy_way& of(const std::string& location);

private:
    std::string folder_;
    copy_way way_;
};

// Install filter: which kinds of file a run considers (both on at start).
extern int g_want_sim;
extern int g_want_global;
void set_install_filter(int want_sim, int want_global);
bool want_this_f(int history, int version);
void scenery_take_all();
void scenery_from_install();
// Install locations of the files a run keeps or installs: wanted current versions that are not
// removals, tiles only when selected. A removal never deletes one of these.
std::set<std::string> filled_locations();
// Recounts kb_to_download, kb_to_install, num_to_add and num_to_remove of stg.
void recalc_disk_sizes();
// What the files of kb_to_install take on a volume that allocates blocks of that many bytes,
// each file rounded up to whole blocks, in KB.
double kb_to_install_in_blocks(uint64_t block);

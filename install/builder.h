// The manifest builder: turns a release's master folder into the disc masters (one archive per
// file in per-disc folders), the manifest "directory.txt" and the disc identity "dvd_version.txt".
// Every inconsistency it finds is a fatal alert.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

// What a build holds: 0 simulator without scenery (reads the previous manifest), 1 full Earth
// release, 2 Mars scenery, 3 Moon scenery.
extern int build_type;
// Kilobytes of archives per disc; a disc is full once its archives pass this.
inline constexpr double kDiscLimitKb = 630000.0;
extern double disc_limit_kb;
// The release number that every version and removal written by this builder carries.
inline constexpr int kBuildVcode = 91001;

// Settings; all paths absolute, folders ending in '/'.
extern std::string src_fold;       // the master folder
extern std::string dst_fold_base;  // receives disk_0/, disk_1/, ...; must exist before a run
extern std::string dst_folder;     // the disc being filled
extern std::string old_dir_path;   // the previous release's manifest (kind 0)
extern std::string sim_name;       // the release folder on every disc
extern int reg;

extern const std::string ALL_str;
extern const std::string APL_str;
extern const std::string WIN_str;
extern const std::string LIN_str;

// Fixed paths below src_fold, made by builder_make_paths().
extern std::string str_all_fold, str_apl_fold, str_win_fold, str_LIN_fold, str_ins_fold, str_wpn_fold,
    str_afl_fold, str_acf_fold, str_zyb_fold, str_res_fold, str_out_fold, str_cus_fold, str_glo_fold,
    str_plug, str_redt, str_orbt, str_erth1, str_erth2, str_mars, str_moon, str_men_file, str_tex_file,
    str_com_file;

// Set when the walk meets the item.
extern int found_all_fold, found_apl_fold, found_win_fold, found_LIN_fold, found_ins_fold, found_wpn_fold,
    found_afl_fold, found_acf_fold, found_res_fold, found_out_fold, found_cus_fold, found_glo_fold,
    found_plug, found_redt, found_orbt, found_men_file, found_tex_file, found_com_file;

// Results of the walk: selected files (master paths, walk order) and the disc folders they need.
extern std::vector<std::string> comp_files;
extern std::set<std::string> comp_paths;
extern int num_files_rec;
extern int num_files_use;
extern int num_files_com;

// State of the packing.
extern int dvd_now;
extern double zip_size_dvd;
extern std::string prev_dir;
extern std::string sig;

// History keys compare without regard to letter case.
struct no_case_compare_string {
    bool operator()(const std::string& a, const std::string& b) const;
};
extern std::map<std::string, int, no_case_compare_string> sim_info_index;

// Progress: the sink shows two lines; the poll returns the character typed since the last poll
// (0 for none). A typed 'q' stops the build. The defaults print to the terminal and see no key;
// the program installs the terminal's key poll, or the shell's drawn display and window poll.
using builder_progress_fn = void (*)(const std::string& line1, const std::string& line2);
using builder_key_poll_fn = int (*)();
extern builder_progress_fn g_builder_progress;
extern builder_key_poll_fn g_builder_key_poll;
void builder_progress(const std::string& line1, const std::string& line2);

// A name the manifest cannot carry as it is: the alert's second and third lines, or null.
struct builder_name_fault {
    const char* what;
    const char* why;
};
const builder_name_fault* builder_check_name(const std::string& name);

// Builds the str_ paths from src_fold.
void builder_make_paths();
// Clears the walk's flags, results and counters.
void builder_reset_walk();
void pref_level(const std::string& folder);
bool is_good_file(std::string path, int skip_read_test, int read_test);
void chop_platform(std::string& path, int platform);
// The closing check of the walk: a missing required item or a forbidden one is fatal.
void builder_check_required();

// The folder of disc n: dst_fold_base + "disk_N/".
std::string builder_disc_folder(int n);
void set_dest_dvd(int n);
class pack_task;
// Packs and records one selected file; packed, when given, holds its archive and digest made
// ahead on the pool.
void comp_file(std::string path, const pack_task* packed = nullptr);
// Ends a build's packing ahead: waits for the pool and removes the archives it staged.
void builder_abandon_packing();
void sub_install();
void build_install();

// Kilobytes of 1000 bytes, truncated, of a 64-bit size: masters of 2 GiB and more are normal.
int builder_kb(int64_t bytes);
// The manifest and the disc identity: a file that cannot be opened or written stops the build,
// so a failed write is never reported as done.
void builder_open_output(const std::string& path);
void builder_close_output(const std::string& path);
// The master file's MD5 into out. A failure stops the build: recording another file's digest
// would mark wrong files up to date on every install.
void builder_digest(const std::string& path, std::string& out);
// Platform code of a packed file from its master path and the code of its platform folder.
int builder_plugin_platform(const std::string& path, int code);
// Whether the 7z archive holds exactly one entry, called name, of size bytes.
bool ready_archive_matches(const std::string& archive, const std::string& name, int64_t size);

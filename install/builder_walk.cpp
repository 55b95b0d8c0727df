// The builder's settings, the walk of the master folder, the per-file filter and the history key.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <iostream>
#include <map>

#include "core/alert.h"
#include "core/globals.h"
#include "core/strings.h"
#include "files/file_operations.h"
#include "files/safe_extract.h"
#include "files/versioned_file.h"
#include "install/builder.h"
#include "install/builder_alert.h"

int build_type = 1;
double disc_limit_kb = kDiscLimitKb;

std::string src_fold = "/Volatra 9.00/";
std::string dst_fold_base = "/DVD_Masters/";
std::string dst_folder;
std::string old_dir_path = "/directory.txt";
std::string sim_name = "-";
int reg = 0;

const std::string ALL_str = "All";
const std::string APL_str = "Macintosh";
const std::string WIN_str = "Windows";
const std::string LIN_str = "Linux";

std::string str_all_fold, str_apl_fold, str_win_fold, str_LIN_fold, str_ins_fold, str_wpn_fold, str_afl_fold,
    str_acf_fold, str_zyb_fold, str_res_fold, str_out_fold, str_cus_fold, str_glo_fold, str_plug, str_redt,
    str_orbt, str_erth1, str_erth2, str_mars, str_moon, str_men_file, str_tex_file, str_com_file;

int found_all_fold, found_apl_fold, found_win_fold, found_LIN_fold, found_ins_fold, found_wpn_fold,
    found_afl_fold, found_acf_fold, found_res_fold, found_out_fold, found_cus_fold, found_glo_fold,
    found_plug, found_redt, found_orbt, found_men_file, found_tex_file, found_com_file;

std::vector<std::string> comp_files;
std::set<std::string> comp_paths;
int num_files_rec = 0;
int num_files_use = 0;
int num_files_com = 0;

namespace {
void print_progress(const std::string& line1, const std::string& line2) {
    std::cout << line1 << "\n  " << line2 << std::endl;
}
int no_key() { return 0; }

struct folder_flag {
    const std::string* path;
    int* flag;
};

// Folder paths and the flag each sets when the walk meets it.
const folder_flag kFolderFlags[] = {
    {&str_all_fold, &found_all_fold}, {&str_apl_fold, &found_apl_fold}, {&str_win_fold, &found_win_fold},
    {&str_LIN_fold, &found_LIN_fold}, {&str_ins_fold, &found_ins_fold}, {&str_wpn_fold, &found_wpn_fold},
    {&str_afl_fold, &found_afl_fold}, {&str_acf_fold, &found_acf_fold}, {&str_res_fold, &found_res_fold},
    {&str_out_fold, &found_out_fold}, {&str_cus_fold, &found_cus_fold}, {&str_glo_fold, &found_glo_fold},
    {&str_plug, &found_plug},         {&str_redt, &found_redt},         {&str_orbt, &found_orbt},
};

const char* const kAllChildren[] = {
    "Aircraft/",  "Airfoils/", "Instructions/",   "Output/",        "install_zyb Aircraft/",
    "Resources/", "Weapons/",  "Custom Scenery/", "Global Scenery/"};

bool contains(const std::string& s, const std::string& part) { return s.find(part) != std::string::npos; }
bool has_control_char(const std::string& name) {
    return std::any_of(name.begin(), name.end(), [](unsigned char c) { return c < 0x20 || c == 0x7F; });
}

// Case-insensitive order as the listing gives it; names equal but for case are ordered byte-wise,
// so every run lists a folder the same way whatever order the file system returns.
bool walk_order(const std::string& a, const std::string& b) {
    if (no_case_compare_string()(a, b)) return true;
    if (no_case_compare_string()(b, a)) return false;
    return a < b;
}

// The folders of disc 0 that the file needs. A later disc gets the same layout only when a file
// is packed onto it: no disc that holds nothing is written.
void add_disc_folders(const std::string& rel) {
    const std::string rel_in_master = rel.substr(src_fold.size());
    std::string p = builder_disc_folder(0) + sim_name + "/" + rel_in_master;
    for (size_t cut; (cut = p.rfind('/')) != std::string::npos;) {
        p.erase(cut);
        if (!p.empty() && p.size() >= dst_fold_base.size()) comp_paths.insert(p);
    }
}

void check_name(const std::string& name, const std::string& full) {
    if (const builder_name_fault* f = builder_check_name(name))
        builder_fatal("YOU IDIOT!", f->what, f->why, full);
    if (contains(full, ":")) builder_fatal("YOU IDIOT!", "found a  : in the path!", full, "");
    if (contains(full, "\\")) builder_fatal("YOU IDIOT!", "found a \\ in the path!", full, "");
}

// The installer refuses a link that leads out of the copy; the platform folders merge into the
// copy's root, so the same test against the master's platform folder finds such a link in the
// walk, before anything is packed.
void check_link(const std::string& rel, const std::string& full) {
    std::string text;
    if (!is_sim_link(rel.c_str(), &text)) return;
    const size_t platform_end = rel.find('/', src_fold.size());
    if (platform_end == std::string::npos) return;  // outside the platform folders: no copy root to test against
    if (!link_text_is_safe(app_path + rel, text, app_path + rel.substr(0, platform_end + 1)))
        builder_fatal("YOU IDIOT!", "This link would lead outside the installed copy!", full, text);
}

// Install locations of the files selected so far, each with its master path.
std::map<std::string, std::string> comp_locations;
}  // namespace

const builder_name_fault* builder_check_name(const std::string& name) {
    static const builder_name_fault trailing{
        "You tried to include a file or directory with a space at the end!",
        "Names with a trailing blank lose it on the way to the user."};
    // The manifest reader drops a name's leading blanks and ends a name at a line break, so such
    // names would install under another name, or their archive would never be found.
    static const builder_name_fault leading{
        "You tried to include a file or directory with a space at the start!",
        "The manifest cannot hold a name that begins with a blank."};
    static const builder_name_fault control{
        "You tried to include a file or directory with a control character in its name!",
        "The manifest cannot hold tabs, line breaks or other control characters in a name."};
    if (!name.empty() && name.back() == ' ') return &trailing;
    if (!name.empty() && name.front() == ' ') return &leading;
    if (has_control_char(name)) return &control;
    return nullptr;
}

builder_progress_fn g_builder_progress = print_progress;
builder_key_poll_fn g_builder_key_poll = no_key;

bool no_case_compare_string::operator()(const std::string& a, const std::string& b) const {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int ca = std::tolower(static_cast<unsigned char>(a[i]));
        int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb;
    }
    return a.size() < b.size();
}

void builder_progress(const std::string& line1, const std::string& line2) {
    if (g_builder_progress) g_builder_progress(line1, line2);
    if (g_builder_key_poll && g_builder_key_poll() == 'q') builder_fatal("You hit Q dumbass!", "", "", "");
}

void builder_make_paths() {
    auto p = [](const std::string& platform, const char* suffix) {
        return src_fold + platform + "/" + suffix;
    };
    str_all_fold = p(ALL_str, "");
    str_apl_fold = p(APL_str, "");
    str_win_fold = p(WIN_str, "");
    str_LIN_fold = p(LIN_str, "");
    str_ins_fold = p(ALL_str, "Instructions/");
    str_wpn_fold = p(ALL_str, "Weapons/");
    str_afl_fold = p(ALL_str, "Airfoils/");
    str_acf_fold = p(ALL_str, "Aircraft/");
    str_zyb_fold = p(ALL_str, "install_zyb Aircraft/");
    str_res_fold = p(ALL_str, "Resources/");
    str_out_fold = p(ALL_str, "Output/");
    str_cus_fold = p(ALL_str, "Custom Scenery/");
    str_glo_fold = p(ALL_str, "Global Scenery/");
    str_plug = p(ALL_str, "Resources/plugins/");
    str_redt = p(ALL_str, "Resources/default scenery/900 red terrain/");
    str_orbt = p(ALL_str, "Resources/bitmaps/Earth Orbit Textures/");
    str_erth1 = p(ALL_str, "Global Scenery/-global overlays-");
    str_erth2 = p(ALL_str, "Global Scenery/-global terrain-");
    str_mars = p(ALL_str, "Custom Scenery/DSF 900 Mars World-Wide");
    str_moon = p(ALL_str, "Custom Scenery/DSF 900 Moon World-Wide");
    str_men_file = p(ALL_str, "Resources/menus/English/Volatra.txt");
    str_tex_file = p(ALL_str, "Resources/text/English/Volatra.txt");
    str_com_file = p(ALL_str, "Resources-JUX/ac_threat.dat");
}

void builder_reset_walk() {
    // Each run starts with no flag set: a run must not pass its check on a previous run's items.
    for (const folder_flag& f : kFolderFlags) *f.flag = 0;
    found_men_file = found_tex_file = found_com_file = 0;
    comp_files.clear();
    comp_paths.clear();
    comp_locations.clear();
    num_files_rec = num_files_use = num_files_com = 0;
}

void pref_level(const std::string& folder) {
    // A folder that cannot be listed would silently leave its files out of the release.
    if (DIR* d = opendir((app_path + folder).c_str()))
        closedir(d);
    else
        builder_fatal("I could not read this folder of the master!", app_path + folder, std::strerror(errno),
                      "");
    std::vector<std::string> names;
    std::vector<int> types;
    opensave_getitems(folder, 0, names, types);
    std::sort(names.begin(), names.end(), walk_order);

    for (const std::string& name : names) {
        const std::string full_item = app_path + folder + name;
        // Decided by lstat, not by the listing's type: a folder named like a known file type
        // (x.obj/) is still a folder, and a link to a folder is packed as a link.
        struct stat st;
        const bool is_folder = lstat(full_item.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
        const std::string full = full_item + (is_folder ? "/" : "");
        check_name(name, full);

        if (is_folder) {
            for (const folder_flag& f : kFolderFlags)
                if (full == *f.path) *f.flag = 1;
            if (folder == str_all_fold) {
                const std::string child = name + "/";
                if (std::find(std::begin(kAllChildren), std::end(kAllChildren), child) ==
                    std::end(kAllChildren))
                    builder_fatal("What the hell is THIS doing in here!?!?!?", name, full, child);
            }
            pref_level(folder + name + "/");
            continue;
        }

        if (full == str_men_file) found_men_file = 1;
        if (full == str_tex_file) found_tex_file = 1;
        if (full == str_com_file) found_com_file = 1;
        if (contains(full, "copy")) builder_fatal("YOU IDIOT!", "found a copy file!", full, "");
        if (contains(full, ".cpp")) builder_fatal("YOU IDIOT!", "found a .cpp file!", full, "");
        if (contains(full, ".CPP")) builder_fatal("YOU IDIOT!", "found a .CPP file!", full, "");
        if (full.substr(0, full.rfind('/') + 1) == src_fold + ALL_str + "/")
            builder_fatal("YOU IDIOT!",
                          "I FOUND A FILE INSIDE THE 'ALL' FOLDER! WE SHOULD ONLY HAVE FOLDERS THERE!", full,
                          "");
        ++num_files_rec;

        const std::string rel = folder + name;
        if (is_good_file(rel, 0, 0)) {
            // Left out, it would be recorded as removed and deleted from every copy.
            if (!is_good_file(rel, 0, 1))
                builder_fatal("YOU IDIOT!", "I could not read this file!", full, "");
            if (contains(folder, "/All/Resources/preferences/"))
                builder_fatal("YOU IGNORANT SLUT!", "I found this preferences file!", name,
                              "And is_good_file says I should keep it!!!!");
            check_link(rel, full);
            // The platform folders merge into one tree: two files there would overwrite each other.
            std::string location = rel.substr(src_fold.size());
            location.erase(0, location.find('/') + 1);
            auto placed = comp_locations.emplace(location, full);
            if (!placed.second)
                builder_fatal("YOU IDIOT!", "Two files would be installed at the same place!",
                              placed.first->second, full);
            ++num_files_use;
            comp_files.push_back(rel);
            add_disc_folders(rel);
        }
        if (num_files_rec % 500 == 0)
            builder_progress("reg: " + std::to_string(reg) +
                                 ": total files recursed: " + std::to_string(num_files_rec) +
                                 ". will compress: " + std::to_string(num_files_use) + ".",
                             rel);
    }
}

bool is_good_file(std::string path, int skip_read_test, int read_test) {
    if (skip_read_test == 0 && read_test != 0 && !is_sim_link(path.c_str(), nullptr)) {
        xmap_class map(path);
        if (!map.base) return false;
    }
    for (const char* part : {".7z", "Thumbs.db", "work.", "._", ".DS_Store", ".sandboxinfo", ".xSYM"})
        if (contains(path, part)) return false;
    // An interrupted install's leftover: archives may not hold such a name.
    if (contains(path, std::string("/") + kHiddenTempPrefix)) return false;
    if (ends_with(path, ".ovw") || ends_with(path, ".ac")) return false;
    if (contains(path, "serverlist.txt") || contains(path, "Volatra Pilot.txt")) return false;
    for (const char* tail : {".prf", ".fms", ".sit", ".mov", ".bak"})
        if (ends_with(path, tail)) return false;
    if (contains(path, ".dsf.txt")) return false;
    if (contains(path, str_zyb_fold)) return false;

    const bool earth = contains(path, str_erth1) || contains(path, str_erth2);
    const bool planet = earth || contains(path, str_mars) || contains(path, str_moon);
    const bool red_terrain = contains(path, str_redt);
    const bool orbit = contains(path, str_orbt);
    switch (build_type) {
        case 0:
            return !planet && !orbit && !red_terrain;
        case 1:
            return !planet || earth;
        case 2:
            return contains(path, str_mars);
        case 3:
            return contains(path, str_moon);
        default:
            builder_fatal("I can not tell what type of install this is!", "", "", "");
    }
}

void chop_platform(std::string& path, int platform) {
    const size_t slash = path.find('/');
    if (slash == std::string::npos) builder_fatal("Could not find the dir char!", path, "", "");
    path.erase(0, slash);
    static const char* const kTags[] = {"ALL_os", "APL_os", "IBM_os", "LIN_os"};
    if (platform >= 0 && platform <= 3) path.insert(0, kTags[platform]);
}

void builder_check_required() {
    struct required {
        int* flag;
        int alert_when;
        bool only_kind1;
        const char* text;
        const std::string* path;
    };
    const required checks[] = {
        {&found_all_fold, 0, false, "!found_all_fold", &str_all_fold},
        {&found_apl_fold, 0, false, "!found_apl_fold", &str_apl_fold},
        {&found_win_fold, 0, false, "!found_win_fold", &str_win_fold},
        {&found_LIN_fold, 0, false, "!found_X86_fold", &str_LIN_fold},
        {&found_ins_fold, 0, false, "!found_ins_fold", &str_ins_fold},
        {&found_wpn_fold, 0, false, "!found_wpn_fold", &str_wpn_fold},
        {&found_afl_fold, 0, false, "!found_afl_fold", &str_afl_fold},
        {&found_acf_fold, 0, false, "!found_acf_fold", &str_acf_fold},
        {&found_res_fold, 0, false, "!found_res_fold", &str_res_fold},
        {&found_out_fold, 0, false, "!found_out_fold", &str_out_fold},
        {&found_cus_fold, 0, false, "!found_cus_fold", &str_cus_fold},
        {&found_glo_fold, 0, false, "!found_glo_fold", &str_glo_fold},
        {&found_plug, 0, false, "!found_plug\t ", &str_plug},
        {&found_redt, 0, true, "!found_redt\t ", &str_redt},
        {&found_orbt, 0, true, "!found_orbt\t ", &str_orbt},
        {&found_men_file, 0, false, "!found_men_file", &str_men_file},
        {&found_tex_file, 0, false, "!found_tex_file", &str_tex_file},
        {&found_com_file, 1, false, " found_com_file", &str_com_file},
    };
    for (const required& r : checks) {
        if (r.only_kind1 && build_type != 1) continue;
        if (*r.flag == r.alert_when) builder_fatal("YOU IDIOT!", r.text, *r.path, "");
    }
}

void builder_fatal_at(const std::string& line1, const std::string& line2, const std::string& line3,
                      const std::string& line4, const char* file, int line) {
    // Nothing staged for the discs may stay behind.
    builder_abandon_packing();
    __MACIBM_alert(0, line1, line2, line3, line4, t_exit, file, line);
    // A fatal alert does not return; should one ever do, the build must still stop here.
    _exit(1);
}

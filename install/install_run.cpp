// Preparing a run: the choice of files, folder creation and the removal of obsolete files.
#include "install/install_run.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <set>
#include <utility>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "core/localisation.h"
#include "core/strings.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/safe_extract.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/temp_files.h"

select_alert_fn g_select_alert = nullptr;
std::string make_dirs_new_root;

namespace {

enum { answer_act = 1, answer_keep = 2, answer_cancel = 3, answer_act_folder = 4, answer_keep_folder = 5 };

bool matches_any_version(const file_history_struct& h, const std::string& sig) {
    for (const file_version_struct& v : h.versions)
        if (v.sig_want == sig) return true;
    return false;
}

void write_start_fractions() {
    double total = 0.0;
    for (const file_history_struct& h : sim_info)
        if (h.versions.back().need_install) total += h.versions.back().size_b;
    double before = 0.0;
    for (file_history_struct& h : sim_info) {
        file_version_struct& v = h.versions.back();
        v.start_fraction = total > 0.0 ? static_cast<float>(before / total) : 0.5f;
        if (v.need_install) before += v.size_b;
    }
}

// Creates one folder: 0 when it was made or was there already, else its error after the alert.
// A file's folder (file_folder) with a file of the user's on its way is 0 too, logged: the files
// that go below it are left out, each on its own, and the rest of the run goes on.
int make_one_folder(const std::string& path, bool* created = nullptr, bool file_folder = false) {
    int err = make_folder(path);
    if (created) *created = err == 0;
    if (!show_make_dir_err(err)) return 0;
    if (file_folder && err == ENOTDIR) {
        xer << "I can not make the folder " << path << ": a file stands on its way.\n";
        return 0;
    }
    make_dir_error(path, err);
    return err;
}

// A folder not made because of what stands on its way; a link that leads nowhere with where it leads.
void log_not_made(const std::string& folder, const copy_way& way) {
    xer << "I do not make the folder " << folder << ": " << way.item << " is in its way ("
        << error_str(way.err);
    if (way.err == err_link_leads_nowhere) xer << ": it leads to " << way.leads_to;
    xer << ").\n";
}

}  // namespace

bool folder_stays_inside_copy(const std::string& location) { return way_to(location).err == 0; }

namespace {

bool is_deselected_tile(const file_version_struct& v) {
    return v.is_global && !stg.tile_selected[v.lon_idx][v.lat_idx];
}

// The run takes this version out of the copy: the release dropped it, or it is a tile the user
// deselected.
bool removed_by_run(const file_version_struct& v) { return v.sig_want == "GONE" || is_deselected_tile(v); }

// Every folder between the locations of the files to install and dest_dir_path.
std::set<std::string> install_folders() {
    std::set<std::string> folders;
    for (const file_history_struct& h : sim_info)
        if (h.versions.back().need_install) add_parent_folders(install_location(h.versions.back()), folders);
    return folders;
}

// Whether a removal at location stands where the run installs something: a file or link where a
// file to install needs a folder, or a folder (on location's way) where a file goes.
bool in_the_way(const std::string& location, const std::set<std::string>& folders,
                const std::set<std::string>& files) {
    if (folders.count(location + "/")) return true;
    std::set<std::string> on_its_way;
    add_parent_folders(location, on_its_way);
    for (const std::string& f : on_its_way)
        if (files.count(f.substr(0, f.size() - 1))) return true;
    return false;
}

// Deletes the current versions marked need_delete (all, or only those in the way of the files to
// install), adding their folders to `folders`; the number that would not go.
int delete_marked(removal_order order, std::set<std::string>& folders) {
    std::set<std::string> install_places, needed;
    if (order == removal_order::in_the_way_first)
        for (const file_history_struct& h : sim_info)
            if (h.versions.back().need_install) {
                const std::string location = install_location(h.versions.back());
                add_parent_folders(location, needed);
                install_places.insert(location);
            }
    int failed = 0;
    for (file_history_struct& h : sim_info) {
        file_version_struct& v = h.versions.back();
        if (!v.need_delete) continue;
        if (order == removal_order::in_the_way_first && !in_the_way(install_location(v), needed, install_places))
            continue;
        failed += delete_removal(v, "", folders);
    }
    return failed;
}

}  // namespace

int choose_files() {
    // Folders whose changed files the user chose to replace (or delete) all, or keep all.
    std::set<std::string> act_folders, keep_folders;
    // A file that moved to another platform folder leaves a removal behind at the location its
    // new history fills: that location is never deleted.
    const std::set<std::string> filled = filled_locations();
    for (size_t h = 0; h < sim_info.size(); ++h) {
        const int last = static_cast<int>(sim_info[h].versions.size()) - 1;
        file_version_struct& v = sim_info[h].versions[last];
        v.need_install = 0;
        v.need_delete = 0;
        if (!want_this_f(static_cast<int>(h), last)) continue;

        const std::string local = install_location(v);
        // A deselected tile is removed like a file the release no longer has.
        const bool gone = removed_by_run(v);
        const bool absent = v.sig_have == "NONE";
        const bool current = !absent && !is_deselected_tile(v) && v.sig_have == v.sig_want;

        bool act;
        if (gone && filled.count(local)) {
            act = false;
        } else if (absent) {
            act = !gone;
        } else if (current) {
            act = false;
        } else if (matches_any_version(sim_info[h], v.sig_have)) {
            act = true;
        } else {
            std::string folder;
            get_path_with_path(folder, local);
            if (act_folders.count(folder)) {
                act = true;
            } else if (keep_folders.count(folder)) {
                act = false;
            } else {
                xer << "File: " << local << "  sig_want=" << v.sig_want << "  sig_have=" << v.sig_have
                    << "\n";
                int answer = g_select_alert ? g_select_alert(local, gone) : answer_cancel;
                switch (answer) {
                    case answer_act:
                        act = true;
                        break;
                    case answer_keep:
                        act = false;
                        break;
                    case answer_act_folder:
                        act = true;
                        act_folders.insert(folder);
                        break;
                    case answer_keep_folder:
                        act = false;
                        keep_folders.insert(folder);
                        break;
                    default:
                        return 0;
                }
            }
        }
        v.need_install = act && !gone;
        v.need_delete = act && gone;
    }
    write_start_fractions();
    return 1;
}

void make_dir_error(std::string path, int err) {
    __MACIBM_alert(0,
                   UTL_translate_string("I am unable to install or update Volatra. An error occurred while "
                                        "creating new folders. Make sure you are installing to a directory "
                                        "that you have access to!"),
                   UTL_translate_string("Error: ") + error_str(err),
                   UTL_translate_string("Install Location: ") + dest_dir_path,
                   UTL_translate_string("Install Path:") + path, t_alert, __FILE__, __LINE__);
}

int make_dirs() {
    // The destination itself, one level at a time, noting the first level that is new.
    make_dirs_new_root.clear();
    const std::string root =
        dest_dir_path.empty() ? std::string() : dest_dir_path.substr(0, dest_dir_path.size() - 1);
    for (size_t slash = root.find('/', 1); !root.empty(); slash = root.find('/', slash + 1)) {
        const std::string prefix = slash == std::string::npos ? root : root.substr(0, slash);
        bool created = false;
        if (int err = make_one_folder(prefix, &created)) return err;
        if (created && make_dirs_new_root.empty()) make_dirs_new_root = prefix + "/";
        if (slash == std::string::npos) break;
    }

    // The folders of the files to install; the set puts a folder before the ones inside it.
    std::set<std::string> folders;
    for (size_t h = 0; h < sim_info.size(); ++h) {
        const int last = static_cast<int>(sim_info[h].versions.size()) - 1;
        const file_version_struct& v = sim_info[h].versions[last];
        if (!v.need_install || !want_this_f(static_cast<int>(h), last)) continue;
        std::string rel = v.path;
        trim_dest_folder(rel);
        for (size_t slash = rel.rfind('/'); slash != std::string::npos && slash > 0;
             slash = rel.rfind('/', slash - 1))
            folders.insert(rel.substr(0, slash));
    }
    // The items in the way met: the run tells of those in the way of its files, once each.
    std::set<std::string> items_met;
    for (const std::string& f : folders) {
        // Beyond an item in the way nothing is made: its files are left out.
        const copy_way way = way_to(dest_dir_path + f + "/");
        if (way.err) {
            log_not_made(dest_dir_path + f, way);
            items_met.insert(way.item);
            continue;
        }
        if (int err = make_one_folder(dest_dir_path + f, nullptr, true)) return err;
    }

    static const char* const fixed[] = {
        "Output",    "Output/FMS plans",     "Output/logbooks", "Output/movies", "Output/situations",
        "Resources", "Resources/preferences"};
    for (const char* f : fixed) {
        const copy_way way = way_to(dest_dir_path + f + "/");
        if (!way.err)
            make_one_folder(dest_dir_path + f);
        else if (way.err == err_link_leads_nowhere)  // a disk that is away: nothing to tell of now
            log_not_made(dest_dir_path + f, way);
        else if (items_met.insert(way.item).second)
            make_dir_error(dest_dir_path + f, way.err);
    }

    // Plug-in frameworks need these items as links; a real folder in their place is moved aside.
    static const char* const frameworks[] = {"Resources/plugins/QORV.framework/",
                                             "Resources/plugins/TarnWidgets.framework/"};
    for (const char* fw : frameworks) {
        const std::string dir = dest_dir_path + fw + "Versions/";
        if (!way_to(dir).err && !is_sim_link((dir + "Current").c_str(), nullptr))
            rename_file(dir, "Current", "_Current");
    }
    for (const char* fw : frameworks) {
        const std::string dir = dest_dir_path + fw;
        if (!way_to(dir).err && !is_sim_link((dir + "Resources").c_str(), nullptr))
            rename_file(dir, "Resources", "_Resources");
    }
    return 0;
}

void get_path_with_path(std::string& out, const std::string& path) {
    out.clear();
    if (path.size() < 2) return;
    size_t slash = path.rfind('/', path.size() - 2);
    if (slash != std::string::npos) out = path.substr(0, slash + 1);
}

void add_parent_folders(const std::string& location, std::set<std::string>& out) {
    std::string folder;
    get_path_with_path(folder, location);
    while (folder.size() > dest_dir_path.size() && starts_with(folder, dest_dir_path)) {
        out.insert(folder);
        std::string parent;
        get_path_with_path(parent, folder);
        folder = parent;
    }
}

namespace {

// Every folder of the tree at folder (deepest last) into out; false when the tree holds anything
// but folders. A link is not a folder and is never followed.
bool only_folders_in(const std::string& folder, std::vector<std::string>& out) {
    struct stat st;
    // Without its final '/', which would lead lstat through a link.
    if (lstat(folder.substr(0, folder.size() - 1).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    out.push_back(folder);
    for (const std::string& name : folder_names(folder))
        if (!only_folders_in(folder + name + "/", out)) return false;
    return true;
}

}  // namespace

void remove_folders_holding_nothing(const std::string& folder, folder_way* ways) {
    // The way to the folder holding it first: a dead mount behind a link leading out is never
    // looked at. Then the place itself, which a link never passes as a folder.
    const std::string place = folder.substr(0, folder.size() - 1);
    struct stat st;
    if ((ways ? ways->of(place).err : way_to(place).err) || lstat(place.c_str(), &st) != 0 ||
        !S_ISDIR(st.st_mode))
        return;
    std::vector<std::string> tree;
    if (!only_folders_in(folder, tree)) return;
    for (auto it = tree.rbegin(); it != tree.rend(); ++it) {
        const int err = delete_file(*it);
        if (stg.log_actions) xer << "cleanup: DELETING  file " << *it << ", with result=" << err << ".\n";
        if (err) return;
    }
}

void prune_empty_folders(const std::set<std::string>& folders) {
    // make_dirs made these for files still to come: a folder emptied by a rename stays.
    const std::set<std::string> needed = install_folders();
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const std::string& folder = *it;
        // The copy itself and anything outside it are never removed.
        if (folder.size() <= dest_dir_path.size() || !starts_with(folder, dest_dir_path) ||
            needed.count(folder) || !folder_stays_inside_copy(folder))
            continue;
        std::vector<std::string> names;
        std::vector<int> types;
        if (opensave_getitems(folder, 0, names, types) != 0) continue;
        int err = delete_file(folder);
        if (stg.log_actions) xer << "cleanup: DELETING  file " << folder << ", with result=" << err << ".\n";
    }
}

bool delete_failed(const std::string& location, int err) {
    if (err == 0 || err == ENOENT || err == ENOTDIR) return false;
    xer << "I could not delete " << location << ": " << error_str(err) << "\n";
    return true;
}

bool delete_removal(file_version_struct& v, const char* log_prefix, std::set<std::string>& folders) {
    const std::string location = install_location(v);
    stg.current_action = 0;
    if (!folder_stays_inside_copy(location)) {
        xer << "NOT DELETING  file " << location << ", its folder lies outside " << dest_dir_path
            << " or beyond a link the release names.\n";
        return true;
    }
    const int err = delete_file(location);
    if (stg.log_actions)
        xer << log_prefix << "DELETING  file " << location << ", with result=" << err << ".\n";
    add_parent_folders(location, folders);
    // Only a file that is really gone counts as absent; one that refused to go is still there.
    if (delete_failed(location, err)) return true;
    v.up_to_date = 0;
    v.sig_have = "NONE";
    return false;
}

int delete_files() {
    std::set<std::string> folders;
    const int failed = delete_marked(removal_order::all_first, folders);
    prune_empty_folders(folders);
    return failed;
}

int clear_and_make_dirs(int* delete_failures, removal_order order) {
    std::set<std::string> folders;
    const int failed = delete_marked(order, folders);
    if (delete_failures) *delete_failures = failed;
    // Where a file or link of the release goes, folders that hold nothing else give way (left by
    // the user's deletion or by a run stopped midway): they would keep it out for good. Other
    // empty folders of the user's stay.
    folder_way ways;
    for (const file_history_struct& h : sim_info) {
        const file_version_struct& v = h.versions.back();
        if (v.need_install) remove_folders_holding_nothing(install_location(v) + "/", &ways);
    }
    prune_empty_folders(folders);
    return make_dirs();
}

bool place_is_taken(int err) {
    return err == EISDIR || err == ENOTDIR || err == ENOTEMPTY || err == EEXIST ||
           err == err_link_leads_out || err == err_link_leads_nowhere || err == err_path_climbs ||
           err == err_link_moved_leads_out;
}

namespace {

item_in_the_way item_of(const copy_way& way) {
    item_in_the_way it;
    it.item = way.item;
    it.err = way.err;
    it.bound = way.bound == dest_dir_path ? std::string() : way.bound;
    it.leads_to = way.leads_to;
    return it;
}

}  // namespace

item_in_the_way item_in_the_way_of(const std::string& dest, int err) {
    const copy_way way = way_to(dest);
    item_in_the_way it = item_of(way);
    if (it.err) return it;
    it.item = dest;
    it.err = err;
    // What stood on the way may have gone since: only a folder there is the place's own.
    it.at_own_place = err == EISDIR;
    if (err == err_link_moved_leads_out) {
        // The user's move of its folder is the cause, one for every link of the release it keeps out.
        it.link = dest;
        if (!way.moved_by.empty()) it.item = way.moved_by;
    }
    return it;
}

void log_left_out(const std::string& file, const std::string& place, int err) {
    xer << "LEFT OUT  file " << file << ": " << place << " is in its way (" << error_str(err) << ").\n";
}

std::vector<item_in_the_way> items_in_the_way() {
    std::vector<item_in_the_way> items;
    std::map<std::string, size_t> index;
    folder_way ways;
    for (size_t h = 0; h < sim_info.size(); ++h) {
        const file_version_struct& v = sim_info[h].versions.back();
        if (!v.need_install) continue;
        const std::string location = install_location(v);
        item_in_the_way found = item_of(ways.of(location));
        struct stat st;
        // The preparation removed the folder trees holding nothing here: what is left holds the
        // user's, as does the user's link to a folder.
        if (!found.err && lstat(location.c_str(), &st) == 0 &&
            (S_ISDIR(st.st_mode) || (S_ISLNK(st.st_mode) && users_link_to_a_folder(location)))) {
            found.item = location;
            found.err = EISDIR;
        }
        if (!found.err) continue;
        const auto at = index.emplace(found.item, items.size());
        if (at.second) items.push_back(std::move(found));
        items[at.first->second].histories.push_back(static_cast<int>(h));
    }
    return items;
}

std::string item_in_the_way_text(const item_in_the_way& it, bool named_below_copy) {
    // Met as a file unpacked, an item on the way keeps out files that are not counted then.
    const size_t n = !it.histories.empty() ? it.histories.size() : it.at_own_place ? 1 : 0;
    const bool one = n == 1;
    const std::string files = one      ? UTL_translate_string("1 file")
                              : n == 0 ? UTL_translate_string("the files")
                                       : std::to_string(n) + UTL_translate_string(" files");
    const std::string are =
        one ? UTL_translate_string(" is left out.") : UTL_translate_string(" are left out.");
    const auto named = [named_below_copy](const std::string& path) {
        return named_below_copy && starts_with(path, dest_dir_path) ? path.substr(dest_dir_path.size())
                                                                    : path;
    };
    const std::string item = named(it.item);
    const std::string beyond =
        UTL_translate_string(", so ") + files + UTL_translate_string(" of the release beyond it") + are;
    switch (it.err) {
        case err_link_leads_out:
            return UTL_translate_string("The link ") + item +
                   (it.bound.empty()
                        ? UTL_translate_string(" leads outside the copy")
                        : UTL_translate_string(" leads outside the folder you moved and linked, ") +
                              it.bound) +
                   beyond;
        case err_link_leads_nowhere:
            return UTL_translate_string("The link ") + item + UTL_translate_string(" leads to ") +
                   it.leads_to + UTL_translate_string(", where nothing is found now (is its disk away?)") +
                   beyond;
        case err_path_climbs:
            return UTL_translate_string("The release names the path ") + item +
                   UTL_translate_string(", which would leave its folder, so ") + files + are;
        case err_link_moved_leads_out:
            return UTL_translate_string("The link ") + named(it.link) +
                   UTL_translate_string(" of the release lies in ") + item +
                   UTL_translate_string(", a folder you moved, and from there its text leads outside ") +
                   (it.bound.empty() ? UTL_translate_string("the copy")
                                     : UTL_translate_string("the folder you moved and linked, ") + it.bound) +
                   UTL_translate_string(", so it is left out, as is every such link of the release there.");
        default:
            return UTL_translate_string("Something of yours stands at ") + item +
                   UTL_translate_string(", where the release puts files, so ") + files +
                   UTL_translate_string(one ? " that goes there" : " that go there") + are;
    }
}

int leave_out_files_in_the_way(const std::function<bool(const item_in_the_way&)>& ask, bool* stopped) {
    if (stopped) *stopped = false;
    int left_out = 0;
    for (const item_in_the_way& it : items_in_the_way()) {
        const bool go_on = ask(it);
        for (int h : it.histories) {
            file_version_struct& v = sim_info[static_cast<size_t>(h)].versions.back();
            v.need_install = 0;
            log_left_out(install_location(v), it.item, it.err);
            ++left_out;
        }
        if (!go_on) {
            if (stopped) *stopped = true;
            break;
        }
    }
    return left_out;
}

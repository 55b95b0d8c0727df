#include "wizard/copies.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "core/localisation.h"
#include "files/file_operations.h"
#include "graphics/text_layout.h"
#include "install/install_state.h"
#include "platform/plat_paths.h"
#include "shell/dialogs.h"
#include "widgets/widget_kit.h"
#include "wizard/wizard_draw.h"
#include "wizard/wizard_frame.h"

namespace {

// The record's path, empty (after the warning) when there is no preferences folder.
std::string record_path() {
    std::string prefs;
    get_OS_abs_path(os_dir_prefs, prefs);
    if (prefs.empty()) {
        xer << "WARNING: registration of this Ostrand folder failed!\n";
        return std::string();
    }
    return prefs + copies_record_name;
}

// The record's whole text, "" when it cannot be read.
std::string record_text(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every line of the record, cut at its first CR or LF; a line of any length stays one line.
std::vector<std::string> record_lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        size_t cut = line.find_first_of("\r\n");
        if (cut != std::string::npos) line.erase(cut);
        lines.push_back(line);
    }
    return lines;
}

}  // namespace

bool holds_recorded_copy(const std::string& folder) {
    // The copies screens update and delete in the folder: never the top of the disk or the
    // home folder, whatever they hold. A copy that lost some of its folders is still one to
    // repair, so any one of them is enough.
    if (folder.size() < 2 || folder[0] != '/' || folder.back() != '/' || !dir_exists(folder)) return false;
    const std::string real = plat::real_path(folder), home = plat::home_dir();
    if (real.empty() || real == "/" || (!home.empty() && real == plat::real_path(home))) return false;
    return folder_holds_part_of_copy(folder);
}

void locate_all_volatras() {
    all_ostrands.clear();
    std::string path = record_path();
    if (path.empty()) return;
    for (std::string line : record_lines(record_text(path))) {
        // A line is only a place where a copy was: only an absolute folder that still holds a
        // copy is taken, always ending in '/'.
        if (line.empty() || line[0] != '/') continue;
        if (line.back() != '/') line += '/';
        if (std::find(all_ostrands.begin(), all_ostrands.end(), line) != all_ostrands.end()) continue;
        if (holds_recorded_copy(line)) all_ostrands.push_back(line);
    }
}

void register_new_volatra() {
    std::string path = record_path();
    if (path.empty()) return;
    if (dest_dir_path.find_first_of("\r\n") != std::string::npos) {
        xer << "WARNING: a folder whose name holds a line end is not recorded: " << dest_dir_path << "\n";
        return;
    }
    const std::string text = record_text(path);
    for (const std::string& line : record_lines(text))
        if (line == dest_dir_path) return;
    // An earlier append cut short (a full disk) left a line without its end: this one starts
    // on a line of its own, so the two never join.
    const std::string entry =
        std::string(!text.empty() && text.back() != '\n' ? "\n" : "") + dest_dir_path + "\n";
    // One write with O_APPEND: two programs recording at once cannot interleave their lines.
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    int err = fd < 0 ? errno : plat::write_all(fd, entry.data(), entry.size());
    if (fd >= 0 && close(fd) != 0 && !err) err = errno;
    if (err) xer << "WARNING: could not append registration file: " << path << "\n";
}

bool picked_copy_still_there() {
    if (holds_recorded_copy(dest_dir_path)) return true;
    xer << "The copy " << dest_dir_path << " is not there any more.\n";
    return false;
}

bool path_is_to_a_sim() { return folder_holds_copy(dest_dir_path); }

std::string find_copy_above(const std::string& chosen) {
    const std::string kept = dest_dir_path;
    dest_dir_path = chosen;
    if (dest_dir_path.empty() || dest_dir_path.back() != '/') dest_dir_path += '/';
    std::string found;
    while (true) {
        if (path_is_to_a_sim()) {
            found = dest_dir_path;
            break;
        }
        // The parent: drop the last component with its '/'.
        std::string parent = dest_dir_path.substr(0, dest_dir_path.size() - 1);
        size_t slash = parent.rfind('/');
        parent = slash == std::string::npos ? std::string() : parent.substr(0, slash + 1);
        if (parent.empty() || parent == dest_dir_path) break;
        dest_dir_path = parent;
    }
    dest_dir_path = kept;
    return found;
}

void UTIL_pick_install() {
    const int n = static_cast<int>(all_ostrands.size());
    for (int i = 0; i < n; ++i) {
        const float y = 400 - 25.0f * i;
        // Two lines fit the row's 25 units; neither may pass the panel's right edge.
        const std::vector<std::string> lines = OGL_fit_lines(all_ostrands[i], 500, 2);
        for (size_t k = 0; k < lines.size(); ++k) wizard_text(45, 280, y - 10.0f * k, lines[k], 9999, 0);
        int ticked = dest_dir_path == all_ostrands[i];
        if (BTN_bool(250, y, &ticked, "", 0)) dest_dir_path = all_ostrands[i];
    }
    // The question wraps before Find It (100 wide round x 605), which would cover its end.
    wizard_text(45, 230, 400 - 25.0f * n,
                UTL_translate_string("Is the copy of Volatra 9 you're looking for missing from this list?"),
                605 - 50 - 10 - 230, 0);
    if (!BTN_action(605, 403 - 25.0f * n, 100, 0, 0, UTL_translate_string("Find It"), "-")) return;
    std::string path = dest_dir_path;
    if (!GetFilePathFromUser(2, UTL_translate_string("Please select your Volatra 9 folder."),
                             UTL_translate_string("Select"), 0, dest_dir_path.c_str(), path))
        return;
    const std::string found = find_copy_above(path);
    if (found.empty()) {
        __MACIBM_alert(0, UTL_translate_string("You selected the folder path:"), path,
                       UTL_translate_string("But it does not appear to be an installed copy of Volatra 9."),
                       UTL_translate_string("Please be sure to select the folder that contains the Volatra application."),
                       t_alert, __FILE__, __LINE__);
        return;
    }
    dest_dir_path = found;
    register_new_volatra();
    locate_all_volatras();
}

void keep_registered_destination() {
    // Listed anew as at start-up: a copy deleted since (by the program that held it) is gone.
    locate_all_volatras();
    if (std::find(all_ostrands.begin(), all_ostrands.end(), dest_dir_path) == all_ostrands.end())
        dest_dir_path.clear();
}

#include "install/install_state.h"

#include "core/globals.h"
#include "core/never_destroyed.h"
#include "files/file_operations.h"

stg_struct stg{};
download_streams_struct next{};

namespace {
// no_install_name is a constant expression, so this never reads an unconstructed string.
never_destroyed<std::string> install_name_storage(no_install_name);
never_destroyed<std::string> dest_dir_path_storage;
never_destroyed<std::string> temp_path_storage;
never_destroyed<std::string> dvd_path_storage;
}  // namespace

std::string& install_name = install_name_storage.value;
std::string& dest_dir_path = dest_dir_path_storage.value;
std::string& temp_path = temp_path_storage.value;
std::string& dvd_path = dvd_path_storage.value;
std::string server_name[max_servers];
std::string server_path[max_servers];
std::string crnt_file_path;
std::string crnt_file_name;
std::string download_error_text;

namespace {
// How many of a copy's four folders the folder holds (one folder may count for several).
int copy_folders_in(const std::string& folder) {
    std::vector<std::string> names;
    std::vector<int> types;
    // No folder at all is none, not the working folder.
    const std::string full = app_path + folder;
    if (full.empty() || full.back() != '/') return 0;
    if (opensave_getitems(folder, 0, names, types) == 0) return 0;
    static const char* const words[] = {"Airfoils", "Instructions", "Output", "Resources"};
    bool found[4] = {false, false, false, false};
    for (size_t i = 0; i < names.size(); ++i) {
        if (types[i] != 1) continue;
        for (int w = 0; w < 4; ++w)
            if (names[i].find(words[w]) != std::string::npos) found[w] = true;
    }
    return found[0] + found[1] + found[2] + found[3];
}
}  // namespace

bool folder_holds_copy(const std::string& folder) { return copy_folders_in(folder) == 4; }

bool folder_holds_part_of_copy(const std::string& folder) { return copy_folders_in(folder) > 0; }

#include "install/install_state.h"

#include "core/never_destroyed.h"
#include "core/wx.h"

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

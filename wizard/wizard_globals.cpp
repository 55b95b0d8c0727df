#include "wizard/wizard_globals.h"

#include "core/wx.h"

stg_struct stg{};
download_streams_struct next{};

// no_install_name is a constant expression, so this never reads an unconstructed string.
std::string install_name = no_install_name;
std::string dest_dir_path;
std::string temp_path;
std::string server_name[max_servers];
std::string server_path[max_servers];
std::string crnt_file_path;
std::string crnt_file_name;

// Shared set-up of the disc pipeline and builder tests: scratch folders, files, archives made the
// way the disc set holds them, and a run of the pipeline to its end.
#pragma once
// Builds on engine_helpers.h (temp_folder, read_file, path_exists).

#include <sys/types.h>

#include <string>
#include <vector>

#include "install/engine_helpers.h"

namespace ds {

// Creates the folders of path, then the file with mode.
void put(const std::string& path, const std::string& data, mode_t mode = 0644);
void mkdirs(const std::string& folder);
// Every file and link below root, relative, sorted.
std::vector<std::string> list_tree(const std::string& root);
// 7z archive with one entry holding data.
void put_7z(const std::string& archive, const std::string& entry_name, const std::string& data);
std::string md5_of(const std::string& data);

// Calls install_files until it answers something other than 0; fails the test after a long
// wait so a hang shows as a failure.
int step_until_answer(int& cursor, int disk);

// The smallest master folder that passes the builder's checks for kind 1, below root.
void minimal_master(const std::string& root);
// Points the builder at src (the master) and a fresh dst below it, with kind 1 defaults.
void builder_settings(const std::string& src, const std::string& dst, int kind = 1);
// Unzips the manifest of a disc set built into dst and returns its text.
std::string built_manifest(const std::string& dst, const std::string& scratch_folder);

// Runs a program and returns its exit status.
int run(const std::string& command);

}  // namespace ds

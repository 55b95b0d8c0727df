// Shared set-up of the disc pipeline and builder tests: scratch folders, files, archives made the
// way the disc set holds them, and a run of the pipeline to its end.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace ds {

// A fresh folder below /tmp, removed with everything in it at the end. Its path never holds
// "copy", which the builder refuses.
class scratch {
public:
    scratch();
    ~scratch();
    scratch(const scratch&) = delete;
    scratch& operator=(const scratch&) = delete;
    const std::string& path() const { return path_; }  // ends in '/'

private:
    std::string path_;
};

// Creates the folders of path, then the file.
void put(const std::string& path, const std::string& data, mode_t mode = 0644);
std::string get(const std::string& path);
bool exists(const std::string& path);  // lstat
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

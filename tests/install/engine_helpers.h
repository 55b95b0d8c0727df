// Shared set-up of the install engine tests: a private temporary folder, manifests written
// from text, and the engine's globals reset between tests.
#pragma once

#include <string>

#include "files/md5.h"
#include "install/manifest.h"
#include "wizard/wizard_globals.h"

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;
    // Absolute path ending in '/'.
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Writes text into a file, creating its folders.
void write_file(const std::string& path, const std::string& text);
std::string read_file(const std::string& path);
bool path_exists(const std::string& path);

// The header the builder writes, followed by body.
std::string manifest_text(const std::string& body);

// Empties sim_info, zeroes stg, sets platform 3 (Linux), both filters on, dest_dir_path empty.
void reset_engine_state();

// Appends a history with one version per signature (the last is current) to sim_info.
file_version_struct& add_history(const std::string& path, std::initializer_list<const char*> sigs,
                                 int platform = 0, float size_b = 1.0f);

// MD5 text of a string.
extern const char* const md5_abc;    // "abc"
extern const char* const md5_empty;  // ""

// Shared set-up of the install engine tests: manifests written from text, and the engine's
// globals reset between tests.
#pragma once

#include <string>

#include "common/test_helpers.h"
#include "files/md5.h"
#include "install/install_state.h"
#include "install/manifest.h"

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

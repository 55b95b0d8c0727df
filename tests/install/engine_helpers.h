// Shared set-up of the install engine and builder tests: the engine's globals, histories and
// manifests written from text, archives as a disc set holds them, and the builder's settings.
#pragma once

#include <sys/types.h>

#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "install/install_state.h"
#include "install/manifest.h"

extern const char* const md5_abc;  // MD5 of "abc"
std::string md5_of(const std::string& data);

// The header the builder writes, followed by body.
std::string manifest_text(const std::string& body);
// Empties sim_info, zeroes stg and the recorders, platform 3 (Linux), both filters on.
void reset_engine_state();
// Appends a history with one version per signature (the last is current).
file_version_struct& add_history(const std::string& path, std::initializer_list<std::string> sigs,
                                 int platform = 0, float size_b = 1.0f);
// The current version of history h.
file_version_struct& cur(size_t h);

// Archives as the builder makes them: a zip of one file named after its last component, a 7z
// with entries of the given names and contents.
void put_zip(const std::string& zip, const std::string& file_name, const std::string& data);
void put_7z(const std::string& archive, const std::vector<std::pair<std::string, std::string>>& entries);
// Every file and link below root, relative, sorted.
std::vector<std::string> list_tree(const std::string& root);
// Calls install_files until it answers something other than 0.
int step_until_answer(int& cursor, int disk);
// Steps a checksum pass from cursor to its end, calling between after each step that answered
// 0; the number of steps. A step that goes on although everything was handed out and taken
// back is a test failure and ends the loop.
int checksum_until_done(int& cursor, float& progress, const std::function<void()>& between);

// The smallest master that passes the builder's checks, below root.
void minimal_master(const std::string& root);
// Points the builder at src and dst (made here) with the defaults of kind.
void builder_settings(const std::string& src, const std::string& dst, int kind = 1);
// The manifest text of a disc set built into dst.
std::string built_manifest(const std::string& dst);
// Exit status of a shell command.
int run(const std::string& command);

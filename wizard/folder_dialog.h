// The folder choice of the destination screen and the copy picker.
#pragma once

#include <string>

// Asks the user for a folder, opening at start: true with its absolute path in out, false when
// cancelled.
bool choose_folder(const std::string& message, const std::string& button, const std::string& start, std::string* out);

// Reading a language file into the localisation table (core/localisation.h).
#pragma once

#include <string>

// Replaces the table with the entries of a language file (versioned text file, type word
// "TRANSLATION", version 900); a file that cannot be read leaves it empty. The path is
// relative to app_path.
void UTL_translate_load(const std::string& path);

// The localisation table: interface texts, keyed by their English wording, come back in the
// interface language when a language file supplied a translation.
#pragma once

#include <set>
#include <string>
#include <unordered_map>

extern std::unordered_map<std::string, std::string> dictionary;
// Source texts already reported as missing.
extern std::set<std::string> logged;
// 1 after a language file was read to its end.
extern int has_translation;
// 1 when that load saw "--missing_strings" on the command line.
extern int log_missing;

// Replaces the table with the entries of a language file (versioned text file, type word
// "TRANSLATION", version 900). The path is relative to app_path.
void UTL_translate_load(const std::string& path);
// The translation of text, or text itself when there is none.
std::string UTL_translate_string(const std::string& text);
void UTL_translate_clear();

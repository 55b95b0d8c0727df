// Core runtime layer (core/).
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

// Replaces the table with the entries of a language file's text after its header: lines of
// "STRING", blanks, "source====translation". The file itself is read by UTL_translate_load
// (files/language_file.h).
void UTL_translate_set(const char* text, const char* end);
// The translation of text, or text itself when there is none.
std::string UTL_translate_string(const std::string& text);
void UTL_translate_clear();

// The disk-space report under the destination and selection screens, and the size texts.
// Sizes are KB of 1000 bytes (the manifest's unit); the texts divide by 1024 per larger unit.
#pragma once

#include <string>

// "%.1f GB" above 1024000 KB, "%.0f MB" above 1024 KB, else "%.0f KB".
std::string size_string(float kb);
// The short text: steps of 1000, " Meg" below 1000 MB, else " Gig".
void set_size_str(float kb, std::string* out);
// The report's text for a volume of total_bytes with free_bytes free and needed_kb to install,
// with enough_text or short_text as its verdict; returns whether the space suffices.
bool disk_space_text(unsigned long long total_bytes, unsigned long long free_bytes, float needed_kb,
                     const std::string& enough_text, const std::string& short_text, std::string* out);
// Draws the report for the volume of dest_dir_path and the files of stg.kb_to_install, each
// rounded up to the volume's blocks; true when the space suffices or the volume cannot be asked
// (then nothing is drawn).
bool UTIL_disk_space(const std::string& enough_text, const std::string& short_text);

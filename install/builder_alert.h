// The builder's alerts. Every inconsistency stops the build; the location is the caller's.
#pragma once

#include <string>

[[noreturn]] void builder_fatal_at(const std::string& line1, const std::string& line2,
                                   const std::string& line3, const std::string& line4, const char* file,
                                   int line);
#define builder_fatal(l1, l2, l3, l4) builder_fatal_at((l1), (l2), (l3), (l4), __FILE__, __LINE__)

// Core runtime layer (core/).
// The table of interface strings. Main thread only.
#pragma once

#include <string>

// 0 the current sub-window's title, 603 the alert's button text, 1802 the hover help text;
// 77 and 601..614 title sources of sub-windows.
inline constexpr int stls_size = 2048;
extern std::string stls[stls_size];

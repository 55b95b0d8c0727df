// Widget kit layer (widgets/).
// Small pieces the widget units share: the frame's mouse tests, the hover help and the kit's
// fatal alert. Not for callers outside widgets/.
#pragma once

#include <string>

#include "core/alert.h"
#include "core/interface_strings.h"
#include "core/window_state.h"

inline constexpr int help_string = 1802;  // stls entry of the hover help

inline bool no_menu_open() { return mnw.open_menu == -1; }

// The mouse inside [x0, x1] x [y0, y1], bounds included.
inline bool mouse_in(float x0, float x1, float y0, float y1) {
    return mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= y0 && mnw.mouse_y <= y1;
}

// The kit's fatal alert: line1, two empty lines, line4, at the kit's source location.
inline void butn_fatal(const std::string& line1, const std::string& line4, int line) {
    __MACIBM_alert(0, line1, "", "", line4, t_exit, "OOPS_cpp/butn", line);
}

// Copies text with its terminator into a caller's char array; the old fixed buffers hold at
// most 499 characters, and a longer text is fatal.
void copy_to_chars(char* dst, const std::string& text);

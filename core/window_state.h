// Core runtime layer (core/).
// The window, mouse and key state of the single OpenGL window. The shell fills it each frame;
// the time keeper, the drawing and the widgets read it. Written on the main thread only.
#pragma once

#include <type_traits>

#include "platform/plat_window_handles.h"

struct mnw_struct {
    int alias_req;  // requested anti-aliasing level, 0 none up to 4
    int alias_got;  // level of the pixel format obtained
    plat::pixel_format_ref pixel_format;
    plat::window_ref window[2];  // [0] main GL window, [1] second monitor
    plat::gl_context_ref context[2];
    int sec_mon_inuse;
    int sec_win_made;
    int lastwin;  // window most recently entered
    int curwin;   // -1 before the first frame, 0 main screen, else a sub-window id
    int modal;    // a sub-window is open: the application's frame is skipped
    float subwin_x, subwin_y;
    float subwin_dx, subwin_dy;
    int cursor_mode;  // 0 arrow, 2 hidden
    int open_menu;    // index of the open menu, -1 none
    int x_res, y_res;
    int col_res;
    int set_res;
    int tex_level;  // 5 full size down to 0
    int x_res_req, y_res_req;
    int col_res_req;
    float center_x, center_y;
    float layout_dx, layout_dy;
    int windowed;
    float view_l, view_b, view_r, view_t;
    float zoom;
    float scale;  // window pixels per unit
    float mouse_x, mouse_y;
    int mouse_down;
    int mouse_dbl;
    int mouse_click;
    int mouse_up;
    int mouse_held;
    int mouse_repeat;
    int wheel;
    int last_char;
    float mouse_move_time;
    float mouse_down_time;
    int lang;  // 0 English .. 6 Korean
    int keylist_up;
    int profile;
    int keys_muted;
    int prefs_found;
};
// The record is zero-filled before its two defaults are set; keep it plain data.
static_assert(std::is_trivial_v<mnw_struct> && std::is_standard_layout_v<mnw_struct>);

// The record as it stands before start-up: all zero except keylist_up.
constexpr mnw_struct mnw_defaults() {
    mnw_struct m{};
    m.keylist_up = 1;
    return m;
}

extern mnw_struct mnw;

// Window, mouse and key state of the one window (core runtime layer).
#include "core/window_state.h"

#include "core/interface_strings.h"
#include "core/menu_table.h"

// Constant-initialised, so it holds its defaults before any unit's static initialiser runs.
mnw_struct mnw = mnw_defaults();

std::string stls[stls_size];

std::vector<menu_struct> menu;
int active_popup_code = 0;
int select_popup_code = 0;
int popup_menu_select = 0;

// Simulator-side features layer (simfeatures/).
// The widget and shell calls that the about box and the movie recorder's settings panel make.
// Those folders sit above this one, so the shell installs them at start-up:
//     set_sim_ui_hooks({MACIBM_startwind, MACIBM_event_proc, BTN_fillwin, BTN_subwin, BTN_action,
//                       BTN_flt_range, BTN_int_range});
// The defaults serve programs without a window: nothing is drawn, no button is pressed, and
// the frame closes the current sub-window (back to the main screen, 0).
#pragma once

#include <string>

struct sim_ui_hooks {
    void (*startwind)(int id, int unused);
    void (*event_proc)();
    void (*fillwin)(int titled, int inner_style);
    void (*subwin)(float reserve_h, int style, float x, float y, float w, float h, std::string title, float* next_x,
                   float* next_y);
    int (*action)(float x, float y, float w, int lit, int mode, std::string label, std::string side_text);
    void (*flt_range)(float x, float y, float* value, int digits, int decimals, float min, float max,
                      std::string label);
    void (*int_range)(float x, float y, int* value, int digits, float min, float max, std::string label);
};

// Installs the hooks (null members: the defaults) and returns those replaced.
sim_ui_hooks set_sim_ui_hooks(const sim_ui_hooks& hooks);
// The hooks in effect.
const sim_ui_hooks& sim_ui();

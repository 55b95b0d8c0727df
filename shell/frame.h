// The frame loop: one call of MACIBM_event_proc is one frame. It turns the platform's events
// into the window, mouse and key state of mnw, shows what other threads and the texture
// manager queued, lets the application draw (unless a modal sub-window is open), draws the
// hover help and the open menu, and swaps the buffers. Sub-windows are entered with
// MACIBM_startwind; modal ones run their own loop around MACIBM_event_proc.
#pragma once

#include <cstddef>

#include "platform/plat_window.h"

// Entering any window sets it; the start-up splash draws only while it is set.
extern int plot_init_lights;

void MACIBM_event_proc();
// Makes window id current: its size, title, modal flag and place from the sub-window table.
void MACIBM_startwind(int id, int unused);
// The application puts up another screen in the main window from its next frame on: a press made
// before that screen is on screen reaches nothing, as one made before a window is entered.
void MACIBM_new_screen();
// A mouse press (key 0), or Return while a sub-window is open (key 1).
void MACIBM_handleclick(int key);
// Dispatches one event record.
void APL_handlewin(const plat::event& ev);
// The window's own handler: the wheel. 0 when handled, else -9874.
int APL_HandleCarbonEvent(const plat::event& ev);
// Hover help and the cursor, for window id.
void mouse_help_per_wind(int id);
// Where the hover help of a text of this length goes, near the mouse and inside the window:
// the text's left and bottom and its height.
struct hover_box {
    float x, y;
    int h;
};
hover_box hover_help_box(size_t length);
// The mouse conversion for a point of w in pixels (h right, v down).
void MACIBM_load_mxy(plat::window_ref w, int h, int v);

// What the frame calls up to: the application's frame and menu command, and a request to end
// the program (the window's close box). Null members restore the defaults: nothing, nothing,
// and app_done = 1. Returns the hooks replaced.
struct app_hooks {
    void (*update)();
    void (*handlemenu)(int code);
    void (*quit)();
};
app_hooks set_app_hooks(const app_hooks& hooks);

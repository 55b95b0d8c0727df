// The program's one window and its OpenGL context, the display's colour depth, and contexts
// for worker threads that share objects with the main one.
#pragma once

#include <cstdint>

#include "platform/plat_window_handles.h"

// The main display's size as MACIBM_setres last read it.
extern int g_mon_x_res_now;
extern int g_mon_y_res_now;

// apply 1 takes the requested size and depth into mnw and switches the display's depth when it
// must; 0 puts back the depth the display had at the first call.
void MACIBM_setres(int apply);
// Opens window slot which (0, the main window) with its context current: 1, or 0 on failure.
int MACIBM_make_context(int which);
// The driver switches a Mac's GL offers by name; each may be missing (null), as they all are here.
struct cgl_entry_points {
    void* (*get_current_context)() = nullptr;
    int (*enable)(void* context, int what) = nullptr;
    int (*disable)(void* context, int what) = nullptr;
};
// Display-list preprocessing off for the NVIDIA driver of system 10.3 (sysv 0x1030 to 0x103F),
// and the threaded engine on when threaded is asked for: each only where cgl has its switch.
void MACIBM_cgl_switches(const cgl_entry_points& cgl, int32_t sysv, const char* vendor, bool threaded);
// Disposes of the window in slot which; its context is kept.
void MACIBM_nuke_context(int which);
// A context sharing objects with the main one, for a worker thread; null after a log line.
plat::gl_context_ref MACIBM_make_context_loader();
// Makes ctx current on the calling thread: 1, or 0.
int MACIBM_set_context_loader(plat::gl_context_ref ctx);
// Gives the thread layer these two and the capability record's threaded-GL flag.
void MACIBM_install_gl_thread_hooks();

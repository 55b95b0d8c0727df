// The program's one window and its OpenGL context, the display's colour depth, and contexts
// for worker threads that share objects with the main one.
#pragma once

#include "platform/plat_handles.h"

// The main display's size as MACIBM_setres last read it.
extern int g_mon_x_res_now;
extern int g_mon_y_res_now;

// apply 1 takes the requested size and depth into mnw and switches the display's depth when it
// must; 0 puts back the depth the display had at the first call.
void MACIBM_setres(int apply);
// Opens window slot which (0, the main window) with its context current: 1, or 0 on failure.
int MACIBM_make_context(int which);
// Disposes of the window in slot which; its context is kept.
void MACIBM_nuke_context(int which);
// A context sharing objects with the main one, for a worker thread; null after a log line.
plat::gl_context_ref MACIBM_make_context_loader();
// Makes ctx current on the calling thread: 1, or 0.
int MACIBM_set_context_loader(plat::gl_context_ref ctx);
// Gives the thread layer these two and the capability record's threaded-GL flag.
void MACIBM_install_gl_thread_hooks();

// OpenGL contexts of the program's window and of worker threads.
#pragma once

#include "platform/plat_window_handles.h"

// A context sharing objects with the main one, for a worker thread; null when none can be made.
// Called on the thread that creates the worker.
plat::gl_context_ref MACIBM_make_context_loader();
// Makes ctx current on the calling thread: 1 on success, else 0.
int MACIBM_set_context_loader(plat::gl_context_ref ctx);

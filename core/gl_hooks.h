// What the thread layer needs of OpenGL to give a worker thread a context sharing the main one.
// The graphics layer and the shell install these at start-up; until then (and in headless
// programs) workers get no context and nothing is reported.
#pragma once

#include "platform/plat_window_handles.h"

struct gl_thread_hooks {
    // 1 while worker threads may get a shared context (glExt.threaded_avail).
    int (*threaded_avail)();
    // A context sharing objects with the main one, made on the creating thread; null when none.
    plat::gl_context_ref (*make_context_loader)();
    // Makes ctx current on the calling (new) thread: 1 on success, else 0.
    int (*set_context_loader)(plat::gl_context_ref ctx);
    // A thread failed to get, or to make current, its context: clear the flag, tell the user once.
    void (*threaded_ogl_failed)();
};

// Installs hooks (null members: the defaults) and returns the ones replaced.
gl_thread_hooks set_gl_thread_hooks(const gl_thread_hooks& hooks);

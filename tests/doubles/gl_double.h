// Test doubles of the worker-thread OpenGL context calls of the shell and of the capability
// record's threaded-GL flag. The real shell and graphics code replace them.
#pragma once

// What the next calls of the context loader pair answer, and how often they were called.
void gl_double_reset();
void gl_double_set_loader_result(bool make_gives_context, bool set_succeeds);
int gl_double_make_loader_calls();
int gl_double_set_loader_calls();

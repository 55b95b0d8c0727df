// The OpenGL capability record.
#pragma once

class OGL_extensions {
public:
    // Called when a thread fails to get, or to make current, a shared context: clears
    // threaded_avail and tells the user once.
    void threaded_ogl_failed();

    // 1: worker threads may get a context sharing objects with the main one. Only goes 1 -> 0.
    int threaded_avail = 1;
};

extern OGL_extensions glExt;

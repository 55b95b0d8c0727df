// Support libraries layer (support/).
// Framebuffer render targets: between begin_render and end_render all drawing lands in the
// texture of one texture-manager slot, through a framebuffer object or, where there is none or
// none is asked for, through the window's buffer and a copy into the texture afterwards. The
// drawing layer's screen size and view rectangle follow the target for the duration. Main (GL)
// thread only; pairs do not nest.
#pragma once

#include <GL/gl.h>

#include "core/statistics.h"

// A framebuffer name chosen by the caller; this class never makes or deletes GL names.
struct fbo_id {
    GLuint name = 0;
};

class OGL_framebuffer {
public:
    OGL_framebuffer(int tex_slot, fbo_id fbo, int flags, int render_w, int render_h, unsigned long depth_rb);

    // Takes effect at the next begin_render.
    void set_render_size(int w, int h);
    // use_fbo 0 takes the copy path even where framebuffer objects exist. The texture and its
    // attachments are made when the slot does not hold a texture of the size in effect; a side
    // outside 1..2048 ends the program in the texture manager.
    void begin_render(int use_fbo);
    void end_render();

    fbo_id fbo;
    unsigned long depth_rb = 0;  // depth renderbuffer to attach, 0 none
    int prev_fbo = 0;
    int use_fbo = 0;
    int tex_slot = 0;  // also the texture's GL name
    int flags = 0;     // texture flags; 8 mipmaps after a framebuffer render, 6 in the low bits depth only
    int render_w = 0, render_h = 0;
    int tex_w = 0, tex_h = 0;  // the size in effect for the current rendering

    // The drawing layer's state before begin_render, put back exactly by end_render.
    float saved_view_l = 0, saved_view_b = 0, saved_view_r = 0, saved_view_t = 0;
    float saved_layout_dx = 0;
    int saved_x_res = 0, saved_y_res = 0;

private:
    bool slot_holds(int w, int h) const;
};

// "fbo/flush_per_frame": raised by one per end_render.
extern UTL_stat g_fbo_flushes;

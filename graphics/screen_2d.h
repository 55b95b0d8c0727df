// Graphics layer (graphics/).
// The 2-D window space everything is drawn in: window pixels, origin bottom left, y up. Sets the
// view rectangle and layout offset in mnw, the viewport and both matrices, scissor boxes in
// window units of the current sub-window, blend functions and the end of a frame.
#pragma once

// View rectangle = the screen, pixel scale 1, a 1024-wide layout centred; then, once a window
// is current, the 2-D viewport.
void OGL_pix_specs(int unused);
// Mode 2: the 2-D window space (positions from mnw); 3: a perspective frustum with extents at
// unit distance; any other: the viewport only.
void OGL_viewport(int mode, float left, float vp_x, float bottom, float vp_y, float right, float vp_right,
                  float near, float top, float vp_top, float far, float zoom, int keep_aspect);
void OGL_screensize(int mode, float x1, float y1, float x2, float y2);
void OGL_scissors(float x, float y, float w, float h);
void OGL_scissors_end();
void OGL_nrml_colors();  // normal transparency
void OGL_glow_colors();  // additive glow
void OGL_poly_offset(int level);
void OGL_setspec(float s);
// End of a frame: the colour back to white (green in monochrome), then the buffer swap.
void OGL_sbuff();

// What shows the finished frame; the shell installs its window's swap. The default, for
// offscreen contexts, only finishes the drawing. Returns the hook replaced; null restores it.
using ogl_swap_fn = void (*)();
ogl_swap_fn OGL_set_swap_hook(ogl_swap_fn swap);

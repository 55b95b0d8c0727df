// The window system as the shell expects it: one display, windows with an OpenGL context,
// Mac-shaped event records, the mouse and the cursor. Calls go to the installed backend: SDL2
// for the programs, the null backend (plat_window_null.h) for headless tests.
#pragma once

#include <cstdint>

#include "platform/plat_window_handles.h"

namespace plat {

// Event kinds (the "what" of a Mac event record). wheel and quit have no classic record: a Mac
// delivers the wheel through the window's event handler and has no window-close request here.
enum : int {
    ev_null = 0,
    ev_mouse_down = 1,
    ev_mouse_up = 2,
    ev_key_down = 3,
    ev_key_up = 4,
    ev_auto_key = 5,
    ev_update = 6,
    ev_activate = 8,
    ev_os = 15,
    ev_wheel = 100,
    ev_quit = 101,
};

// Bit 0 of an activate record's modifiers: the window became active.
inline constexpr uint32_t activate_flag = 1;

struct event {
    int what = ev_null;
    // Key events: (Mac key code << 8) | character. Key code 255 is a key without a Mac code.
    uint32_t message = 0;
    // Key-down events: the character typed as a Unicode code point (the message holds only those up
    // to 0xFF), 0 when the key typed none.
    uint32_t text = 0;
    uint32_t modifiers = 0;  // Mac modifier bits (platform/plat_keys.h)
    int wheel = 0;           // ev_wheel: steps, positive away from the user
    // When the window layer took the event in, in milliseconds of its clock (wrapping): the user
    // made it no later. Compare times by their difference.
    uint32_t time = 0;
};

// Attributes of a window's pixel format.
enum format_attr : int {
    fa_rgba,
    fa_doublebuffer,
    fa_red_size,
    fa_green_size,
    fa_blue_size,
    fa_alpha_size,
    fa_depth_size,
    fa_accelerated,
};

class window_backend {
public:
    virtual ~window_backend() = default;

    // Starts the video system once; false (remembered) when there is no display.
    virtual bool video_init() = 0;
    // The main display's size in pixels and its colour depth in bits.
    virtual bool main_display(int* w, int* h, int* depth) = 0;
    // Switches the display's colour depth: 0 or an error number.
    virtual int set_display_depth(int bits) = 0;
    // A shown w x h window at (x, y) with an RGBA8, double-buffered compatibility-profile GL
    // format; samples 0 without multisampling. Null when no such format exists.
    virtual window_ref create_gl_window(int w, int h, bool framed, int x, int y, int samples) = 0;
    // The window's pixel format, for contexts made later; null for a null window.
    virtual pixel_format_ref format_of(window_ref win) = 0;
    // One attribute of the format of win's context, which must be current. False when unknown.
    virtual bool describe(window_ref win, format_attr attr, int* value) = 0;
    // A context for win sharing objects with share (may be null). The calling thread's current
    // context stays current.
    virtual gl_context_ref create_context(window_ref win, gl_context_ref share) = 0;
    // Makes ctx current on the calling thread, drawing into win.
    virtual bool make_current(window_ref win, gl_context_ref ctx) = 0;
    virtual void swap(window_ref win) = 0;
    // The next swap puts up a picture the user has not seen: once it is on screen, every event
    // the window system holds (the user made it before the picture showed) is taken in with a
    // time before shown_time(), and every event taken in later has that time or a later one.
    virtual void settle_at_next_swap() = 0;
    // The event time from which on events were made with the picture of the last such swap on
    // screen; 0 before any.
    virtual uint32_t shown_time() = 0;
    virtual void destroy_window(window_ref win) = 0;
    // Bytes of video memory of the current context's renderer; -1 when unknown.
    virtual long long video_memory() = 0;

    // The next event, waiting at most wait_ms milliseconds (0: only one already there). False
    // when none came.
    virtual bool wait_next_event(int wait_ms, event* ev) = 0;
    // Drops every queued event.
    virtual void flush_events() = 0;
    // The pointer in win's pixels, y measured downward from the top edge: right after
    // wait_next_event handed out an event, where it was at that event (a press where it happened);
    // otherwise where the events read so far left it.
    virtual void mouse(window_ref win, int* h, int* v) = 0;
    // The modifier keys held, as Mac modifier bits.
    virtual uint32_t key_modifiers() = 0;
    // The character the current keyboard layout prints on the key with this Mac key code
    // without modifiers; -1 when it prints none.
    virtual int layout_char(int mac_code) = 0;
    virtual void set_cursor_visible(bool visible) = 0;
    virtual void arrow_cursor() = 0;

    // Shows the progress window with a picture of w x h RGBA pixels, rows from the top: a window
    // of its own, made on the first call centred on the main display and never closed; its
    // events reach nobody. False when no such window can be made (the default).
    virtual bool show_progress(const uint8_t* rgba, int w, int h) {
        (void)rgba, (void)w, (void)h;
        return false;
    }
};

// The backend calls go to; the SDL backend until another is installed.
window_backend& backend();
// Installs b (null: the SDL backend again); returns the one it replaces.
window_backend* set_window_backend(window_backend* b);

// The title of every window the program opens; tests find the window by it.
inline constexpr char window_title[] = "Volatra Installer";
// The program's log, in the desktop folder; the input script's wait_log reads it.
inline constexpr char program_log_name[] = "Volatra Installer Log.txt";

// Shorthands for the installed backend.
inline bool video_init() { return backend().video_init(); }
inline bool main_display(int* w, int* h, int* depth) { return backend().main_display(w, h, depth); }
inline int set_display_depth(int bits) { return backend().set_display_depth(bits); }
inline window_ref create_gl_window(int w, int h, bool framed, int x, int y, int samples) {
    return backend().create_gl_window(w, h, framed, x, y, samples);
}
inline pixel_format_ref format_of(window_ref win) { return backend().format_of(win); }
inline bool describe(window_ref win, format_attr attr, int* value) {
    return backend().describe(win, attr, value);
}
inline gl_context_ref create_context(window_ref win, gl_context_ref share) {
    return backend().create_context(win, share);
}
inline bool make_current(window_ref win, gl_context_ref ctx) { return backend().make_current(win, ctx); }
inline void swap(window_ref win) { backend().swap(win); }
inline void settle_at_next_swap() { backend().settle_at_next_swap(); }
inline uint32_t shown_time() { return backend().shown_time(); }
inline void destroy_window(window_ref win) { backend().destroy_window(win); }
inline long long video_memory() { return backend().video_memory(); }
inline bool wait_next_event(int wait_ms, event* ev) { return backend().wait_next_event(wait_ms, ev); }
inline void flush_events() { backend().flush_events(); }
inline void mouse(window_ref win, int* h, int* v) { backend().mouse(win, h, v); }
inline uint32_t key_modifiers() { return backend().key_modifiers(); }
inline int layout_char(int mac_code) { return backend().layout_char(mac_code); }
inline void set_cursor_visible(bool visible) { backend().set_cursor_visible(visible); }
inline void arrow_cursor() { backend().arrow_cursor(); }

}  // namespace plat

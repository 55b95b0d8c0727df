// A window backend without a display, for headless tests: a display of a chosen size, windows
// and contexts that are only records, queued events and a layout given by the test. It records
// what the program asked of it.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <vector>

#include "platform/plat_window.h"

namespace plat {

class null_window_backend : public window_backend {
public:
    struct window_rec {
        int w, h;
        bool framed;
        int x, y;
        int samples;
        bool destroyed = false;
    };

    // The display and what the "driver" offers.
    bool has_display = true;
    int display_w = 1280, display_h = 1024, display_depth = 32;
    int max_samples = 0;  // windows asking for more samples fail
    bool contexts_fail = false;
    bool make_current_fails = false;
    int accelerated = 1;
    long long vram = -1;
    std::map<int, int> layout;  // Mac key code -> layout character; absent: none

    // An event of the queue. One given a place moves the pointer there as it is handed out, as
    // a press that comes with its motion does.
    struct queued_event : event {
        // Plain events queue as they are, the pointer staying where it is.
        queued_event(const event& e) : event(e) {}
        queued_event(const event& e, int at_h, int at_v) : event(e), moves(true), h(at_h), v(at_v) {}
        bool moves = false;
        int h = 0, v = 0;
    };

    // Input: events handed out in order, the pointer (pixels, y down) and the modifiers. An event
    // without a time is stamped with clock when it is taken in: by a settling swap, or when it is
    // handed out. A settling swap moves the clock on by one; like a real one, the clock never runs
    // back, whichever backend a test installs.
    std::deque<queued_event> events;
    static inline uint32_t clock = 1;
    int mouse_h = 0, mouse_v = 0;
    uint32_t modifiers = 0;

    // What the program did.
    std::vector<window_rec> windows;  // every window made, in order
    std::vector<int> tried_samples;   // every create_gl_window, failed ones too
    std::vector<int> depth_switches;
    std::vector<bool> cursor_changes;  // each set_cursor_visible
    int swaps = 0;
    int waits = 0;  // wait_next_event calls
    int last_wait_ms = -1;
    bool settle_next = false;
    uint32_t shown = 0;
    int contexts_made = 0;
    int arrow_cursors = 0;

    // The record of a window made here.
    window_rec& rec(window_ref w) { return windows.at(reinterpret_cast<size_t>(w) - 1); }

    bool video_init() override { return has_display; }
    bool main_display(int* w, int* h, int* depth) override;
    int set_display_depth(int bits) override;
    window_ref create_gl_window(int w, int h, bool framed, int x, int y, int samples) override;
    pixel_format_ref format_of(window_ref win) override;
    bool describe(window_ref win, format_attr attr, int* value) override;
    gl_context_ref create_context(window_ref win, gl_context_ref share) override;
    bool make_current(window_ref win, gl_context_ref ctx) override;
    void swap(window_ref) override;
    void settle_at_next_swap() override { settle_next = true; }
    uint32_t shown_time() override { return shown; }
    void destroy_window(window_ref win) override;
    long long video_memory() override { return vram; }
    bool wait_next_event(int wait_ms, event* ev) override;
    void flush_events() override { events.clear(); }
    void mouse(window_ref, int* h, int* v) override {
        *h = mouse_h;
        *v = mouse_v;
    }
    uint32_t key_modifiers() override { return modifiers; }
    int layout_char(int mac_code) override;
    void set_cursor_visible(bool visible) override { cursor_changes.push_back(visible); }
    void arrow_cursor() override { ++arrow_cursors; }
};

// Installs a fresh null backend for the life of the object, then puts the previous one back.
class scoped_null_backend {
public:
    scoped_null_backend() : old_(set_window_backend(&b_)) {}
    ~scoped_null_backend() { set_window_backend(old_); }
    null_window_backend* operator->() { return &b_; }
    null_window_backend& operator*() { return b_; }

private:
    null_window_backend b_;
    window_backend* old_;
};

}  // namespace plat

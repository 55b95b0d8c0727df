#include "platform/plat_window_null.h"

namespace plat {

// Windows are numbered from 1 in the order they were made; contexts likewise.
bool null_window_backend::main_display(int* w, int* h, int* depth) {
    if (!has_display) return false;
    *w = display_w;
    *h = display_h;
    *depth = display_depth;
    return true;
}

int null_window_backend::set_display_depth(int bits) {
    depth_switches.push_back(bits);
    display_depth = bits;
    return 0;
}

window_ref null_window_backend::create_gl_window(int w, int h, bool framed, int x, int y, int samples) {
    tried_samples.push_back(samples);
    if (!has_display || samples > max_samples) return nullptr;
    windows.push_back(window_rec{w, h, framed, x, y, samples});
    return reinterpret_cast<window_ref>(windows.size());
}

pixel_format_ref null_window_backend::format_of(window_ref win) {
    return reinterpret_cast<pixel_format_ref>(win);
}

bool null_window_backend::describe(window_ref win, format_attr attr, int* value) {
    if (!win) return false;
    switch (attr) {
        case fa_rgba:
        case fa_doublebuffer:
            *value = 1;
            return true;
        case fa_red_size:
        case fa_green_size:
        case fa_blue_size:
        case fa_alpha_size:
            *value = 8;
            return true;
        case fa_depth_size:
            *value = 24;
            return true;
        case fa_accelerated:
            *value = accelerated;
            return true;
    }
    return false;
}

gl_context_ref null_window_backend::create_context(window_ref win, gl_context_ref) {
    if (!win || contexts_fail) return nullptr;
    return reinterpret_cast<gl_context_ref>(static_cast<size_t>(++contexts_made));
}

bool null_window_backend::make_current(window_ref win, gl_context_ref ctx) {
    return win && ctx && !make_current_fails;
}

void null_window_backend::destroy_window(window_ref win) {
    if (win) rec(win).destroyed = true;
}

void null_window_backend::swap(window_ref) {
    ++swaps;
    if (!settle_next) return;
    settle_next = false;
    for (queued_event& q : events)
        if (!q.time) q.time = clock;
    shown = ++clock;
}

bool null_window_backend::wait_next_event(int wait_ms, event* ev) {
    ++waits;
    last_wait_ms = wait_ms;
    if (events.empty()) return false;
    queued_event& q = events.front();
    if (!q.time) q.time = clock;
    if (q.moves) {
        mouse_h = q.h;
        mouse_v = q.v;
    }
    *ev = q;
    events.pop_front();
    return true;
}

int null_window_backend::layout_char(int mac_code) {
    auto it = layout.find(mac_code);
    return it == layout.end() ? -1 : it->second;
}

}  // namespace plat

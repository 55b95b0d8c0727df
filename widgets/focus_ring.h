// The keyboard focus ring: each frame the widgets that take keys register here with their key
// queues; the shell's key translation hands every key to the ring first.
#pragma once

#include <string>
#include <vector>

// One registration. The arrays and the count belong to the widget and outlive the frame.
struct focus_info_t {
    int id;
    int* char_slot;
    int* vkey_slot;
    int* flag_slot;
    int* id_slot;
    int* ctr_slot;
    int capacity;
    int accept_mask;
};

// Accept-mask bits: the key classes a widget takes.
enum {
    focus_tab = 0x001,         // vkey 9; the ring then does not move the focus on Tab
    focus_return = 0x002,      // vkeys 13 and 187
    focus_delete = 0x004,      // vkeys 8 and 46
    focus_escape = 0x008,      // vkey 27
    focus_navigation = 0x010,  // vkeys 33 to 40
    focus_letters = 0x020,
    focus_digits = 0x040,
    focus_plus_minus = 0x080,
    focus_printable = 0x100,
    focus_other = 0x200,
};
inline constexpr int focus_mask_text = 0x1F4;

// Key flags as the shell makes them.
enum { key_flag_shift = 1, key_flag_option = 2, key_flag_control = 4, key_flag_down = 8, key_flag_up = 16 };

extern std::vector<focus_info_t> focus_ring;  // this frame's registrations, in Tab order
extern int focus_id;                          // the focused widget, 0 none; survives frames
extern int wind_focus;                        // a native window holds the keyboard this frame

// Empties the ring and clears wind_focus; once per frame before the screens draw.
void BTN_begin_focus_ring();
// Appends a registration; take_focus makes it the focused one. 1 when it holds the focus.
int BTN_register_focus(int id, int* char_slot, int* vkey_slot, int* flag_slot, int* id_slot, int* ctr_slot,
                       int capacity, int accept_mask, int take_focus);
// Offers one key event to the focused widget: 1 when used (queued or focus moved), 0 when the
// shell should handle it.
int BTN_dispatch_to_focus(int c, int vkey, int flags);
// 0 when the focused widget's key queue is full: a key offered now would be lost, so the shell
// keeps it for a later frame, after the widget has read its queue.
int BTN_focus_has_room();
// Drops the keyboard focus: no widget keeps it.
void BTN_unfocus_any();
void BTN_focus_any();
void BTN_window_has_focus();
int BTN_no_focus_yet();
// Item callbacks of the list widget over a vector of strings or ints.
std::string BTN_name_from_vector(int index, void* list);
int BTN_type_from_vector(int index, void* list);

// The class of a key: the one accept-mask bit that admits it.
int focus_key_class(int c, int vkey);

// The focus id of a widget at (x, y): (int)y + 8192 (int)x, never 0 (which means "none").
int focus_id_at(float x, float y);

// A widget's key queue with the draining rules of the kit. Several widgets may share one queue;
// each takes the entries queued under its own id.
struct focus_queue {
    static constexpr int capacity = 64;
    int chars[capacity] = {};
    int vkeys[capacity] = {};
    int flags[capacity] = {};
    int ids[capacity] = {};
    int count = 0;
    // Entries still queued after the last drain of a frame were meant for a widget that was not
    // drawn; the next frame drops them, so they never fill the queue.
    unsigned drained_frame = 0;
    int left_over = 0;

    int register_focus(int id, int accept_mask, int take_focus) {
        return BTN_register_focus(id, chars, vkeys, flags, ids, &count, capacity, accept_mask, take_focus);
    }
    // Hands each entry queued for id to handle(c, vkey, flags) in order and removes it.
    template <class F>
    void drain(int id, F&& handle);

private:
    void drop_stale();
    void compact();
};

template <class F>
void focus_queue::drain(int id, F&& handle) {
    drop_stale();
    for (int i = 0; i < count && i < capacity; ++i) {
        if (ids[i] != id || id == 0) continue;
        int c = chars[i], v = vkeys[i], f = flags[i];
        chars[i] = vkeys[i] = flags[i] = ids[i] = 0;
        if (c != 0 || v != 0) handle(c, v, f);
    }
    compact();
}

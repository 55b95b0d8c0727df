#include "widgets/focus_ring.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "core/window_state.h"

std::vector<focus_info_t> focus_ring;
int focus_id = 0;
int wind_focus = 0;

namespace {
// Counts the frames, so that a queue can tell entries of an earlier frame from this one's.
unsigned focus_frame = 1;
constexpr int alert_window = 994;

// Tab with nothing focused: the first widget of the ring takes the focus.
int focus_first_on_tab(int vkey, int flags) {
    if (vkey == 9 && !(flags & key_flag_up) && !focus_ring.empty()) {
        focus_id = focus_ring.front().id;
        return 1;
    }
    return 0;
}

// The ring entry of the focused widget, or the ring's end.
std::vector<focus_info_t>::iterator focused_entry() {
    return std::find_if(focus_ring.begin(), focus_ring.end(), [](const focus_info_t& f) { return f.id == focus_id; });
}
}  // namespace

void BTN_begin_focus_ring() {
    focus_ring.clear();
    wind_focus = 0;
    ++focus_frame;
}

int BTN_register_focus(int id, int* char_slot, int* vkey_slot, int* flag_slot, int* id_slot, int* ctr_slot,
                       int capacity, int accept_mask, int take_focus) {
    focus_ring.push_back({id, char_slot, vkey_slot, flag_slot, id_slot, ctr_slot, capacity, accept_mask});
    if (take_focus) focus_id = id;
    return focus_id == id ? 1 : 0;
}

int focus_key_class(int c, int vkey) {
    switch (vkey) {
    case 27: return focus_escape;
    case 46: return focus_delete;
    case 187: return focus_return;
    case 9: return focus_tab;
    case 13: return focus_return;
    case 8: return focus_delete;
    default: break;
    }
    if (vkey >= 33 && vkey <= 40) return focus_navigation;
    if (c == '+' || c == '-') return focus_plus_minus;
    if (c >= '0' && c <= '9') return focus_digits;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return focus_letters;
    // C-locale isprint, defined only on 0..255; beyond ASCII every character but the controls
    // (a code point, as typed) is printable.
    if (c >= 0 && c <= 255 && std::isprint(c)) return focus_printable;
    if (c >= 0xA0) return focus_printable;
    return focus_other;
}

int BTN_dispatch_to_focus(int c, int vkey, int flags) {
    if (mnw.curwin == alert_window) return 0;
    if (focus_id == 0) return focus_first_on_tab(vkey, flags);
    auto it = focused_entry();
    if (it == focus_ring.end()) {
        focus_id = 0;
        return focus_first_on_tab(vkey, flags);
    }
    if (vkey == 9 && !(it->accept_mask & focus_tab)) {
        if (flags & key_flag_up) return 0;
        long n = static_cast<long>(focus_ring.size());
        long i = (it - focus_ring.begin()) + ((flags & key_flag_shift) ? -1 : 1);
        focus_id = focus_ring[static_cast<size_t>((i % n + n) % n)].id;
        return 1;
    }
    if (!(it->accept_mask & focus_key_class(c, vkey))) return 0;
    int n = *it->ctr_slot;
    if (n < 0) n = 0;
    // A full queue drops the key, but it still counts as used: typing never turns into commands.
    if (n >= it->capacity) return 1;
    it->char_slot[n] = c;
    it->vkey_slot[n] = vkey;
    it->flag_slot[n] = flags;
    it->id_slot[n] = focus_id;
    *it->ctr_slot = n + 1;
    return 1;
}

int BTN_focus_has_room() {
    if (mnw.curwin == alert_window || focus_id == 0) return 1;
    auto it = focused_entry();
    return it == focus_ring.end() || *it->ctr_slot < it->capacity ? 1 : 0;
}

void BTN_unfocus_any() { focus_id = 0; }

void BTN_focus_any() { focus_id = focus_ring.empty() ? 0 : focus_ring.front().id; }

void BTN_window_has_focus() { wind_focus = 1; }

int BTN_no_focus_yet() { return (wind_focus == 0 && focus_id == 0) ? 1 : 0; }

std::string BTN_name_from_vector(int index, void* list) {
    return (*static_cast<std::vector<std::string>*>(list))[static_cast<size_t>(index)];
}

int BTN_type_from_vector(int index, void* list) {
    return (*static_cast<std::vector<int>*>(list))[static_cast<size_t>(index)];
}

int focus_id_at(float x, float y) {
    // Wrapping arithmetic: far-off positions give some id, never undefined behaviour.
    auto whole = [](float v) {
        if (!(std::fabs(v) < 1e9f)) return 0u;
        return static_cast<unsigned>(static_cast<int>(v));
    };
    int id = static_cast<int>(whole(y) + 8192u * whole(x));
    // 0 means "no focus": a widget at the origin would read as focused whenever nothing is.
    return id == 0 ? -0x7fffffff : id;
}

void focus_queue::drop_stale() {
    if (drained_frame == focus_frame) return;
    drained_frame = focus_frame;
    for (int i = 0; i < std::min(left_over, capacity); ++i) chars[i] = vkeys[i] = flags[i] = ids[i] = 0;
}

void focus_queue::compact() {
    int kept = 0;
    for (int i = 0; i < std::min(count, capacity); ++i) {
        if (ids[i] == 0) continue;
        chars[kept] = chars[i];
        vkeys[kept] = vkeys[i];
        flags[kept] = flags[i];
        ids[kept] = ids[i];
        ++kept;
    }
    for (int i = kept; i < capacity; ++i) chars[i] = vkeys[i] = flags[i] = ids[i] = 0;
    count = kept;
    left_over = kept;
}

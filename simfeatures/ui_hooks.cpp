// The widget and shell calls this layer makes, installed from above (simulator-side features layer).
#include "simfeatures/ui_hooks.h"

#include "core/window_state.h"

namespace {
void no_startwind(int id, int) { mnw.curwin = id; }
void no_event_proc() { mnw.curwin = 0; }
void no_fillwin(int, int) {}
void no_subwin(float, int, float x, float y, float w, float h, std::string, float* next_x, float* next_y) {
    if (next_x) *next_x = x + w + 10;
    if (next_y) *next_y = y + h + 10;
}
int no_action(float, float, float, int, int, std::string, std::string) { return 0; }
void no_flt_range(float, float, float*, int, int, float, float, std::string) {}
void no_int_range(float, float, int*, int, float, float, std::string) {}

constexpr sim_ui_hooks defaults{no_startwind, no_event_proc, no_fillwin, no_subwin,
                                no_action,    no_flt_range,  no_int_range};
sim_ui_hooks current = defaults;

template <class F>
void take(F& slot, F fn, F fallback) {
    slot = fn ? fn : fallback;
}
}  // namespace

sim_ui_hooks set_sim_ui_hooks(const sim_ui_hooks& h) {
    const sim_ui_hooks old = current;
    take(current.startwind, h.startwind, defaults.startwind);
    take(current.event_proc, h.event_proc, defaults.event_proc);
    take(current.fillwin, h.fillwin, defaults.fillwin);
    take(current.subwin, h.subwin, defaults.subwin);
    take(current.action, h.action, defaults.action);
    take(current.flt_range, h.flt_range, defaults.flt_range);
    take(current.int_range, h.int_range, defaults.int_range);
    return old;
}

const sim_ui_hooks& sim_ui() { return current; }

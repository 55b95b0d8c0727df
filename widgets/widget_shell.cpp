#include "widgets/widget_shell.h"

#include "core/window_state.h"
#include "widgets/focus_ring.h"

namespace {

void headless_startwind(int id, int) {
    mnw.lastwin = mnw.curwin = id;
    BTN_unfocus_any();
}

void headless_event_proc() { mnw.curwin = 0; }

int headless_choose_path(int, const std::string&, const std::string&, int, const char*, std::string&) {
    return 0;
}

constexpr widget_shell_hooks defaults{headless_startwind, headless_event_proc, headless_choose_path};
widget_shell_hooks current = defaults;

}  // namespace

widget_shell_hooks set_widget_shell_hooks(const widget_shell_hooks& h) {
    widget_shell_hooks old = current;
    current.startwind = h.startwind ? h.startwind : defaults.startwind;
    current.event_proc = h.event_proc ? h.event_proc : defaults.event_proc;
    current.choose_path = h.choose_path ? h.choose_path : defaults.choose_path;
    return old;
}

const widget_shell_hooks& widget_shell() { return current; }

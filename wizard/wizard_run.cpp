#include "wizard/wizard_run.h"

#include "shell/frame.h"
#include "wizard/dvd_install.h"
#include "wizard/wizard_frame.h"
#include "wizard/wizard_main.h"

namespace {
// The first screen of a variant whose flow is not built yet: the frame with nothing in it, and Quit.
int empty_screen(int, wizard_screen&) { return 0; }
const wizard_screen_names names({{empty_screen, "empty_screen"}});
}  // namespace

int wizard_run(int argc, char** argv, wizard_variant variant) {
    const screen_fn first = variant == variant_installer ? dvd_start : empty_screen;
    set_app_hooks({APP_update, APP_handlemenu, nullptr});
    return wizard_main(argc, argv, first);
}

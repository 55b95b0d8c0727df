#include "wizard/run_sim.h"

#include "core/translate.h"
#include "files/io_utils.h"
#include "install/install_state.h"
#include "wizard/copies.h"
#include "wizard/dvd_install.h"
#include "wizard/wizard_frame.h"

int dvd_pick_run_sim(int, wizard_screen& screen) {
    screen.title = UTL_translate_string("Run Volatra");
    screen.back = dvd_start;
    screen.next = dvd_do_run_sim;
    if (all_ostrands.size() == 1) {
        dest_dir_path = all_ostrands[0];
        return 1;
    }
    UTIL_pick_install();
    if (dest_dir_path.empty()) screen.next = nullptr;
    if (all_ostrands.size() > 1)
        screen.text = UTL_translate_string("You have more than one copy of Volatra 9 installed on this computer.  ");
    screen.text += UTL_translate_string("Please pick which copy of Volatra 9 you would like to run.");
    return 0;
}

int dvd_do_run_sim(int, wizard_screen&) {
    // Returns only when the program could not be started.
    launch_app(dest_dir_path + "Volatra" + ".app", "");
    return 0;
}

static wizard_screen_names run_sim_names({{dvd_pick_run_sim, "dvd_pick_run_sim"}, {dvd_do_run_sim, "dvd_do_run_sim"}});

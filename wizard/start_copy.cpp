// Starting an installed copy (installer wizard layer).
#include "wizard/start_copy.h"

#include <sys/stat.h>

#include "core/globals.h"
#include "core/localisation.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "install/install_state.h"
#include "platform/plat_paths.h"
#include "wizard/copies.h"
#include "wizard/dvd_install.h"
#include "wizard/wizard_frame.h"

int dvd_pick_run_sim(int entered, wizard_screen& screen) {
    if (entered) keep_registered_destination();
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

namespace {
// What the program file is now: a start that failed is tried again once this changes.
std::string program_state(const std::string& exe) {
    struct stat st;
    if (stat(exe.c_str(), &st) != 0) return "missing";
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_mode) + ":" +
           std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + ":" + std::to_string(st.st_ctim.tv_sec) + "." +
           std::to_string(st.st_ctim.tv_nsec);
}
}  // namespace

int dvd_do_run_sim(int entered, wizard_screen& screen) {
    // The program of the last failed start, its state then and the error.
    static std::string failed_exe, failed_state;
    static int failed_err = 0;
    if (entered) failed_exe.clear();
    const std::string app = dest_dir_path + "Volatra" + ".app";
    const std::string exe = plat::bundle_executable(app);
    const std::string state = program_state(exe);
    // Tried on every frame until it starts, but a start that failed is tried again only once
    // the program changed: forking and logging each frame would say nothing new.
    if (exe != failed_exe || state != failed_state) {
        // Returns only when the program could not be started.
        failed_err = launch_app(app, "");
        failed_exe = exe;
        failed_state = state;
        xer << "Could not start " << exe << ": " << error_str(failed_err) << "\n";
    }
    screen.title = UTL_translate_string("Run Volatra");
    screen.text = UTL_translate_string("I could not start Volatra: ") + exe + " (" + error_str(failed_err) +
                  UTL_translate_string(").\n\nThis copy of Volatra may be damaged or incomplete.  Click Go Back to "
                                       "return to the start.");
    screen.back = wizard_first_screen;
    return 0;
}

static wizard_screen_names run_sim_names({{dvd_pick_run_sim, "dvd_pick_run_sim"}, {dvd_do_run_sim, "dvd_do_run_sim"}});

// The shell's start-up, alerts, folder dialog and shut-down in one program, for whole-program
// tests: MACIBM_init, then a message alert, the language chooser and the folder dialog, each
// logged; the window's close request shuts down with saving, as a hand-over to another program
// does, and ends with status 0. --folder=DIR starts the folder dialog in DIR instead of "/". With --confirm
// it only asks the platform's confirmation (as alerts before the window do) and prints the answer.
#include <cstdio>
#include <string>

#include "core/alert.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/window_state.h"
#include "graphics/background_and_screenshot.h"
#include "shell/dialogs.h"
#include "shell/frame.h"
#include "shell/startup.h"

namespace {

void log_line(const std::string& line) {
    xer << line << "\n";
    xer.flush();
}

void probe_frame() {
    static int step = 0;
    OGL_plot_back_col();
    switch (step++) {
        case 0:
            log_line("probe alert");
            __MACIBM_alert(0, "This is a message.", "It has four lines,", "the third and", "the fourth.", t_alert,
                           "probe", 1);
            log_line("probe alert answered, window " + std::to_string(mnw.curwin));
            break;
        case 1:
            log_line("probe chooser");
            __MACIBM_alert(0, "-", "-", "-", "-", t_lang, "probe", 2);
            log_line("probe language " + std::to_string(mnw.lang));
            break;
        case 2: {
            std::string path = "none", start = cmdline.get_option("--folder");
            int chosen = GetFilePathFromUser(2, "Pick a folder", "Select", 1,
                                             start.empty() ? "/" : start.c_str(), path);
            log_line("probe folder " + std::to_string(chosen) + " " + path);
            break;
        }
        default:
            break;
    }
}

void probe_quit() {
    log_line("probe quit");
    app_done = 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--confirm") {
        std::printf("confirmed %d\n", ConfirmMessage("Replace the file?", "Replace", "Keep") ? 1 : 0);
        return 0;
    }
    MACIBM_init(argc, argv);
    stls[603] = "OK";
    set_app_hooks({probe_frame, nullptr, probe_quit});
    while (!app_done) MACIBM_event_proc();
    MACIBM_finishup(1);
    return 0;
}

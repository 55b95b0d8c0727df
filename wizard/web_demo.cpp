#include "wizard/web_demo.h"

#include "core/globals.h"
#include "core/localisation.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/net_fetch.h"
#include "wizard/copies.h"
#include "wizard/copy_lock.h"
#include "wizard/dvd_install.h"
#include "wizard/start_copy.h"
#include "wizard/web_update.h"
#include "wizard/wizard_frame.h"

namespace {

std::string tr(const char* text) { return UTL_translate_string(text); }

const net_search_texts demo_search = {"I am contacting ", " to find a demo server.", "I am downloading demo info from ",
                                      "I am processing information about the available demo."};

const new_folder_texts demo_folder_texts = {
    "Pick a folder to install the Volatra 9 demo into.",
    "You have enough free disk space to install the Volatra9  demo at this location.",
    "You do not have enough free disk space to install the Volatra 9 demo at this location.  You can install to a "
    "different location, or save disk space by installing only some of the global scenery."};

}  // namespace

int demo_start(int entered, wizard_screen& screen) {
    if (entered) {
        accept_eula_demo = 0;
        locate_all_volatras();
        set_steps({{"Welcome", demo_start},
                   {"License", demo_eula},
                   {"Check Servers", demo_get_updates},
                   {"Pick Destination", demo_pick_dest},
                   {"Install", demo_run_patch},
                   {"Finish", demo_done}});
        net_stream_reset();
    }
    screen.title = tr("Welcome");
    screen.text = tr("I will guide you through the process of installing the web demo of Volatra 9.");
    if (!all_ostrands.empty())
        screen.text += tr("\n\nWarning: you already have Volatra 9 installed on this computer.  Are you sure you want "
                          "to install a new demo copy of Volatra 9?");
    screen.next = demo_eula;
    return 0;
}

int demo_eula(int, wizard_screen& screen) {
    screen.back = demo_start;
    screen.next = UTIL_licence(screen, &accept_eula_demo) ? demo_get_updates : nullptr;
    return 0;
}

int demo_get_updates(int entered, wizard_screen& screen) {
    screen.title = tr("Check Servers");
    screen.back = demo_eula;
    if (!net_search(entered, screen, demo_search)) return 0;
    screen.back = nullptr;
    screen.next = demo_pick_dest;
    return 1;
}

int demo_pick_dest(int entered, wizard_screen& screen) {
    static new_folder_choice choice;
    if (entered && demo_install_is_running) {
        const int answer = abort_alert(
            tr("Are you sure you want to cancel the installation?  This will delete the partially installed copy of "
               "the Volatra 9 demo."),
            tr("Cancel"), tr("the demo installation and delete partial installation."), tr("Continue"),
            tr("the demo installation process."));
        if (!cancels_and_deletes(answer)) {
            screen.next = demo_run_patch;
            return 1;
        }
        // Only the folder the run made goes, the lock held until it has.
        net_stream_halt();
        delete_cancelled_install();
        demo_install_is_running = 0;
    }
    if (entered) {
        net_stream_reset();
        // The manifest may have been read again on the way here: its marks are made anew.
        choice.prepare_pending = true;
    }
    const int valid = UTIL_pick_new_folder(entered, screen, choice, install_name + " " + tr("Demo"), demo_folder_texts);
    screen.back = demo_eula;
    screen.next = valid == 2 ? demo_run_patch : nullptr;
    return 0;
}

int demo_run_patch(int, wizard_screen& screen) {
    static float totl_inst_rat = 0;
    screen.title = tr("Installing");
    screen.back = demo_pick_dest;
    screen.show_servers = 1;
    screen.on_quit = net_stream_stop;
    if (!demo_install_is_running) {
        // The folder was new on the destination screen; what appeared there since is not ours.
        if (something_at(dest_dir_path)) {
            xer << "The destination " << dest_dir_path << " exists now; back to the destination screen.\n";
            screen.next = demo_pick_dest;
            return 1;
        }
        stg.extract_error = 0;
        stg.download_failed = 0;
        start_place_reports(fetch_run::installation);
        if (!choose_files()) {
            screen.next = demo_pick_dest;
            return 1;
        }
        const int err = make_dirs();
        run_created_dir = make_dirs_new_root;
        if (err) {
            delete_cancelled_install();
            screen.next = demo_pick_dest;
            return 1;
        }
        net_stream_reset();
        // Another program that took the new folder at the same moment keeps it.
        if (!lock_copy_for_run(dest_dir_path)) {
            run_created_dir.clear();
            screen.next = demo_pick_dest;
            return 1;
        }
        demo_install_is_running = 1;
        xer << "Web demo install into " << dest_dir_path << "\n";
    }
    if (!net_patch_frame(screen, totl_inst_rat)) return 0;
    net_stream_reset();
    demo_install_is_running = 0;
    run_created_dir.clear();
    xer << "Web demo install ended" << (stg.extract_error ? " with an archive that could not be extracted" : "")
        << ".\n";
    screen.next = demo_done;
    return 1;
}

int demo_done(int, wizard_screen& screen) {
    screen.title = tr("Finshed Web Demo Install");
    screen.next = wizard_quit;
    if (!stg.extract_error && !stg.place_errors) {
        screen.text = tr("I have finished installing the Volatra 9 web demo at: ") + dest_dir_path + ".";
        screen.choice_labels.push_back(tr("Fly Volatra 9 Now"));
        screen.choice_targets.push_back(dvd_do_run_sim);
    } else {
        screen.text = tr("There were problem installing the Volatra 9 web demo - it may not be usable.");
    }
    return 0;
}

static wizard_screen_names demo_names({{demo_start, "demo_start"},
                                       {demo_eula, "demo_eula"},
                                       {demo_get_updates, "demo_get_updates"},
                                       {demo_pick_dest, "demo_pick_dest"},
                                       {demo_run_patch, "demo_run_patch"},
                                       {demo_done, "demo_done"}});

#include "wizard/maintenance.h"

#include "core/globals.h"
#include "core/localisation.h"
#include "core/time_keeper.h"
#include "files/file_operations.h"
#include "install/checksum.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "wizard/copies.h"
#include "wizard/copy_lock.h"
#include "wizard/disc.h"
#include "wizard/disk_space.h"
#include "wizard/dvd_install.h"
#include "wizard/start_copy.h"
#include "wizard/wizard_frame.h"

namespace {

std::string tr(const char* text) { return UTL_translate_string(text); }

// One maintenance flow: its screens and what they say where the two flows differ.
struct maintenance_flow {
    screen_fn pick, scan, choose, run, done, verify;  // choose: the map, or the confirmation
    const char* pick_title;
    const char* pick_sentence;
    const char* step_scan;
    const char* step_choose;
    const char* step_run;
    int want_sim, want_global;  // the install filter of the scan and the run
    const char* scan_title;
    const char* scan_text;  // after "I am scanning " + the copy
    int* running;           // the run flag: the pipeline holds this flow's work
    const char* run_title;
    const char* run_text;  // before the copy + "."
    const char* run_caption;
    const char* finishing;
    const char* error_heading;
    const char* error_text;
    const char* button_line;  // beside both buttons of the error choice
    const char* stop_question;
    const char* stop_line;  // beside both buttons of the stop question
    // Kept from frame to frame: the scan's and the run's positions in sim_info.
    int scan_cursor;
    int run_cursor;
};

maintenance_flow scenery = {
    dvd_pick_scenery,
    dvd_scan_scenery,
    dvd_edit_scenery,
    dvd_install_scenery,
    dvd_done_scenery,
    dvd_verify_disk_scenery,
    "Select Volatra 9 to Add or Remove Scenery",
    "Please pick which copy of Volatra 9 you would like to add scenery to.",
    "Scan Existing Scenery",
    "Select New Scenery",
    "Install Scenery",
    0,
    1,
    "Scanning Volatra 9 for Installed Scenery",
    " to see what scenery you already have installed.\n\nNote: I am only checking for the scenery already "
    "installed from your DVDs.  This scan will not show any custom scenery downloaded from the internet.",
    &scenery_install_is_running,
    "Installing New Scenery",
    "I am installing new scenery for ",
    "Installing: ",
    "Finishing Up...",
    "An error occurred during scenery installation:",
    "You can continue with the installation and attempt to reinstall the damaged files later, or you can stop "
    "the installation",
    "the scenery install.",
    "Are you sure you want to stop scenery installation?  You can add or remove more scenery later.",
    "the scenery install.",
    0,
    0};

maintenance_flow repair = {
    dvd_pick_repair,
    dvd_scan_repair,
    dvd_confirm_repair,
    dvd_install_repair,
    dvd_done_repair,
    dvd_verify_disk_repair,
    "Repair Volatra 9",
    "Please pick which copy of Volatra 9 you would like to repair.",
    "Scan For Problems",
    "Confirm Repairs",
    "Repair Volatra",
    1,
    0,
    "Scanning Volatra for Problems",
    " for missing or damaged files.\n\nNote: if you have updated this copy of Volatra from the Internet, the "
    "repair operation will remove the updates.  Once the repair has finished, you should reapply the updates "
    "from the web.",
    &repair_is_running,
    "Repairing Volatra",
    "I am repairing ",
    "Repairing: ",
    "Finishing up...",
    "An error occurred during the repair:",
    "Volatra may not be usable until you are able to repair the sim without errors.",
    "the repair.",
    "Are you sure you want to stop the repair operation?  Volatra may not be usable until repairs are "
    "complete.  You can run the repair operation on Volatra again later to complete repairs.",
    "the repair operation.",
    0,
    0};

const disc_change_flow scenery_discs = {"Installing Scenery - Please change DVDs",
                                        "Installing Scenery - Verifying DVD",
                                        dvd_edit_scenery,
                                        dvd_install_scenery,
                                        dvd_switch_disk_scenery,
                                        dvd_verify_disk_scenery};
const disc_change_flow repair_discs = {"Repairing Volatra - Please Change DVDs",
                                       "Repairing Volatra - Checking DVD",
                                       dvd_confirm_repair,
                                       dvd_install_repair,
                                       dvd_switch_disk_repair,
                                       dvd_verify_disk_repair};

int pick_screen(int entered, wizard_screen& screen, const maintenance_flow& flow) {
    if (entered) {
        checksum_directory_kill();
        set_steps({{"Welcome", dvd_start},
                   {"Select Volatra", flow.pick},
                   {flow.step_scan, flow.scan},
                   {flow.step_choose, flow.choose},
                   {flow.step_run, flow.run},
                   {"Finish", flow.done}});
        keep_registered_destination();
    }
    screen.title = tr(flow.pick_title);
    screen.back = dvd_start;
    screen.next = flow.scan;
    if (all_ostrands.size() == 1) dest_dir_path = all_ostrands[0];
    UTIL_pick_install();
    if (dest_dir_path.empty()) screen.next = nullptr;
    if (all_ostrands.size() > 1)
        screen.text = tr("You have more than one copy of Volatra 9 installed on this computer.  ");
    screen.text += tr(flow.pick_sentence);
    return 0;
}

int scan_screen(int entered, wizard_screen& screen, maintenance_flow& flow) {
    if (entered) {
        flow.scan_cursor = 0;
        set_install_filter(flow.want_sim, flow.want_global);
        install_marks_ready = 0;
    }
    screen.title = tr(flow.scan_title);
    screen.text = tr("I am scanning ") + dest_dir_path + tr(flow.scan_text);
    screen.on_quit = checksum_directory_kill;
    float fraction = 0;
    if (checksum_directory(flow.scan_cursor, fraction)) {
        screen.next = flow.choose;
        return 1;
    }
    screen.progress_caption = fill_format(tr("Scanning %d of %d files."),
                                          {std::to_string(flow.scan_cursor), std::to_string(sim_info.size())});
    screen.back = flow.pick;
    screen.progress = fraction;
    return 0;
}

// The flow's run is over (done or stopped): its work ends and the copy is free for others. The
// queued files that fail while a stop lets them finish are failed files of the run too.
void end_run(const maintenance_flow& flow) {
    num_install_errors += install_files_kill();
    *flow.running = 0;
    unlock_copy();
}

// On the first frame of the map or the confirmation while the flow's run is under way (the user
// went Back from it): whether to go on with it. Stop ends the run and keeps what it did.
bool run_goes_on(const maintenance_flow& flow) {
    if (!*flow.running) return false;
    const int answer =
        abort_alert(tr(flow.stop_question), tr("Stop"), tr(flow.stop_line), tr("Continue"), tr(flow.stop_line));
    if (!stops_the_run(answer)) return true;
    end_run(flow);
    return false;
}

int run_screen(wizard_screen& screen, maintenance_flow& flow) {
    int& cursor = flow.run_cursor;
    bool prepared = false;
    if (!*flow.running) {
        prepared = true;
        cursor = 0;
        xer << "Starting install at " << xtim_class::microsecs() / 1000000 << "\n";
        if (!picked_copy_still_there()) {
            screen.next = flow.pick;
            return 1;
        }
        if (!lock_copy_for_run(dest_dir_path)) {
            screen.next = flow.choose;
            return 1;
        }
        // What the release removed goes before the new folders are made: a file may take the
        // place of a folder it drops, and the reverse. A file that would not go is a failed file
        // of the run.
        int failed_deletions = 0;
        if (!choose_files() || clear_and_make_dirs(&failed_deletions, removal_order::all_first)) {
            unlock_copy();
            screen.next = flow.choose;
            return 1;
        }
        num_install_errors = failed_deletions;
        // Each item of the user's in the way of files is asked about once; Continue leaves out
        // every file behind it, a failed file of the run each.
        bool stopped = false;
        num_install_errors += leave_out_files_in_the_way(
            [&flow](const item_in_the_way& it) {
                return !stops_the_run(UTIL_run_choice(
                    tr(flow.error_heading), item_in_the_way_text(it), it.err, tr(flow.error_text), tr("Stop"),
                    tr(flow.button_line), tr("Continue"), tr(flow.button_line)));
            },
            &stopped);
        if (stopped) {
            end_run(flow);
            screen.next = flow.done;
            return 1;
        }
        *flow.running = 1;
    }
    screen.title = tr(flow.run_title);
    screen.on_quit = [] { install_files_kill(); };
    switch (prepared ? install_files(cursor, current_disk) : install_files_for_a_frame(cursor, current_disk)) {
        case 0:
            screen.back = flow.choose;
            screen.text = tr(flow.run_text) + dest_dir_path + ".";
            run_progress(screen, cursor, flow.run_caption, flow.finishing);
            return 0;
        case 1:
            screen.next = flow.done;
            end_run(flow);
            return 1;
        case 2:
            want_file_disk = cursor;
            screen.next = flow.verify;
            return 1;
        case 3:
            ++num_install_errors;
            if (stops_the_run(UTIL_cancel_install(tr(flow.error_heading), tr(flow.error_text), tr("Stop"),
                                                  tr(flow.button_line), tr("Continue"), tr(flow.button_line)))) {
                end_run(flow);
                screen.next = flow.done;
                return 1;
            }
            return 0;
    }
    return 0;
}

// What both finish screens share: Back to the menu, Next ends the program, and without errors
// the choice to start the copy.
void finish_screen(wizard_screen& screen, const std::string& success_text, const std::string& error_text) {
    screen.back = dvd_start;
    screen.next = wizard_quit;
    if (num_install_errors < 1) {
        screen.text = success_text;
        screen.choice_labels.push_back(tr("Run Volatra Now"));
        screen.choice_targets.push_back(dvd_do_run_sim);
    } else {
        screen.text = error_text;
    }
}

}  // namespace

const char* scenery_result_word(int errors, int added, int removed) {
    static const char* const words[2][4] = {
        {"added and removed", "installed more", "removed", "updated"},
        {"adding and removing", "installing more", "removing", "updating"}};
    const int column = added >= 1 ? (removed >= 1 ? 0 : 1) : (removed >= 1 ? 2 : 3);
    return words[errors >= 1 ? 1 : 0][column];
}

int count_files_to_repair() {
    int n = 0;
    for (size_t h = 0; h < sim_info.size(); ++h) {
        const int last = static_cast<int>(sim_info[h].versions.size()) - 1;
        if (!sim_info[h].versions[last].up_to_date && want_this_f(static_cast<int>(h), last)) ++n;
    }
    return n;
}

int dvd_pick_scenery(int entered, wizard_screen& screen) { return pick_screen(entered, screen, scenery); }
int dvd_scan_scenery(int entered, wizard_screen& screen) { return scan_screen(entered, screen, scenery); }

int dvd_edit_scenery(int entered, wizard_screen& screen) {
    if (entered) {
        if (run_goes_on(scenery)) {
            screen.next = dvd_install_scenery;
            return 1;
        }
        // Every visit starts from what the copy holds now.
        scenery_from_install();
        recalc_disk_sizes();
    }
    UTIL_scenery_map(screen,
                     tr("Click on the world map to select what scenery you would like to install.  Scenery that you "
                        "deselect will be removed; scenery that you select will be installed.  If you fly into an "
                        "area with no scenery installed, you will see only ocean."),
                     dvd_pick_scenery, dvd_install_scenery,
                     tr("You have enough free disk space to install this scenery."),
                     tr("You do not have enough free disk space to install this scenery."));
    return 0;
}

int dvd_install_scenery(int, wizard_screen& screen) { return run_screen(screen, scenery); }

int dvd_done_scenery(int entered, wizard_screen& screen) {
    const char* word = scenery_result_word(num_install_errors, stg.num_to_add, stg.num_to_remove);
    if (entered) xer << "Scenery " << word << " with " << num_install_errors << " errors\n";
    screen.title = tr("Finished With Add/Remove Scenery");
    finish_screen(screen, tr("I have successfully ") + tr(word) + tr(" scenery to match your choices on the map."),
                  tr("There were errors while ") + tr(word) +
                      tr(" your scenery; your copy of Volatra may not be usable.\n\nYou can click Go Back and use "
                         "the repair and add-remove scenery functions to try to reinstall any missing or damaged "
                         "files."));
    return 0;
}

int dvd_switch_disk_scenery(int entered, wizard_screen& screen) {
    return disc_change_screen(entered, screen, scenery_discs);
}
int dvd_verify_disk_scenery(int, wizard_screen& screen) { return disc_verify_screen(screen, scenery_discs); }

int dvd_pick_repair(int entered, wizard_screen& screen) { return pick_screen(entered, screen, repair); }
int dvd_scan_repair(int entered, wizard_screen& screen) { return scan_screen(entered, screen, repair); }

int dvd_confirm_repair(int entered, wizard_screen& screen) {
    static int num_file_install = 0;
    if (entered) {
        if (run_goes_on(repair)) {
            screen.next = dvd_install_repair;
            return 1;
        }
        recalc_disk_sizes();
        num_file_install = count_files_to_repair();
        xer << "Repair of " << dest_dir_path << ": " << num_file_install << " files to install\n";
    }
    screen.text = fill_format(tr("I need to install approximately %d files to repair "),
                              {std::to_string(num_file_install)}) +
                  dest_dir_path + ".";
    screen.title = tr("Confirm Repairs");
    screen.back = dvd_pick_repair;
    screen.next = dvd_install_repair;
    if (!UTIL_disk_space(tr("You have enough free disk space to repair this copy of Volatra."),
                         tr("You do not have enough free disk space to repair this copy of Volatra.")))
        screen.next = nullptr;
    if (screen.next) screen.text += tr("\n\nClick continue to begin repairing Volatra.");
    return 0;
}

int dvd_install_repair(int, wizard_screen& screen) { return run_screen(screen, repair); }

int dvd_done_repair(int entered, wizard_screen& screen) {
    if (entered) xer << "Repair finished with " << num_install_errors << " errors\n";
    screen.title = tr("Finished Repairing Volatra.");
    finish_screen(screen,
                  tr("I have finished repairing ") + dest_dir_path + tr(" - click Go Back to return to the main menu."),
                  tr("There were errors during the repair; your copy of Volatra may not be usable.\n\nYou can click "
                     "Go Back and use the repair and add-remove scenery functions to try to reinstall any missing "
                     "or damaged files."));
    return 0;
}

int dvd_switch_disk_repair(int entered, wizard_screen& screen) {
    return disc_change_screen(entered, screen, repair_discs);
}
int dvd_verify_disk_repair(int, wizard_screen& screen) { return disc_verify_screen(screen, repair_discs); }

static wizard_screen_names maintenance_names({{dvd_pick_scenery, "dvd_pick_scenery"},
                                              {dvd_scan_scenery, "dvd_scan_scenery"},
                                              {dvd_edit_scenery, "dvd_edit_scenery"},
                                              {dvd_install_scenery, "dvd_install_scenery"},
                                              {dvd_done_scenery, "dvd_done_scenery"},
                                              {dvd_switch_disk_scenery, "dvd_switch_disk_scenery"},
                                              {dvd_verify_disk_scenery, "dvd_verify_disk_scenery"},
                                              {dvd_pick_repair, "dvd_pick_repair"},
                                              {dvd_scan_repair, "dvd_scan_repair"},
                                              {dvd_confirm_repair, "dvd_confirm_repair"},
                                              {dvd_install_repair, "dvd_install_repair"},
                                              {dvd_done_repair, "dvd_done_repair"},
                                              {dvd_switch_disk_repair, "dvd_switch_disk_repair"},
                                              {dvd_verify_disk_repair, "dvd_verify_disk_repair"}});

#include "wizard/dvd_install.h"

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <thread>


#include "core/globals.h"
#include "core/localisation.h"
#include "core/time_keeper.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "install/checksum.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/plat_paths.h"
#include "shell/dialogs.h"
#include "widgets/widget_kit.h"
#include "wizard/copies.h"
#include "wizard/copy_lock.h"
#include "wizard/disc.h"
#include "wizard/disk_space.h"
#include "wizard/maintenance.h"
#include "wizard/start_copy.h"
#include "wizard/wizard_draw.h"
#include "wizard/wizard_frame.h"
#include "wizard/world_map.h"

int install_marks_ready = 0;

std::string run_created_dir;

namespace {

std::string tr(const char* text) { return UTL_translate_string(text); }

void set_install_steps() {
    set_steps({{"Welcome", dvd_start},
               {"Pick Destination", dvd_pick_install},
               {"License", dvd_eula_install},
               {"Select Scenery", dvd_scenery_install},
               {"Install", dvd_run_install},
               {"Finish", dvd_done_install}});
}

}  // namespace

void prepare_new_install() {
    checksum_directory_kill();
    int cursor = 0;
    float fraction = 0;
    while (!checksum_directory(cursor, fraction)) {
    }
    set_install_filter(1, 1);
    scenery_take_all();
    recalc_disk_sizes();
    install_marks_ready = 1;
}

bool something_at(const std::string& folder) {
    struct stat st;
    std::string p = folder;
    if (p.size() > 1 && p.back() == '/') p.pop_back();
    return lstat(p.c_str(), &st) == 0;
}

bool folder_name_ok(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

int dvd_start(int entered, wizard_screen& screen) {
    if (entered) {
        locate_all_volatras();
        set_install_steps();
    }
    screen.title = tr("Volatra 9 Installer");
    UTIL_scan_dvd();
    if (dvd_path.empty()) {
        screen.text = tr("Please insert Volatra 9 DVD number one to begin.");
    } else if (install_name == no_install_name || stg.dir_state == 2) {
        screen.text = tr("This DVD does not appear to be an Volatra 9 DVD.");
    } else if (stg.dir_state == 3 && all_ostrands.empty()) {
        if (stg.has_sim) {
            screen.text = tr("Welcome to the Volatra 9 Installer.  I will guide you through the proess of installing ") +
                          install_name + ".";
            screen.next = dvd_pick_install;
        } else {
            screen.text = tr("This DVD (") + install_name +
                          tr(") contains global scenery.  You must install the sim before you install the global scenery.");
        }
    } else if (stg.dir_state == 3) {
        screen.text = tr("You already have Volatra 9 installed on this computer.  What would you like to do?");
        auto choice = [&](const char* label, screen_fn target) {
            screen.choice_labels.push_back(tr(label));
            screen.choice_targets.push_back(target);
        };
        choice("Run Volatra Now", dvd_pick_run_sim);
        if (stg.has_scenery) choice("Add Or Remove Scenery", dvd_pick_scenery);
        if (stg.has_sim) choice("Repair Volatra", dvd_pick_repair);
        if (stg.has_sim) choice("Install A Second Copy of Volatra", dvd_pick_install);
    }
    return 0;
}

int UTIL_pick_new_folder(int entered, wizard_screen& screen, new_folder_choice& c, const std::string& default_name,
                         const new_folder_texts& texts) {
    if (entered) {
        c.desktop.clear();
        get_OS_abs_path(os_dir_desktop, c.desktop);
    }
    if (c.parent_dir.empty()) {
        get_OS_abs_path(os_dir_default_apps, c.parent_dir);
        if (c.parent_dir.empty()) c.parent_dir = "/";
        c.install_folder = default_name;
        c.prepare_pending = true;
    }
    screen.title = tr("Pick Install Destination.");

    if (BTN_action(300, 203, 0, 0, 0, tr("Change Destination"), "-")) {
        std::string path = c.parent_dir;
        if (GetFilePathFromUser(2, tr(texts.dialog_message), tr("Select"), 1, c.parent_dir.c_str(), path)) {
            c.parent_dir = path;
            if (c.parent_dir != "/" && c.parent_dir.back() != '/') c.parent_dir += '/';
            c.prepare_pending = true;
        }
    }
    if (BTN_enterstring(420, 200, &c.install_folder, 256, tr("Install Name:"), 340, 0)) c.prepare_pending = true;

    if (!folder_name_ok(c.install_folder)) {
        dest_dir_path = c.parent_dir;
        screen.text = tr("Please pick a name for your Volatra 9 installation...");
        return 0;
    }
    dest_dir_path = c.parent_dir + c.install_folder + "/";
    if (something_at(dest_dir_path)) {
        screen.text = tr("The folder '") + c.install_folder + tr("' already exists in the dir '") + c.parent_dir +
                      tr("'.\n\nPlease change the install name or destination.");
        return 0;
    }
    screen.text =
        tr("I will create the folder '") + c.install_folder + tr("' in the directory '") + c.parent_dir + tr("'.");
    if (c.parent_dir == c.desktop)
        screen.text += tr("\n\n(The folder ") + c.install_folder + tr(" will appear on your desktop.)");
    if (c.prepare_pending) {
        prepare_new_install();
        c.prepare_pending = false;
    }
    return UTIL_disk_space(tr(texts.enough), tr(texts.short_of_space)) ? 2 : 1;
}

int dvd_pick_install(int entered, wizard_screen& screen) {
    static new_folder_choice choice;
    if (entered) {
        accept_eula = 0;
        set_install_steps();
        // Another flow used the marks: prepared again on the first frame that shows a new folder.
        if (!install_marks_ready) choice.prepare_pending = true;
    }
    static const new_folder_texts texts = {
        "Pick a folder to install Volatra 9 into.",
        "You have enough free disk space to install Volatra 9 at this location.",
        "You do not have enough free disk space to install Volatra 9 at this location.  You can install to a "
        "different location, or save disk space by installing only some of the global scenery."};
    // Too little room is told here and enforced on the scenery screen, where the choice is made.
    const int valid = UTIL_pick_new_folder(entered, screen, choice, install_name, texts);
    screen.back = dvd_start;
    screen.next = valid ? dvd_eula_install : nullptr;
    return 0;
}

bool UTIL_licence(wizard_screen& screen, int* accepted) {
    screen.title = tr("End User License Agreement (EULA)");
    screen.text = tr(
        "Volatra 9 is licensed, not sold.  You may install it on the computers you use yourself and make copies "
        "for your own backup.  You may not rent, lend or resell it, nor pass on the scenery of the discs on its "
        "own.\n\nVolatra 9 is a simulation for entertainment and training at home; it is no substitute for flight "
        "instruction, and it may not be used for real-world navigation.\n\nThe software comes as it is, without "
        "warranty of any kind; the maker's liability is limited to the price you paid for it.\n\nPlease read the "
        "agreement and tick the box below to go on.");
    wizard_text(45, 250, 100, tr("I accept this agreement."), 560, 0);
    BTN_bool(230, 100, accepted, "", 0);
    return *accepted != 0;
}

int dvd_eula_install(int, wizard_screen& screen) {
    screen.back = dvd_pick_install;
    screen.next = UTIL_licence(screen, &accept_eula) ? dvd_scenery_install : nullptr;
    return 0;
}

int delete_cancelled_install() {
    if (run_created_dir.empty()) {
        unlock_copy();
        return 0;
    }
    const std::string target = run_created_dir;
    run_created_dir.clear();
    for (const std::string& copy : all_ostrands) {
        // A copy registered before this run lies in or is the folder: never ours to delete.
        if (copy != dest_dir_path && copy.compare(0, target.size(), target) == 0) {
            xer << "Cancel: " << target << " holds the installed copy " << copy << "; nothing deleted.\n";
            unlock_copy();
            return EPERM;
        }
    }
    int err = delete_folder_then_unlock(target);
    if (err)
        xer << "Cancel: could not delete " << target << ": " << error_str(err) << "\n";
    else
        xer << "Cancel: deleted " << target << "\n";
    return err;
}

int dvd_scenery_install(int entered, wizard_screen& screen) {
    if (entered) {
        if (dvd_install_is_running) {
            int answer = abort_alert(
                tr("Are you sure you want to cancel the installation?  This will delete the partially installed copy "
                   "of Volatra 9."),
                tr("Cancel"), tr("the installation and delete partial installation."), tr("Continue"),
                tr("the installation process."));
            if (!cancels_and_deletes(answer)) {
                screen.next = dvd_run_install;
                return 1;
            }
            install_files_kill();
            delete_cancelled_install();
            dvd_install_is_running = 0;
        }
        int cursor = 0;
        float fraction = 0;
        while (!checksum_directory(cursor, fraction)) {
        }
        recalc_disk_sizes();
    }
    UTIL_scenery_map(screen,
                     tr("Please pick the scenery you would like to install now.  You can use this installer to add "
                        "more scenery or remove scenery later.  If you fly into an area with no scenery installed, "
                        "you will see only ocean.\n\nClick on the world map to pick select regions to install."),
                     dvd_eula_install, dvd_run_install,
                     tr("You have enough free disk space to install Volatra 9 with the selected scenery."),
                     tr("You do not have enough free disk space to install Volatra 9 with the selected scenery; "
                        "change the install location to another hard driver or select less scenery."));
    return 0;
}

void UTIL_scenery_map(wizard_screen& screen, const std::string& text, screen_fn back, screen_fn next,
                      const std::string& enough, const std::string& short_of_space) {
    UTIL_world_map();
    screen.text = text;
    screen.title = tr("Select Scenery");
    screen.back = back;
    screen.next = UTIL_disk_space(enough, short_of_space) ? next : nullptr;
}

int UTIL_run_choice(const std::string& title, const std::string& msg, int err, const std::string& text,
                    const std::string& label1, const std::string& caption1, const std::string& label2,
                    const std::string& caption2) {
    return abort_alert(title + "\n\n" + msg + " (" + error_str(err) + ")\n\n" + text, label1, caption1,
                       label2, caption2);
}

int UTIL_cancel_install(const std::string& title, const std::string& text, const std::string& label1,
                        const std::string& caption1, const std::string& label2, const std::string& caption2) {
    std::string msg;
    const int err = install_files_get_error(msg);
    return UTIL_run_choice(title, msg, err, text, label1, caption1, label2, caption2);
}

void run_progress(wizard_screen& screen, int cursor, const char* caption, const char* finishing) {
    if (cursor < 0) {
        screen.progress = 0;
    } else if (cursor < static_cast<int>(sim_info.size())) {
        const file_version_struct& v = sim_info[cursor].versions.back();
        screen.progress = v.start_fraction;
        screen.progress_caption = tr(caption) + v.path;
    } else {
        screen.progress = 1.0f;
        screen.progress_caption = tr(finishing);
    }
}

int install_files_for_a_frame(int& cursor, int disk) {
    // The pools finish their queued tasks while the frame draws and waits for events: the steps
    // take four times that long, so the pools are fed most of the time however slow drawing is.
    static uint64_t last_end = 0;
    const uint64_t start = xtim_class::microsecs();
    const uint64_t rest_of_frame = start - last_end;
    // After a pause (a disc change, another screen) the last frame says nothing: start small.
    const uint64_t budget = rest_of_frame > 250000 ? 10000 : std::clamp<uint64_t>(4 * rest_of_frame, 10000, 200000);
    int r;
    while ((r = install_files(cursor, disk)) == 0 && xtim_class::microsecs() - start < budget)
        std::this_thread::sleep_for(std::chrono::microseconds(250));
    last_end = xtim_class::microsecs();
    return r;
}

int dvd_run_install(int, wizard_screen& screen) {
    static int cursor = 0;
    bool prepared = false;
    if (!dvd_install_is_running) {
        prepared = true;
        cursor = 0;
        xer << "Starting install at " << xtim_class::microsecs() / 1000000 << "\n";
        // The place was new on the destination screen; if something appeared there since, the
        // run would install into it and a cancel would delete it.
        if (something_at(dest_dir_path)) {
            xer << "The destination " << dest_dir_path << " exists now; back to the destination screen.\n";
            screen.next = dvd_pick_install;
            return 1;
        }
        if (!choose_files()) {
            screen.next = dvd_scenery_install;
            return 1;
        }
        if (make_dirs()) {
            run_created_dir = make_dirs_new_root;
            delete_cancelled_install();
            screen.next = dvd_pick_install;
            return 1;
        }
        // Locked before it is recorded: no other program finds the copy unlocked. One that took
        // the new folder at the same moment keeps it.
        if (!lock_copy_for_run(dest_dir_path)) {
            screen.next = dvd_pick_install;
            return 1;
        }
        run_created_dir = make_dirs_new_root;
        register_new_volatra();
        num_install_errors = delete_files();
        dvd_install_is_running = 1;
    }
    screen.title = tr("Installing Volatra");
    screen.on_quit = [] { install_files_kill(); };
    screen.text = tr("I am installing Volatra in ") + dest_dir_path + ".";
    // The preparation's frame takes one step, so the run shows itself before it moves on.
    switch (prepared ? install_files(cursor, current_disk) : install_files_for_a_frame(cursor, current_disk)) {
        case 0:
            screen.back = dvd_scenery_install;
            run_progress(screen, cursor, "Installing: ", "Finishing up...");
            return 0;
        case 1:
            screen.next = dvd_done_install;
            num_install_errors += install_files_kill();
            dvd_install_is_running = 0;
            unlock_copy();
            return 1;
        case 2:
            want_file_disk = cursor;
            screen.next = dvd_verify_disk_install;
            return 1;
        case 3:
            ++num_install_errors;
            if (stops_the_run(UTIL_cancel_install(tr("An error occurred during installation:"),
                                                  tr("You can continue with the installation and attempt to repair "
                                                     "the damaged files later, or you can cancel the installation."),
                                                  tr("Cancel"), tr("the install."), tr("Continue"),
                                                  tr("the install.")))) {
                screen.next = dvd_scenery_install;
                return 1;
            }
            return 0;
    }
    return 0;
}

int dvd_done_install(int entered, wizard_screen& screen) {
    if (entered)
        xer << "Install finished with " << num_install_errors << (num_install_errors == 1 ? " error" : " errors") << "\n";
    screen.title = tr("Finished Installing Volatra");
    if (num_install_errors <= 0) {
        screen.text = tr("Installation was successful.");
        screen.choice_labels.push_back(tr("Run Volatra Now"));
        screen.choice_targets.push_back(dvd_do_run_sim);
    } else {
        screen.text = tr("There were errors during the install; your copy of Volatra may not be usable.\n\nYou can "
                         "click Go Back and use the repair and add-remove scenery functions to try to reinstall any "
                         "missing or damaged files.");
    }
    screen.back = dvd_start;
    screen.next = wizard_quit;
    return 0;
}

static wizard_screen_names install_names({{dvd_start, "dvd_start"},
                                          {dvd_pick_install, "dvd_pick_install"},
                                          {dvd_eula_install, "dvd_eula_install"},
                                          {dvd_scenery_install, "dvd_scenery_install"},
                                          {dvd_run_install, "dvd_run_install"},
                                          {dvd_done_install, "dvd_done_install"}});

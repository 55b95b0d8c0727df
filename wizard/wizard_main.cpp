#include "wizard/wizard_main.h"

#include <unistd.h>

#include <cstring>

#include "core/command_line.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "install/install_state.h"
#include "platform/plat_paths.h"
#include "shell/frame.h"
#include "shell/preferences.h"
#include "simfeatures/about_box.h"
#include "wizard/copies.h"
#include "wizard/disc.h"
#include "wizard/prefs_screen.h"
#include "wizard/questions.h"

namespace {
// Whether path (absolute, its links resolved) lies on the install disc. The disc's mount point is
// resolved too: it may be reached through a link (the test volumes' drive is one).
bool on_the_disc(const std::string& path) {
    if (dvd_path.empty()) return false;
    const std::string disc = plat::real_path(dvd_path);
    return disc.size() > 1 && plat::path_within(path, disc);
}
}  // namespace

void hand_over_from_disc(const std::string& app, const std::string& temp) {
    if (!on_the_disc(app)) return;
    std::string name = app;
    if (name.size() > 1 && name.back() == '/') name.pop_back();
    name = name.substr(name.rfind('/') + 1);
    if (app.back() == '/') name += '/';
    // The preferences are read first: the hand-over saves them, and must save the user's own.
    pref.IO_set(11, 0);
    if (int err = copy_file_recursive(app, temp + name)) {
        xer << "Could not copy the installer from the disc to " << temp << name << ": " << error_str(err)
            << "; running from the disc.\n";
        return;
    }
    launch_app(temp + name, "");
    xer << "Could not start the copy " << temp << name << "; running from the disc.\n";
}

void wizard_start(int argc, char** argv, const std::string& app) {
    std::string temp;
    get_OS_abs_path(os_dir_temp, temp);
    locate_install_disc();
    hand_over_from_disc(app, temp);
    // Nothing of the installer may keep the disc busy, and the crash files must not go there.
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd) && on_the_disc(cwd) && !temp.empty())
        if (chdir(temp.c_str()) != 0) xer << "Could not leave the disc's folder: " << std::strerror(errno) << "\n";

    std::string path;
    const struct {
        os_dir_type type;
        const char* name;
    } dirs[] = {{os_dir_this_app, "os_dir_this_app\t\t="},
                {os_dir_desktop, "os_dir_desktop\t\t="},
                {os_dir_default_apps, "os_dir_default_apps\t="},
                {os_dir_temp, "os_dir_temp\t\t\t="},
                {os_dir_prefs, "os_dir_prefs\t\t\t="}};
    for (const auto& d : dirs) {
        path.clear();
        get_OS_abs_path(d.type, path);
        xer << d.name << path << "\n";
    }
    xer << "\n";

    temp_path = temp;
    stls[603] = "OK";
    install_name = no_install_name;
    stg.dir_state = 0;
    stg.platform = 1;
    stg.new_format_flag = 0;
    stg.download_failed = 0;
    stg.extract_error = 0;
    stg.delete_errors = 0;
    stg.place_errors = 0;
    stg.server_count = -1;
    stg.server_index = 0;
    stg.current_action = 3;
    stg.file_fraction = 0;
    stg.stream_count = 0;
    stg.kb_to_download = 0;
    stg.kb_to_install = 0;
    pref.IO_set(11, 0);
    if (argc >= 3 && std::strcmp(argv[1], "-path") == 0) cmd_line_path = argv[2];
    locate_all_volatras();
}

int wizard_main(int argc, char** argv, screen_fn first) {
    std::string app;
    get_OS_abs_path(os_dir_this_app_bundle, app);
    g_wizard = wizard_first_screen = first;
    install_wizard_questions();
    wizard_start(argc, argv, app);
    // The preferences screen and the about box, which no screen of the wizard opens, come first
    // when asked for.
    if (cmdline.has_option("--prefs")) handle_prefs();
    if (cmdline.has_option("--about") && !app_done) MACIBM_about();
    while (!app_done) MACIBM_event_proc();
    return 0;
}

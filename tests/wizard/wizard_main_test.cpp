#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include "core/alert.h"
#include "core/globals.h"
#include "core/statistics.h"
#include "files/file_operations.h"
#include "install/install_state.h"
#include "net/http_client.h"
#include "shell/preferences.h"
#include "wizard/wizard_frame.h"
#include "wizard/wizard_main.h"
#include "wizard/wizard_run.h"
#include "wizard_helpers.h"

namespace {

class Start : public ::testing::Test {
protected:
    wizard_world w;
    std::string temp() const { return w.temp() + "volatra-installer-" + std::to_string(getuid()) + "/"; }
    // The program on a disc: a script that leaves a marker when it runs (renamed into place, so
    // that it is whole once it is there).
    std::string disc_program() {
        const std::string disc = w.disc("DVD", "Volatra 9", "DIR All/\n");
        const std::string app = disc + "volatra_installer";
        const std::string marker = w.root / "started";
        write_file(app, "#!/bin/sh\necho started > '" + marker + ".tmp' && mv '" + marker + ".tmp' '" + marker + "'\n",
                   0755);
        return app;
    }
};

TEST_F(Start, FromTheDiscTheCopyInTheTemporaryFolderTakesOverWithTheUsersPreferences) {
    const std::string app = disc_program();
    const std::string prefs = w.prefs() + installer_pref_name;
    write_file(prefs, "A\n9002 version\n_proxy_host proxy.example\n_stream_count 3\n");
    char arg0[] = "volatra_installer";
    char* argv[] = {arg0, nullptr};
    child_result r = run_in_child([&] {
        // As the shell's shut-down does before a hand-over: the preferences are written.
        set_finishup_hook([](int save) {
            if (save) pref.IO_set(11, 1);
        });
        wizard_start(1, argv, app);
    });
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_EQ(read_file(temp() + "volatra_installer"), read_file(app));
    eventually([&] { return path_exists(w.root / "started"); }, hang_seconds, 10000);
    EXPECT_EQ(read_file(w.root / "started"), "started\n");
    // The preferences were read before the hand-over saved them.
    EXPECT_EQ(http.proxy_host, "");
    child_result values = run_in_child([&] {
        pref.IO_set(11, 0);
        std::printf("%s %d\n", http.proxy_host.c_str(), stg.stream_count);
        std::exit(0);
    });
    EXPECT_EQ(values.out, "proxy.example 3\n");
}

TEST_F(Start, AFailedCopyGoesOnFromTheDisc) {
    const std::string app = disc_program();
    write_file(temp() + "volatra_installer/in the way", "");  // a folder where the copy goes
    log_capture log;
    char arg0[] = "volatra_installer";
    char* argv[] = {arg0, nullptr};
    wizard_start(1, argv, app);
    EXPECT_NE(log.text().find("running from the disc"), std::string::npos);
    EXPECT_EQ(log.text().find("Launching:"), std::string::npos);  // nothing half-copied is started
    EXPECT_FALSE(path_exists(w.root / "started"));
    EXPECT_EQ(dvd_path, w.volumes() + "DVD/");
}

TEST_F(Start, ACopyThatCannotStartGoesOnFromTheDisc) {
    const std::string app = disc_program();
    chmod(app.c_str(), 0644);  // copied as it is: no program to start
    log_capture log;
    char arg0[] = "volatra_installer";
    char* argv[] = {arg0, nullptr};
    wizard_start(1, argv, app);
    EXPECT_NE(log.text().find("Could not start the copy " + temp() + "volatra_installer; running from the disc."),
              std::string::npos)
        << log.text();
    EXPECT_TRUE(path_exists(temp() + "volatra_installer"));
    EXPECT_EQ(dvd_path, w.volumes() + "DVD/");
    EXPECT_EQ(install_name, no_install_name);  // and the start goes on
}

// Started in a folder of the disc (reached through the drive's link), the program moves to the
// temporary folder: a folder in use keeps the disc from leaving the drive.
TEST_F(Start, AWorkingFolderOnTheDiscIsLeft) {
    w.disc("DVD", "Volatra 9", "DIR All/\n");
    w.root.write("discs/.keep", "");
    const std::string disc = w.root / "discs/disc 1";
    ASSERT_EQ(rename((w.volumes() + "DVD").c_str(), disc.c_str()), 0);
    ASSERT_EQ(symlink(disc.c_str(), (w.volumes() + "DVD").c_str()), 0);
    char before[4096];
    ASSERT_TRUE(getcwd(before, sizeof before));
    ASSERT_EQ(chdir((disc + "/Volatra 9").c_str()), 0);
    char arg0[] = "volatra_installer";
    char* argv[] = {arg0, nullptr};
    wizard_start(1, argv, "/elsewhere/volatra_installer");
    char now[4096];
    ASSERT_TRUE(getcwd(now, sizeof now));
    EXPECT_EQ(chdir(before), 0);
    EXPECT_EQ(dvd_path, w.volumes() + "DVD/");
    EXPECT_EQ(std::string(now) + "/", temp());
}

TEST_F(Start, TheStandardFoldersAreLoggedAndTheStateTakesItsDefaults) {
    stg.dir_state = 3;
    stg.platform = 3;
    stg.new_format_flag = stg.download_failed = stg.extract_error = 1;
    stg.server_index = 4;
    stg.current_action = 0;
    stg.file_fraction = 0.5f;
    stg.stream_count = 2;
    stg.kb_to_download = stg.kb_to_install = 7;
    log_capture log;
    char arg0[] = "volatra_installer";
    char* argv[] = {arg0, nullptr};
    wizard_start(1, argv, "/elsewhere/volatra_installer");
    std::string app_folder;
    get_OS_abs_path(os_dir_this_app, app_folder);
    const std::string desktop = w.home() + "Desktop/";
    EXPECT_NE(log.text().find("os_dir_this_app\t\t=" + app_folder + "\nos_dir_desktop\t\t=" + desktop +
                              "\nos_dir_default_apps\t=" + desktop + "\nos_dir_temp\t\t\t=" + temp() +
                              "\nos_dir_prefs\t\t\t=" + w.prefs() + "\n\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(stg.dir_state, 0);
    EXPECT_EQ(stg.platform, 1);
    EXPECT_EQ(stg.new_format_flag + stg.download_failed + stg.extract_error, 0);
    EXPECT_EQ(stg.server_index, 0);
    EXPECT_EQ(stg.file_fraction, 0);
    EXPECT_EQ(stg.stream_count, 0);
    EXPECT_EQ(stg.kb_to_download + stg.kb_to_install, 0);
}

TEST_F(Start, AProgramBesideTheDiscIsNotOnIt) {
    disc_program();
    const std::string beside = w.volumes() + "volatra_installer";  // its folder holds the disc's mount point
    write_file(beside, "#!/bin/sh\n", 0755);
    char arg0[] = "volatra_installer";
    char* argv[] = {arg0, nullptr};
    wizard_start(1, argv, beside);
    EXPECT_FALSE(path_exists(temp() + "volatra_installer"));
}

// This test names no support or library unit: like the programs, it holds them only through
// the start-up's call.
TEST_F(Start, TheUnitsNoFlowCallsAreInTheProgramsTables) {
    wizard_register_units();
    std::set<std::string> commands;
    for (UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->next) commands.insert(c->name);
    EXPECT_TRUE(commands.count("Reload Pixel Shaders..."));
    UTL_stat::init_stats();
    auto has_stat = [](UTL_stat_type type, const std::string& name) {
        for (const UTL_stat* s : UTL_stat::stats_of(type))
            if (s->name == name) return true;
        return false;
    };
    EXPECT_TRUE(has_stat(stat_memory, "memory/lazy_pools"));
    EXPECT_TRUE(has_stat(stat_per_frame, "fbo/flush_per_frame"));
}

TEST_F(Start, PathOptionNeedsItsFolder) {
    char a0[] = "volatra_updater", a1[] = "-path", a2[] = "/copy/";
    char* only_option[] = {a0, a1, nullptr};
    cmd_line_path.clear();
    wizard_start(2, only_option, "/elsewhere/volatra_updater");
    EXPECT_EQ(cmd_line_path, "");
    char* both[] = {a0, a1, a2, nullptr};
    wizard_start(3, both, "/elsewhere/volatra_updater");
    EXPECT_EQ(cmd_line_path, "/copy/");
    EXPECT_EQ(install_name, no_install_name);
    EXPECT_EQ(stg.server_count, -1);
    EXPECT_EQ(stg.current_action, 3);
    EXPECT_EQ(temp_path, temp());
}

}  // namespace

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "core/alert.h"
#include "core/wx.h"
#include "install/install_state.h"
#include "net/http.h"
#include "shell/pref.h"
#include "wizard/wizard_frame.h"
#include "wizard/wizard_main.h"
#include "wizard_helpers.h"

namespace {

class Start : public ::testing::Test {
protected:
    wizard_world w;
    std::string temp() const { return w.temp() + "volatra-installer-" + std::to_string(getuid()) + "/"; }
    // The program on a disc: a script that leaves a marker when it runs.
    std::string disc_program() {
        const std::string disc = w.disc("DVD", "Volatra 9", "DIR All/\n");
        const std::string app = disc + "volatra_installer";
        write_file(app, "#!/bin/sh\necho started > '" + w.root / "started" + "'\n", 0755);
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
    for (int i = 0; i < 500 && !path_exists(w.root / "started"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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
    EXPECT_FALSE(path_exists(w.root / "started"));
    EXPECT_EQ(dvd_path, w.volumes() + "DVD/");
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

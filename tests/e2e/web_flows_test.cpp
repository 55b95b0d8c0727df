// The web updater and the web demo as programs: releases of the sample master made by our builder
// and served by the loopback test server (a proxy for made-up mirror names), the programs driven
// by scripted clicks. The updater updates a copy installed from the sample disc set.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "common/test_helpers.h"
#include "core/globals.h"
#include "e2e_session.h"
#include "files/archives.h"
#include "install/checksum.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "net/test_http_server.h"
#include "sample_discs.h"

namespace fs = std::filesystem;

namespace {

const std::string updater = VOLATRA_PROGRAMS_DIR "/volatra_updater";
const std::string webdemo = VOLATRA_PROGRAMS_DIR "/volatra_webdemo";
const std::string web_release = VOLATRA_SOURCE_DIR "/tools/web_release.py";
// The programs install the Mac files (their platform setting), as the copy below does.
constexpr int programs_platform = 1;

// The sample master in two releases (R1, and R2 built against it), made once per test program.
const std::string& sample() {
    static const std::string folder = [] {
        const std::string f = ::testing::TempDir() + "web-sample-" + std::to_string(getpid()) + "/";
        const std::string cmd = "python3 '" + web_release + "' sample --tools '" VOLATRA_TOOLS_DIR "' --out '" + f + "'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return f;
    }();
    return folder;
}

// The manifest of a release, read into sim_info.
void read_release_manifest(const std::string& release, const std::string& temp) {
    std::string name = "directory.txt";
    fs::create_directories(temp);
    ASSERT_EQ(zip_to_file(sample() + "releases/" + release + "/directory.txt.zip", temp, &name, 1), 0);
    ASSERT_EQ(read_directory(temp + "directory.txt", ""), 3);
}

// Installs the R1 disc set into dest as the disc installer's run does: every file of the
// programs' platform and every tile, disc after disc.
void install_sample_copy(const std::string& dest, const std::string& temp) {
    temp_path = temp;
    dest_dir_path = dest;
    stg.platform = programs_platform;
    set_install_filter(1, 1);
    read_release_manifest("R1", temp);
    install_name = build_name[0];
    int cursor = 0;
    float progress = 0;
    while (!checksum_directory(cursor, progress)) usleep(500);
    scenery_take_all();
    ASSERT_EQ(choose_files(), 1);
    ASSERT_EQ(make_dirs(), 0);
    delete_files();
    int disk = 0, r;
    cursor = 0;
    // The copy pool reads dvd_path: it changes only at a disc change, when the pools are idle.
    dvd_path = sample() + "discs R1/disk_0/";
    while ((r = install_files(cursor, disk)) != 1) {
        std::string why;
        ASSERT_NE(r, 3) << install_files_get_error(why) << ": " << why;
        if (r == 2) {
            disk = sim_info[cursor].versions.back().disk;
            dvd_path = sample() + "discs R1/disk_" + std::to_string(disk) + "/";
        }
        usleep(500);
    }
}

// Every current file of the release for the platform (the programs' by default) is in the copy
// with the release's digest (or gone when the release removed it).
void expect_copy_is_release(const std::string& copy, const std::string& release, const std::string& temp,
                            int platform = programs_platform) {
    read_release_manifest(release, temp);
    int checked = 0;
    for (size_t h = 0; h < sim_info.size(); ++h) {
        const file_version_struct& v = sim_info[h].versions.back();
        if (v.platform != 0 && v.platform != platform) continue;
        std::string rel = v.path;
        trim_dest_folder(rel);
        if (v.sig_want == "GONE") {
            // Gone, or a folder now that holds the release's files.
            EXPECT_TRUE(!path_exists(copy + rel) || fs::is_directory(copy + rel)) << rel;
        } else {
            EXPECT_TRUE(fs::is_symlink(copy + rel) || md5sum_of(copy + rel) == v.sig_want) << rel;
            ++checked;
        }
    }
    EXPECT_GT(checked, 20);
}

// The folder "swap" of R1 is R2's file, the file "turn" of R1 a folder holding R2's file.
void expect_swapped(const std::string& copy) {
    const std::string master = sample() + "master R2/All/Resources/";
    EXPECT_TRUE(fs::is_regular_file(copy + "Resources/swap"));
    EXPECT_EQ(read_file(copy + "Resources/swap"), read_file(master + "swap"));
    EXPECT_EQ(read_file(copy + "Resources/turn/inside.dat"), read_file(master + "turn/inside.dat"));
}

// No archive, list or manifest of a run is left anywhere below the session's temporary folder.
void expect_no_leftovers(const std::string& tmp) {
    for (auto& e : fs::recursive_directory_iterator(tmp)) {
        const std::string name = e.path().filename().string();
        EXPECT_FALSE(name.size() == 5 && name[0] >= '0' && name[0] <= '3' && name.substr(1) == ".zip") << e.path();
        EXPECT_NE(name, "directory.txt.zip") << e.path();
    }
}

class WebFlows : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(sample().empty()); }
    // The server's root serves the releases on the mirrors and the list naming them, FINAL final.
    void serve(const std::string& final, const std::string& mirrors) {
        const std::string cmd = "python3 '" + web_release + "' serve --root '" + server.root() + "' --releases '" +
                                sample() + "releases' --final " + final + " --mirrors " + mirrors;
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    }
    // The updater's session with the sample copy installed and recorded in its preferences folder.
    void copy_in(e2e_session& s) {
        copy = s.desktop() + "Volatra 9/";
        install_sample_copy(copy, s.folder() + "install temp/");
        write_file(s.config() + "volatra_install.txt", copy + "\n");
    }
    std::vector<std::string> proxy() {
        return {"--pref:_proxy_host=127.0.0.1", "--pref:_proxy_port_int=" + std::to_string(server.port())};
    }

    test_http_server server{600.0};
    std::string copy;
};

const char update_script[] =
    "wait_log \"WIZARD entered net_start\"\n"
    "shot start.png\n"
    "click 720 23\n"
    "wait_log \"WIZARD entered net_check_disk\" 120\n"
    "shot disk.png\n"
    "click 720 23\n"
    "wait_log \"WIZARD entered net_done\" 240\n"
    "shot done.png\n"
    "click 695 23\n";

TEST_F(WebFlows, UpdaterBringsASampleCopyToTheNextRelease) {
    e2e_session s("web_update");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    copy_in(s);
    const std::string user_file = copy + "Output/my flight.txt";
    write_file(user_file, "mine");
    serve("R2", "mirror1.test,mirror2.test");
    ASSERT_EQ(s.run(updater, proxy(), update_script), 0) << s.report();

    expect_copy_is_release(copy, "R2", s.folder() + "check/");
    EXPECT_TRUE(read_file(copy + "Resources/new stuff/fresh table.dat") ==
                read_file(sample() + "master R2/All/Resources/new stuff/fresh table.dat"));
    EXPECT_FALSE(path_exists(copy + "Resources/old stuff"));  // its files removed, its folders pruned
    expect_swapped(copy);
    EXPECT_EQ(read_file(user_file), "mine");
    EXPECT_TRUE(path_exists(copy + "Global Scenery/-global terrain-/+40-130/+47-123.dsf"));  // R2 has no scenery
    expect_no_leftovers(s.folder() + "tmp/");
    EXPECT_NE(s.log().find("Web update ended.\n"), std::string::npos);

    e2e_image disk, done;
    ASSERT_TRUE(read_png(s.work() + "disk.png", &disk));
    ASSERT_TRUE(read_png(s.work() + "done.png", &done));
    // The server rows of the disk check: two radio buttons at x 30, y 118 and 78.
    EXPECT_FALSE(disk.at(34, 122) == disk.at(34, 100));
}

// The disc road to the same release: the copy repaired with R2's discs.
TEST_F(WebFlows, ARepairWithTheNextReleasesDiscsBringsTheCopyToIt) {
    e2e_session s("disc_repair_r2");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    copy_in(s);
    const sample_set r2{sample() + "master R2", sample() + "discs R2", s.folder() + "volumes"};
    write_file(r2.volumes + "/.keep", "");
    load_changer(r2, {"0"});
    s.set_env("VOLATRA_TEST_VOLUMES", r2.volumes);
    s.set_env("VOLATRA_EJECT_COMMAND", VOLATRA_SOURCE_DIR "/tools/disc_changer.sh");
    ASSERT_EQ(s.run(VOLATRA_PROGRAMS_DIR "/volatra_installer", {},
                    "wait_log \"Disc read:\"\n"
                    "click 500 325\n"  // Repair Volatra, the second choice: R2 has no scenery
                    "wait_log \"WIZARD entered dvd_pick_repair\"\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered dvd_confirm_repair\" 120\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered dvd_done_repair\" 120\n"
                    "click 695 23\n"),
              0)
        << s.report();
    EXPECT_NE(s.log().find("Repair finished with 0 errors"), std::string::npos) << s.log();
    expect_copy_is_release(copy, "R2", s.folder() + "check/");
    expect_swapped(copy);
    EXPECT_FALSE(path_exists(copy + "Resources/old stuff"));
}

TEST_F(WebFlows, UpdaterFailsOverToTheSecondMirror) {
    e2e_session s("web_failover");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    copy_in(s);
    serve("R2", "mirror1.test,mirror2.test");
    server.set_faults(R"({"mirror1.test": {"mode": "status", "status": 404}})");
    ASSERT_EQ(s.run(updater, proxy(), update_script), 0) << s.report();
    expect_copy_is_release(copy, "R2", s.folder() + "check/");
    bool second_used = false;
    for (const std::string& r : server.requests()) second_used = second_used || r.find("mirror2.test/rel/R2/") != std::string::npos;
    EXPECT_TRUE(second_used);
    expect_no_leftovers(s.folder() + "tmp/");
}

TEST_F(WebFlows, BackAndNextDuringAThrottledRunLeaveEveryFileRight) {
    e2e_session s("web_back_next");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    copy_in(s);
    serve("R2", "mirror1.test");
    // A throttled mirror, and one of the two files it sends only half of until the first run is
    // left (a byte a second keeps the transfer alive): the run is surely under way at Back.
    server.set_faults(
        R"({"mirror1.test": {"mode": "throttle", "rate": 2000},
            "mirror1.test/rel/R2/All/Aircraft/General Aviation/Cirrus SR22/SR22.acf.zip": {"mode": "hold", "trickle": 1, "count": 1}})");
    std::vector<std::string> args = proxy();
    args.push_back("--pref:_log_actions=1");
    ASSERT_EQ(s.run(updater, args,
                    "wait_log \"WIZARD entered net_start\"\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered net_check_disk\" 120\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered net_run_patch\"\n"
                    "wait_log \"EXPANDING file " + copy + "Resources/new stuff/fresh table.dat, with result=0.\"\n"
                    "shot run.png\n"
                    "click 600 23\n"
                    "wait_log \"WIZARD entered net_check_disk\"\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered net_done\" 240\n"
                    "click 695 23\n"),
              0)
        << s.report();
    expect_copy_is_release(copy, "R2", s.folder() + "check/");
    expect_no_leftovers(s.folder() + "tmp/");
    e2e_image run;
    ASSERT_TRUE(read_png(s.work() + "run.png", &run));
    EXPECT_FALSE(run.at(245, 155) == run.at(780, 155));  // the bar's fill has begun
}

TEST_F(WebFlows, SettingsOfThePreferencesScreenReachTheDownloadsAndThePreferenceFile) {
    e2e_session s("web_prefs");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    copy_in(s);
    serve("R2", "mirror1.test");
    // The files' answers are held until three are under way at once: however fast or slow the
    // machine, the streams' transfers overlap.
    server.set_faults(R"({"mirror1.test/rel/R2/All/": {"mode": "hold", "together": 3},
                          "mirror1.test/rel/R2/Linux/": {"mode": "hold", "together": 3}})");
    const std::string port = std::to_string(server.port());
    // Sub-window 2 (600 x 380) sits at (100, 110) in the 800 x 600 window.
    const std::string script = "wait_log \"Preferences opened.\"\n"
                               "shot prefs_before.png\n"
                               "click 300 420\n"  // the platform list opens
                               "click 300 399\n"  // Linux, two rows below Macintosh
                               "click 130 379\n"  // logging
                               "click 130 264\n"  // a fixed number of streams
                               "click 505 263\n"  // the count's digit
                               "type 3\n"
                               "click 250 153\n"
                               "type 127.0.0.1\n"
                               "click 250 133\n"
                               "type " + port + "\n"
                               "shot prefs.png\n"
                               "click 112 480\n" +  // the close box

                               std::string(update_script, sizeof update_script - 1 - std::strlen("click 695 23\n")) +
                               "click 500 350\n";  // Fly Volatra Now: a saving hand-over
    EXPECT_EQ(s.run(updater, {"--prefs"}, script), 1) << s.report();

    const std::string log = s.log();
    EXPECT_NE(log.find("Preferences closed: platform 3, logging 1, streams 3, proxy 127.0.0.1 port " + port + ".\n"),
              std::string::npos)
        << log;
    // The proxy: every request came in the proxy's absolute form; there was no other way out.
    const std::vector<std::string> requests = server.requests();
    ASSERT_FALSE(requests.empty());
    bool linux_fetched = false;
    for (const std::string& r : requests) {
        EXPECT_EQ(r.rfind("GET http://", 0), 0u) << r;
        linux_fetched = linux_fetched || r.find("/rel/R2/Linux/") != std::string::npos;
    }
    EXPECT_TRUE(linux_fetched) << "the platform chosen is the one updated";
    expect_copy_is_release(copy, "R2", s.folder() + "check/", 3);
    EXPECT_EQ(server.peak_requests(), 3) << "three streams, fixed";
    EXPECT_NE(log.find("DELETING  file " + copy + "Resources/old stuff/"), std::string::npos) << "logging is on";
    EXPECT_NE(log.find("Launching: "), std::string::npos);

    const std::string prefs = read_file(s.config() + "Volatra Installer.prf");
    const std::vector<std::string> saved = {"_stream_count 3\n", "_log_actions 1\n", "_proxy_host 127.0.0.1\n",
                                            "_proxy_port " + port + "\n", "_proxy_port_int " + port + "\n"};
    for (const std::string& line : saved) EXPECT_NE(prefs.find(line), std::string::npos) << line << prefs;
}

TEST_F(WebFlows, DemoInstallsIntoANewFolderAndItsCancelDeletesOnlyThatFolder) {
    e2e_session s("web_demo");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    serve("R1", "mirror1.test");
    write_file(s.desktop() + "notes.txt", "the user's");
    const std::string demo = s.desktop() + "R1 Demo/";
    // The first run gets only half of one file (and a byte a second of the rest, which keeps the
    // transfer alive) until it is left: it is surely busy at Back.
    server.set_faults(
        R"({"mirror1.test/rel/R1/All/Aircraft/Heavy Metal/B747-400/cockpit/panel.png.zip": {"mode": "hold", "trickle": 1, "count": 1}})");
    std::vector<std::string> args = proxy();
    args.push_back("--pref:_log_actions=1");
    ASSERT_EQ(s.run(webdemo, args,
                    "wait_log \"WIZARD entered demo_start\"\n"
                    "shot welcome.png\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered demo_eula\"\n"
                    "click 232 102\n"
                    "shot eula.png\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered demo_pick_dest\" 120\n"
                    "shot dest.png\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered demo_run_patch\"\n"
                    "wait_log \"EXPANDING file " + demo + "\"\n"  // a file of the new folder is in
                    "click 600 23\n"
                    "wait_log \"WIZARD asks: Are you sure you want to cancel the installation?\"\n"
                    "shot question.png\n"
                    "click 146 253\n"
                    "wait_log \"Cancel: deleted\"\n"
                    "shot cancelled.png\n"
                    "click 720 23\n"
                    "wait_log \"WIZARD entered demo_done\" 240\n"
                    "shot done.png\n"
                    "click 695 23\n"),
              0)
        << s.report();
    EXPECT_NE(s.log().find("Cancel: deleted " + demo + "\n"), std::string::npos) << s.log();
    EXPECT_EQ(read_file(s.desktop() + "notes.txt"), "the user's");
    EXPECT_FALSE(path_exists(s.config() + "volatra_install.txt"));  // the demo is not recorded
    expect_copy_is_release(demo, "R1", s.folder() + "check/");
    EXPECT_TRUE(path_exists(demo + "Global Scenery/-global terrain-/-40+170/-37+174.dsf"));
    expect_no_leftovers(s.folder() + "tmp/");
}

// The about box, which no screen opens, comes first with --about: the server list names a newer
// release, and its update button downloads the new installer, unpacks it into a fresh folder of
// the temporary folder and starts it, which ends the program.
TEST_F(WebFlows, TheAboutBoxFetchesAndStartsANewerInstaller) {
    e2e_session s("about_box");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    server.put_file("update.tessaly.example", "/serverlist9.txt",
                    "A\n820 version\nSERVERS\nFINAL Volatra 9.10r2\nFINAL_VERSION 91002\n"
                    "FINAL_INSTALLER_MAC dl.example /inst/installer.zip\n");
    write_file(s.folder() + "inst/run-me", "#!/bin/sh\necho \"started $*\" > \"$(dirname \"$0\")/launched.txt\"\n", 0755);
    ASSERT_EQ(file_to_zip(s.folder() + "inst/run-me", s.folder() + "inst/installer.zip"), 0);
    server.put_file("dl.example", "/inst/installer.zip", read_file(s.folder() + "inst/installer.zip"));
    std::vector<std::string> args = proxy();
    args.push_back("--about");
    // Sub-window 993 (600 x 300) sits at (100, 150); the update button at (492, 17) in it.
    const int status = s.run(updater, args,
                             "wait_log \"About box: server list read\"\n"
                             "sleep 0.5\n"
                             "shot about.png\n"
                             "click 592 167\n");
    EXPECT_EQ(status, 1) << s.report();  // handed over to the new installer
    const std::string log = s.log();
    EXPECT_NE(log.find("About box: server list read (final 91002, beta -1): the new installer is offered.\n"),
              std::string::npos)
        << log;
    const size_t at = log.find("Launching: " + s.folder() + "tmp/");
    ASSERT_NE(at, std::string::npos) << log;
    const std::string program = log.substr(at + 11, log.find(" with ", at) - at - 11);
    EXPECT_EQ(program.substr(program.rfind('/')), "/run-me");
    const std::string marker = program.substr(0, program.rfind('/')) + "/launched.txt";
    std::string launched;
    for (int i = 0; i < 300 && launched.empty(); ++i) {
        usleep(100000);
        launched = read_file(marker);
    }
    EXPECT_EQ(launched, "started \n");  // no copy folder in this program: no "-path"
    EXPECT_FALSE(path_exists(s.work() + "run-me"));  // nothing from the server in the working folder
    EXPECT_EQ(log.find("WIZARD entered"), std::string::npos);  // the box came first
    e2e_image about;
    ASSERT_TRUE(read_png(s.work() + "about.png", &about));
    EXPECT_FALSE(about.at(592, 167) == about.at(592, 120));  // the button, on the box's panel
    // The dark header stands behind the third white line too (the web address, 65 below the top).
    const e2e_image::px header = about.at(660, 386);
    EXPECT_LT(header.r + header.g + header.b, 200) << header.r << " " << header.g << " " << header.b;
}

// A close request while the about box is up ends the box and then the program, before any
// screen: the window's close with the box idle, the quit event after its download failed. So
// does one while the preferences window, which comes first, is up: the box then never opens; and
// one under the box after the preferences window was closed by its close box.
TEST_F(WebFlows, AskedToEndWhileTheAboutBoxIsUpTheProgramEnds) {
    e2e_session s("about_box_close");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const struct {
        const char* final_version;
        bool prefs;
        std::vector<std::string> order;  // the log's lines, the close among them
        const char* script;
    } runs[] = {{"91001", false, {"About box opened.\n", "WIZARD window closed", "About box closed"},
                 "wait_log \"About box: server list read\"\n"
                 "close\n"},
                // The update button, then the archive is not on the server.
                {"91002", false, {"About box opened.\n", "WIZARD window closed", "About box closed"},
                 "wait_log \"About box: server list read\"\n"
                 "click 592 167\n"
                 "wait_log \"Not Found (#404)\"\n"
                 "quit\n"},
                {"91002", true, {"Preferences opened.\n", "WIZARD window closed", "Preferences closed"},
                 "wait_log \"Preferences opened.\"\n"
                 "close\n"},
                {"91001", true,
                 {"Preferences closed", "About box opened.\n", "WIZARD window closed", "About box closed"},
                 "wait_log \"Preferences opened.\"\n"
                 "click 112 480\n"  // the preferences' close box
                 "wait_log \"About box: server list read\"\n"
                 "close\n"}};
    for (const auto& run : runs) {
        server.put_file("update.tessaly.example", "/serverlist9.txt",
                        std::string("A\n820 version\nSERVERS\nFINAL Volatra 9.10r2\nFINAL_VERSION ") +
                            run.final_version + "\nFINAL_INSTALLER_MAC dl.example /inst/installer.zip\n");
        std::vector<std::string> args = proxy();
        args.push_back("--about");
        if (run.prefs) args.push_back("--prefs");
        ASSERT_EQ(s.run(updater, args, run.script), 0) << run.order[0] << "\n" << s.report();
        const std::string log = s.log();
        expect_in_order(log, run.order);
        EXPECT_NE(log.find("WIZARD window closed: quitting as Quit does.\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("WIZARD entered"), std::string::npos) << log;
        EXPECT_EQ(log.find("About box") == std::string::npos, run.order[0] == "Preferences opened.\n") << log;
    }
}

}  // namespace

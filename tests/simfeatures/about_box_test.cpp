#include "simfeatures/about_box.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <map>

#include "archive_test_helpers.h"
#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/locks_and_queues.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "files/errors.h"
#include "graphics/builtin_images.h"
#include "net/http_client.h"
#include "net/test_http_server.h"
#include "simfeatures/ui_hooks.h"

namespace {

const std::string kHeader = "A\n820 version\nSERVERS\n";
const std::string kNewVersion = "There is a new version of Volatra available! Visit http://www.tessaly.example to "
                                "download the update.";

uint64_t fake_now = 0;
uint64_t fake_clock() { return fake_now; }

class About : public ::testing::Test {
protected:
    // The box's text font; without a GL context its uploads do nothing.
    static void SetUpTestSuite() { OGL_load_builtin_images(); }
    void SetUp() override {
        reset_recorders();
        app_path = dir_.path();
        fake_now = 0;
        xtim_set_clock(fake_clock);
    }
    void TearDown() override {
        app_path = saved_path_;
        xtim_set_clock(nullptr);
        http.proxy_host.clear();
        http.proxy_port = 0;
    }
    about_state read(const std::string& body, bool* ok = nullptr) {
        about_state st;
        write_file(dir_ / "list.txt", body);
        const bool r = about_read_list(st, "list.txt");
        if (ok) *ok = r;
        return st;
    }

    temp_folder dir_;
    std::string saved_path_ = app_path;
    // Outside a copy the box's files go to the private temporary folder: one of the test's own.
    scoped_env tmpdir_{"TMPDIR", (std::filesystem::create_directories(dir_ / "tmp"), dir_ / "tmp")};
};

TEST_F(About, TheListDecidesWhatIsOffered) {
    struct row {
        const char* body;
        int ins_state, is_beta;
        std::string err_msg, status, server, path;
    };
    const std::string up_to_date = "Your version of Volatra is up to date.";
    const row rows[] = {
        {"FINAL Volatra 9.10r1\nFINAL_VERSION 91001\n", 4, 0, up_to_date,
         "The current version of Volatra is now Volatra 9.10r1.", "", ""},
        {"FINAL Volatra 9.10r2\nFINAL_VERSION 91002\nFINAL_INSTALLER_MAC dl.example  /inst/v.zip\n", 1, 0, "",
         "The current version of Volatra is now Volatra 9.10r2.", "dl.example", "/inst/v.zip"},
        {"FINAL_VERSION 91002\nBETA_INSTALLER_MAC b.example /b.zip\nFINAL R2\n", 4, 0, kNewVersion,
         "The current version of Volatra is now R2.", "", ""},
        {"FINAL R\nBETA Beta R\nFINAL_VERSION 91000\nBETA_VERSION +91005\nBETA_INSTALLER_MAC b.example /b.zip\n", 1, 1,
         "", "The current beta version of Volatra is now Beta R.", "b.example", "/b.zip"},
        {"FINAL R\nFINAL_VERSION 91000\n", 4, 0, "You have the latest Volatra beta.",
         "The current version of Volatra is now R.", "", ""},
        {"FINAL Volatra 9.10r1\n", 4, 0, "Can't connect to the net to find latest version.",
         "The current version of Volatra is now Volatra 9.10r1.", "", ""},
        // The last of two lines wins; the whole file is read, server records and all.
        {"FINAL_VERSION 91002\nSERVER a.example\n/p/\nFINAL_VERSION 1\nENDOFLIST\nFINAL X\n  FINAL_VERSION 91001\n",
         4, 0, up_to_date, "The current version of Volatra is now X.", "", ""},
        // Words the HTTP client would end the program on mean no installer location.
        {"FINAL R\nFINAL_VERSION 91002\nFINAL_INSTALLER_MAC evil.example/ /i.zip\n", 4, 0, kNewVersion,
         "The current version of Volatra is now R.", "", ""},
        {"FINAL R\nFINAL_VERSION 91002\nFINAL_INSTALLER_MAC h.example i.zip\n", 4, 0, kNewVersion,
         "The current version of Volatra is now R.", "", ""},
        {"FINAL R\nFINAL_VERSION 91002\nFINAL_INSTALLER_MAC h.example\n", 4, 0, kNewVersion,
         "The current version of Volatra is now R.", "", ""},
        // Keys are whole words in capitals; a number that is no number counts as none read.
        {"final_version 91002\nFINAL_VERSIONS 91002\nFINAL_VERSION 9x\nFINAL R", 4, 0,
         "Can't connect to the net to find latest version.", "The current version of Volatra is now R.", "", ""},
    };
    for (const row& r : rows) {
        bool ok = false;
        const about_state st = read(kHeader + r.body, &ok);
        SCOPED_TRACE(r.body);
        EXPECT_TRUE(ok);
        EXPECT_EQ(st.ins_state, r.ins_state);
        EXPECT_EQ(st.is_beta, r.is_beta);
        EXPECT_EQ(st.is_latest, r.ins_state == 1 || r.err_msg == kNewVersion ? 0 : 1);
        if (r.ins_state == 4) {
            EXPECT_EQ(st.err_msg, r.err_msg);
        }
        EXPECT_EQ(about_status_line(st), r.status);
        EXPECT_EQ(st.installer_server, r.server);
        EXPECT_EQ(st.installer_path, r.path);
    }
    bool ok = true;
    const about_state refused = read("A\n821 version\nSERVERS\nFINAL R\nFINAL_VERSION 91002\n", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(refused.version_str_found, 0);
    EXPECT_EQ(refused.ins_state, 0);
    EXPECT_EQ(about_status_line(refused),
              "I could not connect to the Volatra web site to find out the current version of Volatra.");
    const about_state beta = read(kHeader + "FINAL_VERSION 90000\nBETA_VERSION 91002\n");
    EXPECT_EQ(beta.err_msg,
              "There is a newer beta of Volatra available! Visit http://www.tessaly.example to download the update.");

    EXPECT_EQ(about_progress_text(512, 1024), "Downloading the installer...50% complete");
    EXPECT_EQ(about_progress_text(512, -1), "Downloading the installer...");
    EXPECT_EQ(about_progress_text(0, 0), "Downloading the installer...");
}

TEST_F(About, AFailedFetchWaitsBeforeTheNextTry) {
    test_http_server server;
    server.set_faults(std::string("{\"") + kServerListHost + "\": {\"mode\": \"status\", \"status\": 404}}");
    http.proxy_host = "127.0.0.1";
    http.proxy_port = server.port();
    about_state st;
    auto fetch_until = [&](uint64_t next) {
        eventually([&] {
            about_pass(st);
            return st.next_fetch == next;
        });
        EXPECT_EQ(st.next_fetch, next);
    };
    fetch_until(kAboutRetryMicros);
    for (int i = 0; i < 20; ++i) about_pass(st);
    EXPECT_EQ(server.requests().size(), 1u);  // nothing asked while it waits
    fake_now = kAboutRetryMicros;
    fetch_until(2 * kAboutRetryMicros);
    EXPECT_EQ(server.requests().size(), 2u);
    EXPECT_EQ(st.ins_state, 0);
    EXPECT_EQ(st.version_str_found, 0);
}

// Presses the update button and closes the box once nothing more is going on.
int button_presses = 0;
int press_update(float x, float, float, int, int, std::string label, std::string) {
    if (x != 492) return 0;
    EXPECT_EQ(label, "Update Volatra!");
    ++button_presses;
    return 1;
}
// The box closes once its download has ended, or at the bound that only a hang reaches.
std::chrono::steady_clock::time_point about_opened;
// What a test does at every frame of the box besides.
std::function<void()> also_each_frame;
void frame() {
    if (also_each_frame) also_each_frame();
    if (about_box.ins_state == 4 ||
        std::chrono::steady_clock::now() - about_opened > std::chrono::duration<double>(hang_seconds))
        mnw.curwin = 0;
    UTL_sleep(1);
}

class AboutOnline : public About {
protected:
    void SetUp() override {
        About::SetUp();
        // The program folder is a copy: the box keeps its files there.
        for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"})
            write_file(dir_ / f + "/.keep", "");
        http.proxy_host = "127.0.0.1";
        http.proxy_port = server_.port();
        server_.put_file(kServerListHost, "/serverlist9.txt",
                         kHeader + "FINAL Volatra 9.10r2\nFINAL_VERSION 91002\n"
                                   "FINAL_INSTALLER_MAC dl.example /inst/installer.zip\n");
        about_box = about_state{};
        about_opened = std::chrono::steady_clock::now();
        button_presses = 0;
        old_ui_ = set_sim_ui_hooks({nullptr, frame, nullptr, nullptr, press_update, nullptr, nullptr});
    }
    void TearDown() override {
        also_each_frame = nullptr;
        set_sim_ui_hooks(old_ui_);
        About::TearDown();
    }
    void serve_installer(const std::vector<archive_test::zip_item>& items) {
        archive_test::make_zip(dir_ / "made.zip", items);
        server_.put_file("dl.example", "/inst/installer.zip", read_file(dir_ / "made.zip"));
    }

    test_http_server server_;
    sim_ui_hooks old_ui_{};
};

TEST_F(AboutOnline, TheNewInstallerIsDownloadedUnpackedAndStartedWithThisFolder) {
    archive_test::zip_item run;
    run.name = "run-me";
    run.data = "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/launched.txt\"\n";
    run.external_fa = 0x81ED0000;  // a file, 0755
    serve_installer({run});
    server_.set_faults("{\"dl.example\": {\"mode\": \"no_length\"}}");
    const child_result r = run_in_child([] { MACIBM_about(); });
    EXPECT_EQ(r.exit_code, 1);  // the program hands over and ends
    std::string launched;
    eventually([&] { return !(launched = read_file(dir_ / "launched.txt")).empty(); });
    EXPECT_EQ(launched, "-path " + dir_.path() + "\n");
}

TEST_F(AboutOnline, AnInstallerOutsideTheProgramFolderIsNeitherUnpackedNorStarted) {
    archive_test::zip_item evil;
    evil.name = "../evil";
    evil.data = "#!/bin/sh\ntouch \"$(dirname \"$0\")/launched.txt\"\n";
    evil.external_fa = 0x81ED0000;
    serve_installer({evil});
    // Without a length, and its second half held until the box has shown its line (however
    // slow the machine, the box sees the transfer under way).
    const std::string zip = read_file(dir_ / "made.zip");
    auto held = [&](int released) {
        return "{\"dl.example\": " +
               script_fault({{"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + zip.substr(0, zip.size() / 2),
                              until_released},
                             {zip.substr(zip.size() / 2), 0}},
                            "close", released) +
               "}";
    };
    server_.set_faults(held(0));
    bool released = false;
    also_each_frame = [&] {
        if (released || about_box.progress.empty()) return;
        server_.set_faults(held(1));
        released = true;
    };
    MACIBM_about();
    EXPECT_EQ(mnw.curwin, 0);
    EXPECT_EQ(button_presses, 1);
    EXPECT_EQ(about_box.ins_state, 4);
    EXPECT_EQ(about_box.err_msg, "There was an error unzipping the installer: " + error_str(err_zip_unsafe_path) +
                                     " (20013)");
    // The transfer had no length: the line never showed a percentage.
    EXPECT_EQ(about_box.progress, "Downloading the installer...");
    EXPECT_FALSE(path_exists(dir_ / "../evil"));
    EXPECT_FALSE(path_exists(dir_ / "launched.txt"));

    // A nested first entry is inside the folder but is no program of it.
    also_each_frame = nullptr;
    server_.set_faults("{\"dl.example\": {\"mode\": \"no_length\"}}");
    about_box = about_state{};
    write_file(dir_ / "a/.keep", "");
    archive_test::zip_item nested;
    nested.name = "a/b";
    serve_installer({nested});
    MACIBM_about();
    EXPECT_EQ(about_box.ins_state, 4);
    EXPECT_EQ(about_box.err_msg, "There was an error unzipping the installer: " + error_str(err_zip_unsafe_path) +
                                     " (20013)");
    EXPECT_FALSE(path_exists(dir_ / "a/b"));  // refused before anything was written
    EXPECT_TRUE(recorded_urls().empty());
}

// A script that writes its arguments beside itself, the program of the test's installers.
archive_test::zip_item run_me(const std::string& name = "run-me") {
    archive_test::zip_item run;
    run.name = name;
    run.data = "#!/bin/sh\necho \"$@\" > \"$(dirname \"$0\")/launched.txt\"\n";
    run.external_fa = 0x81ED0000;  // a file, 0755
    return run;
}

// Every file below folder with its contents, for comparing a folder before and after.
std::map<std::string, std::string> tree(const std::string& folder) {
    std::map<std::string, std::string> out;
    for (auto& e : std::filesystem::recursive_directory_iterator(folder))
        out[e.path().string()] = e.is_regular_file() ? read_file(e.path().string()) : "<folder>";
    return out;
}

// Started from a working folder that is the user's home, with no copy at app_path: the list, the
// archive and the installer go to a fresh folder of the private temporary folder; an archive
// with entries beside its program (the user's .profile, an autostart file) is refused whole.
TEST_F(AboutOnline, OutsideACopyNothingLandsInTheWorkingFolder) {
    const std::string home = dir_ / "home/", tmp = dir_ / "tmp/";
    write_file(home + ".profile", "# the user's own\n");
    write_file(home + ".config/autostart/.keep", "");
    const auto home_before = tree(home);
    auto open_box = [&] {
        return run_in_child([&] {
            if (chdir(home.c_str()) != 0) return;
            app_path.clear();
            MACIBM_about();
            std::printf("%d|%s", about_box.ins_state, about_box.err_msg.c_str());
        });
    };

    archive_test::zip_item profile{".profile", "planted\n"},
        autostart{".config/autostart/x.desktop", "[Desktop]\n"};
    serve_installer({run_me(), profile, autostart});
    child_result r = open_box();
    EXPECT_EQ(r.exit_code, child_returned);
    EXPECT_EQ(r.out,
              "4|There was an error unzipping the installer: " + error_str(err_zip_unsafe_path) + " (20013)");
    EXPECT_EQ(tree(home), home_before);

    // A good archive: unpacked and started from the temporary folder, with no copy to name.
    serve_installer({run_me()});
    r = open_box();
    EXPECT_EQ(r.exit_code, 1);
    std::string launched;
    eventually([&] {
        for (auto& e : std::filesystem::recursive_directory_iterator(tmp))
            if (e.path().filename() == "launched.txt") launched = e.path().string();
        return !launched.empty();
    });
    ASSERT_FALSE(launched.empty());
    const std::string box_folder = launched.substr(0, launched.rfind('/') + 1);
    EXPECT_EQ(box_folder.rfind(tmp + "volatra-installer-" + std::to_string(getuid()) + "/about-", 0), 0u)
        << box_folder;
    eventually([&] { return !read_file(launched).empty(); });
    EXPECT_EQ(read_file(launched), "\n");  // no "-path"
    EXPECT_TRUE(path_exists(box_folder + "serverlist9.txt"));
    EXPECT_TRUE(path_exists(box_folder + "installer.zip"));
    EXPECT_EQ(tree(home), home_before);
}

TEST(AboutInstallerArchive, OnlyTheFirstEntryAndWhatLiesInsideIt) {
    using names = std::vector<std::string>;
    const struct {
        names entries;
        const char* want;
    } rows[] = {
        {{"run-me"}, "run-me"},
        {{"Inst.app/", "Inst.app/Contents/", "Inst.app/Contents/MacOS/run", "__MACOSX/",
          "__MACOSX/Inst.app/Contents/._Info.plist", "__MACOSX/._Inst.app"},
         "Inst.app"},
        {{"run-me", ".profile"}, ""},
        {{"Inst.app/", ".config/autostart/x.desktop"}, ""},
        {{"Inst.app/", "Inst.app/../.profile"}, ""},
        {{"Inst.app/", "Inst.appx/x"}, ""},
        {{"Inst.app/", "__MACOSX/._other"}, ""},
        {{"Inst.app/", "__MACOSX/other/._x"}, ""},
        {{"a/b"}, ""},
        {{"../evil"}, ""},
        {{"."}, ""},
        {{"/abs"}, ""},
        {{"__MACOSX/"}, ""},
        {{}, ""},
    };
    for (const auto& r : rows) {
        std::string all;
        for (const std::string& n : r.entries) all += n + " ";
        EXPECT_EQ(about_installer_entry(r.entries), r.want) << all;
    }
}

// Servers that never stop sending: the list is cut off at its cap and fetched again later; an
// installer announced past its cap fails at once. Neither leaves a file.
TEST_F(AboutOnline, EndlessDownloadsAreCutOffAtTheirCaps) {
    server_.set_faults(std::string("{\"") + kServerListHost + "\": {\"mode\": \"endless\"}}");
    about_state st;
    eventually([&] {
        about_pass(st);
        return st.next_fetch != 0;
    });
    EXPECT_EQ(st.next_fetch, kAboutRetryMicros);
    EXPECT_EQ(http.last_failure(0).os_err, EFBIG);
    EXPECT_FALSE(path_exists(dir_ / "Resources/preferences/serverlist9.txt"));

    server_.set_faults("{\"dl.example\": {\"mode\": \"endless\", \"framing\": \"length\"}}");
    MACIBM_about();
    EXPECT_EQ(about_box.ins_state, 4);
    EXPECT_EQ(about_box.err_msg, "I was unable to download the installer from the net.");
    EXPECT_EQ(http.last_failure(1).os_err, EFBIG);
    EXPECT_FALSE(path_exists(dir_ / "Resources/preferences/installer.zip"));
}

TEST_F(AboutOnline, AFailedDownloadIsTheEndAndALaterListDoesNotCallItOff) {
    server_.set_faults("{\"dl.example\": {\"mode\": \"status\", \"status\": 404}}");
    MACIBM_about();
    EXPECT_EQ(about_box.ins_state, 4);
    EXPECT_EQ(about_box.err_msg, "I was unable to download the installer from the net.");
    // A list read while the download runs leaves the download alone.
    about_state st;
    st.ins_state = 2;
    write_file(dir_ / "list.txt", kHeader + "FINAL R\nFINAL_VERSION 91001\n");
    ASSERT_TRUE(about_read_list(st, "list.txt"));
    EXPECT_EQ(st.ins_state, 2);
    EXPECT_EQ(st.version_str_net, "R");
}

}  // namespace

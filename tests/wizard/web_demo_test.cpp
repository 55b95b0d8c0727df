// The web demo's screens against the loopback server: an install into a new folder that is not
// recorded, Back from the run with its question and the cancelled copy's deletion under its
// lock, and the parent folder chosen.
#include "wizard/web_demo.h"

#include <gtest/gtest.h>

#include "common/recorders.h"
#include "core/globals.h"
#include "core/time_keeper.h"
#include "install/disc_pipeline.h"
#include "install/install_state.h"
#include "net/http_client.h"
#include "platform/plat_strings.h"
#include "web_helpers.h"
#include "wizard/copies.h"
#include "wizard/dvd_install.h"
#include "wizard_helpers.h"

namespace {

const char mirror[] = "mirror1.test";
const char tile_path[] = "All/Global Scenery/-global terrain-/+40-130/+47-123.dsf";
int answer = 0;
int questions = 0;
int answer_question(std::string, std::string, std::string, std::string, std::string) {
    ++questions;
    return answer;
}

// Lines of vertices as a tile's mesh holds them: numbers of a few digits each, which deflate
// shrinks to about a third.
std::string mesh_text(size_t n) {
    std::string s;
    uint32_t x = 12345;
    auto digits = [&](int count) {
        std::string d;
        for (int i = 0; i < count; ++i) {
            x = x * 1103515245u + 12345u;
            d += static_cast<char>('0' + (x >> 16) % 10);
        }
        return d;
    };
    while (s.size() < n) s += "VT 47." + digits(6) + " -122." + digits(6) + " " + digits(3) + "." + digits(1) + "\n";
    return s;
}

class WebDemo : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        web_ = new web_server();
        std::vector<web_file> files;
        for (int i = 0; i < 6; ++i) {
            std::string data(20000, '\0');
            for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<char>((k * 7919 + i * 104729) >> 3 ^ k);
            files.push_back({"All/Resources/part " + std::to_string(i) + ".dat", data});
        }
        // A tile of 1.5 MB of mesh text: its zip is far larger than the disc's .7z the manifest
        // gives the size of.
        files.push_back({tile_path, mesh_text(1500000), false, {}, 374000});
        files_ = new std::vector<web_file>(files);
    }
    static void TearDownTestSuite() {
        delete web_;
        delete files_;
    }
    void SetUp() override {
        web_->http_server().clear();
        web_->server_list("Demo 9", {mirror});
        web_->publish("Demo 9", *files_, {mirror});
        reset_recorders();
        xtim.real_time = 100;
        g_wizard = nullptr;
        wizard_frame();
        app_done = 0;
        saved_question_ = g_abort_alert;
        g_abort_alert = answer_question;
        questions = 0;
    }
    void TearDown() override {
        g_abort_alert = saved_question_;
        g_wizard = nullptr;
        wizard_frame();
        app_done = 0;
    }
    // From the welcome over the licence to the target screen.
    void run_until(screen_fn target) {
        if (!g_wizard) g_wizard = demo_start;
        ASSERT_TRUE(frames_while_not([&] {
            if (g_wizard == target) return true;
            if (g_wizard == demo_eula && !accept_eula_demo) wizard_frame(232, 102, true);  // the box
            if (g_wizard == demo_start || g_wizard == demo_eula || g_wizard == demo_pick_dest)
                wizard_frame(720, 20, true);
            return false;
        })) << "stuck at " << wizard_screen_name(g_wizard) << "\n"
            << log.text();
    }
    std::string desktop() { return w.home() + "Desktop/"; }

    wizard_world w;
    log_capture log;
    paint_recorder paint;
    abort_alert_fn saved_question_ = nullptr;
    static web_server* web_;
    static std::vector<web_file>* files_;
};
web_server* WebDemo::web_ = nullptr;
std::vector<web_file>* WebDemo::files_ = nullptr;

TEST_F(WebDemo, InstallsEveryFileIntoANewFolderThatIsNotRecorded) {
    write_file(desktop() + "other/keep.txt", "keep");
    // The served zip of the tile is larger than the archive size the manifest gives it.
    EXPECT_GT(read_file(web_->http_server().root() + mirror + "/rel/Demo 9/" + tile_path + ".zip").size(), 375000u);
    run_until(demo_done);
    const std::string copy = desktop() + "Demo 9 Demo/";
    EXPECT_EQ(dest_dir_path, copy);
    for (const web_file& f : *files_) EXPECT_TRUE(read_file(copy + f.path.substr(4)) == f.content) << f.path;
    EXPECT_FALSE(path_exists(w.prefs() + copies_record_name));
    EXPECT_EQ(read_file(desktop() + "other/keep.txt"), "keep");
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "I have finished installing the Volatra 9 web demo at: " + copy + "."));
    EXPECT_TRUE(drawn_text(paint, "Fly Volatra 9 Now"));
    for (int s = 2; s < 6; ++s) EXPECT_EQ(http.slot(s), nullptr);
}

// A file that could not be put in place is the demo's only trouble (here the release puts a
// folder where it also puts a file): its alert speaks of the installation, and the finish screen
// says so and offers no flight. A second run in the session, with nothing in the way, starts from
// no files left out and finishes clean.
TEST_F(WebDemo, AFileLeftOutAloneIsAProblem) {
    web_->publish("Demo 9", {{"All/Resources/x", "a file"}, {"All/Resources/x/y.dat", "below it"}}, {mirror});
    run_until(demo_done);
    EXPECT_EQ(stg.place_errors + stg.extract_error, 1);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_TRUE(
        plat::ends_with(recorded_alerts()[0].line1, ".  The installation goes on with the other files."))
        << recorded_alerts()[0].line1;
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(
        drawn_text(paint, "There were problem installing the Volatra 9 web demo - it may not be usable."));
    EXPECT_FALSE(drawn_text(paint, "Fly Volatra 9 Now"));

    // The release mended; the manifest is read anew.
    remove_tree(desktop() + "Demo 9 Demo");
    web_->publish("Demo 9", *files_, {mirror});
    stg.dir_state = 0;
    g_wizard = nullptr;
    run_until(demo_done);
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(
        paint, "I have finished installing the Volatra 9 web demo at: " + desktop() + "Demo 9 Demo/."))
        << log.text();
    EXPECT_TRUE(drawn_text(paint, "Fly Volatra 9 Now"));
}

TEST_F(WebDemo, BackFromTheRunAsksThenContinuesOrDeletesOnlyTheNewFolder) {
    // The server holds part 3 back: the run cannot end before the questions.
    web_->faults(R"({"mirror1.test/rel/Demo 9/All/Resources/part 3.dat.zip": {"mode": "hold"}})");
    run_until(demo_pick_dest);
    // The name field's text decides the folder; the default is the release's name with " Demo".
    const std::string copy = desktop() + "Demo 9 Demo/";
    write_file(desktop() + "beside.txt", "the user's");
    run_until(demo_run_patch);
    ASSERT_TRUE(frames_while_not([] { return next.cursor >= 4; })) << log.text();
    const int cursor = next.cursor;
    answer = 0;  // Continue
    wizard_frame(600, 20, true);
    wizard_frame();
    wizard_frame();
    EXPECT_EQ(questions, 1);
    EXPECT_EQ(g_wizard, demo_run_patch);
    EXPECT_EQ(demo_install_is_running, 1);
    EXPECT_GE(next.cursor, cursor);  // going on, not started again

    answer = 1;  // Cancel
    wizard_frame(600, 20, true);
    wizard_frame();
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(g_wizard, demo_pick_dest);
    EXPECT_EQ(demo_install_is_running, 0);
    EXPECT_FALSE(path_exists(copy));
    EXPECT_EQ(read_file(desktop() + "beside.txt"), "the user's");
    for (int s = 2; s < 6; ++s) EXPECT_EQ(http.slot(s), nullptr);

    // A question closed without a button keeps the user's files: the run started afresh goes on
    // and completes.
    web_->faults(R"({"mirror1.test/rel/Demo 9/All/Resources/part 5.dat.zip": {"mode": "hold"}})");
    run_until(demo_run_patch);
    ASSERT_TRUE(frames_while_not([] { return next.cursor >= 6; }));
    answer = 3;
    wizard_frame(600, 20, true);
    wizard_frame();
    EXPECT_EQ(questions, 3);
    EXPECT_EQ(g_wizard, demo_run_patch);
    EXPECT_EQ(demo_install_is_running, 1);
    EXPECT_TRUE(path_exists(copy));
    web_->faults("{}");
    run_until(demo_done);
    for (const web_file& f : *files_) EXPECT_TRUE(read_file(copy + f.path.substr(4)) == f.content) << f.path;
}

// Cancel stops the run's streams but keeps the copy's lock until its files have gone, so no
// other program starts work on files being deleted.
TEST_F(WebDemo, CancelDeletesTheCopyBeforeGivingUpItsLock) {
    web_->faults(R"({"mirror1.test/rel/Demo 9/All/Resources/part 3.dat.zip": {"mode": "hold"}})");
    run_until(demo_run_patch);
    const std::string copy = desktop() + "Demo 9 Demo/";
    ASSERT_TRUE(frames_while_not([] { return next.cursor >= 4; })) << log.text();
    answer = 1;  // Cancel
    const deletion_watch watch(copy);
    wizard_frame(600, 20, true);
    wizard_frame();
    EXPECT_EQ(g_wizard, demo_pick_dest);
    EXPECT_GT(watch.in_copy(), 0);
    EXPECT_EQ(watch.unlocked(), 0);
    EXPECT_FALSE(path_exists(copy));
}

TEST_F(WebDemo, TheParentChosenAndWhatIsAlreadyThere) {
    run_until(demo_pick_dest);
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "(The folder Demo 9 Demo will appear on your desktop.)"));
    EXPECT_TRUE(drawn_text(paint, "You have enough free disk space to install the Volatra9  demo at this location."));

    scoped_env path("PATH", std::string(VOLATRA_TEST_DATA "/standins:") + getenv("PATH"));
    scoped_env chosen("STANDIN_ANSWER", "/");
    wizard_frame(300, 203, true);  // Change Destination
    EXPECT_EQ(dest_dir_path, "/Demo 9 Demo/");
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "I will create the folder 'Demo 9 Demo' in the directory '/'."));

    scoped_env back("STANDIN_ANSWER", desktop());
    write_file(desktop() + "Demo 9 Demo/mine.txt", "mine");
    wizard_frame(300, 203, true);
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "The folder 'Demo 9 Demo' already exists in the dir '" + desktop() + "'."));
    wizard_frame(720, 20, true);
    EXPECT_EQ(g_wizard, demo_pick_dest);
}

}  // namespace

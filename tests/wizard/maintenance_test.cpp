// The maintenance flows headless: a copy and a one-disc set made here, the real checksum pass and
// disc pipeline, the engine's two questions answered by recorders.
#include "wizard/maintenance.h"

#include <gtest/gtest.h>

#include <deque>

#include "common/recorders.h"
#include "core/globals.h"
#include "engine_helpers.h"
#include "files/errors.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "platform/plat_paths.h"
#include "wizard/copies.h"
#include "wizard/copy_lock.h"
#include "wizard/dvd_install.h"
#include "wizard/start_copy.h"
#include "wizard/wizard_frame.h"
#include "wizard_helpers.h"

namespace {

const std::string tile_data = "tile +40-120";
const std::string tile = "Global Scenery/-global terrain-/+40-120/+40-120.dsf";
// A second file of the same tile.
const std::string overlay = "Global Scenery/-global overlays-/+40-120/+40-120.dsf";

std::string manifest_body() {
    return "DIR All/Resources/\n"
           "FILE 0 0 91001 1 3 " + std::string(md5_abc) + " a.txt\n"
           "FILE 0 0 91001 1 3 " + md5_of("def") + " b.txt\n"
           "FILE 0 0 91001 1 1 " + md5_of("obsolete") + " old.txt\n"
           "FILE 0 0 91002 0 0 GONE old.txt\n"
           "DIR All/Global Scenery/-global terrain-/+40-120/\n"
           "FILE 0 0 91001 1 1 " + md5_of(tile_data) + " +40-120.dsf\n"
           "DIR All/Global Scenery/-global overlays-/+40-120/\n"
           "FILE 0 0 91001 1 1 " + md5_of("overlay") + " +40-120.dsf\n";
}

// The answers the questions give, in order; each question asked is recorded.
std::deque<int> abort_answers, select_answers;
std::vector<std::string> asked;
int answer_abort(std::string question, std::string, std::string, std::string, std::string) {
    asked.push_back(question);
    int a = abort_answers.empty() ? 0 : abort_answers.front();
    if (!abort_answers.empty()) abort_answers.pop_front();
    return a;
}
int answer_select(std::string path, int) {
    asked.push_back(path);
    int a = select_answers.empty() ? 3 : select_answers.front();
    if (!select_answers.empty()) select_answers.pop_front();
    return a;
}

class Maintenance : public ::testing::Test {
protected:
    void SetUp() override {
        g_wizard = nullptr;
        wizard_frame();
        abort_answers.clear();
        select_answers.clear();
        asked.clear();
        g_abort_alert = answer_abort;
        g_select_alert = answer_select;
        const std::string disc = w.disc("DVD", "Volatra 9", manifest_body());
        put_zip(disc + "Volatra 9/All/Resources/a.txt.zip", "a.txt", "abc");
        put_zip(disc + "Volatra 9/All/Resources/b.txt.zip", "b.txt", "def");
        put_7z(disc + "Volatra 9/All/" + tile + ".7z", {{"+40-120.dsf", tile_data}});
        put_7z(disc + "Volatra 9/All/" + overlay + ".7z", {{"+40-120.dsf", "overlay"}});
        copy = make_copy("apps/Volatra 9/");
        dest_dir_path = copy;
        register_new_volatra();
    }
    void TearDown() override {
        install_files_kill();
        g_abort_alert = nullptr;
        g_select_alert = nullptr;
        scenery_install_is_running = repair_is_running = 0;
        app_done = 0;
    }
    // An installed copy: the four folders, both files and the tile.
    std::string make_copy(const std::string& rel) {
        const std::string c = w.root / rel;
        for (const char* sub : {"Airfoils/", "Instructions/", "Output/"}) write_file(c + sub + ".keep", "");
        write_file(c + "Resources/a.txt", "abc");
        write_file(c + "Resources/b.txt", "def");
        write_file(c + tile, tile_data);
        write_file(c + overlay, "overlay");
        return c;
    }
    // Frames until target is the current screen; false when it never is.
    bool until(screen_fn target, int max = 400) {
        for (int i = 0; i < max && g_wizard != target; ++i) wizard_frame();
        return g_wizard == target;
    }
    // From the start screen's menu, choice i, to the flow's pick screen.
    void menu_choice(int i, screen_fn pick) {
        g_wizard = dvd_start;
        ASSERT_TRUE(until(dvd_start));
        wizard_frame();
        ASSERT_TRUE(drawn_text(paint, "What would you like to do?"));
        wizard_frame(500, 350 - 25.0f * i, true);
        ASSERT_EQ(g_wizard, pick);
    }
    // From the menu's choice i over the pick screen and the scan to the flow's map or
    // confirmation, drawn once.
    void to_the_choice(int i, screen_fn pick, screen_fn choose) {
        menu_choice(i, pick);
        wizard_frame();
        next();
        ASSERT_TRUE(until(choose));
        wizard_frame();
    }
    // Next into the run, through to the finish screen, drawn afresh.
    void run_to(screen_fn done) {
        next();
        ASSERT_TRUE(until(done));
        paint.clear();
        wizard_frame();
    }
    void next() { wizard_frame(720, 20, true); }
    void back() { wizard_frame(600, 20, true); }

    wizard_world w;
    paint_recorder paint;
    std::string copy;
};

TEST_F(Maintenance, SceneryRemovesADeselectedTileThenAddsItBack) {
    remove_tree(copy + "Resources/a.txt");  // not scenery: left as it is
    menu_choice(1, dvd_pick_scenery);
    wizard_frame();
    // The one copy is chosen without a click.
    EXPECT_EQ(dest_dir_path, copy);
    EXPECT_EQ(step_names, (std::vector<std::string>{"Welcome", "Select Volatra", "Scan Existing Scenery",
                                                    "Select New Scenery", "Install Scenery", "Finish"}));
    EXPECT_TRUE(drawn_text(paint, "Please pick which copy of Volatra 9 you would like to add scenery to."));
    EXPECT_FALSE(drawn_text(paint, "more than one copy"));
    stg.num_to_add = stg.num_to_remove = -1;
    next();
    ASSERT_TRUE(until(dvd_edit_scenery));
    wizard_frame();
    EXPECT_EQ(stg.tile_selected[6][13], 1);  // installed, so chosen
    EXPECT_EQ(stg.num_to_add, 0);             // counted on entry
    EXPECT_EQ(stg.num_to_remove, 0);

    // A click on the tile deselects it; the run deletes its file, and only that.
    wizard_frame(248 + 14 * 6 + 7, 150 + 14 * 13 + 7, true);
    wizard_frame();
    EXPECT_EQ(stg.num_to_remove, 2);
    next();
    ASSERT_TRUE(until(dvd_done_scenery));
    paint.clear();
    wizard_frame();
    EXPECT_FALSE(path_exists(copy + tile));
    EXPECT_FALSE(path_exists(copy + overlay));
    EXPECT_EQ(read_file(copy + "Resources/b.txt"), "def");
    EXPECT_TRUE(drawn_text(paint, "I have successfully removed scenery to match your choices on the map."));
    EXPECT_TRUE(drawn_text(paint, "Run Volatra Now"));

    // Back to the menu and again: the map starts from the copy's state, and the tile comes back.
    back();
    menu_choice(1, dvd_pick_scenery);
    wizard_frame();
    next();
    ASSERT_TRUE(until(dvd_edit_scenery));
    wizard_frame();
    EXPECT_EQ(stg.tile_selected[6][13], 0);
    wizard_frame(248 + 14 * 6 + 7, 150 + 14 * 13 + 7, true);
    wizard_frame();
    next();
    ASSERT_TRUE(until(dvd_done_scenery));
    paint.clear();
    wizard_frame();
    EXPECT_EQ(read_file(copy + tile), tile_data);
    EXPECT_EQ(read_file(copy + overlay), "overlay");
    EXPECT_TRUE(drawn_text(paint, "I have successfully installed more scenery"));
    EXPECT_TRUE(asked.empty());
    EXPECT_FALSE(path_exists(copy + "Resources/a.txt"));

}

TEST_F(Maintenance, ASecondCopyAfterTheSceneryFlowTakesEveryTileAgain) {
    menu_choice(3, dvd_pick_install);
    wizard_frame();
    wizard_frame();
    ASSERT_EQ(stg.tile_selected[6][13], 1);
    // The scenery flow marks the copy's files and leaves the tile off.
    menu_choice(1, dvd_pick_scenery);
    wizard_frame();
    next();
    ASSERT_TRUE(until(dvd_edit_scenery));
    wizard_frame();
    wizard_frame(248 + 14 * 6 + 7, 150 + 14 * 13 + 7, true);
    wizard_frame();
    ASSERT_EQ(stg.tile_selected[6][13], 0);
    menu_choice(3, dvd_pick_install);
    wizard_frame();
    wizard_frame();
    EXPECT_EQ(stg.tile_selected[6][13], 1);
}

TEST_F(Maintenance, FailedFilesAreCountedAndClosingTheQuestionStopsTheRun) {
    for (const std::string& f : {tile, overlay}) {
        write_file(w.volumes() + "DVD/Volatra 9/All/" + f + ".7z", "not an archive");
        remove_tree(copy + f);
    }
    // Continue: the run goes on to the second failure (answered Continue again); Stop, and the
    // question closed without a button (nothing is deleted either way): it ends at the first, and
    // the second, queued already, fails as the stop lets it finish. Both count either way.
    for (int answer : {0, 3, 1}) {
        menu_choice(1, dvd_pick_scenery);
        wizard_frame();
        next();
        ASSERT_TRUE(until(dvd_edit_scenery));
        wizard_frame(470 + 50, 120 + 10, true);  // select all
        wizard_frame();
        asked.clear();
        abort_answers = {answer, 0};
        next();
        ASSERT_TRUE(until(dvd_done_scenery)) << answer;
        ASSERT_EQ(asked.size(), answer == 0 ? 2u : 1u);
        EXPECT_EQ(asked[0].rfind("An error occurred during scenery installation:\n\n", 0), 0u) << asked[0];
        paint.clear();
        wizard_frame();
        EXPECT_EQ(num_install_errors, 2) << answer;
        EXPECT_TRUE(drawn_text(paint, "There were errors while installing more your scenery;")) << answer;
        EXPECT_FALSE(drawn_text(paint, "Run Volatra Now"));
        EXPECT_EQ(scenery_install_is_running, 0);
    }
    // The repair stopped at the first of its two broken archives.
    for (const char* f : {"a.txt", "b.txt"}) {
        write_file(w.volumes() + "DVD/Volatra 9/All/Resources/" + f + ".zip", "not an archive");
        remove_tree(copy + "Resources/" + f);
    }
    back();
    to_the_choice(2, dvd_pick_repair, dvd_confirm_repair);
    abort_answers = {1};
    log_capture log;
    run_to(dvd_done_repair);
    EXPECT_NE(log.text().find("Repair finished with 2 errors\n"), std::string::npos) << log.text();
    EXPECT_TRUE(drawn_text(paint, "There were errors during the repair;"));
}

// A file that refuses to go (here a folder holding a file stands where the scan found the file,
// which no user's rights can delete) is a failed file: the finish screens take their error text.
TEST_F(Maintenance, AFileThatCannotBeDeletedIsAFailedFile) {
    auto stuck = [&](const std::string& rel) {
        remove_tree(copy + rel);
        write_file(copy + rel + "/mine", "x");
    };
    to_the_choice(1, dvd_pick_scenery, dvd_edit_scenery);
    wizard_frame(248 + 14 * 6 + 7, 150 + 14 * 13 + 7, true);  // the tile off
    wizard_frame();
    stuck(tile);
    run_to(dvd_done_scenery);
    EXPECT_EQ(num_install_errors, 1);
    EXPECT_TRUE(drawn_text(paint, "There were errors while removing your scenery;"));
    EXPECT_FALSE(path_exists(copy + overlay));
    EXPECT_EQ(read_file(copy + tile + "/mine"), "x");

    // The repair's removal of a file the release dropped.
    write_file(copy + "Resources/old.txt", "obsolete");
    back();
    to_the_choice(2, dvd_pick_repair, dvd_confirm_repair);
    stuck("Resources/old.txt");
    run_to(dvd_done_repair);
    EXPECT_EQ(num_install_errors, 1);
    EXPECT_TRUE(drawn_text(paint, "There were errors during the repair;"));
}

// A file of the user's where the release has a folder of files is asked about once: Continue leaves
// out every file below it, each a failed file, and the repair goes on with the rest; Stop ends it
// there, its files failed too, nothing else installed, and frees the copy. The file stays either way.
TEST_F(Maintenance, AnItemInTheWayOfSeveralFilesIsAskedAboutOnce) {
    const std::string disc =
        w.disc("DVD", "Volatra 9",
               manifest_body() + "DIR All/Instructions/\nFILE 0 0 91001 1 1 " + md5_of("c") + " c.txt\n" +
                   "DIR All/Weapons/\nFILE 0 0 91001 1 1 " + md5_of("w") + " w.txt\n");
    put_zip(disc + "Volatra 9/All/Instructions/c.txt.zip", "c.txt", "c");
    remove_tree(copy + "Resources");
    write_file(copy + "Resources", "the user's");
    write_file(copy + "Weapons", "the user's too");
    // Stop at the first of two items ends the run there: the second is never asked about.
    for (int answer : {1, 0}) {
        to_the_choice(2, dvd_pick_repair, dvd_confirm_repair);
        asked.clear();
        abort_answers = {answer, answer};
        log_capture log;
        run_to(dvd_done_repair);
        ASSERT_EQ(asked.size(), answer == 0 ? 2u : 1u) << log.text();
        EXPECT_EQ(asked[0],
                  "An error occurred during the repair:\n\nSomething of yours stands at " + copy +
                      "Resources, where the release puts files, so 2 files that go there are left out. (" +
                      error_str(ENOTDIR) +
                      ")\n\nVolatra may not be usable until you are able to repair the "
                      "sim without errors.");
        const std::string errors = answer == 0 ? "3 errors" : "2 errors";
        EXPECT_NE(log.text().find("Repair finished with " + errors + "\n"), std::string::npos) << log.text();
        EXPECT_EQ(read_file(copy + "Resources"), "the user's");
        EXPECT_EQ(path_exists(copy + "Instructions/c.txt"), answer == 0);
        EXPECT_EQ(repair_is_running, 0);
    }
}

// What a user may delete by hand (here the Output folder) leaves a copy that the start screen
// still offers, and the repair makes the folder again.
TEST_F(Maintenance, ACopyThatLostAFolderIsOfferedAndTheRepairMakesItAgain) {
    remove_tree(copy + "Output");
    to_the_choice(2, dvd_pick_repair, dvd_confirm_repair);
    EXPECT_EQ(dest_dir_path, copy);
    run_to(dvd_done_repair);
    EXPECT_TRUE(path_exists(copy + "Output/logbooks"));
    EXPECT_EQ(num_install_errors, 0);
}

// A run holds the copy: while another program's run does, the repair is told so and waits.
TEST_F(Maintenance, ACopyInUseByAnotherProgramIsNotRepairedUntilItIsFree) {
    int other = -1;
    ASSERT_EQ(plat::lock_file(copy + copy_lock_name, &other), 0);
    remove_tree(copy + "Resources/a.txt");
    to_the_choice(2, dvd_pick_repair, dvd_confirm_repair);
    reset_recorders();
    next();
    wizard_frame();
    wizard_frame();
    EXPECT_EQ(g_wizard, dvd_confirm_repair);
    EXPECT_EQ(repair_is_running, 0);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line2, copy);
    EXPECT_FALSE(path_exists(copy + "Resources/a.txt"));

    // Free again: the repair runs, holding the copy until it ends.
    plat::unlock_file(copy + copy_lock_name, other);
    next();
    wizard_frame();
    ASSERT_EQ(g_wizard, dvd_install_repair);
    EXPECT_EQ(plat::lock_file(copy + copy_lock_name, &other), EWOULDBLOCK);
    ASSERT_TRUE(until(dvd_done_repair));
    EXPECT_EQ(read_file(copy + "Resources/a.txt"), "abc");
    EXPECT_FALSE(path_exists(copy + copy_lock_name));
}

// The program that held the copy deletes it (a cancelled install): Continue finds it gone, and
// the picker shown again lists only the copies still there, as at start-up.
TEST_F(Maintenance, ACopyDeletedWhileInUseIsNoLongerListedByThePickerShownAgain) {
    const std::string other = make_copy("apps/Other/");
    dest_dir_path = other;
    register_new_volatra();
    dest_dir_path = copy;
    int held = -1;
    ASSERT_EQ(plat::lock_file(copy + copy_lock_name, &held), 0);
    to_the_choice(2, dvd_pick_repair, dvd_confirm_repair);
    next();
    wizard_frame();
    ASSERT_EQ(g_wizard, dvd_confirm_repair);
    plat::unlock_file(copy + copy_lock_name, held);
    remove_tree(copy);

    next();
    ASSERT_TRUE(until(dvd_pick_repair));
    paint.clear();
    wizard_frame();
    EXPECT_EQ(all_ostrands, (std::vector<std::string>{other}));
    EXPECT_EQ(dest_dir_path, other);  // the one copy left, as at start-up
    EXPECT_FALSE(shown_text(paint, copy));
    EXPECT_TRUE(shown_text(paint, other));
}

TEST_F(Maintenance, TheStopQuestionOfARunningRunGoesOnOnlyOnContinue) {
    const struct {
        screen_fn ask_on, run;
        int* flag;
        const char* question;
    } flows[] = {{dvd_edit_scenery, dvd_install_scenery, &scenery_install_is_running,
                  "Are you sure you want to stop scenery installation?"},
                 {dvd_confirm_repair, dvd_install_repair, &repair_is_running,
                  "Are you sure you want to stop the repair operation?"}};
    for (const auto& f : flows) {
        // Continue goes back to the run, which stays marked; Stop, and the question closed without
        // a button, end it and keep what it did.
        for (int answer : {0, 3, 1}) {
            // The run's pools, waiting for a disc.
            sim_info.clear();
            add_history("All/a.txt", {md5_abc}).need_install = 1;
            sim_info.back().versions.back().disk = 5;
            int cursor = 0;
            ASSERT_EQ(install_files(cursor, 0), 2);
            *f.flag = 1;
            asked.clear();
            abort_answers = {answer};
            g_wizard = f.ask_on;
            wizard_frame();
            ASSERT_EQ(asked.size(), 1u);
            EXPECT_EQ(asked[0].rfind(f.question, 0), 0u);
            EXPECT_EQ(g_wizard, answer != 0 ? f.ask_on : f.run) << answer;
            EXPECT_EQ(*f.flag, answer != 0 ? 0 : 1) << answer;
            EXPECT_EQ(copy_pool == nullptr, answer != 0) << answer;  // Stop ends the run's work
            install_files_kill();
            g_wizard = nullptr;
            wizard_frame();
        }
    }
    // Nothing was deleted.
    EXPECT_EQ(read_file(copy + tile), tile_data);
}

TEST_F(Maintenance, RepairReplacesWhatIsMissingAndAsksAboutAChangedFile) {
    remove_tree(copy + "Resources/a.txt");
    write_file(copy + "Resources/b.txt", "mine");
    write_file(copy + "Resources/old.txt", "obsolete");
    remove_tree(copy + tile);
    write_file(copy + overlay, "changed");
    // Keep the user's file the first time, replace it the second.
    for (int answer : {2, 1}) {
        menu_choice(2, dvd_pick_repair);
        wizard_frame();
        EXPECT_EQ(step_names, (std::vector<std::string>{"Welcome", "Select Volatra", "Scan For Problems",
                                                        "Confirm Repairs", "Repair Volatra", "Finish"}));
        next();
        ASSERT_TRUE(until(dvd_confirm_repair));
        paint.clear();
        wizard_frame();
        // a.txt missing, b.txt changed, old.txt removed by the release (counted, present or not);
        // the tile is not the repair's.
        const int count = answer == 2 ? 3 : 2;
        EXPECT_TRUE(drawn_text(paint, "I need to install approximately " + std::to_string(count) +
                                          " files to repair " + copy +
                                          ".\n\nClick continue to begin repairing Volatra."))
            << answer;
        asked.clear();
        select_answers = {answer};
        next();
        ASSERT_TRUE(until(dvd_done_repair));
        EXPECT_EQ(asked, std::vector<std::string>{copy + "Resources/b.txt"});
        paint.clear();
        wizard_frame();
        EXPECT_TRUE(drawn_text(paint, "I have finished repairing " + copy + " - click Go Back"));
        EXPECT_EQ(read_file(copy + "Resources/a.txt"), "abc");
        EXPECT_EQ(read_file(copy + "Resources/b.txt"), answer == 2 ? "mine" : "def");
        EXPECT_FALSE(path_exists(copy + "Resources/old.txt"));
        EXPECT_FALSE(path_exists(copy + tile));
        EXPECT_EQ(read_file(copy + overlay), "changed");
        back();
    }
}

TEST_F(Maintenance, CancellingTheChangedFileQuestionLeavesTheCopyAndReturnsToTheConfirmation) {
    write_file(copy + "Resources/b.txt", "mine");
    remove_tree(copy + "Resources/a.txt");
    menu_choice(2, dvd_pick_repair);
    wizard_frame();
    next();
    ASSERT_TRUE(until(dvd_confirm_repair));
    wizard_frame();
    select_answers = {3};
    next();
    wizard_frame();
    wizard_frame();
    EXPECT_EQ(g_wizard, dvd_confirm_repair);
    EXPECT_EQ(repair_is_running, 0);
    EXPECT_FALSE(path_exists(copy + "Resources/a.txt"));
    EXPECT_EQ(read_file(copy + "Resources/b.txt"), "mine");
}

TEST_F(Maintenance, PickScreensClearALeftoverThatIsNoRegisteredCopy) {
    const std::string other = make_copy("apps/Other/");
    dest_dir_path = other;
    register_new_volatra();
    locate_all_volatras();
    for (screen_fn pick : {dvd_pick_scenery, dvd_pick_repair, dvd_pick_run_sim}) {
        // A new install's folder, left by the destination screen, is no choice.
        dest_dir_path = w.root / "apps/Volatra 9 new/";
        g_wizard = pick;
        paint.clear();
        wizard_frame();
        EXPECT_EQ(dest_dir_path, "");
        EXPECT_TRUE(drawn_text(paint, "You have more than one copy of Volatra 9 installed on this computer."));
        EXPECT_TRUE(shown_text(paint, other));  // the list to choose from
        next();
        EXPECT_EQ(g_wizard, pick);
        // A registered one left from an earlier flow counts as chosen, and waits for Next.
        dest_dir_path = other;
        g_wizard = nullptr;
        wizard_frame();
        g_wizard = pick;
        wizard_frame();
        wizard_frame();
        EXPECT_EQ(dest_dir_path, other);
        EXPECT_EQ(g_wizard, pick);
        next();
        EXPECT_NE(g_wizard, pick);
        g_wizard = nullptr;
        wizard_frame();
    }
}

// How often text stands in the log.
int times_in(const std::string& log, const std::string& text) {
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
}

TEST_F(Maintenance, AStartThatFailsIsSaidOnceAndTriedAgainWhenTheProgramChanges) {
    log_capture log;
    wizard_first_screen = dvd_start;
    g_wizard = dvd_do_run_sim;
    for (int i = 0; i < 5; ++i) wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "I could not start Volatra: " + copy + "Volatra.app"));
    EXPECT_EQ(times_in(log.text(), "Could not start " + copy), 1) << log.text();
    // A program that appears is tried at once; it fails again (not executable) and says why.
    write_file(copy + "Volatra.app", "#!/bin/sh\n", 0644);
    wizard_frame();
    wizard_frame();
    EXPECT_EQ(times_in(log.text(), "Launch failed: "), 2) << log.text();
    EXPECT_NE(log.text().find("Permission denied"), std::string::npos) << log.text();
    // Back leads to the first screen; coming again tries again.
    back();
    EXPECT_EQ(g_wizard, dvd_start);
    wizard_frame();
    g_wizard = dvd_do_run_sim;
    wizard_frame();
    EXPECT_EQ(times_in(log.text(), "Launch failed: "), 3) << log.text();
}

TEST_F(Maintenance, RunProgressFollowsTheCursor) {
    add_history("All/a.txt", {md5_abc}).start_fraction = 0.25f;
    wizard_screen screen;
    run_progress(screen, -1, "Repairing: ", "Finishing up...");
    EXPECT_EQ(screen.progress, 0);
    run_progress(screen, 0, "Repairing: ", "Finishing up...");
    EXPECT_EQ(screen.progress, 0.25f);
    EXPECT_EQ(screen.progress_caption, "Repairing: All/a.txt");
    run_progress(screen, 1, "Repairing: ", "Finishing up...");
    EXPECT_EQ(screen.progress, 1.0f);
    EXPECT_EQ(screen.progress_caption, "Finishing up...");
}

TEST(MaintenanceWords, SceneryResultWordByErrorsAddedAndRemoved) {
    const struct {
        int errors, added, removed;
        const char* word;
    } rows[] = {{0, 2, 1, "added and removed"}, {0, 1, 0, "installed more"}, {0, 0, 3, "removed"},
                {0, 0, 0, "updated"},           {1, 1, 1, "adding and removing"}, {2, 5, 0, "installing more"},
                {1, 0, 1, "removing"},          {1, 0, 0, "updating"}};
    for (const auto& r : rows)
        EXPECT_STREQ(scenery_result_word(r.errors, r.added, r.removed), r.word) << r.errors << r.added << r.removed;
}

}  // namespace

#include <gtest/gtest.h>

#include "core/wx.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "wizard/copies.h"
#include "wizard/dvd_install.h"
#include "wizard/maintenance.h"
#include "wizard/run_sim.h"
#include "wizard/wizard_frame.h"
#include "wizard_helpers.h"

namespace {

const char* const manifest_body =
    "DIR All/Resources/\n"
    "FILE 0 0 91001 1 3 900150983cd24fb0d6963f7d28e17f72 a.txt\n"
    "DIR All/Global Scenery/-global terrain-/+40-120/\n"
    "FILE 0 0 91001 12 345 e2fc714c4727ee9395f324cd2e7f331f +40-120.dsf\n";

class DvdInstall : public ::testing::Test {
protected:
    void SetUp() override {
        g_wizard = nullptr;
        wizard_frame();
        app_done = 0;
    }
    void TearDown() override { app_done = 0; }
    // Runs frames of the current screen until it stops moving (at most n).
    void frames(int n = 3) {
        for (int i = 0; i < n; ++i) wizard_frame();
    }
    void insert_disc() {
        w.disc("DVD", "Volatra 9", manifest_body);
        g_wizard = dvd_start;
        frames(1);
    }
    wizard_world w;
    paint_recorder paint;
};

TEST_F(DvdInstall, StartScreenWaitsForTheDiscThenWelcomesOrOffersTheMenu) {
    g_wizard = dvd_start;
    frames(1);
    EXPECT_TRUE(drawn_text(paint, "Please insert Volatra 9 DVD number one to begin."));
    w.disc("DVD", "Volatra 9", manifest_body);
    paint.clear();
    frames(1);
    EXPECT_TRUE(drawn_text(paint, "I will guide you through the proess of installing Volatra 9."));
    EXPECT_EQ(step_names.size(), 6u);

    // A registered copy turns the welcome into the menu on the next entry.
    const std::string copy = w.root / "copy/";
    for (const char* sub : {"Airfoils/", "Instructions/", "Output/", "Resources/"}) write_file(copy + sub + ".keep", "");
    dest_dir_path = copy;
    register_new_volatra();
    g_wizard = dvd_pick_install;
    frames(1);
    g_wizard = dvd_start;
    paint.clear();
    frames(1);
    EXPECT_TRUE(drawn_text(paint, "You already have Volatra 9 installed on this computer."));
    // The choices in order, each where its button is.
    const std::pair<const char*, screen_fn> menu[] = {{"Run Volatra Now", dvd_pick_run_sim},
                                                      {"Add Or Remove Scenery", dvd_pick_scenery},
                                                      {"Repair Volatra", dvd_pick_repair},
                                                      {"Install A Second Copy of Volatra", dvd_pick_install}};
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(drawn_text(paint, menu[i].first)) << i;
        EXPECT_EQ(drawn_text(paint, menu[i].first)->y, 347 - 25 * i) << i;  // the label sits 3 below the centre
    }
    wizard_frame(500, 275, true);  // the fourth choice
    EXPECT_EQ(g_wizard, dvd_pick_install);
}

TEST_F(DvdInstall, DestinationMustBeANewFolderOfOneComponent) {
    insert_disc();
    g_wizard = dvd_pick_install;
    frames(1);
    const std::string desktop = w.home() + "Desktop/";
    EXPECT_EQ(dest_dir_path, desktop + "Volatra 9/");
    EXPECT_TRUE(drawn_text(paint, "(The folder Volatra 9 will appear on your desktop.)"));
    // Prepared for a fresh install: every file to install, every available tile selected.
    EXPECT_EQ(stg.num_to_add, 2);
    EXPECT_EQ(stg.tile_selected[6][13], 1);

    write_file(desktop + "Volatra 9/.keep", "");
    paint.clear();
    frames(1);
    EXPECT_TRUE(drawn_text(paint, "The folder 'Volatra 9' already exists in the dir '" + desktop + "'."));
    wizard_frame(720, 20, true);  // Next is off
    EXPECT_EQ(g_wizard, dvd_pick_install);
}

TEST_F(DvdInstall, ANameOfMoreThanOneComponentIsRefusedAndAnEditSelectsEveryTileAgain) {
    insert_disc();
    g_wizard = dvd_pick_install;
    frame_driver driver;
    const auto frame = [] { APP_update(); };
    driver.frame(frame);
    stg.tile_selected[6][13] = 0;  // deselected on the map meanwhile
    // Each name replaces the field's text: a click gives the field the keys.
    const auto name = [&](const std::string& text) {
        driver.click(755, 204, frame);
        std::vector<key_event> keys;
        for (int i = 0; i < 20; ++i) keys.push_back(key_stroke(8, 8)[0]), keys.push_back(key_stroke(8, 8)[1]);
        for (const key_event& k : typed(text)) keys.push_back(k);
        driver.frame(frame, keys);
        driver.frame(frame);
    };
    for (const char* bad : {"Volatra 9/x", "..", "."}) {
        name(bad);
        EXPECT_TRUE(drawn_text(driver.paint, "Please pick a name for your Volatra 9 installation...")) << bad;
        driver.click(720, 20, frame);
        EXPECT_EQ(g_wizard, dvd_pick_install) << bad;
    }
    EXPECT_EQ(stg.tile_selected[6][13], 0);  // nothing prepared for a refused name
    name("Volatra 9");
    EXPECT_EQ(dest_dir_path, w.home() + "Desktop/Volatra 9/");
    EXPECT_EQ(stg.tile_selected[6][13], 1);
}

TEST_F(DvdInstall, EnteringAgainAfterAnotherFlowPreparesAgain) {
    insert_disc();
    g_wizard = dvd_pick_install;
    frames(1);
    // Another flow left the filter on scenery only and its own tile choice.
    set_install_filter(0, 1);
    stg.tile_selected[6][13] = 0;
    install_marks_ready = 0;
    g_wizard = dvd_start;
    frames(1);
    g_wizard = dvd_pick_install;
    frames(1);
    EXPECT_EQ(stg.tile_selected[6][13], 1);
    EXPECT_EQ(stg.num_to_add, 2);
}

TEST_F(DvdInstall, RunGoesBackWhenTheDestinationAppearedMeanwhile) {
    insert_disc();
    g_wizard = dvd_pick_install;
    frames(1);
    write_file(dest_dir_path + "mine.txt", "user data");
    g_wizard = dvd_run_install;
    frames(2);
    EXPECT_EQ(g_wizard, dvd_pick_install);
    EXPECT_EQ(dvd_install_is_running, 0);
    EXPECT_EQ(read_file(dest_dir_path + "mine.txt"), "user data");
}

TEST_F(DvdInstall, CancelDeletesOnlyWhatTheRunCreated) {
    const std::string parent = w.root / "apps/";
    write_file(parent + "sibling/keep.txt", "keep");
    dest_dir_path = parent + "new/deeper/";
    ASSERT_EQ(make_dirs(), 0);
    run_created_dir = make_dirs_new_root;
    EXPECT_EQ(run_created_dir, parent + "new/");
    EXPECT_EQ(delete_cancelled_install(), 0);
    EXPECT_FALSE(path_exists(parent + "new"));
    EXPECT_EQ(read_file(parent + "sibling/keep.txt"), "keep");

    // A registered copy inside the folder is never deleted with it.
    write_file(parent + "new/old copy/.keep", "");
    all_ostrands = {parent + "new/old copy/"};
    run_created_dir = parent + "new/";
    EXPECT_NE(delete_cancelled_install(), 0);
    EXPECT_TRUE(path_exists(parent + "new/old copy/.keep"));
    EXPECT_EQ(delete_cancelled_install(), 0);  // nothing is left to delete
}

}  // namespace

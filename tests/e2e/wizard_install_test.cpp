// The installer's disc install from start to end under Xvfb: the sample disc set made by the
// builder, a disc changer in the test-volume folder, scripted clicks on the real screens.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "common/test_helpers.h"
#include "e2e_session.h"
#include "sample_discs.h"

namespace {

const std::string installer = VOLATRA_PROGRAMS_DIR "/volatra_installer";
const std::string& release = sample_release;

TEST(WizardInstall, ThreeDiscsWithAWrongDiscOfferedFirst) {
    e2e_session s("wizard_install");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const sample_set set = make_sample(s, {"0", "2", "1", "2"});
    const std::string script = std::string(to_the_run) +
                               "click 745 227\n"  // tile (35, 5): deselected
                               "sleep 0.2\n"
                               "shot scenery.png\n"
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                               "shot change.png\n"
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_done_install\" 120\n"
                               "shot done.png\n"
                               "click 695 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    const std::string log = s.log();
    EXPECT_EQ(screens_entered(log),
              (std::vector<std::string>{"dvd_start", "dvd_pick_install", "dvd_eula_install", "dvd_scenery_install",
                                        "dvd_run_install", "dvd_verify_disk_install", "dvd_switch_disk_install",
                                        "dvd_verify_disk_install", "dvd_switch_disk_install", "dvd_verify_disk_install",
                                        "dvd_run_install", "dvd_verify_disk_install", "dvd_switch_disk_install",
                                        "dvd_verify_disk_install", "dvd_run_install", "dvd_done_install",
                                        "wizard_quit"}));
    EXPECT_EQ(read_lines(set.volumes + "/.disc_changer.log").size(), 3u);

    const std::string copy = s.desktop() + release + "/";
    EXPECT_EQ(read_lines(s.config() + "volatra_install.txt"), std::vector<std::string>{copy});
    const auto files = manifest_files(unpacked_manifest(s));
    ASSERT_GT(files.size(), 30u);
    int tiles_left_out = 0;
    for (const auto& [rel, master_rel] : files) {
        if (rel.find("-40+170/") != std::string::npos) {
            ++tiles_left_out;
            EXPECT_FALSE(path_exists(copy + rel)) << rel;
        } else {
            EXPECT_TRUE(same_item(copy + rel, set.master + "/" + master_rel)) << rel;
        }
    }
    EXPECT_EQ(tiles_left_out, 1);

    // The deselected tile shows the base picture, a selected one the lit picture.
    e2e_image shot;
    ASSERT_TRUE(read_png(s.work() + "scenery.png", &shot));
    const e2e_image::px off = shot.at(745, 227), on = shot.at(248 + 14 * 5 + 7, 150 + 14 * 13 + 7);
    EXPECT_FALSE(off == on);
}

// A tap brings the pointer's motion, its press and its release in one frame, as a touch screen
// does or a quick hand on a busy frame: each button takes it where it lands. A double tap on
// Continue moves one screen on: its second tap was made before the next screen showed.
TEST(WizardInstall, ContinueGoBackAndQuitTakeATapThatBringsThePointerWithIt) {
    e2e_session s("wizard_install_tap");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    make_sample(s, {"0"});
    const std::string script =
        "wait_log \"Disc read:\"\n"
        "tap 720 23 720 23\n"  // Continue
        "wait_log \"WIZARD entered dvd_pick_install\"\n"
        "tap 600 23\n"  // Go Back
        "wait_log \"WIZARD entered dvd_start\"\n"
        "tap 55 23\n";  // Quit
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    EXPECT_EQ(screens_entered(s.log()),
              (std::vector<std::string>{"dvd_start", "dvd_pick_install", "dvd_start"}));
}

// Input faster than the frames, as touch screens, quick hands and typing tools send it: a burst
// of 63 characters all reaches the name field in order, a press on Continue released on Go Back
// takes Continue, and two taps on map tiles that come in one frame toggle both.
TEST(WizardInstall, KeysPressesAndReleasesFasterThanTheFramesEachLandWhereTheyHappened) {
    e2e_session s("wizard_install_fast_input");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    make_sample(s, {"0"}, "1000000");
    const std::string name = "Volatra typed in one burst, 63 characters: 0123456789 ABCDEFGHI";
    ASSERT_EQ(name.size(), 63u);
    const std::string script =
        "wait_log \"Disc read:\"\n"
        "tap 720 23\n"
        "wait_log \"WIZARD entered dvd_pick_install\"\n"
        "click 755 204\n"  // the end of the name
        "key shift+Home\n"
        "burst \"" + name + "\"\n"
        "swipe 720 23 600 23\n"  // down on Continue, up on Go Back
        "wait_log \"WIZARD entered dvd_eula_install\"\n"
        "click 230 103\n"
        "sleep 0.2\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_scenery_install\"\n"
        "tap 745 227 325 339\n"  // tiles (35, 5) and (5, 13)
        "sleep 0.3\n"
        "shot scenery.png\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_done_install\" 120\n"
        "click 695 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    EXPECT_EQ(screens_entered(s.log()),
              (std::vector<std::string>{"dvd_start", "dvd_pick_install", "dvd_eula_install", "dvd_scenery_install",
                                        "dvd_run_install", "dvd_done_install", "wizard_quit"}));
    const std::string copy = s.desktop() + name + "/";
    EXPECT_EQ(read_lines(s.config() + "volatra_install.txt"), std::vector<std::string>{copy});
    int tiles_left_out = 0;
    for (const auto& [rel, master_rel] : manifest_files(unpacked_manifest(s))) {
        if (rel.find("-40+170/") != std::string::npos || rel.find("+40-130/") != std::string::npos) {
            ++tiles_left_out;
            EXPECT_FALSE(path_exists(copy + rel)) << rel;
        } else {
            EXPECT_TRUE(path_exists(copy + rel)) << rel;
        }
    }
    EXPECT_EQ(tiles_left_out, 4);
}

// The mean colour of map tile (c, r) of a map at (248, 150).
std::array<double, 3> tile_mean(const e2e_image& im, int c, int r) {
    std::array<double, 3> sum{};
    for (int y = 150 + 14 * r; y < 164 + 14 * r; ++y)
        for (int x = 248 + 14 * c; x < 262 + 14 * c; ++x) {
            const e2e_image::px p = im.at(x, y);
            sum[0] += p.r;
            sum[1] += p.g;
            sum[2] += p.b;
        }
    for (double& v : sum) v /= 196;
    return sum;
}

// The largest difference in one channel between the pictures within a row of (x, y).
int change_near(const e2e_image& a, const e2e_image& b, int x, int y) {
    int most = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        const e2e_image::px p = a.at(x, y + dy), q = b.at(x, y + dy);
        most = std::max({most, std::abs(p.r - q.r), std::abs(p.g - q.g), std::abs(p.b - q.b)});
    }
    return most;
}

TEST(WizardInstall, TheMapTellsSelectedTilesApartAndItsDragBoxShowsEverywhere) {
    e2e_session s("wizard_map");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    make_sample(s, {"0", "1", "2"});
    // Tiles (5, 13) and (35, 5) are the sample's: both selected, then (35, 5) not. The drag runs
    // from the Pacific at (300, 339) to Peru at (420, 260): its top edge crosses the sea, the
    // selected tile (5, 13) and the land of North America.
    const std::string script = std::string(to_the_run) +
                               "sleep 0.3\n"
                               "shot all.png\n"
                               "click 745 227\n"
                               "sleep 0.3\n"
                               "shot one.png\n"
                               "move 300 339\n"
                               "press\n"
                               "move 420 260\n"
                               "sleep 0.3\n"
                               "shot drag.png\n"
                               "release\n"
                               "sleep 0.2\n"
                               "click 55 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    e2e_image all, one, drag;
    ASSERT_TRUE(read_png(s.work() + "all.png", &all));
    ASSERT_TRUE(read_png(s.work() + "one.png", &one));
    ASSERT_TRUE(read_png(s.work() + "drag.png", &drag));
    // Selected and available-but-not look a third of the scale apart in at least one channel.
    const std::array<double, 3> on = tile_mean(all, 35, 5), off = tile_mean(one, 35, 5);
    double apart = 0;
    for (int k = 0; k < 3; ++k) apart = std::max(apart, std::abs(on[k] - off[k]));
    EXPECT_GE(apart, 85) << on[0] << " " << on[1] << " " << on[2] << " / " << off[0] << " " << off[1] << " " << off[2];
    // The box stands out over sea, over the selected tile, over land, on each of its edges.
    const struct {
        int x, y;
        const char* over;
    } edge[] = {{310, 339, "sea"}, {325, 339, "selected tile"}, {370, 339, "land"}, {300, 300, "sea"},
                {400, 260, "land"}, {420, 300, "sea"}};
    for (const auto& e : edge) EXPECT_GE(change_near(drag, one, e.x, e.y), 80) << e.over << " at " << e.x << "," << e.y;
    // Inside the box the picture stays as it was.
    EXPECT_EQ(drag.at(360, 300), one.at(360, 300));
}

TEST(WizardInstall, AFailedFileThenContinueEndsWithTheErrorText) {
    e2e_session s("wizard_install_error");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const sample_set set = make_sample(s, {"0", "1", "2"});
    write_file(set.discs + "/disk_2/" + release + "/All/Weapons/AIM-9 Sidewinder.wpn.zip", "not a zip archive");
    const std::string script = std::string(to_the_run) +
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                               "click 720 23\n"
                               "wait_log \"WIZARD asks: An error occurred during installation:\" 120\n"
                               "shot question.png\n"
                               "click 146 228\n"  // Continue
                               "wait_log \"WIZARD entered dvd_done_install\" 120\n"
                               "shot done.png\n"
                               "click 500 350\n"  // where "Run Volatra Now" would be
                               "sleep 0.5\n"
                               "click 695 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    const std::string log = s.log();
    EXPECT_NE(log.find("Install finished with 1 error"), std::string::npos) << log;
    EXPECT_EQ(log.find("Launching:"), std::string::npos);
    // Every other file is there; the failed one is not.
    const std::string copy = s.desktop() + release + "/";
    EXPECT_FALSE(path_exists(copy + "Weapons/AIM-9 Sidewinder.wpn"));
    EXPECT_TRUE(path_exists(copy + "Macintosh/Volatra.app/Contents/MacOS/Volatra") ||
                path_exists(copy + "Volatra.app/Contents/MacOS/Volatra"));
    e2e_image done;
    ASSERT_TRUE(read_png(s.work() + "done.png", &done));
    EXPECT_EQ(done.at(500, 350), done.at(700, 350));  // no button where the choice would be
}

TEST(WizardInstall, CancelDuringTheRunDeletesOnlyTheNewFolder) {
    e2e_session s("wizard_install_cancel");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    make_sample(s, {"0", "1", "2"});
    write_file(s.desktop() + release + " old/keep.txt", "keep");
    const std::string script = std::string(to_the_run) +
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                               "click 600 23\n"  // Back, while the run is under way
                               "wait_log \"WIZARD asks: Are you sure you want to cancel the installation?\"\n"
                               "shot question.png\n"
                               "tap 146 253 720 23\n"  // Cancel, and Continue in the same burst
                               "wait_log \"Cancel: \"\n"
                               "click 50 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    EXPECT_FALSE(path_exists(s.desktop() + release)) << s.report();
    // The Continue, made before the world map was back on screen, started no new run.
    EXPECT_EQ(screens_entered(s.log()).back(), "dvd_scenery_install") << s.log();
    EXPECT_EQ(read_file(s.desktop() + release + " old/keep.txt"), "keep");
}

// Started without a UTF-8 locale (as env -i starts it), the installer keeps names beyond ASCII
// byte for byte: the folder the dialog gives and the name typed into the field are where the
// copy goes and what the record holds.
TEST(WizardInstall, AFolderAndANameBeyondAsciiWithoutAUtf8Locale) {
    e2e_session s("wizard_install_names");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    make_sample(s, {"0", "1", "2"});
    for (const char* name : {"LANG", "LC_ALL", "LC_CTYPE"}) s.set_env(name, "");
    const std::string parent = s.folder() + "\u00DCbung \u03A9", name = "Stra\u00DFe \u03A9";
    write_file(parent + "/.keep", "");
    s.set_env("PATH", VOLATRA_STANDINS_DIR ":/usr/bin:/bin");
    s.set_env("STANDIN_ANSWER", parent);
    const std::string script =
        "wait_log \"Disc read:\"\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_pick_install\"\n"
        "click 300 203\n"  // Change Destination
        "click 755 204\n"  // the end of the name
        "key shift+Home\n"
        "type \"" + name + "\"\n"
        "sleep 0.3\n"
        "shot names.png\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_eula_install\"\n"
        "click 230 103\n"
        "sleep 0.2\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_scenery_install\"\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
        "click 50 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    const std::string copy = parent + "/" + name + "/";
    EXPECT_EQ(read_lines(s.config() + "volatra_install.txt"), std::vector<std::string>{copy});
    EXPECT_TRUE(path_exists(copy + "Resources")) << s.report();
    std::vector<std::string> in_parent;
    for (const auto& e : std::filesystem::directory_iterator(parent))
        in_parent.push_back(e.path().filename());
    std::sort(in_parent.begin(), in_parent.end());
    EXPECT_EQ(in_parent, (std::vector<std::string>{".keep", name}));
}

// Closing the window in the middle of a run takes the Quit button's road: the queued files are
// finished, and neither a half-written file in the copy nor an archive in the temporary folder
// stays behind.
TEST(WizardInstall, ClosingTheWindowMidRunLeavesNothingBehind) {
    e2e_session s("wizard_install_close");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    // One disc with enough files that the run is surely under way when the window closes.
    make_sample(s, {"0"}, "1000000", [](const std::string& master) {
        std::mt19937 random(7);
        std::string bytes(64 * 1024, '\0');
        for (int i = 0; i < 150; ++i) {
            for (char& c : bytes) c = static_cast<char>(random());
            write_file(master + "/All/Resources/extra/part " + std::to_string(i) + ".dat", bytes);
        }
    });
    const std::string script = std::string(to_the_run) +
                               "click 720 23\n"
                               "wait_log \"Starting install at\"\n"
                               "close\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    const std::string log = s.log();
    EXPECT_NE(log.find("WIZARD window closed"), std::string::npos) << log;
    EXPECT_EQ(log.find("WIZARD entered dvd_done_install"), std::string::npos) << "the run ended before the close";
    const std::string copy = s.desktop() + release + "/";
    EXPECT_TRUE(path_exists(copy + "Resources/extra/part 0.dat"));
    EXPECT_EQ(leftovers(copy, false), std::vector<std::string>{});
    EXPECT_EQ(leftovers(s.folder() + "tmp", true), std::vector<std::string>{});
}

TEST(WizardInstall, ClosingTheCancelQuestionGoesOnWithTheRun) {
    e2e_session s("wizard_install_close_question");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const sample_set set = make_sample(s, {"0", "1", "2"});
    // Asked twice: closed with Return, then with the close dot in its top left corner.
    const std::string script = std::string(to_the_run) +
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                               "click 600 23\n"
                               "wait_log \"WIZARD asks: Are you sure you want to cancel the installation?\"\n"
                               "key Return\n"
                               "wait_log \"WIZARD entered dvd_switch_disk_install\" 120\n"
                               "click 600 23\n"
                               "wait_log \"WIZARD asks: Are you sure you want to cancel the installation?\"\n"
                               "sleep 0.3\n"
                               "shot question.png\n"
                               "click 60 395\n"
                               "wait_log \"WIZARD entered dvd_done_install\" 120\n"
                               "click 695 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    const std::string log = s.log();
    EXPECT_EQ(log.find("Cancel: "), std::string::npos) << log;
    EXPECT_NE(log.find("Install finished with 0 errors"), std::string::npos) << log;
    const std::string copy = s.desktop() + release + "/";
    for (const auto& [rel, master_rel] : manifest_files(unpacked_manifest(s)))
        EXPECT_TRUE(same_item(copy + rel, set.master + "/" + master_rel)) << rel;
}

TEST(WizardInstall, StartedFromTheDiscItHandsOverToACopyAndKeepsThePreferences) {
    e2e_session s("wizard_handover");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const sample_set set = make_sample(s, {"0"});
    // The disc as a folder of its own (no changer link), the program on it.
    const std::string disc = s.folder() + "volumes/DVD0/";
    ASSERT_EQ(run_tool({"/bin/cp", "-R", set.discs + "/disk_0/.", disc}), 0);
    ASSERT_EQ(unlink((s.folder() + "volumes/DVD").c_str()), 0);
    ASSERT_EQ(run_tool({"/bin/cp", installer, disc + "volatra_installer"}), 0);
    const std::string prefs = s.config() + "Volatra Installer.prf";
    write_file(prefs, "A\n9002 version\n_stream_count 3\n_proxy_host proxy.example\n");

    const int status = s.run(disc + "volatra_installer", {}, "wait_log \"WIZARD entered dvd_start\"\nquit\n");
    EXPECT_EQ(status, 1) << s.report();
    const std::string copy = s.folder() + "tmp/volatra-installer-" + std::to_string(getuid()) + "/volatra_installer";
    EXPECT_EQ(md5sum_of(copy), md5sum_of(installer));
    // The copy runs the same script: it starts on the start screen and quits.
    EXPECT_TRUE(s.wait_for_adopted()) << s.report();
    const std::string log = s.log();
    EXPECT_NE(log.find("WIZARD entered dvd_start"), std::string::npos) << log;
    EXPECT_NE(log.find("os_dir_this_app\t\t=" + copy.substr(0, copy.rfind('/') + 1)), std::string::npos) << log;
    // Saved at the hand-over, after it was read: the user's values, not the built-in ones.
    const std::string after = read_file(prefs);
    EXPECT_NE(after.find("_stream_count 3"), std::string::npos) << after;
    EXPECT_NE(after.find("_proxy_host proxy.example"), std::string::npos) << after;
}

}  // namespace

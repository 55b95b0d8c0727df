// The installer's maintenance flows under Xvfb, on a copy the installer itself installed from the
// sample disc set: adding and removing scenery with a disc change, repairing, repairing after the
// installer was killed mid-install, and starting the copy's program.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "common/test_helpers.h"
#include "e2e_session.h"
#include "sample_discs.h"

namespace {

const std::string installer = VOLATRA_PROGRAMS_DIR "/volatra_installer";
const std::string tile_file = "Global Scenery/-global terrain-/-40+170/-37+174.dsf";  // tile (35, 5), on disc 1

// Lines of the log that hold text.
int count_lines_with(const std::string& log, const std::string& text) {
    int n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + text.size())) ++n;
    return n;
}

class Maintenance : public ::testing::Test {
protected:
    // A session with the sample set, the whole of it installed by the installer into the
    // desktop, and disc 0 in the drive again.
    bool installed(e2e_session& s, const std::vector<std::string>& order) {
        std::string why;
        if (!s.start_display(&why)) return ADD_FAILURE() << why, false;
        set = make_sample(s, {"0", "1", "2"});
        if (s.run(installer, {}, whole_install) != 0) return ADD_FAILURE() << s.report(), false;
        copy = s.desktop() + sample_release + "/";
        load_changer(set, order);
        return true;
    }
    std::string master(const std::string& rel) const {
        for (const auto& [in_copy, in_master] : files)
            if (in_copy == rel) return set.master + "/" + in_master;
        ADD_FAILURE() << rel << " is not in the manifest";
        return "";
    }
    // Each file of the manifest whose path in the copy contains (or not, by want) "Global Scenery".
    std::vector<std::string> files_where(bool global) const {
        std::vector<std::string> out;
        for (const auto& f : files)
            if ((f.first.find("Global Scenery/") != std::string::npos) == global) out.push_back(f.first);
        return out;
    }
    bool matches(const std::string& rel) const { return same_item(copy + rel, master(rel)); }
    void read_manifest(const e2e_session& s) {
        files = manifest_files(unpacked_manifest(s));
        ASSERT_GT(files.size(), 30u);
    }

    sample_set set;
    std::string copy;
    std::vector<std::pair<std::string, std::string>> files;
};

TEST_F(Maintenance, RemoveATileThenAddItBackFromAnotherDisc) {
    e2e_session s("maintenance_scenery");
    ASSERT_TRUE(installed(s, {"0", "1"}));
    read_manifest(s);
    ASSERT_TRUE(matches(tile_file));
    const std::string round =
        "click 500 325\n"  // Add Or Remove Scenery
        "wait_log \"WIZARD entered dvd_pick_scenery\"\n"
        "sleep 0.3\n"
        "shot pick-%.png\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_edit_scenery\" 120\n"
        "sleep 0.3\n"
        "shot map-%.png\n"
        "click 745 227\n"  // tile (35, 5)
        "sleep 0.3\n"
        "click 720 23\n";
    auto numbered = [&](const std::string& n) {
        std::string r = round;
        for (size_t at; (at = r.find('%')) != std::string::npos;) r.replace(at, 1, n);
        return r;
    };
    const std::string script = "wait_log \"Disc read:\"\n"
                               "sleep 0.3\n"
                               "shot menu.png\n" +
                               numbered("1") +
                               "wait_log \"WIZARD entered dvd_done_scenery\" 120\n"
                               "sleep 0.3\n"
                               "shot removed.png\n"
                               "click 600 23\n"  // Back to the menu
                               "wait_log \"WIZARD entered dvd_start\"\n" +
                               numbered("2") +
                               "wait_log \"WIZARD entered dvd_switch_disk_scenery\" 120\n"
                               "sleep 0.3\n"
                               "shot change.png\n"
                               "click 720 23\n"
                               "wait_log \"WIZARD entered dvd_done_scenery\" 120\n"
                               "sleep 0.3\n"
                               "shot added.png\n"
                               "click 695 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    const std::string log = s.log();
    EXPECT_NE(log.find("Scenery removed with 0 errors"), std::string::npos) << log;
    EXPECT_NE(log.find("Scenery installed more with 0 errors"), std::string::npos) << log;
    // The one copy was taken without a click, the scan went on by itself; adding asked for disc 2.
    EXPECT_EQ(screens_entered(log),
              (std::vector<std::string>{"dvd_start", "dvd_pick_scenery", "dvd_scan_scenery", "dvd_edit_scenery",
                                        "dvd_install_scenery", "dvd_done_scenery", "dvd_start", "dvd_pick_scenery",
                                        "dvd_scan_scenery", "dvd_edit_scenery", "dvd_install_scenery",
                                        "dvd_verify_disk_scenery", "dvd_switch_disk_scenery",
                                        "dvd_verify_disk_scenery", "dvd_install_scenery", "dvd_done_scenery",
                                        "wizard_quit"}));
    EXPECT_EQ(read_lines(set.volumes + "/.disc_changer.log").size(), 1u);
    for (const std::string& rel : files_where(true)) EXPECT_TRUE(matches(rel)) << rel;
    for (const std::string& rel : files_where(false)) EXPECT_TRUE(matches(rel)) << rel;

    // The map shows the tile lit while installed and the base picture after the click.
    e2e_image first, second;
    ASSERT_TRUE(read_png(s.work() + "map-1.png", &first));
    ASSERT_TRUE(read_png(s.work() + "map-2.png", &second));
    EXPECT_FALSE(first.at(745, 227) == second.at(745, 227));
}

TEST_F(Maintenance, RepairRestoresDeletedAndDamagedFilesAndAsksAboutTheUsersFile) {
    e2e_session s("maintenance_repair");
    ASSERT_TRUE(installed(s, {"0", "1", "2"}));
    read_manifest(s);
    const std::string deleted = "Airfoils/NACA 0012 (symmetrical).afl";     // disc 0
    const std::string damaged = "Instructions/Read Me First.txt";            // disc 1
    const std::string users = "Weapons/AIM-9 Sidewinder.wpn";                // disc 2
    const std::string tile_gone = "Global Scenery/-global terrain-/+40-130/+46-122.dsf";
    const std::string tile_changed = "Global Scenery/-global overlays-/+40-130/+47-123.dsf";
    ASSERT_EQ(unlink((copy + deleted).c_str()), 0);
    write_file(copy + damaged, "Welcome to the Volatra sample releasf.\n");
    write_file(copy + users, "my own weapon\n");
    ASSERT_EQ(unlink((copy + tile_gone).c_str()), 0);
    write_file(copy + tile_changed, "my own overlay");

    // The damaged file is replaced, the user's kept; one disc change (disc 0 in, the damaged file on 1).
    const std::string keep =
        "wait_log \"Disc read:\"\n"
        "click 500 300\n"  // Repair Volatra
        "wait_log \"WIZARD entered dvd_pick_repair\"\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_confirm_repair\" 120\n"
        "sleep 0.3\n"
        "shot confirm.png\n"
        "click 720 23\n"
        "wait_log \"File: " + copy + damaged + "\"\n"
        "sleep 0.3\n"
        "shot question.png\n"
        "click 146 280\n"  // OVERWRITE THE OLD FILE
        "wait_log \"File: " + copy + users + "\"\n"
        "click 146 255\n"  // KEEP THE OLD FILE
        "wait_log \"WIZARD entered dvd_switch_disk_repair\" 120\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_done_repair\" 120\n"
        "sleep 0.3\n"
        "shot done.png\n"
        "click 695 23\n";
    ASSERT_EQ(s.run(installer, {}, keep), 0) << s.report();
    std::string log = s.log();
    EXPECT_NE(log.find("Repair of " + copy + ": 3 files to install"), std::string::npos) << log;
    EXPECT_NE(log.find("Repair finished with 0 errors"), std::string::npos) << log;
    EXPECT_TRUE(matches(deleted));
    EXPECT_TRUE(matches(damaged));
    EXPECT_EQ(read_file(copy + users), "my own weapon\n");

    // Again, replacing the user's file this time: the file lies on disc 2.
    const std::string replace =
        "wait_log \"Disc read:\"\n"
        "click 500 300\n"
        "wait_log \"WIZARD entered dvd_pick_repair\"\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_confirm_repair\" 120\n"
        "click 720 23\n"
        "wait_log \"File: " + copy + users + "\"\n"
        "click 146 280\n"
        "wait_log \"WIZARD entered dvd_switch_disk_repair\" 120\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_done_repair\" 120\n"
        "click 695 23\n";
    load_changer(set, {"0", "2"});
    ASSERT_EQ(s.run(installer, {}, replace), 0) << s.report();
    log = s.log();
    EXPECT_NE(log.find("Repair of " + copy + ": 1 files to install"), std::string::npos) << log;
    for (const std::string& rel : files_where(false)) EXPECT_TRUE(matches(rel)) << rel;
    // Global scenery is not the repair's: neither put back nor replaced.
    EXPECT_FALSE(path_exists(copy + tile_gone));
    EXPECT_EQ(read_file(copy + tile_changed), "my own overlay");
}

TEST_F(Maintenance, KilledInTheMiddleOfAnInstallThenRepaired) {
    e2e_session s("maintenance_killed");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    set = make_sample(s, {"0", "1", "2"});
    copy = s.desktop() + sample_release + "/";
    // Killed as soon as the first file has arrived: the pools hold the rest of the disc.
    const std::string first = copy + "Aircraft/General Aviation/Cirrus SR22/liveries/Blue Sky/paint.png";
    const int status = s.run(installer, {}, std::string(to_the_run) + "click 720 23\nsleep 60\n", 240,
                             [&] { return path_exists(first); });
    ASSERT_EQ(status, -1) << s.report();
    // Ended while the run was under way.
    ASSERT_NE(s.log().find("Starting install at"), std::string::npos) << s.report();
    ASSERT_EQ(s.log().find("WIZARD entered dvd_done_install"), std::string::npos) << s.report();
    ASSERT_NE(read_file(s.config() + "volatra_install.txt").find(copy), std::string::npos);
    read_manifest(s);
    int missing = 0;
    for (const std::string& rel : files_where(false)) missing += path_exists(copy + rel) ? 0 : 1;
    EXPECT_GT(missing, 10);

    load_changer(set, {"0", "1", "2"});
    const std::string script =
        "wait_log \"Disc read:\"\n"
        "click 500 300\n"  // Repair Volatra
        "wait_log \"WIZARD entered dvd_pick_repair\"\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_confirm_repair\" 120\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_switch_disk_repair\" 120\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_switch_disk_repair\" 120\n"
        "click 720 23\n"
        "wait_log \"WIZARD entered dvd_done_repair\" 120\n"
        "click 695 23\n";
    ASSERT_EQ(s.run(installer, {}, script), 0) << s.report();
    EXPECT_NE(s.log().find("Repair finished with 0 errors"), std::string::npos) << s.log();
    for (const std::string& rel : files_where(false)) EXPECT_TRUE(matches(rel)) << rel;
    // Scenery is the scenery flow's: what arrived before the kill is whole.
    for (const std::string& rel : files_where(true))
        EXPECT_TRUE(!path_exists(copy + rel) || matches(rel)) << rel;
    // Nothing half-written is left in the copy.
    EXPECT_EQ(leftovers(copy, false), std::vector<std::string>{});
}

TEST_F(Maintenance, RunVolatraNowStartsTheOneCopyOrSaysOnceThatItCannot) {
    e2e_session s("maintenance_run");
    ASSERT_TRUE(installed(s, {"0"}));
    const std::string run_now =
        "wait_log \"Disc read:\"\n"
        "click 500 350\n";  // Run Volatra Now
    EXPECT_EQ(s.run(installer, {}, run_now + "sleep 30\n"), 1) << s.report();
    // The sample program runs on after the installer ended: wait for its log.
    std::string marker;
    for (int i = 0; i < 300 && marker.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        marker = read_file(copy + "Log.txt");
    }
    EXPECT_EQ(marker, "Volatra 9 (sample) started with 0 arguments\n");
    const std::vector<std::string> started = screens_entered(s.log());
    EXPECT_EQ(started, (std::vector<std::string>{"dvd_start", "dvd_pick_run_sim", "dvd_do_run_sim"}));

    // Without its program the copy cannot start: said once, and Back leads to the menu.
    remove_tree(copy + "Volatra.app");
    ASSERT_EQ(s.run(installer, {}, run_now +
                                       "wait_log \"WIZARD entered dvd_do_run_sim\"\n"
                                       "sleep 1\n"
                                       "shot cannot.png\n"
                                       "click 600 23\n"
                                       "wait_log \"WIZARD entered dvd_start\"\n"
                                       "click 50 23\n"),
              0)
        << s.report();
    const std::string log = s.log();
    EXPECT_EQ(count_lines_with(log, "Could not start " + copy + "Volatra.app"), 1) << log;
    EXPECT_EQ(count_lines_with(log, "Launching:"), 1) << log;
    e2e_image shot;
    ASSERT_TRUE(read_png(s.work() + "cannot.png", &shot));
    // Back is offered: its button is drawn at full strength, unlike a disabled one.
    EXPECT_FALSE(shot.at(600, 23) == shot.at(720, 23));
}

}  // namespace

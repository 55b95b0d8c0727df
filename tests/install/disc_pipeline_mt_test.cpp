// The disc pipeline on its two pools: disc changes, failures, archives that hold something else,
// and runs abandoned with every slot busy.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>

#include "archive_test_helpers.h"
#include "core/strings.h"
#include "engine_helpers.h"
#include "files/archives.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "install/checksum.h"
#include "install/disc_pipeline.h"
#include "install/net_fetch.h"

namespace {

class DiscPipeline : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        stg.log_actions = 1;
        install_name = "Volatra Test 9";
        temp_path = s / "tmp/";
        dest_dir_path = s / "inst/";
        write_file(temp_path + "keep", "");
        insert_disc(0);
    }
    void TearDown() override {
        install_files_kill();
        std::string msg;
        install_files_get_error(msg);
        g_unpack_archive = unpack_archive_by_suffix;
        EXPECT_EQ(list_tree(temp_path), std::vector<std::string>{"keep"});  // no copy is left behind
    }
    void insert_disc(int n) { dvd_path = s / ("disk_" + std::to_string(n) + "/"); }
    std::string archive_of(const std::string& path, int disc) {
        return s / ("disk_" + std::to_string(disc) + "/" + install_name + "/" + path) +
               (path.find("Global Scenery") != std::string::npos ? ".7z" : ".zip");
    }
    // A file of the release on disc n: its archive there, its history in sim_info and its folder.
    int add(const std::string& path, const std::string& data, int disc, int need = 1) {
        const std::string name = path.substr(path.rfind('/') + 1), archive = archive_of(path, disc);
        if (archive.back() == 'z')
            put_7z(archive, {{name, data}});
        else
            put_zip(archive, name, data);
        // The manifest's size: whole KB of 1000 bytes, cut down, as the builder writes it.
        file_version_struct& v = add_history(path, {md5_of(data)}, 0, static_cast<float>(data.size() / 1000));
        v.sig_have = "NONE";
        v.disk = disc;
        v.need_install = need;
        std::filesystem::create_directories(std::filesystem::path(install_location(v)).parent_path());
        return static_cast<int>(sim_info.size()) - 1;
    }
    // Runs to the end from disc 0: every failure's code and message, in the order found.
    std::map<int, std::string> failures() {
        std::map<int, std::string> out;
        int cursor = 0, r;
        while ((r = step_until_answer(cursor, 0)) == 3) {
            std::string msg;
            int code = install_files_get_error(msg);
            out[static_cast<int>(out.size())] = std::to_string(code) + " " + msg;
        }
        EXPECT_EQ(r, 1);
        return out;
    }
    temp_folder s;
};

TEST_F(DiscPipeline, InstallsFromTwoDiscsAskingForEachInTurn) {
    int a = add("All/Resources/a.txt", "alpha", 1);
    // Bytes that do not shrink: its archive is copied from the disc in more than one block.
    std::string noise(3 << 19, '\0');
    uint32_t x = 1;
    for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
    int b = add("Linux/lib/b file.so", noise, 1);
    add("All/Resources/not needed.txt", "zzz", 1, 0);
    int c = add("All/Global Scenery/-global terrain-/+40-130/+47-123.dsf", "tile bytes", 2);
    int d = add("All/x/back.txt", "on disc 0 after disc 2", 0);
    add("Macintosh/Volatra.app/Contents/MacOS/Volatra", "#!/bin/sh\n", 0);

    int cursor = 0;
    EXPECT_EQ(install_files(cursor, 0), 2);  // nothing outstanding: the first file's disc is asked for
    insert_disc(1);
    EXPECT_EQ(step_until_answer(cursor, 1), 2);
    EXPECT_EQ(cursor, c);
    EXPECT_EQ(read_file(dest_dir_path + "lib/b file.so"), noise);
    EXPECT_FALSE(path_exists(install_location(cur(c))));
    insert_disc(2);
    EXPECT_EQ(step_until_answer(cursor, 2), 2);
    EXPECT_EQ(cursor, d);
    insert_disc(0);
    EXPECT_EQ(step_until_answer(cursor, 0), 1);
    EXPECT_EQ(copy_pool, unzip_pool);  // both deleted
    EXPECT_EQ(copy_pool, nullptr);
    EXPECT_EQ(
        list_tree(dest_dir_path),
        (std::vector<std::string>{"Global Scenery/-global terrain-/+40-130/+47-123.dsf", "Resources/a.txt",
                                  "Volatra.app/Contents/MacOS/Volatra", "lib/b file.so", "x/back.txt"}));
    for (int h : {a, b, c, d})
        EXPECT_EQ(cur(h).sig_have + std::to_string(cur(h).up_to_date), cur(h).sig_want + "1");
    EXPECT_EQ(cur(2).up_to_date, 0);
    struct stat st;
    ASSERT_EQ(stat((dest_dir_path + "Volatra.app/Contents/MacOS/Volatra").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(install_files(cursor = 0, 0), 2);  // nothing needs installing on disc 0 any more...
    for (auto& h : sim_info) h.versions.back().need_install = 0;
    EXPECT_EQ(install_files(cursor = 0, 0), 1);  // ...and with nothing needed, done at once
}

TEST_F(DiscPipeline, FailedCopiesAndArchivesAreReportedOnceAndTheRunGoesOn) {
    int lost = add("All/Resources/lost.txt", "lost", 0);
    int bad = add("All/Resources/bad.txt", std::string(5000, 'q'), 0);
    int kept = add("All/Resources/kept.txt", "kept", 0);
    // Zip64 sizes of all ones: the manifest's bound refuses the archive before its entry is read,
    // so this covers a refusal by the bound (EFBIG, reported once, the run going on); the reader's
    // own refusal of sizes no archive can hold is tested with the reader.
    int huge = add("All/Resources/a.txt", "hello", 0);
    ASSERT_EQ(unlink(archive_of(cur(lost).path, 0).c_str()), 0);
    write_file(archive_of(cur(bad).path, 0), "PK\x03\x04 this is not a zip at all");
    write_file(archive_of(cur(huge).path, 0), archive_test::zip64_stored("a.txt", "hello", ~0ull, ~0ull));
    // A file of the user's where a folder of two files goes, met only as they unpack: one report
    // names it, without a count it cannot know, and the other file fails unreported, counted when
    // the run is closed.
    add("All/blocked/a.txt", "a", 0);
    add("All/blocked/b.txt", "b", 0);
    remove_tree(dest_dir_path + "blocked");
    write_file(dest_dir_path + "blocked", "the user's");
    // So too a link leading out of a folder the user moved: nothing is written beyond it.
    add("All/moved/up/x.txt", "x", 0);
    add("All/moved/up/y.txt", "y", 0);
    remove_tree(dest_dir_path + "moved");
    const std::string disk = s / "disk/";
    std::filesystem::create_directories(disk + "Res");
    ASSERT_EQ(symlink((disk + "Res").c_str(), (dest_dir_path + "moved").c_str()) +
                  symlink("..", (disk + "Res/up").c_str()),
              0);
    std::set<std::string> found;
    for (auto& f : failures()) found.insert(f.second);
    EXPECT_EQ(list_tree(disk), std::vector<std::string>{"Res/up"});
    EXPECT_EQ(install_files_kill(), 2);
    EXPECT_EQ(install_files_kill(), 0);  // counted once
    EXPECT_EQ(found,
              (std::set<std::string>{
                  std::to_string(ENOTDIR) + " Something of yours stands at " + dest_dir_path +
                      "blocked, where the release puts files, so the files that go there are left out.",
                  std::to_string(err_link_leads_out) + " The link " + dest_dir_path +
                      "moved/up leads outside the folder you moved and linked, " +
                      std::filesystem::canonical(disk).string() +
                      "/Res/, so the files of the release beyond it are left out.",
                  std::to_string(ENOENT) + " I was unable to copy the file " + archive_of(cur(lost).path, 0) +
                      " from the DVD to the hard drive.",
                  std::to_string(err_zip_open) + " I was unable to unzip the file " + temp_path +
                      cur(bad).sig_want + "_1..zip to the folder " + dest_dir_path + "Resources/.",
                  std::to_string(EFBIG) + " I was unable to unzip the file " + temp_path +
                      cur(huge).sig_want + "_3..zip to the folder " + dest_dir_path + "Resources/."}));
    std::string msg;
    EXPECT_EQ(install_files_get_error(msg), 0);  // read once, then cleared
    EXPECT_EQ(msg, "");
    EXPECT_EQ(cur(lost).sig_have + cur(bad).sig_have + cur(huge).sig_have, "NONENONENONE");
    EXPECT_EQ(cur(kept).up_to_date, 1);
}

TEST_F(DiscPipeline, AnArchiveThatCannotBeOpenedIsReportedWithItsOwnError) {
    // A loop of links, and a file where the disc has a folder: they fail the same way for root.
    const std::string loop = archive_of(cur(add("All/Resources/loop.txt", "loop", 0)).path, 0);
    ASSERT_EQ(unlink(loop.c_str()) + symlink("loop.txt.zip", loop.c_str()), 0);
    const std::string flat = archive_of(cur(add("All/Flat/x.txt", "x", 0)).path, 0);
    remove_tree(flat.substr(0, flat.rfind('/')));
    write_file(flat.substr(0, flat.rfind('/')), "a file");
    std::set<int> want = {ELOOP, ENOTDIR};
    // A folder the disc does not let us read; root reads it all the same.
    const std::string locked = archive_of(cur(add("All/Locked/y.txt", "y", 0)).path, 0);
    const std::string locked_folder = locked.substr(0, locked.rfind('/'));
    if (geteuid() != 0 && chmod(locked_folder.c_str(), 0) == 0) want.insert(EACCES);
    std::set<int> found;
    for (auto& f : failures()) found.insert(std::stoi(f.second));
    chmod(locked_folder.c_str(), 0755);
    EXPECT_EQ(found, want);
}

TEST_F(DiscPipeline, AnArchiveHoldingAnythingElseInstallsNothing) {
    // Each replaces a file of the copy; none may change it or write anything beside it.
    const std::string tile = "All/Global Scenery/-global terrain-/+40-130/+46-122.dsf";
    int other_name = add("All/r/a.txt", "right", 0);
    put_zip(archive_of(cur(other_name).path, 0), "b.txt", "right");
    int extra_zip = add("All/r/c.txt", "right", 0);
    {
        temp_folder t;
        write_file(t / "c.txt", "right");
        write_file(t / "d.txt", "a sibling");
        ASSERT_EQ(run("cd '" + t.path() + "' && zip -q -X '" + archive_of(cur(extra_zip).path, 0) +
                      "' c.txt d.txt"),
                  0);
    }
    add(tile, "right", 0);
    put_7z(archive_of(tile, 0), {{"+46-122.dsf", "right"}, {"+46-123.dsf", "a sibling"}});
    int wrong_zip = add("All/r/e.txt", "right", 0);
    put_zip(archive_of(cur(wrong_zip).path, 0), "e.txt", "wrong");
    int wrong_7z = add("All/Global Scenery/-global terrain-/+40-130/+45-122.dsf", "right", 0);
    put_7z(archive_of(cur(wrong_7z).path, 0), {{"+45-122.dsf", "wrong"}});
    int new_wrong = add("All/r/f.txt", "right", 0);
    put_zip(archive_of(cur(new_wrong).path, 0), "f.txt", "wrong");
    for (int h = 0; h < new_wrong; ++h) write_file(install_location(cur(h)), "the old file");

    auto found = failures();
    EXPECT_EQ(found.size(), 6u);
    for (auto& f : found)
        EXPECT_EQ(f.second.rfind(std::to_string(err_zip_not_manifest) + " I was unable to unzip", 0), 0u);
    for (int h = 0; h < new_wrong; ++h) EXPECT_EQ(read_file(install_location(cur(h))), "the old file") << h;
    EXPECT_FALSE(path_exists(install_location(cur(new_wrong))));
    EXPECT_EQ(list_tree(dest_dir_path).size(), 5u);
    for (auto& h : sim_info) EXPECT_EQ(h.versions.back().up_to_date, 0);
}

// A link is judged from where it will lie, not from the hidden folder it is unpacked into first.
TEST_F(DiscPipeline, ALinkThatWouldLeadOutOfTheCopyIsRefused) {
    write_file(s / "outside", "not the copy's");
    for (const char* text : {"../outside", "inside"}) {
        SCOPED_TRACE(text);
        reset_engine_state();
        dest_dir_path = s / "inst/";
        const int h = add("All/top.lnk", "", 0);
        {
            temp_folder t;
            ASSERT_EQ(symlink(text, (t / "top.lnk").c_str()), 0);
            ASSERT_EQ(file_to_zip(t / "top.lnk", archive_of(cur(h).path, 0)), 0);
        }
        cur(h).sig_want = md5_of(text);
        const int r =
            install_from_archive(archive_of(cur(h).path, 0), install_location(cur(h)), cur(h).sig_want);
        std::string link;
        if (std::string(text) == "inside") {
            EXPECT_EQ(r, 0);
            EXPECT_TRUE(is_sim_link(install_location(cur(h)).c_str(), &link));
            EXPECT_EQ(link, "inside");
        } else {
            EXPECT_EQ(r, err_zip_unsafe_path);
            EXPECT_EQ(list_tree(dest_dir_path), std::vector<std::string>{});
        }
        remove_tree(dest_dir_path);
    }
}

TEST_F(DiscPipeline, TemporaryNamesStayInTheTemporaryFolder) {
    for (int i = 0; i < 12; ++i) add_history("All/f" + std::to_string(i), {md5_abc});
    int zip = add("All/a.txt", "alpha", 0);
    int tile = add("All/Global Scenery/-global terrain-/+40-130/+47-123.dsf", "t", 0, 0);
    cur(zip).sig_want = "../out/" + cur(zip).sig_want;  // a digest read from a manifest
    EXPECT_EQ(dvd_unpack_task(zip, "/t/").temp_file, "/t/___out_" + cur(zip).sig_want.substr(7) + "_12..zip");
    dvd_unpack_task task(tile, "/t/");
    EXPECT_EQ(task.temp_file + task.dest_path,
              "/t/" + cur(tile).sig_want + "_13..7z" + install_location(cur(tile)));
    EXPECT_EQ(task.phase + task.err, 0);
    EXPECT_EQ(suffix_for_file(zip) + suffix_for_file(tile), ".zip.7z");
}

int throwing_unpack(const std::string&, const std::string&) { throw std::runtime_error("disk on fire"); }

TEST_F(DiscPipeline, AnExceptionInATaskIsAFailureNotAHang) {
    for (int i = 0; i < 5; ++i) add("All/t/" + std::to_string(i) + ".txt", "x", 0);
    g_unpack_archive = throwing_unpack;
    int cursor = 0;
    EXPECT_EQ(step_until_answer(cursor, 0), 3);
    std::string msg;
    EXPECT_EQ(install_files_get_error(msg), EIO);
    EXPECT_NE(msg.find("disk on fire"), std::string::npos);
    install_files_kill();
    EXPECT_EQ(copy_pool, unzip_pool);
    EXPECT_EQ(copy_pool, nullptr);
}

TEST_F(DiscPipeline, KillWithEverySlotBusyStillUnpacksWhatWasQueued) {
    for (int i = 0; i < 80; ++i)
        add("All/many/" + std::to_string(i) + "/item.txt", std::string(30000, 'i'), 0);
    int cursor = 0;
    EXPECT_EQ(install_files(cursor, 0), 0);
    EXPECT_EQ(cursor, 30);
    install_files_kill();
    EXPECT_EQ(copy_pool, unzip_pool);
    EXPECT_EQ(copy_pool, nullptr);
    install_files_kill();  // no run: nothing to do
    EXPECT_EQ(list_tree(dest_dir_path).size(), 30u);
    EXPECT_EQ(step_until_answer(cursor = 0, 0), 1);
    for (int i = 0; i < 80; ++i) EXPECT_EQ(cur(i).up_to_date, 1);
}

// Unpacks slowly, noting the most archives that waited in the temporary folder meanwhile.
std::string g_waiting_in;
std::atomic<int> g_most_waiting{0};
int slow_counting_unpack(const std::string& archive, const std::string& folder) {
    int archives = 0;
    if (DIR* d = opendir(g_waiting_in.c_str())) {
        while (dirent* e = readdir(d)) archives += ends_with(e->d_name, ".zip") ? 1 : 0;
        closedir(d);
    }
    for (int most = g_most_waiting; archives > most && !g_most_waiting.compare_exchange_weak(most, archives);) {
    }
    usleep(3000);
    return unpack_archive_by_suffix(archive, folder);
}

// The disc is read faster than the archives are unpacked: the copies wait for room in the
// unpack pool instead of piling up in the temporary folder.
TEST_F(DiscPipeline, NoMoreThanThirtyArchivesWaitWhenUnpackingLags) {
    for (int i = 0; i < 300; ++i) add("All/many/" + std::to_string(i) + ".txt", std::to_string(i), 0);
    // A bundle's program unpacked by another reader is made executable too.
    const int program = add("All/X.app/Contents/MacOS/run", "a program", 0);
    g_waiting_in = temp_path;
    g_most_waiting = 0;
    g_unpack_archive = slow_counting_unpack;
    int cursor = 0;
    EXPECT_EQ(step_until_answer(cursor, 0), 1);
    EXPECT_LE(g_most_waiting, 30);
    EXPECT_GT(g_most_waiting, 0);
    for (int i = 0; i <= program; ++i) EXPECT_EQ(cur(i).up_to_date, 1) << i;
    EXPECT_EQ(std::filesystem::status(install_location(cur(program))).permissions(), std::filesystem::perms(0755));
}

// Where the process unpacking an archive is killed: before the unpacking starts, or after the new
// file was written but before it was checked and put in place.
enum class kill_at { start, written };
kill_at g_kill_at = kill_at::start;
int unpack_then_die(const std::string& archive, const std::string& folder) {
    if (g_kill_at == kill_at::start) raise(SIGKILL);
    unpack_archive_by_suffix(archive, folder);
    raise(SIGKILL);
    return 0;
}

// A crash while a file is replaced, from the disc (zip and 7z) or from the network: the next
// checksum pass finds the old file whole in its place and nothing left beside it.
TEST_F(DiscPipeline, ACrashWhileAFileIsReplacedLeavesTheOldFile) {
    const std::string tile = "All/Global Scenery/-global terrain-/+40-130/+46-122.dsf";
    for (const std::string& path : {std::string("All/r/a.txt"), tile})
        for (kill_at at : {kill_at::start, kill_at::written})
            for (bool network : {false, true}) {
                SCOPED_TRACE(path + (at == kill_at::start ? " killed at the start" : " killed once written") +
                             (network ? " (network)" : " (disc)"));
                reset_engine_state();
                dest_dir_path = s / "inst/";
                const int h = add(path, "the new release's file", 0);
                const std::string archive = archive_of(path, 0), location = install_location(cur(h));
                write_file(location, "the old file");
                g_kill_at = at;
                g_unpack_archive = unpack_then_die;
                const child_result r = run_in_child([&] {
                    if (network)
                        extract_and_delete_file(archive, location, cur(h).sig_want);
                    else
                        install_from_archive(archive, location, cur(h).sig_want);
                });
                g_unpack_archive = unpack_archive_by_suffix;
                EXPECT_EQ(r.exit_code, -1);  // killed, as by a crash
                cur(h).sig_want = md5_of("the old file");
                int cursor = 0;
                float progress = 0;
                while (!checksum_directory(cursor, progress)) usleep(100);
                EXPECT_EQ(read_file(location), "the old file");
                EXPECT_EQ(cur(h).up_to_date, 1);
                const std::string folder = location.substr(0, location.rfind('/') + 1);
                EXPECT_EQ(list_tree(folder), std::vector<std::string>{path.substr(path.rfind('/') + 1)});
                remove_tree(dest_dir_path);
            }
}

int answer_first(std::string q, std::string l1, std::string, std::string l2, std::string) {
    return q == "Stop?" && l1 == "Cancel" && l2 == "Continue" ? 1 : 0;
}

TEST(AbortAlert, AnswersThroughItsHook) {
    EXPECT_EQ(abort_alert("Stop?", "Cancel", "a", "Continue", "b"), 3);
    g_abort_alert = answer_first;
    EXPECT_EQ(abort_alert("Stop?", "Cancel", "a", "Continue", "b"), 1);
    g_abort_alert = nullptr;
}

}  // namespace

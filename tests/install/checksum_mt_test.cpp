// The checksum pass on its pool: digests equal to serial ones, the end of a pass, abandoning one,
// and the stale temporary items it sweeps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <new>

#include "engine_helpers.h"
#include "files/md5.h"
#include "install/checksum.h"
#include "install/temp_files.h"
#include "platform/plat_paths.h"

namespace {

std::atomic<bool> g_hold{false};
// Waits while held; throws for one file. Installed through the pass's digest seam. A pass that
// ends too early waits for its held task while deleting the pool, where the test cannot release
// it: after ten seconds the hold lets go by itself, so that such a pass fails instead of hanging.
int held_md5(const std::string& path, std::string& hex) {
    for (int i = 0; g_hold && i < 100000; ++i) usleep(100);
    if (path.find("throws") != std::string::npos) throw std::bad_alloc();
    return calc_file_md5(path, hex);
}

class Checksum : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        dest_dir_path = copy.path();
    }
    void TearDown() override {
        g_hold = false;
        checksum_directory_kill();
        checksum_file_md5 = calc_file_md5;
    }
    // Steps a pass to its end from where cursor stands; the number of steps.
    int run_pass(int cursor = 0) {
        float progress = -1.0f, last = 0.0f;
        const int steps = checksum_until_done(cursor, progress, [&] {
            EXPECT_GE(progress, last);
            last = progress;
        });
        EXPECT_EQ(cursor, static_cast<int>(sim_info.size()));
        EXPECT_EQ(checksum_workers, nullptr);
        return steps;
    }
    // Every wanted current version against a serial digest of its file.
    void expect_serial_digests() {
        for (size_t h = 0; h < sim_info.size(); ++h) {
            std::string serial = "NONE";
            calc_file_md5(install_location(cur(h)), serial);
            ASSERT_EQ(cur(h).sig_have, serial) << h;
            ASSERT_EQ(cur(h).up_to_date, serial == cur(h).sig_want) << h;
        }
    }
    temp_folder copy;
};

TEST_F(Checksum, NoFolderOrNoHistories) {
    add_history("All/a.txt", {md5_abc});
    add_history("All/mac.txt", {md5_abc}, 1).up_to_date = 1;  // not wanted: still marked
    dest_dir_path = copy / "missing/";
    int cursor = 0;
    float progress = -1.0f;
    EXPECT_EQ(checksum_directory(cursor, progress), 1);
    EXPECT_EQ(cursor + progress, -1.0f);
    EXPECT_EQ(checksum_workers, nullptr);
    for (size_t h = 0; h < 2; ++h) EXPECT_EQ(cur(h).sig_have + std::to_string(cur(h).up_to_date), "NONE0");

    sim_info.clear();
    dest_dir_path = copy.path();
    log_capture log;
    EXPECT_EQ(checksum_directory(cursor, progress), 1);
    EXPECT_EQ(progress, 0.0f);
    EXPECT_NE(log.text().find(" Start of MD5 at "), std::string::npos);
    EXPECT_NE(log.text().find(" End of MD5 at "), std::string::npos);
}

TEST_F(Checksum, CurrentOlderModifiedMissingGoneAndUnwantedFiles) {
    for (const char* f : {"current.txt", "gone.txt", "mac.txt", "throws.txt"})
        copy.write("Resources/" + std::string(f), "abc");
    copy.write("Resources/older.txt", "");
    copy.write("Resources/modified.txt", "changed by the user");
    add_history("All/Resources/current.txt", {md5_of(""), md5_abc});
    add_history("All/Resources/older.txt", {md5_of(""), md5_abc});
    add_history("All/Resources/modified.txt", {md5_abc});
    add_history("Linux/Resources/missing.txt", {md5_abc}, 3);
    add_history("All/Resources/gone.txt", {md5_abc, "GONE"});
    add_history("All/Resources/throws.txt", {md5_abc}).sig_have = md5_abc;  // its digest throws
    add_history("Macintosh/Resources/mac.txt", {md5_abc}, 1).sig_have = "kept";
    checksum_file_md5 = held_md5;
    run_pass();
    std::string got;
    for (auto& h : sim_info)
        got += h.versions.back().sig_have.substr(0, 4) + std::to_string(h.versions.back().up_to_date) + " ";
    EXPECT_EQ(got,
              "90011 d41d0 " + md5_of("changed by the user").substr(0, 4) + "0 NONE0 90010 NONE0 kept0 ");
}

TEST_F(Checksum, ManyHistoriesMatchSerialDigests) {
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "Resources/f" + std::to_string(i % 97) + "/" + std::to_string(i);
        if (i % 7) copy.write(name, std::string(i % 300, static_cast<char>('a' + i % 26)));
        add_history("All/" + name, {i % 3 ? md5_abc : md5_of("")});
    }
    EXPECT_GT(run_pass(), 1);
    expect_serial_digests();
}

TEST_F(Checksum, APassEndsOnlyOnceEveryTaskIsBack) {
    copy.write("a", "abc");
    add_history("All/a", {md5_abc});
    checksum_file_md5 = held_md5;
    g_hold = true;
    int cursor = 0;
    float progress = 0.0f;
    for (int i = 0; i < 20; ++i) ASSERT_EQ(checksum_directory(cursor, progress), 0);
    EXPECT_EQ(cursor, 1);
    EXPECT_EQ(progress, 1.0f);  // handed out, not finished
    g_hold = false;
    run_pass(cursor);
    EXPECT_EQ(cur(0).up_to_date, 1);
    std::string msg = "x";  // a checksum task never fails
    EXPECT_EQ(checksum_task(0, 1).check_error(msg), 0);
    EXPECT_EQ(msg, "");
}

TEST_F(Checksum, AbandonedPassesAndRereadManifests) {
    const int n = 600 * UTL_count_processors();  // more than the first step hands out
    for (int i = 0; i < n; ++i) {
        copy.write("copy/f" + std::to_string(i), "abc");
        add_history("All/f" + std::to_string(i), {md5_abc});
    }
    dest_dir_path = copy / "copy/";
    int cursor = 0;
    float progress = 0.0f;
    EXPECT_EQ(checksum_directory(cursor, progress), 0);
    EXPECT_EQ(cursor, 40 * UTL_count_processors());  // four tasks per processor, 10 small histories each
    checksum_directory_kill();

    // Batches are cut by size too: files of 4 MB and more go one to a task.
    for (int i = 0; i < n; ++i) sim_info[i].versions.back().size_b = 4000.0f;
    cursor = 0;
    EXPECT_EQ(checksum_directory(cursor, progress), 0);
    EXPECT_EQ(cursor, 4 * UTL_count_processors());
    checksum_directory_kill();
    // A small file, three of 1 MB and one of 4 MB make the first task.
    sim_info[0].versions.back().size_b = 0;
    for (int i = 1; i < 4; ++i) sim_info[i].versions.back().size_b = 1000.0f;
    cursor = 0;
    EXPECT_EQ(checksum_directory(cursor, progress), 0);
    EXPECT_EQ(cursor, 5 + 4 * UTL_count_processors() - 1);
    checksum_directory_kill();
    EXPECT_EQ(checksum_workers, nullptr);
    checksum_directory_kill();  // nothing running: no effect

    // The folder goes while a pass runs: the absent marks come once no task can write them.
    cursor = 0;
    EXPECT_EQ(checksum_directory(cursor, progress), 0);
    // Moved away in one step: the pass's sweep may be adding and removing the copy's lock file
    // in it, which a removal file by file can meet half-way.
    std::filesystem::rename(dest_dir_path, copy / "gone");
    EXPECT_EQ(checksum_directory(cursor, progress), 1);
    EXPECT_EQ(checksum_workers, nullptr);
    for (auto& h : sim_info) ASSERT_EQ(h.versions.back().sig_have, "NONE");

    // Reading a manifest while a pass runs stops the pass before the histories go.
    dest_dir_path = copy.path();
    cursor = 0;
    EXPECT_EQ(checksum_directory(cursor, progress), 0);
    EXPECT_EQ(
        read_directory(copy.write("directory.txt", manifest_text("DIR All/\nFILE 0 0 1 1 1 GONE x\n")), ""),
        3);
    EXPECT_EQ(checksum_workers, nullptr);
}

TEST_F(Checksum, StaleTemporaryItemsOfEndedProcessesAreSwept) {
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = ".vtmp-" + std::to_string(gone) + "-3";
    const std::string mine = ".vtmp-" + std::to_string(getpid()) + "-3";
    for (const char* folder : {"Resources/", "Aircraft/a/"}) {
        copy.write(folder + stale, "an interrupted extraction");
        copy.write(folder + (".vtmp-" + std::to_string(gone) + "-4/half.dsf"), "an interrupted 7z");
        copy.write(folder + mine, "in flight");
        copy.write(folder + std::string(".vtmp-notes"), "the user's");
    }
    // Folders of files no longer in the manifest too, but not one outside the copy that a link
    // in it leads to.
    copy.write("Old/gone/" + stale, "an older release's file");
    temp_folder outside;
    outside.write(stale, "not the copy's");
    ASSERT_EQ(symlink(outside.path().c_str(), (copy / "Old/elsewhere").c_str()), 0);
    add_history("All/Resources/a.txt", {md5_abc});
    add_history("Macintosh/Aircraft/a/b.acf", {md5_abc}, 1);  // not wanted: swept all the same
    run_pass();
    EXPECT_EQ(list_tree(copy.path()),
              (std::vector<std::string>{"Aircraft/a/" + mine, "Aircraft/a/.vtmp-notes", "Old/elsewhere",
                                        "Resources/" + mine, "Resources/.vtmp-notes"}));
    EXPECT_TRUE(path_exists(outside / stale));

    // A folder the user moved and linked, on the way of a manifest file, is swept where it is; a
    // link to a folder that holds the copy moved nothing of it, and that folder is not walked.
    temp_folder moved, outer;
    moved.write("a/" + stale, "an interrupted extraction");
    moved.write("a/" + mine, "in flight");
    outer.write(stale, "not the copy's");
    dest_dir_path = outer / "copy/";
    outer.write("copy/Resources/a.txt", "abc");
    ASSERT_EQ(symlink(moved.path().c_str(), (dest_dir_path + "Moved").c_str()) +
                  symlink(outer.path().c_str(), (dest_dir_path + "Up").c_str()),
              0);
    add_history("All/Moved/a/m.dat", {md5_abc});
    add_history("All/Up/u.dat", {md5_abc});
    run_pass();
    EXPECT_EQ(list_tree(moved.path()), std::vector<std::string>{"a/" + mine});
    EXPECT_TRUE(path_exists(outer / stale));
}

// Only names exactly as the program writes them go, each logged; anything else of the user's that
// merely looks like one stays, also where the process id read loosely would be an ended one.
TEST_F(Checksum, OnlyTheProgramsOwnHiddenNamesAreSweptEachLogged) {
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string pid = std::to_string(gone), tmp = ".vtmp-";
    const std::vector<std::string> ours = {tmp + pid + "-0", tmp + pid + "-4294967295", tmp + pid + "-7/half.dsf"};
    const std::vector<std::string> users = {
        tmp + pid + "-backup/pack.dsf", tmp + pid + "-my notes", tmp + " " + pid + "-1", tmp + "+" + pid + "-1",
        tmp + "0" + pid + "-1",  tmp + pid + "-01",      tmp + pid + "-1-",           tmp + pid + "-1 ",
        tmp + pid + "-",          tmp + pid + "-4294967296", tmp + "0-1",             tmp + pid + "--1",
        tmp + std::to_string((1ull << 31) + unsigned(gone)) + "-1",
        tmp + std::to_string((1ull << 32) + unsigned(gone)) + "-1",
        "notes-" + pid + "-2"};
    const std::string pack = "Custom Scenery/my pack/";
    std::vector<std::string> kept;
    for (const std::string& name : ours) copy.write(pack + name, "an interrupted extraction");
    for (const std::string& name : users) kept.push_back(pack + name), copy.write(kept.back(), "the user's");
    std::sort(kept.begin(), kept.end());
    add_history("All/Resources/a.txt", {md5_abc});
    log_capture log;
    run_pass();
    EXPECT_EQ(list_tree(copy.path()), kept);
    for (const char* removed : {"-0", "-4294967295", "-7"})
        EXPECT_NE(log.text().find("Removed the temporary item " + copy.path() + pack + tmp + pid + removed +
                                  " of an ended run.\n"),
                  std::string::npos)
            << removed << "\n"
            << log.text();
}

// Another program that holds the copy's lock may be writing its hidden names from where this one
// cannot see its process: its copy is left alone, and so is a copy inside this one that it holds.
// A lock that cannot be had for any other reason stops nothing.
TEST_F(Checksum, ACopyAnotherProgramHoldsIsNotSwept) {
    pid_t gone = fork();
    if (gone == 0) _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string stale = ".vtmp-" + std::to_string(gone) + "-3", inner = "Custom Scenery/second copy/";
    copy.write("Resources/" + stale, "another program's");
    copy.write(inner + stale, "a copy inside this one");
    add_history("All/Resources/a.txt", {md5_abc});
    int held = -1, inner_held = -1;
    ASSERT_EQ(plat::lock_file(copy.path() + copy_lock_name, &held), 0);
    {
        log_capture log;
        run_pass();
        EXPECT_TRUE(path_exists(copy / ("Resources/" + stale)) && path_exists(copy / (inner + stale)));
        EXPECT_NE(log.text().find("Temporary items in " + copy.path() +
                                  " are left alone: another program is working on the copy.\n"),
                  std::string::npos)
            << log.text();
    }
    plat::unlock_file(copy.path() + copy_lock_name, held);
    ASSERT_EQ(plat::lock_file(copy / (inner + copy_lock_name), &inner_held), 0);
    run_pass();
    EXPECT_EQ(list_tree(copy.path()), (std::vector<std::string>{inner + copy_lock_name, inner + stale}));
    plat::unlock_file(copy / (inner + copy_lock_name), inner_held);
    // Nobody holds either now; the locks the sweep took go with it.
    run_pass();
    EXPECT_TRUE(list_tree(copy.path()).empty());
    // No lock file can be made in a top folder the user cannot write (root writes it all the same:
    // a folder in the lock file's place does the same), nor in the inner copy: the sweep goes on
    // without them, as a run does.
    copy.write("Resources/" + stale, "an interrupted extraction");
    copy.write(inner + stale, "an interrupted extraction");
    ASSERT_EQ(mkdir((copy / (inner + copy_lock_name)).c_str(), 0755), 0);
    if (geteuid() == 0) {
        ASSERT_EQ(mkdir((copy.path() + copy_lock_name).c_str(), 0755), 0);
    }
    ASSERT_EQ(chmod(copy.path().c_str(), 0555), 0);
    log_capture log;
    run_pass();
    chmod(copy.path().c_str(), 0755);
    EXPECT_TRUE(list_tree(copy.path()).empty());
    EXPECT_NE(log.text().find("Could not lock the copy " + copy.path() + " ("), std::string::npos) << log.text();
    // A FIFO in either lock file's place: the sweep neither waits on it nor removes it, for it
    // never took that lock.
    const std::string top_lock = copy.path() + copy_lock_name, inner_lock = copy / (inner + copy_lock_name);
    for (const std::string& lock : {top_lock, inner_lock}) {
        rmdir(lock.c_str());
        ASSERT_EQ(mkfifo(lock.c_str(), 0644), 0);
    }
    copy.write("Resources/" + stale, "an interrupted extraction");
    copy.write(inner + stale, "an interrupted extraction");
    run_pass();
    EXPECT_EQ(list_tree(copy.path()), (std::vector<std::string>{copy_lock_name, inner + copy_lock_name}));
}

}  // namespace

#include "install/disc_pipeline.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <stdexcept>

#include "core/wx.h"
#include "files/zip_utils.h"
#include "install/disc_set_helpers.h"
#include "install/install_state.h"
#include "install/manifest.h"

namespace {

class DiscPipeline : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        stg.log_actions = 1;
        install_name = "Volatra Test 9";
        temp_path = s.path() + "tmp/";
        dest_dir_path = s.path() + "inst/";
        ds::mkdirs(temp_path);
        ds::mkdirs(dest_dir_path);
        insert_disc(0);
        g_unpack_archive = unpack_archive_by_suffix;
    }
    void TearDown() override {
        install_files_kill();
        std::string msg;
        install_files_get_error(msg);
        g_unpack_archive = unpack_archive_by_suffix;
        sim_info.clear();
    }

    std::string disc(int n) { return s.path() + "disk_" + std::to_string(n) + "/"; }
    void insert_disc(int n) { dvd_path = disc(n); }

    // A file of the release on disc n: its archive on that disc and its history in sim_info.
    int add(const std::string& path, const std::string& data, int n, int need = 1) {
        const std::string archive_base = disc(n) + install_name + "/" + path;
        const std::string name = path.substr(path.rfind('/') + 1);
        if (path.find("Global Scenery") != std::string::npos) {
            ds::put_7z(archive_base + ".7z", name, data);
        } else {
            const std::string master = s.path() + "master/" + path;
            ds::put(master, data);
            ds::mkdirs(archive_base.substr(0, archive_base.rfind('/')));
            EXPECT_EQ(file_to_zip(master, archive_base + ".zip"), 0);
        }
        std::string dest = dest_dir_path + path.substr(path.find('/') + 1);
        ds::mkdirs(dest.substr(0, dest.rfind('/')));
        file_version_struct v;
        v.path = path;
        v.sig_want = ds::md5_of(data);
        v.sig_have = "NONE";
        v.disk = n;
        v.need_install = need;
        sim_info.push_back(file_history_struct{{v}});
        return static_cast<int>(sim_info.size()) - 1;
    }
    const file_version_struct& cur(int h) { return sim_info[h].versions.back(); }

    temp_folder s;
};

TEST_F(DiscPipeline, InstallsTwoDiscsAskingForTheSecond) {
    int a = add("All/Resources/a.txt", "alpha", 0);
    int b = add("Linux/lib/b file.so", std::string(200000, 'b'), 0);
    int skip = add("All/Resources/not needed.txt", "zzz", 0, 0);
    int c = add("All/Global Scenery/-global terrain-/+40-130/+47-123.dsf", "tile bytes", 1);

    int cursor = 0;
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 2);
    EXPECT_EQ(cursor, c);
    EXPECT_EQ(read_file(dest_dir_path + "Resources/a.txt"), "alpha");
    EXPECT_EQ(read_file(dest_dir_path + "lib/b file.so"), std::string(200000, 'b'));
    EXPECT_FALSE(path_exists(dest_dir_path + "Resources/not needed.txt"));
    EXPECT_FALSE(path_exists(dest_dir_path + "Global Scenery/-global terrain-/+40-130/+47-123.dsf"));

    insert_disc(1);
    EXPECT_EQ(ds::step_until_answer(cursor, 1), 1);
    EXPECT_EQ(copy_pool, nullptr);
    EXPECT_EQ(unzip_pool, nullptr);
    EXPECT_EQ(read_file(dest_dir_path + "Global Scenery/-global terrain-/+40-130/+47-123.dsf"), "tile bytes");
    for (int h : {a, b, c}) {
        EXPECT_EQ(cur(h).sig_have, cur(h).sig_want);
        EXPECT_EQ(cur(h).up_to_date, 1);
    }
    EXPECT_EQ(cur(skip).up_to_date, 0);
    // Every copy in the temporary folder is gone.
    EXPECT_TRUE(ds::list_tree(temp_path).empty());
}

TEST_F(DiscPipeline, WaitsForItsDiscWhateverTheOrder) {
    add("All/x/one.txt", "1", 1);
    add("All/x/two.txt", "2", 1);
    int third = add("All/x/three.txt", "3", 2);
    int back = add("All/x/four.txt", "4", 0);

    int cursor = 0;
    insert_disc(1);
    EXPECT_EQ(ds::step_until_answer(cursor, 1), 2);
    EXPECT_EQ(cursor, third);
    EXPECT_TRUE(path_exists(dest_dir_path + "x/one.txt") && path_exists(dest_dir_path + "x/two.txt"));
    insert_disc(2);
    EXPECT_EQ(ds::step_until_answer(cursor, 2), 2);
    EXPECT_EQ(cursor, back);  // disc 0 after disc 2 is asked for as well
    insert_disc(0);
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 1);
    EXPECT_EQ(read_file(dest_dir_path + "x/four.txt"), "4");
}

TEST_F(DiscPipeline, NothingNeededIsDoneAtOnce) {
    add("All/a.txt", "a", 0, 0);
    int cursor = 0;
    EXPECT_EQ(install_files(cursor, 0), 1);
    EXPECT_EQ(copy_pool, nullptr);
    EXPECT_EQ(unzip_pool, nullptr);
}

TEST_F(DiscPipeline, MissingArchiveIsReportedOnceAndTheRunGoesOn) {
    int lost = add("All/Resources/lost.txt", "lost", 0);
    int kept = add("All/Resources/kept.txt", "kept", 0);
    const std::string source = dvd_path + install_name + "/All/Resources/lost.txt.zip";
    ASSERT_EQ(unlink(source.c_str()), 0);

    int cursor = 0;
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 3);
    std::string msg;
    EXPECT_EQ(install_files_get_error(msg), 2);
    EXPECT_EQ(msg, "I was unable to copy the file " + source + " from the DVD to the hard drive.");
    EXPECT_EQ(install_files_get_error(msg), 0);
    EXPECT_EQ(msg, "");

    EXPECT_EQ(ds::step_until_answer(cursor, 0), 1);
    EXPECT_EQ(cur(lost).up_to_date, 0);
    EXPECT_EQ(cur(lost).sig_have, "NONE");
    EXPECT_EQ(cur(kept).up_to_date, 1);
    EXPECT_TRUE(ds::list_tree(temp_path).empty());
}

TEST_F(DiscPipeline, CorruptArchiveFailsAndLeavesNoTemporaryCopy) {
    int bad = add("All/Resources/bad.txt", std::string(5000, 'q'), 0);
    ds::put(dvd_path + install_name + "/All/Resources/bad.txt.zip", "PK\x03\x04 this is not a zip at all");

    int cursor = 0;
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 3);
    std::string msg;
    EXPECT_NE(install_files_get_error(msg), 0);
    const std::string temp = temp_path + cur(bad).sig_want + "_" + std::to_string(bad) + "..zip";
    EXPECT_EQ(msg,
              "I was unable to unzip the file " + temp + " to the folder " + dest_dir_path + "Resources/.");
    EXPECT_EQ(cur(bad).up_to_date, 0);
    EXPECT_TRUE(ds::list_tree(temp_path).empty());
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 1);
}

TEST_F(DiscPipeline, ArchiveHoldingAnotherNameIsAFailure) {
    int h = add("All/Global Scenery/-global terrain-/+40-130/+46-122.dsf", "right", 0);
    ds::put_7z(dvd_path + install_name + "/All/Global Scenery/-global terrain-/+40-130/+46-122.dsf.7z",
               "other.dsf", "wrong");
    int cursor = 0;
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 3);
    std::string msg;
    EXPECT_EQ(install_files_get_error(msg), ENOENT);
    EXPECT_NE(msg.find("I was unable to unzip the file "), std::string::npos);
    EXPECT_EQ(cur(h).up_to_date, 0);
    EXPECT_NE(cur(h).sig_have, cur(h).sig_want);
}

TEST_F(DiscPipeline, BundleExecutablesAreMadeExecutable) {
    add("Macintosh/Volatra.app/Contents/MacOS/Volatra", "#!/bin/sh\n", 0);
    int cursor = 0;
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 1);
    struct stat st;
    ASSERT_EQ(stat((dest_dir_path + "Volatra.app/Contents/MacOS/Volatra").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
}

TEST_F(DiscPipeline, TemporaryNamesAndSuffixes) {
    for (int i = 0; i < 13; ++i) add("All/f" + std::to_string(i) + ".txt", "x", 0, 0);
    add("All/Global Scenery/-global terrain-/+40-130/+47-123.dsf", "t", 0, 0);
    dvd_unpack_task zip_task(12, "/t/");
    EXPECT_EQ(zip_task.temp_file, "/t/" + cur(12).sig_want + "_12..zip");
    EXPECT_EQ(zip_task.dest_path, dest_dir_path + "f12.txt");
    EXPECT_EQ(zip_task.phase, 0);
    dvd_unpack_task tile_task(13, "/t/");
    EXPECT_EQ(tile_task.temp_file, "/t/" + cur(13).sig_want + "_13..7z");
    EXPECT_EQ(suffix_for_file(12), ".zip");
    EXPECT_EQ(suffix_for_file(13), ".7z");
}

TEST_F(DiscPipeline, SignatureFromTheManifestStaysInTheTemporaryFolder) {
    int h = add("All/Resources/a.txt", "alpha", 0);
    sim_info[h].versions.back().sig_want = "../outside/x";
    dvd_unpack_task task(h, temp_path);
    EXPECT_EQ(task.temp_file, temp_path + "___outside_x_0..zip");
    int cursor = 0;
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 1);
    EXPECT_EQ(read_file(dest_dir_path + "Resources/a.txt"), "alpha");
    EXPECT_FALSE(path_exists(s.path() + "outside"));
    EXPECT_TRUE(ds::list_tree(temp_path).empty());
}

int throwing_unpack(const std::string&, const std::string&) { throw std::runtime_error("disk on fire"); }

TEST_F(DiscPipeline, AnExceptionInATaskIsAFailureNotAHang) {
    for (int i = 0; i < 5; ++i) add("All/t/" + std::to_string(i) + ".txt", "x", 0);
    g_unpack_archive = throwing_unpack;
    int cursor = 0;
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 3);
    std::string msg;
    EXPECT_NE(install_files_get_error(msg), 0);
    EXPECT_NE(msg.find("disk on fire"), std::string::npos);
    install_files_kill();
    EXPECT_EQ(copy_pool, nullptr);
    EXPECT_EQ(unzip_pool, nullptr);
    EXPECT_TRUE(ds::list_tree(temp_path).empty());
}

int answer_first(std::string q, std::string l1, std::string, std::string l2, std::string) {
    return q == "Stop?" && l1 == "Cancel" && l2 == "Continue" ? 1 : 0;
}

TEST(AbortAlert, AnswersThroughItsHook) {
    abort_alert_fn saved = g_abort_alert;
    g_abort_alert = nullptr;
    EXPECT_EQ(abort_alert("Stop?", "Cancel", "a", "Continue", "b"), 3);
    g_abort_alert = answer_first;
    EXPECT_EQ(abort_alert("Stop?", "Cancel", "a", "Continue", "b"), 1);
    g_abort_alert = saved;
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "engine_helpers.h"
#include "install/checksum.h"

namespace {

class Checksum : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        dest_dir_path = copy.path();
    }
    void TearDown() override { checksum_directory_kill(); }

    // Steps the pass to its end; returns the number of steps.
    int run_pass() {
        int cursor = 0, steps = 0;
        float progress = -1.0f;
        while (!checksum_directory(cursor, progress)) ++steps;
        EXPECT_EQ(cursor, static_cast<int>(sim_info.size()));
        EXPECT_EQ(checksum_workers, nullptr);
        return steps + 1;
    }
    temp_folder copy;
};

TEST_F(Checksum, NoFolderMarksEverythingAbsentAtOnce) {
    add_history("All/a.txt", {md5_abc});
    add_history("All/gone.txt", {"GONE"});
    file_version_struct& other = add_history("All/mac.txt", {md5_abc}, 1);  // not wanted: still marked
    other.up_to_date = 1;
    dest_dir_path = copy.path() + "missing/";
    int cursor = 0;
    float progress = -1.0f;
    EXPECT_EQ(checksum_directory(cursor, progress), 1);
    EXPECT_EQ(cursor, 0);
    EXPECT_EQ(progress, -1.0f);
    EXPECT_EQ(checksum_workers, nullptr);
    for (auto& h : sim_info) {
        EXPECT_EQ(h.versions.back().sig_have, "NONE");
        EXPECT_EQ(h.versions.back().up_to_date, 0);
    }
}

TEST_F(Checksum, EmptyManifestFinishesOnFirstStep) {
    int cursor = 0;
    float progress = -1.0f;
    EXPECT_EQ(checksum_directory(cursor, progress), 1);
    EXPECT_EQ(progress, 0.0f);
    EXPECT_EQ(checksum_workers, nullptr);
}

TEST_F(Checksum, TreeOfCurrentOlderModifiedAndMissingFiles) {
    write_file(copy.path() + "Resources/current.txt", "abc");
    write_file(copy.path() + "Resources/older.txt", "");
    write_file(copy.path() + "Resources/modified.txt", "changed by the user");
    write_file(copy.path() + "Resources/gone.txt", "abc");
    write_file(copy.path() + "Resources/mac.txt", "abc");
    add_history("All/Resources/current.txt", {md5_empty, md5_abc});
    add_history("All/Resources/older.txt", {md5_empty, md5_abc});
    add_history("All/Resources/modified.txt", {md5_abc});
    add_history("Linux/Resources/missing.txt", {md5_abc}, 3);
    add_history("All/Resources/gone.txt", {md5_abc, "GONE"});
    file_version_struct& mac = add_history("Macintosh/Resources/mac.txt", {md5_abc}, 1);
    mac.sig_have = "kept";

    run_pass();
    struct expect_row {
        const char* have;
        int up_to_date;
    } expected[] = {{md5_abc, 1}, {md5_empty, 0}, {nullptr, 0}, {"NONE", 0}, {md5_abc, 0}, {"kept", 0}};
    for (size_t h = 0; h < sim_info.size(); ++h) {
        const file_version_struct& v = sim_info[h].versions.back();
        SCOPED_TRACE(v.path);
        // Equal to a serial digest of the same file.
        std::string serial = "NONE";
        calc_file_md5(install_location(v), serial);
        if (expected[h].have) {
            EXPECT_EQ(v.sig_have, expected[h].have);
        }
        if (h != 5) {
            EXPECT_EQ(v.sig_have, serial);
        }
        EXPECT_EQ(v.up_to_date, expected[h].up_to_date);
    }
}

TEST_F(Checksum, TenThousandHistoriesMatchSerialDigests) {
    const int n = 10000;
    for (int i = 0; i < n; ++i) {
        std::string name = "Resources/f" + std::to_string(i) + ".txt";
        if (i % 7 != 0) write_file(copy.path() + name, std::string(i % 300, static_cast<char>('a' + i % 26)));
        add_history("All/" + name, {i % 3 ? md5_abc : md5_empty});
    }
    int cursor = 0, steps = 0;
    float progress = 0.0f, last = 0.0f;
    while (!checksum_directory(cursor, progress)) {
        EXPECT_GE(progress, last);
        last = progress;
        ++steps;
    }
    EXPECT_EQ(progress, 1.0f);
    for (int i = 0; i < n; ++i) {
        const file_version_struct& v = sim_info[i].versions.back();
        std::string serial = "NONE";
        calc_file_md5(install_location(v), serial);
        ASSERT_EQ(v.sig_have, serial) << i;
        ASSERT_EQ(v.up_to_date, serial == v.sig_want) << i;
    }
}

TEST_F(Checksum, KillInMidPassAndRereadingTheManifest) {
    for (int i = 0; i < 2000; ++i) {
        write_file(copy.path() + "f" + std::to_string(i), "abc");
        add_history("All/f" + std::to_string(i), {md5_abc});
    }
    int cursor = 0;
    float progress = 0.0f;
    EXPECT_EQ(checksum_directory(cursor, progress), 0);
    EXPECT_NE(checksum_workers, nullptr);
    // Four tasks per processor out at most, ten histories each.
    EXPECT_EQ(cursor, std::min(2000, 40 * UTL_count_processors()));
    checksum_directory_kill();
    EXPECT_EQ(checksum_workers, nullptr);
    checksum_directory_kill();  // nothing running: no effect

    // Reading a manifest while a pass runs stops the pass before the histories go.
    cursor = 0;
    EXPECT_EQ(checksum_directory(cursor, progress), 0);
    write_file(copy.path() + "directory.txt", manifest_text("DIR All/\nFILE 0 0 1 1 1 GONE x\n"));
    EXPECT_EQ(read_directory(copy.path() + "directory.txt", ""), 3);
    EXPECT_EQ(checksum_workers, nullptr);
    EXPECT_EQ(sim_info.size(), 1u);
}

TEST_F(Checksum, FolderGoneWhileAPassRunsStopsThePassFirst) {
    const std::string folder = copy.path() + "copy/";
    // More histories than the first step can hand out, whatever the processor count.
    const int n = 50 * UTL_count_processors();
    for (int i = 0; i < n; ++i) {
        write_file(folder + "f" + std::to_string(i), "abc");
        add_history("All/f" + std::to_string(i), {md5_abc});
    }
    dest_dir_path = folder;
    int cursor = 0;
    float progress = 0.0f;
    EXPECT_EQ(checksum_directory(cursor, progress), 0);
    ASSERT_NE(checksum_workers, nullptr);
    std::filesystem::remove_all(folder);
    // The absent marks are written only once no task can write the same records.
    EXPECT_EQ(checksum_directory(cursor, progress), 1);
    EXPECT_EQ(checksum_workers, nullptr);
    for (auto& h : sim_info) {
        ASSERT_EQ(h.versions.back().sig_have, "NONE");
        ASSERT_EQ(h.versions.back().up_to_date, 0);
    }
}

}  // namespace

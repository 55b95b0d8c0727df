#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "engine_helpers.h"

namespace {

class Manifest : public ::testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
    // Writes the manifest with the given body and reads it.
    int read(const std::string& text) {
        write_file(dir.path() + "directory.txt", text);
        return read_directory(dir.path() + "directory.txt", "");
    }
    temp_folder dir;
};

const char* const golden_body =
    "\n"
    "DIR All/Resources/\n"
    "FILE 0 0 90000 1 2 0cc175b9c0f1b6a831c399e269772661 a.txt\n"
    "FILE 0 0 91001 1 3 900150983cd24fb0d6963f7d28e17f72 a.txt\n"
    "FILE 0 0 91001 0 0 d41d8cd98f00b204e9800998ecf8427e empty file.txt  \n"
    "DISK 1\n"
    "\n"
    "DIR All/Global Scenery/-global terrain-/+40-120/\n"
    "FILE 0 0 91001 12 345 e2fc714c4727ee9395f324cd2e7f331f +40-120.dsf\n"
    "   \tFILE 0 3 91001 0 0 GONE old lib.so\n";

void expect_golden() {
    ASSERT_EQ(sim_info.size(), 4u);
    const auto& a = sim_info[0].versions;
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].vcode, 90000);
    EXPECT_EQ(a[1].path, "All/Resources/a.txt");
    EXPECT_EQ(a[1].sig_want, md5_abc);
    EXPECT_FLOAT_EQ(a[1].size_a, 1.0f);
    EXPECT_FLOAT_EQ(a[1].size_b, 3.0f);
    EXPECT_EQ(a[1].disk, 0);
    EXPECT_TRUE(a[1].sig_have.empty());
    EXPECT_EQ(a[1].up_to_date, 0);

    const auto& e = sim_info[1].versions.back();
    EXPECT_EQ(e.path, "All/Resources/empty file.txt  ");  // trailing blanks belong to the name
    EXPECT_EQ(e.disk, 0);

    const auto& t = sim_info[2].versions.back();
    EXPECT_EQ(t.path, "All/Global Scenery/-global terrain-/+40-120/+40-120.dsf");
    EXPECT_EQ(t.disk, 1);
    EXPECT_EQ(t.is_global, 1);
    EXPECT_EQ(t.lat_idx, 13);
    EXPECT_EQ(t.lon_idx, 6);
    EXPECT_FLOAT_EQ(t.size_b, 345.0f);

    const auto& g = sim_info[3].versions.back();
    EXPECT_EQ(g.sig_want, "GONE");
    EXPECT_EQ(g.platform, 3);
    EXPECT_EQ(g.path, "All/Global Scenery/-global terrain-/+40-120/old lib.so");
    EXPECT_EQ(g.is_global, 0);

    EXPECT_EQ(stg.tile_available[6][13], 1);
    int tiles = 0;
    for (auto& col : stg.tile_available)
        for (int t2 : col) tiles += t2;
    EXPECT_EQ(tiles, 1);
    EXPECT_EQ(stg.has_scenery, 1);
    EXPECT_EQ(stg.has_sim, 1);
}

TEST_F(Manifest, GoldenManifestWithLfAndCrLf) {
    ASSERT_EQ(read(manifest_text(golden_body)), 3);
    expect_golden();

    std::string crlf;
    for (char c : manifest_text(golden_body)) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    ASSERT_EQ(read(crlf), 3);
    expect_golden();
}

TEST_F(Manifest, AcceptedAndRefusedHeaders) {
    EXPECT_EQ(read("A\n840 version\nINSTALLER\n\nDIR All/\nFILE 0 0 1 1 1 GONE x\n"), 3);
    EXPECT_EQ(sim_info.size(), 1u);
    EXPECT_EQ(read("I\n900 version\nINSTALLER\n"), 3);
    EXPECT_TRUE(sim_info.empty());

    stg.num_to_add = 7;
    stg.kb_to_install = 5.0f;
    EXPECT_EQ(read("A\n901 version\nINSTALLER\n\nDIR All/\nFILE 0 0 1 1 1 GONE x\n"), 2);
    EXPECT_TRUE(sim_info.empty());
    EXPECT_EQ(stg.num_to_add, 0);
    EXPECT_EQ(stg.kb_to_install, 0.0f);
    EXPECT_EQ(read("A\n900 version\nINSTALL\n\nDIR All/\nFILE 0 0 1 1 1 GONE x\n"), 2);
    EXPECT_TRUE(sim_info.empty());
}

TEST_F(Manifest, HeaderOnlyGivesNothing) {
    std::memset(stg.tile_available, 1, sizeof(stg.tile_available));
    stg.tile_selected[3][3] = 1;
    deleted_files.insert("/x/");
    ASSERT_EQ(read(manifest_text("")), 3);
    EXPECT_TRUE(sim_info.empty());
    EXPECT_TRUE(deleted_files.empty());
    EXPECT_EQ(stg.has_scenery, 0);
    EXPECT_EQ(stg.has_sim, 0);
    EXPECT_EQ(stg.tile_available[0][0], 0);
    EXPECT_EQ(stg.tile_selected[3][3], 1);  // the user's choice stays
}

TEST_F(Manifest, HistoriesDiskAndPlatformClamp) {
    ASSERT_EQ(read(manifest_text("DISK 2\n"
                                 "DIR All/\n"
                                 "FILE 0 9 1 1 1 GONE a.txt\n"
                                 "FILE 0 -3 1 1 1 GONE b.txt\n"
                                 "FILE 0 1 1 1 1 GONE a.txt\n"
                                 "DIR\n"      // keyword without a blank: skipped
                                 "DISKS 5\n"  // not a keyword
                                 "FILE\tx 2 7 8 9 GONE c.txt\n"
                                 "DISK 3 FILE 0 0 1 1 1 GONE d.txt\n")),
              3);
    ASSERT_EQ(sim_info.size(), 5u);
    EXPECT_EQ(sim_info[0].versions[0].platform, 6);
    EXPECT_EQ(sim_info[1].versions[0].platform, 0);
    EXPECT_EQ(sim_info[2].versions[0].path, "All/a.txt");  // a, b, a: three histories
    EXPECT_EQ(sim_info[0].versions[0].disk, 2);
    EXPECT_EQ(sim_info[3].versions[0].vcode, 7);
    EXPECT_EQ(sim_info[3].versions[0].disk, 2);
    // What follows the disc number is read as a new line.
    EXPECT_EQ(sim_info[4].versions[0].path, "All/d.txt");
    EXPECT_EQ(sim_info[4].versions[0].disk, 3);
}

TEST_F(Manifest, LenientNumbersWrapInsteadOfOverflowing) {
    ASSERT_EQ(read(manifest_text("DIR All/\n"
                                 "FILE 0 0 99999999999999999999 9x -+5 GONE a.txt\n")),
              3);
    const auto& v = sim_info[0].versions[0];
    uint32_t wrapped = 0;
    for (int i = 0; i < 20; ++i) wrapped = wrapped * 10u + 9u;
    EXPECT_EQ(v.vcode, static_cast<int32_t>(wrapped));
    EXPECT_FLOAT_EQ(v.size_a, 9 * 10 + ('x' - '0'));
    EXPECT_FLOAT_EQ(v.size_b, -5.0f);
}

TEST(ManifestPaths, GlobalSceneryAndSectors) {
    struct row {
        const char* path;
        bool global;
        int lon, lat;
    } rows[] = {
        {"All/Global Scenery/-global terrain-/+40-120/+40-120.dsf", true, 6, 13},
        {"All/Resources/default scenery/DSF 820/+40-120.DSF", true, 6, 13},
        {"All/Custom Scenery/x/+40-120.dsf", false, 0, 0},
        {"All/Global Scenery/x/+40-120.txt", false, 0, 0},
        {"All/Global Scenery/x/abc.dsf", true, 17, 8},  // unreadable numbers give -1
        {"All/Global Scenery/x/-95+179.dsf", true, 35, 0},
        {"All/Global Scenery/x/+90+000.dsf", false, 18, 18},
        {"x/-global overlays-/+00+000.dsf", true, 18, 9},
    };
    for (const row& r : rows) {
        SCOPED_TRACE(r.path);
        bool global = is_global_scenery_f(r.path);
        int lon = 0, lat = 0;
        if (global) global = find_sector(&lon, &lat, r.path);
        EXPECT_EQ(global, r.global);
        if (r.global || r.lon) {
            EXPECT_EQ(lon, r.lon);
            EXPECT_EQ(lat, r.lat);
        }
    }
    EXPECT_FALSE(is_global_scenery_f(".dsf"));
    int lon = -7, lat = -7;
    EXPECT_EQ(find_sector(&lon, &lat, "a/ab"), 0);
    EXPECT_EQ(lon, -7);
}

TEST(ManifestPaths, TrimAndSafety) {
    std::string p = "All/Resources/a.txt";
    trim_dest_folder(p);
    EXPECT_EQ(p, "Resources/a.txt");
    p = "plain";
    trim_dest_folder(p);
    EXPECT_EQ(p, "plain");
    EXPECT_TRUE(path_has_no_file("All/x/"));
    EXPECT_FALSE(path_has_no_file(""));

    EXPECT_TRUE(path_is_safe("All/Resources/a file..txt"));
    EXPECT_TRUE(path_is_safe("All/.hidden"));
    for (const char* bad : {"", "/etc/passwd", "All/../../x", "All/./x", "All//x", "..", "All/x/..",
                            "All\\..\\x", "All/a\tb", "All/a\x7f"})
        EXPECT_FALSE(path_is_safe(bad)) << bad;
}

TEST_F(Manifest, MissingFileIsFatal) {
    EXPECT_EXIT(read_directory(dir.path() + "nothing.txt", ""), ::testing::ExitedWithCode(1),
                "directory file that does not exist");
}

TEST_F(Manifest, PathWithoutFileIsFatalEvenWhenGone) {
    EXPECT_EXIT(read(manifest_text("DIR All/x/\nFILE 0 0 1 1 1 GONE \n")), ::testing::ExitedWithCode(1),
                "path that has no file");
}

TEST_F(Manifest, HostilePathsAreRefused) {
    for (const char* body :
         {"DIR All/../../\nFILE 0 0 1 1 1 GONE .bashrc\n", "DIR /etc/\nFILE 0 0 1 1 1 GONE passwd\n",
          "DIR All/\nFILE 0 0 1 1 1 GONE ..\n", "DIR All\\..\\\nFILE 0 0 1 1 1 GONE x\n",
          "DIR All//\nFILE 0 0 1 1 1 GONE x\n"}) {
        SCOPED_TRACE(body);
        EXPECT_EXIT(read(manifest_text(body)), ::testing::ExitedWithCode(1), "path that is not allowed");
    }
}

}  // namespace

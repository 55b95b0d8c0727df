#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "engine_helpers.h"

namespace {

class Manifest : public ::testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
    int read(const std::string& text) { return read_directory(dir.write("directory.txt", text), ""); }
    temp_folder dir;
};

TEST_F(Manifest, GoldenManifestWithLfAndCrLf) {
    const std::string body =
        "\nDIR All/Resources/\n"
        "FILE 0 0 90000 1 2 0cc175b9c0f1b6a831c399e269772661 a.txt\n"
        "FILE 0 0 91001 1 3 900150983cd24fb0d6963f7d28e17f72 a.txt\n"
        "FILE 0 0 91001 0 0 d41d8cd98f00b204e9800998ecf8427e empty file.txt  \n"
        "DISK 1\n\n"
        "DIR All/Global Scenery/-global terrain-/+40-120/\n"
        "FILE 0 0 91001 12 345 e2fc714c4727ee9395f324cd2e7f331f +40-120.dsf\n"
        "   \tFILE 0 3 91001 0 0 GONE old lib.so\n";
    std::string crlf;
    for (char c : manifest_text(body)) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const std::string& text : {manifest_text(body), crlf}) {
        ASSERT_EQ(read(text), 3);
        ASSERT_EQ(sim_info.size(), 4u);
        std::string got;
        for (auto& h : sim_info)
            for (auto& v : h.versions)
                got += std::to_string(v.platform) + " " + std::to_string(v.vcode) + " " +
                       std::to_string(int(v.size_a)) + " " + std::to_string(int(v.size_b)) + " " +
                       v.sig_want.substr(0, 4) + " " + v.path + " " + std::to_string(v.disk) +
                       std::to_string(v.is_global) + v.sig_have + "|";
        EXPECT_EQ(got,
                  "0 90000 1 2 0cc1 All/Resources/a.txt 00|0 91001 1 3 9001 All/Resources/a.txt 00|"
                  "0 91001 0 0 d41d All/Resources/empty file.txt   00|"  // trailing blanks belong to the name
                  "0 91001 12 345 e2fc All/Global Scenery/-global terrain-/+40-120/+40-120.dsf 11|"
                  "3 91001 0 0 GONE All/Global Scenery/-global terrain-/+40-120/old lib.so 10|");
        EXPECT_EQ(cur(2).lat_idx * 100 + cur(2).lon_idx, 1306);
        int tiles = 0;
        for (auto& column : stg.tile_available)
            for (int t : column) tiles += t;
        EXPECT_EQ(tiles + stg.tile_available[6][13] * 10 + stg.has_scenery * 100 + stg.has_sim * 1000, 1111);
    }
}

TEST_F(Manifest, HeadersAndWhatAReadResets) {
    stg.tile_available[1][1] = stg.tile_selected[3][3] = 1;
    stg.num_to_add = 7;
    stg.kb_to_install = 5.0f;
    deleted_files.insert("/x/");
    EXPECT_EQ(read("A\n901 version\nINSTALLER\n\nDIR All/\nFILE 0 0 1 1 1 GONE x\n"), 2);
    EXPECT_EQ(read("A\n900 version\nINSTALL\n\nDIR All/\nFILE 0 0 1 1 1 GONE x\n"), 2);
    EXPECT_TRUE(sim_info.empty() && deleted_files.empty());
    EXPECT_EQ(stg.num_to_add, 0);
    EXPECT_EQ(stg.kb_to_install, 0.0f);
    EXPECT_EQ(read("I\n900 version\nINSTALLER\n"), 3);
    EXPECT_EQ(stg.tile_available[1][1] + stg.has_scenery + stg.has_sim, 0);
    EXPECT_EQ(stg.tile_selected[3][3], 1);  // the user's choice stays
    EXPECT_EQ(read("A\n840 version\nINSTALLER\n\nDIR All/\nFILE 0 0 1 1 1 GONE x\n"), 3);
    EXPECT_EQ(sim_info.size(), 1u);
}

TEST_F(Manifest, HistoriesDiscsPlatformsAndHeldNumbers) {
    ASSERT_EQ(read(manifest_text("DISK 2\nDIR All/\n"
                                 "FILE 0 9 1 1 1 GONE a.txt\n"
                                 "FILE 0 -3 1 1 1 GONE b.txt\n"
                                 "FILE 0 1 1 1 1 GONE a.txt\n"
                                 "DIR\nDISKS 5\n"  // no keywords
                                 "FILE\tx 2 7 8 9 GONE c.txt\n"
                                 "DISK 3 FILE 0 0 1 1 1 GONE d.txt\n"
                                 "FILE 0 0 99999999999999999999 99999999999999999999 -+5 GONE e.txt\n"
                                 "FILE 0 0 -99999999999 9x 9 GONE f.txt\n")),
              3);
    ASSERT_EQ(sim_info.size(), 7u);
    EXPECT_EQ(cur(0).platform, 6);
    EXPECT_EQ(cur(1).platform, 0);
    EXPECT_EQ(cur(2).path, "All/a.txt");  // a, b, a: three histories
    EXPECT_EQ(cur(3).vcode, 7);
    EXPECT_EQ(cur(3).disk, 2);
    EXPECT_EQ(cur(4).path, "All/d.txt");  // what follows a disc number is a new line
    EXPECT_EQ(cur(4).disk, 3);
    // Held at the range instead of wrapping; a size never turns negative.
    EXPECT_EQ(cur(5).vcode, INT_MAX);
    EXPECT_GT(cur(5).size_a, 9.0e18f);
    EXPECT_EQ(cur(5).size_b, 0.0f);
    EXPECT_EQ(cur(6).vcode, INT_MIN);
    EXPECT_EQ(cur(6).size_a, 9 * 10 + ('x' - '0'));  // every byte of a token counts as a digit
}

TEST(ManifestPaths, TilesSectorsAndSafety) {
    struct row {
        const char* path;
        bool global;
        int lon, lat;
    } rows[] = {
        {"All/Resources/default scenery/DSF 820/+40-120.DSF", true, 6, 13},
        {"All/Custom Scenery/x/+40-120.dsf", false, 0, 0},
        {"All/Global Scenery/x/+40-120.txt", false, 0, 0},
        {"All/Global Scenery/x/abc.dsf", true, 17, 8},  // unreadable numbers give -1
        {"All/Global Scenery/x/-95+179.dsf", true, 35, 0},
        {"All/Global Scenery/x/+89-180.dsf", true, 0, 17},
        {"All/Global Scenery/x/+89+180.dsf", false, 36, 17},
        {"All/Global Scenery/x/+90-171.dsf", false, 0, 18},
        {"All/Global Scenery/x/-99-191.dsf", false, -1, 0},
        {"x/-global overlays-/+00+000.dsf", true, 18, 9},
    };
    for (const row& r : rows) {
        int lon = 0, lat = 0;
        bool global = is_global_scenery_f(r.path) && find_sector(&lon, &lat, r.path);
        EXPECT_EQ(global, r.global) << r.path;
        EXPECT_EQ(lon * 100 + lat, r.lon * 100 + r.lat) << r.path;
    }
    EXPECT_FALSE(is_global_scenery_f(".dsf"));
    int lon = -7, lat = -7;
    EXPECT_EQ(find_sector(&lon, &lat, "a/ab"), 0);
    EXPECT_EQ(lon, -7);

    std::string p = "All/Resources/a.txt", flat = "plain";
    trim_dest_folder(p);
    trim_dest_folder(flat);
    EXPECT_EQ(p + "|" + flat, "Resources/a.txt|plain");
    EXPECT_TRUE(path_has_no_file("All/x/"));
    EXPECT_FALSE(path_has_no_file(""));
    EXPECT_TRUE(path_is_safe("All/Resources/a file..txt"));
    EXPECT_TRUE(path_is_safe("All/.hidden"));
    for (const char* bad : {"", "/etc/passwd", "All/../../x", "All/./x", "All//x", "..", "All/x/..",
                            "All\\..\\x", "All/a\tb", "All/a\x7f"})
        EXPECT_FALSE(path_is_safe(bad)) << bad;
}

TEST_F(Manifest, TilesOutsideTheTableAreNeverWritten) {
    ASSERT_EQ(read(manifest_text("DIR All/Global Scenery/-global terrain-/x/\n"
                                 "FILE 0 0 1 1 1 GONE +90+180.dsf\nFILE 0 0 1 1 1 GONE -99-999.dsf\n")),
              3);
    EXPECT_EQ(cur(0).is_global + cur(1).is_global + stg.has_scenery, 0);
    EXPECT_EQ(stg.has_sim, 1);
    int tiles = 0;
    for (auto& column : stg.tile_available)
        for (int t : column) tiles += t;
    EXPECT_EQ(tiles + stg.current_action, 0);
}

TEST_F(Manifest, FatalReadingFaults) {
    struct row {
        const char* body;
        const char* message;
    } rows[] = {
        {"DIR All/x/\nFILE 0 0 1 1 1 GONE sub/\n", "path that has no file"},
        {"DIR All/\nFILE 0 0 1 1 1 GONE \n", "FILE line that lacks a field"},
        {"DIR All/\nFILE 0 0 1 1 1\n", "FILE line that lacks a field"},
        {"DIR All/\nFILE 0 0 1 1\n", "FILE line that lacks a field"},
        {"DIR All/\nFILE \n", "FILE line that lacks a field"},
        {"DIR All/../../\nFILE 0 0 1 1 1 GONE .bashrc\n", "path that is not allowed"},
        {"DIR /etc/\nFILE 0 0 1 1 1 GONE passwd\n", "path that is not allowed"},
        {"DIR All/\nFILE 0 0 1 1 1 GONE ..\n", "path that is not allowed"},
    };
    for (const row& r : rows)
        EXPECT_EXIT(read(manifest_text(r.body)), ::testing::ExitedWithCode(1), r.message) << r.body;
    EXPECT_EXIT(read_directory(dir / "nothing.txt", ""), ::testing::ExitedWithCode(1),
                "directory file that does not exist");
}

}  // namespace

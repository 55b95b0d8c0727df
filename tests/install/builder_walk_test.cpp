#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "install/builder.h"
#include "install/disc_set_helpers.h"

namespace {

class BuilderWalk : public ::testing::Test {
protected:
    void SetUp() override {
        // The builder runs no threads, so a death test may fork where it stands: re-running the
        // test in a fresh process would leave that process's temporary folder behind.
        GTEST_FLAG_SET(death_test_style, "fast");
        src = s.path() + "Volatra 9.00/";
        ds::minimal_master(src);
        ds::builder_settings(src, s.path() + "discs/");
        builder_reset_walk();
    }
    void walk() {
        builder_reset_walk();
        pref_level(src_fold);
    }
    temp_folder s;
    std::string src;
};

TEST_F(BuilderWalk, FileFilterRules) {
    ds::put(src + "All/Resources/network.cfg", "x");
    ds::put(src + "All/Resources/plain.txt", "x");
    ds::put(src + "All/Resources/empty.txt", "");
    EXPECT_FALSE(is_good_file(src + "All/Resources/network.cfg", 0, 1));  // "work."
    EXPECT_TRUE(is_good_file(src + "All/Resources/plain.txt", 0, 1));
    EXPECT_TRUE(is_good_file(src + "All/Resources/empty.txt", 0, 1));
    // Without the read test a missing file passes on its name alone.
    EXPECT_FALSE(is_good_file(src + "All/Resources/missing.txt", 0, 1));
    EXPECT_TRUE(is_good_file(src + "All/Resources/missing.txt", 0, 0));
    EXPECT_TRUE(is_good_file(src + "All/Resources/missing.txt", 1, 1));
    // A link is not opened: a dangling one is still selected.
    ASSERT_EQ(symlink("nowhere", (src + "All/Resources/link").c_str()), 0);
    EXPECT_TRUE(is_good_file(src + "All/Resources/link", 0, 1));

    for (const char* bad :
         {"All/Global Scenery/x.dsf.7z", "All/a/Thumbs.db", "All/a/._x", "All/a/.DS_Store", "All/a/x.xSYM/y",
          "All/a/x.ovw", "All/a/x.ac", "All/a/serverlist.txt", "All/a/Volatra Pilot.txt", "All/a/x.prf",
          "All/a/x.fms", "All/a/x.sit", "All/a/x.mov", "All/a/x.bak", "All/a/x.dsf.txt",
          "All/install_zyb Aircraft/a.acf"})
        EXPECT_FALSE(is_good_file(src + bad, 0, 0)) << bad;
    EXPECT_TRUE(is_good_file(src + "All/a/x.acf", 0, 0));
}

TEST_F(BuilderWalk, BuildKindsPickTheirScenery) {
    const std::string mars = src + "All/Custom Scenery/DSF 900 Mars World-Wide/a.dsf";
    const std::string moon = src + "All/Custom Scenery/DSF 900 Moon World-Wide/a.dsf";
    const std::string earth = src + "All/Global Scenery/-global terrain-/b.dsf";
    const std::string red = src + "All/Resources/default scenery/900 red terrain/r.ter";
    const std::string orbit = src + "All/Resources/bitmaps/Earth Orbit Textures/o.png";
    const std::string plain = src + "All/Aircraft/a.acf";
    struct row {
        int kind;
        bool mars, moon, earth, red, orbit, plain;
    };
    for (const row& r :
         {row{0, false, false, false, false, false, true}, row{1, false, false, true, true, true, true},
          row{2, true, false, false, false, false, false}, row{3, false, true, false, false, false, false}}) {
        build_type = r.kind;
        EXPECT_EQ(is_good_file(mars, 0, 0), r.mars) << r.kind;
        EXPECT_EQ(is_good_file(moon, 0, 0), r.moon) << r.kind;
        EXPECT_EQ(is_good_file(earth, 0, 0), r.earth) << r.kind;
        EXPECT_EQ(is_good_file(red, 0, 0), r.red) << r.kind;
        EXPECT_EQ(is_good_file(orbit, 0, 0), r.orbit) << r.kind;
        EXPECT_EQ(is_good_file(plain, 0, 0), r.plain) << r.kind;
    }
    build_type = 7;
    EXPECT_EXIT(is_good_file(plain, 0, 0), ::testing::ExitedWithCode(1),
                "I can not tell what type of install this is!");
}

TEST_F(BuilderWalk, HistoryKeys) {
    struct row {
        const char* in;
        int platform;
        const char* out;
    };
    for (const row& r :
         {row{"All/Resources/a.txt", 0, "ALL_os/Resources/a.txt"},
          row{"All/Resources/plugins/QORV.shlb", 1, "APL_os/Resources/plugins/QORV.shlb"},
          row{"All/Resources/plugins/QORV.so", 6, "/Resources/plugins/QORV.so"},
          row{"Windows/x.dll", 2, "IBM_os/x.dll"}, row{"Linux/x", 3, "LIN_os/x"},
          row{"Macintosh/Volatra.app/Contents/Info.plist", 1, "APL_os/Volatra.app/Contents/Info.plist"}}) {
        std::string p = r.in;
        chop_platform(p, r.platform);
        EXPECT_EQ(p, r.out);
    }
    std::string flat = "nodir";
    EXPECT_EXIT(chop_platform(flat, 0), ::testing::ExitedWithCode(1), "Could not find the dir char!");
    EXPECT_TRUE(no_case_compare_string()("abc", "ABCD"));
    EXPECT_FALSE(no_case_compare_string()("ABC", "abc"));
}

TEST_F(BuilderWalk, SelectsInOrderAndListsTheDiscFolders) {
    ds::put(src + "All/Aircraft/b/B.acf", "b");
    ds::put(src + "All/Aircraft/a.acf", "a");
    ds::put(src + "All/Resources/x.prf", "p");
    ds::put(src + "Linux/volatra", "l");
    walk();
    const std::vector<std::string> want = {src + "All/Aircraft/a.acf", src + "All/Aircraft/b/B.acf",
                                           src + "All/Resources/menus/English/Volatra.txt",
                                           src + "All/Resources/text/English/Volatra.txt",
                                           src + "Linux/volatra"};
    EXPECT_EQ(comp_files, want);
    EXPECT_EQ(num_files_rec, 6);
    EXPECT_EQ(num_files_use, 5);
    for (int d = 0; d <= 2; ++d) {
        const std::string base = dst_fold_base + "disk_" + std::to_string(d);
        EXPECT_EQ(comp_paths.count(base), 1u);
        EXPECT_EQ(comp_paths.count(base + "/Volatra 9.10r1/All/Aircraft/b"), 1u);
        EXPECT_EQ(comp_paths.count(base + "/Volatra 9.10r1/Linux"), 1u);
    }
    EXPECT_EQ(comp_paths.count(dst_fold_base.substr(0, dst_fold_base.size() - 1)), 0u);
    EXPECT_EQ(comp_paths.count(dst_fold_base + "disk_3"), 0u);
    builder_check_required();  // passes
}

TEST_F(BuilderWalk, NamesEqualButForCaseAreOrderedByteWise) {
    ds::put(src + "All/Aircraft/a.acf", "lower");
    ds::put(src + "All/Aircraft/A.acf", "upper");
    walk();
    ASSERT_GE(comp_files.size(), 2u);
    EXPECT_EQ(comp_files[0], src + "All/Aircraft/A.acf");
    EXPECT_EQ(comp_files[1], src + "All/Aircraft/a.acf");
}

TEST_F(BuilderWalk, FoldersNamedLikeFileTypesAreStillWalked) {
    ds::put(src + "All/Aircraft/model.obj/part.txt", "p");
    ds::mkdirs(src + "All/Aircraft/linked");
    ASSERT_EQ(symlink("../model.obj", (src + "All/Aircraft/linked/to folder").c_str()), 0);
    walk();
    EXPECT_NE(std::find(comp_files.begin(), comp_files.end(), src + "All/Aircraft/model.obj/part.txt"),
              comp_files.end());
    // A link to a folder is packed as a link, not walked.
    EXPECT_NE(std::find(comp_files.begin(), comp_files.end(), src + "All/Aircraft/linked/to folder"),
              comp_files.end());
}

TEST_F(BuilderWalk, ShapeAndNameAlerts) {
    struct row {
        const char* file;
        const char* message;
    };
    for (const row& r :
         {row{"All/Docs/a.txt", "What the hell is THIS doing in here"},
          row{"All/resources/a.txt", "What the hell is THIS doing in here"},
          row{"All/readme.txt", "I FOUND A FILE INSIDE THE 'ALL' FOLDER"},
          row{"Windows/Backup copy/x.txt", "found a copy file!"},
          row{"Windows/Volatra.exe copy", "found a copy file!"},
          row{"Windows/main.cpp", "found a .cpp file!"}, row{"Windows/MAIN.CPP", "found a .CPP file!"},
          row{"Windows/x.xSYM/a:b", "found a  : in the path!"},
          row{"Windows/a\\b", "found a \\\\ in the path!"},
          row{"Windows/trailing ", "with a space at the end!"},
          row{"Windows/trailing folder /a", "with a space at the end!"},
          row{"Windows/ leading", "with a space at the start!"},
          row{"Windows/tab\there", "with a control character in its name!"},
          row{"Windows/line\nbreak", "with a control character in its name!"},
          row{"All/Resources/preferences/kept.txt", "I found this preferences file!"}}) {
        temp_folder other;
        const std::string m = other.path() + "master/";
        ds::minimal_master(m);
        ds::put(m + r.file, "x");
        ds::builder_settings(m, other.path() + "discs/");
        EXPECT_EXIT(walk(), ::testing::ExitedWithCode(1), r.message) << r.file;
    }
}

// Root reads every folder whatever its mode, so a folder that cannot be opened is made by
// running out of descriptors.
TEST_F(BuilderWalk, AFolderThatCannotBeListedStopsTheBuild) {
    // Free functions only once the descriptors are gone: the sanitizer's type checks need some.
    builder_reset_walk();
    auto walk_without_descriptors = [] {
        const rlimit rl{64, 64};
        setrlimit(RLIMIT_NOFILE, &rl);
        while (dup(2) >= 0) {
        }
        pref_level(src_fold);
    };
    EXPECT_EXIT(walk_without_descriptors(), ::testing::ExitedWithCode(1),
                "I could not read this folder of the master!");
}

TEST_F(BuilderWalk, RequiredItems) {
    walk();
    builder_check_required();
    struct row {
        const char* remove;
        const char* message;
    };
    for (const row& r : {row{"Linux", "!found_X86_fold"}, row{"All/Resources/plugins", "!found_plug\t "},
                         row{"All/Resources/default scenery/900 red terrain", "!found_redt\t "},
                         row{"All/Resources/text/English/Volatra.txt", "!found_tex_file"}}) {
        temp_folder other;
        const std::string m = other.path() + "master/";
        ds::minimal_master(m);
        ASSERT_EQ(ds::run("rm -rf '" + m + r.remove + "'"), 0);
        ds::builder_settings(m, other.path() + "discs/");
        // The flags of an earlier walk do not carry over.
        EXPECT_EXIT((walk(), builder_check_required()), ::testing::ExitedWithCode(1), r.message) << r.remove;
    }
    // Red terrain is required only for the full release.
    {
        temp_folder other;
        const std::string m = other.path() + "master/";
        ds::minimal_master(m);
        ASSERT_EQ(ds::run("rm -rf '" + m + "All/Resources/default scenery'"), 0);
        ds::builder_settings(m, other.path() + "discs/", 0);
        walk();
        builder_check_required();
    }
    // The forbidden file: the walk itself already refuses its folder as a stray child of All.
    ds::builder_settings(src, s.path() + "discs/");
    walk();
    found_com_file = 1;
    EXPECT_EXIT(builder_check_required(), ::testing::ExitedWithCode(1), " found_com_file");
    ds::put(src + "All/Resources-JUX/ac_threat.dat", "x");
    EXPECT_EXIT(walk(), ::testing::ExitedWithCode(1), "What the hell is THIS doing in here");
}

int g_progress_calls;
std::string g_progress_line1;
void counting_sink(const std::string& l1, const std::string&) {
    ++g_progress_calls;
    g_progress_line1 = l1;
}
int typed_q() { return 'q'; }

TEST_F(BuilderWalk, ProgressEveryFiveHundredFilesAndQStops) {
    for (int i = 0; i < 498; ++i) ds::put(src + "All/Aircraft/f" + std::to_string(1000 + i) + ".acf", "");
    ds::put(src + "All/Resources/menus/zz.prf", "");  // the 500th file met is not selected
    builder_progress_fn saved = g_builder_progress;
    builder_key_poll_fn saved_poll = g_builder_key_poll;
    g_builder_progress = counting_sink;
    g_progress_calls = 0;
    walk();
    g_builder_progress = saved;
    EXPECT_EQ(num_files_rec, 501);
    EXPECT_EQ(g_progress_calls, 1);
    EXPECT_EQ(g_progress_line1, "reg: 0: total files recursed: 500. will compress: 499.");

    g_builder_progress = counting_sink;
    g_builder_key_poll = typed_q;
    EXPECT_EXIT(walk(), ::testing::ExitedWithCode(1), "You hit Q dumbass!");
    g_builder_progress = saved;
    g_builder_key_poll = saved_poll;
}

}  // namespace

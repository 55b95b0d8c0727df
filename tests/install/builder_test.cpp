// The builder: the walk of the master folder with its checks, packing with the disc split, the
// histories carried over from the previous manifest, and the command-line programs.
#include "install/builder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <filesystem>
#include <sstream>

#include "core/wx.h"
#include "engine_helpers.h"
#include "files/zip_utils.h"

namespace {

// Random bytes: their archives are about as large as the files.
std::string noise(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    return s;
}

class Builder : public ::testing::Test {
protected:
    void SetUp() override {
        // The builder runs no threads: a death test may fork where it stands.
        GTEST_FLAG_SET(death_test_style, "fast");
        reset_engine_state();
        setup(s);
    }
    void setup(const temp_folder& t, int kind = 1) {
        src = t / "master/";
        dst = t / "discs/";
        minimal_master(src);
        builder_settings(src, dst, kind);
        builder_reset_walk();
    }
    std::string release(int disc) { return dst + "disk_" + std::to_string(disc) + "/Volatra 9.10r1/"; }
    // The FILE lines of the built manifest: "platform vcode size_a size_b sig name" each.
    std::vector<std::string> lines(const std::string& name_filter = "") {
        std::vector<std::string> out;
        std::istringstream in(built_manifest(dst));
        for (std::string l; std::getline(in, l);)
            if (l.rfind("FILE 0 ", 0) == 0 && l.find(name_filter) != std::string::npos)
                out.push_back(l.substr(7));
        return out;
    }
    void walk() {
        builder_reset_walk();
        pref_level(src_fold);
    }
    temp_folder s;
    std::string src, dst;
};

TEST_F(Builder, FilterRulesAndBuildKinds) {
    write_file(src + "All/Resources/plain.txt", "x");
    write_file(src + "All/Resources/empty.txt", "");
    ASSERT_EQ(symlink("nowhere", (src + "All/Resources/link").c_str()), 0);  // not opened
    for (const char* good : {"plain.txt", "empty.txt", "link"})
        EXPECT_TRUE(is_good_file(src + "All/Resources/" + good, 0, 1));
    EXPECT_FALSE(is_good_file(src + "All/Resources/missing.txt", 0, 1));
    EXPECT_TRUE(is_good_file(src + "All/Resources/missing.txt", 0, 0) &&
                is_good_file(src + "All/missing", 1, 1));
    for (const char* bad :
         {"All/network.cfg", "All/Global Scenery/x.dsf.7z", "All/a/Thumbs.db", "All/a/._x", "All/a/.DS_Store",
          "All/a/.sandboxinfo", "All/a/x.xSYM/y", "All/a/x.ovw", "All/a/x.ac", "All/a/serverlist.txt",
          "All/a/Volatra Pilot.txt", "All/a/x.prf", "All/a/x.fms", "All/a/x.sit", "All/a/x.mov",
          "All/a/x.bak", "All/a/x.dsf.txt", "All/install_zyb Aircraft/a.acf"})
        EXPECT_FALSE(is_good_file(src + bad, 0, 0)) << bad;

    const char* paths[] = {"Custom Scenery/DSF 900 Mars World-Wide/a.dsf",
                           "Custom Scenery/DSF 900 Moon World-Wide/a.dsf",
                           "Global Scenery/-global terrain-/b.dsf",
                           "Global Scenery/-global overlays-/b.dsf",
                           "Resources/default scenery/900 red terrain/r.ter",
                           "Resources/bitmaps/Earth Orbit Textures/o.png",
                           "Aircraft/a.acf"};
    for (auto [kind, want] : {std::pair{0, "0000001"}, {1, "0011111"}, {2, "1000000"}, {3, "0100000"}}) {
        build_type = kind;
        std::string got;
        for (const char* p : paths) got += is_good_file(src + "All/" + p, 0, 0) ? '1' : '0';
        EXPECT_EQ(got, want) << kind;
    }
    build_type = 7;
    EXPECT_EXIT(is_good_file(src + "All/a", 0, 0), ::testing::ExitedWithCode(1),
                "can not tell what type of install");
}

TEST_F(Builder, HistoryKeys) {
    std::string all;
    for (auto [path, platform] : {std::pair{"All/Resources/a.txt", 0},
                                  {"All/Resources/plugins/QORV.shlb", 1},
                                  {"All/Resources/plugins/QORV.so", 6},
                                  {"Windows/x.dll", 2},
                                  {"Linux/x", 3}}) {
        std::string p = path;
        chop_platform(p, platform);
        all += p + "|";
    }
    EXPECT_EQ(all,
              "ALL_os/Resources/a.txt|APL_os/Resources/plugins/QORV.shlb|/Resources/plugins/QORV.so|"
              "IBM_os/x.dll|LIN_os/x|");
    std::string flat = "nodir";
    EXPECT_EXIT(chop_platform(flat, 0), ::testing::ExitedWithCode(1), "Could not find the dir char!");
    EXPECT_TRUE(no_case_compare_string()("abc", "ABCD"));
    EXPECT_FALSE(no_case_compare_string()("ABC", "abc") || no_case_compare_string()("b", "A"));
}

TEST_F(Builder, TheWalkSelectsInOrderAndListsTheDiscFolders) {
    write_file(src + "All/Aircraft/b/B.acf", "b");
    write_file(src + "All/Aircraft/a.acf", "lower");
    write_file(src + "All/Aircraft/A.acf", "upper");  // equal but for case: byte order
    write_file(src + "All/Aircraft/model.obj/part.txt", "a folder named like a file type is walked");
    ASSERT_EQ(symlink("model.obj", (src + "All/Aircraft/to folder").c_str()), 0);  // packed as a link
    write_file(src + "All/Resources/x.prf", "p");
    write_file(src + "Linux/volatra", "l");
    walk();
    std::vector<std::string> want;
    for (const char* f : {"All/Aircraft/A.acf", "All/Aircraft/a.acf", "All/Aircraft/b/B.acf",
                          "All/Aircraft/model.obj/part.txt", "All/Aircraft/to folder",
                          "All/Resources/menus/English/Volatra.txt", "All/Resources/text/English/Volatra.txt",
                          "Linux/volatra"})
        want.push_back(src + f);
    EXPECT_EQ(comp_files, want);
    EXPECT_EQ(num_files_rec * 10 + num_files_use, 98);
    for (int d = 0; d <= 2; ++d) {
        const std::string base = dst + "disk_" + std::to_string(d);
        for (const std::string& f :
             {base, base + "/Volatra 9.10r1/All/Aircraft/b", base + "/Volatra 9.10r1/Linux"})
            EXPECT_EQ(comp_paths.count(f), 1u) << f;
    }
    EXPECT_EQ(comp_paths.count(dst.substr(0, dst.size() - 1)) + comp_paths.count(dst + "disk_3"), 0u);
    builder_check_required();  // passes
}

TEST_F(Builder, MastersThatStopTheWalk) {
    struct row {
        const char* add;     // a file to add ("fifo:" a pipe), or empty
        const char* remove;  // a folder or file to remove, or empty
        const char* message;
    } rows[] = {
        {"All/Docs/a.txt", "", "What the hell is THIS doing in here"},
        {"All/resources/a.txt", "", "What the hell is THIS doing in here"},
        {"All/Resources-JUX/ac_threat.dat", "", "What the hell is THIS doing in here"},
        {"All/readme.txt", "", "I FOUND A FILE INSIDE THE 'ALL' FOLDER"},
        {"Windows/Backup copy/x.txt", "", "found a copy file!"},
        {"Windows/main.cpp", "", "found a .cpp file!"},
        {"Windows/MAIN.CPP", "", "found a .CPP file!"},
        {"Windows/x.xSYM/a:b", "", "found a  : in the path!"},
        {"Windows/a\\b", "", "found a \\\\ in the path!"},
        {"Windows/trailing folder /a", "", "with a space at the end!"},
        {"Windows/ leading", "", "with a space at the start!"},
        {"Windows/line\nbreak", "", "with a control character in its name!"},
        {"All/Resources/preferences/kept.txt", "", "I found this preferences file!"},
        {"fifo:All/Aircraft/unreadable.acf", "", "I could not read this file!"},
        {"Linux/Resources/text/English/Volatra.txt", "", "Two files would be installed at the same place!"},
        {"", "Linux", "!found_X86_fold"},
        {"", "All/Resources/plugins", "!found_plug\t "},
        {"", "All/Resources/default scenery/900 red terrain", "!found_redt\t "},
        {"", "All/Resources/text/English/Volatra.txt", "!found_tex_file"},
    };
    walk();  // the flags of this walk must not carry over
    for (const row& r : rows) {
        temp_folder t;
        setup(t);
        std::string add = r.add;
        if (add.rfind("fifo:", 0) == 0) {
            std::filesystem::create_directories(src + "All/Aircraft");
            ASSERT_EQ(mkfifo((src + add.substr(5)).c_str(), 0644), 0);
        } else if (!add.empty()) {
            write_file(src + add, "x");
        }
        if (*r.remove) std::filesystem::remove_all(src + r.remove);
        EXPECT_EXIT((walk(), builder_check_required()), ::testing::ExitedWithCode(1), r.message)
            << r.add << r.remove;
    }
    setup(s, 0);  // red terrain is required only for the full release
    std::filesystem::remove_all(src + "All/Resources/default scenery");
    walk();
    builder_check_required();
    found_com_file = 1;
    EXPECT_EXIT(builder_check_required(), ::testing::ExitedWithCode(1), " found_com_file");
    // Root reads every folder whatever its mode: a folder that cannot be opened comes from running
    // out of descriptors (free functions only after that: the sanitizer's checks need some).
    builder_reset_walk();
    auto without_descriptors = [] {
        const rlimit rl{64, 64};
        setrlimit(RLIMIT_NOFILE, &rl);
        while (dup(2) >= 0) {
        }
        pref_level(src_fold);
    };
    EXPECT_EXIT(without_descriptors(), ::testing::ExitedWithCode(1),
                "I could not read this folder of the master!");
}

int g_progress_calls;
std::string g_progress_line1;
void counting_sink(const std::string& l1, const std::string&) {
    ++g_progress_calls;
    g_progress_line1 = l1;
}
int typed_q() { return 'q'; }

TEST_F(Builder, ProgressEveryFiveHundredFilesMetAndTwentyPackedAndQStops) {
    for (int i = 0; i < 498; ++i) write_file(src + "All/Aircraft/f" + std::to_string(1000 + i) + ".acf", "");
    write_file(src + "All/Resources/menus/zz.prf", "");  // the 500th file met is not selected
    builder_progress_fn saved = g_builder_progress;
    g_builder_progress = counting_sink;
    g_progress_calls = 0;
    walk();
    EXPECT_EQ(num_files_rec, 501);
    EXPECT_EQ(g_progress_calls, 1);
    EXPECT_EQ(g_progress_line1, "reg: 0: total files recursed: 500. will compress: 499.");
    build_install();
    EXPECT_EQ(g_progress_calls, 2 + 500 / 20);
    EXPECT_EQ(g_progress_line1, "reg: 0: total files to compress: 500. now doing: 500.");
    g_builder_key_poll = typed_q;
    EXPECT_EXIT(walk(), ::testing::ExitedWithCode(1), "You hit Q dumbass!");
    g_builder_progress = saved;
    g_builder_key_poll = nullptr;
}

TEST_F(Builder, WritesTheDiscIdentityManifestAndArchives) {
    write_file(src + "All/Aircraft/a b.acf", std::string(1000, 'x'));
    write_file(src + "All/Aircraft/small.acf", std::string(999, 'y'));
    write_file(src + "Linux/volatra", "#!/bin/sh\n", 0755);
    build_install();
    EXPECT_EQ(read_file(dst + "disk_0/dvd_version.txt"), "A\n900 version\nDVD\n\nVERSION Volatra 9.10r1\n");
    EXPECT_FALSE(path_exists(release(0) + "directory.txt"));
    const std::string text = built_manifest(dst);
    auto kb = [&](const std::string& f) {
        return std::to_string(std::filesystem::file_size(release(0) + f + ".zip") / 1000);
    };
    EXPECT_EQ(text.substr(0, 25), "A\n900 version\nINSTALLER\n\n");
    EXPECT_NE(text.find("\nDIR All/Aircraft/\nFILE 0 0 91001 " + kb("All/Aircraft/a b.acf") + " 1 " +
                        md5_of(std::string(1000, 'x')) + " a b.acf\nFILE 0 0 91001 0 0 " +
                        md5_of(std::string(999, 'y')) + " small.acf\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("\nDIR Linux/\nFILE 0 3 91001 0 0 " + md5_of("#!/bin/sh\n") + " volatra\n"),
              std::string::npos);
    EXPECT_EQ(text.find("DISK"), std::string::npos);
    temp_folder out;  // one entry named after the file, with its mode
    ASSERT_EQ(zip_to_file(release(0) + "Linux/volatra.zip", out.path()), 0);
    EXPECT_EQ(list_tree(out.path()), std::vector<std::string>{"volatra"});
    EXPECT_EQ(access((out / "volatra").c_str(), X_OK), 0);
    EXPECT_TRUE(path_exists(release(1) + "All/Aircraft") && path_exists(release(2) + "Linux"));
    EXPECT_TRUE(list_tree(dst + "disk_1/").empty());
    ASSERT_FALSE(recorded_alerts().empty());
    EXPECT_EQ(recorded_alerts().back().line1, "OK compression is done. Checklist if doing net:");
    EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1), "Could not make the dst_folder!");
}

TEST_F(Builder, LinksArePackedAsTheirTextAndMayNotLeaveTheCopy) {
    ASSERT_EQ(symlink("../Airfoils", (src + "All/Aircraft/airfoils").c_str()),
              0);  // the platform folders merge
    ASSERT_EQ(symlink("folder/gone", (src + "All/Aircraft/dangling").c_str()), 0);
    build_install();
    EXPECT_EQ(lines(" dangling"),
              std::vector<std::string>{"0 91001 0 0 " + md5_of("folder/gone") + " dangling"});
    EXPECT_EQ(lines(" airfoils").size(), 1u);
    for (const char* text : {"../../outside", "/etc/passwd", "sub/../../.."}) {
        temp_folder t;
        setup(t);
        ASSERT_EQ(symlink(text, (src + "All/Aircraft/link").c_str()), 0);
        EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1),
                    "This link would lead outside the installed copy!")
            << text;
    }
}

TEST_F(Builder, SizesAndPlugInPlatforms) {
    for (auto [bytes, kb] : {std::pair<int64_t, int>{999, 0},
                             {1000, 1},
                             {2147483648LL, 2147483},
                             {4294968296LL, 4294968},
                             {INT64_MAX, INT_MAX}})
        EXPECT_EQ(builder_kb(bytes), kb) << bytes;
    std::string got;
    for (const char* p :
         {"QORV.shlb", "TarnWidgets.shlb", "QORV.framework/QORV", "TarnWidgets.framework/TarnWidgets",
          "QORV.dll", "TarnWidgets.dll", "QORV.so", "TarnWidgets.so", "PluginAdminMac.qzl",
          "PluginAdminWin.qzl", "PluginAdminLin.qzl", "QORV.framework/Versions/A/QORV"})
        got += std::to_string(builder_plugin_platform(std::string("/m/All/Resources/plugins/") + p, 0));
    EXPECT_EQ(got, "111122661260");
    EXPECT_EQ(builder_plugin_platform("/m/Linux/Resources/plugins/QORV.so", 3), 3);
    EXPECT_EQ(builder_plugin_platform("/m/All/Resources/QORV.so", 0), 0);
    write_file(src + "All/Resources/plugins/QORV.so", "so");
    build_install();
    EXPECT_EQ(lines(" QORV.so"), std::vector<std::string>{"6 91001 0 0 " + md5_of("so") + " QORV.so"});
}

TEST_F(Builder, DiscSplitAtTheLimitWithSmallArchivesCounted) {
    for (int i = 1; i <= 3; ++i) write_file(src + "Linux/f" + std::to_string(i), noise(3500, i));
    build_install();
    int size[4] = {};
    for (int i = 1; i <= 3; ++i) size[i] = std::stoi(lines(" f" + std::to_string(i))[0].substr(8));
    ASSERT_GE(size[1], 3);
    // The two small text files count 1 KB each though their archives hold less.
    for (auto [limit, split] : {std::pair{size[1] + size[2] + size[3] + 2, ""},
                                {size[1] + size[2] + size[3] + 1, "f3"},
                                {size[1] + size[2] + 1, "f2"},
                                {0, "all"}}) {
        temp_folder t;
        setup(t);
        for (int i = 1; i <= 3; ++i) write_file(src + "Linux/f" + std::to_string(i), noise(3500, i));
        disc_limit_kb = limit;
        build_install();
        const std::string text = built_manifest(dst);
        if (*split == 0) {
            EXPECT_EQ(text.find("DISK"), std::string::npos);
        } else if (std::string(split) == "all") {
            EXPECT_NE(text.find("DISK 5\n"), std::string::npos);  // a fourth disc and more get folders too
            EXPECT_TRUE(path_exists(release(4) + "Linux/f3.zip"));
        } else {
            EXPECT_NE(text.find(std::string(" ") + split + "\nDISK 1\n"), std::string::npos) << text;
            EXPECT_EQ(dvd_now, 1);
        }
    }
}

TEST_F(Builder, ReadyArchivesAreLinkedAndMustFollowTheInstallersRule) {
    const std::string tile = "All/Global Scenery/-global terrain-/+40-130/+47-123.dsf";
    write_file(src + tile, noise(5000, 7));
    put_7z(src + tile + ".7z", {{"+47-123.dsf", noise(5000, 7)}});
    EXPECT_TRUE(ready_archive_matches(src + tile + ".7z", "+47-123.dsf", 5000));
    EXPECT_FALSE(ready_archive_matches(src + tile + ".7z", "+47-123.dsf", 4999) ||
                 ready_archive_matches(src + tile + ".7z", "other.dsf", 5000) ||
                 ready_archive_matches(src + tile, "+47-123.dsf", 5000));
    build_install();
    EXPECT_EQ(std::filesystem::equivalent(src + tile + ".7z", release(0) + tile + ".7z"), true);
    EXPECT_EQ(lines("+47-123.dsf")[0].substr(0, 8), "0 91001 ");
    EXPECT_NE(lines("+47-123.dsf")[0].find(" 5 " + md5_of(noise(5000, 7))), std::string::npos);

    for (auto [what, message] : {std::pair{"no archive", "has no ready .7z archive beside it"},
                                 {"stale", "does not match its file"},
                                 {"not an archive", "does not match its file"},
                                 {"not global", "has a ready .7z archive but is not global scenery"}}) {
        temp_folder t;
        setup(t);
        const std::string w = what;
        if (w == "not global") {
            write_file(src + "All/Aircraft/a.acf", "a");
            put_7z(src + "All/Aircraft/a.acf.7z", {{"a.acf", "a"}});
        } else {
            write_file(src + tile, "new tile");
            if (w == "stale") put_7z(src + tile + ".7z", {{"+47-123.dsf", "old tile, longer"}});
            if (w == "not an archive") write_file(src + tile + ".7z", "not a 7z archive");
        }
        EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1), message) << w;
    }
}

TEST_F(Builder, FailedOutputAndDigestStopTheBuild) {
    write_file(s / "plain", "x");
    EXPECT_EXIT(builder_open_output(s / "plain/sub/directory.txt"), ::testing::ExitedWithCode(1),
                "I could not write a file of the disc set!");
    EXPECT_EXIT((builder_open_output("/dev/full"), ouf << std::string(1 << 20, 'x'),
                 builder_close_output("/dev/full")),
                ::testing::ExitedWithCode(1), "I could not write a file of the disc set!");
    std::string digest = "previous";
    EXPECT_EXIT(builder_digest(s / "missing", digest), ::testing::ExitedWithCode(1), "Could not MD5 file!");
    builder_digest(s / "plain", digest);
    EXPECT_EQ(digest, md5_of("x"));
}

class BuilderKindZero : public Builder {
protected:
    void build(const std::string& old_body) {
        build_type = 0;
        old_dir_path = s.write("old directory.txt", manifest_text(old_body));
        build_install();
    }
    // vcode:sig of every version of the history of path in the built manifest.
    std::string history(const std::string& path) {
        temp_folder t;
        EXPECT_EQ(read_directory(t.write("d.txt", built_manifest(dst)), ""), 3);
        std::string out;
        for (auto& h : sim_info)
            if (h.versions.front().path == path)
                for (auto& v : h.versions)
                    out += std::to_string(v.vcode) + ":" + v.sig_want.substr(0, 4) + " ";
        return out;
    }
};

TEST_F(BuilderKindZero, HistoriesCarryOver) {
    auto m = [](const char* t) { return md5_of(t); };
    for (auto [f, c] : {std::pair{"All/Aircraft/same.acf", "same"},
                        {"All/Aircraft/changed.acf", "new"},
                        {"All/Aircraft/renamed.acf", "r2"},
                        {"All/Aircraft/back.acf", "b2"},
                        {"Linux/Resources/moved.txt", "moved 2"},
                        {"All/Resources/plugins/PluginAdminLin.qzl", "lin2"}})
        write_file(src + f, c);
    build("DIR All/Aircraft/\nFILE 0 0 90000 1 1 " + m("same") + " same.acf\nFILE 0 0 90000 1 1 " +
          m("old1") + " changed.acf\nFILE 0 0 90500 1 1 " + m("old2") + " changed.acf\nFILE 0 0 90000 1 1 " +
          m("gone") + " vanished.acf\nFILE 0 0 90000 1 1 " + m("x") +
          " already.acf\nFILE 0 0 90500 0 0 GONE already.acf\n" + "FILE 0 0 90000 1 1 " + m("p") +
          " filtered.prf\nFILE 0 0 90000 1 1 " + m("r") + " Renamed.acf\n" + "FILE 0 0 90000 1 1 " + m("b1") +
          " back.acf\nFILE 0 0 90500 0 0 GONE back.acf\n" + "FILE 0 0 90000 99999999999 2147483647 " +
          m("h") + " huge.acf\n" + "DIR All/Resources/\nFILE 0 0 90000 1 1 " + m("moved") + " moved.txt\n" +
          "DIR All/Resources/plugins/\nFILE 0 0 90000 1 1 " + m("lin1") + " PluginAdminLin.qzl\n");
    auto v = [&](int vcode, const char* t) {
        return std::to_string(vcode) + ":" + md5_of(t).substr(0, 4) + " ";
    };
    EXPECT_EQ(history("All/Aircraft/same.acf"), v(91001, "same"));
    EXPECT_EQ(history("All/Aircraft/changed.acf"), v(90000, "old1") + v(90500, "old2") + v(91001, "new"));
    EXPECT_EQ(history("All/Aircraft/renamed.acf"), v(90000, "r") + v(91001, "r2"));  // a change of case only
    EXPECT_EQ(history("All/Aircraft/Renamed.acf"), "");
    EXPECT_EQ(history("All/Aircraft/back.acf"), v(90000, "b1") + v(91001, "b2"));
    EXPECT_EQ(history("All/Aircraft/vanished.acf"), v(90000, "gone") + "91001:GONE ");
    EXPECT_EQ(history("All/Aircraft/already.acf"), v(90000, "x") + "90500:GONE ");
    EXPECT_EQ(history("All/Aircraft/filtered.prf"), "");
    // A file moved to another platform folder, or whose plug-in code changed, takes the old
    // history's versions and leaves no removal behind at the place it fills.
    EXPECT_EQ(history("Linux/Resources/moved.txt"), v(90000, "moved") + v(91001, "moved 2"));
    EXPECT_EQ(history("All/Resources/moved.txt"), "");
    EXPECT_EQ(lines("PluginAdminLin.qzl"),
              (std::vector<std::string>{"0 90000 1 1 " + m("lin1") + " PluginAdminLin.qzl",
                                        "6 91001 0 0 " + m("lin2") + " PluginAdminLin.qzl"}));
    // The largest sizes an old line may hold are written back held, not wrapped negative.
    EXPECT_EQ(lines("huge.acf"),
              (std::vector<std::string>{"0 90000 2147483647 2147483647 " + m("h") + " huge.acf",
                                        "0 91001 0 0 GONE huge.acf"}));
}

TEST_F(BuilderKindZero, OldManifestMistakesStopTheBuild) {
    const std::string a = md5_of("a");
    for (auto [body, message] :
         {std::pair<std::string, const char*>{"DIR All/Aircraft/\nFILE 0 0 91001 1 1 " + a + " a.acf\n",
                                              "You idiot! I already have a version:"},
          {"DIR All/Aircraft/\nFILE 0 0 1 1 1 " + a + " a.acf\nFILE 0 0 1 1 1 " + a + " A.acf\n", "TWICE"},
          {"DIR Macintosh/ \nFILE 0 1 1 0 0 GONE x\n", "with a space at the start!"},
          {"DIR All/\nFILE 0 0 1 1 1 " + a + " x \n", "with a space at the end!"},
          {"DIR All/\nFILE 0 0 1 1 1 not-a-digest x\n", "neither an MD5 nor GONE"},
          {"DIR All/\nFILE 0 0 1 1 1\n", "lacks a field"}}) {
        temp_folder t;
        setup(t);
        EXPECT_EXIT(build(body), ::testing::ExitedWithCode(1), message) << body;
    }
    old_dir_path = s / "nothing here.txt";
    build_type = 0;
    EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1), "does not exist");
}

TEST(BuilderPrograms, CommandLineAndSampleMaster) {
    temp_folder s;
    auto q = [](const std::string& p) { return "'" + p + "'"; };
    const std::string tools = std::string(VOLATRA_BINARY_DIR) + "/tools/",
                      builder = q(tools + "volatra_make_installer");
    for (const char* bad : {" --kind 9", " --disc-kb", " --src relative/"})
        EXPECT_EQ(run(builder + bad + " 2>/dev/null"), 2);
    minimal_master(s / "master/");
    write_file(s / "master/Linux/volatra", "x");
    std::filesystem::create_directories(s / "discs");
    const std::string cmd =
        builder + " --src " + q(s / "master") + " --dst " + q(s / "discs") + " --disc-kb 100 </dev/null";
    EXPECT_EQ(run(cmd + " >" + q(s / "out.txt") + " 2>&1"), 0);
    EXPECT_NE(s.read("out.txt").find("OK compression is done. Checklist if doing net:"), std::string::npos);
    EXPECT_TRUE(path_exists(s / "discs/disk_0/Volatra 9.10r1/Linux/volatra.zip"));
    EXPECT_EQ(run(cmd + " >/dev/null 2>" + q(s / "err.txt")), 1);  // a fatal alert: its lines, status 1
    EXPECT_NE(s.read("err.txt").find("Could not make the dst_folder!\n" + s / "discs/disk_0/\n"),
              std::string::npos);

    const std::string gen = q(tools + "volatra_sample_master");
    for (const char* v : {"a", "b", "c --variant 1"})
        ASSERT_EQ(run(gen + " " + q(s.path()) + v + " >/dev/null"), 0);
    EXPECT_EQ(run("diff -r --no-dereference " + q(s / "a") + " " + q(s / "b") + " >/dev/null"), 0);
    EXPECT_NE(run("diff -r --no-dereference " + q(s / "a") + " " + q(s / "c") + " >/dev/null"), 0);
    EXPECT_NE(run(gen + " " + q(s / "a") + " 2>/dev/null"), 0);  // an existing folder is never written into
}

}  // namespace

// The builder: the walk of the master folder and its checks, packing with the disc split, the
// histories carried over from the previous manifest, and the command-line programs.
#include "install/builder.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <list>
#include <sstream>

#include "core/globals.h"
#include "engine_helpers.h"
#include "files/archives.h"

namespace {

namespace fs = std::filesystem;

// Random bytes: their archives are about as large as the files.
std::string noise(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>((seed = seed * 1664525u + 1013904223u) >> 24);
    return s;
}

int g_progress_calls;
std::string g_progress_line1;
void counting_sink(const std::string& l1, const std::string&) { ++g_progress_calls, g_progress_line1 = l1; }
int typed_q() { return 'q'; }

class Builder : public ::testing::Test {
protected:
    void SetUp() override {
        GTEST_FLAG_SET(death_test_style, "fast");  // no threads: a death test may fork where it stands
        reset_engine_state();
        setup(s);
    }
    void setup(const temp_folder& t, int kind = 1) {
        src = t / "master/";
        dst = t / "discs/";
        minimal_master(src);
        builder_settings(src, dst, kind);
    }
    std::string release(int disc) { return dst + "disk_" + std::to_string(disc) + "/Volatra 9.10r1/"; }
    // The FILE lines of the built manifest holding part, each less its "FILE 0 ".
    std::string lines(const std::string& part) {
        std::istringstream in(built_manifest(dst));
        std::string out;
        for (std::string l; std::getline(in, l);)
            if (l.rfind("FILE 0 ", 0) == 0 && l.find(part) != std::string::npos) out += l.substr(7) + "|";
        return out;
    }
    void walk() {
        builder_reset_walk();
        pref_level(src_fold);
    }
    temp_folder s;
    std::string src, dst;
};

TEST_F(Builder, FilterKindsAndHistoryKeys) {
    ASSERT_EQ(symlink("nowhere", (src + "All/link").c_str()), 0);  // a link is not opened
    EXPECT_TRUE(is_good_file(src + "All/link", 0, 1) && is_good_file(src + "All/missing", 0, 0));
    EXPECT_FALSE(is_good_file(src + "All/missing", 0, 1));
    // An interrupted install's hidden leftovers stay out; a name merely holding the prefix does not.
    EXPECT_FALSE(is_good_file(src + "All/Aircraft/.vtmp-12-3", 0, 0) ||
                 is_good_file(src + "All/.vtmp-12-4/a.acf", 0, 0));
    EXPECT_TRUE(is_good_file(src + "All/Aircraft/a.vtmp-12-3", 0, 0));
    const char* paths[] = {"Custom Scenery/DSF 900 Mars World-Wide/a",
                           "Custom Scenery/DSF 900 Moon World-Wide/a",
                           "Global Scenery/-global terrain-/b",
                           "Global Scenery/-global overlays-/b",
                           "Resources/default scenery/900 red terrain/r",
                           "Resources/bitmaps/Earth Orbit Textures/o",
                           "Aircraft/a.acf"};
    std::string got;
    for (build_type = 0; build_type <= 3; ++build_type)
        for (const char* p : paths) got += is_good_file(src + "All/" + p, 0, 0) ? '1' : '0';
    EXPECT_EQ(got,
              "0000001"
              "0011111"
              "1000000"
              "0100000");
    EXPECT_EXIT(is_good_file(src + "All/a", 0, 0), ::testing::ExitedWithCode(1), "can not tell what type");

    got.clear();
    for (int platform : {0, 1, 2, 3, 6}) {
        std::string p = "All/Resources/a.txt";
        chop_platform(p, platform);
        got += p + "|";
    }
    EXPECT_EQ(got,
              "ALL_os/Resources/a.txt|APL_os/Resources/a.txt|IBM_os/Resources/a.txt|LIN_os/Resources/a.txt|"
              "/Resources/a.txt|");
    std::string flat = "nodir";
    EXPECT_EXIT(chop_platform(flat, 0), ::testing::ExitedWithCode(1), "Could not find the dir char!");
    EXPECT_TRUE(no_case_compare_string()("abc", "ABCD"));
    EXPECT_FALSE(no_case_compare_string()("ABC", "abc") || no_case_compare_string()("b", "A"));
}

TEST_F(Builder, TheWalkSelectsInOrderListsTheDiscFoldersAndShowsProgress) {
    for (const char* f : {"All/Aircraft/b/B.acf", "All/Aircraft/a.acf", "All/Aircraft/A.acf",
                          "All/Aircraft/model.obj/part.txt", "All/Resources/x.prf", "Linux/volatra"})
        write_file(src + f, f);
    ASSERT_EQ(symlink("model.obj", (src + "All/Aircraft/to folder").c_str()), 0);  // packed as a link
    walk();
    std::string got;
    for (const std::string& f : comp_files) got += f.substr(src.size()) + "|";
    EXPECT_EQ(got,
              "All/Aircraft/A.acf|All/Aircraft/a.acf|All/Aircraft/b/B.acf|All/Aircraft/model.obj/part.txt|"
              "All/Aircraft/to folder|All/Resources/menus/English/Volatra.txt|"
              "All/Resources/text/English/Volatra.txt|Linux/volatra|");
    EXPECT_EQ(num_files_rec * 10 + num_files_use, 98);
    for (int d = 0; d <= 3; ++d) {  // disc 0's folders; a later disc gets them when it is begun
        const std::string disc = dst + "disk_" + std::to_string(d);
        EXPECT_EQ(comp_paths.count(disc) + comp_paths.count(disc + "/Volatra 9.10r1/All/Aircraft/b"),
                  d == 0 ? 2u : 0u);
    }
    EXPECT_EQ(comp_paths.count(dst.substr(0, dst.size() - 1)), 0u);

    // Progress every 500 files met (the 500th here is not selected) and every 20 packed; q stops.
    for (int i = 0; i < 493; ++i) write_file(src + "All/Aircraft/f" + std::to_string(1000 + i) + ".acf", "");
    write_file(src + "All/Resources/menus/zz.prf", "");
    const builder_progress_fn saved = g_builder_progress;
    g_builder_progress = counting_sink;
    g_progress_calls = 0;
    walk();
    EXPECT_EQ(g_progress_calls, 1);
    EXPECT_EQ(g_progress_line1, "reg: 0: total files recursed: 500. will compress: 499.");
    build_install();
    EXPECT_EQ(g_progress_calls, 2 + 501 / 20);
    EXPECT_EQ(g_progress_line1, "reg: 0: total files to compress: 501. now doing: 500.");
    g_builder_key_poll = typed_q;
    EXPECT_EXIT(walk(), ::testing::ExitedWithCode(1), "You hit Q dumbass!");
    g_builder_progress = saved;
    g_builder_key_poll = nullptr;
}

TEST_F(Builder, MastersThatStopTheWalk) {
    struct row {
        const char* add;  // "-" then a path removes it, "|" then a path makes a pipe there
        const char* message;
    } rows[] = {
        {"All/Docs/a.txt", "What the hell is THIS doing in here"},
        {"All/resources/a.txt", "What the hell is THIS doing in here"},
        {"All/readme.txt", "I FOUND A FILE INSIDE THE 'ALL' FOLDER"},
        {"Windows/Backup copy/x", "found a copy file!"},
        {"Windows/main.cpp", "found a .cpp file!"},
        {"Windows/x.xSYM/a:b", "found a  : in the path!"},
        {"Windows/a\\b", "found a \\\\ in the path!"},
        {"Windows/trailing /a", "with a space at the end!"},
        {"Windows/ leading", "with a space at the start!"},
        {"Windows/line\nbreak", "with a control character in its name!"},
        {"All/Resources/preferences/kept.txt", "I found this preferences file!"},
        {"|All/Aircraft/unreadable.acf", "I could not read this file!"},
        {"Linux/Resources/text/English/Volatra.txt", "Two files would be installed at the same place!"},
        {"-Linux", "!found_X86_fold"},
        {"-All/Resources/plugins", "!found_plug\t "},
        {"-All/Resources/default scenery/900 red terrain", "!found_redt\t "},
        {"-All/Resources/text/English/Volatra.txt", "!found_tex_file"},
    };
    walk();  // the flags of this walk must not carry over
    for (const row& r : rows) {
        temp_folder t;
        setup(t);
        const std::string path = src + (r.add + (*r.add == '-' || *r.add == '|'));
        if (*r.add == '-') fs::remove_all(path);
        if (*r.add == '|') {
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        }
        if (*r.add != '-' && *r.add != '|') write_file(path, "x");
        EXPECT_EXIT((walk(), builder_check_required()), ::testing::ExitedWithCode(1), r.message) << r.add;
    }
    setup(s, 0);  // red terrain is required only for the full release
    fs::remove_all(src + "All/Resources/default scenery");
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
                "could not read this folder of the master!");
}

TEST_F(Builder, WritesTheDiscIdentityManifestAndArchives) {
    write_file(src + "All/Aircraft/a b.acf", std::string(1000, 'x'));
    write_file(src + "All/Aircraft/small.acf", std::string(999, 'y'));
    write_file(src + "Linux/volatra", "#!/bin/sh\n", 0755);
    write_file(src + "All/Resources/plugins/QORV.so", "so");
    ASSERT_EQ(symlink("../Airfoils", (src + "All/Aircraft/airfoils").c_str()), 0);  // platform folders merge
    ASSERT_EQ(symlink("folder/gone", (src + "All/Aircraft/dangling").c_str()), 0);
    build_install();
    EXPECT_EQ(read_file(dst + "disk_0/dvd_version.txt"), "A\n900 version\nDVD\n\nVERSION Volatra 9.10r1\n");
    EXPECT_FALSE(path_exists(release(0) + "directory.txt"));
    const std::string text = built_manifest(dst);
    EXPECT_EQ(text.substr(0, 25), "A\n900 version\nINSTALLER\n\n");
    const auto kb = fs::file_size(release(0) + "All/Aircraft/a b.acf.zip") / 1000;
    EXPECT_NE(text.find("\nDIR All/Aircraft/\nFILE 0 0 91001 " + std::to_string(kb) + " 1 " +
                        md5_of(std::string(1000, 'x')) + " a b.acf\n"),
              std::string::npos);
    EXPECT_EQ(lines(" small.acf") + lines(" dangling") + lines(" volatra") + lines(" QORV.so"),
              "0 91001 0 0 " + md5_of(std::string(999, 'y')) + " small.acf|0 91001 0 0 " +
                  md5_of("folder/gone") + " dangling|3 91001 0 0 " + md5_of("#!/bin/sh\n") +
                  " volatra|6 91001 0 0 " + md5_of("so") + " QORV.so|");
    EXPECT_EQ(text.find("DISK"), std::string::npos);
    temp_folder out;  // one entry named after the file, with its mode
    ASSERT_EQ(zip_to_file(release(0) + "Linux/volatra.zip", out.path()), 0);
    EXPECT_EQ(list_tree(out.path()), std::vector<std::string>{"volatra"});
    EXPECT_EQ(access((out / "volatra").c_str(), X_OK), 0);
    // Everything fits on disc 0: no other disc is written.
    EXPECT_EQ(std::distance(fs::directory_iterator(dst), fs::directory_iterator()), 1);
    EXPECT_EQ(recorded_alerts().back().line1, "OK compression is done. Checklist if doing net:");
    EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1), "Could not make the dst_folder!");
    setup(s, 2);  // the Mars scenery: its own release name and region
    write_file(src + "All/Custom Scenery/DSF 900 Mars World-Wide/+00+000.dsf", "mars");
    dst = s / "mars/";
    builder_settings(src, dst, 2);
    build_install();
    EXPECT_EQ(read_file(dst + "disk_0/dvd_version.txt").substr(19) + std::to_string(reg), "VERSION Mars\n1");
    // Refused with its path in the walk, before the file ahead of it is packed.
    for (const char* link : {"../../outside", "/etc/passwd", "sub/../../.."}) {
        temp_folder t;
        setup(t);
        write_file(src + "All/Aircraft/a.acf", "a");
        ASSERT_EQ(symlink(link, (src + "All/Aircraft/link").c_str()), 0);
        EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1),
                    "would lead outside the installed copy(.|\n)*All/Aircraft/link")
            << link;
        EXPECT_FALSE(path_exists(release(0) + "All/Aircraft/a.acf.zip")) << link;
    }
}

TEST_F(Builder, SizesPlugInPlatformsAndOutputFailures) {
    for (auto [bytes, kb] :
         {std::pair<int64_t, int>{999, 0}, {1000, 1}, {4294968296LL, 4294968}, {INT64_MAX, INT_MAX}})
        EXPECT_EQ(builder_kb(bytes), kb) << bytes;
    std::string got;
    for (const char* p :
         {"QORV.shlb", "TarnWidgets.shlb", "QORV.framework/QORV", "TarnWidgets.framework/TarnWidgets",
          "QORV.dll", "TarnWidgets.dll", "QORV.so", "TarnWidgets.so", "PluginAdminMac.qzl",
          "PluginAdminWin.qzl", "PluginAdminLin.qzl", "QORV.framework/Versions/A/QORV"})
        got += std::to_string(builder_plugin_platform(std::string("/m/All/Resources/plugins/") + p, 0));
    EXPECT_EQ(got, "111122661260");
    EXPECT_EQ(builder_plugin_platform("/m/Linux/Resources/plugins/QORV.so", 3) +
                  builder_plugin_platform("/m/All/Resources/QORV.so", 0),
              3);

    write_file(s / "plain", "x");
    EXPECT_EXIT(builder_open_output(s / "plain/sub/directory.txt"), ::testing::ExitedWithCode(1),
                "could not write a file of the disc set!");
    EXPECT_EXIT((builder_open_output("/dev/full"), ouf << std::string(1 << 20, 'x'),
                 builder_close_output("/dev/full")),
                ::testing::ExitedWithCode(1), "could not write a file of the disc set!");
    std::string digest = "previous";
    EXPECT_EXIT(builder_digest(s / "missing", digest), ::testing::ExitedWithCode(1), "Could not MD5 file!");
    builder_digest(s / "plain", digest);
    EXPECT_EQ(digest, md5_of("x"));
}

// The zipped manifest is written, but the plain one it replaces cannot go: not a finished set.
TEST_F(Builder, AManifestThatCannotBeDeletedStopsTheBuild) {
    if (result_in_child([] { return refuse_unlink() ? 0 : 1; }) != 0)
        GTEST_SKIP() << "this system does not let a process filter its calls";
    EXPECT_EXIT((refuse_unlink(), build_install()), ::testing::ExitedWithCode(1), "del!=0");
    EXPECT_TRUE(path_exists(release(0) + "directory.txt.zip"));
}

TEST_F(Builder, DiscSplitAtTheLimitInWholeKilobytes) {
    std::list<temp_folder> sets;
    auto build = [&](double limit) {
        setup(sets.emplace_back());
        for (int i = 1; i <= 3; ++i) write_file(src + "Linux/f" + std::to_string(i), noise(3500, i));
        disc_limit_kb = limit;
        build_install();
        return built_manifest(dst);
    };
    build(kDiscLimitKb);
    // Of f1 and f2; the two text files of the master come first, their archives under 1000
    // bytes count 0 KB as the manifest records them.
    int kb = 0;
    for (const char* f : {" f1", " f2"}) kb += std::stoi(lines(f).substr(8));
    const int f3 = std::stoi(lines(" f3").substr(8));
    ASSERT_GE(kb, 6);
    ASSERT_EQ(lines("Volatra.txt").substr(8, 4), "0 0 ");
    // Exactly full after f2: f3 still goes onto disc 0.
    EXPECT_EQ(build(kb).find("DISK"), std::string::npos);
    // The last file fills the disc: no disc is begun for nothing.
    EXPECT_EQ(build(kb + f3 - 1).find("DISK"), std::string::npos);
    EXPECT_FALSE(path_exists(dst + "disk_1"));
    EXPECT_NE(build(kb - 1).find(" f2\nDISK 1\n"), std::string::npos);  // the next file starts disc 1
    EXPECT_TRUE(path_exists(release(1) + "Linux/f3.zip"));
    EXPECT_FALSE(path_exists(dst + "disk_2"));
    // Every archive of a kilobyte or more fills a disc; the two under 1000 bytes fill none.
    const std::string each = build(0);
    EXPECT_NE(each.find(" f1\nDISK 1\n"), std::string::npos);
    EXPECT_NE(each.find(" f2\nDISK 2\n"), std::string::npos);
    EXPECT_EQ(each.find("DISK 3"), std::string::npos);
    EXPECT_TRUE(path_exists(release(2) + "Linux/f3.zip"));
    EXPECT_FALSE(path_exists(dst + "disk_3"));
    for (int d = 0; d < 3; ++d) EXPECT_EQ(list_tree(release(d)).size(), d ? 1u : 4u) << d;
}

TEST_F(Builder, ReadyArchivesAreLinkedAndMustFollowTheInstallersRule) {
    const std::string tile = "All/Global Scenery/-global terrain-/+40-130/+47-123.dsf";
    write_file(src + tile, noise(5000, 7));
    put_7z(src + tile + ".7z", {{"+47-123.dsf", noise(5000, 7)}});
    build_install();
    EXPECT_TRUE(fs::equivalent(src + tile + ".7z", release(0) + tile + ".7z"));
    EXPECT_NE(lines("+47-123.dsf").find(" 5 " + md5_of(noise(5000, 7))), std::string::npos);
    {
        // Without a staging folder for packing ahead, each file is packed in turn: the ready
        // archive's file is still read for its digest.
        temp_folder t;
        setup(t);
        write_file(src + tile, noise(5000, 7));
        put_7z(src + tile + ".7z", {{"+47-123.dsf", noise(5000, 7)}});
        write_file(dst + ".packing-" + std::to_string(getpid()), "in the way");
        build_install();
        EXPECT_NE(lines("+47-123.dsf").find(" 5 " + md5_of(noise(5000, 7))), std::string::npos);
        EXPECT_NE(lines("Volatra.txt").find(" " + md5_of("menus\n") + " "), std::string::npos) << lines("Volatra.txt");
    }
    for (const char* what : {"no archive", "stale", "not an archive", "not global"}) {
        temp_folder t;
        setup(t);
        const std::string w = what;
        const std::string file = w == "not global" ? "All/Aircraft/a.acf" : tile;
        write_file(src + file, "new");
        if (w == "stale" || w == "not global")
            put_7z(src + file + ".7z",
                   {{file.substr(file.rfind('/') + 1), w == "stale" ? "older, longer" : "new"}});
        if (w == "not an archive") write_file(src + file + ".7z", "not a 7z archive");
        EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1),
                    w == "no archive"   ? "has no ready .7z"
                    : w == "not global" ? "but is not global"
                                        : "does not match")
            << w;
        // The archives packed ahead of the stop are not left beside the discs.
        for (const auto& e : fs::directory_iterator(dst))
            EXPECT_EQ(e.path().filename().string().rfind(".packing-", 0), std::string::npos) << w;
    }
}

class BuilderKindZero : public Builder {
protected:
    void build(const std::string& old_body) {
        build_type = 0;
        old_dir_path = s.write("old directory.txt", manifest_text(old_body));
        build_install();
    }
};

TEST_F(BuilderKindZero, HistoriesCarryOver) {
    auto m = [](const char* t) { return md5_of(t); };
    for (auto [f, c] : {std::pair{"All/Aircraft/same", "same"},
                        {"All/Aircraft/changed", "new"},
                        {"All/Aircraft/renamed", "r2"},
                        {"All/Aircraft/back", "b2"},
                        {"Linux/Resources/moved", "moved 2"},
                        {"All/Resources/plugins/PluginAdminLin.qzl", "lin2"}})
        write_file(src + f, c);
    auto line = [&](const char* vcode, const char* sig, const char* name) {
        return std::string("FILE 0 0 ") + vcode + " 1 1 " + (sig[0] == 'G' ? std::string("GONE") : m(sig)) +
               " " + name + "\n";
    };
    build("DIR All/Aircraft/\n" + line("90000", "same", "same") + line("90000", "old1", "changed") +
          line("90500", "old2", "changed") + line("90000", "gone", "vanished") +
          line("90000", "x", "already") + line("90500", "GONE", "already") +
          line("90000", "p", "filtered.prf") + line("90000", "r", "Renamed") + line("90000", "b1", "back") +
          line("90500", "GONE", "back") + "FILE 0 0 90000 99999999999 2147483647 " + m("h") +
          " huge\nDIR All/Resources/\n" + line("90000", "moved", "moved") + "DIR All/Resources/plugins/\n" +
          line("90000", "lin1", "PluginAdminLin.qzl"));
    auto v = [&](const char* vcode, const char* t) { return std::string(vcode) + " 1 1 " + m(t) + " "; };
    const std::string now = "91001 0 0 ";
    EXPECT_EQ(lines(" same"), "0 " + now + m("same") + " same|");
    EXPECT_EQ(lines(" changed"), "0 " + v("90000", "old1") + "changed|0 " + v("90500", "old2") +
                                     "changed|0 " + now + m("new") + " changed|");
    EXPECT_EQ(lines("enamed"),
              "0 " + v("90000", "r") + "renamed|0 " + now + m("r2") + " renamed|");  // case only
    EXPECT_EQ(lines(" back"), "0 " + v("90000", "b1") + "back|0 " + now + m("b2") + " back|");
    EXPECT_EQ(lines(" vanished"), "0 " + v("90000", "gone") + "vanished|0 " + now + "GONE vanished|");
    EXPECT_EQ(lines(" already"), "0 " + v("90000", "x") + "already|0 90500 1 1 GONE already|");
    EXPECT_EQ(lines("filtered"), "");
    // A file moved to another platform folder, or whose plug-in code changed, takes the history
    // that filled its place and leaves no removal behind there.
    EXPECT_EQ(lines(" moved"), "0 " + v("90000", "moved") + "moved|3 " + now + m("moved 2") + " moved|");
    EXPECT_EQ(built_manifest(dst).find("DIR All/Resources/\n"), std::string::npos);
    EXPECT_EQ(lines("PluginAdminLin"),
              "0 " + v("90000", "lin1") + "PluginAdminLin.qzl|6 " + now + m("lin2") + " PluginAdminLin.qzl|");
    // The largest sizes an old line may hold are written back held, not wrapped negative.
    EXPECT_EQ(lines(" huge"), "0 90000 2147483647 2147483647 " + m("h") + " huge|0 " + now + "GONE huge|");
}

TEST_F(BuilderKindZero, OldManifestMistakesStopTheBuild) {
    const std::string a = md5_of("a");
    for (auto [body, message] :
         {std::pair<std::string, const char*>{"DIR All/x/\nFILE 0 0 91001 1 1 " + a + " a\n",
                                              "I already have a version"},
          {"DIR All/x/\nFILE 0 0 1 1 1 " + a + " a\nFILE 0 0 1 1 1 " + a + " A\n", "TWICE"},
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
    const std::string tools = "'" + std::string(VOLATRA_BINARY_DIR) + "/tools/volatra_", at = "'" + s.path();
    for (const char* bad : {" --kind 9", " --disc-kb", " --src relative/"})
        EXPECT_EQ(run(tools + "make_installer'" + bad + " 2>/dev/null"), 2);
    minimal_master(s / "master/");
    write_file(s / "master/Linux/volatra", "x");
    fs::create_directories(s / "discs");
    // Without a display (and with --terminal) it reports to the terminal.
    const std::string cmd =
        tools + "make_installer' --src " + at + "master' --dst " + at + "discs' --disc-kb 100";
    EXPECT_EQ(run("env -u DISPLAY -u WAYLAND_DISPLAY " + cmd + " </dev/null >" + at + "out.txt' 2>&1"), 0);
    EXPECT_NE(s.read("out.txt").find("OK compression is done. Checklist if doing net:"), std::string::npos);
    EXPECT_TRUE(path_exists(s / "discs/disk_0/Volatra 9.10r1/Linux/volatra.zip"));
    // It reports the discs it wrote, and writes no others.
    EXPECT_NE(s.read("out.txt").find("(1 discs)."), std::string::npos);
    EXPECT_FALSE(path_exists(s / "discs/disk_1"));
    EXPECT_EQ(run(cmd + " --terminal </dev/null >/dev/null 2>" + at + "err.txt'"), 1);  // its lines, status 1
    EXPECT_NE(s.read("err.txt").find("Could not make the dst_folder!\n" + s / "discs/disk_0/\n"),
              std::string::npos);
    for (const char* v : {"a'", "b'", "c' --variant 1"})
        ASSERT_EQ(run(tools + "sample_master' " + at + v + " >/dev/null"), 0);
    EXPECT_EQ(run("diff -r --no-dereference " + at + "a' " + at + "b' >/dev/null"), 0);
    EXPECT_NE(run("diff -r --no-dereference " + at + "a' " + at + "c' >/dev/null"), 0);
    EXPECT_NE(run(tools + "sample_master' " + at + "a' 2>/dev/null"),
              0);  // an existing folder is never written into
}

}  // namespace

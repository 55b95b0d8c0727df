#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdint>
#include <sstream>

#include "common/recorders.h"
#include "core/wx.h"
#include "files/zip_utils.h"
#include "install/builder.h"
#include "install/disc_set_helpers.h"
#include "install/manifest.h"

namespace {

// Random bytes, so the archives hold about as many bytes as the files.
std::string noise(size_t n, unsigned seed) {
    std::string s(n, '\0');
    unsigned x = seed * 2654435761u + 1;
    for (char& c : s) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    return s;
}

struct file_line {
    int platform, vcode, size_a, size_b;
    std::string sig, name;
};

// The FILE lines of a manifest, in order.
std::vector<file_line> file_lines(const std::string& manifest) {
    std::vector<file_line> out;
    std::istringstream in(manifest);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, 5, "FILE ") != 0) continue;
        std::istringstream f(line.substr(5));
        file_line l;
        int zero;
        f >> zero >> l.platform >> l.vcode >> l.size_a >> l.size_b >> l.sig;
        f.get();
        std::getline(f, l.name);
        out.push_back(l);
    }
    return out;
}

const file_line* find_line(const std::vector<file_line>& lines, const std::string& name) {
    for (const file_line& l : lines)
        if (l.name == name) return &l;
    return nullptr;
}

class BuilderPack : public ::testing::Test {
protected:
    void SetUp() override {
        // The builder runs no threads, so a death test may fork where it stands: re-running the
        // test in a fresh process would leave that process's temporary folder behind.
        GTEST_FLAG_SET(death_test_style, "fast");
        src = s.path() + "master/";
        dst = s.path() + "discs/";
        ds::minimal_master(src);
        ds::builder_settings(src, dst);
        reset_recorders();
    }
    std::string release(int disc) { return dst + "disk_" + std::to_string(disc) + "/Volatra 9.10r1/"; }
    std::string manifest() { return ds::built_manifest(dst, s.path()); }
    long long size_of(const std::string& p) {
        struct stat st;
        return stat(p.c_str(), &st) == 0 ? st.st_size : -1;
    }
    temp_folder s;
    std::string src, dst;
};

TEST_F(BuilderPack, WritesTheDiscIdentityManifestAndArchives) {
    ds::put(src + "All/Aircraft/a b.acf", std::string(1000, 'x'));
    ds::put(src + "All/Aircraft/small.acf", std::string(999, 'y'));
    ds::put(src + "Linux/volatra", "#!/bin/sh\n", 0755);
    build_install();

    EXPECT_EQ(read_file(dst + "disk_0/dvd_version.txt"), "A\n900 version\nDVD\n\nVERSION Volatra 9.10r1\n");
    EXPECT_FALSE(path_exists(release(0) + "directory.txt"));
    const std::string text = manifest();
    const long long za = size_of(release(0) + "All/Aircraft/a b.acf.zip");
    const long long zs = size_of(release(0) + "All/Aircraft/small.acf.zip");
    ASSERT_GT(za, 0);
    EXPECT_EQ(text.substr(0, 25), "A\n900 version\nINSTALLER\n\n");
    const std::string aircraft = "\nDIR All/Aircraft/\nFILE 0 0 91001 " + std::to_string(za / 1000) + " 1 " +
                                 ds::md5_of(std::string(1000, 'x')) + " a b.acf\nFILE 0 0 91001 " +
                                 std::to_string(zs / 1000) + " 0 " + ds::md5_of(std::string(999, 'y')) +
                                 " small.acf\n";
    EXPECT_NE(text.find(aircraft), std::string::npos) << text;
    EXPECT_NE(text.find("\nDIR Linux/\nFILE 0 3 91001 0 0 " + ds::md5_of("#!/bin/sh\n") + " volatra\n"),
              std::string::npos);
    EXPECT_EQ(text.find("DISK"), std::string::npos);

    // One entry, named after the file, with its mode.
    const std::string out = s.path() + "unzipped/";
    ds::mkdirs(out);
    ASSERT_EQ(zip_to_file(release(0) + "Linux/volatra.zip", out), 0);
    EXPECT_EQ(ds::list_tree(out), std::vector<std::string>{"volatra"});
    struct stat st;
    ASSERT_EQ(stat((out + "volatra").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);

    // Discs 1 and 2 get the same empty folders.
    EXPECT_TRUE(path_exists(release(1) + "All/Aircraft"));
    EXPECT_TRUE(path_exists(release(2) + "Linux"));
    EXPECT_TRUE(ds::list_tree(dst + "disk_1/").empty());

    auto alerts = recorded_alerts();
    ASSERT_FALSE(alerts.empty());
    EXPECT_EQ(alerts.back().line1, "OK compression is done. Checklist if doing net:");
    EXPECT_EQ(alerts.back().type, 1);
}

TEST_F(BuilderPack, LinksArePackedAsTheirText) {
    ds::mkdirs(src + "All/Aircraft/folder");
    ASSERT_EQ(symlink("folder", (src + "All/Aircraft/to folder").c_str()), 0);
    ASSERT_EQ(symlink("folder/gone", (src + "All/Aircraft/dangling").c_str()), 0);
    build_install();
    auto lines = file_lines(manifest());
    ASSERT_TRUE(find_line(lines, "to folder"));
    EXPECT_EQ(find_line(lines, "to folder")->sig, ds::md5_of("folder"));
    ASSERT_TRUE(find_line(lines, "dangling"));
    EXPECT_EQ(find_line(lines, "dangling")->sig, ds::md5_of("folder/gone"));
}

TEST_F(BuilderPack, LinksLeadingOutOfTheCopyStopTheBuild) {
    // Up to the platform folder is inside the copy: its folders merge into the copy's root.
    ASSERT_EQ(symlink("../Airfoils", (src + "All/Aircraft/airfoils").c_str()), 0);
    for (const char* text : {"../../outside", "/etc/passwd", "sub/../../.."}) {
        temp_folder other;
        const std::string m = other.path() + "master/";
        ds::minimal_master(m);
        ASSERT_EQ(symlink(text, (m + "All/Aircraft/link").c_str()), 0);
        ds::builder_settings(m, other.path() + "discs/");
        EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1),
                    "This link would lead outside the installed copy!")
            << text;
    }
    ds::builder_settings(src, dst);
    build_install();
    EXPECT_NE(manifest().find(" airfoils\n"), std::string::npos);
}

TEST_F(BuilderPack, SecondRunIntoTheSameFolderStops) {
    build_install();
    EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1), "Could not make the dst_folder!");
}

TEST(BuilderSizes, KilobytesOfSixtyFourBitSizes) {
    EXPECT_EQ(builder_kb(999), 0);
    EXPECT_EQ(builder_kb(1000), 1);
    EXPECT_EQ(builder_kb(2147483648LL), 2147483);  // 2 GiB
    EXPECT_EQ(builder_kb(4294968296LL), 4294968);  // 4 GiB + 1000 bytes
    EXPECT_EQ(builder_kb(INT64_MAX), INT_MAX);     // past what the manifest holds: held, not wrapped
}

TEST_F(BuilderPack, PlugInPlatforms) {
    EXPECT_EQ(builder_plugin_platform("/m/All/Resources/plugins/QORV.so", 0), 6);
    EXPECT_EQ(builder_plugin_platform("/m/All/Resources/plugins/QORV.framework/Versions/A/QORV", 0), 0);
    EXPECT_EQ(builder_plugin_platform("/m/All/Resources/plugins/QORV.framework/QORV", 0), 1);
    EXPECT_EQ(builder_plugin_platform("/m/All/Resources/plugins/PluginAdminWin.qzl", 0), 2);
    EXPECT_EQ(builder_plugin_platform("/m/Linux/Resources/plugins/QORV.so", 3), 3);
    ds::put(src + "All/Resources/plugins/QORV.so", "so");
    ds::put(src + "All/Resources/plugins/QORV.framework/Versions/A/QORV", "fw");
    build_install();
    auto lines = file_lines(manifest());
    ASSERT_TRUE(find_line(lines, "QORV.so"));
    EXPECT_EQ(find_line(lines, "QORV.so")->platform, 6);
    ASSERT_TRUE(find_line(lines, "QORV"));
    EXPECT_EQ(find_line(lines, "QORV")->platform, 0);
}

TEST_F(BuilderPack, DiscSplitAtTheLimit) {
    for (int i = 1; i <= 3; ++i) ds::put(src + "All/Aircraft/f" + std::to_string(i) + ".acf", noise(3500, i));
    build_install();
    auto lines = file_lines(manifest());
    const int s1 = find_line(lines, "f1.acf")->size_a, s2 = find_line(lines, "f2.acf")->size_a,
              s3 = find_line(lines, "f3.acf")->size_a;
    ASSERT_GE(s1, 3);

    // Exactly at the limit: one disc.
    ds::builder_settings(src, s.path() + "at/");
    dst = s.path() + "at/";
    disc_limit_kb = s1 + s2 + s3;
    build_install();
    EXPECT_EQ(manifest().find("DISK"), std::string::npos);
    EXPECT_EQ(dvd_now, 0);

    // One kilobyte less: the file that crosses stays, the next starts disc 1.
    ds::builder_settings(src, s.path() + "over/");
    dst = s.path() + "over/";
    disc_limit_kb = s1 + s2 - 1;
    build_install();
    const std::string text = manifest();
    EXPECT_NE(text.find(" f2.acf\nDISK 1\nFILE 0 0 91001 " + std::to_string(s3)), std::string::npos) << text;
    EXPECT_TRUE(path_exists(release(0) + "All/Aircraft/f2.acf.zip"));
    EXPECT_TRUE(path_exists(release(1) + "All/Aircraft/f3.acf.zip"));
    EXPECT_FALSE(path_exists(release(0) + "All/Aircraft/f3.acf.zip"));
}

TEST_F(BuilderPack, FourthAndLaterDiscsGetTheirFolders) {
    for (int i = 1; i <= 5; ++i) ds::put(src + "All/Aircraft/f" + std::to_string(i) + ".acf", noise(3000, i));
    disc_limit_kb = 0;
    build_install();
    const std::string text = manifest();
    for (int d = 1; d <= 5; ++d) EXPECT_NE(text.find("DISK " + std::to_string(d) + "\n"), std::string::npos);
    EXPECT_TRUE(path_exists(release(3) + "All/Aircraft/f4.acf.zip"));
    EXPECT_TRUE(path_exists(release(4) + "All/Aircraft/f5.acf.zip"));
}

TEST_F(BuilderPack, ReadyArchivesAreLinkedAndChecked) {
    const std::string tile = "All/Global Scenery/-global terrain-/+40-130/+47-123.dsf";
    const std::string data = noise(5000, 7);
    ds::put(src + tile, data);
    ds::put_7z(src + tile + ".7z", "+47-123.dsf", data);
    EXPECT_TRUE(ready_archive_matches(src + tile + ".7z", "+47-123.dsf", 5000));
    EXPECT_FALSE(ready_archive_matches(src + tile + ".7z", "+47-123.dsf", 4999));
    EXPECT_FALSE(ready_archive_matches(src + tile + ".7z", "other.dsf", 5000));
    EXPECT_FALSE(ready_archive_matches(src + tile, "+47-123.dsf", 5000));
    build_install();
    struct stat a, b;
    ASSERT_EQ(stat((src + tile + ".7z").c_str(), &a), 0);
    ASSERT_EQ(stat((release(0) + tile + ".7z").c_str(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    auto lines = file_lines(manifest());
    ASSERT_TRUE(find_line(lines, "+47-123.dsf"));
    EXPECT_EQ(find_line(lines, "+47-123.dsf")->size_b, 5);
}

TEST_F(BuilderPack, ArchiveKindMustFollowTheInstallersRule) {
    const std::string tile = "All/Global Scenery/-global terrain-/+40-130/+47-123.dsf";
    struct row {
        const char* what;
        const char* message;
    };
    for (const row& r :
         {row{"no archive", "has no ready .7z archive beside it"}, row{"stale", "does not match its file"},
          row{"not an archive", "does not match its file"},
          row{"not global", "has a ready .7z archive but is not global scenery"}}) {
        temp_folder other;
        const std::string m = other.path() + "master/";
        ds::minimal_master(m);
        const std::string w = r.what;
        if (w == "not global") {
            ds::put(m + "All/Aircraft/a.acf", "a");
            ds::put_7z(m + "All/Aircraft/a.acf.7z", "a.acf", "a");
        } else {
            ds::put(m + tile, "new tile");
            if (w == "stale") ds::put_7z(m + tile + ".7z", "+47-123.dsf", "old tile, longer");
            if (w == "not an archive") ds::put(m + tile + ".7z", "not a 7z archive");
        }
        ds::builder_settings(m, other.path() + "discs/");
        EXPECT_EXIT(build_install(), ::testing::ExitedWithCode(1), r.message) << w;
    }
}

TEST_F(BuilderPack, FailedOutputAndDigestStopTheBuild) {
    ds::put(s.path() + "plain", "x");
    EXPECT_EXIT(builder_open_output(s.path() + "plain/sub/directory.txt"), ::testing::ExitedWithCode(1),
                "I could not write a file of the disc set!");
    EXPECT_EXIT(
        {
            builder_open_output("/dev/full");
            ouf << std::string(1 << 20, 'x');
            builder_close_output("/dev/full");
        },
        ::testing::ExitedWithCode(1), "I could not write a file of the disc set!");
    std::string digest = "previous";
    EXPECT_EXIT(builder_digest(s.path() + "missing", digest), ::testing::ExitedWithCode(1),
                "Could not MD5 file!");
    builder_digest(s.path() + "plain", digest);
    EXPECT_EQ(digest, ds::md5_of("x"));
}

class BuilderKindZero : public BuilderPack {
protected:
    void write_old(const std::string& body) {
        old = s.path() + "old directory.txt";
        ds::put(old, manifest_text(body));
    }
    void build() {
        build_type = 0;
        old_dir_path = old;
        build_install();
    }
    const file_history_struct* history(const std::string& path) {
        for (const file_history_struct& h : sim_info)
            if (h.versions.front().path == path) return &h;
        return nullptr;
    }
    std::string old;
};

TEST_F(BuilderKindZero, HistoriesCarryOver) {
    auto m = [](const char* t) { return ds::md5_of(t); };
    write_old(
        "DIR All/Aircraft/\n"
        "FILE 0 0 90000 1 1 " +
        m("same") + " same.acf\n" + "FILE 0 0 90000 1 1 " + m("old1") + " changed.acf\n" +
        "FILE 0 0 90500 1 1 " + m("old2") + " changed.acf\n" + "FILE 0 0 90000 1 1 " + m("gone") +
        " vanished.acf\n" + "FILE 0 0 90000 1 1 " + m("x") + " already.acf\n" +
        "FILE 0 0 90500 0 0 GONE already.acf\n" + "FILE 0 0 90000 1 1 " + m("p") + " filtered.prf\n" +
        "FILE 0 0 90000 1 1 " + m("r") + " Renamed.acf\n" + "FILE 0 0 90000 1 1 " + m("b1") + " back.acf\n" +
        "FILE 0 0 90500 0 0 GONE back.acf\n" + "FILE 0 0 90000 2147483647 2147483647 " + m("h") +
        " huge.acf\n");
    ds::put(src + "All/Aircraft/same.acf", "same");
    ds::put(src + "All/Aircraft/changed.acf", "new");
    ds::put(src + "All/Aircraft/renamed.acf", "r2");
    ds::put(src + "All/Aircraft/back.acf", "b2");
    build();

    const std::string out = s.path() + "new directory.txt";
    ds::put(out, manifest());
    ASSERT_EQ(read_directory(out, ""), 3);
    auto vcodes = [&](const std::string& p) {
        std::vector<std::string> v;
        const file_history_struct* h = history(p);
        if (h)
            for (const file_version_struct& x : h->versions)
                v.push_back(std::to_string(x.vcode) + ":" + x.sig_want);
        return v;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(vcodes("All/Aircraft/same.acf"), (V{"91001:" + m("same")}));
    EXPECT_EQ(vcodes("All/Aircraft/changed.acf"),
              (V{"90000:" + m("old1"), "90500:" + m("old2"), "91001:" + m("new")}));
    EXPECT_EQ(vcodes("All/Aircraft/renamed.acf"), (V{"90000:" + m("r"), "91001:" + m("r2")}));
    EXPECT_EQ(vcodes("All/Aircraft/back.acf"), (V{"90000:" + m("b1"), "91001:" + m("b2")}));
    EXPECT_EQ(vcodes("All/Aircraft/vanished.acf"), (V{"90000:" + m("gone"), "91001:GONE"}));
    EXPECT_EQ(history("All/Aircraft/vanished.acf")->versions.back().size_a, 0.0f);
    // The largest size an old line can hold is written back as large, not wrapped negative.
    ASSERT_TRUE(history("All/Aircraft/huge.acf"));
    EXPECT_GT(history("All/Aircraft/huge.acf")->versions.front().size_a, 2.0e9f);
    EXPECT_GT(history("All/Aircraft/huge.acf")->versions.front().size_b, 2.0e9f);
    EXPECT_EQ(vcodes("All/Aircraft/already.acf"), (V{"90000:" + m("x"), "90500:GONE"}));
    EXPECT_EQ(history("All/Aircraft/filtered.prf"), nullptr);
    EXPECT_EQ(history("All/Aircraft/Renamed.acf"), nullptr);
}

TEST_F(BuilderKindZero, OldManifestMistakesStopTheBuild) {
    write_old("DIR All/Aircraft/\nFILE 0 0 91001 1 1 " + ds::md5_of("a") + " a.acf\n");
    EXPECT_EXIT(build(), ::testing::ExitedWithCode(1), "You idiot! I already have a version:");
    write_old("DIR All/Aircraft/\nFILE 0 0 90000 1 1 " + ds::md5_of("a") + " a.acf\nFILE 0 0 90000 1 1 " +
              ds::md5_of("b") + " b.acf\nFILE 0 0 90000 1 1 " + ds::md5_of("a") + " A.acf\n");
    EXPECT_EXIT(build(), ::testing::ExitedWithCode(1), "you appear to have a file TWICE");
    old = s.path() + "nothing here.txt";
    EXPECT_EXIT(build(), ::testing::ExitedWithCode(1), "does not exist");
}

}  // namespace

// The builder and the installer together: the sample master is built into a three-disc set,
// installed with the disc changes, checked file by file, then a rebuild of the next release is
// installed over the copy.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "core/wx.h"
#include "files/zip_utils.h"
#include "install/builder.h"
#include "install/checksum.h"
#include "install/disc_pipeline.h"
#include "install/disc_set_helpers.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"

namespace {

const std::string kGenerator = std::string(VOLATRA_BINARY_DIR) + "/tools/volatra_sample_master";

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        temp_path = s.path() + "tmp/";
        ds::mkdirs(temp_path);
        dest_dir_path = s.path() + "Volatra 9/";
    }
    void TearDown() override {
        install_files_kill();
        sim_info.clear();
    }

    // Builds master into dst as a build of kind.
    void build(const std::string& master, const std::string& dst, int kind, double disc_kb) {
        ds::builder_settings(master, dst, kind);
        disc_limit_kb = disc_kb;
        if (kind == 0) {
            // The previous release, as the previous builder wrote it: its own release number.
            std::string text = read_file(old_manifest);
            for (size_t at; (at = text.find(" 91001 ")) != std::string::npos;) text.replace(at, 7, " 90001 ");
            old_dir_path = s.path() + "previous directory.txt";
            ds::put(old_dir_path, text);
        }
        build_install();
    }

    // Reads the set's manifest the way the wizard does.
    void read_set(const std::string& dst) {
        dvd_path = dst + "disk_0/";
        install_name = build_name[0];
        const std::string out = s.path() + "manifest " + std::to_string(++reads) + "/";
        ds::mkdirs(out);
        ASSERT_EQ(zip_to_file(dvd_path + install_name + "/directory.txt.zip", out), 0);
        old_manifest = out + "directory.txt";
        ASSERT_EQ(read_directory(old_manifest, ""), 3);
    }

    void checksum_pass() {
        int cursor = 0;
        float progress = 0;
        while (checksum_directory(cursor, progress) == 0) usleep(1000);
    }

    // The install road of the wizard, with the discs changed by hand.
    void install(const std::string& dst) {
        stg.platform = 3;
        checksum_pass();
        set_install_filter(1, 1);
        scenery_take_all();
        ASSERT_EQ(choose_files(), 1);
        ASSERT_EQ(make_dirs(), 0);
        delete_files();
        int cursor = 0, disk = 0, changes = 0;
        dvd_path = dst + "disk_0/";
        for (;;) {
            int r = ds::step_until_answer(cursor, disk);
            if (r == 1) break;
            ASSERT_EQ(r, 2);
            disk = sim_info[cursor].versions.back().disk;
            dvd_path = dst + "disk_" + std::to_string(disk) + "/";
            ++changes;
        }
        disc_changes = changes;
    }

    // Every wanted file of the manifest is in the copy as it is in master, and nothing else is.
    // Files below the kept folders may stay from an earlier release.
    void expect_copy_matches(const std::string& master, const std::vector<std::string>& kept = {}) {
        std::set<std::string> expected;
        for (size_t h = 0; h < sim_info.size(); ++h) {
            const file_version_struct& v = sim_info[h].versions.back();
            if (!want_this_f(static_cast<int>(h), static_cast<int>(sim_info[h].versions.size()) - 1))
                continue;
            if (v.sig_want == "GONE") continue;
            std::string rel = v.path;
            trim_dest_folder(rel);
            expected.insert(rel);
            const std::string a = master + v.path, b = dest_dir_path + rel;
            struct stat sa, sb;
            ASSERT_EQ(lstat(a.c_str(), &sa), 0) << a;
            ASSERT_EQ(lstat(b.c_str(), &sb), 0) << b;
            if (S_ISLNK(sa.st_mode)) {
                EXPECT_TRUE(S_ISLNK(sb.st_mode)) << b;
                char ta[512] = {}, tb[512] = {};
                EXPECT_GT(readlink(a.c_str(), ta, sizeof ta - 1), 0);
                EXPECT_GT(readlink(b.c_str(), tb, sizeof tb - 1), 0);
                EXPECT_STREQ(ta, tb) << b;
            } else {
                EXPECT_EQ(read_file(a), read_file(b)) << b;
                EXPECT_EQ(sa.st_mode & 0777, sb.st_mode & 0777) << b;
            }
        }
        for (const std::string& f : ds::list_tree(dest_dir_path))
            EXPECT_TRUE(expected.count(f) ||
                        std::any_of(kept.begin(), kept.end(),
                                    [&](const std::string& k) { return f.compare(0, k.size(), k) == 0; }))
                << "unexpected file in the copy: " << f;
    }

    void expect_all_up_to_date() {
        for (file_history_struct& h : sim_info) h.versions.back().up_to_date = 0;
        checksum_pass();
        for (size_t h = 0; h < sim_info.size(); ++h) {
            if (!want_this_f(static_cast<int>(h), static_cast<int>(sim_info[h].versions.size()) - 1))
                continue;
            const file_version_struct& v = sim_info[h].versions.back();
            if (v.sig_want == "GONE") continue;
            EXPECT_EQ(v.up_to_date, 1) << v.path;
        }
    }

    temp_folder s;
    std::string old_manifest;
    int reads = 0;
    int disc_changes = 0;
};

TEST_F(RoundTrip, BuildInstallVerifyThenUpdateToTheNextRelease) {
    const std::string m0 = s.path() + "master 9.00/", m1 = s.path() + "master 9.10/";
    ASSERT_EQ(ds::run("'" + kGenerator + "' '" + m0 + "' >/dev/null"), 0);
    ASSERT_EQ(ds::run("'" + kGenerator + "' '" + m1 + "' --variant 1 >/dev/null"), 0);

    const std::string set0 = s.path() + "set 1/";
    build(m0, set0, 1, 350);
    EXPECT_EQ(dvd_now, 2);  // three discs
    read_set(set0);
    install(set0);
    EXPECT_EQ(disc_changes, 2);
    expect_copy_matches(m0);
    EXPECT_TRUE(path_exists(dest_dir_path + "Global Scenery/-global terrain-/+40-130/+47-123.dsf"));
    EXPECT_TRUE(path_exists(dest_dir_path + "Resources/old stuff/legacy/old table.dat"));
    EXPECT_FALSE(path_exists(dest_dir_path + "Volatra.app"));  // Mac only
    expect_all_up_to_date();

    // The next release, without scenery, built against the manifest just installed.
    const std::string set1 = s.path() + "set 2/";
    build(m1, set1, 0, 350);
    read_set(set1);
    install(set1);
    // A release without scenery leaves the copy's scenery, orbit textures and red terrain alone.
    expect_copy_matches(m1, {"Global Scenery/", "Resources/bitmaps/Earth Orbit Textures/",
                             "Resources/default scenery/900 red terrain/"});
    EXPECT_FALSE(path_exists(dest_dir_path + "Resources/old stuff"));  // emptied folders are pruned
    EXPECT_EQ(read_file(dest_dir_path + "Resources/new stuff/fresh table.dat"),
              read_file(m1 + "All/Resources/new stuff/fresh table.dat"));
    EXPECT_TRUE(path_exists(dest_dir_path + "Global Scenery/-global terrain-/+40-130/+47-123.dsf"));
    expect_all_up_to_date();
}

}  // namespace

// The builder and the installer together: the sample master is built into a three-disc set,
// installed with the disc changes and checked file by file; then the next release, built against
// that manifest, is installed over the copy.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "core/globals.h"
#include "engine_helpers.h"
#include "files/archives.h"
#include "install/builder.h"
#include "install/checksum.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"

namespace {

class RoundTrip : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        temp_path = s / "tmp/";
        write_file(temp_path + "keep", "");
        dest_dir_path = s / "Volatra 9/";
    }
    void TearDown() override { install_files_kill(); }

    // Builds master into a new disc set; kind 0 reads the manifest of the last set, renumbered as
    // the previous builder wrote it.
    std::string build(const std::string& master, int kind) {
        const std::string set = s / ("set " + std::to_string(++sets) + "/");
        builder_settings(master, set, kind);
        disc_limit_kb = 350;
        if (kind == 0) {
            std::string text = read_file(manifest);
            for (size_t at; (at = text.find(" 91001 ")) != std::string::npos;) text.replace(at, 7, " 90001 ");
            old_dir_path = s.write("previous directory.txt", text);
        }
        build_install();
        return set;
    }
    // The install road of the wizard: the manifest, the checksum pass, the choice, the deletions
    // and the folders, then the pipeline with the discs changed by hand.
    int install(const std::string& set) {
        temp_folder out;
        EXPECT_EQ(zip_to_file(set + "disk_0/" + build_name[0] + "/directory.txt.zip", out.path()), 0);
        manifest = s.write("directory " + std::to_string(sets) + ".txt", out.read("directory.txt"));
        EXPECT_EQ(read_directory(manifest, ""), 3);
        install_name = build_name[0];
        checksum_pass();
        scenery_take_all();
        EXPECT_EQ(choose_files(), 1);
        EXPECT_EQ(clear_and_make_dirs(nullptr, removal_order::all_first), 0);
        int cursor = 0, disk = 0, changes = 0, r;
        while ((dvd_path = set + "disk_" + std::to_string(disk) + "/", r = step_until_answer(cursor, disk)) ==
               2) {
            disk = cur(cursor).disk;
            ++changes;
        }
        EXPECT_EQ(r, 1);
        EXPECT_EQ(list_tree(temp_path), std::vector<std::string>{"keep"});
        return changes;
    }
    void checksum_pass() {
        int cursor = 0;
        float progress = 0;
        checksum_until_done(cursor, progress, [] { usleep(1000); });
    }
    // Every wanted file of the manifest is in the copy as in master, up to date after a new
    // checksum pass, and nothing else is there but below the kept folders.
    void expect_copy_matches(const std::string& master, const std::vector<std::string>& kept = {}) {
        for (auto& h : sim_info) h.versions.back().up_to_date = 0;
        checksum_pass();
        std::set<std::string> expected;
        for (size_t h = 0; h < sim_info.size(); ++h) {
            const file_version_struct& v = cur(h);
            if (v.sig_want == "GONE" ||
                !want_this_f(static_cast<int>(h), static_cast<int>(sim_info[h].versions.size()) - 1))
                continue;
            std::string rel = v.path;
            trim_dest_folder(rel);
            expected.insert(rel);
            EXPECT_EQ(v.up_to_date, 1) << v.path;
            struct stat a, b;
            ASSERT_EQ(lstat((master + v.path).c_str(), &a) + lstat((dest_dir_path + rel).c_str(), &b), 0)
                << rel;
            EXPECT_EQ(a.st_mode, b.st_mode) << rel;
        }
        for (const std::string& f : list_tree(dest_dir_path))
            EXPECT_TRUE(expected.count(f) ||
                        std::any_of(kept.begin(), kept.end(),
                                    [&](const std::string& k) { return f.rfind(k, 0) == 0; }))
                << "unexpected file in the copy: " << f;
    }

    temp_folder s;
    std::string manifest;
    int sets = 0;
};

TEST_F(RoundTrip, BuildInstallVerifyThenUpdateToTheNextRelease) {
    const std::string m0 = s / "master 9.00/", m1 = s / "master 9.10/";
    const std::string gen = "'" + std::string(VOLATRA_BINARY_DIR) + "/tools/volatra_sample_master' ";
    ASSERT_EQ(run(gen + "'" + m0 + "' >/dev/null") + run(gen + "'" + m1 + "' --variant 1 >/dev/null"), 0);

    const std::string set0 = build(m0, 1);
    EXPECT_EQ(dvd_now, 2);  // three discs
    EXPECT_EQ(install(set0), 2);
    expect_copy_matches(m0);
    EXPECT_TRUE(path_exists(dest_dir_path + "Global Scenery/-global terrain-/+40-130/+47-123.dsf"));
    EXPECT_TRUE(path_exists(dest_dir_path + "Resources/old stuff/legacy/old table.dat"));
    EXPECT_FALSE(path_exists(dest_dir_path + "Volatra.app"));  // Mac only

    // The next release, without scenery: the copy's scenery, orbit textures and red terrain stay.
    install(build(m1, 0));
    expect_copy_matches(m1, {"Global Scenery/", "Resources/bitmaps/Earth Orbit Textures/",
                             "Resources/default scenery/900 red terrain/"});
    EXPECT_FALSE(path_exists(dest_dir_path + "Resources/old stuff"));  // emptied folders are pruned
    // A folder that became a file and a file that became a folder, in the one pass.
    EXPECT_EQ(read_file(dest_dir_path + "Resources/swap"), read_file(m1 + "All/Resources/swap"));
    EXPECT_EQ(read_file(dest_dir_path + "Resources/turn/inside.dat"), read_file(m1 + "All/Resources/turn/inside.dat"));
    EXPECT_EQ(read_file(dest_dir_path + "Resources/new stuff/fresh table.dat"),
              read_file(m1 + "All/Resources/new stuff/fresh table.dat"));
}

}  // namespace

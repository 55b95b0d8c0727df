#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/recorders.h"
#include "engine_helpers.h"
#include "install/install_run.h"

namespace {

class Folders : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        reset_recorders();
        dest_dir_path = top.path() + "A/B/";
    }
    file_version_struct& to_install(const std::string& path, int platform = 0) {
        file_version_struct& v = add_history(path, {md5_abc}, platform);
        v.need_install = 1;
        return v;
    }
    bool is_dir(const std::string& path) {
        struct stat st;
        return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    temp_folder top;
};

TEST_F(Folders, DestinationFileFoldersAndFixedFolders) {
    to_install("All/Resources/plugins/a.qzl");
    to_install("Macintosh/Resources/plugins/x/b.qzl", 1);  // wanted only on the Mac
    to_install("Linux/Resources/plugins/y/c.qzl", 3);
    add_history("All/Aircraft/untouched/d.acf", {md5_abc});  // wanted but nothing to install
    to_install("All/top.txt");
    stg.platform = 3;
    EXPECT_EQ(make_dirs(), 0);
    EXPECT_TRUE(recorded_alerts().empty());
    // Each level is made alone, so a nested folder proves its parents came first.
    EXPECT_TRUE(is_dir(dest_dir_path + "Resources/plugins/y"));
    EXPECT_FALSE(path_exists(dest_dir_path + "Resources/plugins/x"));
    EXPECT_FALSE(path_exists(dest_dir_path + "Aircraft"));
    for (const char* f : {"Output", "Output/FMS plans", "Output/logbooks", "Output/movies",
                          "Output/situations", "Resources", "Resources/preferences"})
        EXPECT_TRUE(is_dir(dest_dir_path + f)) << f;
    EXPECT_EQ(make_dirs_new_root, top.path() + "A/");
    EXPECT_EQ(make_dirs(), 0);  // existing folders are fine
    EXPECT_EQ(make_dirs_new_root, "");
}

TEST_F(Folders, FolderThatCannotBeMadeStopsWithAlert) {
    write_file(top.path() + "A/B/Resources", "a file where a folder must go");
    to_install("All/Resources/plugins/a.qzl");
    EXPECT_EQ(make_dirs(), ENOTDIR);
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].type, 1);
    EXPECT_EQ(alerts[0].line3, "Install Location: " + dest_dir_path);
    EXPECT_EQ(alerts[0].line4, "Install Path:" + dest_dir_path + "Resources/plugins");
}

TEST_F(Folders, FrameworkItemsThatAreNotLinksAreMovedAside) {
    const std::string qorv = dest_dir_path + "Resources/plugins/QORV.framework/";
    const std::string tarn = dest_dir_path + "Resources/plugins/TarnWidgets.framework/";
    write_file(qorv + "Versions/A/lib", "x");
    write_file(qorv + "Versions/Current/lib", "x");  // a real folder
    write_file(qorv + "Resources/info", "x");
    write_file(tarn + "Versions/A/lib", "x");
    ASSERT_EQ(symlink("A", (tarn + "Versions/Current").c_str()), 0);
    ASSERT_EQ(symlink("Versions/Current/Resources", (tarn + "Resources").c_str()), 0);
    EXPECT_EQ(make_dirs(), 0);
    EXPECT_TRUE(is_dir(qorv + "Versions/_Current"));
    EXPECT_FALSE(path_exists(qorv + "Versions/Current"));
    EXPECT_TRUE(is_dir(qorv + "_Resources"));
    std::string target(16, '\0');
    target.resize(readlink((tarn + "Versions/Current").c_str(), &target[0], target.size()));
    EXPECT_EQ(target, "A");
    EXPECT_TRUE(path_exists(tarn + "Resources"));
}

TEST_F(Folders, PathWithPath) {
    std::string out = "x";
    get_path_with_path(out, "a/b/c.txt");
    EXPECT_EQ(out, "a/b/");
    get_path_with_path(out, "a/b/");
    EXPECT_EQ(out, "a/");
    get_path_with_path(out, "c.txt");
    EXPECT_EQ(out, "");
    get_path_with_path(out, "/");
    EXPECT_EQ(out, "");
}

class Deleting : public Folders {
protected:
    file_version_struct& to_delete(const std::string& path, const std::string& content) {
        std::string rel = path;
        trim_dest_folder(rel);
        write_file(dest_dir_path + rel, content);
        file_version_struct& v = add_history(path, {md5_abc, "GONE"});
        v.sig_have = md5_abc;
        v.up_to_date = 1;
        v.need_delete = 1;
        return v;
    }
};

TEST_F(Deleting, RemovesFilesAndPrunesEmptiedFolders) {
    stg.log_actions = 1;
    to_delete("All/a/b/c.txt", "abc");
    to_delete("All/keep/d.txt", "abc");
    write_file(dest_dir_path + "keep/other.txt", "stays");
    to_delete("All/top.txt", "abc");
    delete_files();
    for (auto& h : sim_info) {
        EXPECT_EQ(h.versions.back().sig_have, "NONE");
        EXPECT_EQ(h.versions.back().up_to_date, 0);
    }
    EXPECT_FALSE(path_exists(dest_dir_path + "a"));
    EXPECT_TRUE(path_exists(dest_dir_path + "keep/other.txt"));
    EXPECT_FALSE(path_exists(dest_dir_path + "keep/d.txt"));
    EXPECT_TRUE(is_dir(dest_dir_path));  // the copy itself is never pruned
}

TEST_F(Deleting, FileThatWillNotGoStaysInstalled) {
    to_delete("All/a/c.txt", "abc");
    file_version_struct& stuck = to_delete("All/a/stuck", "x");
    ASSERT_EQ(unlink((dest_dir_path + "a/stuck").c_str()), 0);
    write_file(dest_dir_path + "a/stuck/inside", "a folder cannot be unlinked");
    file_version_struct& missing = to_delete("All/a/missing.txt", "x");
    ASSERT_EQ(unlink((dest_dir_path + "a/missing.txt").c_str()), 0);
    delete_files();
    EXPECT_EQ(stuck.sig_have, md5_abc);
    EXPECT_EQ(stuck.up_to_date, 1);
    EXPECT_EQ(missing.sig_have, "NONE");  // already gone counts as gone
    EXPECT_TRUE(path_exists(dest_dir_path + "a/stuck/inside"));
}

TEST_F(Deleting, LinkInTheCopyDoesNotLeadADeletionOutside) {
    write_file(top.path() + "outside/precious.txt", "abc");
    write_file(dest_dir_path + "inside/x.txt", "abc");
    ASSERT_EQ(symlink((top.path() + "outside").c_str(), (dest_dir_path + "evil").c_str()), 0);
    ASSERT_EQ(symlink("inside", (dest_dir_path + "fine").c_str()), 0);
    file_version_struct& evil = add_history("All/evil/precious.txt", {md5_abc, "GONE"});
    evil.sig_have = md5_abc;
    evil.need_delete = 1;
    file_version_struct& fine = add_history("All/fine/x.txt", {md5_abc, "GONE"});
    fine.sig_have = md5_abc;
    fine.need_delete = 1;
    delete_files();
    EXPECT_EQ(read_file(top.path() + "outside/precious.txt"), "abc");
    EXPECT_EQ(evil.sig_have, md5_abc);
    EXPECT_FALSE(path_exists(dest_dir_path + "inside/x.txt"));  // a link that stays inside is fine
    EXPECT_EQ(fine.sig_have, "NONE");
    EXPECT_TRUE(is_dir(top.path() + "outside"));
}

TEST_F(Deleting, PruningStaysInsideTheCopyAndKeepsHiddenFiles) {
    write_file(top.path() + "outside/empty/.keep", "");
    ASSERT_EQ(unlink((top.path() + "outside/empty/.keep").c_str()), 0);
    write_file(dest_dir_path + "hidden/.dotfile", "x");
    ASSERT_EQ(mkdir((dest_dir_path + "empty").c_str(), 0755), 0);
    // A link in the copy to a folder outside it.
    ASSERT_EQ(symlink((top.path() + "outside").c_str(), (dest_dir_path + "evil").c_str()), 0);
    prune_empty_folders({top.path() + "outside/empty/", top.path() + "A/", dest_dir_path,
                         dest_dir_path + "hidden/", dest_dir_path + "empty/", dest_dir_path + "evil/empty/"});
    EXPECT_TRUE(is_dir(top.path() + "outside/empty"));
    EXPECT_TRUE(is_dir(dest_dir_path + "hidden"));
    EXPECT_FALSE(path_exists(dest_dir_path + "empty"));
}

}  // namespace

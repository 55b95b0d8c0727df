// Preparing a run: the install filter and totals, the choice of files, folder creation, the
// removal of obsolete files, and the private temporary folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <filesystem>
#include <tuple>

#include "engine_helpers.h"
#include "files/archives.h"
#include "files/errors.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"
#include "install/temp_files.h"

namespace fs = std::filesystem;

namespace {

const char* const md5_old = "0cc175b9c0f1b6a831c399e269772661";
const char* const md5_user = "ffffffffffffffffffffffffffffffff";
const char* const tile_path = "All/Global Scenery/-global terrain-/+40-120/+40-120.dsf";

std::deque<int> script;  // the scripted user's answers, in order
std::vector<std::pair<std::string, int>> asked;

int scripted_alert(std::string path, int is_delete) {
    asked.emplace_back(path, is_delete);
    if (script.empty()) return ADD_FAILURE() << "unexpected question about " << path, 3;
    int answer = script.front();
    script.pop_front();
    return answer;
}

// The paths a test watches: every lstat of one of them is noted, so that a look beyond an item in
// the way shows, though it changes nothing. The item at vanishing goes right after its lstat, as
// when another program removes it meanwhile.
std::vector<std::string> looked_beyond, looked_at;
std::string vanishing;

}  // namespace

// A stat follows a link: one of followed_never is looked through.
std::vector<std::string> followed_never;

extern "C" int stat(const char* path, struct stat* st) noexcept {
    for (const std::string& p : followed_never)
        if (p == path) looked_at.push_back(path);
    return fstatat(AT_FDCWD, path, st, 0);
}

extern "C" int lstat(const char* path, struct stat* st) noexcept {
    for (const std::string& p : looked_beyond)
        if (std::strncmp(path, p.c_str(), p.size()) == 0) looked_at.push_back(path);
    const int r = fstatat(AT_FDCWD, path, st, AT_SYMLINK_NOFOLLOW);
    if (!vanishing.empty() && vanishing == path) {
        unlink(path);
        vanishing.clear();
    }
    return r;
}

namespace {

bool is_dir(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

class Engine : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        dest_dir_path = top / "A/B/";
        script.clear();
        asked.clear();
        g_select_alert = scripted_alert;
    }
    void TearDown() override {
        g_select_alert = nullptr;
        EXPECT_TRUE(script.empty()) << "answers left over";
    }
    // A history whose copy holds `have`, with stale marks of an earlier call.
    file_version_struct& file(const std::string& path, std::initializer_list<std::string> sigs,
                              const char* have, int platform = 0) {
        file_version_struct& v = add_history(path, sigs, platform);
        v.sig_have = have;
        v.need_install = v.need_delete = 1;
        return v;
    }
    // need_install, need_delete of every history as "10 01 00 ...".
    std::string marks() {
        std::string out;
        for (auto& h : sim_info)
            out += std::to_string(h.versions.back().need_install) +
                   std::to_string(h.versions.back().need_delete) + " ";
        return out;
    }
    temp_folder top;
};

TEST_F(Engine, WantMatrixAndTotals) {
    add_history("All/a.txt", {md5_abc});
    add_history(tile_path, {md5_abc});
    for (int run = 1; run <= 3; ++run)
        for (int platform = 0; platform <= 6; ++platform)
            for (int filter = 0; filter < 4; ++filter) {
                stg.platform = run;
                set_install_filter(filter & 1, filter >> 1);
                sim_info[0].versions[0].platform = sim_info[1].versions[0].platform = platform;
                bool ok = platform == 0 || platform == run || (platform == 6 && run == 3);
                EXPECT_EQ(want_this_f(0, 0), (filter & 1) && ok) << run << platform << filter;
                EXPECT_EQ(want_this_f(1, 0), (filter >> 1) && ok) << run << platform << filter;
            }
    reset_engine_state();
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_add + stg.kb_to_install, 0);

    add_history("All/a.txt", {md5_abc}, 0, 10.0f);
    file_version_struct& tile = add_history(tile_path, {md5_abc}, 0, 100.0f);
    add_history("All/mac.txt", {md5_abc}, 1, 1000.0f);  // another platform
    file_version_struct& gone = add_history("All/old.txt", {md5_abc, "GONE"});
    gone.sig_have = "NONE";
    recalc_disk_sizes();  // the tile is not selected
    EXPECT_EQ(stg.num_to_add, 1);
    EXPECT_EQ(stg.kb_to_install, 10.0f);
    EXPECT_EQ(stg.kb_to_download, 5.0f);
    stg.tile_selected[tile.lon_idx][tile.lat_idx] = 1;
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_add, 2);
    EXPECT_EQ(stg.kb_to_install, 110.0f);
    EXPECT_EQ(stg.num_to_remove, 0);
    tile.up_to_date = 1;
    stg.tile_selected[tile.lon_idx][tile.lat_idx] = 0;  // deselected while installed
    gone.sig_have = md5_abc;                            // the copy holds a file the release removed
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_add, 1);
    EXPECT_EQ(stg.num_to_remove, 2);
    add_history("Linux/old.txt", {md5_abc}, 3);  // the removed file moved: nothing to remove there
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_remove, 1);
}

TEST_F(Engine, TileSelectionFromInstallAndFromManifest) {
    file("All/Global Scenery/-global terrain-/-10+010/-10+010.dsf", {md5_abc}, "NONE");
    file("All/Global Scenery/-global terrain-/+00+000/+00+000.dsf", {md5_abc}, "");  // never scanned
    file(tile_path, {md5_abc}, md5_abc);
    stg.tile_selected[0][0] = 1;
    scenery_from_install();
    EXPECT_EQ(stg.tile_selected[0][0] + stg.tile_selected[19][8], 0);
    EXPECT_EQ(stg.tile_selected[18][9] + stg.tile_selected[6][13], 2);
    stg.tile_available[35][17] = 1;
    scenery_take_all();
    EXPECT_EQ(0, std::memcmp(stg.tile_selected, stg.tile_available, sizeof(stg.tile_selected)));
}

TEST_F(Engine, DecisionsWithoutQuestions) {
    file("All/absent.txt", {md5_abc}, "NONE");
    file("All/absent_gone.txt", {md5_abc, "GONE"}, "NONE");
    file("All/current.txt", {md5_old, md5_abc}, md5_abc);
    file("All/older.txt", {md5_old, md5_abc}, md5_old);
    file("All/older_gone.txt", {md5_old, "GONE"}, md5_old);
    file("Macintosh/mac.txt", {md5_abc}, "NONE", 1);  // not wanted: stale marks cleared
    file(tile_path, {md5_abc}, md5_abc);              // installed, tile deselected
    // A file moved from All to Linux: the removal left at the old path never deletes the place
    // the new history fills.
    file("All/moved.txt", {md5_old, "GONE"}, md5_old);
    file("Linux/moved.txt", {md5_old, md5_abc}, md5_old, 3);
    EXPECT_EQ(choose_files(), 1);
    EXPECT_EQ(marks(), "10 00 00 10 01 00 01 00 10 ");
    stg.tile_selected[6][13] = 1;  // selected, the tile stays
    stg.platform = 1;              // on the Mac the Linux file is not wanted: the removal goes
    EXPECT_EQ(choose_files(), 1);
    EXPECT_EQ(marks(), "10 00 00 10 01 10 00 01 00 ");
    EXPECT_TRUE(asked.empty());
}

TEST_F(Engine, ChangedFilesAskAndFolderAnswersStick) {
    file("All/a/one.txt", {md5_abc}, md5_user);          // 1 overwrite
    file("All/a/two.txt", {md5_abc, "GONE"}, md5_user);  // 2 keep
    file("All/b/one.txt", {md5_abc}, md5_user);          // 4 overwrite all of b/
    file("All/b/two.txt", {md5_abc, "GONE"}, md5_user);  // silent: delete
    file("All/c/one.txt", {md5_abc}, md5_user);          // 5 keep all of c/
    file("All/c/two.txt", {md5_abc}, md5_user);          // silent: keep
    file("All/b/sub/x.txt", {md5_abc}, md5_user);        // another folder: asked, 2
    script = {1, 2, 4, 5, 2};
    log_capture log;
    EXPECT_EQ(choose_files(), 1);
    EXPECT_EQ(marks(), "10 00 10 01 00 00 00 ");
    ASSERT_EQ(asked.size(), 5u);
    EXPECT_EQ(asked[0], std::make_pair(dest_dir_path + "a/one.txt", 0));
    EXPECT_EQ(asked[1].second, 1);
    EXPECT_EQ(asked[4].first, dest_dir_path + "b/sub/x.txt");
    EXPECT_NE(log.text().find("File: " + dest_dir_path + "a/one.txt  sig_want=" + md5_abc +
                              "  sig_have=" + md5_user),
              std::string::npos);
}

TEST_F(Engine, CancelStopsAtTheQuestion) {
    file("All/absent.txt", {md5_abc}, "NONE");
    file("All/changed.txt", {md5_abc}, md5_user);
    file("All/after.txt", {md5_abc}, "NONE");
    script = {3};
    EXPECT_EQ(choose_files(), 0);
    EXPECT_EQ(marks(), "10 00 11 ");  // the last one was not reached
    g_select_alert = nullptr;         // no question window: cancel
    EXPECT_EQ(choose_files(), 0);
}

TEST_F(Engine, StartFractionsFollowUnpackedSizes) {
    for (float kb : {30.0f, 500.0f, 10.0f, 60.0f})
        add_history("All/f" + std::to_string(kb), {md5_abc}, 0, kb).sig_have = "NONE";
    cur(1).sig_have = md5_abc;  // current: not installed
    EXPECT_EQ(choose_files(), 1);
    std::vector<float> want = {0.0f, 0.3f, 0.3f, 0.4f}, got;
    for (auto& h : sim_info) got.push_back(h.versions.back().start_fraction);
    EXPECT_EQ(got, want);
    for (auto& h : sim_info) h.versions.back().size_b = 0.0f;
    EXPECT_EQ(choose_files(), 1);
    EXPECT_EQ(cur(3).start_fraction, 0.5f);
}

TEST_F(Engine, MakeDirsCreatesTheDestinationFileFoldersAndFixedFolders) {
    for (const char* p : {"All/Resources/plugins/a.qzl", "Linux/Resources/plugins/y/c.qzl", "All/z/top.txt"})
        add_history(p, {md5_abc}).need_install = 1;
    add_history("Macintosh/Resources/plugins/x/b.qzl", {md5_abc}, 1).need_install = 1;  // not wanted
    add_history("All/Aircraft/d.acf", {md5_abc});  // wanted, nothing to install
    EXPECT_EQ(make_dirs(), 0);
    EXPECT_TRUE(recorded_alerts().empty());
    EXPECT_TRUE(is_dir(dest_dir_path + "Resources/plugins/y") && is_dir(dest_dir_path + "z"));
    EXPECT_FALSE(path_exists(dest_dir_path + "Resources/plugins/x") ||
                 path_exists(dest_dir_path + "Aircraft"));
    for (const char* f : {"Output/FMS plans", "Output/logbooks", "Output/movies", "Output/situations",
                          "Resources/preferences"})
        EXPECT_TRUE(is_dir(dest_dir_path + f)) << f;
    EXPECT_EQ(make_dirs_new_root, top / "A/");
    EXPECT_EQ(make_dirs(), 0);  // existing folders are fine
    EXPECT_EQ(make_dirs_new_root, "");

    // A file's folder that cannot be made stops the run with its alert; a fixed one only alerts.
    // A file of the user's on a folder's way leaves out only the files below it.
    remove_tree(dest_dir_path + "Output");
    write_file(dest_dir_path + "Output", "x");
    write_file(dest_dir_path + "z/w", "x");
    add_history("All/z/w/deeper/file", {md5_abc}).need_install = 1;
    const std::string too_long(300, 'n');
    add_history("All/z/" + too_long + "/file", {md5_abc}).need_install = 1;
    reset_recorders();
    EXPECT_EQ(make_dirs(), ENAMETOOLONG);
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].type, 1);
    EXPECT_EQ(alerts[0].line3 + "|" + alerts[0].line4,
              "Install Location: " + dest_dir_path + "|Install Path:" + dest_dir_path + "z/" + too_long);
    sim_info.pop_back();
    reset_recorders();
    EXPECT_EQ(make_dirs(), 0);
    // The user's file where the fixed folders go is one alert, not one per folder below it.
    alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].line4, "Install Path:" + dest_dir_path + "Output");
    EXPECT_EQ(read_file(dest_dir_path + "z/w"), "x");
    // A fixed folder, and a file's folder, beyond a link that leads nowhere now (a disk that is
    // away): no alert, the run goes on, the log names the link and where it leads by its words,
    // and nothing is made there.
    remove_tree(dest_dir_path + "Resources/preferences");
    ASSERT_EQ(symlink("../gone prefs", (dest_dir_path + "Resources/preferences").c_str()), 0);
    ASSERT_EQ(symlink("gone z", (dest_dir_path + "z2").c_str()), 0);
    add_history("All/z2/sub/f.dat", {md5_abc}).need_install = 1;
    reset_recorders();
    log_capture log;
    EXPECT_EQ(make_dirs(), 0);
    EXPECT_EQ(recorded_alerts().size(), 1u);  // Output's, as before
    for (const auto& [folder, link, leads_to] :
         std::vector<std::tuple<std::string, std::string, std::string>>{
             {"Resources/preferences", "Resources/preferences", "gone prefs"}, {"z2/sub", "z2", "gone z"}})
        EXPECT_NE(
            log.text().find("I do not make the folder " + dest_dir_path + folder + ": " + dest_dir_path +
                            link + " is in its way (" + error_str(err_link_leads_nowhere) + ": it leads to " +
                            dest_dir_path + leads_to + ")."),
            std::string::npos)
            << log.text();
    EXPECT_FALSE(path_exists(dest_dir_path + "gone prefs") || path_exists(dest_dir_path + "gone z"));

    dest_dir_path = top / "file/new/";  // a file in the destination's own path
    write_file(top / "file", "x");
    EXPECT_EQ(make_dirs(), ENOTDIR);
}

TEST_F(Engine, FrameworkItemsThatAreNotLinksAreMovedAside) {
    const std::string qorv = dest_dir_path + "Resources/plugins/QORV.framework/";
    const std::string tarn = dest_dir_path + "Resources/plugins/TarnWidgets.framework/";
    write_file(qorv + "Versions/Current/lib", "x");  // real folders
    write_file(qorv + "Resources/info", "x");
    write_file(tarn + "Versions/A/lib", "x");
    ASSERT_EQ(symlink("A", (tarn + "Versions/Current").c_str()), 0);
    ASSERT_EQ(symlink("Versions/Current/Resources", (tarn + "Resources").c_str()), 0);
    EXPECT_EQ(make_dirs(), 0);
    EXPECT_TRUE(is_dir(qorv + "Versions/_Current") && is_dir(qorv + "_Resources"));
    EXPECT_FALSE(path_exists(qorv + "Versions/Current") || path_exists(qorv + "Resources"));
    EXPECT_FALSE(is_dir(tarn + "Versions/Current") || is_dir(tarn + "Resources"));
    EXPECT_TRUE(path_exists(tarn + "Versions/Current") && path_exists(tarn + "Resources"));
}

TEST_F(Engine, DeletingPrunesOnlyWhatNoFileNeeds) {
    auto to_delete = [&](const std::string& path) {
        std::string rel = path;
        trim_dest_folder(rel);
        write_file(dest_dir_path + rel, "abc");
        file_version_struct& v = file(path, {md5_abc, "GONE"}, md5_abc);
        v.up_to_date = 1;
        v.need_install = 0;
    };
    to_delete("All/a/b/c.txt");
    to_delete("All/keep/d.txt");
    write_file(dest_dir_path + "keep/other.txt", "stays");
    to_delete("All/top.txt");
    // A file renamed within its folder: the folder make_dirs made for the new name stays.
    to_delete("All/r/old name.txt");
    add_history("All/r/new name.txt", {md5_abc}).need_install = 1;
    to_delete("All/stuck");  // a folder: cannot go, stays installed
    std::remove((dest_dir_path + "stuck").c_str());
    write_file(dest_dir_path + "stuck/inside", "x");
    to_delete("All/missing.txt");  // already gone counts as gone
    std::remove((dest_dir_path + "missing.txt").c_str());
    stg.log_actions = 1;
    log_capture log;
    EXPECT_EQ(delete_files(), 1);  // "stuck"
    EXPECT_EQ(list_tree(dest_dir_path), (std::vector<std::string>{"keep/other.txt", "stuck/inside"}));
    EXPECT_TRUE(is_dir(dest_dir_path + "r"));
    for (int h : {0, 5})
        EXPECT_EQ(cur(h).sig_have + std::to_string(cur(h).up_to_date),
                  h ? md5_abc + std::string("1") : "NONE0");
    EXPECT_EQ(cur(6).sig_have, "NONE");
    EXPECT_NE(log.text().find("DELETING  file " + dest_dir_path + "a/b/c.txt, with result=0.\n"),
              std::string::npos);
    EXPECT_NE(log.text().find("cleanup: DELETING  file " + dest_dir_path + "a/b/, with result=0.\n"),
              std::string::npos);
    EXPECT_EQ(log.text().find("cleanup: DELETING  file " + dest_dir_path + "keep/"), std::string::npos);
    EXPECT_EQ(log.text().find("cleanup: DELETING  file " + dest_dir_path + "r/"), std::string::npos);
}

TEST_F(Engine, WhatTheReleaseRemovedGoesBeforeItsFoldersAreMadeAndTheUsersFilesStay) {
    for (removal_order order : {removal_order::all_first, removal_order::in_the_way_first}) {
        reset_engine_state();
        dest_dir_path = top / ("copy " + std::to_string(static_cast<int>(order)) + "/");
        // The release turns the file "turn" into a folder, and the folders "swap" and "drop" into
        // files; the user's file keeps "swap" a folder. "moved.dat" goes elsewhere: in the way of
        // nothing, it waits for the fetch on the web road.
        for (const char* f : {"swap/inner.dat", "drop/inner.dat", "turn", "moved.dat"}) {
            write_file(dest_dir_path + f, "abc");
            file(std::string("All/") + f, {md5_abc, "GONE"}, md5_abc);
        }
        write_file(dest_dir_path + "swap/mine.txt", "the user's");
        // Folders left empty where files go: by the user's deletion, a run stopped midway, or
        // nothing the manifest knows. The user's empty folders elsewhere stay, also on the way to
        // a file an old release dropped.
        for (const char* f : {"gap/", "n1/a/b/", "hole/deep/er/", "Custom Scenery/My Pack/Earth nav data/"})
            fs::create_directories(dest_dir_path + f);
        for (const char* f :
             {"All/gap/inner.dat", "All/n1/a/b/c.dat", "All/Custom Scenery/My Pack/Earth nav data/x.dat",
              "All/Custom Scenery/My Pack"})
            file(f, {md5_abc, "GONE"}, "NONE");
        for (const char* f : {"All/swap", "All/drop", "All/turn/inside.dat", "All/gap", "All/n1/a",
                              "All/hole", "All/new/moved.dat"})
            file(f, {md5_old}, "NONE");
        ASSERT_EQ(choose_files(), 1);
        int failed = -1;
        EXPECT_EQ(clear_and_make_dirs(&failed, order), 0);
        EXPECT_EQ(failed, 0);
        EXPECT_TRUE(is_dir(dest_dir_path + "turn") && !path_exists(dest_dir_path + "drop"));
        EXPECT_EQ(list_tree(dest_dir_path + "swap/"), std::vector<std::string>{"mine.txt"});
        for (const char* f : {"gap", "n1/a", "hole"}) EXPECT_FALSE(path_exists(dest_dir_path + f)) << f;
        EXPECT_TRUE(is_dir(dest_dir_path + "Custom Scenery/My Pack/Earth nav data"));
        EXPECT_TRUE(is_dir(dest_dir_path + "n1") && is_dir(dest_dir_path + "new"));
        EXPECT_EQ(path_exists(dest_dir_path + "moved.dat"), order == removal_order::in_the_way_first);
    }
}

TEST_F(Engine, DeletingAndPruningStayInsideTheCopy) {
    write_file(top / "outside/precious.txt", "abc");
    ASSERT_EQ(mkdir((top / "outside/empty").c_str(), 0755), 0);
    write_file(dest_dir_path + "inside/x.txt", "abc");
    write_file(dest_dir_path + "hidden/.dotfile", "x");
    ASSERT_EQ(symlink((top / "outside").c_str(), (dest_dir_path + "evil").c_str()), 0);
    ASSERT_EQ(symlink("inside", (dest_dir_path + "fine").c_str()), 0);
    file("All/evil/precious.txt", {md5_abc, "GONE"}, md5_abc).need_install = 0;
    file("All/fine/x.txt", {md5_abc, "GONE"}, md5_abc).need_install = 0;
    // The release put the link there (its history names the text); one of the user's would be
    // the folder it leads to.
    add_history("All/evil", {md5_of(top / "outside"), "GONE"});
    note_named_locations();
    delete_files();
    EXPECT_EQ(read_file(top / "outside/precious.txt"), "abc");
    EXPECT_EQ(cur(0).sig_have, md5_abc);
    EXPECT_FALSE(path_exists(dest_dir_path + "inside/x.txt"));  // a link that stays inside is fine
    EXPECT_EQ(cur(1).sig_have, "NONE");
    prune_empty_folders({top / "outside/empty/", top / "A/", dest_dir_path, dest_dir_path + "hidden/",
                         dest_dir_path + "inside/", dest_dir_path + "evil/empty/"});
    EXPECT_TRUE(is_dir(top / "outside/empty") && is_dir(dest_dir_path + "hidden"));
    EXPECT_FALSE(path_exists(dest_dir_path + "inside"));
    // A link of the release that stays inside, where the manifest names a link of its own, is not
    // followed: what lies beyond it is not the manifest's to remove, nor to install into.
    write_file(dest_dir_path + "inside/y.txt", "abc");
    ASSERT_EQ(symlink("inside", (dest_dir_path + "named").c_str()), 0);
    add_history("All/named", {md5_of("inside"), "GONE"});
    file("All/named/y.txt", {md5_abc, "GONE"}, md5_abc).need_install = 0;
    note_named_locations();
    EXPECT_EQ(delete_files(), 2);
    EXPECT_EQ(read_file(dest_dir_path + "inside/y.txt"), "abc");
    put_zip(top / "z.zip", "z.txt", "abc");
    EXPECT_EQ(install_from_archive(top / "z.zip", dest_dir_path + "named/z.txt", md5_abc), ENOTDIR);
    EXPECT_FALSE(path_exists(dest_dir_path + "inside/z.txt"));
    fs::create_directories(dest_dir_path + "inside/sub/deeper");
    remove_folders_holding_nothing(dest_dir_path + "named/sub/");
    EXPECT_TRUE(is_dir(dest_dir_path + "inside/sub/deeper"));
    // A removal whose path climbs out, as no manifest reader lets through.
    write_file(top / "victim.txt", "the user's");
    file("All/../../victim.txt", {md5_abc, "GONE"}, md5_abc).need_install = 0;
    EXPECT_EQ(delete_files(), 3);
    EXPECT_EQ(read_file(top / "victim.txt"), "the user's");
    // Nothing beyond a link leading out is looked at, not even where a file of the release would
    // find a folder to give way: behind it may lie a mount that hangs.
    sim_info.clear();
    note_named_locations();
    ASSERT_EQ(symlink((top / "outside").c_str(), (dest_dir_path + "moved").c_str()), 0);
    ASSERT_EQ(symlink("..", (top / "outside/up").c_str()), 0);
    fs::create_directories(top / "beyond/sub");
    add_history("All/moved/up/beyond", {md5_abc}).need_install = 1;
    add_history("All/moved/up/beyond/sub/x.dat", {md5_abc}).need_install = 1;
    // Nor beyond a link planted where a file goes that leads out by way of the user's up: it
    // keeps its file out as the user's link to a folder would.
    ASSERT_EQ(symlink("moved/up", (dest_dir_path + "plant").c_str()), 0);
    add_history("All/plant", {md5_abc}).need_install = 1;
    looked_beyond = {dest_dir_path + "moved/up/", top / "beyond"};
    followed_never = {dest_dir_path + "plant"};
    EXPECT_EQ(clear_and_make_dirs(nullptr, removal_order::all_first), 0);
    EXPECT_EQ(items_in_the_way().size(), 2u);
    const std::vector<std::string> looked = looked_at;
    looked_beyond.clear();
    followed_never.clear();
    EXPECT_EQ(looked, std::vector<std::string>());
    EXPECT_TRUE(is_dir(top / "beyond/sub"));
    // The copy itself stays, also when nothing is left in it.
    dest_dir_path = top / "empty copy/";
    ASSERT_EQ(mkdir(dest_dir_path.c_str(), 0755), 0);
    prune_empty_folders({dest_dir_path});
    EXPECT_TRUE(is_dir(dest_dir_path));
}

// Who made a link cannot be known, but what a release can write can: only a text no release
// writes (absolute, or climbing out of the copy from the folder holding it) is the user's move of
// a folder, which makes where it leads the bound. Any other link in the copy's own folders is
// walked by its words, and one in a moved folder passes only where it stays inside it or the copy.
TEST_F(Engine, OnlyALinkTextNoReleaseWritesMovesTheBound) {
    const std::string disk = top / "disk/", real_top = fs::canonical(top.path()).string() + "/",
                      real_disk = real_top + "disk/";
    for (const char* f : {"Res/r.dat", "Res/sub/f", "C/c.dat", "Rel/r.dat", "far/f.dat"})
        write_file(disk + f, "x");
    for (const char* f : {"Output/o.dat", "B/b.dat", "X/Y/y.dat", "Sub/s.dat"})
        write_file(dest_dir_path + f, "x");
    const auto link = [&](const std::string& text, const std::string& at) {
        ASSERT_EQ(symlink(text.c_str(), at.c_str()), 0) << at;
    };
    link(disk + "Res", dest_dir_path + "Res");         // the user's move, absolute
    link("..", disk + "Res/up");                       // the user's, inside the moved folder
    link("../Res/up", dest_dir_path + "Output/pl");    // a release could have made it
    link("Res", dest_dir_path + "Alias");              // into the moved folder
    link("../../disk/Rel", dest_dir_path + "Rel");     // the user's move, relative
    link("../../../disk/C", dest_dir_path + "B/C");    // the user's move, below a folder
    link("B", dest_dir_path + "A");                    // the same folder by another way
    link("../../B", dest_dir_path + "X/Y/Z");          // and by a third, from deeper
    link(disk + "far", disk + "Res/far");              // moved on by the user
    link("../../A/B/Sub", disk + "Res/home");          // from the moved folder back into the copy
    link(disk + "away/Gone", dest_dir_path + "Gone");  // its disk is away
    link("../gone", dest_dir_path + "Rgone");          // and a relative one
    link("sub", disk + "Res/inner");                   // staying inside the moved folder
    link("Res/../Output", dest_dir_path + "Back");     // out of it again by its words
    link("Res/sub/..", dest_dir_path + "Here");
    link(disk + "C/c.dat", dest_dir_path + "Flink");  // to a file
    link("L2", dest_dir_path + "L1");
    link("L1", dest_dir_path + "L2");
    fs::create_directories(dest_dir_path + "a");
    fs::create_directories(top / "A/x");
    link("../../x", dest_dir_path + "a/L");
    link("../a", dest_dir_path + "Output/a");
    link(".", dest_dir_path + "Dot");
    link("../Dot/..", dest_dir_path + "Output/p7");
    // As many links as a way may follow, then one more.
    for (int i = 1; i <= 41; ++i)
        link(i == 1 ? "Sub" : "C" + std::to_string(i - 1), dest_dir_path + "C" + std::to_string(i));
    struct {
        const char* location;
        int err;
        const char* item;   // below the copy
        std::string bound;  // "" the copy
    } cases[] = {
        {"Res/x.dat", 0, "", real_disk + "Res/"},
        {"Res/up/x.dat", err_link_leads_out, "Res/up", real_disk + "Res/"},
        {"Output/pl/evil.txt", err_link_leads_out, "Output/pl", ""},
        {"Output/pl/new/", err_link_leads_out, "Output/pl", ""},
        {"Alias/new/x.dat", 0, "", real_disk + "Res/"},
        {"Rel/x.dat", 0, "", real_disk + "Rel/"},
        {"B/C/x.dat", 0, "", real_disk + "C/"},
        // Met beyond the first link of the way, a relative text is no move: the user's B/C is one
        // only by its own name.
        {"A/C/x.dat", err_link_leads_out, "B/C", ""},
        {"X/Y/Z/C/x.dat", err_link_leads_out, "B/C", ""},
        {"A/Sub/x.dat", 0, "", ""},
        // The release's a/L -> ../../x, where the user moved Output/a up to a: no move, though its
        // text climbs out from there; named a/L, it cannot be told from one.
        {"Output/a/L/evil.txt", err_link_leads_out, "a/L", ""},
        {"a/L/x.dat", 0, "", real_top + "A/x/"},
        // A ".." above the copy inside a walked link's words, through a link to ".".
        {"Output/p7/x.dat", err_link_leads_out, "Output/p7", ""},
        {"C40/x.dat", 0, "", ""},
        {"C41/x.dat", err_link_leads_nowhere, "C41", ""},
        {"Res/far/x.dat", 0, "", real_disk + "far/"},
        {"Res/home/x.dat", 0, "", ""},
        {"Res/home/s.dat/x", ENOTDIR, "Sub/s.dat", ""},
        {"Res/inner/f/x", ENOTDIR, "Res/sub/f", real_disk + "Res/"},
        {"Back/x.dat", err_link_leads_out, "Back", ""},
        {"Here/x.dat", 0, "", real_disk + "Res/"},
        {"Flink/x.dat", ENOTDIR, "Flink", ""},
        {"Gone/x.dat", err_link_leads_nowhere, "Gone", ""},
        {"Rgone/sub/x.dat", err_link_leads_nowhere, "Rgone", ""},
        {"L1/x.dat", err_link_leads_nowhere, "L1", ""},
        {"Output/new/x.dat", 0, "", ""},
        {"Output/o.dat/x.dat", ENOTDIR, "Output/o.dat", ""},
        {"Output/../../victim.txt", err_path_climbs, "Output/..", ""},
        {"./x.dat", err_path_climbs, ".", ""},
    };
    for (const auto& c : cases) {
        const copy_way w = way_to(dest_dir_path + c.location);
        EXPECT_EQ(w.err, c.err) << c.location;
        EXPECT_EQ(w.item, c.err ? dest_dir_path + c.item : "") << c.location;
        EXPECT_EQ(w.bound, c.bound.empty() ? dest_dir_path : c.bound) << c.location;
    }
    EXPECT_EQ(way_to(dest_dir_path + "Gone/x.dat").leads_to, disk + "away/Gone");
    // A link gone between its lstat and its reading leads nowhere: nothing is passed unjudged.
    link("Sub", vanishing = dest_dir_path + "Vanish");
    EXPECT_EQ(way_to(dest_dir_path + "Vanish/x.dat").err, err_link_leads_nowhere);
    EXPECT_EQ(way_to(dest_dir_path + "Rgone/x.dat").leads_to, top / "A/gone");
    // Where a file goes, the user's link to a folder stands as a folder would, as does one leading
    // nowhere (its disk away, it is never replaced); a link to a file does not.
    EXPECT_TRUE(users_link_to_a_folder(dest_dir_path + "Alias") &&
                users_link_to_a_folder(dest_dir_path + "Gone"));
    EXPECT_FALSE(users_link_to_a_folder(dest_dir_path + "Flink") ||
                 users_link_to_a_folder(dest_dir_path + "B"));
    // A link the release names there is the release's: another place of the copy, never passed.
    add_history("All/Res", {md5_of(disk + "Res")});
    note_named_locations();
    EXPECT_EQ(way_to(dest_dir_path + "Alias/x.dat").err, ENOTDIR);
    EXPECT_FALSE(users_link_to_a_folder(dest_dir_path + "Res"));
    // So is one whose text the release gave the name the location goes by, whatever the name
    // the walk reached it by.
    add_history("All/Output/a/L", {md5_of("../../x")});
    note_named_locations();
    const copy_way by_history = way_to(dest_dir_path + "Output/a/L/evil.txt");
    EXPECT_EQ(by_history.err, ENOTDIR);
    EXPECT_EQ(by_history.item, dest_dir_path + "a/L");
    // A file of the release at a place named through an alias: its link may not climb more from
    // there than from the folder it lands in.
    link("X/Y", dest_dir_path + "Deep");
    for (const auto& [name, text, err] : std::vector<std::tuple<std::string, std::string, int>>{
             {"Deep/L", "../../B", err_zip_unsafe_path}, {"X/Y/L", "../../B", 0}}) {
        temp_folder t;
        ASSERT_EQ(symlink(text.c_str(), (t / "L").c_str()), 0);
        ASSERT_EQ(file_to_zip(t / "L", top / "l.zip"), 0);
        EXPECT_EQ(install_from_archive(top / "l.zip", dest_dir_path + name, md5_of(text)), err) << name;
    }
    EXPECT_TRUE(fs::is_symlink(dest_dir_path + "X/Y/L"));
}

TEST(GetPathWithPath, CutsTheLastComponent) {
    std::string out = "x", all;
    for (const char* p : {"a/b/c.txt", "a/b/", "c.txt", "/", "a/b/c"}) {
        get_path_with_path(out, p);
        all += out + "|";
    }
    EXPECT_EQ(all, "a/b/|a/|||a/b/|");
}

TEST(PrivateTempFolder, StartUpEmptiesItButForTheRunningProgramAndAnotherInstaller) {
    temp_folder t;
    const std::string tmp = t / "volatra-installer/";
    write_file(tmp + "copy.app/Contents/MacOS/installer", "the running program");
    write_file(tmp + "old.app/x", "an earlier copy");
    write_file(tmp + "0.zip", "a download");
    write_file(tmp + ".vtmp-1-1", "hidden");
    ASSERT_EQ(symlink("/", (tmp + "root link").c_str()), 0);
    // Another installer holds the folder: nothing goes.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t child = fork();
    if (child == 0) {
        int fd = open((tmp + ".lock").c_str(), O_RDWR | O_CREAT, 0600);
        flock(fd, LOCK_EX);
        (void)!write(ready[1], "x", 1);
        pause();
        _exit(0);
    }
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    EXPECT_EQ(empty_private_temp_folder(tmp, tmp + "copy.app/Contents/MacOS/installer"), EBUSY);
    EXPECT_TRUE(path_exists(tmp + "0.zip"));
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    EXPECT_EQ(empty_private_temp_folder(tmp, tmp + "copy.app/Contents/MacOS/installer"), 0);
    EXPECT_EQ(list_tree(tmp), (std::vector<std::string>{".lock", "copy.app/Contents/MacOS/installer"}));
    EXPECT_TRUE(path_exists("/bin"));
    EXPECT_EQ(empty_private_temp_folder(tmp, "/elsewhere"), 0);
    EXPECT_EQ(list_tree(tmp), std::vector<std::string>{".lock"});
    for (const std::string& bad : {std::string(), std::string("relative/"), t / "volatra-installer"})
        EXPECT_EQ(empty_private_temp_folder(bad, ""), EINVAL) << bad;
    close(ready[0]);
    close(ready[1]);
}

}  // namespace

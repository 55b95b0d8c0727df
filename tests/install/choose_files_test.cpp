#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "engine_helpers.h"
#include "install/install_run.h"

namespace {

// The scripted user: answers in order and records every question.
struct question {
    std::string path;
    int is_delete;
};
std::deque<int> script;
std::vector<question> asked;

int scripted_alert(std::string path, int is_delete) {
    asked.push_back({path, is_delete});
    if (script.empty()) {
        ADD_FAILURE() << "unexpected question about " << path;
        return 3;
    }
    int answer = script.front();
    script.pop_front();
    return answer;
}

const char* const md5_old = "0cc175b9c0f1b6a831c399e269772661";
const char* const md5_user = "ffffffffffffffffffffffffffffffff";
const char* const tile_path = "All/Global Scenery/-global terrain-/+40-120/+40-120.dsf";

class ChooseFiles : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        dest_dir_path = "/copy/";
        script.clear();
        asked.clear();
        g_select_alert = scripted_alert;
    }
    void TearDown() override {
        g_select_alert = nullptr;
        EXPECT_TRUE(script.empty()) << "answers left over";
    }
    // A history whose copy holds `have`.
    file_version_struct& file(const std::string& path, std::initializer_list<const char*> sigs,
                              const char* have, float size_b = 1.0f) {
        file_version_struct& v = add_history(path, sigs, 0, size_b);
        v.sig_have = have;
        v.need_install = v.need_delete = 1;  // stale marks of an earlier call
        return v;
    }
    static std::pair<int, int> flags(int h) {
        const file_version_struct& v = sim_info[h].versions.back();
        return {v.need_install, v.need_delete};
    }
};

typedef std::pair<int, int> marks;  // need_install, need_delete

TEST_F(ChooseFiles, DecisionsWithoutQuestions) {
    file("All/absent.txt", {md5_abc}, "NONE");
    file("All/absent_gone.txt", {md5_abc, "GONE"}, "NONE");
    file("All/current.txt", {md5_old, md5_abc}, md5_abc);
    file("All/older.txt", {md5_old, md5_abc}, md5_old);
    file("All/older_gone.txt", {md5_old, "GONE"}, md5_old);
    file("Macintosh/mac.txt", {md5_abc}, "NONE").platform = 1;  // not wanted: stale marks cleared
    file(tile_path, {md5_abc}, md5_abc);                        // installed, tile deselected
    EXPECT_EQ(choose_files(), 1);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(flags(0), marks(1, 0));
    EXPECT_EQ(flags(1), marks(0, 0));
    EXPECT_EQ(flags(2), marks(0, 0));
    EXPECT_EQ(flags(3), marks(1, 0));
    EXPECT_EQ(flags(4), marks(0, 1));
    EXPECT_EQ(flags(5), marks(0, 0));
    EXPECT_EQ(flags(6), marks(0, 1));

    // Selected, the same tile is current and stays.
    stg.tile_selected[sim_info[6].versions[0].lon_idx][sim_info[6].versions[0].lat_idx] = 1;
    EXPECT_EQ(choose_files(), 1);
    EXPECT_EQ(flags(6), marks(0, 0));
}

TEST_F(ChooseFiles, ChangedFilesAskAndFolderAnswersStick) {
    file("All/a/one.txt", {md5_abc}, md5_user);          // asked: 1 overwrite
    file("All/a/two.txt", {md5_abc, "GONE"}, md5_user);  // asked: 2 keep
    file("All/b/one.txt", {md5_abc}, md5_user);          // asked: 4 overwrite all of b/
    file("All/b/two.txt", {md5_abc, "GONE"}, md5_user);  // silent: delete
    file("All/c/one.txt", {md5_abc}, md5_user);          // asked: 5 keep all of c/
    file("All/c/two.txt", {md5_abc}, md5_user);          // silent: keep
    file("All/b/sub/x.txt", {md5_abc}, md5_user);        // another folder: asked, 2
    script = {1, 2, 4, 5, 2};
    EXPECT_EQ(choose_files(), 1);
    ASSERT_EQ(asked.size(), 5u);
    EXPECT_EQ(asked[0].path, "/copy/a/one.txt");
    EXPECT_EQ(asked[0].is_delete, 0);
    EXPECT_EQ(asked[1].is_delete, 1);
    EXPECT_EQ(asked[4].path, "/copy/b/sub/x.txt");
    EXPECT_EQ(flags(0), marks(1, 0));
    EXPECT_EQ(flags(1), marks(0, 0));
    EXPECT_EQ(flags(2), marks(1, 0));
    EXPECT_EQ(flags(3), marks(0, 1));
    EXPECT_EQ(flags(4), marks(0, 0));
    EXPECT_EQ(flags(5), marks(0, 0));
    EXPECT_EQ(flags(6), marks(0, 0));
}

TEST_F(ChooseFiles, CancelStopsAtTheQuestion) {
    file("All/absent.txt", {md5_abc}, "NONE");
    file("All/changed.txt", {md5_abc}, md5_user);
    file("All/after.txt", {md5_abc}, "NONE");
    script = {3};
    EXPECT_EQ(choose_files(), 0);
    EXPECT_EQ(flags(0), marks(1, 0));
    EXPECT_EQ(flags(1), marks(0, 0));
    EXPECT_EQ(flags(2), marks(1, 1));  // not reached: left as it was
}

TEST_F(ChooseFiles, NoQuestionWindowMeansCancel) {
    g_select_alert = nullptr;
    file("All/changed.txt", {md5_abc}, md5_user);
    EXPECT_EQ(choose_files(), 0);
    EXPECT_EQ(flags(0), marks(0, 0));
}

TEST_F(ChooseFiles, StartFractionsFollowUnpackedSizes) {
    file("All/a.txt", {md5_abc}, "NONE", 30.0f);
    file("All/b.txt", {md5_abc}, md5_abc, 500.0f);  // current: not installed
    file("All/c.txt", {md5_abc}, "NONE", 10.0f);
    file("All/d.txt", {md5_abc}, "NONE", 60.0f);
    EXPECT_EQ(choose_files(), 1);
    EXPECT_FLOAT_EQ(sim_info[0].versions.back().start_fraction, 0.0f);
    EXPECT_FLOAT_EQ(sim_info[1].versions.back().start_fraction, 0.3f);
    EXPECT_FLOAT_EQ(sim_info[2].versions.back().start_fraction, 0.3f);
    EXPECT_FLOAT_EQ(sim_info[3].versions.back().start_fraction, 0.4f);

    for (auto& h : sim_info) h.versions.back().size_b = 0.0f;
    EXPECT_EQ(choose_files(), 1);
    for (auto& h : sim_info) EXPECT_FLOAT_EQ(h.versions.back().start_fraction, 0.5f);
}

}  // namespace

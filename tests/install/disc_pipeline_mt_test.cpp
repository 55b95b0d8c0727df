// The pipeline's pools under load: a cancelled run with every slot busy, and a full run.
#include <gtest/gtest.h>

#include "core/wx.h"
#include "files/zip_utils.h"
#include "install/disc_pipeline.h"
#include "install/disc_set_helpers.h"
#include "install/install_state.h"
#include "install/manifest.h"

namespace {

class DiscPipelineLoad : public ::testing::Test {
protected:
    void SetUp() override {
        reset_engine_state();
        install_name = "Release";
        temp_path = s.path() + "tmp/";
        dest_dir_path = s.path() + "inst/";
        dvd_path = s.path() + "disc/";
        ds::mkdirs(temp_path);
        ds::mkdirs(dest_dir_path + "many");
        // One archive shared by every history: each unpacks the same name into its own folder.
        ds::put(s.path() + "master/item.txt", std::string(30000, 'i'));
        for (int i = 0; i < 80; ++i) {
            const std::string path = "All/many/" + std::to_string(i) + "/item.txt";
            const std::string archive = dvd_path + install_name + "/" + path + ".zip";
            ds::mkdirs(archive.substr(0, archive.rfind('/')));
            ASSERT_EQ(file_to_zip(s.path() + "master/item.txt", archive), 0);
            ds::mkdirs(dest_dir_path + "many/" + std::to_string(i));
            file_version_struct v;
            v.path = path;
            v.sig_want = "d41d8cd98f00b204e9800998ecf8427e";
            v.need_install = 1;
            sim_info.push_back(file_history_struct{{v}});
        }
    }
    void TearDown() override { sim_info.clear(); }
    temp_folder s;
};

TEST_F(DiscPipelineLoad, KillWithEverySlotBusyReturnsAndFreesAll) {
    int cursor = 0;
    EXPECT_EQ(install_files(cursor, 0), 0);
    EXPECT_EQ(cursor, 30);
    install_files_kill();
    EXPECT_EQ(copy_pool, nullptr);
    EXPECT_EQ(unzip_pool, nullptr);
    install_files_kill();  // no run: nothing to do
    EXPECT_TRUE(ds::list_tree(temp_path).empty());
}

TEST_F(DiscPipelineLoad, FullRunInstallsEverything) {
    int cursor = 0;
    EXPECT_EQ(ds::step_until_answer(cursor, 0), 1);
    for (int i = 0; i < 80; ++i) {
        EXPECT_EQ(sim_info[i].versions.back().up_to_date, 1);
        EXPECT_TRUE(path_exists(dest_dir_path + "many/" + std::to_string(i) + "/item.txt"));
    }
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>

#include "engine_helpers.h"

namespace {

const char* const tile_path = "All/Global Scenery/-global terrain-/+40-120/+40-120.dsf";

class Filters : public ::testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
};

TEST_F(Filters, WantMatrix) {
    add_history("All/a.txt", {md5_abc});
    add_history(tile_path, {md5_abc});
    for (int run_platform = 1; run_platform <= 3; ++run_platform) {
        stg.platform = run_platform;
        for (int platform = 0; platform <= 6; ++platform) {
            for (int want_sim = 0; want_sim <= 1; ++want_sim) {
                for (int want_global = 0; want_global <= 1; ++want_global) {
                    set_install_filter(want_sim, want_global);
                    sim_info[0].versions[0].platform = platform;
                    sim_info[1].versions[0].platform = platform;
                    bool platform_ok =
                        platform == 0 || platform == run_platform || (platform == 6 && run_platform == 3);
                    SCOPED_TRACE(testing::Message()
                                 << run_platform << " " << platform << " " << want_sim << " " << want_global);
                    EXPECT_EQ(want_this_f(0, 0), want_sim && platform_ok);
                    EXPECT_EQ(want_this_f(1, 0), want_global && platform_ok);
                }
            }
        }
    }
}

TEST_F(Filters, TotalsFollowSelectionAndChecksumState) {
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_add, 0);
    EXPECT_EQ(stg.kb_to_install, 0.0f);

    add_history("All/a.txt", {md5_abc}, 0, 10.0f);
    file_version_struct& tile = add_history(tile_path, {md5_abc}, 0, 100.0f);
    add_history("All/mac.txt", {md5_abc}, 1, 1000.0f);  // another platform
    file_version_struct& gone = add_history("All/old.txt", {md5_abc, "GONE"}, 0, 0.0f);
    gone.sig_have = "NONE";

    recalc_disk_sizes();  // tile not selected: only a.txt
    EXPECT_EQ(stg.num_to_add, 1);
    EXPECT_FLOAT_EQ(stg.kb_to_install, 10.0f);
    EXPECT_FLOAT_EQ(stg.kb_to_download, 5.0f);
    EXPECT_EQ(stg.num_to_remove, 0);

    stg.tile_selected[tile.lon_idx][tile.lat_idx] = 1;
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_add, 2);
    EXPECT_FLOAT_EQ(stg.kb_to_install, 110.0f);

    tile.up_to_date = 1;  // installed and current: nothing to add
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_add, 1);
    EXPECT_EQ(stg.num_to_remove, 0);

    stg.tile_selected[tile.lon_idx][tile.lat_idx] = 0;  // deselected while installed
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_remove, 1);

    gone.sig_have = md5_abc;  // the copy still holds a file the release removed
    recalc_disk_sizes();
    EXPECT_EQ(stg.num_to_remove, 2);
    EXPECT_EQ(stg.num_to_add, 1);
}

TEST_F(Filters, SelectionFromInstallAndFromManifest) {
    file_version_struct& scanned_absent = add_history(tile_path, {md5_abc});
    file_version_struct& never_scanned =
        add_history("All/Global Scenery/-global terrain-/+00+000/+00+000.dsf", {md5_abc});
    file_version_struct& installed =
        add_history("All/Global Scenery/-global terrain-/-10+010/-10+010.dsf", {md5_abc});
    scanned_absent.sig_have = "NONE";
    installed.sig_have = md5_abc;
    stg.tile_selected[0][0] = 1;

    scenery_from_install();
    EXPECT_EQ(stg.tile_selected[0][0], 0);
    EXPECT_EQ(stg.tile_selected[scanned_absent.lon_idx][scanned_absent.lat_idx], 0);
    EXPECT_EQ(stg.tile_selected[never_scanned.lon_idx][never_scanned.lat_idx], 1);
    EXPECT_EQ(stg.tile_selected[installed.lon_idx][installed.lat_idx], 1);

    stg.tile_available[1][2] = 1;
    stg.tile_available[35][17] = 1;
    scenery_take_all();
    EXPECT_EQ(0, std::memcmp(stg.tile_selected, stg.tile_available, sizeof(stg.tile_selected)));
}

}  // namespace

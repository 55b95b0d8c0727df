// The program-wide globals as they stand before main, and that they are usable from any
// unit's static initialiser.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/camera.h"
#include "graphics/palette.h"
#include "graphics/render_state.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "shell/menu.h"

namespace {
// Read during static initialisation; the globals are constant-initialised, so the order of
// the units does not matter.
const int early_keylist_up = mnw.keylist_up;
const float early_fade = ren.global_fade;
const float early_period = xtim.frame_period;

// In a child that exits, the paths pool threads read, as they stand after every static
// destructor has run (a destructor function runs after them).
int paths_after_exit_fd = -1;
__attribute__((destructor)) void write_paths_after_exit() {
    if (paths_after_exit_fd < 0) return;
    std::string text = app_path + "|" + dvd_path + "|" + dest_dir_path + "|" + temp_path + "|" + install_name;
    for (const file_history_struct& h : sim_info) text += "|" + h.versions.back().path;
    for (const std::string& f : deleted_files) text += "|" + f;
    ssize_t n = write(paths_after_exit_fd, text.data(), text.size());
    (void)n;
}
}  // namespace

TEST(Globals, ReadyBeforeAnyStaticInitialiser) {
    EXPECT_EQ(early_keylist_up, 1);
    EXPECT_EQ(early_fade, 1.0f);
    EXPECT_EQ(early_period, 0.02f);
}

TEST(Globals, WindowRecordIsZeroButKeylistUp) {
    mnw_struct want;
    std::memset(&want, 0, sizeof want);
    want.keylist_up = 1;
    EXPECT_EQ(std::memcmp(&mnw, &want, sizeof want), 0);
    EXPECT_GE(stls_size, 2048);
    for (int i = 0; i < stls_size; ++i) ASSERT_TRUE(stls[i].empty()) << i;
    EXPECT_TRUE(menu.empty());
}

TEST(Globals, InstallerStateAndStreamsAreZero) {
    stg_struct zero;
    std::memset(&zero, 0, sizeof zero);
    EXPECT_EQ(std::memcmp(&stg, &zero, sizeof zero), 0);
    download_streams_struct zero_streams;
    std::memset(&zero_streams, 0, sizeof zero_streams);
    EXPECT_EQ(std::memcmp(&::next, &zero_streams, sizeof zero_streams), 0);
    // The record layout other Parts count in words.
    // and the streams' retry times and servers that sent their files too large
    EXPECT_EQ(sizeof(download_streams_struct), 26 * 4u);
    EXPECT_EQ(install_name, "Not Yet Scanned");
    EXPECT_TRUE(dest_dir_path.empty() && temp_path.empty() && dvd_path.empty() && app_path.empty());
}

TEST(Globals, RenderStateCameraAndTimeKeeper) {
    EXPECT_EQ(ren.global_fade, 1.0f);
    EXPECT_EQ(ren.monochrome, 0);
    EXPECT_EQ(ren.gl_vendor, nullptr);
    EXPECT_EQ(xcam.proj_kind, 1);
    EXPECT_EQ(xcam.changed, 1);
    EXPECT_EQ(xcam.mv_from_gl, 1);
    for (int i = 0; i < 16; ++i) {
        double id = (i % 5 == 0) ? 1.0 : 0.0;
        EXPECT_EQ(xcam.proj_matrix[i], id);
        EXPECT_EQ(xcam.mv_matrix[i], id);
    }
    EXPECT_EQ(xtim.first_frame, 1);
    EXPECT_EQ(xtim.frame_count, 0);
    EXPECT_EQ(xtim.real_time, 0.0f);
    EXPECT_EQ(xtim.day_of_year, 90.0f);
}

TEST(Globals, PaletteDefaults) {
    colr_class c;
    EXPECT_EQ(c.rgb[0][0] + c.rgb[0][1] + c.rgb[0][2], 3.0f);
    EXPECT_EQ(c.rgb[12][0] + c.rgb[12][1] + c.rgb[12][2], 0.0f);
    EXPECT_EQ(c.rgb[72][1], 0.43f);
    EXPECT_EQ(c.rgb[105][0] + c.rgb[105][1] + c.rgb[105][2], 3.0f);
    EXPECT_EQ(c.gamma1, 1.8);
    EXPECT_EQ(c.pulse, 0.0f);
    for (int i = 0; i < 256; ++i) ASSERT_EQ(c.gamma_table[i], i);
    for (auto& e : c.spectrum) ASSERT_EQ(e[0] + e[1] + e[2], 0.0f);
}

TEST(Globals, SharedConstants) {
    EXPECT_STREQ(no_install_name, "Not Yet Scanned");
    EXPECT_EQ(sizeof(build_name) / sizeof(build_name[0]), 3u);
    EXPECT_STREQ(build_name[0], "Volatra 9.10r1");
    EXPECT_STREQ(build_name[1], "Mars");
    EXPECT_STREQ(build_name[2], "Moon");
    EXPECT_EQ(degtorad, 0.01745329f);
    EXPECT_EQ(std::string(acf_path_def).rfind(std::string(acf_path) + "General Aviation/", 0), 0u);
}

// Pool threads may still read these while the process exits, so they are never destroyed.
TEST(Globals, PathsOutliveTheExit) {
    const std::string long_path = "/a/folder/name/well/past/the/short/string/buffer/";
    child_result r = run_in_child([&] {
        app_path = long_path + "app/";
        dvd_path = long_path + "dvd/";
        dest_dir_path = long_path + "dest/";
        temp_path = long_path + "temp/";
        install_name = long_path + "name";
        sim_info.emplace_back();
        sim_info.back().versions.emplace_back();
        sim_info.back().versions.back().path = long_path + "file";
        deleted_files.insert(long_path + "gone/");
        std::fflush(stdout);
        paths_after_exit_fd = 1;
        std::exit(0);
    });
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.out, long_path + "app/|" + long_path + "dvd/|" + long_path + "dest/|" + long_path + "temp/|" +
                         long_path + "name|" + long_path + "file|" + long_path + "gone/");
}

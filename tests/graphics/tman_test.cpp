#include "graphics/tman.h"

#include <gtest/gtest.h>

#include "core/mnw.h"

TEST(Tman, FreshManager) {
    tman_class t;
    EXPECT_EQ(t.total_texes(), 0);
    EXPECT_EQ(t.loaded_texes(), 0);
    EXPECT_TRUE(t.ref_dat.empty());
    mnw.x_res = 1024;
    mnw.y_res = 768;
    mnw.col_res = 32;
    EXPECT_EQ(t.tot_vram(), 3145728);

    tman_class::ref_dat_struct r;
    EXPECT_EQ(r.name, "un-inited");
    EXPECT_EQ(r.load_time, tex_unloaded);
    EXPECT_EQ(r.fail_mode, tex_fail_fatal);
    EXPECT_EQ(r.ref_count, -1);
    EXPECT_EQ(r.gl_format, 0);
}

TEST(Tman, VideoMemoryTotalDoesNotOverflow) {
    tman_class t;
    mnw.x_res = 2560;
    mnw.y_res = 1600;
    mnw.col_res = 32;
    t.ref_dat.resize(3);
    t.ref_dat[1].vram_bytes = 2000000000;
    t.ref_dat[2].vram_bytes = 2000000000;
    EXPECT_EQ(t.tot_vram(), 2560LL * 1600 * 4 + 4000000000LL);
}

TEST(Tman, FailureIsReportedOnce) {
    tman_class t;
    EXPECT_EQ(t.has_plane_load_fail(), 0);
    t.plane_load_fail = 1;
    EXPECT_EQ(t.has_plane_load_fail(), 1);
    EXPECT_EQ(t.has_scene_load_fail(), 0);
    t.mute_plane_load_fail();
    EXPECT_EQ(t.has_plane_load_fail(), 0);
    t.reset_plane_load_fail();
    EXPECT_EQ(t.plane_load_fail, 0);
}

TEST(Tman, LockIsRecursive) {
    tman_class t;
    pthread_mutex_lock(&t.lock);
    EXPECT_EQ(t.total_texes(), 0);  // locks again on the same thread
    pthread_mutex_unlock(&t.lock);
}

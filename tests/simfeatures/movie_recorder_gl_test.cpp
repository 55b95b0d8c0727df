// The recorder's capture through GL on the test context: the copy, the flipped quad and the
// read-back, at once or through a pixel buffer one capture late.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "common/gl_test_context.h"
#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/locks_and_queues.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/builtin_images.h"
#include "graphics/gl_capabilities.h"
#include "graphics/screen_2d.h"
#include "movie_helpers.h"
#include "platform/plat_window_null.h"
#include "shell/frame.h"
#include "simfeatures/movie_recorder.h"

namespace {

// The GL capture without the pause before the first frame.
struct no_pause : qtim_capture {
    qtim_capture* gl = nullptr;
    void start(int dx, int dy) override { gl->start(dx, dy); }
    void stop() override { gl->stop(); }
    void before_swap(unsigned char* p) override { gl->before_swap(p); }
    bool after_swap(unsigned char* p) override { return gl->after_swap(p); }
    void settle() override {}
};

// The window: the top half one colour, the bottom half another.
void paint(float top_r, float top_g, float top_b, float bottom_r, float bottom_g, float bottom_b) {
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 300, 800, 300);
    gl_test_clear(top_r, top_g, top_b, 1);
    glScissor(0, 0, 800, 300);
    gl_test_clear(bottom_r, bottom_g, bottom_b, 1);
    glDisable(GL_SCISSOR_TEST);
}

class RecorderGl : public ::testing::TestWithParam<bool> {
protected:
    static void SetUpTestSuite() {
        if (gl_test_context()) OGL_load_builtin_images();
    }
    void SetUp() override {
        if (!gl_test_context()) GTEST_SKIP() << "no GL";
        reset_recorders();
        saved_path_ = app_path;
        app_path = dir_.path();
        mnw.subwin_x = mnw.subwin_y = 0;
        if (!GetParam()) gl_test_probe_with({"--no_pbos"});
        qtim_set_capture(nullptr);
        wrapper_.gl = qtim_set_capture(&wrapper_);
        movie_take = 0;
        xtim.sim_time = 0;
    }
    void TearDown() override {
        qtim.stop_thread();
        qtim_set_capture(nullptr);
        gl_test_probe_with({});
        app_path = saved_path_;
        xtim.sim_time = 0;
    }

    temp_folder dir_;
    no_pause wrapper_;
    std::string saved_path_;
};

TEST_P(RecorderGl, PicturesArriveUprightInTheirColours) {
    const bool pbo = GetParam();
    EXPECT_EQ(glExt.pbo_avail != 0, pbo);
    qtim.mov_toggle(1);
    ASSERT_EQ(qtim.state, 1);
    // Three frames sent, as many as there are buffers however slow the worker is; the pixel
    // buffer sends each capture at the next one, so it takes a fourth.
    for (int i = 0; i < (pbo ? 4 : 3); ++i) {
        if (i == 1)
            paint(0, 1, 0, 0, 1, 0);
        else
            paint(1, 0, 0, 0, 0, 1);
        xtim.sim_time += 0.06f;
        EXPECT_EQ(qtim.mov_per_frame(), 1);
    }
    eventually([] {
        qtim.mov_toggle(0);
        return qtim.state == 0;
    });
    ASSERT_EQ(qtim.state, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));

    const movie_info m = read_movie(dir_ / "Volatra movie take-1.mov");
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.width, 320);
    EXPECT_EQ(m.height, 240);
    ASSERT_EQ(m.samples.size(), 3u);
    rgb_picture first, second;
    ASSERT_TRUE(decode_jpeg(m.samples[0], first));
    ASSERT_TRUE(decode_jpeg(m.samples[1], second));
    const uint8_t* top = first.at(160, 10);
    const uint8_t* bottom = first.at(160, 230);
    EXPECT_GE(top[0], 245);
    EXPECT_LE(top[2], 10);
    EXPECT_LE(bottom[0], 10);
    EXPECT_GE(bottom[2], 245);
    EXPECT_GE(second.at(160, 10)[1], 245);
    EXPECT_LE(second.at(160, 10)[0], 10);
    EXPECT_TRUE(recorded_alerts().empty());
}

int swaps = 0;
void count_swap() { ++swaps; }

// The shell's frame swaps unless the recorder did: one swap a frame, idle or recording.
TEST_P(RecorderGl, TheFrameLoopSwapsOnceAFrame) {
    plat::scoped_null_backend backend;
    const app_hooks old_hooks = set_app_hooks({nullptr, nullptr, nullptr});
    const ogl_swap_fn old_swap = OGL_set_swap_hook(count_swap);
    const int curwin = mnw.curwin;
    mnw.curwin = 0;
    swaps = 0;
    MACIBM_event_proc();
    EXPECT_EQ(swaps, 1);
    qtim.mov_toggle(1);
    MACIBM_event_proc();  // simulated time stands still: the frame swaps
    for (int i = 0; i < 3; ++i) {
        xtim.sim_time += 0.06f;
        MACIBM_event_proc();
    }
    EXPECT_EQ(swaps, 5);
    qtim.stop_thread();
    EXPECT_FALSE(read_movie(dir_ / "Volatra movie take-1.mov").samples.empty());
    OGL_set_swap_hook(old_swap);
    set_app_hooks(old_hooks);
    mnw.curwin = curwin;
}

INSTANTIATE_TEST_SUITE_P(Readback, RecorderGl, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "PixelBuffer" : "Direct"; });

}  // namespace

#include "shell/window.h"

#include <gtest/gtest.h>

#include "common/gl_test_context.h"
#include "common/test_helpers.h"
#include "core/mnw.h"
#include "graphics/ogl_2d.h"
#include "platform/plat_window_null.h"

namespace {

class Window : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_test_context());
        mnw = mnw_defaults();
        mnw.x_res_req = 800;
        mnw.y_res_req = 600;
        mnw.col_res_req = 32;
    }
    void TearDown() override { OGL_set_swap_hook(nullptr); }
    int open(int display_w, int display_h) {
        backend->display_w = display_w;
        backend->display_h = display_h;
        MACIBM_setres(1);
        return MACIBM_make_context(0);
    }

    plat::scoped_null_backend backend;
};

TEST_F(Window, FramedAt0And40OnlyWhenTheDisplayIsClearlyLarger) {
    struct row {
        int w, h;
        bool framed;
    };
    for (row r :
         {row{1280, 1024, true}, row{821, 1024, true}, row{820, 1024, false}, row{1280, 620, false}}) {
        mnw.pixel_format = nullptr;
        ASSERT_EQ(open(r.w, r.h), 1);
        const plat::null_window_backend::window_rec& w = backend->windows.back();
        EXPECT_EQ(w.framed, r.framed) << r.w << "x" << r.h;
        EXPECT_EQ(w.y, r.framed ? 40 : 0) << r.w << "x" << r.h;
        EXPECT_EQ(w.x, 0);
        EXPECT_EQ(w.w, 800);
        EXPECT_EQ(w.h, 600);
        EXPECT_EQ(mnw.window[0], reinterpret_cast<plat::window_ref>(backend->windows.size()));
    }
}

TEST_F(Window, TheMostAntiAliasingAskedForThatTheDriverHas) {
    struct row {
        int alias_req, max_samples;
        std::vector<int> tried;
        int got;
    };
    const row rows[] = {
        {3, 4, {8, 4}, 2},
        {4, 0, {16, 8, 4, 2, 0}, 0},
        {0, 16, {0}, 0},
        {1, 2, {2}, 1},
    };
    for (const row& r : rows) {
        mnw.pixel_format = nullptr;
        mnw.alias_req = r.alias_req;
        backend->max_samples = r.max_samples;
        backend->tried_samples.clear();
        ASSERT_EQ(open(1280, 1024), 1);
        EXPECT_EQ(backend->tried_samples, r.tried) << r.alias_req;
        EXPECT_EQ(mnw.alias_got, r.got) << r.alias_req;
        EXPECT_NE(mnw.pixel_format, nullptr);
    }
    // A second window keeps the format chosen first.
    backend->tried_samples.clear();
    backend->max_samples = 16;
    ASSERT_EQ(open(1280, 1024), 1);
    EXPECT_EQ(backend->tried_samples, std::vector<int>{2});
}

TEST_F(Window, FailuresReturnZero) {
    backend->has_display = false;
    EXPECT_EQ(open(1280, 1024), 0);
    backend->has_display = true;
    backend->contexts_fail = true;
    EXPECT_EQ(open(1280, 1024), 0);
    backend->contexts_fail = false;
    backend->make_current_fails = true;
    EXPECT_EQ(open(1280, 1024), 0);
    backend->make_current_fails = false;
    backend->accelerated = 0;
    EXPECT_EQ(open(1280, 1024), 0) << "a software-only format, where the driver says so";
}

TEST_F(Window, TheFormatAndTheVideoMemoryAreLoggedAs64BitBytes) {
    log_capture log;
    backend->vram = 24103LL * 1048576;
    ASSERT_EQ(open(1280, 1024), 1);
    EXPECT_EQ(log.text(),
              "AGL_RGBA         : 1\nAGL_DOUBLEBUFFER : 1\nAGL_RED_SIZE     : 8\nAGL_GREEN_SIZE   : 8\n"
              "AGL_BLUE_SIZE    : 8\nAGL_ALPHA_SIZE   : 8\nAGL_DEPTH_SIZE   : 24\nVRAM             : "
              "25273827328\n");
}

TEST_F(Window, WorkerContextsShareTheMainOneOrSayWhyNot) {
    EXPECT_EQ(MACIBM_make_context_loader(), nullptr) << "no format yet";
    ASSERT_EQ(open(1280, 1024), 1);
    plat::gl_context_ref ctx = MACIBM_make_context_loader();
    ASSERT_NE(ctx, nullptr);
    EXPECT_EQ(MACIBM_set_context_loader(ctx), 1);
    log_capture log;
    backend->contexts_fail = true;
    EXPECT_EQ(MACIBM_make_context_loader(), nullptr);
    EXPECT_EQ(log.text(), "We could not create a context for our worker threads.\n");
    OGL_sbuff();
    EXPECT_EQ(backend->swaps, 1) << "frames end on the window's buffers";
    MACIBM_nuke_context(0);
    EXPECT_TRUE(backend->windows.back().destroyed);
    EXPECT_EQ(mnw.window[0], nullptr);
    OGL_sbuff();
    EXPECT_EQ(backend->swaps, 1);
}

}  // namespace

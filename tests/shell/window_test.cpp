#include "shell/window.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <gtest/gtest.h>

#include "common/gl_test_context.h"
#include "common/test_helpers.h"
#include "core/gl_hooks.h"
#include "core/window_state.h"
#include "graphics/screen_2d.h"
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

TEST_F(Window, AWindowedRequestLeavesRoomAroundTheWindow) {
    mnw.windowed = 1;
    ASSERT_EQ(open(1280, 1024), 1);
    EXPECT_EQ(mnw.x_res, 1240);
    EXPECT_EQ(mnw.y_res, 964);
    EXPECT_EQ(mnw.y_res_req, 964);
    EXPECT_EQ(backend->windows.back().h, 964);
}

TEST_F(Window, TheProgramsGlDefaultsReplaceWhateverWasSet) {
    glFrontFace(GL_CCW);
    glDisable(GL_CULL_FACE);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LESS);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glEnable(GL_SCISSOR_TEST);
    glDisable(GL_MULTISAMPLE);
    mnw.alias_req = 2;
    backend->max_samples = 4;
    ASSERT_EQ(open(1280, 1024), 1);
    GLint front = 0, depth_func = 0, unpack = 0;
    GLboolean depth_mask = GL_TRUE;
    glGetIntegerv(GL_FRONT_FACE, &front);
    glGetIntegerv(GL_DEPTH_FUNC, &depth_func);
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &unpack);
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_mask);
    EXPECT_EQ(front, GL_CW);
    EXPECT_EQ(depth_func, GL_LEQUAL);
    EXPECT_EQ(unpack, 1);
    EXPECT_EQ(depth_mask, GL_FALSE);
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
    EXPECT_TRUE(glIsEnabled(GL_MULTISAMPLE)) << "multisampling on with the anti-aliased format";
    glDisable(GL_MULTISAMPLE);
}

// What the driver switches of a Mac did: recorded calls instead.
std::vector<std::pair<std::string, int>> cgl_calls;
void* fake_current() { return &cgl_calls; }
int fake_enable(void* ctx, int what) {
    cgl_calls.emplace_back(ctx == &cgl_calls ? "enable" : "enable elsewhere", what);
    return 7;
}
int fake_disable(void* ctx, int what) {
    cgl_calls.emplace_back(ctx == &cgl_calls ? "disable" : "disable elsewhere", what);
    return 0;
}

TEST(WindowSwitches, DriverSwitchesOnlyWhereTheDriverHasThem) {
    cgl_entry_points all;
    all.get_current_context = fake_current;
    all.enable = fake_enable;
    all.disable = fake_disable;
    struct row {
        cgl_entry_points cgl;
        int32_t sysv;
        const char* vendor;
        bool threaded;
        std::string log;
        std::vector<std::pair<std::string, int>> calls;
    };
    const std::string off = "Display list preprocessing disabled.\n", on = "Enabling threaded OGL - got 7\n";
    const row rows[] = {
        {all, 0x1039, "NVIDIA Corporation", false, off, {{"disable", 307}}},
        {all, 0x1030, "NVIDIA", true, off + on, {{"disable", 307}, {"enable", 313}}},
        {all, 0x1040, "NVIDIA Corporation", false, "", {}},
        {all, 0x102F, "NVIDIA Corporation", false, "", {}},
        {all, 0x1039, "ATI Technologies Inc.", true, on, {{"enable", 313}}},
        {all, 0x1039, nullptr, false, "", {}},
        {cgl_entry_points{}, 0x1039, "NVIDIA Corporation", true, "", {}},  // as here: no switches
    };
    for (const row& r : rows) {
        cgl_calls.clear();
        log_capture log;
        MACIBM_cgl_switches(r.cgl, r.sysv, r.vendor, r.threaded);
        EXPECT_EQ(log.text(), r.log) << std::hex << r.sysv << " " << (r.vendor ? r.vendor : "-");
        EXPECT_EQ(cgl_calls, r.calls) << std::hex << r.sysv;
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

    // The thread layer asks the shell for its workers' contexts.
    MACIBM_install_gl_thread_hooks();
    gl_thread_hooks installed = set_gl_thread_hooks({});
    EXPECT_EQ(installed.make_context_loader, MACIBM_make_context_loader);
    EXPECT_EQ(installed.set_context_loader, MACIBM_set_context_loader);
}

}  // namespace

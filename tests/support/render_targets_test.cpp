#include "support/render_targets.h"

#include <GL/glext.h>
#include <gtest/gtest.h>

#include <cstring>

#include "common/gl_test_context.h"
#include "common/recorders.h"
#include "core/window_state.h"
#include "graphics/gl_capabilities.h"
#include "graphics/texture_manager.h"

namespace {

GLint bound_framebuffer() {
    GLint b = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING_EXT, &b);
    return b;
}

struct texel {
    GLubyte r, g, b, a;
};

texel texture_texel(int name, int level, int* w = nullptr, int* h = nullptr) {
    glBindTexture(GL_TEXTURE_2D, name);
    GLint dx = 0, dy = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &dx);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &dy);
    if (w) *w = dx;
    if (h) *h = dy;
    std::vector<texel> pixels(static_cast<size_t>(dx) * static_cast<size_t>(dy) + 1);
    glGetTexImage(GL_TEXTURE_2D, level, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels[0];
}

class Framebuffers : public ::testing::Test {
protected:
    void SetUp() override {
        if (!gl_test_context()) GTEST_SKIP() << "no GL";
        reset_recorders();
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        // Values with fractions, which a restore through integers would lose.
        mnw.view_l = 0.25f;
        mnw.view_b = 0.5f;
        mnw.view_r = 800.75f;
        mnw.view_t = 600.5f;
        mnw.layout_dx = 12.5f;
        before_ = mnw;
        flushes_ = g_fbo_flushes.value;
    }
    void TearDown() override {
        glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        gl_test_probe_with({});
    }
    void expect_mnw_restored() { EXPECT_EQ(std::memcmp(&mnw, &before_, sizeof mnw), 0); }

    mnw_struct before_{};
    float flushes_ = 0;
};

TEST_F(Framebuffers, FramebufferPathDrawsIntoTheTextureAndRestoresTheBinding) {
    ASSERT_TRUE(glExt.framebuf_avail);
    glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 79);  // the caller's own target
    OGL_framebuffer target(601, fbo_id{77}, tex_mipmap | 2, 256, 128, 78);
    target.begin_render(1);
    EXPECT_EQ(bound_framebuffer(), 77);
    EXPECT_EQ(glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
    EXPECT_EQ(mnw.x_res, 256);
    EXPECT_EQ(mnw.y_res, 128);
    EXPECT_EQ(mnw.view_r, 256.0f);
    EXPECT_EQ(mnw.view_l, 0.0f);
    EXPECT_EQ(mnw.layout_dx, 0.0f);
    gl_test_clear(1, 0, 0, 1);
    target.end_render();
    EXPECT_EQ(bound_framebuffer(), 79);
    expect_mnw_restored();
    EXPECT_EQ(g_fbo_flushes.value, flushes_ + 1);
    int w = 0, h = 0;
    const texel t = texture_texel(601, 0, &w, &h);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 128);
    EXPECT_EQ(t.r, 255);
    EXPECT_EQ(t.g, 0);
    EXPECT_EQ(texture_texel(601, 1).r, 255);  // the mipmaps were made from the drawing
}

TEST_F(Framebuffers, CopyPathHalvesToFitTheWindowAndReusesItsTexture) {
    gl_test_probe_with({"--no_fbos"});
    ASSERT_EQ(glExt.framebuf_avail, 0);
    OGL_framebuffer target(602, fbo_id{80}, 1, 1024, 1024, 0);
    target.begin_render(1);
    EXPECT_EQ(target.tex_w, 512);
    EXPECT_EQ(target.tex_h, 512);
    EXPECT_EQ(bound_framebuffer(), 0);
    gl_test_clear(0, 1, 0, 1);
    target.end_render();
    expect_mnw_restored();
    // Later drawing finds blending on, no depth test and no depth writes.
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    EXPECT_FALSE(glIsEnabled(GL_DEPTH_TEST));
    GLboolean depth_writes = GL_TRUE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &depth_writes);
    EXPECT_FALSE(depth_writes);
    int w = 0;
    texel t = texture_texel(602, 0, &w);
    EXPECT_EQ(w, 512);
    EXPECT_EQ(t.g, 255);
    EXPECT_EQ(t.r, 0);
    // The second pair finds the texture in place: its pixels are still the first drawing's.
    target.begin_render(1);
    t = texture_texel(602, 0);
    EXPECT_EQ(t.g, 255);
    gl_test_clear(0, 0, 1, 1);
    target.end_render();
    EXPECT_EQ(texture_texel(602, 0).b, 255);
    EXPECT_EQ(g_fbo_flushes.value, flushes_ + 2);
}

TEST_F(Framebuffers, ZeroAsksForTheCopyPathAndDepthOnlyTargetsComplete) {
    ASSERT_TRUE(glExt.framebuf_avail);
    OGL_framebuffer copy(603, fbo_id{81}, 1, 1024, 256, 0);
    copy.begin_render(0);
    EXPECT_EQ(bound_framebuffer(), 0);
    EXPECT_EQ(copy.tex_w, 512);
    EXPECT_EQ(copy.tex_h, 256);
    copy.end_render();
    expect_mnw_restored();

    OGL_framebuffer depth(604, fbo_id{82}, 6, 128, 128, 0);
    depth.begin_render(1);
    EXPECT_EQ(glExt.glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE_EXT));
    depth.end_render();
    expect_mnw_restored();
    EXPECT_TRUE(recorded_alerts().empty());
    EXPECT_EQ(g_fbo_flushes.value, flushes_ + 2);
}

GLenum APIENTRY incomplete_status(GLenum) { return GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT; }

TEST_F(Framebuffers, IncompleteFramebuffersAndEmptyTargetsAreFatal) {
    EXPECT_EXIT(
        {
            glExt.glCheckFramebufferStatusEXT = incomplete_status;
            OGL_framebuffer(605, fbo_id{83}, 2, 64, 64, 0).begin_render(1);
        },
        ::testing::ExitedWithCode(1),
        "ALERT type 2: ERROR: incomplete framebuffer. \\| 36054.000000 \\|  \\|  \\(OGL_framebuffer line 74\\)");
    EXPECT_EXIT(OGL_framebuffer(606, fbo_id{84}, 2, 0, 0, 0).begin_render(1), ::testing::ExitedWithCode(1),
                "Trying to create a texture either less than 1 or greater than 2048");
}

}  // namespace

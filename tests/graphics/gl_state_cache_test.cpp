// The enable-state and binding caches, by the GL calls they make: this program defines the
// counted GL functions itself, records each call and forwards it to the GL library's own.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/gl_test_context.h"
#include "core/statistics.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state_cache.h"
#include "graphics/render_state.h"

namespace {
bool recording = false;
std::vector<std::string> calls;

void record(const char* name, unsigned a, double b = -1) {
    if (!recording) return;
    char buf[64];
    if (b < 0)
        std::snprintf(buf, sizeof buf, "%s %#x", name, a);
    else
        std::snprintf(buf, sizeof buf, "%s %#x %g", name, a, b);
    calls.push_back(buf);
}

// The GL library's own function of that name (this program's definition hides it from the linker).
#define NEXT_GL(type, name) reinterpret_cast<type>(aglGetProcAddress(name))

std::vector<std::string> take() {
    std::vector<std::string> c;
    c.swap(calls);
    return c;
}
}  // namespace

extern "C" {
void glEnable(GLenum cap) {
    record("enable", cap);
    NEXT_GL(void (*)(GLenum), "glEnable")(cap);
}
void glDisable(GLenum cap) {
    record("disable", cap);
    NEXT_GL(void (*)(GLenum), "glDisable")(cap);
}
void glDepthMask(GLboolean on) {
    record("depthmask", on);
    NEXT_GL(void (*)(GLboolean), "glDepthMask")(on);
}
void glActiveTextureARB(GLenum unit) {
    record("unit", unit - GL_TEXTURE0_ARB);
    NEXT_GL(void (*)(GLenum), "glActiveTextureARB")(unit);
}
void glBindTexture(GLenum target, GLuint name) {
    record("bind", name);
    NEXT_GL(void (*)(GLenum, GLuint), "glBindTexture")(target, name);
}
void glTexEnvi(GLenum target, GLenum pname, GLint v) {
    record("envi", pname, v);
    NEXT_GL(void (*)(GLenum, GLenum, GLint), "glTexEnvi")(target, pname, v);
}
void glTexEnvf(GLenum target, GLenum pname, GLfloat v) {
    record("envf", pname, v);
    NEXT_GL(void (*)(GLenum, GLenum, GLfloat), "glTexEnvf")(target, pname, v);
}
}

namespace {
using list = std::vector<std::string>;

class StateCache : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_test_context());
        recording = true;
        calls.clear();
    }
    void TearDown() override { recording = false; }
};

GLint env(GLenum pname) {
    GLint v = 0;
    glGetTexEnviv(GL_TEXTURE_ENV, pname, &v);
    return v;
}
}  // namespace

// First in the file: the depth-write cache starts at "off" without asking GL.
TEST_F(StateCache, FirstCallAndRepeats) {
    OGL_setstate(1, 0, 3, 4, 9, 11);
    for (const std::string& c : take()) EXPECT_EQ(c.rfind("depthmask", 0), std::string::npos) << c;
    OGL_setstate(1, 1, 3, 5, 9, 11);
    take();
    OGL_setstate(1, 1, 3, 5, 9, 11);
    EXPECT_EQ(take(), list{});
    OGL_setstate(1, 1, 3, 7, 9, 10);  // only what changed
    EXPECT_EQ(take(), (list{"enable 0xbc0", "depthmask 0x1"}));
}

TEST_F(StateCache, AlphaCodesOutsideFourToSevenChangeNothing) {
    OGL_setstate(1, 0, 3, 5, 9, 11);
    take();
    OGL_setstate(1, 0, 3, 3, 9, 11);
    OGL_setstate(1, 0, 3, 5, 9, 11);  // blending is still known to be on
    EXPECT_EQ(take(), list{});
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    OGL_setstate(1, 0, 3, 4, 9, 11);
    EXPECT_EQ(take(), list{"disable 0xbe2"});
}

TEST_F(StateCache, TextureUnits) {
    OGL_setstate(1, 3, 3, 4, 9, 11);
    take();
    OGL_setstate(1, 1, 3, 4, 9, 11);
    EXPECT_EQ(take(), (list{"enable 0xde1", "unit 0x1", "disable 0xde1", "unit 0x2", "disable 0xde1", "unit 0"}));
    OGL_setstate(1, 0, 3, 4, 9, 11);
    OGL_setstate(1, 1, 3, 4, 9, 11);
    EXPECT_EQ(take(), (list{"disable 0xde1", "enable 0xde1"}));  // no unit selection for 0 <-> 1

    const int units = ren.max_tex_units;
    ren.max_tex_units = 4;
    OGL_setstate(1, 12, 3, 4, 9, 11);
    EXPECT_EQ(num_units, 4);
    EXPECT_EQ(take(), (list{"enable 0xde1", "unit 0x1", "enable 0xde1", "unit 0x2", "enable 0xde1", "unit 0x3",
                            "enable 0xde1", "unit 0"}));
    // With GLSL the GL reports more units than the eight fixed-function ones the caches track.
    OGL_setstate(1, 1, 3, 4, 9, 11);
    take();
    ren.max_tex_units = 32;
    OGL_setstate(1, 12, 3, 4, 9, 11);
    EXPECT_EQ(num_units, 12);
    list up{"enable 0xde1"}, down;
    for (int u = 1; u < 8; ++u) {
        char n[16];
        std::snprintf(n, sizeof n, "unit %#x", u);
        up.insert(up.end(), {n, "enable 0xde1"});
        down.insert(down.end(), {n, "disable 0xde1"});
    }
    up.push_back("unit 0");
    down.insert(down.begin(), "enable 0xde1");
    down.push_back("unit 0");
    EXPECT_EQ(take(), up);
    OGL_setstate(1, 1, 3, 4, 9, 11);
    EXPECT_EQ(take(), down);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    ren.max_tex_units = units;
    GLint active = 0;
    glGetIntegerv(GL_ACTIVE_TEXTURE_ARB, &active);
    EXPECT_EQ(active, GL_TEXTURE0_ARB);
}

TEST_F(StateCache, Bindings) {
    TEX_reset_bind();
    TEX_bind_ref(5, 0, 0);
    EXPECT_EQ(take(), (list{"bind 0x5", "envi 0x2200 8448"}));  // GL_MODULATE
    TEX_bind_ref(5, 0, 0);
    EXPECT_EQ(take(), list{});
    TEX_bind_ref(5, 0, 25);  // 25 is neither applied nor remembered
    TEX_bind_ref(5, 0, 0);
    EXPECT_EQ(take(), list{});
    TEX_bind_ref(6, 2, 25);
    EXPECT_EQ(take(), (list{"unit 0x2", "bind 0x6", "unit 0"}));
    TEX_reset_bind();
    TEX_bind_ref(5, 0, 0);
    EXPECT_EQ(take(), (list{"bind 0x5", "envi 0x2200 8448"}));
    TEX_bind_ref(7, 8, 0);  // no such slot in the cache
    EXPECT_EQ(take(), list{});
    // Without the combine environment every mode but 25 goes to GL as it is.
    glExt.combine_avail = 0;
    TEX_bind_ref(5, 0, 17);
    TEX_bind_ref(5, 0, 25);
    glExt.combine_avail = 1;
    EXPECT_EQ(take(), list{"envi 0x2200 17"});
    glGetError();  // 17 is no environment mode of GL's own
    TEX_bind_ref(5, 0, 0);
    take();

    UTL_stat::init_stats();
    UTL_stat* kill = nullptr;
    for (UTL_stat* s : UTL_stat::stats_of(stat_debug))
        if (std::string(s->name) == "perf/kill_tex") kill = s;
    ASSERT_NE(kill, nullptr);
    kill->value = 1;
    TEX_bind_ref(392, 0, 0);
    TEX_bind_ref(17, 0, 0);
    kill->value = 0;
    EXPECT_EQ(take(), (list{"bind 0x188", "bind 0x3a2"}));
}

TEST_F(StateCache, CombineModesReadBack) {
    TEX_reset_bind();
    // Every mode of the table, in an order that shows which ones set the environment colour
    // (24 sets 0, the others 1) and which leave the alpha scale alone (23).
    const GLint P = GL_PREVIOUS, T = GL_TEXTURE, K = GL_CONSTANT, Q = GL_PRIMARY_COLOR;
    const GLint C = GL_SRC_COLOR, A = GL_SRC_ALPHA, I = GL_ONE_MINUS_SRC_ALPHA;
    const struct {
        int mode;
        GLint rgb, alpha;
        GLint src_rgb[3], op_rgb[3], src_alpha[3], op_alpha[3];
        GLint alpha_scale;
        float colour;
    } cases[] = {
        {1, GL_ADD, GL_REPLACE, {P, T}, {C, C}, {P}, {A}, 1, -1},
        {2, GL_ADD, GL_ADD, {P, T}, {C, C}, {P, T}, {A, A}, 1, -1},
        {10, GL_MODULATE, GL_REPLACE, {P, T}, {C, C}, {T}, {A}, 1, -1},
        {12, GL_REPLACE, GL_MODULATE, {P}, {C}, {P, T}, {I, A}, 1, -1},
        {14, GL_REPLACE, GL_REPLACE, {P}, {C}, {P}, {A}, 1, -1},
        {18, GL_INTERPOLATE, GL_REPLACE, {T, P, T}, {C, C, A}, {P}, {A}, 1, -1},
        {19, GL_INTERPOLATE, GL_REPLACE, {T, P, P}, {C, C, A}, {P}, {A}, 1, -1},
        {20, GL_MODULATE, GL_REPLACE, {P, T}, {C, A}, {P}, {A}, 1, -1},
        {21, GL_INTERPOLATE, GL_INTERPOLATE, {T, P, K}, {C, C, C}, {T, P, K}, {A, A, A}, 1, -1},
        {24, GL_INTERPOLATE, GL_REPLACE, {Q, K, T}, {C, C, C}, {T}, {A}, 1, 0},
        {15, GL_REPLACE, GL_REPLACE, {P}, {C}, {K}, {A}, 1, 1},
        {24, GL_INTERPOLATE, GL_REPLACE, {Q, K, T}, {C, C, C}, {T}, {A}, 1, 0},
        {16, GL_MODULATE, GL_REPLACE, {P, T}, {C, C}, {K}, {A}, 1, 1},
        {24, GL_INTERPOLATE, GL_REPLACE, {Q, K, T}, {C, C, C}, {T}, {A}, 1, 0},
        {13, GL_MODULATE, GL_REPLACE, {P, P}, {C, I}, {K}, {A}, 1, 1},
        {11, GL_REPLACE, GL_SUBTRACT, {P}, {C}, {T, P}, {A, A}, 4, -1},
        {23, GL_MODULATE, GL_REPLACE, {P, Q}, {C, C}, {P}, {A}, 4, -1},  // keeps the scale the mode before set
        {17, GL_REPLACE, GL_REPLACE, {T}, {A}, {K}, {A}, 1, 1},
        {22, GL_INTERPOLATE, GL_REPLACE, {T, K, T}, {C, C, A}, {P}, {A}, 1, 1},  // keeps 17's colour
        {24, GL_INTERPOLATE, GL_REPLACE, {Q, K, T}, {C, C, C}, {T}, {A}, 1, 0},
    };
    const GLenum src_rgb[3] = {GL_SOURCE0_RGB, GL_SOURCE1_RGB, GL_SOURCE2_RGB};
    const GLenum op_rgb[3] = {GL_OPERAND0_RGB, GL_OPERAND1_RGB, GL_OPERAND2_RGB};
    const GLenum src_alpha[3] = {GL_SOURCE0_ALPHA, GL_SOURCE1_ALPHA, GL_SOURCE2_ALPHA};
    const GLenum op_alpha[3] = {GL_OPERAND0_ALPHA, GL_OPERAND1_ALPHA, GL_OPERAND2_ALPHA};
    for (const auto& c : cases) {
        TEX_bind_ref(1, 0, c.mode);
        EXPECT_EQ(env(GL_TEXTURE_ENV_MODE), GL_COMBINE) << c.mode;
        EXPECT_EQ(env(GL_COMBINE_RGB), c.rgb) << c.mode;
        EXPECT_EQ(env(GL_COMBINE_ALPHA), c.alpha) << c.mode;
        for (int i = 0; i < 3 && c.src_rgb[i]; ++i) {
            EXPECT_EQ(env(src_rgb[i]), c.src_rgb[i]) << c.mode << " rgb " << i;
            EXPECT_EQ(env(op_rgb[i]), c.op_rgb[i]) << c.mode << " rgb " << i;
        }
        for (int i = 0; i < 3 && c.src_alpha[i]; ++i) {
            EXPECT_EQ(env(src_alpha[i]), c.src_alpha[i]) << c.mode << " alpha " << i;
            EXPECT_EQ(env(op_alpha[i]), c.op_alpha[i]) << c.mode << " alpha " << i;
        }
        GLfloat scale = 0, colour[4] = {-1, -1, -1, -1};
        glGetTexEnvfv(GL_TEXTURE_ENV, GL_ALPHA_SCALE, &scale);
        EXPECT_EQ(scale, static_cast<float>(c.alpha_scale)) << c.mode;
        glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
        if (c.colour >= 0) {
            EXPECT_EQ(colour[3], c.colour) << c.mode;
        }
    }
    // Mode 24 (four times above) sets its enumerants through glTexEnvf.
    int floats = 0;
    for (const std::string& c : take()) floats += c.rfind("envf 0x8571", 0) == 0;  // GL_COMBINE_RGB
    EXPECT_EQ(floats, 4);

    TEX_set_blend_level(0, 0.25f);
    TEX_set_blend_level(1, 0.5f);
    glActiveTextureARB(GL_TEXTURE1_ARB);
    GLfloat colour[4] = {0, 0, 0, 0};
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    glActiveTextureARB(GL_TEXTURE0_ARB);
    EXPECT_FLOAT_EQ(colour[1], 0.5f);
    glGetTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    EXPECT_FLOAT_EQ(colour[1], 0.25f);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

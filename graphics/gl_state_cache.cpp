// The GL enable-state and texture-binding caches (graphics layer).
#include "graphics/gl_state_cache.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include "core/statistics.h"
#include "graphics/gl_capabilities.h"
#include "graphics/render_state.h"

void OGL_set_gl_defaults(int multisample) {
    const GLfloat no_ambient[4] = {0, 0, 0, 0};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, no_ambient);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glAlphaFunc(GL_GREATER, 0.0f);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthFunc(GL_LEQUAL);
    glFogi(GL_FOG_MODE, GL_LINEAR);
    glHint(GL_FOG_HINT, GL_FASTEST);
    // Every quad of the drawing code is wound clockwise in y-up space.
    glFrontFace(GL_CW);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DITHER);
    glDisable(GL_LOGIC_OP);
    glDisable(GL_STENCIL_TEST);
    glDisable(GL_TEXTURE_1D);
    glDisable(GL_NORMALIZE);
    glDisable(GL_SCISSOR_TEST);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    if (multisample) glEnable(GL_MULTISAMPLE_ARB);
    glDepthMask(GL_FALSE);
}

// --- enable states

int num_units = 1;

namespace {
constexpr int cache_units = 8;  // fixed-function units the caches track

void set_enabled(GLenum cap, bool on) {
    if (on)
        glEnable(cap);
    else
        glDisable(cap);
}
}  // namespace

void OGL_setstate(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write) {
    static int o_fog = glIsEnabled(GL_FOG) ? 0 : 1;
    static int o_tex_units = glIsEnabled(GL_TEXTURE_2D) ? num_units : 0;
    static int o_lit = glIsEnabled(GL_LIGHTING) ? 2 : 3;
    static int o_alB = glIsEnabled(GL_BLEND) ? 1 : 0;
    static int o_alT = glIsEnabled(GL_ALPHA_TEST) ? 1 : 0;
    static int o_deR = glIsEnabled(GL_DEPTH_TEST) ? 8 : 9;
    static int o_deW = 11;  // GL is never asked

    if (fog != o_fog) set_enabled(GL_FOG, fog == 0);
    o_fog = fog;

    if (tex_units != o_tex_units) {
        set_enabled(GL_TEXTURE_2D, tex_units > 0);  // the active unit, unit 0
        const int m = o_tex_units;
        int n = tex_units < 0 ? 0 : tex_units;
        if (n > ren.max_tex_units) n = ren.max_tex_units;
        num_units = n;
        if (n > 1 || m > 1) {
            for (int u = 0; u < cache_units; ++u) {
                if (u < m || u >= n) continue;
                glActiveTextureARB(GL_TEXTURE0_ARB + u);
                glEnable(GL_TEXTURE_2D);
            }
            for (int u = 0; u < cache_units; ++u) {
                if (u < n || u >= m) continue;
                glActiveTextureARB(GL_TEXTURE0_ARB + u);
                glDisable(GL_TEXTURE_2D);
            }
            glActiveTextureARB(GL_TEXTURE0_ARB);
        }
        o_tex_units = n;
    }

    if (lighting != o_lit) {
        set_enabled(GL_LIGHTING, lighting == 2);
        set_enabled(GL_LIGHT0, lighting == 2);
    }
    o_lit = lighting;

    // Only 4-7 are alpha codes; another leaves GL and the cache as they are.
    if (alpha >= 4 && alpha <= 7) {
        const int blend = alpha == 5 || alpha == 7;
        const int test = alpha == 6 || alpha == 7;
        if (blend != o_alB) set_enabled(GL_BLEND, blend);
        if (test != o_alT) set_enabled(GL_ALPHA_TEST, test);
        o_alB = blend;
        o_alT = test;
    }

    if (depth_test != o_deR) set_enabled(GL_DEPTH_TEST, depth_test == 8);
    o_deR = depth_test;

    if (depth_write != o_deW) glDepthMask(depth_write == 10 ? GL_TRUE : GL_FALSE);
    o_deW = depth_write;
}

// --- texture bindings

namespace {
int o_tex[cache_units] = {-1, -1, -1, -1, -1, -1, -1, -1};  // texture name bound per unit
int o_mod[cache_units] = {-1, -1, -1, -1, -1, -1, -1, -1};  // environment mode set per unit

UTL_stat gKillTex("perf/kill_tex", stat_debug, 0.0f);

enum : GLenum { prev = GL_PREVIOUS_ARB, tex = GL_TEXTURE, cnst = GL_CONSTANT_ARB, prim = GL_PRIMARY_COLOR_ARB };

struct combine_source {
    GLenum source;  // 0 ends the list
    GLenum operand;
};
struct combine_setup {
    int mode;
    int colour_when;  // 0 none, 1 before GL_COMBINE, 2 after it
    float colour;
    GLenum rgb_func;
    combine_source rgb[3];
    GLenum alpha_func;
    combine_source alpha[3];
    float alpha_scale;  // 0: not set
};

constexpr GLenum col = GL_SRC_COLOR, alp = GL_SRC_ALPHA, inv = GL_ONE_MINUS_SRC_ALPHA;

// clang-format off
const combine_setup combine_modes[] = {
    {1, 0, 0, GL_ADD, {{prev, col}, {tex, col}}, GL_REPLACE, {{prev, alp}}, 1},
    {2, 0, 0, GL_ADD, {{prev, col}, {tex, col}}, GL_ADD, {{prev, alp}, {tex, alp}}, 1},
    {10, 0, 0, GL_MODULATE, {{prev, col}, {tex, col}}, GL_REPLACE, {{tex, alp}}, 1},
    {11, 0, 0, GL_REPLACE, {{prev, col}}, GL_SUBTRACT_ARB, {{tex, alp}, {prev, alp}}, 4},
    {12, 0, 0, GL_REPLACE, {{prev, col}}, GL_MODULATE, {{prev, inv}, {tex, alp}}, 1},
    {13, 2, 1, GL_MODULATE, {{prev, col}, {prev, inv}}, GL_REPLACE, {{cnst, alp}}, 1},
    {14, 0, 0, GL_REPLACE, {{prev, col}}, GL_REPLACE, {{prev, alp}}, 1},
    {15, 1, 1, GL_REPLACE, {{prev, col}}, GL_REPLACE, {{cnst, alp}}, 1},
    {16, 1, 1, GL_MODULATE, {{prev, col}, {tex, col}}, GL_REPLACE, {{cnst, alp}}, 1},
    {17, 1, 1, GL_REPLACE, {{tex, alp}}, GL_REPLACE, {{cnst, alp}}, 1},
    {18, 0, 0, GL_INTERPOLATE_ARB, {{tex, col}, {prev, col}, {tex, alp}}, GL_REPLACE, {{prev, alp}}, 1},
    {19, 0, 0, GL_INTERPOLATE_ARB, {{tex, col}, {prev, col}, {prev, alp}}, GL_REPLACE, {{prev, alp}}, 1},
    {20, 0, 0, GL_MODULATE, {{prev, col}, {tex, alp}}, GL_REPLACE, {{prev, alp}}, 1},
    {21, 0, 0, GL_INTERPOLATE_ARB, {{tex, col}, {prev, col}, {cnst, col}}, GL_INTERPOLATE_ARB,
     {{tex, alp}, {prev, alp}, {cnst, alp}}, 1},
    {22, 0, 0, GL_INTERPOLATE_ARB, {{tex, col}, {cnst, col}, {tex, alp}}, GL_REPLACE, {{prev, alp}}, 1},
    {23, 0, 0, GL_MODULATE, {{prev, col}, {prim, col}}, GL_REPLACE, {{prev, alp}}, 0},
    {24, 2, 0, GL_INTERPOLATE_ARB, {{prim, col}, {cnst, col}, {tex, col}}, GL_REPLACE, {{tex, alp}}, 1},
};
// clang-format on

const GLenum rgb_params[3][2] = {{GL_SOURCE0_RGB_ARB, GL_OPERAND0_RGB_ARB},
                                 {GL_SOURCE1_RGB_ARB, GL_OPERAND1_RGB_ARB},
                                 {GL_SOURCE2_RGB_ARB, GL_OPERAND2_RGB_ARB}};
const GLenum alpha_params[3][2] = {{GL_SOURCE0_ALPHA_ARB, GL_OPERAND0_ALPHA_ARB},
                                   {GL_SOURCE1_ALPHA_ARB, GL_OPERAND1_ALPHA_ARB},
                                   {GL_SOURCE2_ALPHA_ARB, GL_OPERAND2_ALPHA_ARB}};

void apply_combine(const combine_setup& s) {
    // Mode 24 passes its enumerants (the mode again first) as floats, through glTexEnvf.
    const bool as_float = s.mode == 24;
    auto env = [as_float](GLenum pname, GLenum value) {
        if (as_float)
            glTexEnvf(GL_TEXTURE_ENV, pname, static_cast<GLfloat>(value));
        else
            glTexEnvi(GL_TEXTURE_ENV, pname, static_cast<GLint>(value));
    };
    const GLfloat colour[4] = {s.colour, s.colour, s.colour, s.colour};
    if (s.colour_when == 1) glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    if (s.colour_when == 2) glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    if (as_float) env(GL_TEXTURE_ENV_MODE, GL_COMBINE_ARB);
    env(GL_COMBINE_RGB_ARB, s.rgb_func);
    for (int i = 0; i < 3 && s.rgb[i].source; ++i) {
        env(rgb_params[i][0], s.rgb[i].source);
        env(rgb_params[i][1], s.rgb[i].operand);
    }
    env(GL_COMBINE_ALPHA_ARB, s.alpha_func);
    for (int i = 0; i < 3 && s.alpha[i].source; ++i) {
        env(alpha_params[i][0], s.alpha[i].source);
        env(alpha_params[i][1], s.alpha[i].operand);
    }
    if (s.alpha_scale > 0) glTexEnvf(GL_TEXTURE_ENV, GL_ALPHA_SCALE, s.alpha_scale);
}

void apply_mode(int mode) {
    if (glExt.combine_avail) {
        for (const combine_setup& s : combine_modes)
            if (s.mode == mode) return apply_combine(s);
    }
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, mode);
}
}  // namespace

void TEX_bind_ref(int texture, int unit, int mode) {
    // The cache has eight slots; a unit outside them would write past its arrays.
    if (unit < 0 || unit >= cache_units) return;
    if (mode == 0) mode = GL_MODULATE;
    if (gKillTex.value != 0 && texture != kill_tex_keep) texture = kill_tex_grey;
    if (o_tex[unit] == texture && o_mod[unit] == mode) return;
    if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    if (o_tex[unit] != texture) {
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(texture));
        o_tex[unit] = texture;
    }
    if (mode != 25 && mode != o_mod[unit]) {
        o_mod[unit] = mode;
        apply_mode(mode);
    }
    if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB);
}

void TEX_reset_bind() {
    for (int u = 0; u < cache_units; ++u) o_tex[u] = o_mod[u] = -1;
}

void TEX_set_blend_level(int unit, float level) {
    if (unit < 0 || unit >= ren.max_tex_units) return;
    const GLfloat colour[4] = {level, level, level, level};
    if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB + unit);
    glTexEnvfv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_COLOR, colour);
    if (unit > 0) glActiveTextureARB(GL_TEXTURE0_ARB);
}

// Graphics layer (graphics/).
// The GL enable-state cache, the texture-binding cache and the context's start-up defaults.
// Drawing code states what it needs here instead of calling glEnable and glBindTexture itself;
// a call that asks for the cached state makes no GL call. Main (GL) thread only.
#pragma once

// The GL state every new context starts from (the shell's and the tests' alike).
// multisample: the pixel format has anti-aliasing samples.
void OGL_set_gl_defaults(int multisample);

// Codes: fog 0 on, 1 off; n texture units; lighting 2 on, 3 off; alpha 4 none, 5 blending,
// 6 alpha test, 7 both; depth test 8 on, 9 off; depth writes 10 on, 11 off.
void OGL_setstate(int fog, int tex_units, int lighting, int alpha, int depth_test, int depth_write);

// Texture units the last OGL_setstate enabled.
extern int num_units;

// Binds GL texture name `texture` on unit 0..7 with environment mode `mode` (0 modulate, 1-24 the
// combine set-ups, 25 leaves the environment alone).
void TEX_bind_ref(int texture, int unit, int mode);
// Forgets every binding, so the next bind on any unit makes its GL calls again.
void TEX_reset_bind();
// The constant colour (level, level, level, level) that modes 21 and 22 blend with.
void TEX_set_blend_level(int unit, float level);

// Texture names that "perf/kill_tex" leaves alone and binds instead of every other.
inline constexpr int kill_tex_keep = 392;
inline constexpr int kill_tex_grey = 930;

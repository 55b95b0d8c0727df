// An OpenGL context without a window, for tests and tools: an EGL pbuffer on Mesa's surfaceless
// platform, so no X server is needed. Always a compatibility profile (the drawing code is fixed
// function), RGBA8 with a 24-bit depth buffer.
#pragma once

#include <string>

namespace plat {
struct offscreen_gl;

// Makes the context and makes it current on the calling thread; null (with why set) on failure.
offscreen_gl* offscreen_gl_open(int width, int height, std::string* why);
// Releases it; the calling thread then has no current context.
void offscreen_gl_close(offscreen_gl* gl);
}  // namespace plat

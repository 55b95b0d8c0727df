#include "platform/plat_offscreen_gl.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>

#include <cstdio>
#include <cstdlib>

namespace plat {

struct offscreen_gl {
    EGLDisplay display = EGL_NO_DISPLAY;
    EGLContext context = EGL_NO_CONTEXT;
    EGLSurface surface = EGL_NO_SURFACE;
};

namespace {
std::string egl_error(const char* step) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%s failed (EGL error 0x%04x)", step, static_cast<unsigned>(eglGetError()));
    return buf;
}
}  // namespace

offscreen_gl* offscreen_gl_open(int width, int height, std::string* why) {
    // Without it Mesa's default platform looks for an X server.
    setenv("EGL_PLATFORM", "surfaceless", 0);
    auto* gl = new offscreen_gl;
    auto fail = [&](const char* step) -> offscreen_gl* {
        if (why) *why = egl_error(step);
        offscreen_gl_close(gl);
        return nullptr;
    };
    auto get_display =
        reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(eglGetProcAddress("eglGetPlatformDisplayEXT"));
    gl->display = get_display ? get_display(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr)
                              : eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (gl->display == EGL_NO_DISPLAY) return fail("eglGetPlatformDisplayEXT");
    EGLint major = 0, minor = 0;
    if (!eglInitialize(gl->display, &major, &minor)) {
        gl->display = EGL_NO_DISPLAY;
        return fail("eglInitialize");
    }
    const EGLint config_attrs[] = {EGL_SURFACE_TYPE, EGL_PBUFFER_BIT, EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8,
                                   EGL_BLUE_SIZE, 8, EGL_ALPHA_SIZE, 8, EGL_DEPTH_SIZE, 24,
                                   EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config = nullptr;
    EGLint count = 0;
    if (!eglChooseConfig(gl->display, config_attrs, &config, 1, &count) || count < 1)
        return fail("eglChooseConfig");
    if (!eglBindAPI(EGL_OPENGL_API)) return fail("eglBindAPI");
    const EGLint context_attrs[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK, EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT,
                                    EGL_NONE};
    gl->context = eglCreateContext(gl->display, config, EGL_NO_CONTEXT, context_attrs);
    if (gl->context == EGL_NO_CONTEXT) return fail("eglCreateContext");
    const EGLint surface_attrs[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    gl->surface = eglCreatePbufferSurface(gl->display, config, surface_attrs);
    if (gl->surface == EGL_NO_SURFACE) return fail("eglCreatePbufferSurface");
    if (!eglMakeCurrent(gl->display, gl->surface, gl->surface, gl->context)) return fail("eglMakeCurrent");
    return gl;
}

void offscreen_gl_close(offscreen_gl* gl) {
    if (!gl) return;
    if (gl->display != EGL_NO_DISPLAY) {
        eglMakeCurrent(gl->display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        if (gl->surface != EGL_NO_SURFACE) eglDestroySurface(gl->display, gl->surface);
        if (gl->context != EGL_NO_CONTEXT) eglDestroyContext(gl->display, gl->context);
        eglTerminate(gl->display);
    }
    delete gl;
}

}  // namespace plat

#include "common/gl_test_context.h"

#include <GL/gl.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "core/window_state.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state_cache.h"
#include "graphics/screen_2d.h"
#include "platform/plat_offscreen_gl.h"

namespace {
// The probe's capability block stays out of the test output.
class quiet_probe_env : public gl_probe_env {
public:
    void log(const std::string&) override {}
    // The command line's switches, unless a test gives its own.
    int has_option(const char* name) override {
        if (!forced) return gl_probe_env::has_option(name);
        for (const char* o : options)
            if (!std::strcmp(o, name)) return 1;
        return 0;
    }
    bool forced = false;
    std::vector<const char*> options;
};
}  // namespace

bool gl_test_context() {
    static const bool ready = [] {
        std::string why;
        // Kept to the end of the program: drivers do not like contexts torn down at exit.
        static plat::offscreen_gl* gl = plat::offscreen_gl_open(gl_test_width, gl_test_height, &why);
        if (!gl) {
            std::fprintf(stderr, "No GL test context: %s\n", why.c_str());
            return false;
        }
        if (glExt.init_entry_points() != 0) return false;
        OGL_set_gl_defaults(0);
        quiet_probe_env env;
        glExt.init_extensions(env);
        mnw.x_res = gl_test_width;
        mnw.y_res = gl_test_height;
        mnw.curwin = 0;
        OGL_pix_specs(0);
        return true;
    }();
    return ready;
}

void gl_test_probe_with(std::initializer_list<const char*> options) {
    quiet_probe_env env;
    env.forced = true;
    env.options.assign(options.begin(), options.end());
    glExt.init_extensions(env);
}

gl_test_rgba gl_test_pixel(int x, int y) {
    gl_test_rgba p{};
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &p);
    return p;
}

double gl_test_luminance(gl_test_rgba c) {
    auto lin = [](int v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
}

double gl_test_contrast(gl_test_rgba a, gl_test_rgba b) {
    double la = gl_test_luminance(a), lb = gl_test_luminance(b);
    if (la < lb) std::swap(la, lb);
    return (la + 0.05) / (lb + 0.05);
}

void gl_test_clear(float r, float g, float b, float a) {
    glClearColor(r, g, b, a);
    glClear(GL_COLOR_BUFFER_BIT);
}

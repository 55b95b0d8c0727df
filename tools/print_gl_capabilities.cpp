// Tools (tools/).
// Prints the capability block of this machine's OpenGL, as the installer writes it to its log,
// from an offscreen context (no X server needed).
#include <cstdio>
#include <string>

#include "graphics/gl_capabilities.h"
#include "platform/plat_offscreen_gl.h"

namespace {
class stdout_probe_env : public gl_probe_env {
public:
    void log(const std::string& text) override { std::fputs(text.c_str(), stdout); }
};
}  // namespace

int main() {
    std::string why;
    plat::offscreen_gl* gl = plat::offscreen_gl_open(800, 600, &why);
    if (!gl) {
        std::fprintf(stderr, "No OpenGL context: %s\n", why.c_str());
        return 1;
    }
    int status = 1;
    if (glExt.init_entry_points() == 0) {
        stdout_probe_env env;
        glExt.init_extensions(env);
        status = 0;
    }
    plat::offscreen_gl_close(gl);
    return status;
}

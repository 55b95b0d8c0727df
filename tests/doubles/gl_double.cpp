#include "doubles/gl_double.h"

#include <atomic>

#include "graphics/ogl_extensions.h"
#include "shell/alert.h"
#include "shell/gl_context.h"

namespace {
std::atomic<bool> make_gives{true};
std::atomic<bool> set_works{true};
std::atomic<int> make_calls{0};
std::atomic<int> set_calls{0};
plat::gl_context_ref fake_context() {
    static int token;
    return reinterpret_cast<plat::gl_context_ref>(&token);
}
}  // namespace

void gl_double_reset() {
    make_gives = true;
    set_works = true;
    make_calls = 0;
    set_calls = 0;
    glExt.threaded_avail = 1;
}

void gl_double_set_loader_result(bool make_gives_context, bool set_succeeds) {
    make_gives = make_gives_context;
    set_works = set_succeeds;
}

int gl_double_make_loader_calls() { return make_calls; }
int gl_double_set_loader_calls() { return set_calls; }

plat::gl_context_ref MACIBM_make_context_loader() {
    ++make_calls;
    return make_gives ? fake_context() : nullptr;
}

int MACIBM_set_context_loader(plat::gl_context_ref ctx) {
    ++set_calls;
    return set_works && ctx == fake_context() ? 1 : 0;
}

OGL_extensions glExt;

void OGL_extensions::threaded_ogl_failed() {
    if (!threaded_avail) return;
    threaded_avail = 0;
    __MACIBM_alert(0, "There was a problem setting up OpenGL.",
                   "You can still fly, but you may experience pauses during flight while scenery loads.", "",
                   "(Please send your log.txt file to Tessaly for debugging purposes.)", t_alert, __FILE__,
                   __LINE__);
}

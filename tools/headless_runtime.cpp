// What a command-line tool needs of the window, the start-up and the support libraries, which it
// never opens or starts. Every definition is weak: once the program's own are linked in, theirs
// are used.

#include <unistd.h>

#include <climits>
#include <string>

#include "files/io_utils.h"
#include "graphics/ogl_extensions.h"
#include "shell/gl_context.h"
#include "widgets/focus_ring.h"

#define TOOL_WEAK __attribute__((weak))

// No window: worker threads never get an OpenGL context.
TOOL_WEAK OGL_extensions glExt;
TOOL_WEAK void OGL_extensions::threaded_ogl_failed() { threaded_avail = 0; }
TOOL_WEAK plat::gl_context_ref MACIBM_make_context_loader() { return nullptr; }
TOOL_WEAK int MACIBM_set_context_loader(plat::gl_context_ref) { return 0; }
TOOL_WEAK void BTN_unfocus_any() {}

// Paths are taken as given: no case correction.
TOOL_WEAK int g_case_sensitive = 0;
TOOL_WEAK int findPath(char*) { return 0; }

// The folder holding the tool (ending in '/'), or the tool itself.
TOOL_WEAK void MACIBM_set_app_path(std::string* out, int keep_bundle) {
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0 || !out) return;
    std::string exe(buf, static_cast<size_t>(n));
    *out = keep_bundle ? exe : exe.substr(0, exe.rfind('/') + 1);
}

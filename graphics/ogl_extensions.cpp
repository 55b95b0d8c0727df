#include "graphics/ogl_extensions.h"

#include "core/alert.h"

OGL_extensions glExt;

void OGL_extensions::threaded_ogl_failed() {
    if (!threaded_avail) return;
    threaded_avail = 0;
    __MACIBM_alert(0, "There was a problem setting up OpenGL.",
                   "You can still fly, but you may experience pauses during flight while scenery loads.", "",
                   "(Please send your log.txt file to Tessaly for debugging purposes.)", t_alert, __FILE__,
                   __LINE__);
}

#include "support/shader.h"

#include "core/utl_stat.h"

void do_reload() {}

static UTL_remote_cmd reload_cmd("Reload Pixel Shaders...", do_reload);

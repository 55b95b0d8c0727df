#include "wizard/wizard_run.h"

#include "shell/frame.h"
#include "simfeatures/scenery_library.h"
#include "support/lazy_memory_pool.h"
#include "support/render_targets.h"
#include "support/shader_manager.h"
#include "wizard/dvd_install.h"
#include "wizard/web_demo.h"
#include "wizard/web_update.h"
#include "wizard/wizard_frame.h"
#include "wizard/wizard_main.h"

void wizard_register_units() {
    g_fbo_flushes.publish();
    g_memory_used.publish();
    g_reload_shaders_cmd.publish();
    DSF_ClearLibrary();
}

int wizard_run(int argc, char** argv, wizard_variant variant) {
    const screen_fn first = variant == variant_updater ? net_start : variant == variant_webdemo ? demo_start : dvd_start;
    set_app_hooks({APP_update, APP_handlemenu, APP_window_closed});
    return wizard_main(argc, argv, first);
}

#include "shell/builder_window.h"

#include "core/globals.h"
#include "core/interface_strings.h"
#include "graphics/background_and_screenshot.h"
#include "graphics/bitmap_text.h"
#include "graphics/primitives.h"
#include "graphics/screen_2d.h"
#include "install/builder.h"
#include "platform/plat_window.h"
#include "shell/frame.h"
#include "shell/startup.h"

bool builder_open_window(int argc, const char* const* argv) {
    if (!plat::video_init()) return false;
    MACIBM_init(argc, argv);
    stls[603] = "OK";  // the alerts' button
    MACIBM_startwind(0, 0);
    g_builder_progress = builder_window_progress;
    g_builder_key_poll = builder_window_key;
    return true;
}

void builder_window_progress(const std::string& line1, const std::string& line2) {
    xer << line1 << "\n  " << line2 << "\n";
    xer.flush();
    // What the back buffer holds after a swap is undefined: above the bar the window shows the
    // program's background.
    OGL_plot_back_col();
    OGL_fillrect(0, 1.0f, 0, 0, 1024, 30);
    OGL_string(12, 10, 17, line1, 9999, 100, 0);
    OGL_string(12, 10, 7, line2, 9999, 100, 0);
    OGL_sbuff();
}

int builder_window_key() {
    plat::event ev;
    while (plat::wait_next_event(0, &ev))
        if ((ev.what == plat::ev_key_down || ev.what == plat::ev_auto_key) && (ev.message & 0xFF) == 'q')
            return 'q';
    return 0;
}

#include "wizard/prefs_screen.h"

#include "core/globals.h"
#include "core/strings.h"
#include "core/window_state.h"
#include "graphics/background_and_screenshot.h"
#include "install/install_state.h"
#include "net/http_client.h"
#include "shell/frame.h"
#include "widgets/widget_kit.h"

namespace {
constexpr int prefs_window = 2;
}  // namespace

unsigned proxy_port_of(const std::string& text, unsigned old) {
    const int port = str_to_int(text);
    // Text that is no port (str_to_int's -1 among it) would become a port of 65535.
    return port >= 1 && port <= 65535 ? static_cast<unsigned>(port) : old;
}

void prefs_frame() {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
    float next_x = 0, next_y = 0;
    BTN_subwin(0, 13, 10, 10, -1, 70, "Proxy (if you are behind a firewall with a Proxy)", &next_x, &next_y);
    BTN_subwin(0, 13, 10, next_y, -1, -1, "General Preferences", nullptr, nullptr);

    // The list counts from 0, the platform from 1.
    stg.platform -= 1;
    BTN_textlist(
        200, 310, &stg.platform, "Macintosh-Windows-Linux",
        "Operating System to download Volatra for:|(Install and copy the entire Volatra folder to another "
        "computer if you like)");
    stg.platform += 1;

    BTN_bool(
        30, 265, &stg.log_actions,
        "|log installer actions... turn this on to output the installer file downloads and stuff to the file "
        "log.txt.",
        0);

    int manual = stg.stream_count != 0 ? 1 : 0;
    BTN_bool(30, 150, &manual,
             "|manually set the number of download streams... typically leave this OFF, and the installer "
             "will find "
             "the best number of streams for you.",
             0);
    if (!manual)
        stg.stream_count = 0;
    else
        BTN_int_range(400, 150, &stg.stream_count, 1, 1, 4, "");

    BTN_enterstring(85, 40, &http.proxy_host, 65, "-proxy host", 455, 0);
    BTN_enterstring(85, 20, &http.proxy_port_text, 65, "-proxy port", 455, 0);
    if (!http.proxy_port_text.empty()) http.proxy_port = proxy_port_of(http.proxy_port_text, http.proxy_port);
}

void handle_prefs() {
    MACIBM_startwind(prefs_window, 0);
    xer << "Preferences opened.\n";
    xer.flush();
    while (mnw.curwin == prefs_window && !app_done) {
        prefs_frame();
        MACIBM_event_proc();
    }
    xer << "Preferences closed: platform " << stg.platform << ", logging " << stg.log_actions << ", streams "
        << stg.stream_count << ", proxy " << http.proxy_host << " port " << http.proxy_port << ".\n";
    xer.flush();
}

// APP_update: one frame of the wizard, its fixed frame and the current screen (installer wizard layer).
#include "core/globals.h"
#include "core/window_state.h"
#include "graphics/palette.h"
#include "install/install_state.h"
#include "shell/frame.h"
#include "widgets/widget_kit.h"
#include "wizard/wizard_draw.h"
#include "wizard/wizard_frame.h"

int interface_rect(float x, float y, float sx, float sy, float w, float h, int highlight, int look) {
    const bool inside = mnw.mouse_x >= x && mnw.mouse_x <= x + w && mnw.mouse_y >= y && mnw.mouse_y <= y + h;
    if (highlight && inside) sy -= mnw.mouse_held ? h + 1 : 2 * (h + 1);
    // The 1024 x 70 elements image lies in a 1024 x 128 texture.
    wizard_image(393, -1, look == 2 ? 0.5f : 1.0f, {{x, y, x + w, y + h, sx, sy, sx + w, sy + h}});
    return mnw.mouse_down && inside ? 1 : 0;
}

namespace {
bool window_closed = false;
bool screen_ran = false;  // a screen has had a frame, so a close waits for its Quit hook
}  // namespace

void APP_window_closed() {
    if (!window_closed) xer << "WIZARD window closed: quitting as Quit does.\n";
    window_closed = true;
    // Before any screen (under the preferences window or the about box, which come first and
    // hold the frame) there is no run to end: the program ends now, and so does their loop.
    if (!screen_ran) app_done = 1;
}

void APP_update() {
    static screen_fn called_last = nullptr;
    colr.assign(103, 1, 1, 1);
    const float W = static_cast<float>(mnw.x_res), H = static_cast<float>(mnw.y_res);
    wizard_image(395, -1, 1.0f, {{0, 0, W, H, 0, 0, W, H}});
    BTN_frame2(20, 10, 50, 190, 453, "");
    BTN_frame2(20, 210, 50, 580, 453, "");
    for (size_t i = 0; i < step_names.size(); ++i)
        wizard_text(step_funcs[i] == g_wizard ? 65 : 45, 30, 480 - 20.0f * i, step_names[i], 180, 0);

    if (!g_wizard) {
        app_done = 1;
        called_last = nullptr;
        return;
    }
    wizard_screen screen;
    const int entered = g_wizard != called_last;
    if (entered) {
        xer << "WIZARD entered " << wizard_screen_name(g_wizard) << "\n";
        xer.flush();
    }
    called_last = g_wizard;
    screen_ran = true;
    const int result = g_wizard(entered, screen);

    wizard_text(12, 500, 480, screen.title, 540, 1);
    // A line may reach past the wrap up to the panel's inside, which ends at 790.
    wizard_text_within(12, 230, 440, screen.text, 540, 790 - 230, 0);

    for (size_t i = 0; i < screen.choice_labels.size(); ++i)
        if (BTN_action(500, 350 - 25.0f * i, 250, 0, 1, screen.choice_labels[i], "-"))
            g_wizard = i < screen.choice_targets.size() ? screen.choice_targets[i] : nullptr;

    if (screen.progress >= 0) {
        const float w = progress_bar_width(screen.progress);
        BTN_frame1(4, 500 - mnw.subwin_x, 155 - mnw.subwin_y, 520, 0);
        BTN_frame1(5, 240 + w / 2 - mnw.subwin_x, 155 - mnw.subwin_y, w, 0);
        wizard_text(12, 242, 120, screen.progress_caption, 520, 0);
    }

    if (screen.show_servers && stg.server_count > 0) {
        const int n = stg.server_count < max_servers ? stg.server_count : max_servers;
        for (int i = 0; i < n; ++i) {
            const float y = server_row_y(i, n);
            BTN_is_int(30, y, &stg.server_index, i, "");
            std::string left, right, help;
            BTN_expand_label(server_desc[i], left, right, help);
            wizard_text(45, 50, y, server_desc[i].find('|') == std::string::npos ? server_desc[i] : right, 130, 0);
        }
    }

    // Closing the window is the Quit button: a run in progress ends the same careful way.
    const bool quit_pressed = screen.next != wizard_quit && interface_rect(30, 12, 1, 46, 50, 22, 1, 0);
    if (quit_pressed || window_closed) {
        if (screen.on_quit) screen.on_quit();
        app_done = 1;
        window_closed = false;
    }
    if (interface_rect(560, 12, 54, 46, 89, 22, screen.back != nullptr, screen.back ? 0 : 2) && screen.back)
        g_wizard = screen.back;
    const bool quit_image = screen.next == wizard_quit;
    if (interface_rect(670, 12, quit_image ? 1 : 150, 46, quit_image ? 50 : 100, 22, screen.next != nullptr,
                       screen.next ? 0 : 2) &&
        screen.next)
        g_wizard = screen.next;
    if (result && screen.next) g_wizard = screen.next;
    // The next frame enters another screen: a press made before it is drawn was meant for this one.
    if (g_wizard != called_last) MACIBM_new_screen();
}

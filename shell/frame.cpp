#include "shell/frame.h"

#include <cmath>

#include "core/alert.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/thread_layer.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/bitmap_text.h"
#include "graphics/screen_2d.h"
#include "graphics/texture_manager.h"
#include "shell/keys.h"
#include "shell/menu.h"
#include "simfeatures/movie_recorder.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_kit.h"

int plot_init_lights = 0;

namespace {
void no_update() {}
void no_menu_command(int) {}
void quit_now() { app_done = 1; }
const app_hooks default_hooks{no_update, no_menu_command, quit_now};
app_hooks hooks = default_hooks;
// A press reaches only a picture the user has seen. Pictures counts the windows entered and the
// screens the application put up; seen is the last of them that a swap put on screen, and
// seen_since the event time from which on presses were made with it there.
unsigned pictures = 0;
unsigned seen = 0;
uint32_t seen_since = 0;

struct subwin_row {
    int id;
    int w, h;
    const char* title;  // a literal title, or null for stls entry title_entry
    int title_entry;
};
// Every row is modal.
constexpr subwin_row kSubwindows[] = {
    {1, 500, 300, "EULA", 0},      {2, 600, 380, "Prefs", 0},     {992, 561, 474, "Livery", 0},
    {993, 600, 300, nullptr, 613}, {994, 420, 250, nullptr, 601}, {995, 300, 166, nullptr, 602},
    {996, 700, 146, nullptr, 602}, {997, 700, 206, nullptr, 602}, {998, 561, 474, nullptr, 614},
    {999, 330, 474, nullptr, 77},
};

struct texture_failure {
    int (tman_class::*failed)();
    void (tman_class::*mute)();
    int line;
    const char* text[3];
};
const texture_failure kTextureFailures[] = {
    {&tman_class::has_scene_load_fail,
     &tman_class::mute_scene_load_fail,
     1566,
     {"Some scenery textures could not be loaded.",
      "This may be an installation problem or you may have a damaged add-on scenery package.",
      "Please see the log.txt file for a detailed list of missing files."}},
    {&tman_class::has_plane_load_fail,
     &tman_class::mute_plane_load_fail,
     1567,
     {"Some textures for the aircraft you selected could not be loaded.",
      "This may be an installation problem or you may have a damaged add-on aircraft package.",
      "Please see the log.txt file for a detailed list of missing files."}},
    {&tman_class::has_instl_load_fail,
     &tman_class::mute_instl_load_fail,
     1568,
     {"Some textures could not be loaded.",
      "This may be an installation problem.  Run the installer/updater again to get these missing textures.",
      "Please see the log.txt file for a detailed list of missing files."}},
};

template <class T>
bool inside(const T& r, float x, float y) {
    return x >= r.l && x <= r.r && y >= r.b && y <= r.t;
}

float unit_scale() { return mnw.scale > 0 ? mnw.scale : 1.0f; }

// Where a sub-window of size d sits in a window of size full: centred, never below 0.
float centre(float full, float d) {
    float s = unit_scale();
    float p = std::round((full - s * d) * 0.5f);
    float origin = std::trunc(p / s);
    return origin < 0 ? 0 : origin;
}
}  // namespace

app_hooks set_app_hooks(const app_hooks& h) {
    app_hooks old = hooks;
    hooks.update = h.update ? h.update : default_hooks.update;
    hooks.handlemenu = h.handlemenu ? h.handlemenu : default_hooks.handlemenu;
    hooks.quit = h.quit ? h.quit : default_hooks.quit;
    return old;
}

void MACIBM_load_mxy(plat::window_ref, int h, int v) {
    float s = unit_scale();
    mnw.mouse_x = h / s - mnw.subwin_x;
    mnw.mouse_y = (mnw.y_res - v) / s - mnw.subwin_y;
}

namespace {
// The pointer as the window layer reports it now, in window units.
void load_mouse() {
    int h = 0, v = 0;
    plat::mouse(mnw.window[0], &h, &v);
    MACIBM_load_mxy(mnw.window[0], h, v);
}

bool is_button(const plat::event& e) { return e.what == plat::ev_mouse_down || e.what == plat::ev_mouse_up; }
bool is_key(const plat::event& e) {
    return e.what == plat::ev_key_down || e.what == plat::ev_key_up || e.what == plat::ev_auto_key;
}

// Whether a press was made with the window and screen it lands on in front of the user: one
// made before (right behind the click or the Return that closed the window above, or that moved
// the screen on) was meant for what the user saw then, which is gone.
bool made_on_sight(const plat::event& press) {
    return seen == pictures && static_cast<int32_t>(press.time - seen_since) >= 0;
}

// One frame's input, waiting for it at most ticks sixtieths of a second from the frame's start
// (a stream of events does not hold the frame open: the window is drawn while they come). A
// press or a release is the last event a frame takes: each is hit-tested where it happened and
// seen by a frame of its own, so a tap's press holds the button for a frame and two taps are two.
// A key waits while the focused widget's queue is full, and a press or release after keys waits
// for the next frame, so that the widget that had the focus reads them before a press moves it.
// What a frame leaves keeps its order for the next frames. A press made before the picture it
// would land on was on screen reaches nothing, and its release neither.
void take_events(int ticks) {
    // An event taken from the window layer and left for the next frame.
    static plat::event left;
    static bool have_left = false;
    static bool press_dropped = false;
    const uint64_t deadline = xtim.microsecs() + static_cast<uint64_t>(ticks) * 1000000 / 60;
    bool took_key = false;
    for (;;) {
        plat::event ev;
        const bool waited = have_left;
        if (have_left) {
            ev = left;
            have_left = false;
        } else {
            const uint64_t now = xtim.microsecs();
            if (now >= deadline) break;
            const int wait_ms = static_cast<int>((deadline - now + 999) / 1000);
            if (!plat::wait_next_event(wait_ms, &ev) || ev.what == plat::ev_null) break;
            // Where this event happened: a press that came in with its motion is hit-tested
            // there, not where the pointer was when the frame began.
            load_mouse();
        }
        if (ev.what == plat::ev_mouse_down) press_dropped = !made_on_sight(ev);
        if (is_button(ev) && press_dropped) {
            if (ev.what == plat::ev_mouse_up) press_dropped = false;
            continue;
        }
        // The widget reads its queue every frame it is drawn; one that never does must not stall
        // the window, so a key that already waited a frame goes on.
        const bool no_room = is_key(ev) && !waited && !BTN_focus_has_room();
        if (no_room || (is_button(ev) && took_key)) {
            left = ev;
            have_left = true;
            break;
        }
        if (ev.what == plat::ev_wheel)
            APL_HandleCarbonEvent(ev);
        else
            APL_handlewin(ev);
        took_key = took_key || is_key(ev);
        if (ev.what == plat::ev_os || is_button(ev)) break;
    }
}
}  // namespace

void MACIBM_event_proc() {
    static int win_started = 0;
    xtim.profile_chart("init", 0);
    return_hit = escape_hit = delete_hit = 0;
    mnw.mouse_down = mnw.mouse_up = 0;
    if (mnw.curwin == -1) mnw.curwin = 0;
    if (!win_started) {
        win_started = 1;
        MACIBM_startwind(mnw.curwin, 0);
    }
    xtim.profile_chart("startwin", 0);
    // The alert waits longer: nothing moves under it.
    int ticks = mnw.curwin == 994 ? 10 : 1;
    // A modal window that the frame's events close (Return, its close box) hands back to the loop
    // that opened it, inside the screen beneath: that screen runs again only on a frame of its own.
    const bool began_modal = mnw.modal;
    // The picture this frame puts on screen: a modal window's loop drew it before the frame.
    unsigned picture = pictures;

    load_mouse();
    take_events(ticks);

    xtim.profile_chart("event", 0);
    xtim.profile_chart("netlist", 0);
    // Errors of other threads and failed textures wait until the main screen shows.
    if (mnw.curwin == 0) {
        THREAD_check_exception(1);
        for (const texture_failure& f : kTextureFailures) {
            if (mnw.curwin != 0) break;
            if (!(tman.*f.failed)()) continue;
            __MACIBM_alert(0, f.text[0], f.text[1], f.text[2], "", t_alert, "GenC/hl_mnw", f.line);
            (tman.*f.mute)();
        }
    }

    xtim.xtim_update();
    keys.run_repeat_keys();

    mnw.cursor_mode = 0;
    // Sliding along the menu bar switches menus without a click.
    if (mnw.open_menu >= 0) {
        for (size_t i = 0; i < menu.size(); ++i) {
            if (menu[i].parent == -1 && static_cast<int>(i) != mnw.open_menu && !menu[i].title.empty() &&
                inside(menu[i], mnw.mouse_x, mnw.mouse_y))
                MACIBM_handleclick(0);
        }
    }
    xtim.profile_chart("menu", 0);
    BTN_begin_focus_ring();
    if (!mnw.modal && !began_modal) {
        picture = pictures;
        hooks.update();
    }
    mouse_help_per_wind(mnw.curwin);
    standard_gui();
    // The first swap of a window or screen drawn whole, with nothing changed while it was drawn.
    const bool first_sight = picture == pictures && seen != pictures;
    if (first_sight) plat::settle_at_next_swap();
    // A recording movie swaps the buffers itself.
    if (!qtim.mov_per_frame()) OGL_sbuff();
    if (first_sight) {
        seen = pictures;
        seen_since = plat::shown_time();
    }
    xtim.profile_chart("sbuff", 0);
    xtim.profile_chart("oglwork", 0);
    xtim.profile_chart("finish", 1);
}

void APL_handlewin(const plat::event& ev) {
    switch (ev.what) {
        case plat::ev_key_down:
        case plat::ev_key_up:
        case plat::ev_auto_key:
            keys.handle_key_raw(ev.what, ev.message, ev.modifiers, ev.text);
            break;
        case plat::ev_mouse_down:
            mnw.mouse_down = 1;
            MACIBM_handleclick(0);
            break;
        case plat::ev_mouse_up:
            mnw.mouse_up = 1;
            break;
        case plat::ev_update:
            MACIBM_startwind(mnw.curwin, 0);
            break;
        case plat::ev_quit:
            hooks.quit();
            break;
        default:
            // Activation only selects the window's port and hides the menu bar on a Mac.
            break;
    }
}

int APL_HandleCarbonEvent(const plat::event& ev) {
    if (ev.what != plat::ev_wheel) return -9874;
    mnw.wheel += ev.wheel;
    return 0;
}

void MACIBM_startwind(int id, int) {
    // The same window drawn anew (an update event) is no other window.
    if (id != mnw.curwin) ++pictures;
    plot_init_lights = 1;
    mouse_help_per_wind(id);
    OGL_viewport(2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1.0f, 0);
    mnw.modal = 0;
    mnw.subwin_dx = static_cast<float>(mnw.x_res);
    mnw.subwin_dy = static_cast<float>(mnw.y_res);
    bool in_table = false;
    for (const subwin_row& r : kSubwindows) {
        if (r.id != id) continue;
        in_table = true;
        stls[0] = r.title ? std::string(r.title) : stls[r.title_entry];
        mnw.modal = 1;
        mnw.subwin_dx = static_cast<float>(r.w);
        mnw.subwin_dy = static_cast<float>(r.h);
    }
    BTN_unfocus_any();
    mnw.lastwin = mnw.curwin = id;
    mnw.open_menu = -1;
    float w = static_cast<float>(mnw.x_res);
    // Two screens side by side: centre on the first.
    if (mnw.x_res > 2 * mnw.y_res) w *= 0.5f;
    mnw.subwin_x = in_table ? centre(w, mnw.subwin_dx) : 0;
    mnw.subwin_y = in_table ? centre(static_cast<float>(mnw.y_res), mnw.subwin_dy) : 0;
    mnw.wheel = mnw.mouse_held = mnw.mouse_down = 0;
    if (menu.size() > popup_menu) {
        menu_struct& p = menu[popup_menu];
        p.l = p.b = p.r = p.t = -1;
    }
}

void MACIBM_new_screen() { ++pictures; }

void MACIBM_handleclick(int key) {
    float x = mnw.mouse_x, y = mnw.mouse_y;
    if (mnw.curwin == 0) {
        // Empty titles are the point (0, 0): nothing to press.
        for (size_t i = 0; i < menu.size() && i < popup_menu; ++i) {
            const menu_struct& m = menu[i];
            if ((m.parent != -1 && m.parent != mnw.open_menu) || m.title.empty() || !inside(m, x, y))
                continue;
            mnw.open_menu = mnw.open_menu == static_cast<int>(i) ? -1 : static_cast<int>(i);
            mnw.mouse_down = 0;
            return;
        }
    }
    if (BTN_window_has_close_boxes(mnw.curwin)) {
        bool in_box = (x >= 0 && x <= 25) || (x >= mnw.subwin_dx - 25 && x <= mnw.subwin_dx);
        if (key != 0 || (in_box && y >= mnw.subwin_dy - 20 && y <= mnw.subwin_dy)) {
            BTN_zap_boxes(1);
            OGL_sbuff();
            // The Return that closed the window presses nothing else.
            return_hit = 0;
            MACIBM_startwind(0, key);
            return;
        }
    }
    if (mnw.open_menu >= 0 && mnw.open_menu < static_cast<int>(menu.size())) {
        const std::vector<item_struct>& items = menu[static_cast<size_t>(mnw.open_menu)].items;
        for (size_t i = 0; i < items.size(); ++i) {
            const item_struct& it = items[i];
            if (it.text.empty() || it.text[0] == '-' || it.text[0] == '=' || !inside(it, x, y)) continue;
            if (mnw.open_menu == popup_menu) {
                select_popup_code = active_popup_code;
                active_popup_code = 0;
                popup_menu_select = static_cast<int>(i);
            } else {
                hooks.handlemenu(it.code);
            }
            mnw.mouse_down = 0;
            mnw.open_menu = -1;
            return;
        }
    }
    mnw.open_menu = -1;
}

hover_box hover_help_box(size_t length) {
    hover_box b;
    b.h = static_cast<int>(length / 50) * 10 + 20;
    if (b.h < 60) b.h = 60;
    if (b.h > 300) b.h = 300;
    b.x = mnw.mouse_x - 415;
    if (b.x < 10 - mnw.subwin_x)
        b.x = 10 - mnw.subwin_x;
    else if (b.x > mnw.x_res - 10 - mnw.subwin_x - 400)
        b.x = mnw.x_res - 10 - mnw.subwin_x - 400;
    b.y = mnw.mouse_y + 15;
    if (b.y < 10 - mnw.subwin_y)
        b.y = 10 - mnw.subwin_y;
    else if (b.y > mnw.y_res - 20 - mnw.subwin_y - b.h)
        b.y = mnw.y_res - 20 - mnw.subwin_y - b.h;
    return b;
}

void mouse_help_per_wind(int id) {
    static int OS_mouse_showing = 1;
    float t = xtim.real_time;
    const std::string& help = stls[1802];
    if (!help.empty() && t - mnw.mouse_move_time > 1.0f) {
        hover_box b = hover_help_box(help.size());
        BTN_frame2(14, b.x - 10, b.y - 10, 420, static_cast<float>(b.h + 20), "");
        OGL_string(47, b.x + 3, b.y + b.h - 10, help, 394, 100, 0);
    }
    stls[1802].clear();
    xtim.profile_chart("help", 0);
    if (t - mnw.mouse_move_time > 10.0f && mnw.curwin == 0) mnw.cursor_mode = 2;
    if (id >= 992 && id <= 999) mnw.cursor_mode = 0;
    if (mnw.cursor_mode == 2 && OS_mouse_showing) {
        plat::set_cursor_visible(false);
        OS_mouse_showing = 0;
    } else if (mnw.cursor_mode == 0 && !OS_mouse_showing) {
        plat::set_cursor_visible(true);
        OS_mouse_showing = 1;
    }
}

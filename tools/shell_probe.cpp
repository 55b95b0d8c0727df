// The shell on its own, for whole-program tests: an 800 x 600 window, the frame loop and the key
// translation, a screen of four coloured rectangles, and a log line for every event record, click
// and key as the frame loop saw it. With --widgets the screen holds a button, a check box, a radio
// group and a text field instead, and the log says each change of their values; with
// --more_widgets the rest of the kit. --keys shows the key-assignment window on a 1024 x 768
// window over a few commands and logs each change of the bindings and of the commands' presses;
// --menus=FOLDER reads the menu file FOLDER/menus/<language>/NAME (--menu_file=NAME, default
// "menus.txt") and logs the command of each item chosen; --progress shows the progress window
// on the keys 1 (text only), 2 (half done) and 3 (working, one step per press); --scale draws
// the palette's colour scale of the rainbow from 0 to 100 and one whose limits are both 5 on a
// 640 x 1024 window; --movie plays a running simulation for the movie recorder: key 1 starts a
// recording of the screen ("Volatra movie take-N.mov" in the working folder) and asks for its
// stop, key 2 shows the recorder's settings panel instead of the screen, which stops a
// recording; "movie has frames" is logged once a recording's first frames have come back. The
// window's close box (or the script's quit) ends it, through the shell's shut-down, which
// finishes a recording in progress. On the widget kit the clock moves 20 ms a frame: what the
// widgets time (the list's type-ahead, double presses) then does not depend on how fast the
// machine draws.
#include <cstdint>
#include <cstdio>

#include "core/command_line.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/named_commands.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/bitmap_text.h"
#include "graphics/builtin_images.h"
#include "graphics/gl_capabilities.h"
#include "graphics/palette.h"
#include "graphics/primitives.h"
#include "graphics/screen_2d.h"
#include "platform/plat_paths.h"
#include "platform/plat_window.h"
#include "shell/alerts.h"
#include "shell/dialogs.h"
#include "shell/frame.h"
#include "shell/keys.h"
#include "shell/menu.h"
#include "shell/startup.h"
#include "shell/window.h"
#include "simfeatures/movie_recorder.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_shell.h"

namespace {

// The widget kit's clock: every frame, nested ones in dialogs included, ends with a swap.
uint64_t frame_clock_us = 0;
uint64_t frame_clock() { return frame_clock_us; }

// Passes every call on and logs the event records the frame loop receives.
class logging_backend final : public plat::window_backend {
public:
    explicit logging_backend(plat::window_backend& b) : b_(b) {}

    int key_events = 0;
    int last_key_what = 0;

    bool wait_next_event(int wait_ms, plat::event* ev) override {
        if (!b_.wait_next_event(wait_ms, ev)) return false;
        char line[160];
        std::snprintf(line, sizeof line, "event what=%d code=%u char=%u mods=0x%x wheel=%d\n", ev->what,
                      (ev->message >> 8) & 0xFF, ev->message & 0xFF, ev->modifiers, ev->wheel);
        xer << line;
        if (ev->what >= plat::ev_key_down && ev->what <= plat::ev_auto_key) {
            ++key_events;
            last_key_what = ev->what;
        }
        return true;
    }

    bool video_init() override { return b_.video_init(); }
    bool main_display(int* w, int* h, int* d) override { return b_.main_display(w, h, d); }
    int set_display_depth(int bits) override { return b_.set_display_depth(bits); }
    plat::window_ref create_gl_window(int w, int h, bool framed, int x, int y, int samples) override {
        return b_.create_gl_window(w, h, framed, x, y, samples);
    }
    plat::pixel_format_ref format_of(plat::window_ref w) override { return b_.format_of(w); }
    bool describe(plat::window_ref w, plat::format_attr a, int* v) override { return b_.describe(w, a, v); }
    plat::gl_context_ref create_context(plat::window_ref w, plat::gl_context_ref s) override {
        return b_.create_context(w, s);
    }
    bool make_current(plat::window_ref w, plat::gl_context_ref c) override { return b_.make_current(w, c); }
    void swap(plat::window_ref w) override {
        b_.swap(w);
        frame_clock_us += 20000;
    }
    void settle_at_next_swap() override { b_.settle_at_next_swap(); }
    uint32_t shown_time() override { return b_.shown_time(); }
    void destroy_window(plat::window_ref w) override { b_.destroy_window(w); }
    long long video_memory() override { return b_.video_memory(); }
    void flush_events() override { b_.flush_events(); }
    void mouse(plat::window_ref w, int* h, int* v) override { b_.mouse(w, h, v); }
    uint32_t key_modifiers() override { return b_.key_modifiers(); }
    int layout_char(int code) override { return b_.layout_char(code); }
    void set_cursor_visible(bool v) override { b_.set_cursor_visible(v); }
    void arrow_cursor() override { b_.arrow_cursor(); }
    bool show_progress(const uint8_t* rgba, int w, int h) override { return b_.show_progress(rgba, w, h); }

private:
    plat::window_backend& b_;
};

logging_backend* logger = nullptr;
int keys_seen = 0;

// Palette slots above the tinted range, so the rectangles keep their exact colours.
enum { slot_red = 60, slot_green = 61, slot_blue = 62, slot_white = 63, slot_grey = 64 };

void probe_frame() {
    OGL_fillrect(slot_grey, 1, 0, 0, static_cast<float>(mnw.x_res), static_cast<float>(mnw.y_res));
    OGL_fillrect(slot_red, 1, 50, 50, 100, 100);
    OGL_fillrect(slot_green, 1, 650, 450, 100, 100);
    OGL_fillrect(slot_blue, 1, 350, 250, 100, 100);
    OGL_fillrect(slot_white, 1, 0, 590, 10, 10);

    char line[200];
    if (mnw.mouse_down) {
        std::snprintf(line, sizeof line, "click x=%g y=%g curwin=%d\n", mnw.mouse_x, mnw.mouse_y, mnw.curwin);
        xer << line;
    }
    if (mnw.wheel != 0) {
        std::snprintf(line, sizeof line, "wheel %d\n", mnw.wheel);
        xer << line;
        mnw.wheel = 0;
    }
    if (logger->key_events != keys_seen) {
        keys_seen = logger->key_events;
        std::snprintf(line, sizeof line,
                      "key what=%d vkey=%d flags=%d last_char=%d return=%d escape=%d delete=%d\n",
                      logger->last_key_what, keys.last_vkey, keys.last_flags, mnw.last_char, return_hit,
                      escape_hit, delete_hit);
        xer << line;
    }
    xer.flush();
}

// The widget screen's values, and the frame's answers that changed them.
struct {
    int presses = 0, check = 0, radio = 0;
    std::string name;
} widgets_state;

void widgets_frame() {
    OGL_fillrect(slot_grey, 1, 0, 0, static_cast<float>(mnw.x_res), static_cast<float>(mnw.y_res));
    BTN_frame2(13, 60, 60, 680, 460, "Widgets");
    auto& w = widgets_state;
    if (BTN_action(400, 480, 0, 0, 1, "Press me", "-")) xer << "button pressed " << ++w.presses << "\n";
    if (BTN_bool(200, 400, &w.check, "|Check me", 0)) xer << "check " << w.check << "\n";
    for (int i = 0; i < 3; ++i) {
        int was = w.radio;
        BTN_is_int(200, 350 - 25.0f * static_cast<float>(i), &w.radio, i, "|Option " + std::to_string(i + 1));
        if (w.radio != was) xer << "radio " << w.radio << "\n";
    }
    if (BTN_enterstring(200, 220, &w.name, 20, "Name:", 200, 0)) xer << "text '" << w.name << "'\n";
    xer.flush();
}

// The rest of the kit on one screen: the list with its search field and scroll bar, sliders,
// character cells, number fields, the pop-up list, the position entry, path pickers and the
// buttons that open the open and save dialog. Each change is logged.
std::string name_of(int i, void* names) { return (*static_cast<std::vector<std::string>*>(names))[static_cast<size_t>(i)]; }

struct {
    std::vector<std::string> names{"Alpha",  "Bravo",   "Charlie", "Delta",  "Echo",    "Foxtrot", "Golf",
                                   "Hotel",  "India",   "Juliett", "Kilo",   "Lima",    "Mike",    "November",
                                   "Oscar",  "Papa",    "Quebec",  "Romeo",  "Sierra",  "Tango",   "Uniform",
                                   "Victor", "Whiskey", "X-ray",   "Yankee", "Zulu"};
    std::vector<int> kinds = std::vector<int>(26, 3);
    int scroll = 4, selection = 4, bar = 10, count = 42, colour = 0;
    float volume = 0.3f, altitude = 1234.5f, lon = 11.5f, lat = 47.25f;
    char code[7] = "VOL-01";
    std::string search, folder = "Scenery/Alps/", file_folder = "Aircraft/Trainer", chosen = "planes/big.acf",
                        saved = "planes/untitled.acf";
    char file_name[64] = "Trainer";
} kit;

template <class T>
void log_change(const char* what, const T& value, const T& before) {
    if (!(value == before)) xer << what << " " << value << "\n";
}

void more_widgets_frame() {
    OGL_fillrect(slot_grey, 1, 0, 0, static_cast<float>(mnw.x_res), static_cast<float>(mnw.y_res));
    BTN_frame2(13, 20, 20, 760, 560, "Widget kit");
    auto& k = kit;
    const int selection = k.selection, bar = k.bar, count = k.count, colour = k.colour;
    const float volume = k.volume, altitude = k.altitude, lon = k.lon, lat = k.lat;
    const std::string code(k.code), search = k.search, folder = k.folder;

    BTN_list_and_search(0, 40, 400, 0, 0, &k.scroll, &k.selection, 0, static_cast<int>(k.names.size()) - 1, &k.search,
                        "Find:", name_of, &k.names, nullptr, nullptr, BTN_type_from_vector, &k.kinds);
    BTN_horz_slider(70, 215, 250, 44, 0, 1, &k.volume, 1, "Vol|max{ How loud", "Volume");
    BTN_textlist(150, 170, &k.colour, "Red-Green-Blue-Yellow", "Colour:|{ Pick a colour");
    float x = 90, y = 140;
    BTN_vert_slider(1, 740, 300, 500, 0, 50, &k.bar);
    BTN_chars(480, 500, k.code, 6, "Code:");
    BTN_flt_range(480, 440, &k.altitude, 6, 1, 0, 99999.9f, "Alt:|ft{ Altitude in feet");
    BTN_int(480, 380, &k.count, 4, 1, "Count:");
    BTN_select_path_stl(480, 320, 998, 0, &k.folder, 200, "Folder:", 220, 0);
    BTN_select_file_chr(480, 270, 998, 3, k.file_name, &k.file_folder, 64, "File:", 220);
    if (BTN_action(520, 200, 0, 0, 1, "Open...", "-")) {
        xer << "opening dialog\n";
        xer.flush();
        if (BTN_opensave(998, 3, &k.chosen)) xer << "opened " << k.chosen << "\n";
    }
    if (BTN_action(640, 200, 0, 0, 1, "Save...", "-")) {
        xer << "saving dialog\n";
        xer.flush();
        if (BTN_opensave(999, 3, &k.saved)) xer << "saved " << k.saved << "\n";
    }
    OGL_string(43, 440, 150, "Opened: " + k.chosen, 9999, 100, 0);
    OGL_string(43, 440, 130, "Saved: " + k.saved, 9999, 100, 0);
    enter_lat_lon(&x, &y, &k.lon, &k.lat);

    log_change("selection", k.selection, selection);
    log_change("bar", k.bar, bar);
    log_change("count", k.count, count);
    log_change("colour", k.colour, colour);
    log_change("volume", k.volume, volume);
    log_change("altitude", k.altitude, altitude);
    log_change("lon", k.lon, lon);
    log_change("lat", k.lat, lat);
    const std::string now(k.code);
    log_change("code", now, code);
    log_change("search", k.search, search);
    log_change("folder", k.folder, folder);
    xer.flush();
}

// The key-assignment window over the probe's commands; every change is logged.
std::vector<std::string> bindings_seen;
std::vector<int> counters_seen;

void keys_frame() {
    OGL_fillrect(slot_grey, 1, 0, 0, static_cast<float>(mnw.x_res), static_cast<float>(mnw.y_res));
    keys.keys_wind(0);
    for (size_t i = 0; i < keys.bindings.size(); ++i) {
        const key_binding& b = keys.bindings[i];
        const std::string text = keys_class::flag_to_str(b.flags) + " " + keys_class::vkey_to_str(b.vkey) + " -> " +
                                 cmnd.path(b.command);
        if (i >= bindings_seen.size()) bindings_seen.emplace_back();
        if (bindings_seen[i] != text) xer << "binding " << i << ": " << text << "\n";
        bindings_seen[i] = text;
    }
    counters_seen.resize(static_cast<size_t>(cmnd.count()));
    for (int c = 0; c < cmnd.count(); ++c) {
        if (cmnd.counter(c) != counters_seen[static_cast<size_t>(c)])
            xer << "command " << cmnd.path(c) << " " << cmnd.counter(c) << "\n";
        counters_seen[static_cast<size_t>(c)] = cmnd.counter(c);
    }
    xer.flush();
}

void scale_frame() {
    OGL_fillrect(slot_grey, 1, 0, 0, static_cast<float>(mnw.x_res), static_cast<float>(mnw.y_res));
    colr.spectrum_plotscale(100, 12, 0, 100, 0);
    colr.spectrum_plotscale(400, 12, 5, 5, 1);
}

void menu_command(int code) {
    xer << "menu command " << code << "\n";
    xer.flush();
}

// Keys 1, 2 and 3 show the progress window's three kinds of bar.
void progress_frame() {
    probe_frame();
    static int seen = 0;
    if (logger->key_events == seen) return;
    seen = logger->key_events;
    if (logger->last_key_what != plat::ev_key_down) return;
    static float half = 0.5f, working = -1.0f;
    switch (keys.last_vkey) {
        case '1':
            ShowProgressMessage("Looking for the disc in the drive...", nullptr);
            break;
        case '2':
            ShowProgressMessage("Copying the scenery of disc 2: half of it is on your disk.", &half);
            break;
        case '3':
            ShowProgressMessage("Unpacking the scenery, please wait...", &working);
            break;
        default:
            return;
    }
    xer << "progress shown " << static_cast<char>(keys.last_vkey) << "\n";
    xer.flush();
}

// The movie recorder's screen: the probe's own, or the recorder's settings panel. The probe's
// simulated time runs with real time, as a flying simulation's does.
bool movie_panel = false;

void movie_frame() {
    xtim.sim_time += xtim.frame_period;
    if (movie_panel)
        qtim.qtim_wind();
    else
        probe_frame();
    static int seen = 0, state_seen = 0;
    if (logger->key_events != seen) {
        seen = logger->key_events;
        if (logger->last_key_what == plat::ev_key_down && keys.last_vkey == '1') qtim.mov_toggle(1);
        if (logger->last_key_what == plat::ev_key_down && keys.last_vkey == '2') {
            movie_panel = !movie_panel;
            xer << (movie_panel ? "movie panel shown\n" : "movie panel hidden\n");
        }
    }
    static bool has_frames = false;
    if (qtim.state != state_seen) {
        state_seen = qtim.state;
        has_frames = false;
        if (state_seen)
            xer << "movie recording " << qtim.mov_dx << "x" << qtim.mov_dy << " take " << movie_take << "\n";
        else
            xer << "movie stopped after " << qtim.mov_frames << " frames\n";
    }
    // Enough written that the recording's key may stop it.
    if (qtim.state == 1 && qtim.mov_frames > 2 && !has_frames) {
        has_frames = true;
        xer << "movie has frames\n";
    }
    xer.flush();
}

void probe_quit() {
    xer << "probe quit\n";
    app_done = 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string desktop;
    if (!plat::desktop_dir(desktop) || !xer.open(desktop + plat::program_log_name)) {
        std::fprintf(stderr, "shell probe: no log on the desktop\n");
        return 1;
    }
    cmdline.init_unix(argc, argv);
    logging_backend log_events(plat::backend());
    logger = &log_events;
    plat::set_window_backend(&log_events);

    const bool key_window = cmdline.has_option("--keys");
    const bool scale = cmdline.has_option("--scale");
    mnw.x_res_req = key_window ? 1024 : scale ? 640 : 800;
    mnw.y_res_req = key_window ? 768 : scale ? 1024 : 600;
    mnw.col_res_req = 32;
    mnw.tex_level = 5;
    MACIBM_setres(1);
    if (!MACIBM_make_context(0)) {
        xer << "shell probe: no window\n";
        xer.close();
        return 1;
    }
    OGL_pix_specs(0);
    MACIBM_clear_menus(1);
    mnw.curwin = -1;
    colr.assign(slot_red, 1, 0, 0);
    colr.assign(slot_green, 0, 1, 0);
    colr.assign(slot_blue, 0, 0, 1);
    colr.assign(slot_white, 1, 1, 1);
    colr.assign(slot_grey, 0.25f, 0.25f, 0.25f);
    bool widgets = cmdline.has_option("--widgets");
    bool more_widgets = cmdline.has_option("--more_widgets");
    const bool progress = cmdline.has_option("--progress");
    const bool menus = cmdline.has_option("--menus");
    const bool movie = cmdline.has_option("--movie");
    if (widgets || more_widgets || key_window || menus || scale || movie) {
        // The texture units the state cache may use come from the capability probe.
        glExt.init_extensions();
        OGL_load_builtin_images();
        xtim_set_pulse_hook(colr_pulse);
        xtim_set_mouse_down_hook(BTN_unfocus_any);
    }
    if (more_widgets) {
        xtim_set_clock(frame_clock);
        MACIBM_clear_menus(1);
        set_widget_shell_hooks({MACIBM_startwind, MACIBM_event_proc, GetFilePathFromUser});
        stls[614] = "Open a vehicle";
        stls[77] = "Save a vehicle";
    }
    if (key_window) {
        set_widget_shell_hooks({MACIBM_startwind, MACIBM_event_proc, GetFilePathFromUser});
        for (const char* path : {"sim/flight/pause", "sim/flight/brakes", "sim/view/forward", "sim/view/left",
                                 "sim/view/right"})
            cmnd.add_cmd(path, std::string("The probe's ") + (path + 4));
        keys.keys_io(0);
    }
    if (scale) colr.spectrum_init(0);
    if (movie) {
        // The shell's hooks as the programs have them: the panel's widgets, the worker's GL context.
        MACIBM_install_hooks();
        // The simulator's own texts of the settings panel; the installer leaves them empty.
        stls[528] = "Frames per second:";
        stls[529] = "Movie width:";
        stls[728] = "Movies are saved in the program's folder as Volatra movie take-N.mov.";
        stls[729] = "The height follows the window's shape; a width wider than the window is cut to it.";
    }
    if (menus) {
        const std::string file = cmdline.has_option("--menu_file") ? cmdline.get_option("--menu_file") : "menus.txt";
        MACIBM_read_menus(cmdline.get_option("--menus"), file);
    }
    void (*frame)() = more_widgets ? more_widgets_frame
                      : movie      ? movie_frame
                      : widgets    ? widgets_frame
                      : key_window ? keys_frame
                      : progress   ? progress_frame
                      : scale      ? scale_frame
                                   : probe_frame;
    set_app_hooks({frame, menu_command, probe_quit});

    xer << "probe ready " << mnw.x_res << "x" << mnw.y_res << " framed " << (g_mon_x_res_now > 820)
        << std::endl;
    while (!app_done) MACIBM_event_proc();
    // However the loop was ended, the shell's shut-down finishes a recording in progress.
    shell_finishup(0);
    plat::set_window_backend(nullptr);
    return 0;
}

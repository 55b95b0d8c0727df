#include "shell/startup.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "core/alert.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "core/memory.h"
#include "core/random_table.h"
#include "core/thread_layer.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "files/file_operations.h"
#include "graphics/builtin_images.h"
#include "graphics/gl_capabilities.h"
#include "graphics/palette.h"
#include "graphics/primitives.h"
#include "graphics/screen_2d.h"
#include "graphics/texture_manager.h"
#include "install/temp_files.h"
#include "platform/plat_system_facts.h"
#include "platform/plat_time.h"
#include "platform/plat_window.h"
#include "shell/alerts.h"
#include "shell/dialogs.h"
#include "shell/frame.h"
#include "shell/menu.h"
#include "shell/window.h"
#include "simfeatures/ui_hooks.h"
#include "support/path_finder.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"
#include "widgets/widget_shell.h"

namespace {
// A fact as the header prints it: the number, or "?" when the system has no answer.
std::string fact(gestalt_fn gestalt, const char (&selector)[5], int32_t* value) {
    *value = 0;
    if (gestalt(plat::four_cc(selector), value) != 0) {
        *value = 0;
        return "?";
    }
    return std::to_string(*value);
}

// Stale archives and manifests of earlier runs go; the running program, when it was started
// from a copy in that folder, stays.
void empty_temp_folder() {
    std::string temp, self;
    get_OS_abs_path(os_dir_temp, temp);
    get_OS_abs_path(os_dir_this_app_bundle, self);
    if (temp.empty()) return;
    int err = empty_private_temp_folder(temp, self);
    if (err == EBUSY)
        xer << "Another installer is using " << temp << "; its files stay.\n";
    else if (err != 0)
        xer << "Could not empty the temporary folder " << temp << " (error " << err << ").\n";
}
}  // namespace

std::string processor_name(int32_t code) {
    static const struct {
        uint32_t code;
        const char* name;
    } kNames[] = {
        {264, " (G3) "},
        {268, " (G4) "},
        {272, " (G4/7450) "},
        {273, " (G4/7455) "},
        {274, " (G4/7447) "},
        {288, " (G3/750FX) "},
        {313, " (G5) "},
        {316, " (G5/FX) "},
        {plat::four_cc("i486"), " (i486) "},
        {plat::four_cc("i586"), " (Pentium) "},
        {plat::four_cc("i5pr"), " (Pentium Pro) "},
        {plat::four_cc("i5ii"), " (Pentium II) "},
        {plat::four_cc("i5iv"), " (Pentium 4) "},
        {plat::four_cc("ixxx"), " (X86) "},
    };
    const uint32_t c = static_cast<uint32_t>(code);
    for (const auto& n : kNames)
        if (n.code == c) return n.name;
    char four[5] = {static_cast<char>(c >> 24), static_cast<char>(c >> 16), static_cast<char>(c >> 8),
                    static_cast<char>(c), 0};
    bool printable = true;
    for (int i = 0; i < 4; ++i) printable = printable && std::isprint(static_cast<unsigned char>(four[i]));
    if (printable) return std::string(" (") + four + ") ";
    return (c >> 24) == 'i' ? " (unknown intel) " : " (unknown PowerPC) ";
}

std::string startup_log_header(gestalt_fn gestalt, const std::string& compiled) {
    int32_t v = 0;
    std::string h;
    h += std::string("Installer log.txt for ") + kInstallerName + " compiled on " + compiled + "\n\n";
    h += "This log file is generated automatically by Tessaly applications and contains diagnostics about your "
         "graphics hardware, installation, and any error conditions.\n";
    h += "If you need to contact tech support or file a bug, please send us this file. NOTE: this file is rewritten "
         "every time you start ANY of your Ostrand applications.\n\n";
    h += "Mac OS X " + fact(gestalt, "sys1", &v);
    h += "." + fact(gestalt, "sys2", &v);
    h += "." + fact(gestalt, "sys3", &v) + "\n";
    h += "CPU type: " + fact(gestalt, "cput", &v);
    h += processor_name(v);
    h += "CPU speed (mhz): " + fact(gestalt, "mclk", &v) + " ";
    h += "Bus speed (mhz): " + fact(gestalt, "bclm", &v) + " ";
    h += "RAM (MB): " + fact(gestalt, "ramm", &v) + "\n";
    h += "\nOstrand folder:'" + app_path + "', case sensitive=" + std::to_string(g_case_sensitive) + "\n\n";
    return h;
}

void fill_randrat(uint32_t clock) {
    std::srand(1);
    for (float& r : randrat) r = static_cast<float>(std::rand()) * (1.0f / 2147483648.0f) * 0.9999f + 0.0f;
    std::srand(clock);
    for (uint32_t i = 0; i < clock % 1000; ++i) std::rand();
}

float splash_fraction(const float* fraction, int* counter) {
    float f = fraction ? *fraction : static_cast<float>(*counter) / 100.0f;
    if (!fraction) ++*counter;
    if (!(f >= 0.02f)) f = 0.02f;
    if (f > 1.0f) f = 1.0f;
    return f;
}

void MACIBM_show_init(const std::string& message, float* fraction) {
    static int counter_now = 0;
    if (!plot_init_lights) return;
    const float L = mnw.layout_dx;
    const float dx = mnw.subwin_x, dy = mnw.subwin_y;
    widget_painter& paint = widget_paint();
    paint.back_colour();
    BTN_frame2(15, L + 10 - dx, 31 - dy, 460, 200, "");
    paint.string(49, L + 22 - dx, 210 - dy, kSplashAddress, 440, 100, 0);
    const float f = splash_fraction(fraction, &counter_now);
    // The bar spans the 1024-unit layout, and ends inside a narrower window.
    const float x0 = L + 8, x1 = std::min(L + 1016, static_cast<float>(mnw.x_res) - 8), xf = x0 + f * (x1 - x0);
    BTN_frame1(4, (x0 + x1) / 2 - dx, 15 - dy, x1 - x0, 0);
    BTN_frame1(5, (x0 + xf) / 2 - dx, 15 - dy, xf - x0, 0);
    paint.string(61, L + 22 - dx, 60 - dy, message, 440, 100, 0);
    paint.swap();
}

void MACIBM_install_hooks() {
    set_alert_hook(shell_alert);
    set_finishup_hook(shell_finishup);
    set_url_hook(shell_go_to_url);
    set_find_path_hook(findPath);
    set_tman_progress_hook(MACIBM_show_init);
    xtim_set_pulse_hook(colr_pulse);
    xtim_set_mouse_down_hook(BTN_unfocus_any);
    set_widget_shell_hooks({MACIBM_startwind, MACIBM_event_proc, GetFilePathFromUser});
    MACIBM_install_gl_thread_hooks();
    // The recorder's panel takes no result from its number fields.
    set_sim_ui_hooks({MACIBM_startwind, MACIBM_event_proc, BTN_fillwin, BTN_subwin, BTN_action,
                      [](float x, float y, float* value, int digits, int decimals, float min, float max,
                         std::string label) { BTN_flt_range(x, y, value, digits, decimals, min, max, label); },
                      [](float x, float y, int* value, int digits, float min, float max, std::string label) {
                          BTN_int_range(x, y, value, digits, min, max, label);
                      }});
}

void MACIBM_init(int argc, const char* const* argv) {
    UTL_debug_init();
    MACIBM_install_hooks();
    plat::flush_events();
    plat::arrow_cursor();
    // The program never changes its working folder: crash files land where it was started.
    app_path.clear();

    std::string desktop;
    get_OS_abs_path(os_dir_desktop, desktop);
    // A log that cannot be opened drops every line; the program goes on.
    if (desktop.empty() || !xer.open(desktop + plat::program_log_name))
        std::fprintf(stderr, "The log %s%s cannot be written.\n", desktop.c_str(), plat::program_log_name);
    xer.setf(std::ios::fixed, std::ios::floatfield);

    fill_randrat(static_cast<uint32_t>(plat::microseconds()));
    OGL_fill_angle_tables();
    xer << startup_log_header(plat::gestalt, __DATE__ " " __TIME__);
    xer.flush();
    empty_temp_folder();

    cmdline.init_unix(argc, argv);
    THREAD_init();

    mnw.x_res_req = 800;
    mnw.y_res_req = 600;
    mnw.col_res_req = 32;
    mnw.lang = 0;
    mnw.alias_req = 0;
    mnw.tex_level = 5;
    MACIBM_setres(1);
    if (!MACIBM_make_context(0))
        __MACIBM_alert(0,
                       "I could not set up the graphics for Volatra! I hope your monitor is at 1024x768 or higher! "
                       "It must be!",
                       "You do not meet the system requirements or you do not have OpenGL drivers or you entered a "
                       "bad resolution in Volatra!",
                       "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D "
                       "accelerator card!",
                       "If you reset the resolution, you can try launching Volatra again, since I am resetting "
                       "Volatra to default resolution now.",
                       t_exit, "GenC/hl_init", 1574);

    OGL_pix_specs(0);
    glExt.init_extensions();
    THREAD_make_workers();
    OGL_load_builtin_images();

    MACIBM_clear_menus(1);
    MACIBM_startwind(-1, 0);
    OGL_pix_specs(0);
    ogl_inited = 1;
    if (mnw.lang < 0) {
        mnw.lang = 0;
        __MACIBM_alert(-1, "-", "-", "-", "-", t_lang, "GenC/hl_init", 1664);
    }
    MACIBM_setupforlang();
    for (const char* step : {"Will init plugins.", "Starting application."}) {
        xer << step << "\n";
        xer.flush();
        MACIBM_show_init(step, nullptr);
    }
}

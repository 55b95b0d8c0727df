#include "shell/window.h"

#include <GL/gl.h>

#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/command_line.h"
#include "core/gl_hooks.h"
#include "core/globals.h"
#include "core/window_state.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state_cache.h"
#include "graphics/screen_2d.h"
#include "platform/plat_system_facts.h"
#include "platform/plat_window.h"

int g_mon_x_res_now = 0;
int g_mon_y_res_now = 0;

void MACIBM_setres(int apply) {
    mnw.x_res = mnw.x_res_req;
    mnw.y_res = mnw.y_res_req;
    mnw.col_res = mnw.col_res_req;
    int w = 0, h = 0, depth = 0;
    bool display = plat::main_display(&w, &h, &depth);
    // The menu bar to hide on a Mac has no counterpart here.
    g_mon_x_res_now = w;
    g_mon_y_res_now = h;
    if (mnw.windowed) {
        mnw.x_res = mnw.x_res_req = w - 40;
        mnw.y_res = mnw.y_res_req = h - 60;
    }
    int set_res = mnw.set_res;
    if (w < 1024 || h < 768) set_res = 1;

    static bool first = true;
    static int cres_orig = 0;
    static int sres_orig = 0;
    if (first) {
        first = false;
        cres_orig = depth;
        sres_orig = set_res;
    }
    int target = apply ? mnw.col_res_req : cres_orig;
    int do_switch = apply ? set_res : sres_orig;
    if (display && do_switch && depth != target) plat::set_display_depth(target);
}

namespace {
struct format_row {
    int level;  // mnw.alias_req at least this; 0 always tried
    int samples;
};
// The most anti-aliasing asked for that the driver has, then none.
constexpr format_row kFormatRows[] = {{4, 16}, {3, 8}, {2, 4}, {1, 2}, {0, 0}};

int samples_of_level(int level) {
    for (const format_row& r : kFormatRows)
        if (r.level == level) return r.samples;
    return 0;
}

struct format_line {
    plat::format_attr attr;
    const char* label;
};
constexpr format_line kFormatLines[] = {
    {plat::fa_rgba, "AGL_RGBA         : "},       {plat::fa_doublebuffer, "AGL_DOUBLEBUFFER : "},
    {plat::fa_red_size, "AGL_RED_SIZE     : "},   {plat::fa_green_size, "AGL_GREEN_SIZE   : "},
    {plat::fa_blue_size, "AGL_BLUE_SIZE    : "},  {plat::fa_alpha_size, "AGL_ALPHA_SIZE   : "},
    {plat::fa_depth_size, "AGL_DEPTH_SIZE   : "},
};

void swap_main_window() { plat::swap(mnw.window[0]); }
}  // namespace

int MACIBM_make_context(int which) {
    int w = mnw.x_res, h = mnw.y_res;
    bool framed = w + 20 < g_mon_x_res_now && h + 20 < g_mon_y_res_now;
    int y = framed ? 40 : 0;

    // The pixel format comes with the window here, so each format tried is a window made.
    plat::window_ref win = nullptr;
    if (mnw.pixel_format) {
        win = plat::create_gl_window(w, h, framed, 0, y, samples_of_level(mnw.alias_got));
    } else {
        for (const format_row& r : kFormatRows) {
            if (r.level > 0 && mnw.alias_req < r.level) continue;
            win = plat::create_gl_window(w, h, framed, 0, y, r.samples);
            if (!win) continue;
            mnw.pixel_format = plat::format_of(win);
            mnw.alias_got = r.level;
            break;
        }
    }
    if (!win) return 0;
    mnw.window[which] = win;

    plat::gl_context_ref ctx = plat::create_context(win, nullptr);
    mnw.context[which] = ctx;
    if (!ctx || !plat::make_current(win, ctx)) return 0;
    if (which == 0) OGL_set_swap_hook(swap_main_window);

    // The format answers only once its context is current.
    for (const format_line& l : kFormatLines) {
        int value = 0;
        if (plat::describe(win, l.attr, &value)) xer << l.label << value << "\n";
    }
    long long vram = plat::video_memory();
    if (vram >= 0) xer << "VRAM             : " << vram << "\n";
    xer.flush();

    int r = glExt.init_entry_points();
    if (r != 0) {
        char error[64];
        std::snprintf(error, sizeof error, "Error=%f", static_cast<double>(r));
        __MACIBM_alert(0, "Could not open OpenGL framework", "", error, "", t_exit, "GenC/hl_init", 725);
    }

    int32_t sysv = 0;
    if (plat::gestalt(plat::four_cc("sysv"), &sysv) != 0) sysv = 0;
    cgl_entry_points cgl;
    cgl.get_current_context = reinterpret_cast<void* (*)()>(aglGetProcAddress("CGLGetCurrentContext"));
    cgl.enable = reinterpret_cast<int (*)(void*, int)>(aglGetProcAddress("CGLEnable"));
    cgl.disable = reinterpret_cast<int (*)(void*, int)>(aglGetProcAddress("CGLDisable"));
    MACIBM_cgl_switches(cgl, sysv, reinterpret_cast<const char*>(glGetString(GL_VENDOR)),
                        cmdline.has_option("--use_threaded_ogl"));

    int accelerated = 0;
    if (!plat::describe(win, plat::fa_accelerated, &accelerated) || accelerated == 0) return 0;
    OGL_set_gl_defaults(mnw.alias_got > 0);
    TEX_reset_bind();
    return 1;
}

void MACIBM_cgl_switches(const cgl_entry_points& cgl, int32_t sysv, const char* vendor, bool threaded) {
    // The NVIDIA driver of one Mac release mishandled preprocessed display lists.
    if (cgl.disable && cgl.get_current_context && sysv >= 0x1030 && sysv <= 0x103F && vendor &&
        std::strstr(vendor, "NVIDIA")) {
        xer << "Display list preprocessing disabled.\n";
        cgl.disable(cgl.get_current_context(), 307);
        xer.flush();
    }
    if (cgl.enable && cgl.get_current_context && threaded) {
        xer << "Enabling threaded OGL - got " << cgl.enable(cgl.get_current_context(), 313) << "\n";
        xer.flush();
    }
}

void MACIBM_nuke_context(int which) {
    if (which == 0) OGL_set_swap_hook(nullptr);
    plat::destroy_window(mnw.window[which]);
    mnw.window[which] = nullptr;
}

plat::gl_context_ref MACIBM_make_context_loader() {
    if (!mnw.pixel_format) return nullptr;
    plat::gl_context_ref ctx = plat::create_context(mnw.window[0], mnw.context[0]);
    if (!ctx) {
        xer << "We could not create a context for our worker threads.\n";
        xer.flush();
    }
    return ctx;
}

int MACIBM_set_context_loader(plat::gl_context_ref ctx) {
    return plat::make_current(mnw.window[0], ctx) ? 1 : 0;
}

void MACIBM_install_gl_thread_hooks() {
    gl_thread_hooks h;
    h.threaded_avail = [] { return glExt.threaded_avail; };
    h.make_context_loader = MACIBM_make_context_loader;
    h.set_context_loader = MACIBM_set_context_loader;
    h.threaded_ogl_failed = [] { glExt.threaded_ogl_failed(); };
    set_gl_thread_hooks(h);
}

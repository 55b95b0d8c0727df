#include "shell/alerts.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <vector>

#include "core/alert.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/localisation.h"
#include "core/memory.h"
#include "core/strings.h"
#include "core/thread_layer.h"
#include "core/window_state.h"
#include "files/language_file.h"
#include "graphics/background_and_screenshot.h"
#include "graphics/gl_capabilities.h"
#include "graphics/screen_2d.h"
#include "graphics/text_layout.h"
#include "platform/plat_dialogs.h"
#include "platform/plat_window.h"
#include "shell/frame.h"
#include "shell/keys.h"
#include "shell/preferences.h"
#include "shell/window.h"
#include "simfeatures/movie_recorder.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

namespace {
// What the platform's stop alert holds of each text.
constexpr size_t kStopAlertText = 255;
constexpr int kAlertWindow = 994;

// Drops what a caller left open and puts back the state the 2-D drawing needs.
void reset_gl_for_alert() {
    glEnd();
    glEndList();
    for (int i = 0; i < 30; ++i) glGetError();
    OGL_nrml_colors();
    if (glExt.glsl_avail && glExt.glUseProgramObjectARB) glExt.glUseProgramObjectARB(0);
    if (glExt.framebuf_avail && glExt.glBindFramebufferEXT) glExt.glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_SCISSOR_TEST);
}

// The alert's text: rows 10 apart as OGL_string wraps them, each line at least kLineGap below the
// last row of the one before, and none below kLowest, where a fatal alert's location stands.
constexpr float kRow = 10, kLineGap = 20, kLowest = 45;

// A line that names one path after its label ("In the way: /home/..."). Other lines, whatever
// they hold, wrap as before.
bool names_one_path(const std::string& line) {
    const std::string label = OGL_line_label(line);
    return !label.empty() && line.compare(label.size(), 1, "/") == 0;
}

struct alert_text {
    std::string text;
    float y, wrap;
};

// Each line at its place of old unless the rows above reach it; a line keeps the rows that leave
// one for each line below it. Too wide, a path is cut in its middle rather than wrapped.
std::vector<alert_text> alert_layout(const std::string* lines[4], float W, float lowest) {
    static const float places[4] = {205, 165, 125, 85};
    const float wrap = W * 0.9f, room = W - 40;  // 10 in from the white panel's sides
    std::vector<alert_text> out;
    float y = places[0];
    for (int i = 0; i < 4; ++i) {
        y = std::min(y, places[i]);
        const std::string& line = *lines[i];
        const int rows =
            std::max(1, static_cast<int>((y - lowest - kLineGap * static_cast<float>(3 - i)) / kRow) + 1);
        const fitted_text fitted = names_one_path(line) && OGL_string_width(line) > room
                                       ? fitted_text{{OGL_fit_line(line, room)}, false}
                                       : OGL_fit_text(line, wrap, room, rows);
        if (fitted.whole) out.push_back({line, y, wrap});
        for (size_t k = 0; !fitted.whole && k < fitted.lines.size(); ++k)
            out.push_back({fitted.lines[k], y - kRow * static_cast<float>(k), 9999});
        y -= kRow * static_cast<float>(std::max<size_t>(fitted.lines.size(), 1) - 1) + kLineGap;
    }
    return out;
}

void gl_alert(int return_window, const std::string* lines[4], int type, const std::string& where) {
    reset_gl_for_alert();
    const float mouse_x = mnw.mouse_x, mouse_y = mnw.mouse_y;
    MACIBM_startwind(kAlertWindow, 0);
    while (mnw.curwin == kAlertWindow) {
        const float W = mnw.subwin_dx;
        OGL_plot_back_col();
        BTN_fillwin(1, 21);
        float next_x, next_y;
        BTN_subwin(0, 13, -1, 35, -1, -1, "", &next_x, &next_y);
        std::string label;
        if (type == t_lang) {
            BTN_is_int(W / 2 - 25, 180, &mnw.lang, 0, "|English");
            BTN_is_int(W / 2 - 25, 160, &mnw.lang, 1, "|French");
            BTN_is_int(W / 2 - 25, 140, &mnw.lang, 2, "|German");
            stls[0] = "Language/";
            label = "Accept";
        } else {
            for (const alert_text& t : alert_layout(lines, W, type == t_exit ? kLowest + kLineGap : kLowest))
                widget_paint().string(43, W / 2, t.y, t.text, t.wrap, 100, 1);
            if (type == t_exit) widget_paint().string(43, W / 2, kLowest, where, W * 0.9f, 100, 1);
            label = stls[603];
        }
        if (BTN_action(W / 2, 18, 0, 0, 1, label, "-") || return_hit) {
            return_hit = 0;
            if (type == t_exit) break;
            MACIBM_startwind(return_window, 0);
            mnw.mouse_x = mouse_x;
            mnw.mouse_y = mouse_y;
        }
        if (mnw.curwin == kAlertWindow) MACIBM_event_proc();
    }
}

void log_lines(const std::string* lines[4], const std::string& where) {
    for (const std::string* l : {lines[0], lines[1], lines[2], lines[3]}) xer << *l << "\n";
    xer << where << "\n";
    xer.flush();
}

void append_stack_listing() {
    std::FILE* f = std::fopen("stack_crawl.txt", "a");
    if (!f) return;
    UTL_dump_stack(f, nullptr, nullptr);
    std::fclose(f);
}
}  // namespace

std::string alert_location(const char* file, int line) {
    char number[16];
    int_to_str(line, number, 1, 0);
    return std::string("(") + alert_source_name(file) + " line " + number + ")";
}

[[noreturn]] void shell_end_process(int status) {
    xer.close();
    ouf.flush();
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    _exit(status);
}

void shell_alert(int return_window, const std::string& line1, const std::string& line2, const std::string& line3,
                 const std::string& line4, int type, const char* file, int line) {
    static int in_alert = 0;
    const std::string* lines[4] = {&line1, &line2, &line3, &line4};
    const std::string where = alert_location(file, line);
    if (type == t_exit) append_stack_listing();
    if (cmdline.has_option("--fps_test")) {
        log_lines(lines, where);
        if (type == t_exit) shell_end_process(1);
        return;
    }
    const int recursive = in_alert;
    in_alert = 1;
    if (!ogl_inited || recursive)
        plat::stop_alert(utf8_prefix(line1 + " " + line2, kStopAlertText),
                         utf8_prefix(line3 + " " + line4, kStopAlertText));
    else if (!line1.empty() || !line2.empty() || !line3.empty() || !line4.empty())
        gl_alert(return_window, lines, type, where);
    if (type == t_alert || type == t_exit || recursive) {
        dump_mem_stats(
            "This is the dump_mem_stats call from the following code: if(type==t_exit || type == t_alert || "
            "recursive_error)");
        xer << "\n";
        log_lines(lines, where);
    }
    if (type == t_exit || recursive) {
        MACIBM_finishup(0);
        app_done = 1;
        shell_end_process(1);
    }
    in_alert = recursive;
}

void shell_finishup(int save) {
    // A second call (a fatal alert raised while shutting down) finds everything done.
    static bool finished = false;
    if (finished) return;
    finished = true;
    // A recording in progress gets its index while the GL context it reads from still stands.
    qtim.stop_thread();
    if (save) {
        if (!cmdline.has_option("--fps_test")) {
            pref.IO_set(11, 1);
            keys.keys_io(1);
        }
        THREAD_shutdown();
    }
    MACIBM_setres(0);
    if (mnw.window[0]) MACIBM_nuke_context(0);
    xer.close();
    plat::flush_events();
}

void shell_go_to_url(const std::string& url) {
    if (url.size() > kMaxUrl) {
        __MACIBM_alert(0, "String too long!", url, "", "", t_alert, "GenH/hl_string", 137);
        return;
    }
    int err = plat::open_url(url);
    if (err != 0) {
        xer << "Could not open " << url << " in a web browser (error " << err << ").\n";
        xer.flush();
    }
}

std::string language_file_path(int lang) {
    static const char* const kFolders[] = {"text/english/", "text/french/",  "text/german/", "text/italian/",
                                           "text/spanish/", "text/portugese/", "text/korean/"};
    std::string path = "Resources/";
    if (lang >= 0 && lang <= 6) path += kFolders[lang];
    path += "Installer.txt";
    path.insert(path.size() - 4, "2");
    return path;
}

void MACIBM_setupforlang() {
    if (mnw.lang == 0)
        UTL_translate_clear();
    else
        UTL_translate_load(language_file_path(mnw.lang));
}

int MACIBM_nuke_alert(const std::string& name, int third_button) {
    MACIBM_startwind(995, 0);
    while (mnw.curwin == 995) {
        const float W = mnw.subwin_dx, H = mnw.subwin_dy;
        OGL_plot_back_col();
        BTN_fillwin(1, 21);
        widget_paint().string(43, 20, H - 40, stls[611] + name + " " + stls[612], W - 40, 100, 0);
        // BTN_action centres a button on x: these sit flush left (and right).
        const struct {
            int entry;
            float x, y;
            int answer;
        } buttons[] = {{608, 20 + OGL_string_width(stls[608]) / 2, 60, 1},
                       {609, 20 + OGL_string_width(stls[609]) / 2, 25, 2},
                       {610, W - 20 - OGL_string_width(stls[610]) / 2, 25, 3}};
        for (const auto& b : buttons) {
            if (b.answer == 3 && !third_button) continue;
            if (BTN_action(b.x, b.y, 0, 0, 1, stls[b.entry], "-")) {
                MACIBM_startwind(0, 0);
                return b.answer;
            }
        }
        MACIBM_event_proc();
    }
    return 3;
}

void IBM_turnoff() {}

#include "core/alert.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "core/error_record.h"
#include "core/globals.h"
#include "core/thread_layer.h"

namespace {
// Atomic: a pool running without the thread layer raises its alerts on its own thread.
std::atomic<alert_hook_fn> alert_hook{headless_alert};
std::atomic<finishup_hook_fn> finishup_hook{headless_finishup};
std::atomic<url_hook_fn> url_hook{headless_go_to_url};
}  // namespace

alert_hook_fn set_alert_hook(alert_hook_fn fn) { return alert_hook.exchange(fn ? fn : headless_alert); }
finishup_hook_fn set_finishup_hook(finishup_hook_fn fn) {
    return finishup_hook.exchange(fn ? fn : headless_finishup);
}
url_hook_fn set_url_hook(url_hook_fn fn) { return url_hook.exchange(fn ? fn : headless_go_to_url); }

void __MACIBM_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* file, int line) {
    // Off the main thread the record goes to the main thread; a fatal one ends the calling
    // thread there.
    if (THREAD_is_inited() && !THREAD_is_main_thread()) {
        THREAD_send_exception(exce_class(line1, line2, line3, line4, file, line, type));
        return;
    }
    alert_hook.load()(return_window, line1, line2, line3, line4, type, file, line);
}

const char* alert_source_name(const char* file) {
    if (!file) return "";
    if (file[0] != '/') return file;
    const char* slash = std::strrchr(file, '/');
    return slash + 1;
}

void MACIBM_finishup(int save) { finishup_hook.load()(save); }

void go_to_URL(std::string url) { url_hook.load()(url); }

void headless_alert(int, const std::string& line1, const std::string& line2, const std::string& line3,
                    const std::string& line4, int type, const char* file, int line) {
    // Nobody to choose a language: the default stays.
    if (type == t_lang) return;
    std::FILE* out = type == t_exit ? stderr : stdout;
    std::cout.flush();
    std::fflush(stdout);
    for (const std::string* l : {&line1, &line2, &line3, &line4})
        if (!l->empty()) std::fprintf(out, "%s\n", l->c_str());
    if (type == t_exit) {
        std::fprintf(out, "(%s line %d)\n", alert_source_name(file), line);
        std::fflush(out);
        MACIBM_finishup(0);
        // exit, not _exit: a tool's atexit handlers restore the terminal.
        std::exit(1);
    }
    std::fflush(out);
}

void headless_finishup(int) {
    std::cout.flush();
    xer.close();
}

void headless_go_to_url(const std::string& url) {
    xer << "Open in a web browser: " << url << "\n";
    std::fprintf(stderr, "Open in a web browser: %s\n", url.c_str());
}

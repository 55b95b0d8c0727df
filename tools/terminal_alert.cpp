// Alerts and shut-down for the command-line tools, which have no window: an alert prints its
// lines to the terminal; a fatal one then ends the program with status 1.

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "core/wx.h"
#include "shell/alert.h"

void MACIBM_finishup(int) {
    std::cout.flush();
    xer.close();
}

void __MACIBM_alert(int, std::string line1, std::string line2, std::string line3, std::string line4, int type,
                    const char* file, int line) {
    if (type == t_lang) return;
    std::FILE* out = type == t_exit ? stderr : stdout;
    std::fflush(stdout);
    for (const std::string* l : {&line1, &line2, &line3, &line4})
        if (!l->empty()) std::fprintf(out, "%s\n", l->c_str());
    if (type == t_exit) {
        std::fprintf(out, "(%s line %d)\n", file ? file : "", line);
        std::fflush(out);
        MACIBM_finishup(0);
        // exit, not _exit: the terminal's settings are restored by the atexit handler.
        std::exit(1);
    }
    std::fflush(out);
}

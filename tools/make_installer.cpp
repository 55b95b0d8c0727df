// The manifest builder as a program: writes the disc masters of a release from its master folder.
// With a display it opens the program's window and shows its progress there, and a q typed into
// the window stops the build; without one, or with --terminal, progress goes to the terminal and
// a q typed there stops it.
//
//   volatra_make_installer [--src DIR] [--dst DIR] [--kind N] [--old FILE] [--disc-kb N] [--terminal]

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "install/builder.h"
#include "shell/builder_window.h"

namespace {
termios g_saved_tty;
bool g_tty_changed = false;

void restore_terminal() {
    if (g_tty_changed) tcsetattr(STDIN_FILENO, TCSANOW, &g_saved_tty);
    g_tty_changed = false;
}

// Keys arrive one at a time, without echo, so a typed q is seen at the next poll.
void raw_terminal() {
    if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &g_saved_tty) != 0) return;
    termios raw = g_saved_tty;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 0;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0) {
        g_tty_changed = true;
        std::atexit(restore_terminal);
    }
}

int poll_key() {
    if (!g_tty_changed) return 0;
    int last = 0;
    for (;;) {
        pollfd p{STDIN_FILENO, POLLIN, 0};
        if (poll(&p, 1, 0) != 1) return last;
        unsigned char c;
        if (read(STDIN_FILENO, &c, 1) != 1) return last;
        if (c == 'q') return 'q';
        last = c;
    }
}

std::string as_folder(std::string p) {
    if (!p.empty() && p.back() != '/') p += '/';
    return p;
}

int usage() {
    std::fprintf(
        stderr,
        "usage: volatra_make_installer [--src DIR] [--dst DIR] [--kind 0-3] [--old FILE] [--disc-kb N]\n"
        "                              [--terminal]\n"
        "  --src      master folder (default %s)\n"
        "  --dst      folder that receives disk_0/, disk_1/, ... (default %s)\n"
        "  --kind     0 no scenery, 1 full Earth release, 2 Mars, 3 Moon (default %d)\n"
        "  --old      previous release's directory.txt, read by kind 0 (default %s)\n"
        "  --disc-kb  kilobytes of archives per disc (default %.0f)\n"
        "  --terminal progress and alerts on the terminal even when a display is there\n"
        "             (without it, a display gets the program's window, and the checklist at\n"
        "             the end is an alert to answer there)\n",
        src_fold.c_str(), dst_fold_base.c_str(), build_type, old_dir_path.c_str(), disc_limit_kb);
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    bool terminal = false;
    for (int i = 1; i < argc; ++i) {
        const std::string opt = argv[i];
        if (opt == "--help" || opt == "-h") return usage();
        if (opt == "--terminal") {
            terminal = true;
            continue;
        }
        if (i + 1 >= argc) return usage();
        const std::string value = argv[++i];
        char* end = nullptr;
        if (opt == "--src") {
            src_fold = as_folder(value);
        } else if (opt == "--dst") {
            dst_fold_base = as_folder(value);
        } else if (opt == "--old") {
            old_dir_path = value;
        } else if (opt == "--kind") {
            long k = std::strtol(value.c_str(), &end, 10);
            if (*end || k < 0 || k > 3) return usage();
            build_type = static_cast<int>(k);
        } else if (opt == "--disc-kb") {
            double kb = std::strtod(value.c_str(), &end);
            if (*end || !(kb > 0)) return usage();
            disc_limit_kb = kb;
        } else {
            return usage();
        }
    }
    if (src_fold.empty() || src_fold[0] != '/' || dst_fold_base.empty() || dst_fold_base[0] != '/') {
        std::fprintf(stderr, "volatra_make_installer: --src and --dst must be absolute paths\n");
        return 2;
    }

    if (terminal || !builder_open_window(argc, argv)) {
        raw_terminal();
        g_builder_key_poll = poll_key;
    }
    build_install();
    restore_terminal();
    std::cout << "Disc masters written to " << dst_fold_base << " (" << dvd_now + 1 << " discs)."
              << std::endl;
    return 0;
}

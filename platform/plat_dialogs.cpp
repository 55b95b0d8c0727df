#include "platform/plat_dialogs.h"

#include <SDL.h>
#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/plat_paths.h"
#include "platform/plat_process.h"

namespace plat {

namespace {
// The index of the button pressed, or -1 when no box could be shown.
int message_box(Uint32 kind, const std::string& title, const std::string& text,
                const std::vector<SDL_MessageBoxButtonData>& buttons) {
    // Without a display SDL would try other ways (a helper program) before giving up.
    if (env("DISPLAY").empty() && env("WAYLAND_DISPLAY").empty()) return -1;
    SDL_MessageBoxData box{};
    box.flags = kind;
    box.window = nullptr;
    box.title = title.c_str();
    box.message = text.c_str();
    box.numbuttons = static_cast<int>(buttons.size());
    box.buttons = buttons.data();
    int hit = -1;
    if (SDL_ShowMessageBox(&box, &hit) != 0) return -1;
    return hit;
}

std::string joined(const std::string& a, const std::string& b) { return b.empty() ? a : a + "\n\n" + b; }

bool utf8_locale(const std::string& name) {
    locale_t loc = newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(nullptr));
    if (!loc) return false;
    const bool utf8 = std::strcmp(nl_langinfo_l(CODESET, loc), "UTF-8") == 0;
    freelocale(loc);
    return utf8;
}

// zenity prints the chosen path in its locale's character set, with '?' for every character that
// set lacks: started without a UTF-8 locale (as env -i starts us) it turns "Übung Ω" into
// "?bung ?". It then runs with a UTF-8 LC_CTYPE; its other categories (the language of its
// buttons) stay ours. An empty result: our environment serves as it is.
std::vector<std::string> zenity_environment() {
    const std::string all = env("LC_ALL"), ctype = env("LC_CTYPE"), lang = env("LANG");
    const std::string ours = !all.empty() ? all : !ctype.empty() ? ctype : !lang.empty() ? lang : "C";
    if (utf8_locale(ours)) return {};
    std::string utf8;
    for (const char* name : {"C.UTF-8", "en_US.UTF-8"})
        if (utf8_locale(name)) {
            utf8 = name;
            break;
        }
    if (utf8.empty()) return {};
    std::vector<std::string> out;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const bool category = entry.rfind("LC_", 0) == 0;
        // LC_ALL overrides every category: its value moves to LANG, the weakest setting.
        if (entry.rfind("LC_CTYPE=", 0) == 0 || entry.rfind("LC_ALL=", 0) == 0 ||
            (!all.empty() && (category || entry.rfind("LANG=", 0) == 0)))
            continue;
        out.push_back(entry);
    }
    if (!all.empty()) out.push_back("LANG=" + all);
    out.push_back("LC_CTYPE=" + utf8);
    return out;
}
}  // namespace

void stop_alert(const std::string& text, const std::string& explanation) {
    const std::vector<SDL_MessageBoxButtonData> ok{
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 1, "OK"}};
    if (message_box(SDL_MESSAGEBOX_ERROR, "Volatra Installer", joined(text, explanation), ok) >= 0) return;
    std::fprintf(stderr, "%s\n%s\n", text.c_str(), explanation.c_str());
    std::fflush(stderr);
}

bool confirm_alert(const std::string& message, const std::string& ok_label, const std::string& cancel_label) {
    // The default button first: where SDL shows the box through zenity, the first has the focus.
    const std::vector<SDL_MessageBoxButtonData> buttons{
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, ok_label.c_str()},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, cancel_label.c_str()}};
    int hit = message_box(SDL_MESSAGEBOX_WARNING, "Volatra Installer", message, buttons);
    if (hit >= 0) return hit == 1;
    std::fprintf(stderr, "%s\n", message.c_str());
    std::fflush(stderr);
    return false;
}

choose_result choose_path(int mode, const std::string& title, const std::string& initial, std::string* path,
                          std::string* why) {
    if (mode != choose_open && mode != choose_save && mode != choose_folder) return choose_cancelled;
    auto fail = [why](const std::string& text) {
        if (why) *why = text;
        return choose_failed;
    };
    std::string zenity = find_program("zenity");
    if (zenity.empty()) return fail("zenity is not installed.");
    // Only options that zenity's file selection accepts: any other (--ok-label among them) makes
    // it end with status 255 and show nothing.
    std::vector<std::string> argv{"zenity", "--file-selection", "--title=" + title};
    if (mode == choose_folder) argv.push_back("--directory");
    if (mode == choose_save) {
        argv.push_back("--save");
        argv.push_back("--confirm-overwrite");
    }
    if (!initial.empty()) argv.push_back("--filename=" + initial);
    std::string out;
    int status = 0;
    const std::vector<std::string> environment = zenity_environment();
    if (int err = run_capture(zenity, argv, &out, &status, environment.empty() ? nullptr : &environment))
        return fail("zenity could not be started: " + std::string(std::strerror(err)) + ".");
    if (status == 1) return choose_cancelled;
    if (status != 0) return fail("zenity ended with status " + std::to_string(status) + ".");
    // One chosen item: its absolute path and a line end.
    size_t end = out.find('\n');
    std::string chosen = out.substr(0, end);
    if (chosen.empty() || chosen[0] != '/') return fail("zenity gave no absolute path.");
    *path = chosen;
    return choose_chosen;
}

int open_url(const std::string& url) {
    std::string opener = find_program("xdg-open");
    if (opener.empty()) return ENOENT;
    // The address is one argument: nothing in it reaches a shell.
    return start_detached(opener, {"xdg-open", url});
}

}  // namespace plat

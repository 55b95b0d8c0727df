#include "shell/dialogs.h"

#include <sys/stat.h>

#include "core/strings.h"
#include "core/wx.h"
#include "platform/plat_dialogs.h"

namespace {
// What the old dialogs held of a text: one length byte's worth.
constexpr size_t kDialogText = 255;

std::string cut(const std::string& text) { return utf8_prefix(text, kDialogText); }
std::string cut(const char* text) { return cut(std::string(text ? text : "")); }

bool is_folder(const char* path) {
    struct stat st;
    return path && *path && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}
}  // namespace

int GetFilePathFromUser(int mode, const std::string& message, const std::string& button_label, int,
                        const char* start_folder, std::string& path) {
    if (mode < plat::choose_open || mode > plat::choose_folder) return 0;
    std::string initial;
    if (is_folder(start_folder)) {
        initial = start_folder;
        if (initial.back() != '/') initial += '/';
    }
    if (mode == plat::choose_save) initial += path;
    std::string chosen;
    plat::choose_result r = plat::choose_path(mode, cut(message), cut(button_label), initial, &chosen);
    if (r == plat::choose_failed) {
        xer << "The file dialog could not be shown (is zenity installed?).\n";
        xer.flush();
    }
    if (r != plat::choose_chosen) return 0;
    path = chosen;
    return 1;
}

void event_proc(long, void*, void*) {}

void DoUserAlert(const char* text) { plat::stop_alert(cut(text), ""); }

bool ConfirmMessage(const char* message, const char* ok_label, const char* cancel_label) {
    return plat::confirm_alert(cut(message), cut(ok_label), cut(cancel_label));
}

int progress_bar_value(float fraction) {
    if (fraction < 0) return -1;
    if (fraction > 1) fraction = 1;
    return static_cast<int>(fraction * 1000.0f);
}

void ShowProgressMessage(const char* text, float* fraction) {
    xer << "Progress: " << cut(text);
    if (fraction) {
        int v = progress_bar_value(*fraction);
        if (v < 0)
            xer << " (working)";
        else
            xer << " (" << v << " of 1000)";
    }
    xer << "\n";
}

void EndianFlipShort(int16_t* value) {
    uint16_t v = static_cast<uint16_t>(*value);
    *value = static_cast<int16_t>(static_cast<uint16_t>((v >> 8) | (v << 8)));
}

void EndianFlipLong(uint32_t* value) { *value = __builtin_bswap32(*value); }

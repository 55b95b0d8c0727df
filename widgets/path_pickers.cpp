// Path fields with a folder button that opens the desktop's folder chooser.
#include <cstring>

#include "widgets/widget_internals.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"
#include "widgets/widget_shell.h"

namespace {

// The dialogs' which and file type; false after the caller's fatal alert.
bool valid_args(int which, int file_type, const char* which_text, const char* type_text, int line) {
    if (which != 998 && which != 999) {
        butn_fatal(which_text, "", line);
        return false;
    }
    if (file_type < 0 || file_type > 21) {
        butn_fatal(type_text, "", line + 1);
        return false;
    }
    return true;
}

// text cut to fit an array of max_len bytes with its terminator.
std::string fitted(std::string text, int max_len) {
    if (text.size() >= static_cast<size_t>(max_len)) text.resize(static_cast<size_t>(max_len) - 1);
    return text;
}

}  // namespace

int BTN_select_path_stl(float x, float y, int which, int file_type, std::string* path, int max_len,
                        std::string label, float width, int take_focus) {
    if (!valid_args(which, file_type, "Bad open_save arg to BTN_select_file_stl!",
                    "Bad file_type arg to BTN_select_file_stl!", 665))
        return 0;
    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    BTN_util_draw_label(x - 32, y, 0, left, 0);
    BTN_util_draw_label(x + width + 6, y, 2, right, 0);
    const float ox = mnw.subwin_x, oy = mnw.subwin_y;
    widget_paint().quads(tex_interface, 0,
                         {{x - 30 + ox, y - 10 + oy, x - 4 + ox, y + 16 + oy, 208, 133, 234, 159}});

    const bool whole = file_type == 20 || file_type == 21;
    std::string shown = whole ? *path : BTN_path_leaf(*path);
    // Editing the leaf replaces the whole path with it, as it always did.
    if (BTN_enterstring(x, y, &shown, max_len, "", width, take_focus)) *path = shown;

    if (!mouse_in(x - 28, x - 6, y - 8, y + 12)) return 0;
    stls[help_string] = help;
    if (!mnw.mouse_down) return 0;
    std::string chosen;
    if (!widget_shell().choose_path(2, "Please pick an Ostrand to update", "Update", 1, nullptr, chosen))
        return 0;
    *path = chosen;
    return 1;
}

int BTN_select_path_chr(float x, float y, int which, int file_type, char* path, int max_len,
                        std::string label, float width, int take_focus) {
    if (!valid_args(which, file_type, "Bad open_save arg to BTN_select_file_chr!",
                    "Bad file_type arg to BTN_select_file_chr!", 703))
        return 0;
    // No room for even the terminator: nothing to show or write.
    if (max_len < 1) return 0;
    std::string s(path, strnlen(path, static_cast<size_t>(max_len)));
    const int r =
        BTN_select_path_stl(x, y, which, file_type, &s, max_len, std::move(label), width, take_focus);
    copy_to_chars(path, fitted(s, max_len));
    return r;
}

int BTN_select_file_chr(float x, float y, int which, int file_type, char* name, std::string* folder,
                        int max_len, std::string label, float width) {
    if (!valid_args(which, file_type, "Bad open_save arg to BTN_select_file_chr!",
                    "Bad file_type arg to BTN_select_file_chr!", 718))
        return 0;
    if (max_len < 1) return 0;
    std::string full = (folder->empty() ? std::string() : BTN_path_parent(*folder)) +
                       std::string(name, strnlen(name, static_cast<size_t>(max_len)));
    const int r = BTN_select_path_stl(x, y, which, file_type, &full, max_len, std::move(label), width, 1);
    if (!r) return 0;
    *folder = full;
    copy_to_chars(name, fitted(BTN_path_leaf(full), max_len));
    return 1;
}

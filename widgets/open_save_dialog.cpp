// Widget kit layer (widgets/).
// The modal open (998) and save (999) dialog drawn in the program's own window, with its preview
// of vehicle files and flight comments.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/globals.h"
#include "files/file_operations.h"
#include "files/versioned_file.h"
#include "graphics/text_layout.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_internals.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"
#include "widgets/widget_shell.h"

namespace {

constexpr int open_window = 998, save_window = 999;
constexpr int max_levels = 300;  // the pop-up path's items: the root and 299 folders
constexpr int icon_ref = 408;
constexpr size_t path_limit = 499;  // what the file layer takes

// Per file type: the folder the dialog starts in when no path is given, and the extension a
// saved name gets. Types not listed start in the application folder and add nothing.
struct type_files {
    int type;
    const char* start;
    const char* extension;
};
// clang-format off
constexpr type_files type_table[] = {
    {2, "", ".BMP"},  {3, "", ".ACF"},  {4, "", ".AFL"},  {5, "", ".WPN"},  {6, "", ".WAV"},  {7, "", ".OBJ"},
    {9, "Output/situations/", ".SIT"},  {10, "Output/movies/", ".SMO"},    {11, "Output/FMS plans/", ".FMS"},
    {13, "Output/TRA files/", ".TRA"},  {14, "Output/CAR files/", ".CAR"}, {15, "Output/SPA files/", ".SPA"},
    {16, "Output/REG files/", ".REG"},  {18, "", ".HGT"},  {19, "", ".TXT"},  {20, "sim/", ""},  {21, "sim/", ""},
};
// clang-format on

type_files files_of(int file_type) {
    for (const type_files& t : type_table)
        if (t.type == file_type) return t;
    return {file_type, "", ""};
}

// A file name to save under stays in the folder shown: no '/', no control characters, and not
// "." or "..".
bool saveable(const std::string& name) {
    for (unsigned char c : name)
        if (c == '/' || c < 32 || c == 127) return false;
    return name != "." && name != "..";
}

// name without a four-character extension, when it has one after some other text.
std::string without_extension(const std::string& name) {
    if (name.size() > 4 && name[name.size() - 4] == '.') return name.substr(0, name.size() - 4);
    return name;
}

// Only a plain file of the folder shown is read for a preview: a link may lead anywhere (a
// device, a pipe, another disc) without the user having chosen it.
bool previewable(const std::string& path) {
    const std::string full = app_path + path;
    struct stat st;
    return full.size() <= path_limit && lstat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The preview cache: the last path previewed and what was read from it.
std::string old_path;
unsigned char top_of_veh[2092];
int has_tex = 0;
std::string comment;

const int veh_versions[] = {700, 740, 8000, 810, 830, 840, 860, 900, 901, 902, 0};

// A text field of the vehicle header: up to its first zero byte, never past its end.
std::string veh_text(size_t offset, size_t length) {
    const char* p = reinterpret_cast<const char*>(top_of_veh) + offset;
    return std::string(p, strnlen(p, length));
}

void read_vehicle(const std::string& path) {
    std::memset(top_of_veh, 0, sizeof top_of_veh);
    has_tex = 0;
    if (!previewable(path)) return;
    {
        xmap_class file(path);
        if (file.check_file(xmap_type_binary, veh_versions, nullptr, nullptr)) {
            file.swap = 0;
            // A header without its whole block shows empty texts.
            if (file.end - file.cur >= static_cast<long>(sizeof top_of_veh))
                file.read_n_rev(top_of_veh, sizeof top_of_veh);
        }
    }
    const std::string icon = without_extension(path) + "_icon.png";
    if (previewable(icon)) has_tex = widget_paint().load_image(icon_ref, 0x511, icon);
}

bool eol(uint8_t c) { return c == 0 || c == '\r' || c == '\n'; }
bool blank(uint8_t c) { return c == ' ' || c == '\t'; }

// The text of the first COMM record after the header, or "".
std::string fdr_comment(const uint8_t* p, const uint8_t* e) {
    while (p < e) {
        const uint8_t* k = p;
        while (p < e && *p != ',' && !eol(*p)) ++p;
        const bool at_comma = p < e && *p == ',';
        if (p - k == 4 && strncasecmp(reinterpret_cast<const char*>(k), "COMM", 4) == 0) {
            if (!at_comma) return "";
            ++p;
            while (p < e && blank(*p)) ++p;
            const uint8_t* t = p;
            while (p < e && !eol(*p)) ++p;
            return std::string(t, p);
        }
        if (p < e) ++p;
        // A keyword that ended the line leaves the next line alone.
        if (at_comma)
            while (p < e && !eol(*p)) ++p;
        while (p < e && (eol(*p) || blank(*p))) ++p;
    }
    return "";
}

void read_comment(const std::string& path) {
    comment.clear();
    if (!previewable(path)) return;
    xmap_class file(path);
    static const int fdr_versions[] = {1, 0};
    if (file.check_file(xmap_type_text, fdr_versions, nullptr, nullptr))
        comment = fdr_comment(file.cur, file.end);
}

struct dialog {
    int which, file_type;
    std::string dir;
    std::vector<std::string> names;
    std::vector<int> kinds;
    int count = 0, scroll = 0, selection = 0;
    std::string name;

    void relist() { count = opensave_getitems(dir, file_type, names, kinds); }
    void enter(const std::string& folder) {
        dir = folder;
        relist();
        selection = count / 2;
    }
    bool selected() const { return selection >= 0 && selection < count; }
};

int level = 0;

// The staircase of folder names and the pop-up path's items; levels[i] is dir up to its i-th
// folder. '-' and '|' separate or break the pop-up's items, so folder names show them as spaces.
std::string path_popup(const std::string& dir, std::vector<std::string>& levels) {
    levels.assign(1, "");
    std::string items = "Ostrand folder-";
    size_t start = 0;
    for (int i = 0; start < dir.size() && i + 1 < max_levels; ++i) {
        size_t slash = dir.find('/', start);
        if (slash == std::string::npos) break;
        std::string c = dir.substr(start, slash - start);
        for (char& ch : c)
            if (ch == '-' || ch == '|') ch = ' ';
        const float step = 10.0f * static_cast<float>(i);
        widget_paint().string(47, 30 + step, 405 - step, c, 9999, font_prop, 0);
        items += c + "-";
        levels.push_back(dir.substr(0, slash + 1));
        start = slash + 1;
    }
    items.pop_back();
    // A folder deeper than the pop-up reaches shows as its deepest item.
    level = static_cast<int>(levels.size()) - 1;
    for (int i = level; i >= 0; --i)
        if (levels[static_cast<size_t>(i)] == dir) {
            level = i;
            break;
        }
    return items;
}

}  // namespace

std::string BTN_path_leaf(const std::string& p) {
    if (p.empty()) return p;
    size_t slash =
        p.back() == '/' ? (p.size() >= 2 ? p.rfind('/', p.size() - 2) : std::string::npos) : p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

std::string BTN_path_parent(const std::string& p) { return p.substr(0, p.size() - BTN_path_leaf(p).size()); }

void stand_io_dialog(int which, int file_type, std::string path) {
    widget_paint().back_colour();
    BTN_fillwin(1, 21);
    BTN_frame2(15, 10, 300, io_dx, 120, "");
    if (which != open_window) return;
    if (file_type == 3 || file_type == 8 || file_type == 20) {
        BTN_frame2(15, 331, 70, 220, 220, "");
        BTN_frame2(15, 331, 300, 220, 120, "");
    }
    widget_painter& p = widget_paint();
    if (file_type == 3 &&
        (path.find(".acf") != std::string::npos || path.find(".ACF") != std::string::npos)) {
        if (path != old_path) read_vehicle(path);
        float y = p.string(47, 341, 405, veh_text(1552, 500), 200, font_prop, 0);
        y = p.string(47, 341, y - 10, veh_text(1052, 500), 200, font_prop, 0);
        y = p.string(47, 341, y - 10, veh_text(2052, 40), 200, font_prop, 0);
        p.string(47, 341, y - 10, veh_text(1012, 40), 200, font_prop, 0);
        if (has_tex) p.image(icon_ref, 49, 1.0f, 341, 80, 541, 280);
    }
    if (file_type == 8 && path.find(".fdr") != std::string::npos) {
        if (path != old_path) read_comment(path);
        if (!comment.empty()) p.string(47, 341, 270, comment, 200, font_prop, 0);
    }
    old_path = path;
}

int BTN_opensave(int which, int file_type, std::string* path) {
    if (which != open_window && which != save_window) {
        butn_fatal("Bad open_save arg to BTN_opensave!", "", 1611);
        return 0;
    }
    if (file_type < 0 || file_type > 21) {
        butn_fatal("Bad file_type arg to BTN_opensave!", "", 1612);
        return 0;
    }
    const widget_shell_hooks& shell = widget_shell();
    const int back_to = mnw.curwin;
    const bool saving = which == save_window;
    dialog d{which, file_type, "", {}, {}, 0, 0, 0, ""};
    if (path->empty())
        d.dir = files_of(file_type).start;
    else if (path->find('/') != std::string::npos)
        d.dir = BTN_path_parent(*path);
    d.enter(d.dir);
    d.scroll = d.selection;
    shell.startwind(which, 0);
    // The keys of the frame that opened the dialog were the caller's.
    return_hit = escape_hit = delete_hit = 0;

    std::vector<std::string> levels;
    // Also a request to end the program (the window's close box) ends the dialog.
    while (mnw.curwin == which && !app_done) {
        const bool have_selection =
            !d.names.empty() && d.selection >= 0 && d.selection < static_cast<int>(d.names.size());
        stand_io_dialog(which, file_type,
                        have_selection ? d.dir + d.names[static_cast<size_t>(d.selection)] : "-");
        d.relist();
        const int list_hit = BTN_list_and_search(0, 10, 180, 0, 0, &d.scroll, &d.selection, 0, d.count - 1,
                                                 saving ? &d.name : nullptr, "File:", BTN_name_from_vector,
                                                 &d.names, nullptr, nullptr, BTN_type_from_vector, &d.kinds);
        const std::string items = path_popup(d.dir, levels);
        const int pressed = BTN_action(saving ? 282 : 280, 18, 0, 0, 1, saving ? "Save" : "Open", "-");
        const int cancelled = BTN_action(33, 18, 0, 0, 1, "Cancel", "-");
        const std::string file_name = without_extension(d.name) + files_of(file_type).extension;
        const bool bad_name = saving && !d.name.empty() && !saveable(file_name);
        if (bad_name) widget_paint().string(19, 157, 14, "No '/' or control characters", 9999, font_prop, 1);

        if (cancelled || escape_hit) {
            shell.startwind(back_to, 0);
            return 0;
        }
        if (BTN_textlist(150, 434, &level, items, "")) {
            d.dir = levels[static_cast<size_t>(std::min(level, static_cast<int>(levels.size()) - 1))];
            shell.event_proc();
            continue;
        }
        if (saving && (return_hit || pressed) && !d.name.empty() && !bad_name) {
            *path = d.dir + file_name;
            shell.startwind(back_to, 0);
            return 1;
        }
        if (list_hit || (!saving && return_hit) || (!saving && pressed)) {
            if (d.selected() && d.kinds[static_cast<size_t>(d.selection)] == 1) {
                d.enter(d.dir + d.names[static_cast<size_t>(d.selection)] + "/");
            } else if (!saving && d.selected()) {
                *path = d.dir + d.names[static_cast<size_t>(d.selection)];
                shell.startwind(back_to, 0);
                return 1;
            }
        }
        if (delete_hit && !d.dir.empty()) d.enter(BTN_path_parent(d.dir));
        shell.event_proc();
    }
    return 0;
}

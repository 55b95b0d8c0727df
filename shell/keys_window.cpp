// The key-assignment window: the list of key bindings on the left, and for the binding being
// edited the key pressed next, the group of commands and the command it presses. Drawn into the
// current window once per frame by whoever shows it; laid out for 1024 x 768.
#include <algorithm>
#include <string>
#include <vector>

#include "core/named_commands.h"
#include "core/window_state.h"
#include "shell/keys.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

namespace {

constexpr int rows_shown = 34;
constexpr float row_dy = 20;
constexpr int text_colour = 43;

// A command path's group: everything up to and including its last '/'; "" for none.
std::string group_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The group one level above a group ("sim/view/" -> "sim/", "sim/" -> "").
std::string parent_group(const std::string& group) {
    if (group.size() < 2) return std::string();
    return group_of(group.substr(0, group.size() - 1));
}

bool valid_command(int index) { return index >= 0 && index < cmnd.count(); }

void bind(keys_class::window_state& kw, key_binding& b, int command) {
    b.command = command;
    kw.group_command = command;
    kw.path_text = cmnd.path(command);
}

// The row's button text: the modifiers with a blank behind them, then the key.
std::string binding_text(const key_binding& b) {
    const std::string mods = keys_class::flag_to_str(b.flags);
    return (mods == "<none>" ? std::string() : mods + " ") + keys_class::vkey_to_str(b.vkey);
}

void binding_list(keys_class& k) {
    keys_class::window_state& kw = k.wind;
    BTN_subwin(0, 13, 19, 24, 310, 730, "Key Assignments", nullptr, nullptr);
    const int count = static_cast<int>(k.bindings.size());
    if (BTN_action(174, 718, 220, 0, 1, "Add New Key Assignment", "-")) {
        k.bindings.push_back(key_binding{0, 0, cmnd.get_cmnd_by_name("sim/operation/none"), 0});
        if (count + 1 > rows_shown) kw.scroll = count + 1 - rows_shown;
    }
    const int rows = static_cast<int>(k.bindings.size());
    BTN_vert_slider(0, 318, 20, 704, 0, std::max(0, rows - rows_shown), &kw.scroll);
    kw.scroll = std::clamp(kw.scroll, 0, std::max(0, rows - rows_shown));
    for (int r = 0; r < rows_shown && kw.scroll + r < rows; ++r) {
        const int i = kw.scroll + r;
        const float y = 690 - row_dy * static_cast<float>(r);
        key_binding& b = k.bindings[static_cast<size_t>(i)];
        if (BTN_action(85, y, 130, i == kw.selected, 1, binding_text(b), "-"))
            kw.selected = i == kw.selected ? -1 : i;
        const std::string path = valid_command(b.command) ? cmnd.path(b.command) : std::string();
        widget_paint().string(text_colour, 160, y - 3, path.size() > 4 ? path.substr(4) : std::string(), 9999,
                              100, 0);
    }
    if (kw.selected >= rows) kw.selected = -1;
}

// The key pressed while a binding is being edited becomes its key; no other binding keeps the
// same key and modifiers.
void take_key(keys_class& k) {
    keys_class::window_state& kw = k.wind;
    const bool pressed = k.key_downs != kw.key_downs_seen;
    kw.key_downs_seen = k.key_downs;
    if (!pressed || kw.selected < 0) return;
    key_binding& b = k.bindings[static_cast<size_t>(kw.selected)];
    b.vkey = k.last_vkey;
    b.flags = k.last_flags;
    for (size_t i = 0; i < k.bindings.size(); ++i) {
        key_binding& o = k.bindings[i];
        if (static_cast<int>(i) != kw.selected && o.vkey == b.vkey && o.flags == b.flags)
            o.vkey = o.flags = 0;
    }
}

void command_panels(keys_class& k) {
    keys_class::window_state& kw = k.wind;
    key_binding& b = k.bindings[static_cast<size_t>(kw.selected)];
    if (!valid_command(b.command)) return;
    if (kw.group_for != kw.selected || kw.group_command != b.command) {
        kw.group_for = kw.selected;
        kw.group_command = b.command;
        kw.group = group_of(cmnd.path(b.command));
        kw.path_text = cmnd.path(b.command);
    }
    const std::string& path = cmnd.path(b.command);

    BTN_subwin(0, 13, 357, 498, 346, 142, "Command", nullptr, nullptr);
    widget_paint().string(text_colour, 367, 600, path, 320, 100, 0);
    widget_paint().string(text_colour, 367, 580, cmnd.description(b.command), 320, 100, 0);
    const std::string typed = kw.path_text;
    if (BTN_select_path_stl(400, 510, 998, 20, &kw.path_text, 200, "|-custom cmnds from plugins", 140, 0))
        bind(kw, b, cmnd.get_cmnd_by_name(kw.path_text));
    else if (kw.path_text != typed) {
        // A typed path that names a command binds it.
        const int found = cmnd.get_cmnd_by_name(kw.path_text);
        if (cmnd.path(found) == kw.path_text) bind(kw, b, found);
    }

    // The groups beside the command's own, one level up.
    BTN_subwin(0, 13, 357, 24, 346, 446, "Groups", nullptr, nullptr);
    const std::string above = parent_group(group_of(path));
    std::vector<std::string> entries;
    cmnd.get_cmds_in_path(above, entries);
    bool group_changed = false;
    float y = 430;
    for (const std::string& e : entries) {
        if (y < 20) break;
        int ticked = above + e == kw.group ? 1 : 0;
        if (BTN_bool(377, y, &ticked, "|" + e, 0)) {
            kw.group = above + e;
            group_changed = true;
        }
        y -= row_dy;
    }

    // The commands of the current group, in columns.
    BTN_subwin(0, 13, 727, 24, 278, 730, "Commands", nullptr, nullptr);
    cmnd.get_cmds_in_path(kw.group, entries);
    float x = 745;
    y = 685;
    for (size_t i = 0; i < entries.size(); ++i) {
        const std::string full = kw.group + entries[i];
        int ticked = full == path ? 1 : 0;
        if (BTN_bool(x, y, &ticked, "|-" + entries[i], 0) || (group_changed && i == 0)) {
            bind(kw, b, cmnd.get_cmnd_by_name(full));
            group_changed = false;
        }
        y -= 15;
        if (y < 20) {
            y = 685;
            x += 148;
        }
    }
}

}  // namespace

void keys_class::keys_wind(int mode) {
    binding_list(*this);
    BTN_subwin(0, 13, 357, 668, 346, 86, "", nullptr, nullptr);
    widget_paint().string(
        text_colour, 367, 740,
        "Select the key you'd like to program from the list on the left of this screen and hit any key you "
        "like! Then select the group above and the item at right to assign some funtion to that keypress!",
        320, 100, 0);
    take_key(*this);
    if (mode == 0 && wind.selected >= 0) command_panels(*this);
}

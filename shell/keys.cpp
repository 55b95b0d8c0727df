#include "shell/keys.h"

#include <strings.h>

#include "core/globals.h"
#include "core/named_commands.h"
#include "core/window_state.h"
#include "platform/plat_keys.h"
#include "platform/plat_window.h"
#include "shell/frame.h"
#include "widgets/focus_ring.h"

namespace {
struct mac_mapping {
    char layout_char;
    unsigned char vkey;
};
struct ascii_translation {
    int ascii;
    int vkey;
    int shift;
};
}  // namespace

// clang-format off
const key_name_row kKeyNameTable[] = {
    {8, "QORV_VK_BACK", "Backspace"}, {9, "QORV_VK_TAB", "Tab"}, {12, "QORV_VK_CLEAR", "Clear"},
    {13, "QORV_VK_RETURN", "Return"}, {27, "QORV_VK_ESCAPE", "Escape"}, {32, "QORV_VK_SPACE", "Space"},
    {33, "QORV_VK_PRIOR", "PageUp"}, {34, "QORV_VK_NEXT", "PageDown"}, {35, "QORV_VK_END", "End"},
    {36, "QORV_VK_HOME", "Home"}, {37, "QORV_VK_LEFT", "Left"}, {38, "QORV_VK_UP", "Up"},
    {39, "QORV_VK_RIGHT", "Right"}, {40, "QORV_VK_DOWN", "Down"}, {41, "QORV_VK_SELECT", "Select"},
    {42, "QORV_VK_PRINT", "Print"}, {43, "QORV_VK_EXECUTE", "Execute"}, {44, "QORV_VK_SNAPSHOT", "Snapshot"},
    {45, "QORV_VK_INSERT", "Insert"}, {46, "QORV_VK_DELETE", "Delete"}, {47, "QORV_VK_HELP", "Help"},
    {48, "QORV_VK_0", "0"}, {49, "QORV_VK_1", "1"}, {50, "QORV_VK_2", "2"}, {51, "QORV_VK_3", "3"},
    {52, "QORV_VK_4", "4"}, {53, "QORV_VK_5", "5"}, {54, "QORV_VK_6", "6"}, {55, "QORV_VK_7", "7"},
    {56, "QORV_VK_8", "8"}, {57, "QORV_VK_9", "9"}, {65, "QORV_VK_A", "A"}, {66, "QORV_VK_B", "B"},
    {67, "QORV_VK_C", "C"}, {68, "QORV_VK_D", "D"}, {69, "QORV_VK_E", "E"}, {70, "QORV_VK_F", "F"},
    {71, "QORV_VK_G", "G"}, {72, "QORV_VK_H", "H"}, {73, "QORV_VK_I", "I"}, {74, "QORV_VK_J", "J"},
    {75, "QORV_VK_K", "K"}, {76, "QORV_VK_L", "L"}, {77, "QORV_VK_M", "M"}, {78, "QORV_VK_N", "N"},
    {79, "QORV_VK_O", "O"}, {80, "QORV_VK_P", "P"}, {81, "QORV_VK_Q", "Q"}, {82, "QORV_VK_R", "R"},
    {83, "QORV_VK_S", "S"}, {84, "QORV_VK_T", "T"}, {85, "QORV_VK_U", "U"}, {86, "QORV_VK_V", "V"},
    {87, "QORV_VK_W", "W"}, {88, "QORV_VK_X", "X"}, {89, "QORV_VK_Y", "Y"}, {90, "QORV_VK_Z", "Z"},
    {96, "QORV_VK_NUMPAD0", "Numpad-0"}, {97, "QORV_VK_NUMPAD1", "Numpad-1"}, {98, "QORV_VK_NUMPAD2", "Numpad-2"},
    {99, "QORV_VK_NUMPAD3", "Numpad-3"}, {100, "QORV_VK_NUMPAD4", "Numpad-4"},
    {101, "QORV_VK_NUMPAD5", "Numpad-5"}, {102, "QORV_VK_NUMPAD6", "Numpad-6"},
    {103, "QORV_VK_NUMPAD7", "Numpad-7"}, {104, "QORV_VK_NUMPAD8", "Numpad-8"},
    {105, "QORV_VK_NUMPAD9", "Numpad-9"}, {106, "QORV_VK_MULTIPLY", "Numpad-*"}, {107, "QORV_VK_ADD", "Numpad-+"},
    {109, "QORV_VK_SUBTRACT", "Numpad--"}, {110, "QORV_VK_DECIMAL", "Numpad-."},
    {111, "QORV_VK_DIVIDE", "Numpad-/"}, {112, "QORV_VK_F1", "F1"}, {113, "QORV_VK_F2", "F2"},
    {114, "QORV_VK_F3", "F3"}, {115, "QORV_VK_F4", "F4"}, {116, "QORV_VK_F5", "F5"}, {117, "QORV_VK_F6", "F6"},
    {118, "QORV_VK_F7", "F7"}, {119, "QORV_VK_F8", "F8"}, {120, "QORV_VK_F9", "F9"}, {121, "QORV_VK_F10", "F10"},
    {122, "QORV_VK_F11", "F11"}, {123, "QORV_VK_F12", "F12"}, {124, "QORV_VK_F13", "F13"},
    {125, "QORV_VK_F14", "F14"}, {126, "QORV_VK_F15", "F15"}, {127, "QORV_VK_F16", "F16"},
    {128, "QORV_VK_F17", "F17"}, {129, "QORV_VK_F18", "F18"}, {130, "QORV_VK_F19", "F19"},
    {131, "QORV_VK_F20", "F20"}, {132, "QORV_VK_F21", "F21"}, {133, "QORV_VK_F22", "F22"},
    {134, "QORV_VK_F23", "F23"}, {135, "QORV_VK_F24", "F24"}, {176, "QORV_VK_EQUAL", "="},
    {177, "QORV_VK_MINUS", "-"}, {178, "QORV_VK_RBRACE", "]"}, {179, "QORV_VK_LBRACE", "["},
    {180, "QORV_VK_QUOTE", "'"}, {181, "QORV_VK_SEMICOLON", ";"}, {182, "QORV_VK_BACKSLASH", "\\"},
    {183, "QORV_VK_COMMA", ","}, {184, "QORV_VK_SLASH", "/"}, {185, "QORV_VK_PERIOD", "."},
    {186, "QORV_VK_BACKQUOTE", "`"}, {187, "QORV_VK_ENTER", "Enter"}, {188, "QORV_VK_NUMPAD_ENT", "Numpad-Enter"},
    {189, "QORV_VK_NUMPAD_EQ", "Numpad-="}, {0, nullptr, nullptr},
};

// Codes 128 to 255 are 0.
const unsigned char qorv_Key_Map[256] = {
    65, 83, 68, 70, 72, 71, 90, 88, 67, 86, 182, 66, 81, 87, 69, 82,
    89, 84, 49, 50, 51, 52, 54, 53, 176, 57, 55, 177, 56, 48, 178, 79,
    85, 179, 73, 80, 13, 76, 74, 180, 75, 181, 182, 183, 184, 78, 77, 185,
    9, 32, 186, 8, 187, 27, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 110, 0, 106, 0, 107, 0, 12, 0, 0, 0, 111, 188, 0, 109, 0,
    0, 189, 96, 97, 98, 99, 100, 101, 102, 103, 0, 104, 105, 0, 0, 0,
    116, 117, 118, 114, 119, 120, 0, 122, 0, 0, 0, 0, 0, 121, 0, 123,
    0, 0, 0, 36, 33, 46, 115, 35, 113, 34, 112, 37, 39, 40, 38, 0,
};

// 39 pairs and a closing pair; the closing pair is never searched.
constexpr mac_mapping kMacMappings[] = {
    {13, 13}, {9, 9}, {'.', 185}, {' ', 32}, {'a', 65}, {'b', 66}, {'c', 67}, {'d', 68}, {'e', 69}, {'f', 70},
    {'g', 71}, {'h', 72}, {'i', 73}, {'j', 74}, {'k', 75}, {'l', 76}, {'m', 77}, {'n', 78}, {'o', 79}, {'p', 80},
    {'q', 81}, {'r', 82}, {'s', 83}, {'t', 84}, {'u', 85}, {'v', 86}, {'w', 87}, {'x', 88}, {'y', 89}, {'z', 90},
    {']', 178}, {'[', 179}, {'\'', 180}, {';', 181}, {'\\', 182}, {',', 183}, {'/', 184}, {'.', 185}, {'`', 186},
    {0, 0},
};

// 103 rows and a closing row of zeros.
constexpr ascii_translation kAsciiTranslations[] = {
    {13, 13, 0}, {27, 27, 0}, {9, 9, 0}, {8, 8, 0}, {28, 37, 0}, {29, 39, 0}, {30, 38, 0}, {31, 40, 0},
    {' ', 32, 0}, {'!', 49, 1}, {'"', 180, 1}, {'#', 51, 1}, {'$', 52, 1}, {'%', 53, 1}, {'&', 55, 1},
    {'\'', 180, 0}, {'(', 57, 1}, {')', 48, 1}, {'*', 56, 1}, {'+', 176, 1}, {',', 183, 0}, {'-', 177, 0},
    {'.', 185, 0}, {'/', 184, 0}, {'0', 48, 0}, {'1', 49, 0}, {'2', 50, 0}, {'3', 51, 0}, {'4', 52, 0},
    {'5', 53, 0}, {'6', 54, 0}, {'7', 55, 0}, {'8', 56, 0}, {'9', 57, 0}, {':', 181, 1}, {';', 181, 0},
    {'<', 183, 1}, {'=', 176, 0}, {'>', 185, 1}, {'?', 184, 1}, {'@', 50, 1}, {'A', 65, 1}, {'B', 66, 1},
    {'C', 67, 1}, {'D', 68, 1}, {'E', 69, 1}, {'F', 70, 1}, {'G', 71, 1}, {'H', 72, 1}, {'I', 73, 1}, {'J', 74, 1},
    {'K', 75, 1}, {'L', 76, 1}, {'M', 77, 1}, {'N', 78, 1}, {'O', 79, 1}, {'P', 80, 1}, {'Q', 81, 1}, {'R', 82, 1},
    {'S', 83, 1}, {'T', 84, 1}, {'U', 85, 1}, {'V', 86, 1}, {'W', 87, 1}, {'X', 88, 1}, {'Y', 89, 1}, {'Z', 90, 1},
    {'[', 179, 0}, {'\\', 182, 0}, {']', 178, 0}, {'^', 54, 1}, {'_', 177, 1}, {'`', 186, 0}, {'a', 65, 0},
    {'b', 66, 0}, {'c', 67, 0}, {'d', 68, 0}, {'e', 69, 0}, {'f', 70, 0}, {'g', 71, 0}, {'h', 72, 0}, {'i', 73, 0},
    {'j', 74, 0}, {'k', 75, 0}, {'l', 76, 0}, {'m', 77, 0}, {'n', 78, 0}, {'o', 79, 0}, {'p', 80, 0}, {'q', 81, 0},
    {'r', 82, 0}, {'s', 83, 0}, {'t', 84, 0}, {'u', 85, 0}, {'v', 86, 0}, {'w', 87, 0}, {'x', 88, 0}, {'y', 89, 0},
    {'z', 90, 0}, {'{', 179, 1}, {'|', 182, 1}, {'}', 178, 1}, {'~', 186, 1}, {0, 0, 0},
};
// clang-format on

keys_class keys;

void keys_class::handle_key_raw(long what, long message, long modifiers, long text) {
    int ch = static_cast<int>(message & 0xFF);
    int code = static_cast<int>((message >> 8) & 0xFF);
    int flags = 0;
    if (modifiers & plat::mac_shift_key) flags |= key_shift;
    if (modifiers & plat::mac_control_key) flags |= key_control;
    if (modifiers & plat::mac_option_key) flags |= key_option;
    if (what == 3) flags |= key_down;
    if (what == 4) flags |= key_up;
    if (modifiers & (plat::mac_cmd_key | plat::mac_option_key | plat::mac_control_key)) ch = 0;

    // Keys that follow their printed character take the layout's; the rest their position.
    int vkey = qorv_Key_Map[code];
    int layout = plat::layout_char(code);
    if (layout >= 0) {
        for (int i = 0; i < 39; ++i) {
            if (kMacMappings[i].layout_char == layout) {
                vkey = kMacMappings[i].vkey;
                break;
            }
        }
    }

    if (flags == 0 && ch == 0 && vkey == 0) return;
    // The focused widget gets what was typed beyond the message's 8 bits (an Omega) as it is.
    int typed = ch;
    if (text > 0x7F && !(modifiers & (plat::mac_cmd_key | plat::mac_option_key | plat::mac_control_key)))
        typed = static_cast<int>(text);
    if (BTN_dispatch_to_focus(typed, vkey, flags)) return;
    if (what != 4) {
        if (vkey == 13 || vkey == 187)
            return_hit = 1;
        else if (vkey == 27)
            escape_hit = 1;
        else if (vkey == 46 || vkey == 8)
            delete_hit = 1;
        if (mnw.curwin != 0 && return_hit == 1) {
            MACIBM_handleclick(1);
            return;
        }
        if (ch != 0) mnw.last_char = ch;
    }
    last_vkey = vkey;
    last_flags = flags & (key_shift | key_option | key_control);
    if (what == 3) ++key_downs;
    // Return reaches the bindings even while key commands are muted.
    if ((mnw.curwin != 999 && (vkey == 13 || vkey == 187)) || (mnw.keys_muted == 0 && vkey != 0))
        execute_key_cmnd(vkey, flags);
}

void keys_class::execute_key_cmnd(int vkey, int flags) {
    for (key_binding& b : bindings) {
        if (b.vkey != vkey) continue;
        if (b.flags == (flags & 7) && (flags & key_down)) {
            cmnd.press_one(b.command);
            b.pressed = 1;
        }
        // The release ignores the modifiers: a key let go after its shift still lets go.
        if (b.pressed && (flags & key_up)) {
            cmnd.release_one(b.command);
            b.pressed = 0;
        }
    }
}

void keys_class::handle_key(int, int vkey, int flags) {
    if (vkey == 13 || vkey == 187 || (vkey != 0 && mnw.keys_muted == 0)) execute_key_cmnd(vkey, flags);
}

void keys_class::run_repeat_keys() {
    for (const key_binding& b : bindings)
        if (b.pressed) cmnd.press_always(b.command);
}

int keys_class::key_bound_to(int vkey, int flags) {
    for (const key_binding& b : bindings)
        if (b.vkey == vkey && b.flags == flags) return b.command;
    return 0;
}

void keys_class::keys_io(int mode) {
    if (mode != 0) return;
    bindings.clear();
    const default_command& d = default_commands[0];
    bindings.push_back(key_binding{d.vkey, d.flags, cmnd.get_cmnd_by_name(d.path), 0});
}

std::string keys_class::get_key_for_cmnd(int command) {
    for (const key_binding& b : bindings) {
        if (b.command != command) continue;
        std::string name = vkey_to_str(b.vkey);
        if (!name.empty() && name[0] >= 'A' && name[0] <= 'Z')
            name[0] = static_cast<char>(name[0] - 'A' + 'a');
        return b.flags ? flag_to_str(b.flags) + "-" + name : name;
    }
    return std::string();
}

int keys_class::ascii_to_vkey(int ascii, int& vkey, int& shift) {
    vkey = 0;
    shift = 0;
    if (ascii == 0) return 0;
    int i = ascii == 13 ? 0 : 1;
    for (; kAsciiTranslations[i].ascii != 0; ++i) {
        if (kAsciiTranslations[i].ascii == ascii) {
            vkey = kAsciiTranslations[i].vkey;
            shift = kAsciiTranslations[i].shift;
            return 1;
        }
    }
    return 0;
}

int keys_class::str_to_vkey(const std::string& name) {
    for (const key_name_row* r = kKeyNameTable; r->name; ++r)
        if (strcasecmp(r->name, name.c_str()) == 0) return r->vkey;
    return 0;
}

std::string keys_class::vkey_to_str(int vkey) {
    for (const key_name_row* r = kKeyNameTable; r->name; ++r)
        if (r->vkey == vkey) return r->name;
    return "<none>";
}

std::string keys_class::vkey_to_code(int vkey) {
    for (const key_name_row* r = kKeyNameTable; r->name; ++r)
        if (r->vkey == vkey) return r->symbol;
    return std::to_string(vkey);
}

int keys_class::str_to_flag(const std::string& text) {
    int flags = 0;
    if (text.find("SHIFT") != std::string::npos) flags |= key_shift;
    if (text.find("ALT") != std::string::npos) flags |= key_option;
    if (text.find("CTRL") != std::string::npos) flags |= key_control;
    return flags;
}

namespace {
std::string join_flags(int flags, const char* shift, const char* option, const char* control,
                       const char* none) {
    std::string out;
    const char* names[3] = {shift, option, control};
    for (int bit = 0; bit < 3; ++bit) {
        if (!(flags & (1 << bit))) continue;
        if (!out.empty()) out += "+";
        out += names[bit];
    }
    return out.empty() ? none : out;
}
}  // namespace

std::string keys_class::flag_to_str(int flags) { return join_flags(flags, "SHIFT", "ALT", "CTRL", "<none>"); }

std::string keys_class::flag_to_code(int flags) {
    return join_flags(flags, "qorv_ShiftFlag", "qorv_OptionAltFlag", "qorv_ControlFlag", "0");
}

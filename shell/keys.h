// Keyboard translation and key bindings: every key event of the frame loop becomes a virtual
// key (vkey) that does not depend on the keyboard layout, with modifier flags; it is offered to
// the focused widget, raises the frame's Return, Escape and Delete flags, and last presses the
// named command bound to it.
#pragma once

#include <string>
#include <vector>

// Modifier flags of a translated key, and the event flags added while it is translated.
enum { key_shift = 1, key_option = 2, key_control = 4, key_down = 8, key_up = 16 };

struct key_binding {
    int vkey;
    int flags;    // modifier bits only, 0 to 7
    int command;  // index into the command registry
    int pressed;  // 1 from the key's press to its release
};

// One row of the vkey names.
struct key_name_row {
    unsigned char vkey;
    const char* symbol;  // "QORV_VK_..."
    const char* name;    // what a person reads
};
// 110 rows and a closing row of nulls.
extern const key_name_row kKeyNameTable[];
// The vkey of each Mac key code; 0 none.
extern const unsigned char qorv_Key_Map[256];

class keys_class {
public:
    // One key event: what 3 down, 4 up, 5 auto-repeat; message holds the character in bits 0-7
    // and the Mac key code in bits 8-15; modifiers the Mac modifier bits; text the character typed
    // as a Unicode code point when the platform knows it (0: the message's character).
    void handle_key_raw(long what, long message, long modifiers, long text = 0);
    // Presses the commands bound to vkey with exactly these modifiers on a key down, releases
    // every pressed one of vkey on a key up.
    void execute_key_cmnd(int vkey, int flags);
    void handle_key(int unused, int vkey, int flags);
    // Once per frame: the commands of held keys.
    void run_repeat_keys();
    int key_bound_to(int vkey, int flags);
    // Mode 0 resets the bindings to the command table's default row; other modes do nothing.
    void keys_io(int mode);
    void debug() {}
    // The key-assignment window, drawn into the current window once per frame (laid out for
    // 1024 x 768): the bindings, and in mode 0 the group and command of the one being edited.
    void keys_wind(int mode);

    std::string get_key_for_cmnd(int command);

    static int ascii_to_vkey(int ascii, int& vkey, int& shift);
    static int str_to_vkey(const std::string& name);
    static std::string vkey_to_str(int vkey);
    static std::string vkey_to_code(int vkey);
    static int str_to_flag(const std::string& text);
    static std::string flag_to_str(int flags);
    static std::string flag_to_code(int flags);

    int last_vkey = 0;
    int last_flags = 0;
    int key_downs = 0;  // key-downs that reached the bindings, for the key-assignment window
    std::vector<key_binding> bindings;

    // What the key-assignment window keeps between frames: the binding being edited (-1 none),
    // the list's scroll, the key-downs it has seen, and the group of commands and the path text
    // shown for the binding and command they were set up for.
    struct window_state {
        int selected = -1;
        int scroll = 0;
        int key_downs_seen = 0;
        int group_for = -1;
        int group_command = -1;
        std::string group;
        std::string path_text;
    };
    window_state wind;
};

extern keys_class keys;

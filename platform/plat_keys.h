// Keyboard modifier state as the program expects it: Mac modifier bits.
#pragma once

namespace plat {
// Bits of a Mac modifier word.
enum : int {
    mac_cmd_key = 1 << 8,
    mac_shift_key = 1 << 9,
    mac_caps_lock = 1 << 10,
    mac_option_key = 1 << 11,
    mac_control_key = 1 << 12,
};

// Translates an SDL modifier state (SDL_Keymod) into Mac modifier bits.
int mac_modifiers_from_sdl(unsigned sdl_mod);

// The modifier keys down now, as Mac modifier bits. Safe without SDL initialised (no keys then).
int key_modifiers();
}  // namespace plat

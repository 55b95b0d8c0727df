// Keys as the program expects them: Mac key codes (the key's position on an ANSI keyboard),
// Mac character codes and Mac modifier bits, made from SDL's scancodes, key symbols and
// modifier state. Plain ints here, so tests need no SDL types.
#pragma once

#include <cstdint>

namespace plat {
// Bits of a Mac modifier word.
enum : int {
    mac_cmd_key = 1 << 8,
    mac_shift_key = 1 << 9,
    mac_caps_lock = 1 << 10,
    mac_option_key = 1 << 11,
    mac_control_key = 1 << 12,
};

// The Mac code of a key without one: never 0, which is the A key.
inline constexpr int mac_code_none = 255;

// Translates an SDL modifier state (SDL_Keymod) into Mac modifier bits, bit by bit: SDL's own
// values collide with Mac bits (its NumLock is the Mac control bit). Left Alt is the option key;
// right Alt (AltGr) and the mode key give no bit, so what they type reaches a text field.
int mac_modifiers_from_sdl(unsigned sdl_mod);

// True for the modifier keys, which a Mac reports through the modifier bits only.
bool is_modifier_scancode(int sdl_scancode);
// The Mac key code of an SDL scancode; mac_code_none when the key has none.
int mac_code_from_scancode(int sdl_scancode);
// The SDL scancode of a Mac key code (the first that maps to it); 0 when none does.
int scancode_from_mac_code(int mac_code);
// The Mac character of a key that types no text (Return 13, Left 28, F-keys 16 ...); 0 for others.
int mac_control_char(int sdl_scancode);
// The character a layout's key symbol stands for, as a Mac layout prints it: the symbol itself
// below 128, the keypad's digits and signs, 3 for keypad Enter; -1 for anything else.
int layout_char_from_keysym(int sdl_keycode);
// The first code point of UTF-8 text, 0 when the text is empty or does not start with one.
uint32_t code_point_from_utf8(const char* text);
// The first code point of UTF-8 text as a Mac character: that byte when at most 0xFF, else 0.
int mac_char_from_utf8(const char* text);
}  // namespace plat

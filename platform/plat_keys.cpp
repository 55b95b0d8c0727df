#include "platform/plat_keys.h"

#include <SDL.h>

#include <cstring>

#include "platform/plat_strings.h"

namespace plat {
namespace {
struct scan_mac {
    SDL_Scancode scan;
    uint8_t mac;
};

// Keys by position; the Mac code is where the key sits on a Mac ANSI keyboard. Where two
// scancodes share a Mac code the first row is its reverse mapping.
// clang-format off
constexpr scan_mac kScanToMac[] = {
    {SDL_SCANCODE_A, 0x00}, {SDL_SCANCODE_S, 0x01}, {SDL_SCANCODE_D, 0x02}, {SDL_SCANCODE_F, 0x03},
    {SDL_SCANCODE_H, 0x04}, {SDL_SCANCODE_G, 0x05}, {SDL_SCANCODE_Z, 0x06}, {SDL_SCANCODE_X, 0x07},
    {SDL_SCANCODE_C, 0x08}, {SDL_SCANCODE_V, 0x09}, {SDL_SCANCODE_NONUSBACKSLASH, 0x0A}, {SDL_SCANCODE_B, 0x0B},
    {SDL_SCANCODE_Q, 0x0C}, {SDL_SCANCODE_W, 0x0D}, {SDL_SCANCODE_E, 0x0E}, {SDL_SCANCODE_R, 0x0F},
    {SDL_SCANCODE_Y, 0x10}, {SDL_SCANCODE_T, 0x11}, {SDL_SCANCODE_1, 0x12}, {SDL_SCANCODE_2, 0x13},
    {SDL_SCANCODE_3, 0x14}, {SDL_SCANCODE_4, 0x15}, {SDL_SCANCODE_6, 0x16}, {SDL_SCANCODE_5, 0x17},
    {SDL_SCANCODE_EQUALS, 0x18}, {SDL_SCANCODE_9, 0x19}, {SDL_SCANCODE_7, 0x1A}, {SDL_SCANCODE_MINUS, 0x1B},
    {SDL_SCANCODE_8, 0x1C}, {SDL_SCANCODE_0, 0x1D}, {SDL_SCANCODE_RIGHTBRACKET, 0x1E}, {SDL_SCANCODE_O, 0x1F},
    {SDL_SCANCODE_U, 0x20}, {SDL_SCANCODE_LEFTBRACKET, 0x21}, {SDL_SCANCODE_I, 0x22}, {SDL_SCANCODE_P, 0x23},
    {SDL_SCANCODE_RETURN, 0x24}, {SDL_SCANCODE_L, 0x25}, {SDL_SCANCODE_J, 0x26}, {SDL_SCANCODE_APOSTROPHE, 0x27},
    {SDL_SCANCODE_K, 0x28}, {SDL_SCANCODE_SEMICOLON, 0x29}, {SDL_SCANCODE_BACKSLASH, 0x2A},
    {SDL_SCANCODE_NONUSHASH, 0x2A}, {SDL_SCANCODE_COMMA, 0x2B}, {SDL_SCANCODE_SLASH, 0x2C}, {SDL_SCANCODE_N, 0x2D},
    {SDL_SCANCODE_M, 0x2E}, {SDL_SCANCODE_PERIOD, 0x2F}, {SDL_SCANCODE_TAB, 0x30}, {SDL_SCANCODE_SPACE, 0x31},
    {SDL_SCANCODE_GRAVE, 0x32}, {SDL_SCANCODE_BACKSPACE, 0x33}, {SDL_SCANCODE_RETURN2, 0x34},
    {SDL_SCANCODE_ESCAPE, 0x35},
    {SDL_SCANCODE_F17, 0x40}, {SDL_SCANCODE_KP_PERIOD, 0x41}, {SDL_SCANCODE_KP_MULTIPLY, 0x43},
    {SDL_SCANCODE_KP_PLUS, 0x45}, {SDL_SCANCODE_NUMLOCKCLEAR, 0x47}, {SDL_SCANCODE_VOLUMEUP, 0x48},
    {SDL_SCANCODE_VOLUMEDOWN, 0x49}, {SDL_SCANCODE_MUTE, 0x4A}, {SDL_SCANCODE_KP_DIVIDE, 0x4B},
    {SDL_SCANCODE_KP_ENTER, 0x4C}, {SDL_SCANCODE_KP_MINUS, 0x4E}, {SDL_SCANCODE_F18, 0x4F},
    {SDL_SCANCODE_F19, 0x50}, {SDL_SCANCODE_KP_EQUALS, 0x51}, {SDL_SCANCODE_KP_0, 0x52}, {SDL_SCANCODE_KP_1, 0x53},
    {SDL_SCANCODE_KP_2, 0x54}, {SDL_SCANCODE_KP_3, 0x55}, {SDL_SCANCODE_KP_4, 0x56}, {SDL_SCANCODE_KP_5, 0x57},
    {SDL_SCANCODE_KP_6, 0x58}, {SDL_SCANCODE_KP_7, 0x59}, {SDL_SCANCODE_F20, 0x5A}, {SDL_SCANCODE_KP_8, 0x5B},
    {SDL_SCANCODE_KP_9, 0x5C}, {SDL_SCANCODE_INTERNATIONAL3, 0x5D}, {SDL_SCANCODE_INTERNATIONAL1, 0x5E},
    {SDL_SCANCODE_KP_COMMA, 0x5F}, {SDL_SCANCODE_F5, 0x60}, {SDL_SCANCODE_F6, 0x61}, {SDL_SCANCODE_F7, 0x62},
    {SDL_SCANCODE_F3, 0x63}, {SDL_SCANCODE_F8, 0x64}, {SDL_SCANCODE_F9, 0x65}, {SDL_SCANCODE_LANG2, 0x66},
    {SDL_SCANCODE_F11, 0x67}, {SDL_SCANCODE_LANG1, 0x68}, {SDL_SCANCODE_F13, 0x69},
    {SDL_SCANCODE_PRINTSCREEN, 0x69}, {SDL_SCANCODE_F16, 0x6A}, {SDL_SCANCODE_F14, 0x6B},
    {SDL_SCANCODE_SCROLLLOCK, 0x6B}, {SDL_SCANCODE_F10, 0x6D}, {SDL_SCANCODE_F12, 0x6F}, {SDL_SCANCODE_F15, 0x71},
    {SDL_SCANCODE_PAUSE, 0x71}, {SDL_SCANCODE_INSERT, 0x72}, {SDL_SCANCODE_HELP, 0x72}, {SDL_SCANCODE_HOME, 0x73},
    {SDL_SCANCODE_PAGEUP, 0x74}, {SDL_SCANCODE_DELETE, 0x75}, {SDL_SCANCODE_F4, 0x76}, {SDL_SCANCODE_END, 0x77},
    {SDL_SCANCODE_F2, 0x78}, {SDL_SCANCODE_PAGEDOWN, 0x79}, {SDL_SCANCODE_F1, 0x7A}, {SDL_SCANCODE_LEFT, 0x7B},
    {SDL_SCANCODE_RIGHT, 0x7C}, {SDL_SCANCODE_DOWN, 0x7D}, {SDL_SCANCODE_UP, 0x7E},
};

struct scan_char {
    SDL_Scancode scan;
    uint8_t ch;
};

// What a Mac puts in the character byte for keys that type nothing.
constexpr scan_char kControlChars[] = {
    {SDL_SCANCODE_RETURN, 13},   {SDL_SCANCODE_KP_ENTER, 3},     {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_BACKSPACE, 8}, {SDL_SCANCODE_ESCAPE, 27},      {SDL_SCANCODE_DELETE, 127},
    {SDL_SCANCODE_LEFT, 28},     {SDL_SCANCODE_RIGHT, 29},       {SDL_SCANCODE_UP, 30},
    {SDL_SCANCODE_DOWN, 31},     {SDL_SCANCODE_HOME, 1},         {SDL_SCANCODE_END, 4},
    {SDL_SCANCODE_PAGEUP, 11},   {SDL_SCANCODE_PAGEDOWN, 12},    {SDL_SCANCODE_INSERT, 5},
    {SDL_SCANCODE_HELP, 5},      {SDL_SCANCODE_NUMLOCKCLEAR, 27},
};
// clang-format on
}  // namespace

int mac_modifiers_from_sdl(unsigned sdl_mod) {
    int bits = 0;
    if (sdl_mod & KMOD_GUI) bits |= mac_cmd_key;
    if (sdl_mod & KMOD_SHIFT) bits |= mac_shift_key;
    if (sdl_mod & KMOD_CAPS) bits |= mac_caps_lock;
    // Right Alt is AltGr on most layouts, the third level that types characters; only the left
    // one is the option key.
    if (sdl_mod & KMOD_LALT) bits |= mac_option_key;
    if (sdl_mod & KMOD_CTRL) bits |= mac_control_key;
    return bits;
}

bool is_modifier_scancode(int s) {
    return (s >= SDL_SCANCODE_LCTRL && s <= SDL_SCANCODE_RGUI) || s == SDL_SCANCODE_CAPSLOCK ||
           s == SDL_SCANCODE_MODE;
}

int mac_code_from_scancode(int s) {
    for (const scan_mac& r : kScanToMac)
        if (r.scan == s) return r.mac;
    return mac_code_none;
}

int scancode_from_mac_code(int mac) {
    for (const scan_mac& r : kScanToMac)
        if (r.mac == mac) return r.scan;
    return SDL_SCANCODE_UNKNOWN;
}

int mac_control_char(int s) {
    if (s >= SDL_SCANCODE_F1 && s <= SDL_SCANCODE_F12) return 16;
    if (s >= SDL_SCANCODE_F13 && s <= SDL_SCANCODE_F24) return 16;
    for (const scan_char& r : kControlChars)
        if (r.scan == s) return r.ch;
    return 0;
}

int layout_char_from_keysym(int sym) {
    if (sym >= 0 && sym < 128) return sym;
    if (sym >= SDLK_KP_1 && sym <= SDLK_KP_9) return '1' + (sym - SDLK_KP_1);
    switch (sym) {
        case SDLK_KP_0:
            return '0';
        case SDLK_KP_PERIOD:
            return '.';
        case SDLK_KP_DIVIDE:
            return '/';
        case SDLK_KP_MULTIPLY:
            return '*';
        case SDLK_KP_MINUS:
            return '-';
        case SDLK_KP_PLUS:
            return '+';
        case SDLK_KP_EQUALS:
            return '=';
        case SDLK_KP_ENTER:
            return 3;
        default:
            return -1;
    }
}

uint32_t code_point_from_utf8(const char* text) {
    uint32_t cp = 0;
    return utf8_decode(text, text + strnlen(text, 4), &cp) ? cp : 0;
}

int mac_char_from_utf8(const char* text) {
    const uint32_t cp = code_point_from_utf8(text);
    return cp <= 0xFF ? static_cast<int>(cp) : 0;
}
}  // namespace plat

#include "platform/plat_keys.h"

#include <SDL.h>

namespace plat {
int mac_modifiers_from_sdl(unsigned sdl_mod) {
    int bits = 0;
    if (sdl_mod & KMOD_GUI) bits |= mac_cmd_key;
    if (sdl_mod & KMOD_SHIFT) bits |= mac_shift_key;
    if (sdl_mod & KMOD_CAPS) bits |= mac_caps_lock;
    if (sdl_mod & KMOD_ALT) bits |= mac_option_key;
    if (sdl_mod & KMOD_CTRL) bits |= mac_control_key;
    return bits;
}

// SDL keeps the modifier state in a plain variable that its event pump updates, so the
// query needs no initialised video subsystem.
int key_modifiers() { return mac_modifiers_from_sdl(static_cast<unsigned>(SDL_GetModState())); }
}  // namespace plat

#include "shell/modifier_keys.h"

#include "platform/plat_keys.h"
#include "platform/plat_window.h"

int has_shiftkey() { return (plat::key_modifiers() & plat::mac_shift_key) != 0; }
int has_capslock() { return (plat::key_modifiers() & plat::mac_caps_lock) != 0; }
int has_optionkey() { return (plat::key_modifiers() & plat::mac_option_key) != 0; }

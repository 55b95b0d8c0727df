#include "shell/mnw.h"

#include "platform/plat_keys.h"

// Constant-initialised, so it holds its defaults before any unit's static initialiser runs.
mnw_struct mnw = mnw_defaults();

std::string stls[stls_size];

int has_shiftkey() { return (plat::key_modifiers() & plat::mac_shift_key) != 0; }
int has_capslock() { return (plat::key_modifiers() & plat::mac_caps_lock) != 0; }
int has_optionkey() { return (plat::key_modifiers() & plat::mac_option_key) != 0; }

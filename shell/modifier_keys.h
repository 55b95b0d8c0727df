// Modifier keys held now: 0 or 1.
#pragma once

int has_shiftkey();
int has_capslock();
int has_optionkey();

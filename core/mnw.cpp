#include "core/mnw.h"

#include "core/stls.h"

// Constant-initialised, so it holds its defaults before any unit's static initialiser runs.
mnw_struct mnw = mnw_defaults();

std::string stls[stls_size];

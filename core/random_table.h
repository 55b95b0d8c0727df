// Core runtime layer (core/).
// The table of random fractions that lookups draw from by seed, so equal seeds give equal
// choices. The shell's start-up fills it once; it is read-only afterwards.
#pragma once

inline constexpr int randrat_size = 10000;
// Each value lies in [0, 0.9999).
extern float randrat[randrat_size];

// The table of random fractions drawn from by seed (core runtime layer).
#include "core/random_table.h"

float randrat[randrat_size];

#include "core/randrat.h"

float randrat[randrat_size];

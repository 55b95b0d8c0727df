// Double of the command registry's listing: answers with the names a test sets.
#pragma once

#include <string>
#include <vector>

void cmnd_double_set(const std::vector<std::string>& names);
// The prefix of the latest question.
std::string cmnd_double_last_prefix();

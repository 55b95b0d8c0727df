#include "doubles/cmnd_double.h"

#include <mutex>

namespace {
std::mutex mu;
std::vector<std::string> names_set;
std::string last_prefix;
}  // namespace

void cmnd_double_set(const std::vector<std::string>& names) {
    std::lock_guard<std::mutex> g(mu);
    names_set = names;
}

std::string cmnd_double_last_prefix() {
    std::lock_guard<std::mutex> g(mu);
    return last_prefix;
}

void get_cmds_in_path(const std::string& prefix, std::vector<std::string>& out) {
    std::lock_guard<std::mutex> g(mu);
    last_prefix = prefix;
    out = names_set;
}

// System facts by selector (platform layer).
#include "platform/plat_system_facts.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace plat {

namespace {
// Number n (0-based) of a release text such as "6.1.0-18-amd64"; false when it has fewer.
bool release_number(const char* release, int n, int32_t* value) {
    const char* p = release;
    for (int i = 0;; ++i) {
        if (*p < '0' || *p > '9') return false;
        char* end = nullptr;
        long v = std::strtol(p, &end, 10);
        if (i == n) {
            *value = static_cast<int32_t>(v);
            return true;
        }
        if (*end != '.') return false;
        p = end + 1;
    }
}

bool processor_type(const char* machine, int32_t* value) {
    const std::string m = machine;
    if (m == "x86_64" || m == "amd64" || (m.size() == 4 && m[0] == 'i' && m.compare(2, 2, "86") == 0)) {
        *value = static_cast<int32_t>(four_cc("ixxx"));
        return true;
    }
    if (m.empty()) return false;
    char code[5] = "    ";
    std::memcpy(code, m.data(), m.size() < 4 ? m.size() : 4);
    *value = static_cast<int32_t>(four_cc(code));
    return true;
}

bool clock_mhz(int32_t* value) {
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);) {
        if (line.compare(0, 7, "cpu MHz") != 0) continue;
        size_t colon = line.find(':');
        if (colon == std::string::npos) return false;
        double mhz = std::strtod(line.c_str() + colon + 1, nullptr);
        if (mhz <= 0) return false;
        *value = static_cast<int32_t>(mhz + 0.5);
        return true;
    }
    return false;
}

bool memory_mb(int32_t* value) {
    struct sysinfo si;
    if (sysinfo(&si) != 0) return false;
    unsigned long long mb = static_cast<unsigned long long>(si.totalram) * si.mem_unit / (1024 * 1024);
    *value = mb > 0x7fffffffULL ? 0x7fffffff : static_cast<int32_t>(mb);
    return true;
}
}  // namespace

int gestalt(uint32_t selector, int32_t* value) {
    struct utsname u;
    bool ok = false;
    if (selector == four_cc("sys1") || selector == four_cc("sys2") || selector == four_cc("sys3")) {
        ok = uname(&u) == 0 && release_number(u.release, static_cast<int>(selector & 0xff) - '1', value);
    } else if (selector == four_cc("cput")) {
        ok = uname(&u) == 0 && processor_type(u.machine, value);
    } else if (selector == four_cc("mclk")) {
        ok = clock_mhz(value);
    } else if (selector == four_cc("ramm")) {
        ok = memory_mb(value);
    }
    return ok ? 0 : gestalt_undefined;
}

}  // namespace plat

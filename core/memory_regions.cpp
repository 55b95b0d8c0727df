#include "core/memory_regions.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>

std::vector<memory_region> read_memory_regions(const char* file) {
    std::vector<memory_region> regions;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
        uintptr_t start, end;
        char perms[5];
        int path_at = 0;
        if (std::sscanf(line.c_str(), "%" SCNxPTR "-%" SCNxPTR " %4s %*s %*s %*s %n", &start, &end, perms,
                        &path_at) == 3 &&
            path_at > 0) {
            memory_region r;
            r.start = start;
            r.end = end;
            std::memcpy(r.perms, perms, sizeof r.perms);
            r.path = line.substr(path_at);
            regions.push_back(r);
            continue;
        }
        if (regions.empty()) continue;
        // smaps detail lines: "Key:   N kB"
        char key[64];
        unsigned long long kb;
        if (std::sscanf(line.c_str(), "%63[^:]: %llu kB", key, &kb) != 2) continue;
        memory_region& r = regions.back();
        if (!std::strcmp(key, "Private_Clean") || !std::strcmp(key, "Private_Dirty"))
            r.private_bytes += kb * 1024;
        else if (!std::strcmp(key, "Shared_Clean") || !std::strcmp(key, "Shared_Dirty"))
            r.shared_bytes += kb * 1024;
        else if (!std::strcmp(key, "Rss"))
            r.resident_bytes = kb * 1024;
    }
    return regions;
}

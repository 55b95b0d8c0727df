// The process's memory regions as /proc lists them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct memory_region {
    uintptr_t start = 0, end = 0;
    char perms[5] = {};                                                // "rwxp" / "r--s" ...
    std::string path;                                                  // file, "[heap]", ... or empty
    uint64_t private_bytes = 0, shared_bytes = 0, resident_bytes = 0;  // smaps only
};

// Reads /proc/self/maps or /proc/self/smaps, in address order; empty when unreadable.
std::vector<memory_region> read_memory_regions(const char* file);

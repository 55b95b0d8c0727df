#include "core/memory.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "core/globals.h"
#include "core/memory_regions.h"
#include "core/statistics.h"

// ---- allocation

namespace {
void* allocate(std::size_t size) {
    if (size == 0) size = 1;
    for (;;) {
        if (void* p = std::malloc(size)) return p;
        std::new_handler handler = std::get_new_handler();
        if (!handler) throw std::bad_alloc();
        handler();
    }
}

void* allocate_nothrow(std::size_t size) noexcept {
    try {
        return allocate(size);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}
}  // namespace

void* operator new(std::size_t size, const char*, int) { return allocate(size); }
void* operator new[](std::size_t size, const char*, int) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&, const char*, int) noexcept {
    return allocate_nothrow(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&, const char*, int) noexcept {
    return allocate_nothrow(size);
}

void* operator new(std::size_t size) { return operator new(size, "anonymous new", 0); }
void* operator new[](std::size_t size) { return operator new[](size, "anonymous new[]", 0); }
void* operator new(std::size_t size, const std::nothrow_t& nt) noexcept {
    return operator new(size, nt, "anonymous new-nt", 0);
}
void* operator new[](std::size_t size, const std::nothrow_t& nt) noexcept {
    return operator new[](size, nt, "anonymous new-nt[]", 0);
}

void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const char*, int) noexcept { std::free(p); }
void operator delete[](void* p, const char*, int) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&, const char*, int) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&, const char*, int) noexcept { std::free(p); }

// ---- units

uint64_t mem_to_number(unsigned long long bytes) {
    if (bytes > 15032385536ull) return bytes >> 30;
    if (bytes > 1468006ull) return bytes >> 20;
    if (bytes > 1433ull) return bytes >> 10;
    return bytes;
}

char mem_to_suffix(unsigned long long bytes) {
    if (bytes > 15032385536ull) return 'G';
    if (bytes > 1468006ull) return 'M';
    if (bytes > 1433ull) return 'K';
    return 'B';
}

const char* sm_string(unsigned char share_mode) {
    static const char* const names[] = {"Copy-on-write", "Private",         "Empty",         "Shared",
                                        "True-Shared",   "Private-Aliased", "Shared-Aliased"};
    return share_mode >= 1 && share_mode <= 7 ? names[share_mode - 1] : "Unknown";
}

// ---- the memory report

namespace {
// "key: N kB" values of /proc/meminfo, in bytes.
uint64_t meminfo_bytes(const std::string& text, const char* key) {
    std::string k = std::string("\n") + key + ":";
    size_t at = ("\n" + text).find(k);
    if (at == std::string::npos) return 0;
    return std::strtoull(text.c_str() + at + k.size() - 1, nullptr, 10) * 1024;
}

std::string read_text(const char* path) {
    std::ifstream in(path);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void put_size(FILE* f, const char* label, uint64_t bytes, const char* text) {
    std::fprintf(f, "    %s%5" PRIu64 "%c%s\n", label, mem_to_number(bytes), mem_to_suffix(bytes), text);
}

// Share modes as named by sm_string.
unsigned char share_mode(const memory_region& r) {
    if (std::strcmp(r.perms, "---p") == 0 && r.resident_bytes == 0) return 3;  // Empty
    if (r.perms[3] == 's') return 4;                                           // Shared
    bool file_backed = !r.path.empty() && r.path[0] != '[';
    return file_backed ? 1 : 2;  // Copy-on-write : Private
}

std::string image_name(const memory_region& r) {
    size_t slash = r.path.rfind('/');
    return slash == std::string::npos ? r.path : r.path.substr(slash + 1);
}

void write_report(FILE* f, const char* reason) {
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    unsigned long long vpages = 0, rpages = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%llu %llu", &vpages, &rpages) != 2) vpages = rpages = 0;
        std::fclose(statm);
    }
    const std::string mi = read_text("/proc/meminfo");
    const uint64_t swap_total = meminfo_bytes(mi, "SwapTotal"), swap_free = meminfo_bytes(mi, "SwapFree");

    std::fprintf(f, "dump_mem_stats: %s\n", reason);
    std::fprintf(f, "OS X Info:\n");
    put_size(f, "Page size:        ", page, "      This is the size of one virtual memory page.");
    put_size(f, "Vsize (reported): ", vpages * page,
             "      This is the total virtual address space used by Volatra (including empty regions).");
    put_size(f, "Rsize:            ", rpages * page,
             "      This is the total amount of real RAM used by Volatra (virtual pages resident in RAM).");
    put_size(f, "Free pages:       ", meminfo_bytes(mi, "MemFree"),
             "      This is the total free RAM on the machine.");
    put_size(f, "Active Pages:     ", meminfo_bytes(mi, "Active"),
             "      This is the total actively used RAM among all apps - it probably can't be paged out "
             "without causing huge performance problems.");
    put_size(f, "Inactive Pages:   ", meminfo_bytes(mi, "Inactive"),
             "      This is the total inactive RAM from all apps - pages that is elligible to be paged out "
             "since it hasn't been used recently.");
    put_size(f, "Wired Pages:      ", meminfo_bytes(mi, "Unevictable"),
             "      This is the total wired RAM - pages that are 'wired down' and cannot ever be paged out.");
    put_size(f, "Total Swap Pages: ", swap_total, "");
    put_size(f, "Avail Swap Pages: ", swap_free, "");
    put_size(f, "Used  Swap Pages: ", swap_total - swap_free, "");

    std::fprintf(f, "    I will now print the entire map of virtual memory.\n");
    std::fprintf(f, "        Address           Size    r-private r-shared sharing-mode (ref count)\n");
    uint64_t total_vsize = 0, private_rsize = 0, shared_rsize = 0;
    uint64_t largest_free = 0, total_free = 0, largest_gap = 0, total_gap = 0;
    uintptr_t last_end = 0;
    for (const memory_region& r : read_memory_regions("/proc/self/smaps")) {
        if (r.start != last_end) {
            uint64_t gap = r.start - last_end;
            std::fprintf(f, "        0x%08" PRIXPTR "      %5" PRIu64 "%c               --------\n", last_end,
                         mem_to_number(gap), mem_to_suffix(gap));
            total_gap += gap;
            if (gap > largest_gap) largest_gap = gap;
        }
        const uint64_t size = r.end - r.start;
        const unsigned char mode = share_mode(r);
        std::fprintf(f,
                     "        0x%08" PRIXPTR "      %5" PRIu64 "%c       %5" PRIu64 "%c %5" PRIu64
                     "%c   %20s (% 3d)       %s\n",
                     r.start, mem_to_number(size), mem_to_suffix(size), mem_to_number(r.private_bytes),
                     mem_to_suffix(r.private_bytes), mem_to_number(r.shared_bytes),
                     mem_to_suffix(r.shared_bytes), sm_string(mode), 0, image_name(r).c_str());
        if (mode == 3) {
            total_free += size;
            if (size > largest_free) largest_free = size;
        } else {
            total_vsize += size;
        }
        private_rsize += r.private_bytes;
        shared_rsize += r.shared_bytes;
        last_end = r.end;
    }

    put_size(f, "Total vsize:     ", total_vsize,
             "      This is the total non-empty virtual address space used by Volatra.");
    put_size(f, "Total rsize:     ", private_rsize + shared_rsize,
             "      This is the total amount of real memory used by Volatra (shared and exclusive).");
    put_size(
        f, "Shared rsize:    ", shared_rsize,
        "      This is the total amonut of real memory used by Volatra that is shared with other processes.");
    put_size(f, "Private rsize:   ", private_rsize,
             "      This is the total amount of real memory used by Volatra exclusively (private).");
    put_size(f, "Largest free:    ", largest_free,
             "      This is the largest empty region in Volatra's address space.");
    put_size(f, "Total free:      ", total_free,
             "      This is the size of all empty regions in Volatra's address space.");
    put_size(f, "Largest gap:     ", largest_gap,
             "      This is the size of the largest unused gap in Volatra's address space.");
    put_size(f, "Total gap:       ", total_gap,
             "      This is the size of all of the gaps in Volatra's address space - that is, total unused "
             "address space.");
}
}  // namespace

void dump_mem_stats(const char* reason) {
    // Reports from two threads would interleave in one file.
    static std::mutex mu;
    static bool first_dump = true;
    std::lock_guard<std::mutex> g(mu);

    xer << "OK check MemoryLog.txt! I just sent him a dump from " << reason << "\n";
    const std::string path = app_path + "MemoryLog.txt";
    FILE* f = std::fopen(path.c_str(), first_dump ? "w" : "a");
    first_dump = false;
    write_report(f ? f : stdout, reason);
    if (!f) {
        std::fflush(stdout);
        return;
    }
    bool failed = std::ferror(f) != 0;
    if (std::fclose(f) != 0 || failed) xer << "ERROR: could not write " << path << "\n";
}

void DumpMemCmd() { dump_mem_stats("Remote Commanded Dump"); }

static UTL_remote_cmd dump_mem_cmd("Dump Memory Info", DumpMemCmd);

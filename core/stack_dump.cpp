// Symbolised addresses and stack listings: dladdr names the image and its nearest exported
// symbol; libbacktrace reads the executable's symbol and DWARF line tables for the function,
// source file and line.
#include <backtrace.h>
#include <cxxabi.h>
#include <dlfcn.h>
#include <unwind.h>

#include <cctype>
#include <cinttypes>
#include <csignal>
#include <cstdlib>
#include <cstring>

#include "core/memory.h"
#include "core/memory_regions.h"

namespace {
void copy_text(char* dst, const char* src) {
    if (!src) return;
    std::strncpy(dst, src, 1023);
    dst[1023] = 0;
}

void ignore_error(void*, const char*, int) {}

backtrace_state* debug_state() {
    // Built once; libbacktrace keeps it for the life of the process.
    static backtrace_state* state = backtrace_create_state(nullptr, 1, ignore_error, nullptr);
    return state;
}

int take_line(void* data, uintptr_t, const char* file, int line, const char*) {
    if (!file) return 0;  // keep looking at outer inlined frames
    symbol_info* out = static_cast<symbol_info*>(data);
    copy_text(out->source_path, file);
    out->source_line = line;
    return 1;
}

// C++ names as a reader writes them, not as the linker keeps them.
void copy_symbol_name(char* dst, const char* name) {
    int status = -1;
    char* plain = name ? abi::__cxa_demangle(name, nullptr, nullptr, &status) : nullptr;
    copy_text(dst, status == 0 && plain ? plain : name);
    std::free(plain);
}

void take_symbol(void* data, uintptr_t, const char* name, uintptr_t value, uintptr_t) {
    if (!name) return;
    symbol_info* out = static_cast<symbol_info*>(data);
    copy_symbol_name(out->symbol_name, name);
    out->symbol_address = value;
}

// The return addresses of a stack walk, innermost first, from the frame that holds the address
// `from` on: the last frame whose stack pointer is at or below it. A few spare entries: the
// caller's frame may not be the first.
struct frame_walk {
    static const int kMax = 108;
    uintptr_t from = 0;
    bool started = false;
    uintptr_t pending = 0;  // the frame before, while not started
    uintptr_t ip[kMax];
    int count = 0;
};

_Unwind_Reason_Code take_frame(_Unwind_Context* ctx, void* data) {
    frame_walk* w = static_cast<frame_walk*>(data);
    // Inside the callback this is the frame's own stack pointer as it made its call.
    const uintptr_t sp = _Unwind_GetCFA(ctx);
    const uintptr_t ip = _Unwind_GetIP(ctx);
    if (!w->started) {
        if (sp <= w->from) {
            w->pending = ip;
            return _URC_NO_REASON;
        }
        w->started = true;
        if (w->pending) w->ip[w->count++] = w->pending;
    }
    if (w->count < frame_walk::kMax) w->ip[w->count++] = ip;
    return w->count == frame_walk::kMax ? _URC_END_OF_STACK : _URC_NO_REASON;
}

const char* file_part(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') name = p + 1;
    return name;
}
}  // namespace

void UTL_debug_init() { std::signal(SIGPIPE, SIG_IGN); }

void UTL_get_debug_symbol(void* address, symbol_info* out) {
    std::memset(out, 0, sizeof *out);
    out->source_line = -1;
    Dl_info info;
    if (!dladdr(address, &info)) return;
    copy_text(out->image_path, info.dli_fname);
    out->image_address = info.dli_fbase;
    copy_symbol_name(out->symbol_name, info.dli_sname);
    out->symbol_address = reinterpret_cast<uintptr_t>(info.dli_saddr);

    backtrace_state* state = debug_state();
    if (!state) return;
    const uintptr_t pc = reinterpret_cast<uintptr_t>(address);
    backtrace_syminfo(state, pc, take_symbol, ignore_error, out);
    backtrace_pcinfo(state, pc, take_line, ignore_error, out);
}

void print_symbol(FILE* f, void* address) {
    symbol_info s;
    UTL_get_debug_symbol(address, &s);
    const uintptr_t a = reinterpret_cast<uintptr_t>(address);
    const long long offset = static_cast<long long>(a - s.symbol_address);
    if (s.symbol_name[0]) {
        if (s.symbol_address)
            std::fprintf(f, "%s + %lld", s.symbol_name, offset);
        else
            std::fprintf(f, "0x%08" PRIxPTR, a);
    } else if (s.symbol_address) {
        std::fprintf(f, "0x%08" PRIxPTR " + %lld", s.symbol_address, offset);
    } else {
        std::fprintf(f, "0x%08" PRIxPTR, a);
    }
    if (s.source_path[0]) std::fprintf(f, " (%s:%d)", file_part(s.source_path), s.source_line);
    const long long image_offset = static_cast<long long>(a - reinterpret_cast<uintptr_t>(s.image_address));
    if (s.image_path[0] && s.image_address)
        std::fprintf(f, " (%s + %lld)\n", file_part(s.image_path), image_offset);
    else if (s.image_address)
        std::fprintf(f, " (0x%08" PRIxPTR " + %lld)\n", reinterpret_cast<uintptr_t>(s.image_address),
                     image_offset);
    else
        std::fprintf(f, " (\?\?\?)\n");
}

void UTL_dump_stack(FILE* f, stack_frame* start, void* pc) {
    const int max_lines = 100;
    int line = 0;
    if (pc) {
        std::fprintf(f, " % 2d) ", line++);
        print_symbol(f, pc);
    }
    // Unwound from the tables, so frames without a frame pointer are found too.
    frame_walk walk;
    walk.from = reinterpret_cast<uintptr_t>(start);
    _Unwind_Backtrace(take_frame, &walk);
    int first = 0;
    if (!start) {
        // The listing starts with the caller: the frame holding our return address.
        first = walk.count > 1 ? 1 : 0;
        for (int i = 0; i < walk.count; ++i)
            if (walk.ip[i] == reinterpret_cast<uintptr_t>(__builtin_return_address(0))) {
                first = i;
                break;
            }
    }
    for (int i = first; i < walk.count && line < max_lines; ++i) {
        std::fprintf(f, " % 2d) ", line++);
        print_symbol(f, reinterpret_cast<void*>(walk.ip[i]));
    }
}

void dump_hex(FILE* f, const void* bytes, int count) {
    const unsigned char* b = static_cast<const unsigned char*>(bytes);
    for (int row = 0; row < count; row += 16) {
        std::fputc(' ', f);
        for (int i = 0; i < 16; ++i) {
            if (i && i % 4 == 0) std::fputc(' ', f);
            if (row + i < count)
                std::fprintf(f, "%02X", b[row + i]);
            else
                std::fputs("  ", f);
        }
        std::fputs("     ", f);
        for (int i = 0; i < 16; ++i) {
            if (i && i % 4 == 0) std::fputc(' ', f);
            int c = row + i < count ? b[row + i] : ' ';
            std::fputc(std::isprint(c) ? c : '.', f);
        }
        std::fputc('\n', f);
    }
}

int UTL_valid_memory(const void* address, std::size_t length, int need_read, int need_write) {
    if (length == 0) return 1;
    uintptr_t point = reinterpret_cast<uintptr_t>(address);
    const uintptr_t end = point + length < point ? UINTPTR_MAX : point + length;
    for (const memory_region& r : read_memory_regions("/proc/self/maps")) {
        if (r.end <= point) continue;
        if (r.start > point) return 0;  // a hole
        if (need_read && r.perms[0] != 'r') return 0;
        if (need_write && r.perms[1] != 'w') return 0;
        point = r.end;
        if (point >= end) return 1;
    }
    return 0;
}

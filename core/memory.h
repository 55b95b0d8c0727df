// Allocation operators, the memory report ("MemoryLog.txt") and the crash diagnostics:
// symbolised addresses and stack listings.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <new>

// Tagged allocation forms; the file and line are not recorded. Each has its matching
// placement delete, called when a constructor throws.
void* operator new(std::size_t size, const char* file, int line);
void* operator new[](std::size_t size, const char* file, int line);
void* operator new(std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
void* operator new[](std::size_t size, const std::nothrow_t&, const char* file, int line) noexcept;
void operator delete(void* p, const char* file, int line) noexcept;
void operator delete[](void* p, const char* file, int line) noexcept;
void operator delete(void* p, const std::nothrow_t&, const char* file, int line) noexcept;
void operator delete[](void* p, const std::nothrow_t&, const char* file, int line) noexcept;

// A byte count as the number and unit letter (B, K, M or G) the memory report prints.
uint64_t mem_to_number(unsigned long long bytes);
char mem_to_suffix(unsigned long long bytes);
// Name of a memory region's share mode 1-7, else "Unknown".
const char* sm_string(unsigned char share_mode);

// Writes the memory report to app_path + "MemoryLog.txt": the first report of a run
// truncates the file, later ones append; standard output when it cannot be opened.
void dump_mem_stats(const char* reason);
// The remote command "Dump Memory Info".
void DumpMemCmd();

// First thing at start-up: a write to a closed pipe or socket fails instead of killing us.
void UTL_debug_init();

struct symbol_info {
    char image_path[1024];
    void* image_address;  // load address of the image
    char symbol_name[1024];
    uintptr_t symbol_address;
    char source_path[1024];
    int source_line;  // -1 when unknown
};

// A call frame, as __builtin_frame_address gives it.
struct stack_frame;

void UTL_get_debug_symbol(void* address, symbol_info* out);
// One line: symbol + offset, (source file:line), (image + offset).
void print_symbol(FILE* f, void* address);
// Numbered listing of the call stack, at most 100 lines, C++ names demangled; with pc, line 0
// shows pc. The walk begins at the function whose frame start is (on this thread's stack), or
// at the caller's when start is null.
void UTL_dump_stack(FILE* f, stack_frame* start, void* pc);

void dump_hex(FILE* f, const void* bytes, int count);
// 1 when [address, address + length) is mapped (and readable/writable as asked), else 0.
int UTL_valid_memory(const void* address, std::size_t length, int need_read, int need_write);

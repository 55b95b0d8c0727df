#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <regex>
#include <string>

#include "core/memory.h"

namespace {
std::string listing(void (*write)(FILE*)) {
    char* text = nullptr;
    size_t size = 0;
    FILE* f = open_memstream(&text, &size);
    write(f);
    std::fclose(f);
    std::string s(text, size);
    std::free(text);
    return s;
}
}  // namespace

static const int known_function_line = __LINE__ + 1;
extern "C" __attribute__((noinline)) int volatra_known_function(int x) { return x * 3 + 1; }

extern "C" __attribute__((noinline)) int volatra_recurse(int depth, FILE* f) {
    if (depth == 0) {
        UTL_dump_stack(f, nullptr, nullptr);
        return 0;
    }
    int r = volatra_recurse(depth - 1, f);
    asm volatile("" ::: "memory");  // keeps the call from becoming a jump
    return r + 1;
}

namespace stack_test {
__attribute__((noinline)) void inner(FILE* f, void* start) {
    UTL_dump_stack(f, static_cast<stack_frame*>(start), nullptr);
    asm volatile("" ::: "memory");
}
__attribute__((noinline)) void outer(FILE* f) {
    inner(f, __builtin_frame_address(0));
    asm volatile("" ::: "memory");
}
}  // namespace stack_test

// The listing starts at the frame it is given, and names C++ functions as they are written.
TEST(StackDump, StartsAtTheGivenFrameWithReadableNames) {
    std::string text = listing([](FILE* f) { stack_test::outer(f); });
    EXPECT_EQ(text.rfind("  0) stack_test::outer(_IO_FILE*) + ", 0), 0u) << text.substr(0, 300);
    EXPECT_EQ(text.find("inner"), std::string::npos);
}

TEST(StackDump, PcLineNamesTheFunctionWithFileAndLine) {
    std::string text = listing([](FILE* f) { UTL_dump_stack(f, nullptr, (void*)&volatra_known_function); });
    std::string first = text.substr(0, text.find('\n') + 1);
    EXPECT_EQ(first.rfind("  0) volatra_known_function + 0 (stack_dump_test.cpp:" +
                              std::to_string(known_function_line) + ") (core_stack_dump_test + ",
                          0),
              0u)
        << first;
    // Then the caller's frames, numbered from 1; the test body is among them.
    EXPECT_NE(text.find("\n  1) "), std::string::npos);
    EXPECT_NE(text.find("StackDump_PcLineNamesTheFunctionWithFileAndLine"), std::string::npos) << text;
}

TEST(StackDump, ListingIsCappedAtOneHundredLines) {
    std::string text = listing([](FILE* f) { volatra_recurse(300, f); });
    int lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 100);
    EXPECT_EQ(text.rfind("  0) volatra_recurse + ", 0), 0u) << text.substr(0, 200);
    EXPECT_NE(text.find("\n  99) volatra_recurse + "), std::string::npos);
    EXPECT_TRUE(
        std::regex_search(text, std::regex("volatra_recurse \\+ [0-9]+ \\(stack_dump_test.cpp:[0-9]+\\)")));
}

TEST(StackDump, AddressOutsideEveryImage) {
    std::string text = listing([](FILE* f) { print_symbol(f, reinterpret_cast<void*>(0x10)); });
    EXPECT_EQ(text, "0x00000010 (\?\?\?)\n");
    symbol_info s;
    UTL_get_debug_symbol(reinterpret_cast<void*>(0x10), &s);
    EXPECT_EQ(s.source_line, -1);
    EXPECT_STREQ(s.image_path, "");
    EXPECT_EQ(s.image_address, nullptr);
}

TEST(StackDump, HexDump) {
    static const unsigned char bytes[] = "ABCDEFGHIJKLMNOPQR\x01\xff";
    std::string text = listing([](FILE* f) {
        dump_hex(f, bytes, 20);
        dump_hex(f, bytes, 0);
    });
    EXPECT_EQ(text,
              " 41424344 45464748 494A4B4C 4D4E4F50     ABCD EFGH IJKL MNOP\n"
              " 515201FF                                QR..               \n");
}

TEST(ValidMemory, FollowsTheMappings) {
    int local = 0;
    EXPECT_EQ(UTL_valid_memory(&local, sizeof local, 1, 1), 1);
    EXPECT_EQ(UTL_valid_memory(reinterpret_cast<void*>(0x10), 4, 0, 0), 0);
    EXPECT_EQ(UTL_valid_memory(reinterpret_cast<void*>(0x10), 0, 1, 1), 1);
    void* code = reinterpret_cast<void*>(&volatra_known_function);
    EXPECT_EQ(UTL_valid_memory(code, 4, 1, 0), 1);
    EXPECT_EQ(UTL_valid_memory(code, 4, 0, 1), 0);

    const long page = sysconf(_SC_PAGESIZE);
    char* p = static_cast<char*>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(p, MAP_FAILED);
    ASSERT_EQ(mprotect(p + page, page, PROT_NONE), 0);
    EXPECT_EQ(UTL_valid_memory(p, 2 * page, 0, 0), 1);
    EXPECT_EQ(UTL_valid_memory(p, 2 * page, 1, 0), 0);
    EXPECT_EQ(UTL_valid_memory(p, page, 1, 1), 1);
    munmap(p + page, page);
    EXPECT_EQ(UTL_valid_memory(p, 2 * page, 0, 0), 0);
    munmap(p, page);
}

TEST(DebugInit, WritingToAClosedPipeFailsWithEpipe) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    UTL_debug_init();
    EXPECT_EQ(write(fds[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    close(fds[1]);
    std::signal(SIGPIPE, SIG_DFL);
}

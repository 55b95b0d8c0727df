#include "core/memory.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <new>
#include <regex>
#include <string>

#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/statistics.h"

// A huge request must come back as a null pointer here, not stop the process.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }

namespace {
volatile std::size_t huge_size = std::size_t(1) << 62;

int handler_calls = 0;
void counting_handler() {
    if (++handler_calls == 2) std::set_new_handler(nullptr);
}
void throwing_handler() { throw std::bad_alloc(); }

struct throws_in_constructor {
    throws_in_constructor() { throw 42; }
    char payload[64];
};
}  // namespace

TEST(Allocation, ZeroSizeGivesDistinctBlocks) {
    void* a = ::operator new(0);
    void* b = ::operator new(0);
    void* c = ::operator new[](0, "file.cpp", 3);
    EXPECT_NE(a, nullptr);
    EXPECT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(c, nullptr);
    ::operator delete(a);
    ::operator delete(b);
    ::operator delete[](c);
    ::operator delete(nullptr);
}

TEST(Allocation, NewHandlerIsCalledUntilItGoesAway) {
    handler_calls = 0;
    std::set_new_handler(counting_handler);
    EXPECT_THROW((void)::operator new(huge_size), std::bad_alloc);
    EXPECT_EQ(handler_calls, 2);
    EXPECT_EQ(std::get_new_handler(), nullptr);
    EXPECT_THROW((void)::operator new[](huge_size, "file.cpp", 7), std::bad_alloc);
}

TEST(Allocation, NothrowFormsReturnNull) {
    EXPECT_EQ(::operator new(huge_size, std::nothrow), nullptr);
    EXPECT_EQ(::operator new[](huge_size, std::nothrow, "file.cpp", 9), nullptr);
    std::set_new_handler(throwing_handler);
    EXPECT_EQ(::operator new[](huge_size, std::nothrow), nullptr);
    std::set_new_handler(nullptr);
}

TEST(Allocation, TaggedNewFreesItsBlockWhenTheConstructorThrows) {
    // Without the matching placement delete the block would leak (the leak checker sees it).
    EXPECT_THROW(new (__FILE__, __LINE__) throws_in_constructor, int);
    EXPECT_THROW(new (__FILE__, __LINE__) throws_in_constructor[3], int);
    EXPECT_THROW(new (std::nothrow, __FILE__, __LINE__) throws_in_constructor, int);
    int* ok = new (__FILE__, __LINE__) int(5);
    EXPECT_EQ(*ok, 5);
    delete ok;
}

TEST(MemoryUnits, Boundaries) {
    struct {
        unsigned long long bytes;
        uint64_t number;
        char suffix;
    } cases[] = {
        {0, 0, 'B'},
        {1433, 1433, 'B'},
        {1434, 1, 'K'},
        {1468006, 1433, 'K'},
        {1468007, 1, 'M'},
        {15032385536ull, 14336, 'M'},
        {15032385537ull, 14, 'G'},
        {ULLONG_MAX, ULLONG_MAX >> 30, 'G'},  // beyond 32 bits of gigabytes
    };
    for (const auto& c : cases) {
        EXPECT_EQ(mem_to_number(c.bytes), c.number) << c.bytes;
        EXPECT_EQ(mem_to_suffix(c.bytes), c.suffix) << c.bytes;
    }
}

TEST(MemoryUnits, ShareModeNames) {
    EXPECT_STREQ(sm_string(1), "Copy-on-write");
    EXPECT_STREQ(sm_string(3), "Empty");
    EXPECT_STREQ(sm_string(7), "Shared-Aliased");
    EXPECT_STREQ(sm_string(0), "Unknown");
    EXPECT_STREQ(sm_string(8), "Unknown");
}

namespace {
int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Bytes range that "number + suffix" stands for.
std::pair<double, double> size_range(const std::string& report, const std::string& label) {
    std::smatch m;
    std::regex re(label + " +([0-9]+)([BKMG])");
    EXPECT_TRUE(std::regex_search(report, m, re)) << label;
    if (m.empty()) return {0, 0};
    double unit = m[2] == "B" ? 1 : m[2] == "K" ? 1024.0 : m[2] == "M" ? 1048576.0 : 1073741824.0;
    double n = std::stod(m[1]);
    return {n * unit, (n + 1) * unit};
}
}  // namespace

// Every dump runs in a child so that each starts as a new process would.
TEST(MemoryReport, FirstDumpOfARunTruncatesLaterOnesAppend) {
    temp_folder dir;
    dir.write("MemoryLog.txt", "old contents\n");
    log_capture log;
    auto dumps = [&](int n) {
        return run_in_child([&] {
            app_path = dir.path();
            dump_mem_stats("first");
            for (int i = 1; i < n; ++i) DumpMemCmd();
        });
    };

    EXPECT_EQ(dumps(2).exit_code, child_returned);
    std::string report = dir.read("MemoryLog.txt");
    EXPECT_EQ(report.find("old contents"), std::string::npos);
    EXPECT_EQ(count_of(report, "dump_mem_stats: "), 2);
    EXPECT_EQ(report.find("dump_mem_stats: first\nOS X Info:\n    Page size:        "), 0u);
    EXPECT_NE(report.find("dump_mem_stats: Remote Commanded Dump\n"), std::string::npos);
    EXPECT_EQ(log.text(),
              "OK check MemoryLog.txt! I just sent him a dump from first\n"
              "OK check MemoryLog.txt! I just sent him a dump from Remote Commanded Dump\n");

    EXPECT_EQ(dumps(1).exit_code, child_returned);
    EXPECT_EQ(count_of(dir.read("MemoryLog.txt"), "dump_mem_stats: "), 1);
}

TEST(MemoryReport, HoldsEveryLabelAndConsistentTotals) {
    temp_folder dir;
    EXPECT_EQ(run_in_child([&] {
                  app_path = dir.path();
                  dump_mem_stats("labels");
              }).exit_code,
              child_returned);
    std::string report = dir.read("MemoryLog.txt");
    for (const char* label :
         {"    Vsize (reported): ",
          "    Rsize:            ",
          "    Free pages:       ",
          "    Active Pages:     ",
          "    Inactive Pages:   ",
          "    Wired Pages:      ",
          "    Total Swap Pages: ",
          "    Avail Swap Pages: ",
          "    Used  Swap Pages: ",
          "    I will now print the entire map of virtual memory.\n",
          "        Address           Size    r-private r-shared sharing-mode (ref count)\n",
          "    Total vsize:     ",
          "    Total rsize:     ",
          "    Shared rsize:    ",
          "    Private rsize:   ",
          "    Largest free:    ",
          "    Total free:      ",
          "    Largest gap:     ",
          "    Total gap:       ",
          "elligible",
          "amonut",
          "               --------\n"})
        EXPECT_NE(report.find(label), std::string::npos) << label;
    EXPECT_NE(report.find("    Page size:            4K      This is the size of one virtual memory page.\n"),
              std::string::npos);
    // The test program's own image shows by file name, next to a private code region.
    EXPECT_TRUE(
        std::regex_search(report, std::regex("0x[0-9A-F]{8,} +[0-9]+[BKMG] +[0-9]+[BKMG] +[0-9]+[BKMG] "
                                             "+Copy-on-write \\(  0\\)       core_memory_test\n")));
    auto total = size_range(report, "Total rsize:"), shared = size_range(report, "Shared rsize:"),
         priv = size_range(report, "Private rsize:");
    EXPECT_LE(total.first, shared.second + priv.second);
    EXPECT_GE(total.second, shared.first + priv.first);
}

TEST(MemoryReport, GoesToStandardOutputWhenTheFileCannotBeOpened) {
    child_result r = run_in_child([] {
        app_path = "/nonexistent folder/";
        dump_mem_stats("stdout");
    });
    EXPECT_EQ(r.exit_code, child_returned);
    EXPECT_EQ(r.out.find("dump_mem_stats: stdout\nOS X Info:\n"), 0u);
    EXPECT_NE(r.out.find("    Total gap:       "), std::string::npos);
}

TEST(MemoryReport, AFailedWriteIsLogged) {
    temp_folder dir;
    log_capture log;
    EXPECT_EQ(run_in_child([&] {
                  // No file may grow past 1000 bytes: the log line fits, the report does not.
                  std::signal(SIGXFSZ, SIG_IGN);
                  rlimit limit{1000, 1000};
                  setrlimit(RLIMIT_FSIZE, &limit);
                  app_path = dir.path();
                  dump_mem_stats("full disk");
              }).exit_code,
              child_returned);
    EXPECT_EQ(log.text(),
              "OK check MemoryLog.txt! I just sent him a dump from full disk\nERROR: could not write " +
                  dir.path() + "MemoryLog.txt\n");
}

TEST(MemoryReport, RemoteCommandWritesTheReport) {
    UTL_remote_cmd* cmd = nullptr;
    for (UTL_remote_cmd* c = UTL_remote_cmd::cmd_list; c; c = c->next)
        if (!std::strcmp(c->name, "Dump Memory Info")) cmd = c;
    ASSERT_NE(cmd, nullptr);
    EXPECT_EQ(cmd->fn, &DumpMemCmd);
    temp_folder dir;
    EXPECT_EQ(run_in_child([&] {
                  app_path = dir.path();
                  UTL_remote_cmd::invoke(nullptr, cmd->id);
              }).exit_code,
              child_returned);
    EXPECT_EQ(dir.read("MemoryLog.txt").find("dump_mem_stats: Remote Commanded Dump\n"), 0u);
}

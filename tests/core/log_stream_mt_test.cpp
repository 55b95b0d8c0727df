#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <iomanip>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/test_helpers.h"
#include "core/globals.h"

namespace {
std::string temp_file(const char* name) { return ::testing::TempDir() + name + std::to_string(getpid()); }
}  // namespace

TEST(LogStream, WritesBeforeOpenAndAfterCloseAreDropped) {
    log_stream log;
    log << "lost before open\n";
    std::string path = temp_file("log_drop");
    ASSERT_TRUE(log.open(path));
    log << "kept " << 42 << "\n";
    log << "partial";
    log.flush();
    log << "closing";  // close writes it, as a file stream's close would
    log.close();
    log << "lost after close" << std::endl;
    EXPECT_EQ(read_lines(path), (std::vector<std::string>{"kept 42", "partialclosing"}));
    unlink(path.c_str());
}

// What a thread wrote without a line end still reaches the log when the thread ends.
TEST(LogStream, EndingThreadHandsOverItsUnfinishedLine) {
    std::string path = temp_file("log_end");
    ASSERT_TRUE(xer.open(path));
    std::thread t([] { xer << "last words"; });
    t.join();
    xer.close();
    EXPECT_EQ(read_file(path), "last words");
    unlink(path.c_str());
}

// A line reaches the file when it ends, not when a buffer fills or the program exits: after a
// crash (here SIGKILL) the last lines are there; an unfinished line is not.
TEST(LogStream, EachLineIsInTheFileWhenItEndsEvenAfterAKill) {
    std::string path = temp_file("log_kill");
    child_result r = run_in_child([&] {
        ASSERT_TRUE(xer.open(path));
        xer << "Disc read: /media/VOLATRA holds Volatra 9, manifest state 3, 12 files\n";
        xer << "Starting install at " << 12.5 << "\n";
        xer << "an unfinished line";
        raise(SIGKILL);
    });
    EXPECT_EQ(r.exit_code, -1);
    EXPECT_EQ(
        read_file(path),
        "Disc read: /media/VOLATRA holds Volatra 9, manifest state 3, 12 files\nStarting install at 12.5\n");
    unlink(path.c_str());
}

// A second program starting on the same log truncates it; the lines of both stay whole after
// that, each at the end of the file, not over the other's.
TEST(LogStream, TwoProgramsOnOneLogKeepTheirLinesWhole) {
    std::string path = temp_file("log_two");
    log_stream first, second;
    ASSERT_TRUE(first.open(path));
    for (int i = 0; i < 3; ++i) first << "first program, line " << i << "\n";
    ASSERT_TRUE(second.open(path));
    second << "Disc read: /media/VOLATRA\n";
    first << "WIZARD entered dvd_run_install\n";
    second << "WIZARD entered dvd_pick_repair\n";
    first.close();
    second.close();
    EXPECT_EQ(read_file(path),
              "Disc read: /media/VOLATRA\nWIZARD entered dvd_run_install\nWIZARD entered dvd_pick_repair\n");
    unlink(path.c_str());
}

TEST(LogStream, SharedFormatReachesEveryThread) {
    log_stream log;
    std::string path = temp_file("log_fmt");
    ASSERT_TRUE(log.open(path));
    log.setf(std::ios::fixed, std::ios::floatfield);
    std::thread t([&] { log << 1.5 << "\n"; });
    t.join();
    log << std::scientific;
    log << 2.0 << std::endl;
    log.close();
    EXPECT_EQ(read_lines(path), (std::vector<std::string>{"1.500000", "2.000000e+00"}));
    unlink(path.c_str());
}

TEST(LogStream, LinesFromEightThreadsStayWhole) {
    std::string path = temp_file("log_mt");
    ASSERT_TRUE(xer.open(path));
    const int threads = 8, lines = 10000;
    std::vector<std::thread> pool;
    for (int t = 0; t < threads; ++t)
        pool.emplace_back([t] {
            for (int i = 0; i < lines; ++i) xer << "thread " << t << " line " << i << " end\n";
        });
    for (auto& th : pool) th.join();
    xer.close();

    std::vector<std::string> got = read_lines(path);
    ASSERT_EQ(got.size(), size_t(threads * lines));
    std::set<std::string> seen(got.begin(), got.end());
    EXPECT_EQ(seen.size(), got.size());
    for (int t = 0; t < threads; ++t)
        for (int i = 0; i < lines; i += 997)
            EXPECT_TRUE(seen.count("thread " + std::to_string(t) + " line " + std::to_string(i) + " end"));
    unlink(path.c_str());
}

// The file layer from several threads at once, as the checksum and unpack pools use it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "common/test_helpers.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/md5.h"

namespace {
std::string pattern(size_t n, int seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 2654435761u) >> 13 ^ seed);
    return s;
}
}  // namespace

TEST(FilesThreads, DigestsAndCopiesInParallel) {
    temp_folder t;
    const int kFiles = 8;
    std::vector<std::string> expected(kFiles);
    for (int i = 0; i < kFiles; ++i) {
        std::string p = t / ("f" + std::to_string(i));
        write_file(p, pattern(300000 + i * 777, i));
        ASSERT_EQ(calc_file_md5(p, expected[i]), 0);
    }
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kFiles; ++i)
        threads.emplace_back([&, i] {
            for (int round = 0; round < 4; ++round) {
                std::string src = t / ("f" + std::to_string((i + round) % kFiles));
                std::string dst = t / ("copy" + std::to_string(i));
                std::string hex;
                if (calc_file_md5(src, hex) != 0 || hex != expected[(i + round) % kFiles]) ++wrong;
                if (copy_file(src, dst) != 0 || calc_file_md5(dst, hex) != 0 ||
                    hex != expected[(i + round) % kFiles])
                    ++wrong;
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
}

TEST(FilesThreads, ErrorTextsAndFailureRecordsStayPerThread) {
    temp_folder t;
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < 8; ++i)
        threads.emplace_back([&, i] {
            sErrFile = "";
            sErrLine = 0;
            for (int k = 0; k < 2000; ++k) {
                int code = 30000 + i * 10000 + k;
                if (error_str(code) != "Unknown error occurred (" + std::to_string(code) + ")") ++wrong;
            }
            if (i % 2 == 0) {
                if (make_folder(t / ("missing/" + std::to_string(i))) != ENOENT) ++wrong;
                if (sErrLine == 0) ++wrong;
            } else if (sErrLine != 0) {
                ++wrong;  // another thread's failure is not this thread's
            }
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(wrong, 0);
}

TEST(FilesThreads, FileCutShortWhileDigested) {
    temp_folder t;
    std::string p = t / "shrinking";
    const std::string data = pattern(8 << 20, 5);
    std::atomic<bool> stop{false};
    // Another writer keeps cutting the file and filling it again.
    std::thread cutter([&] {
        while (!stop) {
            if (truncate(p.c_str(), 4096) != 0) continue;
            FILE* f = std::fopen(p.c_str(), "r+b");
            if (!f) continue;
            std::fwrite(data.data(), 1, data.size(), f);
            std::fclose(f);
        }
    });
    write_file(p, data);
    for (int i = 0; i < 20; ++i) {
        std::string hex;
        EXPECT_EQ(calc_file_md5(p, hex), 0);
        EXPECT_EQ(hex.size(), 32u);
    }
    stop = true;
    cutter.join();
}

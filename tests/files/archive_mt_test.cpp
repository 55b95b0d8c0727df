// Several unpack threads at once, as the disc pipeline runs them: each gets its own result and
// failure record, and the log keeps whole lines.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>
#include <thread>

#include "core/globals.h"
#include "files/archive_test_helpers.h"
#include "files/archives.h"
#include "files/errors.h"

using namespace archive_test;

TEST(ArchiveThreads, ParallelExtractionsKeepTheirOwnResults) {
    sandbox box;
    ASSERT_TRUE(xer.open(box.dir + "/log.txt"));
    const std::string good_zip = box.dir + "/good.zip", bad_zip = box.dir + "/bad.zip";
    const std::string good_7z = box.dir + "/good.7z", evil_7z = box.dir + "/evil.7z";
    std::string payload(20000, 'z');
    make_zip(good_zip, {{"d/", "", 0x41ED0000}, {"d/f.txt", payload}});
    make_zip(bad_zip, {{"f.txt", payload, 0x81A40000, 0}});
    std::string bytes = read_file(bad_zip);
    bytes[bytes.find(payload) + 10] ^= 1;
    write_file(bad_zip, bytes);
    make_7z(good_7z, {{"Zürich.dsf", payload}});
    make_7z(evil_7z, {{"../evil.txt", "x"}});

    constexpr int kThreads = 8, kRounds = 6;
    std::vector<std::string> failures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::ostringstream errs;
            for (int r = 0; r < kRounds; ++r) {
                std::string out = box.dest + std::to_string(t) + "_" + std::to_string(r) + "/";
                mkdir(out.c_str(), 0755);
                if (int e = zip_to_file(good_zip, out)) errs << "good zip " << e << ";";
                if (read_file(out + "d/f.txt") != payload) errs << "zip content;";
                if (int e = zip_to_file(bad_zip, out); e != UNZ_CRCERROR) errs << "bad zip " << e << ";";
                if (int e = p7z_to_file(good_7z, out)) errs << "good 7z " << e << ";";
                if (read_file(out + "Zürich.dsf") != payload) errs << "7z content;";
                if (int e = p7z_to_file(evil_7z, out); e != err_zip_unsafe_path)
                    errs << "evil 7z " << e << ";";
                // The failure record is this thread's own: it names the archive code.
                if (std::string(sErrFile).find("archives") == std::string::npos) errs << "record;";
            }
            failures[size_t(t)] = errs.str();
        });
    }
    for (auto& th : threads) th.join();
    xer.close();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(failures[size_t(t)], "") << "thread " << t;

    // Every line the failures wrote is whole.
    std::istringstream log(read_file(box.dir + "/log.txt"));
    int lines = 0;
    for (std::string line; std::getline(log, line); ++lines) {
        bool known = line.rfind("Zip to file failed", 0) == 0 || line.rfind("UNZIP zip_to_file", 0) == 0 ||
                     line.rfind("Refused archive entry", 0) == 0 || line.rfind("7z to file failed", 0) == 0;
        EXPECT_TRUE(known) << line;
    }
    EXPECT_EQ(lines, kThreads * kRounds * 5);  // three for the bad zip, two for the evil 7z
    EXPECT_FALSE(path_exists(box.dir + "/evil.txt"));
}

// Large 7z items are written by a helper thread: its hand-over must be clean too.
TEST(ArchiveThreads, LargeSevenZipItemsFromSeveralThreads) {
    sandbox box;
    const std::string big = fixture_payload(17u << 20), p7z = box.dir + "/big.7z";
    make_7z(p7z, {{"big.dsf", big}}, "store");
    std::vector<int> results(3, -1);
    std::vector<std::thread> threads;
    for (int t = 0; t < 3; ++t) {
        std::string out = box.dest + std::to_string(t) + "/";
        mkdir(out.c_str(), 0755);
        threads.emplace_back([&, t, out] { results[size_t(t)] = p7z_to_file(p7z, out); });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 3; ++t) {
        EXPECT_EQ(results[size_t(t)], 0);
        EXPECT_TRUE(read_file(box.dest + std::to_string(t) + "/big.dsf") == big);
    }
}

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "common/test_helpers.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "core/localisation.h"
#include "files/language_file.h"

TEST(TranslateMt, LookupsFromManyThreadsLogEachMissingTextOnce) {
    temp_folder dir;
    std::string saved = app_path;
    app_path = dir.path();
    const char* argv[] = {"Volatra", "--missing_strings"};
    cmdline.init_unix(2, argv);
    dir.write("lang.txt", "A\n900 version\nTRANSLATION\nSTRING Yes====Ja\n");
    log_capture log;
    UTL_translate_load("lang.txt");

    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 2000; ++i) {
                EXPECT_EQ(UTL_translate_string("Yes"), "Ja");
                std::string missing = "missing " + std::to_string(i % 50);
                EXPECT_EQ(UTL_translate_string(missing), missing);
            }
        });
    for (std::thread& t : threads) t.join();

    std::string text = log.text();
    for (int i = 0; i < 50; ++i) {
        std::string line = "STRING missing " + std::to_string(i) + "====missing " + std::to_string(i) + "\n";
        size_t at = text.find(line);
        EXPECT_NE(at, std::string::npos) << i;
        EXPECT_EQ(text.find(line, at + 1), std::string::npos) << i;
    }
    UTL_translate_clear();
    app_path = saved;
}

#include "core/command_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "common/test_helpers.h"

namespace {
void parse(UTL_cmdline& c, std::vector<const char*> args) {
    args.insert(args.begin(), "Volatra");
    c.init_unix(static_cast<int>(args.size()), args.data());
}

child_result run_options(std::vector<const char*> args) {
    return run_in_child([&] {
        UTL_cmdline c;
        parse(c, args);
    });
}

std::string golden_usage() { return read_file(VOLATRA_TEST_DATA "/cmdline/usage.txt"); }
}  // namespace

TEST(Cmdline, SplitsAtTheFirstEqualsSign) {
    log_capture log;
    UTL_cmdline c;
    parse(c, {"--a=b=c", "=x", "--x=", "--no_dds", "-path", "/some/folder"});
    EXPECT_EQ(c.get_option("--a"), "b=c");
    EXPECT_EQ(c.has_option(""), 1);
    EXPECT_EQ(c.get_option(""), "x");
    EXPECT_EQ(c.has_option("--x"), 1);
    EXPECT_EQ(c.get_option("--x"), "");
    EXPECT_EQ(c.has_option("--no_dds"), 1);
    EXPECT_EQ(c.has_option("-path"), 1);
    EXPECT_EQ(c.get_option("/some/folder"), "");
    EXPECT_EQ(c.has_option("/some/folder"), 1);
    EXPECT_EQ(log.text(),
              "     '--a'='b=c'\n"
              "     ''='x'\n"
              "     '--x'\n"
              "     '--no_dds'\n"
              "     '-path'\n"
              "     '/some/folder'\n");
}

TEST(Cmdline, AbsentOptionsAreNotAdded) {
    UTL_cmdline c;
    parse(c, {});
    EXPECT_EQ(c.has_option("--pref:x"), 0);
    EXPECT_EQ(c.get_option("--pref:x"), "");
    EXPECT_EQ(c.has_option("--pref:x"), 0);
}

TEST(Cmdline, DuplicateWarnsAndTheLastWins) {
    log_capture log;
    UTL_cmdline c;
    parse(c, {"--fps_test=1", "--fps_test=2"});
    EXPECT_EQ(c.get_option("--fps_test"), "2");
    EXPECT_EQ(log.text(),
              "     '--fps_test'='1'\n"
              "WARNING: command line option --fps_test=2included twice.\n"
              "     '--fps_test'='2'\n");
}

TEST(Cmdline, WindowsLineSplitsOnWhiteSpace) {
    log_capture log;
    UTL_cmdline c;
    c.init_win("  --a=1\t--b   =skipped --c= -path  \"two words\"");
    EXPECT_EQ(c.get_option("--a"), "1");
    EXPECT_EQ(c.has_option("--b"), 1);
    EXPECT_EQ(c.get_option("--b"), "");
    EXPECT_EQ(c.has_option("=skipped"), 0);
    EXPECT_EQ(c.has_option(""), 0);
    EXPECT_EQ(c.has_option("--c"), 1);
    EXPECT_EQ(c.has_option("\"two"), 1);
    EXPECT_EQ(c.has_option("words\""), 1);
    EXPECT_EQ(log.text(),
              "     '--a'='1'\n     '--b'\n     '--c'\n     '-path'\n     '\"two'\n     'words\"'\n");
}

TEST(Cmdline, HelpPrintsTheUsageTextAndExits) {
    std::string golden = golden_usage();
    ASSERT_FALSE(golden.empty());
    for (const char* opt : {"-h", "--help"}) {
        child_result r = run_options({"--no_vbos", opt});
        EXPECT_EQ(r.exit_code, 0) << opt;
        EXPECT_EQ(r.out, golden) << opt;
    }
}

TEST(Cmdline, CommandsListBeatsHelp) {
    child_result top = run_options({"--cmnds", "--help"});
    EXPECT_EQ(top.exit_code, 0);
    EXPECT_EQ(top.out, "sim/\n");

    child_result group = run_options({"--cmnds=sim/"});
    EXPECT_EQ(group.exit_code, 0);
    EXPECT_EQ(group.out, "-none-/\n");

    child_result all = run_options({"--cmnds=all"});
    EXPECT_EQ(all.exit_code, 0);
    char line[200];
    std::snprintf(line, sizeof line, "%-50s %s\n", "sim/-none-/-none-", "Do nothing at all!");
    EXPECT_EQ(all.out, line);
}

TEST(Cmdline, OtherOptionsReturnNormally) {
    child_result r = run_options({"--no_dds", "--pref:x=1"});
    EXPECT_EQ(r.exit_code, child_returned);
    EXPECT_EQ(r.out, "");
}

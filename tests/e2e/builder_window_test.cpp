// The builder under X: its progress on a bar along the lower edge of the program's window, a q
// typed into the window stopping the build with the fatal alert, and a whole run that shows the
// checklist and writes what the terminal run writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>

#include "common/test_helpers.h"
#include "e2e_session.h"

namespace {

const std::string tools = VOLATRA_TOOLS_DIR;
const std::string builder = tools + "/volatra_make_installer";
const std::string release = "Volatra 9.10r1";

std::string make_master(e2e_session& s) {
    const std::string master = s.folder() + "sample/master";
    EXPECT_EQ(s.run(tools + "/volatra_sample_master", {master}, ""), 0) << s.report();
    return master;
}

std::vector<std::string> build_args(const std::string& master, const std::string& discs) {
    write_file(discs + "/.keep", "");
    return {"--src", master, "--dst", discs, "--disc-kb", "350"};
}

using px = e2e_image::px;
bool dark(const px& p) { return p.r + p.g + p.b < 384; }

// The display as drawn: a white bar 30 pixels high across the window, the background above it,
// line 1's ink in the bar's upper part and line 2's in its lower part.
void expect_progress_display(const std::string& file) {
    SCOPED_TRACE(file);
    e2e_image shot;
    ASSERT_TRUE(read_png(file, &shot));
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    const int corners[][2] = {{2, 1}, {2, 29}, {799, 1}, {799, 29}};
    for (const auto& at : corners)
        EXPECT_EQ(shot.at(at[0], at[1]), (px{255, 255, 255})) << at[0] << "," << at[1];
    EXPECT_EQ(shot.at(400, 30), shot.at(400, 300)) << "the background just above the bar";
    EXPECT_FALSE(shot.at(400, 300) == (px{255, 255, 255}));
    int upper = 0, lower = 0;
    for (int x = 0; x < 400; ++x) {
        for (int y = 17; y <= 26; ++y) upper += dark(shot.at(x, y));
        for (int y = 0; y <= 8; ++y) lower += dark(shot.at(x, y));
    }
    EXPECT_GT(upper, 100) << "line 1";
    EXPECT_GT(lower, 100) << "line 2";
}

// The alert box: its white inner panel in the middle of the window, no bar below.
void expect_alert(const std::string& file) {
    SCOPED_TRACE(file);
    e2e_image shot;
    ASSERT_TRUE(read_png(file, &shot));
    EXPECT_EQ(shot.at(400, 300), (px{255, 255, 255}));
    EXPECT_FALSE(shot.at(2, 1) == (px{255, 255, 255}));
}

TEST(BuilderWindow, ShowsItsProgressAlongTheLowerEdgeAndATypedQStopsIt) {
    e2e_session s("builder_window_q");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const std::string master = make_master(s), discs = s.folder() + "sample/discs";
    // Enough files for a display of the walk (every 500 met) and several of the packing (every 20).
    for (int i = 0; i < 600; ++i)
        write_file(master + "/All/Aircraft/Fleet/f" + std::to_string(1000 + i) + ".acf", "");

    int status = s.run(builder, build_args(master, discs),
                       "wait_log \"Starting application.\"\n"
                       "shot walk.png\n"
                       "wait_log \"now doing: 40.\"\n"
                       "shot pack.png\n"
                       "type q\n"
                       "shot alert.png\n"
                       "key Return\n");
    ASSERT_EQ(status, 1) << s.report();
    const std::string log = s.log();
    expect_in_order(
        log, {"Starting application.\n", "reg: 0: total files recursed: 500. will compress: ",
              "reg: 0: total files to compress: ", ". now doing: 20.\n  " + discs + "/disk_0/",
              "now doing: 40.", "now doing: 60.", "\nYou hit Q dumbass!\n\n\n\n(builder_walk.cpp line "});
    EXPECT_EQ(log.find("now doing: 80."), std::string::npos)
        << "the build stopped at the display that saw the q";
    EXPECT_EQ(s.out().find("total files"), std::string::npos) << "the progress went to the window only";
    EXPECT_TRUE(path_exists(s.work() + "stack_crawl.txt"));

    expect_progress_display(s.work() + "walk.png");
    expect_progress_display(s.work() + "pack.png");
    expect_alert(s.work() + "alert.png");

    // What was packed stays, but nothing that a disc scan would take for a disc set: no identity,
    // no zipped manifest; and a new build into the same folder is refused.
    EXPECT_TRUE(path_exists(discs + "/disk_0/" + release + "/All/Aircraft/Fleet/f1000.acf.zip"));
    EXPECT_FALSE(path_exists(discs + "/disk_0/dvd_version.txt"));
    EXPECT_FALSE(path_exists(discs + "/disk_0/" + release + "/directory.txt.zip"));
    std::vector<std::string> args = build_args(master, discs);
    args.push_back("--terminal");
    EXPECT_EQ(s.run(builder, args, ""), 1);
    EXPECT_NE(s.err().find("Could not make the dst_folder!"), std::string::npos) << s.report();
    EXPECT_FALSE(path_exists(discs + "/disk_0/dvd_version.txt"));
}

TEST(BuilderWindow, ARunToItsEndShowsTheChecklistAndWritesWhatTheTerminalRunWrites) {
    e2e_session s("builder_window_run");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const std::string master = make_master(s);
    const std::string on_terminal = s.folder() + "sample/discs terminal",
                      in_window = s.folder() + "sample/discs window";

    // --terminal under a display: no window, no log, the progress on standard output.
    std::vector<std::string> args = build_args(master, on_terminal);
    args.push_back("--terminal");
    ASSERT_EQ(s.run(builder, args, ""), 0) << s.report();
    EXPECT_FALSE(path_exists(s.desktop() + "Volatra Installer Log.txt"));
    EXPECT_NE(s.out().find("OK compression is done. Checklist if doing net:"), std::string::npos);
    std::string last;
    std::istringstream out(s.out());
    for (std::string line; std::getline(out, line);)
        if (line.rfind("reg: 0: total files to compress: ", 0) == 0) last = line;
    ASSERT_FALSE(last.empty()) << s.out();

    // In the window the checklist is an alert that waits for its answer after the last display.
    int status = s.run(builder, build_args(master, in_window),
                       "wait_log \"" + last +
                           "\"\n"
                           "shot checklist.png\n"
                           "key Return\n");
    ASSERT_EQ(status, 0) << s.report();
    expect_in_order(s.log(), {last, "OK compression is done. Checklist if doing net:\n"});
    EXPECT_NE(s.out().find("Disc masters written to " + in_window + "/ (3 discs)."), std::string::npos)
        << s.out();
    expect_alert(s.work() + "checklist.png");

    // The same discs; the zipped manifest carries the time it was written, its text is the same.
    EXPECT_EQ(std::system(
                  ("diff -r --no-dereference -x directory.txt.zip '" + on_terminal + "' '" + in_window + "'")
                      .c_str()),
              0);
    const std::string manifest = "/disk_0/" + release + "/directory.txt.zip";
    for (const std::string& discs : {on_terminal, in_window})
        ASSERT_EQ(std::system(("unzip -p '" + discs + manifest + "' >'" + discs + ".txt'").c_str()), 0);
    EXPECT_EQ(read_file(on_terminal + ".txt"), read_file(in_window + ".txt"));
    EXPECT_NE(read_file(in_window + ".txt").find("\nDISK 2\n"), std::string::npos);
}

}  // namespace

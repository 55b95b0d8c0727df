// The parts of the shell that nothing in the installer opens, run in the shell probe under X: the
// key-assignment window, the menus read from a menu file, the progress window and the movie
// recorder with its settings panel.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "common/test_helpers.h"
#include "e2e_session.h"
#include "movie_helpers.h"

namespace {

const std::string probe = VOLATRA_TOOLS_DIR "/volatra_shell_probe";

TEST(ProbeExtras, AKeyIsAssignedInTheKeyWindowAndThenPressesItsCommand) {
    e2e_session s("key_window");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const int status = s.run(probe, {"--keys"},
                             "wait_log probe ready\n"
                             "shot empty.png\n"
                             "click 174 718\n"  // Add New Key Assignment
                             "wait_log \"binding 1:\"\n"
                             "click 85 670\n"  // its row: editing
                             "key shift+f\n"
                             "wait_log \"binding 1: SHIFT F\"\n"
                             "click 377 394\n"  // the group view/: its first command
                             "wait_log \"sim/view/forward\"\n"
                             "click 745 674\n"  // the second command of the group
                             "wait_log \"sim/view/left\"\n"
                             "shot assigned.png\n"
                             "click 85 670\n"  // editing ends
                             "key shift+f\n"
                             "wait_log \"command sim/view/left 0\"\n"
                             "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    expect_in_order(
        s.log(), {"probe ready 1024x768", "binding 0: <none> <none> -> sim/-none-/-none-",
                  "binding 1: <none> <none> -> sim/-none-/-none-", "binding 1: SHIFT F -> sim/-none-/-none-",
                  "binding 1: SHIFT F -> sim/view/forward", "binding 1: SHIFT F -> sim/view/left",
                  "command sim/view/left 1", "command sim/view/left 0", "probe quit"});

    e2e_image shot;
    ASSERT_TRUE(read_png(s.work() + "assigned.png", &shot));
    EXPECT_EQ(shot.width, 1024);
    // The row being edited is drawn pressed; the other is not.
    EXPECT_FALSE(shot.at(40, 665) == shot.at(40, 685));
    // Of the group view/, left is ticked and forward is not; so is the group.
    const e2e_image::px left = shot.at(741, 675), forward = shot.at(741, 690), view = shot.at(373, 395),
                        flight = shot.at(373, 415);
    EXPECT_LT(left.r, 120) << "a ticked box is blue inside";
    EXPECT_GT(forward.r, 200);
    EXPECT_EQ(left, view);
    EXPECT_EQ(forward, flight);
}

TEST(ProbeExtras, MenusReadFromAMenuFileOpenAndSendTheirCommands) {
    e2e_session s("menu_file");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    write_file(s.folder() + "app/menus/english/probe menus.txt",
               "A\n800 version\n0 File\n10 Open\n0 -\n11 Quit now\n-\n0 View\n20 Zoom in\n-\n");
    const int status = s.run(probe, {"--menus=" + s.folder() + "app/", "--menu_file=probe menus.txt"},
                             "wait_log probe ready\n"
                             "shot closed.png\n"
                             "click 20 590\n"  // the title File
                             "move 30 574\n"
                             "shot open.png\n"
                             "click 30 574\n"  // Open
                             "wait_log \"menu command 10\"\n"
                             "click 60 590\n"  // the title View
                             "click 60 574\n"  // Zoom in
                             "wait_log \"menu command 20\"\n"
                             "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    expect_in_order(s.log(), {"menu command 10", "menu command 20", "probe quit"});
    EXPECT_EQ(s.log().find("menu command 11"), std::string::npos);

    e2e_image closed, open;
    ASSERT_TRUE(read_png(s.work() + "closed.png", &closed));
    ASSERT_TRUE(read_png(s.work() + "open.png", &open));
    const e2e_image::px grey{64, 64, 64};
    // Closed: the probe's picture alone. Open: the bar along the top and the drop-down under File.
    EXPECT_EQ(closed.at(300, 592), grey);
    EXPECT_EQ(closed.at(20, 560), grey);
    EXPECT_FALSE(open.at(300, 592) == grey);
    EXPECT_FALSE(open.at(20, 560) == grey);
    EXPECT_EQ(open.at(20, 400), grey);
}

TEST(ProbeExtras, TheColourScaleRunsFromRedToVioletWithItsLimitsAsNumbers) {
    e2e_session s("colour_scale");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    ASSERT_EQ(s.run(probe, {"--scale"}, "wait_log probe ready\nshot scale.png\nquit\n"), 0) << s.report();
    e2e_image shot;
    ASSERT_TRUE(read_png(s.work() + "scale.png", &shot));
    ASSERT_EQ(shot.height, 1024);
    using px = e2e_image::px;
    const auto near = [](const px& a, const px& b) {
        return std::abs(a.r - b.r) < 8 && std::abs(a.g - b.g) < 8 && std::abs(a.b - b.b) < 8;
    };
    const px red{255, 0, 0};
    EXPECT_TRUE(near(shot.at(100, 14), red));               // the bottom: red
    EXPECT_TRUE(near(shot.at(100, 412), px{255, 255, 0}));  // 400 up: yellow
    EXPECT_TRUE(near(shot.at(100, 612), px{0, 255, 0}));    // 600 up: green
    EXPECT_TRUE(near(shot.at(100, 812), px{0, 0, 255}));    // 800 up: blue
    EXPECT_TRUE(near(shot.at(400, 14), red));               // limits both 5: the first colour all the way
    EXPECT_TRUE(near(shot.at(400, 1008), red));
    // The limits, in white beside the column's ends.
    const auto light = [&](int x0, int y0) {
        int n = 0;
        for (int y = y0; y < y0 + 14; ++y)
            for (int x = x0; x < x0 + 40; ++x) n += shot.at(x, y).r > 200 && shot.at(x, y).b > 200 ? 1 : 0;
        return n;
    };
    const int low = light(104, 4), high = light(104, 1004);
    EXPECT_GT(low, 10);
    EXPECT_GT(high, 10);
}

// The progress window's pixels, read from a picture of the whole screen: it is centred on it.
struct progress_view {
    const e2e_image& screen;
    int left() const { return (screen.width - 500) / 2; }
    int top() const { return (screen.height - 250) / 2; }
    // x and y from the window's top left, as the window draws.
    e2e_image::px at(int x, int y) const { return screen.at(left() + x, screen.height - 1 - (top() + y)); }
    // Pixels in [x0, x1) x [y0, y1) of colour c.
    int count(int x0, int y0, int x1, int y1, const e2e_image::px& c) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += at(x, y) == c ? 1 : 0;
        return n;
    }
    int dark(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += at(x, y).r < 100 ? 1 : 0;
        return n;
    }
};

TEST(ProbeExtras, TheProgressWindowShowsTextAndItsThreeKindsOfBar) {
    e2e_session s("progress_window");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const int status = s.run(probe, {"--progress"},
                             "wait_log probe ready\n"
                             "key 1\n"
                             "wait_log \"progress shown 1\"\n"
                             "shot_screen text.png\n"
                             "key 2\n"
                             "wait_log \"progress shown 2\"\n"
                             "shot_screen half.png\n"
                             "key 3\n"
                             "wait_log \"progress shown 3\"\n"
                             "shot_screen working.png\n"
                             "key 3\n"
                             "wait_log \"progress shown 3\"\n"
                             "shot_screen moved.png\n"
                             "shot main.png\n"
                             "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    expect_in_order(s.log(),
                    {"Progress: Looking for the disc in the drive...\n",
                     "Progress: Copying the scenery of disc 2: half of it is on your disk. (500 of 1000)\n",
                     "Progress: Unpacking the scenery, please wait... (working)\n"});

    using px = e2e_image::px;
    const px window{232, 232, 232}, track{250, 250, 250}, done{56, 117, 215}, edge{128, 128, 128};
    e2e_image text, half, working, moved;
    ASSERT_TRUE(read_png(s.work() + "text.png", &text));
    ASSERT_TRUE(read_png(s.work() + "half.png", &half));
    ASSERT_TRUE(read_png(s.work() + "working.png", &working));
    ASSERT_TRUE(read_png(s.work() + "moved.png", &moved));

    // Text only: ink in the first line, none below it, no bar.
    const progress_view t{text};
    EXPECT_GT(t.dark(20, 15, 480, 30), 50);
    EXPECT_EQ(t.dark(0, 35, 500, 250), 0);
    EXPECT_EQ(t.count(0, 0, 500, 15, window), 500 * 15);
    EXPECT_EQ(t.count(20, 210, 480, 230, window), 460 * 20);

    // Half done: the left half of the bar filled, the right half empty, inside its edge.
    const progress_view h{half};
    EXPECT_EQ(h.at(20, 220), edge);
    EXPECT_EQ(h.at(479, 220), edge);
    EXPECT_EQ(h.count(21, 211, 250, 229, done), 229 * 18);
    EXPECT_EQ(h.count(250, 211, 479, 229, track), 229 * 18);

    // Working: stripes of both colours, moved between two calls.
    const progress_view w{working}, m{moved};
    EXPECT_GT(w.count(21, 211, 479, 229, done), 3000);
    EXPECT_GT(w.count(21, 211, 479, 229, track), 3000);
    int changed = 0;
    for (int y = 211; y < 229; ++y)
        for (int x = 21; x < 479; ++x) changed += w.at(x, y) == m.at(x, y) ? 0 : 1;
    EXPECT_GT(changed, 1000);
    EXPECT_EQ(w.count(0, 0, 500, 200, window), m.count(0, 0, 500, 200, window)) << "only the bar moves";

    // The program's own window still draws with its GL context after the progress window came.
    e2e_image main_window;
    ASSERT_TRUE(read_png(s.work() + "main.png", &main_window));
    EXPECT_EQ(main_window.at(100, 100), (px{255, 0, 0}));
    EXPECT_EQ(main_window.at(700, 500), (px{0, 255, 0}));
}

// The probe's simulated time runs, so the recorder films its screen: the movie opens in a
// player, its pictures stand upright in their colours without the recording text, and the
// settings panel stops a recording.
TEST(ProbeExtras, TheMovieRecorderFilmsTheScreenAndItsPanelStopsARecording) {
    e2e_session s("movie");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const int status = s.run(probe, {"--movie"},
                             "wait_log \"probe ready\"\n"
                             "key 1\n"
                             "wait_log \"movie recording 320x240 take 1\"\n"
                             "sleep 1\n"
                             "shot recording.png\n"
                             "key 1\n"
                             "wait_log \"movie stopped\"\n"
                             "key 1\n"
                             "wait_log \"movie recording 320x240 take 2\"\n"
                             "sleep 0.5\n"
                             "key 2\n"
                             "wait_log \"movie panel shown\"\n"
                             "wait_log \"movie stopped\"\n"
                             "shot panel.png\n"
                             "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    expect_in_order(s.log(), {"movie recording 320x240 take 1\n", "movie stopped after ",
                              "movie recording 320x240 take 2\n", "movie panel shown\n", "movie stopped after "});

    const std::string take = s.work() + "Volatra movie take-1.mov";
    ASSERT_TRUE(have_ffprobe()) << "ffprobe comes with Debian's ffmpeg (tools/install-deps.sh)";
    EXPECT_EQ(command_output("ffprobe -v error -select_streams v:0 -show_entries "
                             "stream=codec_name,codec_tag_string,width,height,time_base -of default=nw=1 '" +
                             take + "'"),
              "codec_name=mjpeg\ncodec_tag_string=jpeg\nwidth=320\nheight=240\ntime_base=1/600\n");
    const movie_info m = read_movie(take);
    ASSERT_TRUE(m.ok);
    ASSERT_GE(m.samples.size(), 3u);
    // 20 frames a second: 30 units of 1/600 s, more only after a frame came late.
    for (uint32_t d : m.durations) {
        EXPECT_GE(d, 30u);
        EXPECT_LE(d, 60u);
    }
    EXPECT_TRUE(path_exists(s.work() + "Volatra movie take-2.mov"));

    // The 800 x 600 screen at 320 x 240, rows from the top: red (50, 50), blue (350, 250) and
    // green (650, 450), each 100 square, on grey; the recording text at (10, 10) is not filmed.
    rgb_picture first;
    ASSERT_TRUE(decode_jpeg(m.samples[0], first));
    const struct {
        int x, y;
        int r, g, b;
    } spots[] = {{40, 200, 255, 0, 0}, {160, 120, 0, 0, 255}, {280, 40, 0, 255, 0}, {100, 100, 64, 64, 64},
                 {30, 233, 64, 64, 64}};
    for (const auto& p : spots) {
        const uint8_t* c = first.at(p.x, p.y);
        EXPECT_NEAR(c[0], p.r, 24) << p.x << "," << p.y;
        EXPECT_NEAR(c[1], p.g, 24) << p.x << "," << p.y;
        EXPECT_NEAR(c[2], p.b, 24) << p.x << "," << p.y;
    }
    // On the screen the text shows.
    e2e_image shot;
    ASSERT_TRUE(read_png(s.work() + "recording.png", &shot));
    int ink = 0;
    for (int y = 8; y < 20; ++y)
        for (int x = 10; x < 150; ++x) ink += shot.at(x, y) == shot.at(200, 200) ? 0 : 1;
    EXPECT_GT(ink, 40);
    // The panel replaced the screen.
    ASSERT_TRUE(read_png(s.work() + "panel.png", &shot));
    const e2e_image::px grey{64, 64, 64};
    EXPECT_FALSE(shot.at(100, 100) == grey);
}

// Ending the program while it records, by the quit event or the window's close, still leaves a
// movie a player opens: its index written, every picture that reached the file in it.
TEST(ProbeExtras, AMovieBeingRecordedIsFinishedWhenTheProgramEnds) {
    e2e_session s("movie_at_exit");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    for (const std::string end : {"quit", "close"}) {
        const std::string take = end == "quit" ? "1" : "2";  // the second run finds the first one's take
        const std::string script =
            "wait_log \"probe ready\"\nkey 1\nwait_log \"movie recording 320x240 take " + take +
            "\"\nwait_log \"movie has frames\"\n" + end + "\n";
        ASSERT_EQ(s.run(probe, {"--movie"}, script), 0) << end << "\n" << s.report();
        const size_t finished = s.log().find("Movie take " + take + " finished as the recorder stops.\n");
        EXPECT_NE(finished, std::string::npos) << end;
        const movie_info m = read_movie(s.work() + "Volatra movie take-" + take + ".mov");
        ASSERT_TRUE(m.ok) << end;
        EXPECT_GE(m.samples.size(), 3u) << end;
        EXPECT_EQ(m.width, 320);
        rgb_picture last;
        EXPECT_TRUE(decode_jpeg(m.samples.back(), last)) << end;
    }
}

}  // namespace

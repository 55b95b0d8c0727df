// The shell on its own under X: the window, the frame loop's view of clicks and keys, the
// picture it shows, and the display's pointer left to other programs.
#include <gtest/gtest.h>

#include <thread>

#include "common/eventually.h"
#include "common/test_helpers.h"
#include "e2e_session.h"
#include "platform/plat_process.h"

// Last: Xlib's macros (None, Status, True) would clash with names above.
#include <X11/Xlib.h>

namespace {

const std::string probe = VOLATRA_TOOLS_DIR "/volatra_shell_probe";

// Whether another X client can take the pointer of the session's display now.
bool pointer_free_for_others(const e2e_session& s) {
    Display* d = XOpenDisplay(s.display().c_str());
    if (!d) return false;
    const int r = XGrabPointer(d, DefaultRootWindow(d), False, ButtonPressMask, GrabModeAsync, GrabModeAsync,
                               None, None, CurrentTime);
    if (r == GrabSuccess) XUngrabPointer(d, CurrentTime);
    XCloseDisplay(d);
    return r == GrabSuccess;
}

// xdotool with args on the session's display: the user's own button, through the X server.
int xdotool(const e2e_session& s, const std::string& args) {
    int status = -1;
    plat::run_wait(plat::find_program("timeout"),
                   {"timeout", "240", "env", "DISPLAY=" + s.display(), "sh", "-c", "xdotool " + args},
                   &status);
    return status;
}

TEST(ShellProbe, ClicksAndKeysArriveAsMacRecordsAndThePictureIsWhatWasDrawn) {
    e2e_session s("shell_probe");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    int status = s.run(probe, {},
                       "wait_log probe ready\n"
                       "shot first.png\n"
                       "click 100 500\n"
                       "key a\n"
                       "key shift+a\n"
                       "key Return\n"
                       "key Keypad Enter\n"
                       "key Escape\n"
                       "key Backspace\n"
                       "key Delete\n"
                       "key Left\n"
                       "key F1\n"
                       "type \xC3\xA9\n"
                       "wheel 2\n"
                       "wait_log wheel 2\n"
                       "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    std::string log = s.log();
    expect_in_order(log, {
                             "probe ready 800x600 framed 1",
                             "event what=1 code=0 char=0 mods=0x0",
                             "click x=100 y=500 curwin=0",
                             "event what=3 code=0 char=97 mods=0x0",
                             "key what=3 vkey=65 flags=0 last_char=97 return=0 escape=0 delete=0",
                             "event what=4 code=0 char=97 mods=0x0",
                             "event what=3 code=0 char=65 mods=0x200",
                             "key what=3 vkey=65 flags=1 last_char=65",
                             "event what=3 code=36 char=13",
                             "key what=3 vkey=13 flags=0 last_char=13 return=1",
                             "event what=3 code=76 char=3",
                             "key what=3 vkey=188 flags=0 last_char=3 return=0",
                             "key what=3 vkey=27 flags=0 last_char=27 return=0 escape=1",
                             "key what=3 vkey=8 flags=0 last_char=8 return=0 escape=0 delete=1",
                             "key what=3 vkey=46 flags=0 last_char=127 return=0 escape=0 delete=1",
                             "key what=3 vkey=37 flags=0 last_char=28",
                             "key what=3 vkey=112 flags=0 last_char=16",
                             "event what=3 code=255 char=233",
                             "key what=4 vkey=0 flags=0 last_char=233",  // down and up in one frame
                             "event what=100 code=0 char=0 mods=0x0 wheel=2",
                             "probe quit",
                         });
    EXPECT_EQ(log.find("mods=0x1000"), std::string::npos) << "no key may look control-held";

    e2e_image shot;
    ASSERT_TRUE(read_png(s.work() + "first.png", &shot));
    EXPECT_EQ(shot.width, 800);
    EXPECT_EQ(shot.height, 600);
    using px = e2e_image::px;
    EXPECT_EQ(shot.at(100, 100), (px{255, 0, 0}));
    EXPECT_EQ(shot.at(700, 500), (px{0, 255, 0}));
    EXPECT_EQ(shot.at(400, 300), (px{0, 0, 255}));
    EXPECT_EQ(shot.at(5, 595), (px{255, 255, 255})) << "the top-left corner, y up";
    EXPECT_EQ(shot.at(300, 100), (px{64, 64, 64}));
}

// Work on the main thread after a press (here the folder dialog, which the program waits for)
// keeps no grab of the pointer: once the button is up, another program can take it.
TEST(ShellProbe, WorkAfterAPressLeavesThePointerToOtherProgramsOnceTheButtonIsUp) {
    e2e_session s("shell_probe_pointer");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    const std::string chosen = s.folder() + "chosen", answer = s.folder() + "answer";
    write_file(chosen + "/.keep", "");
    s.set_env("PATH", VOLATRA_STANDINS_DIR ":/usr/bin:/bin");
    s.set_env("STANDIN_RECORD", s.folder() + "zenity.txt");
    s.set_env("STANDIN_ANSWER", chosen);
    s.set_env("STANDIN_HOLD", answer);
    // SDL drops a press that comes within 10 ms of the focus, which the pointer moved onto the
    // window gives it.
    s.set_env("SDL_MOUSE_FOCUS_CLICKTHROUGH", "1");
    int pressed = -1, released = -1;
    bool dialog = false, free_after_release = false;
    // The user: a real press on an empty spot, held until the program waits for the dialog.
    std::thread user([&] {
        const std::string press =
            "search --sync --onlyvisible --name 'Volatra Installer' "
            "mousemove --window %1 700 500 mousedown 1";
        if (eventually([&] { return s.log().find("probe ready") != std::string::npos; }))
            pressed = xdotool(s, press);
        dialog = pressed == 0 && eventually([&] { return path_exists(s.folder() + "zenity.txt"); });
        if (dialog) {
            released = xdotool(s, "mouseup 1");
            free_after_release = pointer_free_for_others(s);
        }
        write_file(answer, "");
    });
    // The press seen, the path picker's folder button opens the dialog.
    const std::string chose = "wait_log \"folder " + chosen + "\"\n";
    int status = s.run(probe, {"--more_widgets"},
                       "wait_log probe ready\n"
                       "wait_log \"event what=1\"\n"
                       "click 463 322\n" +
                           chose + "quit\n");
    user.join();
    EXPECT_EQ(status, 0) << s.report();
    ASSERT_EQ(pressed, 0);
    ASSERT_TRUE(dialog) << s.report();
    EXPECT_EQ(released, 0);
    EXPECT_TRUE(free_after_release) << "the pointer stayed grabbed while the program waited";
}

TEST(ShellProbe, AScriptLineThatCannotBeCarriedOutEndsTheRunWithStatus3) {
    e2e_session s("shell_probe_fail");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    int status =
        s.run(probe, {}, "wait_log probe ready\n# waits one second only\nwait_log never there 1\nquit\n");
    EXPECT_EQ(status, 3) << s.report();
    EXPECT_NE(s.log().find("input script line 3 failed: wait_log never there 1"), std::string::npos)
        << s.report();
}

}  // namespace

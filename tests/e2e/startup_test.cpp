// The three programs and the shell's start-up under X: the splash and the wizard's first screen,
// alerts answered by the input script, the folder dialog answered by zenity's stand-in, the
// preferences written at shut-down, and a start without any display.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <thread>

#include "common/test_helpers.h"
#include "e2e_session.h"
#include "platform/plat_process.h"

namespace {

const std::string probe = VOLATRA_TOOLS_DIR "/volatra_startup_probe";
const e2e_image::px navy{30, 43, 69};  // palette slot 34, the window's background

bool near(const e2e_image::px& a, const e2e_image::px& b) {
    return std::abs(a.r - b.r) < 12 && std::abs(a.g - b.g) < 12 && std::abs(a.b - b.b) < 12;
}
bool light(const e2e_image::px& p) { return p.r > 200 && p.g > 200 && p.b > 200; }
// Whether any pixel of the rectangle (window units, edges included) is (not) light: text there.
bool any_in(const e2e_image& im, int x0, int y0, int x1, int y1, bool want_light) {
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (light(im.at(x, y)) == want_light) return true;
    return false;
}
bool ink_in(const e2e_image& im, int x0, int y0, int x1, int y1) { return any_in(im, x0, y0, x1, y1, false); }
bool light_in(const e2e_image& im, int x0, int y0, int x1, int y1) { return any_in(im, x0, y0, x1, y1, true); }

// Whether the push button whose rectangle the Parts place at [x0, x1) x [y0, y1) lies inside the
// alert's window panel: its border and label (the dark pixels within 2 of that rectangle) have a
// ring 3 pixels wide round them that shows nothing but that panel. A panel edge across the button
// would be dark pixels reaching the ring.
const e2e_image::px window_panel{230, 234, 240};
bool button_inside_panel(const e2e_image& im, int x0, int y0, int x1, int y1) {
    int l = x1, r = x0 - 1, b = y1, t = y0 - 1;
    for (int y = y0 - 2; y < y1 + 2; ++y)
        for (int x = x0 - 2; x < x1 + 2; ++x)
            if (im.at(x, y).r < 200) {
                l = std::min(l, x);
                r = std::max(r, x);
                b = std::min(b, y);
                t = std::max(t, y);
            }
    if (r - l < (x1 - x0) / 2 || t - b < (y1 - y0) / 2) return false;  // no button there
    for (int y = b - 3; y <= t + 3; ++y)
        for (int x = l - 3; x <= r + 3; ++x)
            if ((x < l || x > r || y < b || y > t) && !near(im.at(x, y), window_panel)) return false;
    return true;
}

// The probe's first two steps answered: the message, then English in the language chooser.
const char past_alert_and_chooser[] =
    "wait_log \"probe alert\"\n"
    "key Return\n"
    "wait_log \"probe chooser\"\n"
    "key Return\n";

// xdotool stands in for the user: it finds the window by its title, focuses it and presses Return.
// status receives 0 once that went through (the thread joined), else timeout's status.
std::thread press_return_in(const e2e_session& s, const std::string& title, int* status) {
    // Each shown window's title is read with getwindowname: search --name misses a title given only
    // as UTF8_STRING, as SDL's own message box gives it. Only a mapped window takes the focus: one
    // found while it is still being mapped is not focused (BadMatch), so the answer is tried again.
    return std::thread([display = s.display(), title, status] {
        plat::run_wait(plat::find_program("timeout"),
                       {"timeout", "240", "env", "DISPLAY=" + display, "sh", "-c",
                        "while :; do for w in $(xdotool search --onlyvisible --class ''); do "
                        "[ \"$(xdotool getwindowname $w)\" = \"$0\" ] && "
                        "xdotool windowfocus --sync $w key Return && exit 0; done; sleep 0.2; done",
                        title},
                       status);
    });
}

TEST(Programs, EachOpensItsWindowOnTheSplashThenTheWizardAndQuits) {
    for (const char* name : {"volatra_installer", "volatra_updater", "volatra_webdemo"}) {
        e2e_session s(std::string("startup_") + name);
        std::string why;
        ASSERT_TRUE(s.start_display(&why)) << why;
        // What an earlier run left in the private temporary folder goes at start-up.
        const std::string stale = s.folder() + "tmp/volatra-installer-" + std::to_string(getuid()) + "/old.zip";
        write_file(stale, "left behind");
        // The script starts after the first splash frame; the next is the second.
        int status = s.run(std::string(VOLATRA_PROGRAMS_DIR "/") + name, {},
                           "shot splash.png\n"
                           "wait_log \"WIZARD entered\"\n"
                           "shot frame.png\n"
                           "click 55 23\n");
        ASSERT_EQ(status, 0) << name << "\n" << s.report();
        // The units that no flow calls but whose static set-up runs are part of the program.
        const std::string program = read_file(std::string(VOLATRA_PROGRAMS_DIR "/") + name);
        for (const char* registered : {"Reload Pixel Shaders...", "fbo/flush_per_frame", "memory/lazy_pools",
                                       "I found the following scenery packages"})
            EXPECT_NE(program.find(registered), std::string::npos) << name << ": " << registered;
        const std::string log = s.log();
        EXPECT_EQ(log.rfind("Installer log.txt for Volatra DVD Installer 2.01r1 compiled on ", 0), 0u) << log;
        EXPECT_NE(log.find("\nOstrand folder:'', case sensitive=0\n"), std::string::npos);
        EXPECT_NE(log.find("Will init plugins.\nStarting application.\n"), std::string::npos);
        EXPECT_FALSE(path_exists(stale));

        e2e_image splash, frame;
        ASSERT_TRUE(read_png(s.work() + "splash.png", &splash));
        EXPECT_TRUE(near(splash.at(600, 400), navy)) << name;
        // The panel, darker than the window behind it.
        const e2e_image::px panel = splash.at(240, 120);
        EXPECT_LT(panel.r + panel.g + panel.b, navy.r + navy.g + navy.b - 30) << name;
        EXPECT_TRUE(light(splash.at(700, 15))) << name;   // the empty part of the bar
        EXPECT_FALSE(light(splash.at(12, 15))) << name;   // its filled start
        // The web address on the panel's band, the grey message below it, both from the left.
        EXPECT_TRUE(light_in(splash, 22, 206, 140, 220)) << name;
        EXPECT_FALSE(light_in(splash, 300, 206, 460, 220)) << name;
        auto text_in = [&](int x0, int x1) {
            for (int y = 58; y <= 70; ++y)
                for (int x = x0; x <= x1; ++x)
                    if (splash.at(x, y).g > panel.g + 60) return true;
            return false;
        };
        EXPECT_TRUE(text_in(22, 130)) << name;
        EXPECT_FALSE(text_in(200, 460)) << name;
        ASSERT_TRUE(read_png(s.work() + "frame.png", &frame));
        EXPECT_FALSE(near(frame.at(600, 400), navy)) << name;  // the wizard's own picture
    }
}

TEST(Programs, WithoutADisplayTheStartFailsWithItsAlertAndCrashFiles) {
    e2e_session s("startup_no_display");
    int status = s.run(VOLATRA_PROGRAMS_DIR "/volatra_installer", {}, "");
    EXPECT_EQ(status, 1) << s.report();
    const std::string log = s.log();
    EXPECT_EQ(log.rfind("Installer log.txt for ", 0), 0u) << log;
    const std::string lines =
        "I could not set up the graphics for Volatra! I hope your monitor is at 1024x768 or higher! It must be!\n"
        "You do not meet the system requirements or you do not have OpenGL drivers or you entered a bad resolution "
        "in Volatra!\n"
        "You need at least 256 meg of RAM, 16 meg of VRAM, and OpenGl drivers for your 3-D accelerator card!\n"
        "If you reset the resolution, you can try launching Volatra again, since I am resetting Volatra to default "
        "resolution now.\n"
        "(GenC/hl_init line 1574)\n";
    EXPECT_NE(log.find(lines), std::string::npos) << log;
    EXPECT_NE(s.err().find("I could not set up the graphics for Volatra!"), std::string::npos) << s.err();
    EXPECT_NE(read_file(s.work() + "stack_crawl.txt").find("MACIBM_init"), std::string::npos);
    EXPECT_TRUE(path_exists(s.work() + "MemoryLog.txt"));

    // Under --fps_test the failure is only logged: no alert, no memory report.
    remove_tree(s.work() + "MemoryLog.txt");
    EXPECT_EQ(s.run(VOLATRA_PROGRAMS_DIR "/volatra_installer", {"--fps_test"}, ""), 1);
    EXPECT_NE(s.log().find(lines), std::string::npos);
    EXPECT_EQ(s.err().find("I could not set up"), std::string::npos) << s.err();
    EXPECT_FALSE(path_exists(s.work() + "MemoryLog.txt"));
    // A second listing appended to the first.
    const std::vector<std::string> crawl = read_lines(s.work() + "stack_crawl.txt");
    EXPECT_EQ(std::count_if(crawl.begin(), crawl.end(), [](const std::string& l) { return l.rfind("  0) ", 0) == 0; }),
              2);
}

TEST(Startup, AlertsAndTheFolderDialogAreAnsweredAndShutDownSaves) {
    e2e_session s("startup_probe");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    s.set_env("PATH", VOLATRA_STANDINS_DIR ":/usr/bin:/bin");
    s.set_env("STANDIN_RECORD", s.folder() + "zenity.txt");
    const std::string chosen = s.folder() + "chosen folder";
    write_file(chosen + "/.keep", "");
    s.set_env("STANDIN_ANSWER", chosen);
    // The chooser's "French" sits 25 units left of the middle of the 420 x 250 box, 160 up.
    int status = s.run(probe, {},
                       "wait_log \"probe alert\"\n"
                       "shot alert.png\n"
                       "key Return\n"
                       "wait_log \"probe chooser\"\n"
                       "click 375 339\n"
                       "shot chooser.png\n"
                       "key Return\n"
                       "wait_log \"probe folder\"\n"
                       "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    const std::string log = s.log();
    const std::string answered = "probe alert answered, window 0\nprobe chooser\nprobe language 1\n";
    EXPECT_NE(log.find(answered + "probe folder 1 " + chosen + "\nprobe quit\n"),
              std::string::npos)
        << log;
    EXPECT_EQ(read_lines(s.folder() + "zenity.txt"),
              (std::vector<std::string>{"call zenity", "--file-selection", "--title=Pick a folder", "--directory",
                                        "--filename=/"}));
    const std::string prefs = read_file(s.config() + "Volatra Installer.prf");
    EXPECT_NE(prefs.find("\n_lang 1\n"), std::string::npos) << prefs;

    e2e_image alert, chooser;
    ASSERT_TRUE(read_png(s.work() + "alert.png", &alert));
    EXPECT_TRUE(near(alert.at(50, 50), navy));
    EXPECT_FALSE(ink_in(alert, 205, 220, 595, 235));  // the box's inner panel, empty below the lines
    EXPECT_TRUE(ink_in(alert, 380, 376, 420, 390));   // the first line, centred
    EXPECT_FALSE(ink_in(alert, 205, 376, 340, 390));
    // OK, 36 wide and 26 high round (210, 18) of the box at (190, 175), below the inner panel.
    EXPECT_TRUE(button_inside_panel(alert, 382, 180, 418, 206));
    ASSERT_TRUE(read_png(s.work() + "chooser.png", &chooser));
    EXPECT_TRUE(ink_in(chooser, 371, 336, 372, 339));   // French's radio button, chosen
    EXPECT_FALSE(ink_in(chooser, 371, 356, 372, 359));  // English's, empty in its middle
    EXPECT_TRUE(button_inside_panel(chooser, 372, 180, 428, 206));  // Accept, 56 wide
}

// The real zenity with the arguments the program builds: an option it refuses makes it end with
// status 255 before it shows anything. xdotool answers the dialog with Return, which chooses the
// start folder. Started without a UTF-8 locale (as env -i starts it), the program still gets a
// folder beyond ASCII back byte for byte.
TEST(Startup, TheRealZenityShowsTheFolderDialog) {
    e2e_session s("startup_real_zenity");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    s.set_env("PATH", "/usr/bin:/bin");
    ASSERT_FALSE(plat::find_program("zenity").empty());
    const std::string folder = s.folder() + "\u00DCbung \u03A9";
    write_file(folder + "/.keep", "");
    const struct {
        std::vector<std::string> args;
        bool utf8;
        std::string chosen;
    } runs[] = {{{}, true, "/"}, {{"--folder=" + folder + "/"}, false, folder}};
    for (const auto& r : runs) {
        for (const char* name : {"LANG", "LC_ALL", "LC_CTYPE"}) s.set_env(name, r.utf8 ? "C.UTF-8" : "");
        int user_status = -1;
        std::thread user = press_return_in(s, "Pick a folder", &user_status);
        int status = s.run(probe, r.args,
                           std::string(past_alert_and_chooser) +
                               "wait_log \"probe folder\" 90\n"
                               "quit\n",
                           150);
        user.join();
        EXPECT_EQ(s.err().find("is not supported"), std::string::npos) << s.err();
        EXPECT_EQ(s.log().find("could not be"), std::string::npos) << s.log();
        EXPECT_EQ(user_status, 0);
        ASSERT_EQ(status, 0) << s.report();
        EXPECT_NE(s.log().find("probe folder 1 " + r.chosen + "\n"), std::string::npos) << s.log();
    }
}

// When the dialog cannot be shown the window says so; the choice counts as cancelled.
TEST(Startup, AFolderDialogThatCannotBeShownIsSaidOnScreen) {
    e2e_session s("startup_zenity_fails");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    s.set_env("PATH", VOLATRA_STANDINS_DIR ":/usr/bin:/bin");
    s.set_env("STANDIN_STATUS", "255");
    int status = s.run(probe, {},
                       std::string(past_alert_and_chooser) +
                           "wait_log \"could not be shown\"\n"
                           "shot failed.png\n"
                           "key Return\n"
                           "wait_log \"probe folder\"\n"
                           "quit\n");
    ASSERT_EQ(status, 0) << s.report();
    const std::string log = s.log();
    EXPECT_NE(log.find("The folder dialog could not be shown.\nzenity ended with status 255.\n"), std::string::npos)
        << log;
    EXPECT_NE(log.find("probe folder 0 none\n"), std::string::npos) << log;
    e2e_image failed;
    ASSERT_TRUE(read_png(s.work() + "failed.png", &failed));
    EXPECT_TRUE(near(failed.at(50, 50), navy));
    EXPECT_TRUE(ink_in(failed, 300, 376, 500, 390));  // the first line, centred in the box
    EXPECT_TRUE(ink_in(failed, 300, 336, 500, 350));  // the second
}

// SDL draws the box itself where the X server has a scalable font, else it shows it with zenity:
// one run each way, the font path chosen, and zenity's start recorded (the real one runs).
TEST(Startup, ThePlatformConfirmationTakesReturnForItsDefaultButton) {
    const std::string type1 = x_type1_font_folder();
    ASSERT_FALSE(type1.empty()) << "no X Type1 fonts: tools/install-deps.sh installs fonts-urw-base35";
    const std::string zenity = plat::find_program("zenity");
    ASSERT_FALSE(zenity.empty());
    for (bool sdl_box : {false, true}) {
        e2e_session s(sdl_box ? "startup_confirm_sdl_box" : "startup_confirm_zenity_box");
        s.set_font_path(sdl_box ? type1 + ",built-ins" : "built-ins");
        std::string why;
        ASSERT_TRUE(s.start_display(&why)) << why;
        s.set_env("PATH", VOLATRA_STANDINS_DIR ":/usr/bin:/bin");
        s.set_env("STANDIN_RECORD", s.folder() + "zenity.txt");
        s.set_env("STANDIN_REAL", zenity);
        int user_status = -1;
        std::thread user = press_return_in(s, "Volatra Installer", &user_status);
        int status = s.run(probe, {"--confirm"}, "");
        user.join();
        EXPECT_EQ(user_status, 0) << sdl_box;
        ASSERT_EQ(status, 0) << s.report();
        EXPECT_EQ(s.out(), "confirmed 1\n") << sdl_box;
        const std::string call = read_file(s.folder() + "zenity.txt");
        EXPECT_EQ(call.rfind("call zenity\n--question\n", 0) == 0, !sdl_box)
            << (sdl_box ? "SDL's own box wanted, zenity called:\n"
                        : "zenity's box wanted, zenity not called:\n")
            << call;
    }
}

}  // namespace

#include "shell/alerts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/alert.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/localisation.h"
#include "core/thread_layer.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/builtin_images.h"
#include "graphics/text_layout.h"
#include "platform/plat_strings.h"
#include "platform/plat_window_null.h"
#include "shell/frame.h"
#include "shell_helpers.h"
#include "widgets/widget_kit.h"

namespace {

constexpr int kReturnCode = 36;  // the Mac key code of Return

int count_of(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// A row of an alert's text, or its button: the rectangle its letters take, from 3 below its
// height to 6 above it.
struct box {
    float x0, x1, y0, y1;
    std::string text;
};

// The rows of an alert's first frame as OGL_string draws them: its lines (and a fatal alert's
// location), up to the button's label.
std::vector<box> alert_rows(const std::vector<tapped_string>& strings) {
    std::vector<box> rows;
    for (const tapped_string& s : strings) {
        if (s.text == "OK") break;
        if (s.text.empty()) continue;  // the panels' titles
        EXPECT_EQ(s.align, 1);
        const std::vector<std::string> lines = OGL_wrap_text(s.text, 0, s.wrap, 0).lines;
        for (size_t k = 0; k < lines.size(); ++k) {
            const float w = OGL_string_width(lines[k]), y = s.y - 10.0f * static_cast<float>(k);
            rows.push_back({s.x - w / 2, s.x + w / 2, y - 3, y + 6, lines[k]});
        }
    }
    return rows;
}

// What is wrong with an alert's rows, one a line: a row outside the white panel (10 in from the
// box's sides, from 35 to 222), or over another or over the button. Empty when nothing is.
std::string misplaced(std::vector<box> rows) {
    std::string wrong;
    for (const box& r : rows)
        if (!(r.x0 >= 10 && r.x1 <= 410 && r.y0 >= 35 && r.y1 <= 222))
            wrong += "outside the panel: " + r.text + "\n";
    const float ok = (21 + OGL_string_width("OK")) / 2;
    rows.push_back({210 - ok, 210 + ok, 8, 28, "the button"});
    for (size_t a = 0; a < rows.size(); ++a)
        for (size_t b = a + 1; b < rows.size(); ++b)
            if (!(rows[a].x1 <= rows[b].x0 || rows[b].x1 <= rows[a].x0 || rows[a].y1 <= rows[b].y0 ||
                  rows[b].y1 <= rows[a].y0))
                wrong += "over each other: " + rows[a].text + " | " + rows[b].text + "\n";
    return wrong;
}

// The heights of the rows, top down.
std::vector<float> heights(const std::vector<box>& rows) {
    std::vector<float> out;
    for (const box& r : rows) out.push_back(r.y0 + 3);
    return out;
}

// The heights from top down to bottom, 10 apart, then those of more.
std::vector<float> rows_down(float top, float bottom, std::vector<float> more = {}) {
    std::vector<float> out;
    for (float y = top; y >= bottom; y -= 10) out.push_back(y);
    out.insert(out.end(), more.begin(), more.end());
    return out;
}

// A path of n bytes: folders of a backup disk.
std::string long_path(size_t n) {
    std::string path = "/media/maria/Backup disk";
    for (int k = 1; path.size() < n; ++k) path += "/Scenery overrides " + std::to_string(k);
    return path.substr(0, n);
}

const std::string kCopy = "/home/maria-fernanda/Documents/Flight/Volatra 9.10r1/";
// The disk-away sentence with a 930-byte path: more rows than an alert has.
std::string disk_away_sentence() {
    return "The link " + kCopy + "Custom Scenery/link leads to " + long_path(930) +
           ", where nothing is found now (is its disk away?), so 5 files of the release beyond it "
           "are left out.";
}
// An error line of two rows.
std::string long_error() {
    return "Error: I was unable to install the file " + kCopy +
           "Resources/plugins/Scenery overrides for the Lisbon approach.zip, "
           "a link on its way leads to nothing";
}

// The test's folder. A death test's child runs the test again up to its statement and must
// find the same folder, so the path goes to it through the environment.
class shared_folder {
public:
    shared_folder() {
        if (const char* p = std::getenv(kEnv)) {
            path_ = p;
            return;
        }
        std::string t = ::testing::TempDir() + "shell_alert_XXXXXX";
        EXPECT_TRUE(mkdtemp(&t[0]));
        path_ = t + "/";
        setenv(kEnv, path_.c_str(), 1);
        owner_ = true;
    }
    ~shared_folder() {
        if (!owner_) return;
        remove_tree(path_);
        unsetenv(kEnv);
    }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + rel; }

private:
    static constexpr const char* kEnv = "VOLATRA_SHELL_ALERT_TEST_DIR";
    std::string path_;
    bool owner_ = false;
};

// The GL alert in the test context, driven by events queued on the null window backend; the
// memory report goes to the test's folder.
class Alert : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_main_screen());
        ogl_inited = 1;
        app_done = 0;
        saved_app_path = app_path;
        app_path = tmp.path();
        old_alert = set_alert_hook(shell_alert);
        stls[603] = "OK";
    }
    void TearDown() override {
        set_alert_hook(old_alert);
        app_path = saved_app_path;
        if (!old_cwd.empty()) {
            EXPECT_EQ(chdir(old_cwd.c_str()), 0);
        }
        ogl_inited = 0;
    }
    // Crash files land in the working folder.
    void chdir_to_tmp() {
        char cwd[4096];
        ASSERT_TRUE(getcwd(cwd, sizeof cwd));
        old_cwd = cwd;
        ASSERT_EQ(chdir(tmp.path().c_str()), 0);
    }
    void click_at(float x, float y) {  // window units
        backend->mouse_h = static_cast<int>(x);
        backend->mouse_v = static_cast<int>(600 - y);
        push(plat::ev_mouse_down, 0);
        push(plat::ev_mouse_up, 0);
    }
    void press_return() {
        push(plat::ev_key_down, (kReturnCode << 8) | 13);
        push(plat::ev_key_up, (kReturnCode << 8) | 13);
    }
    void push(int what, uint32_t message) {
        plat::event e;
        e.what = what;
        e.message = message;
        backend->events.push_back(e);
    }

    shared_folder tmp;
    std::string saved_app_path;
    std::string old_cwd;
    alert_hook_fn old_alert = nullptr;
    plat::scoped_null_backend backend;
};

TEST_F(Alert, MessageAnsweredByReturnGoesBackWithItsMouse) {
    log_capture log;
    mnw.mouse_x = 123;
    mnw.mouse_y = 45;
    press_return();
    string_tap tap;
    shell_alert(0, "one", "two", "three", "four", t_alert, "GenC/test", 12);

    EXPECT_EQ(mnw.curwin, 0);
    EXPECT_EQ(mnw.modal, 0);
    EXPECT_EQ(mnw.mouse_x, 123);
    EXPECT_EQ(mnw.mouse_y, 45);
    EXPECT_EQ(return_hit, 0);
    // Centred in the 420-unit box, in the ink colour, 40 units apart; the OK button below.
    const float ys[] = {205, 165, 125, 85};
    const char* lines[] = {"one", "two", "three", "four"};
    for (int i = 0; i < 4; ++i) {
        const tapped_string* s = tap.find(lines[i]);
        ASSERT_TRUE(s) << lines[i];
        EXPECT_EQ(s->colour, 43);
        EXPECT_EQ(s->x, 210);
        EXPECT_EQ(s->y, ys[i]);
        EXPECT_FLOAT_EQ(s->wrap, 378);
        EXPECT_EQ(s->align, 1);
    }
    EXPECT_TRUE(tap.find("OK"));
    EXPECT_FALSE(tap.find("(GenC/test line 12)"));  // the location shows in fatal alerts only
    EXPECT_NE(log.text().find("\none\ntwo\nthree\nfour\n(GenC/test line 12)\n"), std::string::npos);
    EXPECT_TRUE(path_exists(tmp / "MemoryLog.txt"));
}

// The web update's alert of an item in the way, the copy in an 80-character folder and the item a
// 60-character name, its sentence naming the item from the copy or whole: no row of text is drawn
// over another or over the button, every one stays in the white panel (10 in from the box's sides,
// from 35 to 222), and each path, too wide for its line, is one row cut in its middle.
TEST_F(Alert, LongPathsAndSentencesAreDrawnApartInThePanel) {
    const std::string copy =
        "/home/maria-fernanda/Documents/Flight/Simulators and other games/Volatra 9.10r1/";
    const std::string name = "Scenery overrides for the Lisbon approach by M. Fernandes v3";
    ASSERT_EQ(copy.size(), 80u);
    ASSERT_EQ(name.size(), 60u);
    const std::string place = copy + "Resources/" + name;
    for (const std::string& item : {"Resources/" + name, place}) {
        press_return();
        string_tap tap;
        __MACIBM_alert(
            0,
            "Something of yours stands at " + item +
                ", where the release puts files, so 3 files that go there are left out.  The update "
                "goes on with the other files.",
            "Error: Not a directory", "In the way: " + place, "Destination: " + place, t_alert, "GenC/test",
            5);
        const std::vector<box> rows = alert_rows(tap.strings);
        ASSERT_GE(rows.size(), 4u);
        EXPECT_EQ(misplaced(rows), "");
        // Each path in one row: its start and its end with "..." between them.
        for (const std::string label :
             {"In the way: /home/maria-fernanda/", "Destination: /home/maria-fernanda/"})
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const box& r) {
                return r.text.rfind(label, 0) == 0 && r.text.find("...") != std::string::npos &&
                       plat::ends_with(r.text, "by M. Fernandes v3");
            })) << label;
    }
}

// Lines too long for the box take the rows in turn, each drawn down from its place and 20 under
// the last row above it, leaving one row to each line below: the fourth stands on the lowest row,
// 45, over the button. The disk-away sentence with a 930-byte path takes the first line's eleven
// rows, its last showing its end after "..."; then a long error line, held to one row, keeps its
// label before its end. Or the first line takes five rows and the second, longer, the seven left.
TEST_F(Alert, LongLinesTakeTheRowsDownToTheButtonInTurn) {
    const std::string& copy = kCopy;
    const std::string sentence = disk_away_sentence(), error = long_error();
    const std::string five_rows = "Something of yours stands at " + copy +
                                  "Resources/Scenery overrides for the Lisbon approach by M. Fernandes v3, "
                                  "where the release puts files, so 3 files that go there are left out.  The "
                                  "update goes on with the other files, and you can repair the copy later.";
    struct cut_row {
        float y;
        std::string start, end;
    };
    const struct {
        std::string lines[4];
        std::vector<float> rows;
        std::vector<cut_row> cut;
    } cases[] = {
        {{sentence, error, "In the way: " + copy + "link", "Destination: " + copy},
         rows_down(205, 105, {85, 65, 45}),
         {{105, "...", "beyond it are left out."}, {85, "Error: ...", "a link on its way leads to nothing"}}},
        {{five_rows, sentence, "Error: A link on the way leads to nothing", "Destination: " + copy},
         rows_down(205, 165, rows_down(145, 85, {65, 45})),
         {{85, "...", "beyond it are left out."}}},
    };
    for (const auto& c : cases) {
        press_return();
        string_tap tap;
        __MACIBM_alert(0, c.lines[0], c.lines[1], c.lines[2], c.lines[3], t_alert, "GenC/test", 6);
        const std::vector<box> rows = alert_rows(tap.strings);
        EXPECT_EQ(misplaced(rows), "");
        EXPECT_EQ(heights(rows), c.rows) << c.lines[0];
        for (const cut_row& want : c.cut) {
            auto shown = [&](const box& r) {
                return r.y0 + 3 == want.y && r.text.rfind(want.start, 0) == 0 &&
                       plat::ends_with(r.text, want.end);
            };
            EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), shown)) << want.y << ": " << want.start;
        }
    }
}

// Return and then a click on OK within one of the alert's frames: the click was made in the
// alert and reaches nothing beneath it once Return has closed it; nor does one behind the Return
// that closes a question. A click of the screen's own presses the button under OK.
TEST_F(Alert, AClickBehindTheReturnThatClosedAWindowReachesNothingBeneath) {
    static int fired = 0;
    fired = 0;
    const app_hooks old =
        set_app_hooks({[] { fired += BTN_action(400, 193, 100, 0, 0, "Beneath", "-"); }, nullptr, nullptr});
    xtim_set_clock([] { return uint64_t{0}; });  // a frame takes all that is queued
    for (int question : {0, 997}) {
        press_return();
        click_at(400, 193);  // the OK, (210, 18) in the 420 x 250 box at (190, 175)
        if (question) {
            MACIBM_startwind(question, 0);
            MACIBM_event_proc();
        } else {
            shell_alert(0, "one", "", "", "", t_alert, "GenC/test", 13);
        }
        EXPECT_EQ(mnw.curwin, 0) << question;
        for (int i = 0; i < 3; ++i) MACIBM_event_proc();
        EXPECT_EQ(fired, 0) << question;
    }
    click_at(400, 193);
    MACIBM_event_proc();
    EXPECT_EQ(fired, 1);
    xtim_set_clock(nullptr);
    set_app_hooks(old);
}

TEST_F(Alert, FourEmptyLinesShowNothingButAreLogged) {
    log_capture log;
    shell_alert(0, "", "", "", "", t_alert, "GenC/test", 3);
    EXPECT_EQ(backend->waits, 0);
    EXPECT_EQ(mnw.curwin, 0);
    EXPECT_NE(log.text().find("\n\n\n\n\n(GenC/test line 3)\n"), std::string::npos);
    // Any one line shows the box.
    press_return();
    string_tap tap;
    shell_alert(0, "", "", "three", "", t_alert, "GenC/test", 4);
    EXPECT_GT(backend->waits, 0);
    EXPECT_TRUE(tap.find("three"));
}

// The two- or three-button question of sub-window 995 (300 x 166, at 250, 217 in the window): the
// first two buttons hug its left edge at heights 60 and 25, the third its right edge.
TEST_F(Alert, TheQuestionAnswersWithTheButtonPressed) {
    stls[608] = "Keep";
    stls[609] = "Replace";
    stls[610] = "Skip";
    stls[611] = "The file ";
    stls[612] = "was changed.";
    struct row {
        float x, y;
        int third, answer;
    };
    for (row r : {row{265, 277, 0, 1}, row{265, 242, 0, 2}, row{535, 242, 1, 3}}) {
        push(plat::ev_null, 0);  // the question's first frame ends here: the click comes with it on screen
        click_at(r.x, r.y);
        string_tap tap;
        EXPECT_EQ(MACIBM_nuke_alert("plane.acf", r.third), r.answer) << r.x << "," << r.y;
        EXPECT_EQ(mnw.curwin, 0);
        const tapped_string* sentence = tap.find("The file plane.acf was changed.");
        ASSERT_TRUE(sentence);
        EXPECT_EQ(sentence->x, 20);
        EXPECT_EQ(sentence->y, 166 - 40);
        EXPECT_FLOAT_EQ(sentence->wrap, 260);
        EXPECT_EQ(tap.find("Skip") != nullptr, r.third != 0);
        const tapped_string* keep = tap.find("Keep");
        ASSERT_TRUE(keep);
        EXPECT_FLOAT_EQ(keep->x, 20 + OGL_string_width("Keep") / 2) << "left edge of the button at 9.5";
    }
}

// The location names the source file, not the folder the program was built in.
TEST_F(Alert, TheLocationNamesTheSourceFileNotItsBuildPath) {
    log_capture log;
    shell_alert(0, "", "", "", "", t_alert, __FILE__, 3);
    EXPECT_NE(log.text().find("\n(alerts_test.cpp line 3)\n"), std::string::npos) << log.text();
    EXPECT_EQ(log.text().find(VOLATRA_SOURCE_DIR), std::string::npos);
    EXPECT_EQ(alert_location("/build/volatra/install/builder_pack.cpp", 12), "(builder_pack.cpp line 12)");
    EXPECT_EQ(alert_location("GenC/hl_init", 1574), "(GenC/hl_init line 1574)");
}

TEST_F(Alert, LanguageChooserKeepsTheChoice) {
    // "|French" is the second radio button, 25 units left of the box's middle, at y 160, clicked
    // once the box is on screen.
    push(plat::ev_null, 0);
    click_at(mnw.x_res / 2.0f - 25, 175 + 164);
    press_return();
    string_tap tap;
    shell_alert(-1, "-", "-", "-", "-", t_lang, "GenC/hl_init", 1664);
    EXPECT_EQ(mnw.lang, 1);
    EXPECT_EQ(mnw.curwin, -1);
    EXPECT_EQ(stls[0], "Language/");
    EXPECT_TRUE(tap.find("Accept"));
    EXPECT_FALSE(tap.find("-"));
    EXPECT_FALSE(path_exists(tmp / "MemoryLog.txt"));
}

TEST_F(Alert, FatalAlertListsTheStackAndEndsTheProgram) {
    chdir_to_tmp();
    for (int run = 1; run <= 2; ++run) {
        // Before the window stands the platform's alert shows it; without a display, on stderr.
        EXPECT_EXIT(
            {
                scoped_env display("DISPLAY", std::nullopt);
                scoped_env config("XDG_CONFIG_HOME", tmp / "config");
                ogl_inited = 0;
                shell_alert(0, "Disc", "unreadable", "Try", "again", t_exit, "GenC/test", 7);
            },
            ::testing::ExitedWithCode(1), "Disc unreadable\nTry again");
        EXPECT_EQ(count_of(read_file(tmp / "stack_crawl.txt"), "  0) "), run);
    }
    EXPECT_TRUE(path_exists(tmp / "MemoryLog.txt"));
    EXPECT_FALSE(path_exists(tmp / "config/Volatra Installer.prf"));
}

// A fatal alert's rows as its first frame drew them, told on stderr as it shuts down: their
// heights, the last row's text and what is misplaced.
string_tap* fatal_tap = nullptr;
void tell_rows(int) {
    const std::vector<box> rows = alert_rows(fatal_tap->strings);
    std::string told = "rows:";
    for (float y : heights(rows)) told += " " + std::to_string(static_cast<int>(y));
    told += rows.empty() ? "\n" : ", the last " + rows.back().text + "\n";
    const std::string wrong = misplaced(rows);
    std::fprintf(stderr, "%s%s", told.c_str(), wrong.empty() ? "none misplaced\n" : wrong.c_str());
}

// A fatal alert's location stands on the lowest row, 45, and its lines keep 20 above it: the
// first takes the rows down to where the three below it start. The program ends in the alert, so
// it runs in a process of its own, with a GL context of its own.
TEST_F(Alert, AFatalAlertsLinesKeepAboveItsLocation) {
    chdir_to_tmp();
    const std::string style = GTEST_FLAG_GET(death_test_style);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            press_return();
            string_tap tap;
            fatal_tap = &tap;
            set_finishup_hook(tell_rows);
            shell_alert(0, disk_away_sentence(), long_error(), "In the way: " + kCopy + "link",
                        "Destination: " + kCopy, t_exit, "GenC/test", 7);
        },
        ::testing::ExitedWithCode(1),
        "rows: 205 195 185 175 165 155 145 135 125 105 85 65 45, the last \\(GenC/test line 7\\)\n"
        "none misplaced\n");
    GTEST_FLAG_SET(death_test_style, style);
}

TEST_F(Alert, UnderFpsTestAlertsAreOnlyLogged) {
    chdir_to_tmp();
    const char* argv[] = {"installer", "--fps_test"};
    child_result r = run_in_child([&] {
        log_capture log;
        cmdline.init_unix(2, argv);
        shell_alert(0, "a", "b", "c", "d", t_alert, "GenC/test", 9);
        std::printf("waits=%d\n%s", backend->waits, log.text().c_str());
    });
    EXPECT_EQ(r.exit_code, child_returned);
    EXPECT_EQ(r.out.rfind("waits=0\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("\na\nb\nc\nd\n(GenC/test line 9)\n"), std::string::npos) << r.out;
    EXPECT_FALSE(path_exists(tmp / "MemoryLog.txt"));

    EXPECT_EXIT(
        {
            cmdline.init_unix(2, argv);
            shell_alert(0, "a", "b", "c", "d", t_exit, "GenC/test", 9);
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_EQ(count_of(read_file(tmp / "stack_crawl.txt"), "  0) "), 1);
    EXPECT_FALSE(path_exists(tmp / "MemoryLog.txt"));
}

// An alert raised while one is shown (here by the frame that the alert's own loop runs) is the
// platform's, and ends the program whatever its type.
void alert_from_a_frame(float) { __MACIBM_alert(0, "nested", "", "", "", t_alert, "GenC/test", 2); }

TEST_F(Alert, NestedAlertEndsTheProgram) {
    chdir_to_tmp();
    EXPECT_EXIT(
        {
            scoped_env display("DISPLAY", std::nullopt);
            xtim_set_pulse_hook(alert_from_a_frame);
            shell_alert(0, "outer", "", "", "", t_alert, "GenC/test", 1);
        },
        ::testing::ExitedWithCode(1), "nested");
}

TEST(Finishup, WritesThePreferencesOnceAndStopsTheThreads) {
    temp_folder tmp;
    scoped_env config("XDG_CONFIG_HOME", tmp / "config");
    plat::scoped_null_backend backend;
    const std::string prefs = tmp / "config/Volatra Installer.prf";
    child_result r = run_in_child([&] {
        THREAD_init();
        mnw.lang = 2;
        shell_finishup(1);
        std::printf("threads=%d\n", THREAD_is_inited());
        remove_tree(prefs);
        shell_finishup(1);
    });
    EXPECT_EQ(r.exit_code, child_returned);
    EXPECT_EQ(r.out, "threads=0\n");
    EXPECT_FALSE(path_exists(prefs));  // the second call wrote nothing

    r = run_in_child([&] {
        shell_finishup(1);
        std::printf("%s", read_file(prefs).c_str());
    });
    EXPECT_NE(r.out.find("\n_lang 0\n"), std::string::npos) << r.out;

    remove_tree(prefs);
    r = run_in_child([&] {
        const char* argv[] = {"installer", "--fps_test"};
        cmdline.init_unix(2, argv);
        THREAD_init();
        shell_finishup(1);
        std::printf("threads=%d\n", THREAD_is_inited());
    });
    EXPECT_EQ(r.out, "threads=0\n");
    EXPECT_FALSE(path_exists(prefs));
}

TEST(Language, FilesByLanguageNumber) {
    const char* paths[] = {"Resources/text/english/Installer2.txt", "Resources/text/french/Installer2.txt",
                           "Resources/text/german/Installer2.txt",  "Resources/text/italian/Installer2.txt",
                           "Resources/text/spanish/Installer2.txt", "Resources/text/portugese/Installer2.txt",
                           "Resources/text/korean/Installer2.txt"};
    for (int lang = 0; lang <= 6; ++lang) EXPECT_EQ(language_file_path(lang), paths[lang]);
    EXPECT_EQ(language_file_path(9), "Resources/Installer2.txt");

    // Read from the working folder; English clears the table even where a file exists.
    temp_folder tmp;
    for (const char* folder : {"english", "french"})
        tmp.write(std::string("Resources/text/") + folder + "/Installer2.txt",
                  "A\n900 version\nTRANSLATION\nSTRING OK====D'accord\n");
    child_result r = run_in_child([&] {
        if (chdir(tmp.path().c_str()) != 0) return;
        mnw.lang = 1;
        MACIBM_setupforlang();
        std::printf("%s|", UTL_translate_string("OK").c_str());
        mnw.lang = 0;
        MACIBM_setupforlang();
        std::printf("%s", UTL_translate_string("OK").c_str());
    });
    EXPECT_EQ(r.out, "D'accord|OK");
}

TEST(GoToUrl, OneArgumentForTheOpenerAndNoOverlongAddress) {
    temp_folder tmp;
    const std::string record = tmp / "record.txt";
    scoped_env path("PATH", std::string(VOLATRA_TEST_DATA "/standins:/usr/bin:/bin"));
    scoped_env rec("STANDIN_RECORD", record);
    const std::string url = "http://example.invalid/a b;$(touch " + tmp.path() + "x)?q=1&r=2";
    shell_go_to_url(url + std::string(499 - url.size(), 'z'));
    // The opener runs on its own; its record appears whole once it is done.
    eventually([&] { return path_exists(record); }, hang_seconds, 50000);
    EXPECT_EQ(read_lines(record), (std::vector<std::string>{"call xdg-open", url + std::string(499 - url.size(), 'z')}));
    EXPECT_FALSE(path_exists(tmp / "x"));

    reset_recorders();
    remove_tree(record);
    shell_go_to_url(std::string(500, 'h'));
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line1, "String too long!");
    EXPECT_EQ(recorded_alerts()[0].type, t_alert);
    usleep(200000);
    EXPECT_FALSE(path_exists(record));
}

}  // namespace

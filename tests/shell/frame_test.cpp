#include "shell/frame.h"

#include <gtest/gtest.h>

#include "common/gl_test_context.h"
#include "common/recorders.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/screen_2d.h"
#include "graphics/texture_manager.h"
#include "platform/plat_window_null.h"
#include "shell/keys.h"
#include "shell/menu.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_kit.h"
#include "wizard/world_map.h"

namespace {

uint64_t fake_now = 0;
uint64_t fake_clock() { return fake_now; }

int app_frames = 0;
void count_frame() { ++app_frames; }

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(gl_test_context());
        mnw = mnw_defaults();
        mnw.x_res = 800;
        mnw.y_res = 600;
        mnw.scale = 1;
        app_done = 0;
        app_frames = 0;
        old_hooks = set_app_hooks({count_frame, nullptr, nullptr});
        xtim_set_clock(fake_clock);
        MACIBM_clear_menus(1);
        reset_recorders();
    }
    void TearDown() override {
        set_app_hooks(old_hooks);
        xtim_set_clock(nullptr);
        tman.reset_scene_load_fail();
        tman.reset_instl_load_fail();
    }
    void push(int what, uint32_t message = 0, uint32_t mods = 0, int wheel = 0) {
        plat::event e;
        e.what = what;
        e.message = message;
        e.modifiers = mods;
        e.wheel = wheel;
        backend->events.push_back(e);
    }
    // An event that happened at window point (x, y), y up.
    void push_at(int what, float x, float y) {
        plat::event e;
        e.what = what;
        backend->events.emplace_back(e, static_cast<int>(x), static_cast<int>(600 - y));
    }
    // Frames until every queued event is taken, and one more for an event a frame left.
    void run_out() {
        for (int i = 0; i < 200 && !backend->events.empty(); ++i) MACIBM_event_proc();
        MACIBM_event_proc();
    }

    app_hooks old_hooks{};
    plat::scoped_null_backend backend;
};

TEST_F(Frame, SubWindowsAreCentredSizedAndTitledFromTheTable) {
    struct row {
        int x_res, y_res, id;
        float x, y, dx, dy;
        int modal;
        const char* title;
    };
    stls[77] = "open";
    stls[601] = "alert";
    stls[602] = "question";
    stls[613] = "t613";
    stls[614] = "save";
    const row rows[] = {
        {2560, 1024, 994, 430, 387, 420, 250, 1, "alert"},  // twice as wide as high: centred on the left half
        {800, 600, 999, 235, 63, 330, 474, 1, "open"},     {800, 600, 1, 150, 150, 500, 300, 1, "EULA"},
        {1024, 768, 0, 0, 0, 1024, 768, 0, "EULA"},        // the main screen keeps the title
        {640, 480, 997, 0, 137, 700, 206, 1, "question"},  // wider than the window: origin 0, never negative
        {800, 600, 993, 100, 150, 600, 300, 1, "t613"},    {800, 600, 995, 250, 217, 300, 166, 1, "question"},
        {800, 600, 998, 120, 63, 561, 474, 1, "save"},     {800, 600, 2, 100, 110, 600, 380, 1, "Prefs"},
        {800, 600, 992, 120, 63, 561, 474, 1, "Livery"},
    };
    for (const row& r : rows) {
        mnw.x_res = r.x_res;
        mnw.y_res = r.y_res;
        mnw.open_menu = 3;
        mnw.wheel = 4;
        mnw.mouse_held = 1;
        MACIBM_startwind(r.id, 0);
        EXPECT_EQ(mnw.subwin_x, r.x) << r.id;
        EXPECT_EQ(mnw.subwin_y, r.y) << r.id;
        EXPECT_EQ(mnw.subwin_dx, r.dx) << r.id;
        EXPECT_EQ(mnw.subwin_dy, r.dy) << r.id;
        EXPECT_EQ(mnw.modal, r.modal) << r.id;
        EXPECT_EQ(stls[0], r.title) << r.id;
        EXPECT_EQ(mnw.curwin, r.id);
        EXPECT_EQ(mnw.lastwin, r.id);
        EXPECT_EQ(mnw.open_menu, -1);
        EXPECT_EQ(mnw.wheel, 0);
        EXPECT_EQ(mnw.mouse_held, 0);
    }
    EXPECT_EQ(menu[popup_menu].l, -1);
    EXPECT_EQ(menu[popup_menu].t, -1);
}

TEST_F(Frame, HoverHelpSitsNearTheMouseInsideTheWindowWithAHeightForItsText) {
    struct row {
        size_t length;
        float mouse_x, mouse_y, subwin_x, subwin_y;
        float x, y;
        int h;
    };
    const row rows[] = {
        {120, 500, 200, 0, 0, 85, 215, 60},       // left of and above the mouse
        {1600, 500, 200, 0, 0, 85, 215, 300},     // the tallest box
        {420, 100, -50, 0, 0, 10, 10, 100},       // held off the left and bottom edges
        {60, 900, 590, 0, 0, 390, 520, 60},       // and off the right and top edges
        {60, 100, 100, 190, 175, -180, 115, 60},  // in a sub-window the edges are the window's
        {60, 700, 400, 190, 175, 200, 345, 60},
    };
    for (const row& r : rows) {
        mnw.mouse_x = r.mouse_x;
        mnw.mouse_y = r.mouse_y;
        mnw.subwin_x = r.subwin_x;
        mnw.subwin_y = r.subwin_y;
        hover_box b = hover_help_box(r.length);
        EXPECT_EQ(b.x, r.x) << r.length << " at " << r.mouse_x << "," << r.mouse_y;
        EXPECT_EQ(b.y, r.y) << r.length << " at " << r.mouse_x << "," << r.mouse_y;
        EXPECT_EQ(b.h, r.h) << r.length;
    }
    // Drawn after a second's rest, and asked for again every frame.
    stls[1802] = "help";
    mouse_help_per_wind(0);
    EXPECT_EQ(stls[1802], "");
}

TEST_F(Frame, CloseBoxesAndReturnCloseOnlyTheWindowsThatHaveThem) {
    struct row {
        float x, y;
        bool in_box;
    };
    // 700 x 206 (997) and 700 x 146 (996): boxes at x 0-25 and 675-700, y dy-20 to dy.
    const row points[] = {{0, 0, true},     {25, -20, true}, {26, 0, false},  {675, 0, true},
                          {700, -20, true}, {701, 0, false}, {10, -21, false}};
    for (int id : {997, 994, 996}) {
        for (const row& p : points) {
            MACIBM_startwind(id, 0);
            mnw.mouse_x = p.x;
            mnw.mouse_y = mnw.subwin_dy + p.y;
            MACIBM_handleclick(0);
            bool closed = mnw.curwin == 0;
            EXPECT_EQ(closed, id == 997 && p.in_box) << id << " at " << p.x << "," << p.y;
        }
        MACIBM_startwind(id, 0);
        mnw.mouse_x = mnw.mouse_y = 100;
        MACIBM_handleclick(1);
        EXPECT_EQ(mnw.curwin == 0, id == 997) << "Return in " << id;
    }
}

TEST_F(Frame, EventsBecomeMouseKeyAndWheelStateForOneFrame) {
    mnw.curwin = -1;
    MACIBM_event_proc();  // enters the main screen
    ASSERT_EQ(mnw.curwin, 0);

    backend->mouse_h = 120;
    backend->mouse_v = 100;
    push(plat::ev_key_down, (36 << 8) | 13);
    push(plat::ev_wheel, 0, 0, 3);
    push(plat::ev_wheel, 0, 0, -1);
    push(plat::ev_mouse_down);
    MACIBM_event_proc();
    EXPECT_EQ(return_hit, 1);
    EXPECT_EQ(mnw.wheel, 2);
    EXPECT_EQ(mnw.mouse_down, 0) << "a press after keys waits for the next frame";
    EXPECT_EQ(backend->last_wait_ms, 17);
    MACIBM_event_proc();
    EXPECT_EQ(mnw.mouse_x, 120);
    EXPECT_EQ(mnw.mouse_y, 500) << "y up from the bottom edge";
    EXPECT_EQ(mnw.mouse_down, 1);
    EXPECT_EQ(mnw.mouse_held, 1);
    EXPECT_EQ(return_hit, 0) << "the frame flags last one frame";

    push(plat::ev_mouse_up);
    MACIBM_event_proc();
    EXPECT_EQ(mnw.mouse_down, 0);
    EXPECT_EQ(mnw.mouse_up, 1);
    EXPECT_EQ(mnw.mouse_held, 0);

    EXPECT_EQ(app_frames, 4);

    push(plat::ev_quit);
    MACIBM_event_proc();
    EXPECT_EQ(app_done, 1);
}

// A tap brings the pointer's motion, the press and the release at once: the press counts where
// it happened, for the frame's own hit-test and for the widgets drawn after it; the release comes
// in the next frame.
TEST_F(Frame, APressThatComesWithItsMotionLandsWhereItHappened) {
    static int pressed = 0;
    pressed = 0;
    set_app_hooks({[] { pressed += BTN_action(400, 300, 100, 0, 0, "Continue", "-"); }, nullptr, nullptr});
    MACIBM_create_menu(0, 0, "File");
    mnw.curwin = -1;
    MACIBM_event_proc();
    auto tap = [&](float x, float y) {
        push_at(plat::ev_mouse_down, x, y);
        push_at(plat::ev_mouse_up, x, y);
        MACIBM_event_proc();
        MACIBM_event_proc();
    };
    // The pointer was far from both.
    backend->mouse_h = 700;
    backend->mouse_v = 550;
    tap(400, 300);
    EXPECT_EQ(pressed, 1);
    EXPECT_EQ(mnw.mouse_x, 400);
    EXPECT_EQ(mnw.mouse_y, 300);
    EXPECT_EQ(mnw.open_menu, -1);
    tap((menu[0].l + menu[0].r) / 2, (menu[0].b + menu[0].t) / 2);
    EXPECT_EQ(mnw.open_menu, 0) << "the press on the title opened its menu";
    EXPECT_EQ(pressed, 1);
}

// Presses and releases that come faster than the frames: each frame takes one change of the
// button, where it happened, and leaves the rest queued for the next frames.
TEST_F(Frame, EachPressAndReleaseHasAFrameOfItsOwnWhereItHappened) {
    static int fired_a = 0, fired_b = 0, sel[36][18] = {};
    static map_press_state press;
    fired_a = fired_b = 0;
    set_app_hooks({[] {
                       fired_a += BTN_action(300, 300, 100, 0, 0, "A", "-");
                       fired_b += BTN_action(500, 300, 100, 0, 0, "B", "-");
                       map_select(press, mnw.mouse_x, mnw.mouse_y, mnw.mouse_down, mnw.mouse_held, 248, 400, sel);
                   },
                   nullptr, nullptr});
    mnw.curwin = -1;
    MACIBM_event_proc();
    // A tap on a map tile toggles it, and a second tap toggles it back.
    for (int want : {1, 0}) {
        push_at(plat::ev_mouse_down, 248 + 14 * 3 + 7, 400 + 14 * 2 + 7);
        push_at(plat::ev_mouse_up, 248 + 14 * 3 + 7, 400 + 14 * 2 + 7);
        run_out();
        EXPECT_EQ(sel[3][2], want);
    }
    // Pressed on A, released on B: A fires, in the frame the button went down on it.
    push_at(plat::ev_mouse_down, 300, 300);
    push_at(plat::ev_mouse_up, 500, 300);
    MACIBM_event_proc();
    EXPECT_EQ(fired_a, 1);
    EXPECT_EQ(mnw.mouse_held, 1);
    run_out();
    EXPECT_EQ(fired_b, 0);
    EXPECT_EQ(mnw.mouse_held, 0);
    // Two taps that came at once are two.
    for (int i = 0; i < 2; ++i) {
        push_at(plat::ev_mouse_down, 500, 300);
        push_at(plat::ev_mouse_up, 500, 300);
    }
    run_out();
    EXPECT_EQ(fired_b, 2);
    EXPECT_EQ(fired_a, 1);
}

// Keys typed faster than the frames reach the focused field, every one and in order, while the
// window goes on being drawn: a frame waits for input no longer than its own time, however
// many keys come meanwhile, and a key waits while the field's queue is full.
TEST_F(Frame, KeysFasterThanTheFramesAllReachTheFieldInOrder) {
    static std::string text;
    static std::vector<std::string> drawn;
    set_app_hooks({[] {
                       BTN_enterstring(100, 100, &text, 256, "", 600, 0);
                       drawn.push_back(text);
                   },
                   nullptr, nullptr});
    mnw.curwin = -1;
    MACIBM_event_proc();
    const std::string typed = "Volatra typed in one burst, 63 characters: 0123456789 ABCDEFGHI";
    ASSERT_EQ(typed.size(), 63u);
    auto type_into_field = [&] {
        text.clear();
        push_at(plat::ev_mouse_down, 105, 104);
        push_at(plat::ev_mouse_up, 105, 104);
        run_out();
        drawn.clear();
        // Every other one as a held key's repeat, which types as well.
        for (size_t i = 0; i < typed.size(); ++i) {
            const uint32_t message = (255u << 8) | static_cast<unsigned char>(typed[i]);
            push(i % 2 ? plat::ev_key_down : plat::ev_auto_key, message);
            push(plat::ev_key_up, message);
        }
    };
    // All at once: the field's queue holds 64 entries, a key's down and up take two. A press
    // elsewhere right behind them takes the field's focus away, after the field read them.
    type_into_field();
    push_at(plat::ev_mouse_down, 750, 300);
    run_out();
    EXPECT_EQ(text, typed);
    ASSERT_GE(drawn.size(), 2u);
    EXPECT_EQ(drawn[0], typed.substr(0, 32)) << "the window is drawn while the keys come";

    // One every 12 ms of the clock: each frame takes those of its own 1/60 s.
    static plat::null_window_backend* b = nullptr;
    b = &*backend;
    xtim_set_clock([] { return static_cast<uint64_t>(b->waits) * 12000; });
    type_into_field();
    run_out();
    EXPECT_EQ(text, typed);
    EXPECT_GE(drawn.size(), 63u);
}

TEST_F(Frame, ModalWindowsSkipTheApplicationAndWaitLongerUnderTheAlert) {
    MACIBM_startwind(994, 0);
    MACIBM_event_proc();
    EXPECT_EQ(app_frames, 0);
    EXPECT_EQ(backend->last_wait_ms, 167);
    MACIBM_startwind(0, 0);
    MACIBM_event_proc();
    EXPECT_EQ(app_frames, 1);
    // Return closes the question in the frame's events: the screen that asked it is still asking.
    MACIBM_startwind(997, 0);
    push(plat::ev_key_down, (36 << 8) | 13);
    MACIBM_event_proc();
    EXPECT_EQ(mnw.curwin, 0);
    EXPECT_EQ(app_frames, 1);
    MACIBM_event_proc();
    EXPECT_EQ(app_frames, 2);
}

// A press made before the picture it lands on was on screen reaches nothing, nor does its
// release: one right behind the tap that moved the screen on (taken after the new screen was
// drawn), behind the tap on a close box, or made after the frame whose Return closed a window
// but before the screen beneath was drawn again. One made with the picture up works.
TEST_F(Frame, APressMadeBeforeItsPictureWasOnScreenReachesNothing) {
    static int screen, fired, ups;
    screen = 1;
    fired = ups = 0;
    set_app_hooks({[] {
                       if (screen == 1 && BTN_action(300, 300, 100, 0, 0, "A", "-")) {
                           screen = 2;
                           MACIBM_new_screen();
                       } else if (screen == 2) {
                           fired += BTN_action(500, 300, 100, 0, 0, "B", "-");
                           ups += mnw.mouse_up;
                       }
                   },
                   nullptr, nullptr});
    const ogl_swap_fn old_swap = OGL_set_swap_hook([] { plat::swap(nullptr); });
    auto tap = [&](float x, float y) {
        push_at(plat::ev_mouse_down, x, y);
        push_at(plat::ev_mouse_up, x, y);
    };
    for (int window : {0, 997, 2}) {
        if (window) MACIBM_startwind(window, 0);
        MACIBM_event_proc();
        if (window == 0) tap(300, 300);  // A
        if (window == 997) tap(60, 390);  // its close box
        if (window == 2) {
            push(plat::ev_key_down, (36 << 8) | 13);
            MACIBM_event_proc();
        }
        tap(500, 300);
        run_out();
        EXPECT_EQ(mnw.curwin, 0);
        EXPECT_EQ(fired, 0) << window;
    }
    tap(500, 300);
    run_out();
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(ups, 3) << "the releases of A, of the close box and of the last tap";
    OGL_set_swap_hook(old_swap);
}

TEST_F(Frame, TextureFailuresWaitForTheMainScreenAndShowOnce) {
    MACIBM_startwind(997, 0);
    tman.scene_load_fail = 1;
    tman.instl_load_fail = 1;
    MACIBM_event_proc();
    EXPECT_TRUE(recorded_alerts().empty());
    MACIBM_startwind(0, 0);
    MACIBM_event_proc();
    MACIBM_event_proc();
    std::vector<recorded_alert> a = recorded_alerts();
    ASSERT_EQ(a.size(), 2u);
    EXPECT_EQ(a[0].line1, "Some scenery textures could not be loaded.");
    EXPECT_EQ(a[0].line, 1566);
    EXPECT_EQ(a[0].file, "GenC/hl_mnw");
    EXPECT_EQ(a[0].type, 1);
    EXPECT_EQ(a[1].line2,
              "This may be an installation problem.  Run the installer/updater again to get these missing "
              "textures.");
    EXPECT_EQ(tman.scene_load_fail, 2);
}

TEST_F(Frame, TheCursorHidesAfterTenIdleSecondsOnTheMainScreenAndComesBackOnAMove) {
    mnw.curwin = -1;
    fake_now = 1000000;
    MACIBM_event_proc();
    fake_now += 9000000;
    MACIBM_event_proc();
    EXPECT_TRUE(backend->cursor_changes.empty());
    fake_now += 2000000;
    MACIBM_event_proc();
    MACIBM_event_proc();
    EXPECT_EQ(backend->cursor_changes, std::vector<bool>{false});
    backend->mouse_h += 5;
    MACIBM_event_proc();
    MACIBM_event_proc();
    EXPECT_EQ(backend->cursor_changes, (std::vector<bool>{false, true}));

    // A dialog always shows the cursor.
    fake_now += 11000000;
    MACIBM_event_proc();
    EXPECT_EQ(backend->cursor_changes.back(), false);
    MACIBM_startwind(997, 0);
    EXPECT_EQ(backend->cursor_changes.back(), true);
    MACIBM_event_proc();
    EXPECT_EQ(backend->cursor_changes.size(), 4u);
    MACIBM_startwind(0, 0);
    MACIBM_event_proc();  // the mouse moved with the window's origin
    fake_now += 11000000;
    MACIBM_event_proc();
    EXPECT_EQ(backend->cursor_changes.back(), false);
    MACIBM_startwind(992, 0);
    EXPECT_EQ(backend->cursor_changes.back(), true) << "992 is the first of the dialogs";
}

TEST_F(Frame, MenuTitlesOpenAndCloseAndItemsHandTheirChoiceOver) {
    MACIBM_create_menu(0, 0, "File");
    MACIBM_append_menu(0, 0, 41, "Open", 1);
    MACIBM_create_menu(1, 0, "Edit");
    MACIBM_startwind(0, 0);
    MACIBM_event_proc();  // the first frame of a run enters its window once
    mnw.mouse_x = menu[0].l;
    mnw.mouse_y = menu[0].t;
    MACIBM_handleclick(0);
    EXPECT_EQ(mnw.open_menu, 0) << "a press on a title's edge opens it";
    // A menu hanging from an item answers a press on its title only while its parent is open.
    MACIBM_append_menu(0, 1, 42, "Recent", 1);
    MACIBM_create_menu(2, 0 * 300 + 1, "More");
    mnw.mouse_x = menu[2].l + 1.0f;
    mnw.mouse_y = menu[2].b + 1.0f;
    mnw.open_menu = 1;
    MACIBM_handleclick(0);
    EXPECT_EQ(mnw.open_menu, -1);
    mnw.open_menu = 0;
    MACIBM_handleclick(0);
    EXPECT_EQ(mnw.open_menu, 2);
    mnw.open_menu = 0;
    MACIBM_clear_menu(2);
    const item_struct& open = menu[0].items[0];
    mnw.mouse_x = (open.l + open.r) / 2.0f;
    mnw.mouse_y = (open.b + open.t) / 2.0f;
    static int chosen = 0;
    set_app_hooks({count_frame, [](int code) { chosen = code; }, nullptr});
    mnw.mouse_down = 1;
    MACIBM_handleclick(0);
    EXPECT_EQ(chosen, 41);
    EXPECT_EQ(mnw.open_menu, -1);
    EXPECT_EQ(mnw.mouse_down, 0);

    // With a menu open, moving over another title opens that one without a press.
    mnw.open_menu = 0;
    backend->mouse_h = (menu[1].l + menu[1].r) / 2;
    backend->mouse_v = 5;
    MACIBM_event_proc();
    EXPECT_EQ(mnw.open_menu, 1);

    // The pop-up list hands the item's index to the list that opened it.
    MACIBM_append_menu(popup_menu, 0, 0, "one", 1);
    MACIBM_append_menu(popup_menu, 1, 0, "two", 1);
    active_popup_code = 12;
    mnw.open_menu = popup_menu;
    const item_struct& two = menu[popup_menu].items[1];
    mnw.mouse_x = two.l + 1.0f;
    mnw.mouse_y = two.b + 1.0f;
    MACIBM_handleclick(0);
    EXPECT_EQ(popup_menu_select, 1);
    EXPECT_EQ(select_popup_code, 12);
    EXPECT_EQ(active_popup_code, 0);
}

}  // namespace

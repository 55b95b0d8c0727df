#include "shell/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "common/test_helpers.h"
#include "core/alert.h"
#include "core/random_table.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "files/file_operations.h"
#include "graphics/primitives.h"
#include "graphics/texture_manager.h"
#include "platform/plat_system_facts.h"
#include "shell/alerts.h"
#include "shell/dialogs.h"
#include "shell/frame.h"
#include "simfeatures/ui_hooks.h"
#include "support/path_finder.h"
#include "widget_helpers.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_shell.h"

namespace {

std::map<uint32_t, int32_t> facts;
int fake_gestalt(uint32_t selector, int32_t* value) {
    auto f = facts.find(selector);
    if (f == facts.end()) return plat::gestalt_undefined;
    *value = f->second;
    return 0;
}

TEST(StartupLog, HeaderLines) {
    facts = {{plat::four_cc("sys1"), 10}, {plat::four_cc("sys2"), 4},  {plat::four_cc("sys3"), 11},
             {plat::four_cc("cput"), 268}, {plat::four_cc("mclk"), 1250}, {plat::four_cc("bclm"), 167},
             {plat::four_cc("ramm"), 1024}};
    EXPECT_EQ(startup_log_header(fake_gestalt, "Apr  9 2008 09:29:48"),
              "Installer log.txt for Volatra DVD Installer 2.01r1 compiled on Apr  9 2008 09:29:48\n\n"
              "This log file is generated automatically by Tessaly applications and contains diagnostics about your "
              "graphics hardware, installation, and any error conditions.\n"
              "If you need to contact tech support or file a bug, please send us this file. NOTE: this file is "
              "rewritten every time you start ANY of your Ostrand applications.\n\n"
              "Mac OS X 10.4.11\n"
              "CPU type: 268 (G4) CPU speed (mhz): 1250 Bus speed (mhz): 167 RAM (MB): 1024\n"
              "\nOstrand folder:'', case sensitive=0\n\n");

    // Facts the system does not give read "?"; a missing processor type counts as code 0.
    facts.erase(plat::four_cc("cput"));
    facts.erase(plat::four_cc("sys3"));
    const std::string h = startup_log_header(fake_gestalt, "x");
    EXPECT_NE(h.find("Mac OS X 10.4.?\nCPU type: ? (unknown PowerPC) CPU speed"), std::string::npos) << h;
}

TEST(StartupLog, ProcessorNames) {
    const std::pair<int32_t, const char*> known[] = {
        {264, " (G3) "},        {268, " (G4) "},         {272, " (G4/7450) "}, {273, " (G4/7455) "},
        {274, " (G4/7447) "},   {288, " (G3/750FX) "},  {313, " (G5) "},      {316, " (G5/FX) "},
    };
    for (const auto& k : known) EXPECT_EQ(processor_name(k.first), k.second) << k.first;
    const std::pair<uint32_t, const char*> intel[] = {
        {plat::four_cc("i486"), " (i486) "},       {plat::four_cc("i586"), " (Pentium) "},
        {plat::four_cc("i5pr"), " (Pentium Pro) "}, {plat::four_cc("i5ii"), " (Pentium II) "},
        {plat::four_cc("i5iv"), " (Pentium 4) "},   {plat::four_cc("ixxx"), " (X86) "},
    };
    for (const auto& k : intel) EXPECT_EQ(processor_name(static_cast<int32_t>(k.first)), k.second) << k.second;
    EXPECT_EQ(processor_name(static_cast<int32_t>(plat::four_cc("ppcX"))), " (ppcX) ");
    EXPECT_EQ(processor_name(static_cast<int32_t>(0x69000001)), " (unknown intel) ");
    EXPECT_EQ(processor_name(999), " (unknown PowerPC) ");
}

TEST(Startup, RandomTableIsTheSameOnEveryRunAndBelowItsBound) {
    fill_randrat(12345);
    std::vector<float> first(randrat, randrat + randrat_size);
    const int after_first = std::rand();
    fill_randrat(999);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), randrat));
    // Later draws follow the clock.
    EXPECT_NE(std::rand(), after_first);
    const float top = *std::max_element(first.begin(), first.end());
    EXPECT_LT(top, 0.9999f);
    EXPECT_GT(top, 0.999f);
    EXPECT_GE(*std::min_element(first.begin(), first.end()), 0.0f);
}

TEST(Startup, SplashFraction) {
    int counter = 0;
    std::vector<float> shown;
    for (int call = 1; call <= 102; ++call) shown.push_back(splash_fraction(nullptr, &counter));
    EXPECT_FLOAT_EQ(shown[0], 0.02f);
    EXPECT_FLOAT_EQ(shown[50], 0.5f);
    EXPECT_FLOAT_EQ(shown[100], 1.0f);
    EXPECT_FLOAT_EQ(shown[101], 1.0f);
    EXPECT_EQ(counter, 102);
    // A given fraction is clamped and leaves the count alone.
    const float five = 5, minus = -1, nan = std::nanf("");
    EXPECT_FLOAT_EQ(splash_fraction(&five, &counter), 1.0f);
    EXPECT_FLOAT_EQ(splash_fraction(&minus, &counter), 0.02f);
    EXPECT_FLOAT_EQ(splash_fraction(&nan, &counter), 0.02f);
    EXPECT_EQ(counter, 102);
}

TEST(Startup, AngleTablesHoldEveryWholeDegree) {
    EXPECT_FLOAT_EQ(lookup_sin[90], 1.0f);
    EXPECT_FLOAT_EQ(lookup_cos[0], 1.0f);
    EXPECT_FLOAT_EQ(lookup_sin[30], 0.5f);
    EXPECT_NEAR(lookup_cos[180], -1.0f, 1e-6f);
    EXPECT_NEAR(lookup_sin[360], lookup_sin[0], 1e-6f);
    EXPECT_NEAR(lookup_cos[360], lookup_cos[0], 1e-6f);
}

TEST(Startup, TheSplashShowsOnceAWindowIsEnteredWithItsProgressAndMessage) {
    paint_recorder paint;
    mnw = mnw_defaults();
    mnw.x_res = 800;
    mnw.y_res = 600;
    plot_init_lights = 0;
    for (int i = 0; i < 3; ++i) MACIBM_show_init("too early", nullptr);
    EXPECT_TRUE(paint.calls.empty()) << "nothing before the first window";

    plot_init_lights = 1;
    float half = 0.5f;
    MACIBM_show_init("Loading", &half);
    ASSERT_FALSE(paint.calls.empty());
    EXPECT_EQ(paint.calls.front().kind, "back");
    EXPECT_EQ(paint.calls.back().kind, "swap") << "each splash frame shows at once";
    const painted* address = paint.find_text(kSplashAddress);
    ASSERT_TRUE(address);
    EXPECT_EQ(address->colour, 49);
    EXPECT_EQ(address->x, 22);
    EXPECT_EQ(address->y, 210);
    const painted* message = paint.find_text("Loading");
    ASSERT_TRUE(message);
    EXPECT_EQ(message->colour, 61);
    EXPECT_EQ(message->x, 22);
    EXPECT_EQ(message->y, 60);
    // The panel round (10, 31, 460 x 200), the empty bar across the window and half of it filled.
    std::vector<painted> q = paint.of("quads");
    ASSERT_EQ(q.size(), 3u);
    EXPECT_EQ(bounds(q[0]).l, 10 - 9.0f);
    EXPECT_EQ(bounds(q[0]).b, 31 - 14.0f);
    EXPECT_EQ(bounds(q[1]).l, 8);
    EXPECT_EQ(bounds(q[1]).r, 792);
    EXPECT_EQ(bounds(q[2]).l, 8);
    EXPECT_EQ(bounds(q[2]).r, 400);

    // Without a fraction the frames count: the calls before the first window did not.
    paint.clear();
    MACIBM_show_init("Counting", nullptr);
    EXPECT_EQ(bounds(paint.of("quads")[2]).r - 8, 16) << "0.02 of the bar";

    // In a sub-window the splash stays where it was on the window.
    paint.clear();
    mnw.subwin_x = 100;
    mnw.subwin_y = 50;
    MACIBM_show_init("Moved", &half);
    EXPECT_EQ(paint.find_text("Moved")->x, 22 - 100);
    EXPECT_EQ(paint.find_text("Moved")->y, 60 - 50);
    const std::vector<painted> moved = paint.of("quads");
    EXPECT_EQ(bounds(moved[0]).b, 31 - 14) << "the frames carry the sub-window origin themselves";
    EXPECT_EQ(bounds(moved[1]).l, 8);
    EXPECT_EQ(bounds(moved[2]).l, 8);
    EXPECT_EQ(bounds(moved[2]).r, 400);
}

// The lower layers call up to the shell through hooks that start-up installs.
TEST(Startup, TheShellTakesTheHooksOfTheLayersBelow) {
    child_result r = run_in_child([] {
        MACIBM_install_hooks();
        bool ok = set_alert_hook(nullptr) == shell_alert && set_finishup_hook(nullptr) == shell_finishup &&
                  set_url_hook(nullptr) == shell_go_to_url && set_find_path_hook(nullptr) == findPath &&
                  set_tman_progress_hook(nullptr) == MACIBM_show_init &&
                  xtim_set_mouse_down_hook(nullptr) == BTN_unfocus_any;
        const widget_shell_hooks w = set_widget_shell_hooks({});
        ok = ok && w.startwind == MACIBM_startwind && w.event_proc == MACIBM_event_proc &&
             w.choose_path == static_cast<decltype(w.choose_path)>(GetFilePathFromUser);
        const sim_ui_hooks ui = set_sim_ui_hooks({});
        ok = ok && ui.startwind == MACIBM_startwind && ui.fillwin == BTN_fillwin && ui.action == BTN_action;
        std::printf("%s", ok ? "installed" : "missing");
    });
    EXPECT_EQ(r.exit_code, child_returned);
    EXPECT_EQ(r.out, "installed");
}

}  // namespace

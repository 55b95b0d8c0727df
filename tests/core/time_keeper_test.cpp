#include "core/time_keeper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/window_state.h"
#include "graphics/palette.h"

namespace {
uint64_t fake_us = 0;
uint64_t fake_clock() { return fake_us; }
int mouse_down_calls = 0;
void count_mouse_down() { ++mouse_down_calls; }

class Xtim : public ::testing::Test {
protected:
    void SetUp() override {
        fake_us = 0;
        xtim_set_clock(&fake_clock);
        mnw = mnw_defaults();
        colr = colr_class();
        mouse_down_calls = 0;
        saved_mouse_down_ = xtim_set_mouse_down_hook(count_mouse_down);
        saved_pulse_ = xtim_set_pulse_hook(colr_pulse);
    }
    void TearDown() override {
        xtim_set_clock(nullptr);
        xtim_set_mouse_down_hook(saved_mouse_down_);
        xtim_set_pulse_hook(saved_pulse_);
    }

    // One frame at t seconds, with the mouse events of that frame.
    void frame(double t, int down = 0, int up = 0) {
        fake_us = static_cast<uint64_t>(std::llround(t * 1e6));
        mnw.mouse_down = down;
        mnw.mouse_up = up;
        xt.xtim_update();
    }
    // n frames period seconds apart, after the last frame.
    void run(int n, double period) {
        double t = fake_us / 1e6;
        for (int i = 1; i <= n; ++i) frame(t + i * period);
    }

    xtim_class xt;
    xtim_mouse_down_fn saved_mouse_down_ = nullptr;
    xtim_pulse_fn saved_pulse_ = nullptr;
};
}  // namespace

TEST_F(Xtim, FirstUpdateMeasuresAtOnce) {
    fake_us = 5000000;
    xt.xtim_update();
    EXPECT_EQ(xt.real_time, 0.0f);
    // r clamps to 0.5 on the first measurement.
    EXPECT_NEAR(xt.frame_period, 0.02 * std::pow(0.5, 0.25), 1e-6);
}

TEST_F(Xtim, FramePeriodConvergesAndClamps) {
    frame(0);
    run(3000, 1.0 / 60);
    EXPECT_NEAR(xt.frame_period, 1.0 / 60, 1e-4);

    xtim_class slow;
    xt = slow;
    run(3000, 0.1);
    EXPECT_EQ(xt.frame_period, 0.05263158f);

    xtim_class fast;
    xt = fast;
    run(3000, 0.0005);
    EXPECT_EQ(xt.frame_period, 0.0010001f);
}

TEST_F(Xtim, FramePeriodFollowsSlowly) {
    frame(0);
    run(3000, 1.0 / 60);
    float before = xt.frame_period;
    // A sudden 10 fps: one measurement moves the estimate by at most 1.5^0.25.
    run(10, 0.1);
    EXPECT_LE(xt.frame_period, before * std::pow(1.5f, 0.25f) * 1.0001f);
    EXPECT_GT(xt.frame_period, before);
}

TEST_F(Xtim, ModalWindowsFreezeThePeriod) {
    frame(0);
    run(3000, 1.0 / 60);
    float steady = xt.frame_period;
    for (int w : {994, 996, 999}) {
        mnw.curwin = w;
        run(100, 0.5);
        EXPECT_EQ(xt.frame_period, steady) << w;
    }
    // Back on the main screen the interval restarts from the stamp the modal frames left,
    // so their long frames do not raise the estimate.
    mnw.curwin = 0;
    run(10, 1.0 / 60);
    EXPECT_LT(xt.frame_period, steady * 1.01f);
}

TEST_F(Xtim, SubWindowsKeepTheirOwnTrack) {
    frame(0);
    run(3000, 1.0 / 60);
    float main_period = xt.frame_period;
    mnw.curwin = 993;
    run(3000, 0.1);
    EXPECT_EQ(xt.frame_period, 0.05263158f);
    // The main track kept its estimate meanwhile.
    mnw.curwin = 0;
    run(1, 1.0 / 60);
    EXPECT_NEAR(xt.frame_period, main_period, 1e-4);
    // A second monitor counts as the main screen.
    mnw.curwin = 993;
    mnw.sec_mon_inuse = 1;
    run(1, 1.0 / 60);
    EXPECT_NEAR(xt.frame_period, main_period, 1e-4);
}

TEST_F(Xtim, RealTicksDriftWithLongFrames) {
    const int one_second = 3;
    std::string fired;
    for (int i = 0; i <= 12; ++i) {
        frame(0.3 * i);
        if (xt.real_tick[one_second]) fired += std::to_string(i) + " ";
    }
    // 1.2 s, then more than 1 s after each firing: 2.4 s and 3.6 s (not 2.1 and 3.0).
    EXPECT_EQ(fired, "4 8 12 ");
}

TEST_F(Xtim, SimTicksFollowSimTime) {
    frame(0);
    run(50, 0.1);
    for (int i = 0; i < xtim_ticks; ++i) EXPECT_EQ(xt.sim_tick[i], 0) << i;
    xt.sim_time = 100;
    run(1, 0.1);
    for (int i = 0; i < xtim_ticks; ++i) EXPECT_EQ(xt.sim_tick[i], 1) << i;
    // Backwards by 3 s fires the intervals below 3 s only.
    xt.sim_time = 97;
    run(1, 0.1);
    EXPECT_EQ(xt.sim_tick[0], 0);
    EXPECT_EQ(xt.sim_tick[1], 0);
    for (int i = 2; i < xtim_ticks; ++i) EXPECT_EQ(xt.sim_tick[i], 1) << i;
}

TEST_F(Xtim, DoublePressNeedsUnderAQuarterSecond) {
    frame(0);
    frame(10.0, 1);
    EXPECT_EQ(mnw.mouse_dbl, 0);
    EXPECT_EQ(mnw.mouse_held, 1);
    EXPECT_EQ(mnw.mouse_down_time, 10.0f);
    frame(10.1, 0, 1);
    frame(10.2, 1);
    EXPECT_EQ(mnw.mouse_dbl, 1);
    frame(10.3);
    EXPECT_EQ(mnw.mouse_dbl, 0);
    EXPECT_EQ(mouse_down_calls, 2);

    frame(20.0, 1);
    frame(20.1, 0, 1);
    frame(20.3, 1);
    EXPECT_EQ(mnw.mouse_dbl, 0);
}

TEST_F(Xtim, QuickReleaseIsAClick) {
    frame(0);
    frame(10.0, 1);
    frame(10.1, 0, 1);
    EXPECT_EQ(mnw.mouse_click, 1);
    EXPECT_EQ(mnw.mouse_held, 0);
    frame(10.15);
    EXPECT_EQ(mnw.mouse_click, 0);

    frame(20.0, 1);
    frame(20.3, 0, 1);
    EXPECT_EQ(mnw.mouse_click, 0);
}

TEST_F(Xtim, HeldButtonRepeatsAfterAQuarterSecond) {
    frame(0);
    frame(10.0, 1);
    frame(10.2);
    EXPECT_EQ(mnw.mouse_repeat, 0);
    frame(10.25);
    EXPECT_EQ(mnw.mouse_repeat, 0);  // strictly after
    frame(10.26);
    EXPECT_EQ(mnw.mouse_repeat, 1);
    frame(11.0);
    EXPECT_EQ(mnw.mouse_repeat, 1);
    frame(11.1, 0, 1);
    EXPECT_EQ(mnw.mouse_repeat, 0);
    EXPECT_EQ(mnw.mouse_held, 0);
    frame(11.2);
    EXPECT_EQ(mnw.mouse_repeat, 0);
}

TEST_F(Xtim, MouseMovesOverHalfAUnit) {
    mnw.mouse_move_time = -1;
    mnw.mouse_x = 999.2f;
    mnw.mouse_y = 998.6f;
    frame(0);
    EXPECT_EQ(mnw.mouse_move_time, -1.0f);  // within 0.5 of the start position: no move
    frame(2.0);
    mnw.mouse_x = 999.6f;  // 0.4 from the last position
    frame(3.0);
    EXPECT_EQ(mnw.mouse_move_time, -1.0f);
    mnw.mouse_y = 997.9f;
    frame(4.0);
    EXPECT_EQ(mnw.mouse_move_time, 4.0f);
    frame(5.0, 1);  // a press counts as a move
    EXPECT_EQ(mnw.mouse_move_time, 5.0f);
}

TEST_F(Xtim, FirstUpdateIsAMoveAwayFromTheStartPosition) {
    mnw.mouse_move_time = -1;
    frame(0);
    EXPECT_EQ(mnw.mouse_move_time, 0.0f);
}

TEST_F(Xtim, ColoursPulse) {
    const float tint[3] = {colr.rgb[105][0], colr.rgb[105][1], colr.rgb[105][2]};
    const float slot78[3] = {colr.rgb[78][0], colr.rgb[78][1], colr.rgb[78][2]};
    frame(0);
    frame(std::acos(-1.0) / 40);  // 20 t = pi / 2
    float v = 0.7f + 0.3f * std::sin(20.0f * xt.real_time);
    EXPECT_NEAR(v, 1.0f, 1e-5);
    const float want[6][3] = {{v, v, v},
                              {v, 0.5f * v, 0},
                              {v, 0.3f * v, 0.3f * v},
                              {0.3f * v, 0.3f * v, v},
                              {0.2f * v, 0.8f * v, 0.2f * v},
                              {0.7f * v, 0.7f * v, 0.2f * v}};
    for (int s = 0; s < 6; ++s)
        for (int c = 0; c < 3; ++c) EXPECT_FLOAT_EQ(colr.rgb[79 + s][c], want[s][c]) << 79 + s;
    EXPECT_FLOAT_EQ(colr.pulse, v);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(colr.rgb[105][c], tint[c]);
        EXPECT_EQ(colr.rgb[78][c], slot78[c]);
    }
    frame(3 * std::acos(-1.0) / 40);
    EXPECT_NEAR(colr.pulse, 0.4f, 1e-5);
}

TEST(XtimClock, MicrosecsStartsAtZeroAndDelTimeWraps) {
    xtim_set_clock(nullptr);
    uint64_t a = xtim_class::microsecs();
    uint64_t b = xtim_class::microsecs();
    EXPECT_LT(a, 60u * 1000000u);  // counted from the first call, not from boot
    EXPECT_GE(b, a);

    fake_us = 7000000000ull;
    xtim_set_clock(&fake_clock);
    unsigned long long stamp = fake_us - 5000000000ull;
    EXPECT_EQ(xtim_class::del_time(&stamp), static_cast<uint32_t>(5000000000ull % 4294967296ull));
    EXPECT_EQ(stamp, fake_us);

    // The shared stamp.
    xtim_class::del_time(nullptr);
    fake_us += 1234;
    EXPECT_EQ(xtim_class::del_time(nullptr), 1234u);
    xtim_set_clock(nullptr);
}

TEST(XtimCalendar, MonthDayAndTimeOfDay) {
    xtim_class xt;
    struct {
        float doy;
        int month, day;
    } cases[] = {{0, 0, 1},     {30.5f, 0, 31}, {31, 1, 1},    {58, 1, 28},
                 {59, 2, 1},    {90, 3, 1},     {364, 11, 31},  // the last day of the year
                 {365, 11, 31}, {1000, 11, 31},                 // past the end: stays in December
                 {-5, 0, 1},    {NAN, 0, 1}};
    for (auto& c : cases) {
        xt.day_of_year = c.doy;
        int m = -1, d = -1;
        xt.current_month_day(&m, &d);
        EXPECT_EQ(m, c.month) << c.doy;
        EXPECT_EQ(d, c.day) << c.doy;
    }

    float h, m, s;
    xt.xtim_hrs_min_sec(3725, &h, &m, &s);
    EXPECT_EQ(h, 1);
    EXPECT_EQ(m, 2);
    EXPECT_EQ(s, 5);
    xt.xtim_hrs_min_sec(3599.9f, &h, &m, &s);
    EXPECT_EQ(h, 0);
    EXPECT_EQ(m, 59);
    EXPECT_EQ(s, 59);
}

TEST_F(Xtim, ProfileMarksMakeOneLinePerFrame) {
    std::string path = ::testing::TempDir() + "xtim_profile_log.txt";
    ASSERT_TRUE(xer.open(path));
    xer.setf(std::ios::fixed, std::ios::floatfield);

    fake_us = 1000;
    xt.profile_chart("off", 1);  // profiling is off: nothing
    mnw.profile = 1;
    xtim_class::del_time(nullptr);
    fake_us = 2000;
    xt.profile_chart("a", 0);
    fake_us = 4000;
    xt.profile_chart("b", 1);
    fake_us = 254000;
    xt.profile_chart("c", 1);
    mnw.profile = 0;
    xer << "after\n";
    xer.close();

    EXPECT_EQ(read_file(path),
              "a=   100 | b=   200 |    total: 0.000 sec for topwi=0\n"
              "c= 25000 |    total: 0.250 sec for topwi=0\n"
              "after\n");
    // The log's own precision is left as it was.
    EXPECT_EQ(xer.precision(), 6);
    std::remove(path.c_str());
}

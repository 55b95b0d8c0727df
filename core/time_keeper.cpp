// Time keeping: real time, frame period, periodic flags (core runtime layer).
#include "core/time_keeper.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <sstream>

#include "core/globals.h"
#include "core/window_state.h"
#include "platform/plat_time.h"

xtim_class xtim;

namespace {
std::atomic<xtim_clock_fn> clock_override{nullptr};
void no_pulse(float) {}
void no_mouse_down() {}
std::atomic<xtim_pulse_fn> pulse_hook{no_pulse};
std::atomic<xtim_mouse_down_fn> mouse_down_hook{no_mouse_down};
// The shared stamp of del_time(nullptr).
std::atomic<uint64_t> del_time_stamp{0};

constexpr int days_in_month[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
constexpr float min_period = 0.0010001f;
constexpr float max_period = 0.05263158f;  // 1/19 s
constexpr float mouse_quick = 0.25f;       // seconds for a double press, a click, auto-repeat
}  // namespace

void xtim_set_clock(xtim_clock_fn fn) { clock_override.store(fn); }
xtim_pulse_fn xtim_set_pulse_hook(xtim_pulse_fn fn) { return pulse_hook.exchange(fn ? fn : no_pulse); }
xtim_mouse_down_fn xtim_set_mouse_down_hook(xtim_mouse_down_fn fn) {
    return mouse_down_hook.exchange(fn ? fn : no_mouse_down);
}

uint64_t xtim_class::microsecs() {
    if (xtim_clock_fn fake = clock_override.load()) return fake();
    static const uint64_t init_call = plat::microseconds();
    return plat::microseconds() - init_call;
}

uint32_t xtim_class::del_time(unsigned long long* stamp) {
    uint64_t now = microsecs();
    uint64_t then = stamp ? *stamp : del_time_stamp.exchange(now);
    if (stamp) *stamp = now;
    return static_cast<uint32_t>(now - then);
}

void xtim_class::step_track(track& t) {
    if (t.cntr == 0) {
        // Mean period of the last ten frames relative to the estimate; follow it slowly.
        float r = ((real_time - t.last_time) * 0.1f) / t.period;
        r = std::clamp(r, 0.5f, 1.5f);
        t.period = std::clamp(std::pow(r, 0.25f) * t.period, min_period, max_period);
        t.last_time = real_time;
    }
    t.cntr = (t.cntr + 1) % 10;
    frame_period = t.period;
}

void xtim_class::xtim_update() {
    // Clock.
    if (!started_) {
        start_time_ = static_cast<float>(static_cast<double>(microsecs()) / 1000000.0);
        started_ = true;
    }
    real_time = static_cast<float>(static_cast<double>(microsecs()) / 1000000.0 - start_time_);

    // Frame period. Modal windows (alerts, questions) stand still for seconds: they freeze it.
    int w = mnw.curwin;
    if (w == 0 || mnw.sec_mon_inuse) {
        step_track(main_track_);
        sub_track_.last_time = real_time;
    } else if (w >= 994 && w <= 999) {
        main_track_.last_time = real_time;
        sub_track_.last_time = real_time;
    } else {
        main_track_.last_time = real_time;
        step_track(sub_track_);
    }

    // Ticks fire when their interval has passed since they last fired, so they drift with
    // long frames.
    for (int i = 0; i < xtim_ticks; ++i) {
        sim_tick[i] = std::fabs(sim_time - sim_ot_[i]) > xtim_tick_interval[i];
        if (sim_tick[i]) sim_ot_[i] = sim_time;
        real_tick[i] = std::fabs(real_time - act_ot_[i]) > xtim_tick_interval[i];
        if (real_tick[i]) act_ot_[i] = real_time;
    }

    // Mouse button; mouse_down_time is still the previous press here.
    float t = real_time;
    mnw.mouse_repeat = mnw.mouse_held && t > mnw.mouse_down_time + mouse_quick;
    mnw.mouse_dbl = mnw.mouse_down && t < mnw.mouse_down_time + mouse_quick;
    mnw.mouse_click = mnw.mouse_up && t < mnw.mouse_down_time + mouse_quick;
    if (mnw.mouse_down) {
        mnw.mouse_held = 1;
        mnw.mouse_move_time = t;
        mnw.mouse_down_time = t;
        mouse_down_hook.load()();
    }
    if (mnw.mouse_up) {
        mnw.mouse_repeat = 0;
        mnw.mouse_held = 0;
    }

    // Mouse movement.
    if (std::fabs(mx_ - mnw.mouse_x) > 0.5f || std::fabs(my_ - mnw.mouse_y) > 0.5f) mnw.mouse_move_time = t;
    mx_ = mnw.mouse_x;
    my_ = mnw.mouse_y;

    // Pulsing colours.
    pulse_hook.load()(0.7f + 0.3f * std::sin(20.0f * real_time));
}

void xtim_class::profile_chart(std::string label, int end_of_frame) {
    if (!mnw.profile) return;
    // The line is formatted here so the log's shared format state is left alone.
    std::ostringstream line;
    line.flags(xer.flags());
    line.width(1);
    line << label << "=";
    line.width(6);
    line.precision(0);
    line << del_time(nullptr) * 0.1 << " | ";
    if (end_of_frame) {
        float now = static_cast<float>(static_cast<double>(microsecs()) / 1000000.0);
        if (!have_frame_mark_) {
            last_frame_mark_ = now;
            have_frame_mark_ = true;
        }
        line << "   total: ";
        line.width(5);
        line.precision(3);
        line << now - last_frame_mark_ << " sec for topwi=" << std::dec << mnw.curwin << "\n";
        last_frame_mark_ = now;
    }
    xer << line.str();
}

void xtim_class::current_month_day(int* month, int* day) {
    int m = 0;
    float before = 0;
    if (day_of_year >= 31) {
        // Walk the months; a day past the year's end stays in December.
        float total = 31;
        while (m < 11) {
            before = total;
            ++m;
            total += days_in_month[m];
            if (total > day_of_year) break;
        }
    }
    float d = day_of_year - before + 1;
    if (!(d >= 1)) d = 1;  // negative or not a number
    if (d > days_in_month[m]) d = static_cast<float>(days_in_month[m]);
    *month = m;
    *day = static_cast<int>(d);
}

void xtim_class::xtim_hrs_min_sec(float seconds, float* hours, float* minutes, float* secs) {
    float h = std::trunc(seconds / 3600);
    float m = std::trunc(seconds / 60) - std::trunc(h * 60);
    *hours = h;
    *minutes = m;
    *secs = std::trunc(seconds) - std::trunc(h * 3600) - std::trunc(m * 60);
}

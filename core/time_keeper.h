// Core runtime layer (core/).
// Time keeping: real time, the damped frame period, the every-N-seconds flags and the
// mouse button's timing. Advanced once per frame on the main thread.
#pragma once

#include <cstdint>
#include <string>

// Tests run time keeping on a fake clock: it returns microseconds since program start.
using xtim_clock_fn = uint64_t (*)();
// Replaces the clock behind microsecs(); null restores the platform clock.
void xtim_set_clock(xtim_clock_fn fn);

// What xtim_update calls up to, installed by the layers above at start-up; each setter returns
// the hook it replaced, null installs the default (nothing).
// Each frame with the pulse value 0.7 + 0.3 sin(20 t): the palette's pulsing slots.
using xtim_pulse_fn = void (*)(float value);
xtim_pulse_fn xtim_set_pulse_hook(xtim_pulse_fn fn);
// On a mouse press: the widgets drop the keyboard focus.
using xtim_mouse_down_fn = void (*)();
xtim_mouse_down_fn xtim_set_mouse_down_hook(xtim_mouse_down_fn fn);

inline constexpr int xtim_ticks = 9;
// Tick intervals in seconds, in the order of sim_tick and real_tick.
inline constexpr float xtim_tick_interval[xtim_ticks] = {10, 5, 2, 1, 0.5f, 0.2f, 0.1f, 0.05f, 0.025f};

class xtim_class {
public:
    constexpr xtim_class() = default;

    // Once per frame, main thread.
    void xtim_update();
    // Microseconds since the first call anywhere in the program.
    static uint64_t microsecs();
    // Microseconds since *stamp (since the shared stamp when null), modulo 2^32; the stamp
    // becomes now.
    static uint32_t del_time(unsigned long long* stamp);
    // One profile mark in the log, only while mnw.profile is set.
    void profile_chart(std::string label, int end_of_frame);
    // Splits day_of_year: month 0 = January, day from 1.
    void current_month_day(int* month, int* day);
    void xtim_hrs_min_sec(float seconds, float* hours, float* minutes, float* secs);

    int first_frame = 1;
    float frame_period = 0.02f;
    int frame_count = 0;
    float real_time = 0;  // seconds since the first update
    float sim_time = 0;   // never advanced in this program
    float day_of_year = 90.0f;
    int sim_tick[xtim_ticks] = {};
    int real_tick[xtim_ticks] = {};

private:
    struct track {
        int cntr = 0;  // frames into the ten-frame measuring interval
        float last_time = 0;
        float period = 0.02f;
    };
    void step_track(track& t);

    bool started_ = false;
    float start_time_ = 0;
    track main_track_;  // main screen (and second monitor)
    track sub_track_;   // other sub-windows
    float sim_ot_[xtim_ticks] = {};
    float act_ot_[xtim_ticks] = {};
    float mx_ = 999.0f, my_ = 999.0f;
    bool have_frame_mark_ = false;
    float last_frame_mark_ = 0;
};

extern xtim_class xtim;

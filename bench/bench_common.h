// What the benchmarks share: running a reference tool quietly, installing a disc set headless,
// the frame pacing of the wizard and the hand-over to the driver that compares fairly.
#pragma once

#include <chrono>
#include <string>
#include <vector>

// Runs argv (searched on PATH) with its standard output dropped; its exit status, 127 when it
// could not be started, 128 when it did not exit.
int run_quiet(const std::vector<std::string>& argv);

// Installs every history of sim_info marked need_install from the disc set below discs
// ("disk_N/" folders), switching discs at once whenever the pipeline asks. Back to back, with a
// short pause between steps (as the wizard's frame makes them); paced, one call of the wizard's
// install_files_for_a_frame per frame (a callback given here, so the headless tools need no
// wizard). Empty, or the failed task's message.
std::string install_from_discs(const std::string& discs, int (*frame_step)(int& cursor, int disk) = nullptr);

// A frame at 60 frames a second: the time the wizard draws and waits for the screen's refresh.
// end_frame sleeps until the next refresh, at least min_draw after the engine's share.
class frame_clock {
public:
    explicit frame_clock(double min_draw_ms = 2.0);
    void end_frame();
    int frames() const { return frames_; }

private:
    std::chrono::steady_clock::time_point start_;
    std::chrono::duration<double> min_draw_;
    int frames_ = 0;
};

// A benchmark started without "--run" hands itself to bench/speed_bench.py, which builds the
// data, runs both sides as fresh processes in interleaved rounds, checks and prints the ratios.
int run_driver(const char* which, const char* self);

// Waits on what happens outside the test's own thread (a child, a server, a pool): the bound is
// wall-clock time far beyond any run on a loaded machine, so it ends only a hang. Header-only and
// free of the other helpers, so that a benchmark can use it beside the test server.
#pragma once

#include <unistd.h>

#include <chrono>

constexpr double hang_seconds = 120;

// Calls done every pause_us microseconds until it returns true or seconds have passed; its last
// answer.
template <class Done>
bool eventually(Done done, double seconds = hang_seconds, useconds_t pause_us = 1000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        usleep(pause_us);
    }
    return true;
}

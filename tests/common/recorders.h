// What the tests put in the hooks of the layers above the one under test (core/alert.h). Every
// test program starts with them installed (test_main.cpp): an alert is recorded and printed
// to stderr as "ALERT type N: line1 | line2 | line3 | line4 (file line L)"; a fatal one then
// ends the process with status 1, so tests catch it with EXPECT_EXIT. Shut-downs are counted
// and web addresses recorded. Safe from any thread.
#pragma once

#include <string>
#include <vector>

struct recorded_alert {
    int return_window;
    std::string line1, line2, line3, line4;
    int type;
    std::string file;
    int line;
};

std::vector<recorded_alert> recorded_alerts();
int recorded_finishups();
std::vector<std::string> recorded_urls();
// Forgets the alerts, the shut-downs and the addresses recorded so far.
void reset_recorders();

// Installs the three recorders through the alert, shut-down and browser hooks.
void install_recorders();

// Test double of the alert and shut-down: records every call; a fatal alert prints its
// lines to stderr and ends the process with status 1, so tests catch it with EXPECT_EXIT.
// Off the main thread (thread layer inited) it hands the record to the thread layer instead.
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

std::vector<recorded_alert> alert_double_records();
void alert_double_reset();
int alert_double_finishup_calls();

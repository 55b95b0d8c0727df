#include "doubles/alert_double.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "core/exce.h"
#include "core/thread_layer.h"
#include "shell/alert.h"

namespace {
std::mutex& mu() {
    static std::mutex* m = new std::mutex;
    return *m;
}
std::vector<recorded_alert>& records() {
    static auto* r = new std::vector<recorded_alert>;
    return *r;
}
int finishup_calls = 0;
}  // namespace

std::vector<recorded_alert> alert_double_records() {
    std::lock_guard<std::mutex> g(mu());
    return records();
}

void alert_double_reset() {
    std::lock_guard<std::mutex> g(mu());
    records().clear();
    finishup_calls = 0;
}

int alert_double_finishup_calls() {
    std::lock_guard<std::mutex> g(mu());
    return finishup_calls;
}

void __MACIBM_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* file, int line) {
    // As the real alert: off the main thread the record goes to the main thread; a fatal one
    // ends the calling thread there.
    if (THREAD_is_inited() && !THREAD_is_main_thread()) {
        THREAD_send_exception(exce_class(line1, line2, line3, line4, file, line, type));
        return;
    }
    {
        std::lock_guard<std::mutex> g(mu());
        records().push_back({return_window, line1, line2, line3, line4, type, file ? file : "", line});
    }
    std::fprintf(stderr, "ALERT type %d: %s | %s | %s | %s (%s line %d)\n", type, line1.c_str(),
                 line2.c_str(), line3.c_str(), line4.c_str(), file ? file : "", line);
    if (type == t_exit) {
        std::fflush(stderr);
        _exit(1);
    }
}

void MACIBM_finishup(int) {
    std::lock_guard<std::mutex> g(mu());
    ++finishup_calls;
}

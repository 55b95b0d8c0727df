#include "common/recorders.h"

#include <unistd.h>

#include <cstdio>
#include <mutex>

#include "core/alert.h"

namespace {
// Never destroyed: a thread still running at exit may raise an alert.
std::mutex& mu() {
    static std::mutex* m = new std::mutex;
    return *m;
}
std::vector<recorded_alert>& alerts() {
    static auto* r = new std::vector<recorded_alert>;
    return *r;
}
std::vector<std::string>& urls() {
    static auto* u = new std::vector<std::string>;
    return *u;
}
int finishups = 0;

void record_alert(int return_window, const std::string& l1, const std::string& l2, const std::string& l3,
                  const std::string& l4, int type, const char* file, int line) {
    {
        std::lock_guard<std::mutex> g(mu());
        alerts().push_back({return_window, l1, l2, l3, l4, type, file ? file : "", line});
    }
    std::fprintf(stderr, "ALERT type %d: %s | %s | %s | %s (%s line %d)\n", type, l1.c_str(), l2.c_str(),
                 l3.c_str(), l4.c_str(), file ? file : "", line);
    if (type == t_exit) {
        std::fflush(stderr);
        _exit(1);
    }
}

void record_finishup(int) {
    std::lock_guard<std::mutex> g(mu());
    ++finishups;
}

void record_url(const std::string& url) {
    std::lock_guard<std::mutex> g(mu());
    urls().push_back(url);
}
}  // namespace

std::vector<recorded_alert> recorded_alerts() {
    std::lock_guard<std::mutex> g(mu());
    return alerts();
}

int recorded_finishups() {
    std::lock_guard<std::mutex> g(mu());
    return finishups;
}

std::vector<std::string> recorded_urls() {
    std::lock_guard<std::mutex> g(mu());
    return urls();
}

void reset_recorders() {
    std::lock_guard<std::mutex> g(mu());
    alerts().clear();
    urls().clear();
    finishups = 0;
}

void install_recorders() {
    set_alert_hook(record_alert);
    set_finishup_hook(record_finishup);
    set_url_hook(record_url);
}

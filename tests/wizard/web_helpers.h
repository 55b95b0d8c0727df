// The web variants' tests: a release published on the loopback test server (the server list on
// the list host, the zipped manifest and one zip per file on each mirror), and frames of the
// wizard run until a screen is reached.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "common/test_helpers.h"
#include "net/test_http_server.h"
#include "wizard/wizard_frame.h"

struct web_file {
    std::string path;     // manifest path, platform folder first ("All/Resources/a.txt")
    std::string content;  // what the release holds
    bool gone = false;    // the release removed it: a "GONE" line and no archive
    // Earlier contents, written as older versions of the history.
    std::vector<std::string> earlier = {};
    // The archive size the manifest gives, when not the served zip's: global scenery's is that of
    // the disc's .7z.
    int64_t archive_bytes = -1;
};

// The server for a test suite: started once, the HTTP client pointed at it through the proxy.
class web_server {
public:
    web_server();
    test_http_server& http_server() { return *server_; }
    // The list on the list host naming mirrors (each "/rel/" with the release), FINAL release.
    void server_list(const std::string& release, const std::vector<std::string>& mirrors,
                     const std::string& extra_lines = "");
    // The release's manifest and archives on every mirror; returns the manifest text.
    std::string publish(const std::string& release, const std::vector<web_file>& files,
                        const std::vector<std::string>& mirrors);
    // Fault switches of the test server: {"host": {...}, ...}.
    void faults(const std::string& json) { server_->set_faults(json); }
    // The request lines received (first line of each request head), in order.
    std::vector<std::string> request_lines() const;

private:
    std::unique_ptr<test_http_server> server_;
};

// The MD5 of a text as the manifest writes it.
std::string md5_text(const std::string& data);

// The clock of one test frame or step: 10 ms on, so that a pause between tries passes in a few
// frames; but while a transfer is under way no faster than real time, so that the stall limit
// never ends a transfer that a loaded machine's server is slow to serve.
void step_clock();
// One frame of the wizard on that clock.
void web_frame();

// Calls step until done holds: at most limit times when limit is given, else until the wall-clock
// bound that only a hang reaches. True when done holds.
template <class Step, class Done>
bool steps_while_not(Step step, Done done, int limit = 0) {
    if (limit > 0) {
        for (int i = 0; i < limit && !done(); ++i) step();
        return done();
    }
    return eventually(
        [&] {
            if (done()) return true;
            step();
            return false;
        },
        hang_seconds, 200);
}
// Frames of the wizard while pred is false.
template <class Pred>
bool frames_while_not(Pred pred, int limit = 0) {
    return steps_while_not(web_frame, pred, limit);
}
// Frames until g_wizard is target.
inline bool frames_until(screen_fn target, int limit = 0) {
    return frames_while_not([&] { return g_wizard == target; }, limit);
}

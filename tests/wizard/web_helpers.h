// The web variants' tests: a release published on the loopback test server (the server list on
// the list host, the zipped manifest and one zip per file on each mirror), and frames of the
// wizard run until a screen is reached.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "net/test_http_server.h"
#include "wizard/wizard_frame.h"

struct web_file {
    std::string path;     // manifest path, platform folder first ("All/Resources/a.txt")
    std::string content;  // what the release holds
    bool gone = false;    // the release removed it: a "GONE" line and no archive
    // Earlier contents, written as older versions of the history.
    std::vector<std::string> earlier = {};
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

// Frames of the wizard (the clock advanced 10 ms each) until g_wizard is target or limit frames
// have passed; true when it was reached.
bool frames_until(screen_fn target, int limit = 20000);
// Frames while pred is false, at most limit.
template <class Pred>
bool frames_while_not(Pred pred, int limit = 20000);
void web_frame();

template <class Pred>
bool frames_while_not(Pred pred, int limit) {
    for (int i = 0; i < limit; ++i) {
        if (pred()) return true;
        web_frame();
    }
    return pred();
}

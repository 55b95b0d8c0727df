// Starts tools/test_http_server.py on 127.0.0.1 for a test: a proxy that serves made-up host
// names from a folder per host, with fault switches. Header-only, so tests of any folder can
// include it as "net/test_http_server.h".
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "../common/eventually.h"
#include "net/http_client.h"
#include "net/tcp_socket.h"

// Text as a JSON string literal; bytes above 127 pass as \u00XX, which the server reads as latin-1.
inline std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        char tmp[8];
        std::snprintf(tmp, sizeof tmp,
                      c == '"' || c == '\\'   ? "\\%c"
                      : c < 0x20 || c >= 0x7f ? "\\u%04x"
                                              : "%c",
                      c);
        out += tmp;
    }
    return out + "\"";
}

// A pause of a script that lasts until the test releases it (the fault's "released" count).
constexpr double until_released = -1;

// A script fault: the chunks written in order, each followed by its pause in seconds (or
// until_released), then `end` (close, half or hold). released: how many such pauses are over.
inline std::string script_fault(const std::vector<std::pair<std::string, double>>& chunks,
                                const std::string& end = "close", int released = 0) {
    std::string s = "{\"mode\": \"script\", \"end\": " + json_string(end) +
                    ", \"released\": " + std::to_string(released) + ", \"script\": [";
    for (size_t i = 0; i < chunks.size(); ++i)
        s += (i ? ", [" : "[") + json_string(chunks[i].first) + ", " +
             (chunks[i].second == until_released ? std::string("\"release\"") : std::to_string(chunks[i].second)) +
             "]";
    return s + "]}";
}

// A port of 127.0.0.1 on which nothing listens.
inline unsigned short closed_port() {
    PCSBSocket probe(0, false);
    PCSBSocket::ConnectionData cd{};
    probe.GetAddresses(&cd);
    return ntohs(cd.local_port);
}

class test_http_server {
public:
    // Stops itself after `lifetime` seconds at the latest; port 0 picks a free one.
    explicit test_http_server(double lifetime = 120.0, int port = 0) {
        std::string tmpl = std::filesystem::temp_directory_path().string() + "/volatra_http_XXXXXX";
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
        folder_ = tmpl + "/";
        std::filesystem::create_directories(folder_ + "requests");
        int out[2], in[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        // tools/ lies two folders above this header.
        const std::string script =
            std::filesystem::path(__FILE__).parent_path().string() + "/../../tools/test_http_server.py";
        const std::string life = std::to_string(lifetime), port_text = std::to_string(port);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(in[0], 0);
            execlp("python3", "python3", script.c_str(), "--root", root().c_str(), "--requests",
                   (folder_ + "requests/").c_str(), "--lifetime", life.c_str(), "--port", port_text.c_str(),
                   "--watch-stdin", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        stdin_fd_ = in[1];
        std::string line;
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&p, 1, static_cast<int>(hang_seconds * 1000)) > 0 && read(out[0], &c, 1) == 1)
            line += c;
        close(out[0]);
        if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("test HTTP server did not start: " + line);
        port_ = static_cast<unsigned short>(std::stoi(line.substr(5)));
    }
    ~test_http_server() {
        close(stdin_fd_);
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    test_http_server(const test_http_server&) = delete;
    test_http_server& operator=(const test_http_server&) = delete;

    unsigned short port() const { return port_; }
    std::string root() const { return folder_ + "root/"; }
    // Written beside and renamed into place: the server, which may be reading the file at that
    // moment (faults.json for every request and every held answer), sees it whole or not at all.
    void put_file(const std::string& host, const std::string& path, const std::string& data) {
        const std::string file = root() + host + path, part = folder_ + "part";
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        std::ofstream(part, std::ios::binary) << data;
        std::filesystem::rename(part, file);
    }
    // faults: the JSON object of tools/test_http_server.py, e.g. {"h.invalid": {"mode": "stall"}}.
    void set_faults(const std::string& json) { put_file("", "faults.json", json); }
    // A fresh start for the next test: no faults, no requests, and every counter of the server
    // (the uses of "count" faults, the peak) from zero again by the next request.
    void clear() {
        set_faults("{}");
        put_file("", "clears.txt", std::to_string(++clears_));
        for (auto& e : std::filesystem::directory_iterator(folder_ + "requests"))
            if (e.path().extension() == ".req" || e.path().extension() == ".held" ||
                e.path().filename() == "peak.txt")
                std::filesystem::remove(e.path());
    }
    // True once the answer to the newest request has written all it will and holds its
    // connection open.
    bool holding() const {
        std::string newest;
        for (auto& e : std::filesystem::directory_iterator(folder_ + "requests"))
            if (e.path().extension() == ".req") newest = std::max(newest, e.path().stem().string());
        return !newest.empty() && std::filesystem::exists(folder_ + "requests/" + newest + ".held");
    }
    // The request heads received so far, in arrival order, byte for byte.
    std::vector<std::string> requests() const {
        std::vector<std::string> names, out;
        for (auto& e : std::filesystem::directory_iterator(folder_ + "requests"))
            if (e.path().extension() == ".req") names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        for (auto& n : names)
            out.push_back((std::stringstream() << std::ifstream(n, std::ios::binary).rdbuf()).str());
        return out;
    }

    // The most requests the server answered at one time since it started or was last cleared.
    int peak_requests() const {
        std::ifstream in(folder_ + "requests/peak.txt");
        int peak = 0;
        in >> peak;
        return peak;
    }

private:
    std::string folder_;
    pid_t pid_ = -1;
    int stdin_fd_ = -1;
    unsigned short port_ = 0;
    int clears_ = 0;
};

// Calls net_check for one slot until it answers 1 or 2, 1 ms apart, with a bound only a hang
// reaches. calls, when given, receives the number of calls; max_bytes is net_check's limit.
// With watch given, a transfer still busy 1000 calls after that server began to hold its
// connection (everything it will send is on its way) has misread the answer: it is cancelled
// and 0 returned, instead of waiting out the bound.
inline int pump_slot(int slot, const std::string& server, const std::string& path, const std::string& local,
                     int* calls = nullptr, int64_t max_bytes = -1, const test_http_server* watch = nullptr) {
    int n = 0, r = 0, after_hold = 0;
    eventually([&] {
        ++n;
        if ((r = http.net_check(slot, server, path, local, max_bytes)) != 0) return true;
        if (watch && (after_hold || watch->holding())) ++after_hold;
        return after_hold >= 1000;
    });
    if (r == 0) http.cancel(slot);
    if (calls) *calls = n;
    return r;
}

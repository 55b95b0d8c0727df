// Starts tools/test_http_server.py on 127.0.0.1 for a test: a proxy that serves made-up host
// names from a folder per host, with fault switches. Header-only, so tests of any folder can
// include it as "net/test_http_server.h".
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "net/http.h"

namespace volatra_test {

inline std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void write_file(const std::string& path, const std::string& data) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

// A fresh folder under the test temp folder; never under HOME.
inline std::string make_temp_folder(const char* tag) {
    std::string tmpl = std::filesystem::temp_directory_path().string() + "/volatra_" + tag + "_XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    return std::string(buf.data()) + "/";
}

// Text as a JSON string literal; bytes above 127 pass as \u00XX, which the server reads as latin-1.
inline std::string json_string(const std::string& s) {
    std::string out = "\"";
    char tmp[8];
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c >= 0x7f) {
            std::snprintf(tmp, sizeof(tmp), "\\u%04x", c);
            out += tmp;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

// A script fault: the chunks are written in order with a pause after each, then `end` (close,
// half or hold).
inline std::string script_fault(const std::vector<std::pair<std::string, double>>& chunks,
                                const std::string& end = "close") {
    std::string s = "{\"mode\": \"script\", \"end\": " + json_string(end) + ", \"script\": [";
    for (size_t i = 0; i < chunks.size(); ++i)
        s += (i ? ", [" : "[") + json_string(chunks[i].first) + ", " + std::to_string(chunks[i].second) + "]";
    return s + "]}";
}

class test_http_server {
public:
    // The server stops itself after `lifetime` seconds at the latest. port 0 picks a free one.
    explicit test_http_server(double lifetime = 120.0, int port = 0) {
        folder_ = make_temp_folder("http");
        root_ = folder_ + "root/";
        requests_ = folder_ + "requests/";
        std::filesystem::create_directories(root_);
        std::filesystem::create_directories(requests_);
        start(lifetime, port);
    }
    ~test_http_server() {
        if (pid_ > 0) {
            close(stdin_fd_);
            kill(pid_, SIGTERM);
            int st;
            waitpid(pid_, &st, 0);
        }
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    test_http_server(const test_http_server&) = delete;
    test_http_server& operator=(const test_http_server&) = delete;

    unsigned short port() const { return port_; }
    const std::string& root() const { return root_; }

    void put_file(const std::string& host, const std::string& path, const std::string& data) {
        write_file(root_ + host + path, data);
    }
    // faults: the JSON object of tools/test_http_server.py, e.g. {"h.invalid": {"mode": "stall"}}.
    void set_faults(const std::string& json) { write_file(root_ + "faults.json", json); }
    void clear() {
        set_faults("{}");
        for (auto& e : std::filesystem::directory_iterator(requests_)) std::filesystem::remove(e.path());
    }
    // The request heads received so far, in arrival order, byte for byte.
    std::vector<std::string> requests() const {
        std::vector<std::string> names;
        for (auto& e : std::filesystem::directory_iterator(requests_))
            if (e.path().extension() == ".req") names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        std::vector<std::string> out;
        for (auto& n : names) out.push_back(read_file(n));
        return out;
    }

private:
    void start(double lifetime, int port) {
        int out[2], in[2];
        if (pipe2(out, O_CLOEXEC) != 0 || pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
        // tools/ lies two folders above this header, wherever it is included from.
        std::string script =
            std::filesystem::path(__FILE__).parent_path().string() + "/../../tools/test_http_server.py";
        std::string life = std::to_string(lifetime), port_text = std::to_string(port);
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            dup2(in[0], 0);
            execlp("python3", "python3", script.c_str(), "--root", root_.c_str(), "--requests",
                   requests_.c_str(), "--lifetime", life.c_str(), "--port", port_text.c_str(),
                   "--watch-stdin", (char*)nullptr);
            _exit(127);
        }
        close(out[1]);
        close(in[0]);
        stdin_fd_ = in[1];
        std::string line;
        char c;
        pollfd p{out[0], POLLIN, 0};
        while (line.find('\n') == std::string::npos && poll(&p, 1, 20000) > 0 && read(out[0], &c, 1) == 1)
            line += c;
        close(out[0]);
        if (line.rfind("PORT ", 0) != 0) throw std::runtime_error("test HTTP server did not start: " + line);
        port_ = static_cast<unsigned short>(std::stoi(line.substr(5)));
    }

    std::string folder_, root_, requests_;
    pid_t pid_ = -1;
    int stdin_fd_ = -1;
    unsigned short port_ = 0;
};

// Calls net_check for one slot until it answers 1 or 2 (a pause of 1 ms between calls, and a
// safety bound far above any normal run). calls, when given, receives the number of calls.
inline int pump_slot(int slot, const std::string& server, const std::string& path, const std::string& local,
                     int* calls = nullptr, double bound_seconds = 60.0) {
    auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(bound_seconds);
    int n = 0, r = 0;
    while (r == 0 && std::chrono::steady_clock::now() < until) {
        r = http.net_check(slot, server, path, local);
        ++n;
        if (r == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (calls) *calls = n;
    return r;
}

}  // namespace volatra_test

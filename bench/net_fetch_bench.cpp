// Fetches many small files and a few large ones from the local test server over four streams,
// once with the installer's HTTP client (net_check called back to back) and once with curl
// (four parallel transfers through the same proxy), and prints the throughput ratio.
//
//   net_fetch_bench [small_count] [large_megabytes]
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "../tests/net/test_http_server.h"
#include "core/xtim.h"
#include "net/http.h"

using namespace volatra_test;
using clock_type = std::chrono::steady_clock;

namespace {

const char mirror[] = "mirror.example.invalid";

struct job {
    std::string path, body;
};

std::vector<job> make_jobs(int small_count, int large_mb) {
    std::mt19937 gen(7);
    std::vector<job> jobs;
    auto bytes = [&](size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(gen());
        return s;
    };
    for (int i = 0; i < 4; ++i)
        jobs.push_back({"/big/part" + std::to_string(i) + ".zip", bytes(size_t(large_mb) << 20)});
    for (int i = 0; i < small_count; ++i)
        jobs.push_back({"/small/dir" + std::to_string(i % 10) + "/file " + std::to_string(i) + ".zip",
                        bytes(2000 + (gen() % 30000))});
    return jobs;
}

// Four streams on slots 2 to 5, each taking the next file when its last one is done.
double run_ours(const std::vector<job>& jobs, const std::string& out) {
    auto start = clock_type::now();
    size_t cursor = 0;
    int stream_job[4] = {-1, -1, -1, -1};
    size_t done = 0;
    while (done < jobs.size()) {
        for (int s = 0; s < 4; ++s) {
            if (stream_job[s] < 0) {
                if (cursor >= jobs.size()) continue;
                stream_job[s] = static_cast<int>(cursor++);
            }
            const job& j = jobs[stream_job[s]];
            int r = http.net_check(s + 2, mirror, j.path, out + std::to_string(stream_job[s]));
            if (r == 2) {
                std::fprintf(stderr, "download failed: %s\n", j.path.c_str());
                std::exit(1);
            }
            if (r == 1) {
                stream_job[s] = -1;
                ++done;
            }
        }
    }
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

double run_curl(const std::vector<job>& jobs, const std::string& out, unsigned short port) {
    std::string config = out + "curl.cfg";
    std::string text;
    for (size_t i = 0; i < jobs.size(); ++i)
        text += "url = \"http://" + std::string(mirror) + http_escape_path(jobs[i].path) + "\"\noutput = \"" +
                out + std::to_string(i) + "\"\n";
    write_file(config, text);
    std::string cmd = "curl -sS --no-progress-meter -f --parallel --parallel-max 4 -x http://127.0.0.1:" +
                      std::to_string(port) + " -K '" + config + "'";
    auto start = clock_type::now();
    int rc = std::system(cmd.c_str());
    double t = std::chrono::duration<double>(clock_type::now() - start).count();
    if (rc != 0) {
        std::fprintf(stderr, "curl failed (%d)\n", rc);
        std::exit(1);
    }
    return t;
}

bool outputs_match(const std::vector<job>& jobs, const std::string& out) {
    for (size_t i = 0; i < jobs.size(); ++i)
        if (read_file(out + std::to_string(i)) != jobs[i].body) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int small_count = argc > 1 ? std::atoi(argv[1]) : 400;
    int large_mb = argc > 2 ? std::atoi(argv[2]) : 16;
    if (std::system("curl --version >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "curl is needed as the reference\n");
        return 1;
    }
    std::vector<job> jobs = make_jobs(small_count, large_mb);
    double total_mb = 0;
    for (auto& j : jobs) total_mb += j.body.size() / 1e6;

    test_http_server server(600.0);
    for (auto& j : jobs) server.put_file(mirror, j.path, j.body);
    http.proxy_host = "127.0.0.1";
    http.proxy_port = server.port();
    xtim.real_time = 0;

    std::string work = make_temp_folder("bench_net");
    double best_ours = 1e9, best_curl = 1e9;
    for (int round = 0; round < 3; ++round) {
        std::string ours = work + "ours/", ref = work + "curl/";
        std::filesystem::create_directories(ours);
        std::filesystem::create_directories(ref);
        best_ours = std::min(best_ours, run_ours(jobs, ours));
        best_curl = std::min(best_curl, run_curl(jobs, ref, server.port()));
        if (round == 0 && (!outputs_match(jobs, ours) || !outputs_match(jobs, ref))) {
            std::fprintf(stderr, "downloaded files differ from the served ones\n");
            return 1;
        }
        std::filesystem::remove_all(ours);
        std::filesystem::remove_all(ref);
    }
    std::filesystem::remove_all(work);

    std::printf("%zu files, %.1f MB, four streams, best of 3\n", jobs.size(), total_mb);
    std::printf("net_check: %.3f s (%.1f MB/s)   curl: %.3f s (%.1f MB/s)\n", best_ours, total_mb / best_ours,
                best_curl, total_mb / best_curl);
    std::printf("throughput ratio (net_check / curl): %.2f (goal >= 0.90)\n", best_curl / best_ours);
    return 0;
}

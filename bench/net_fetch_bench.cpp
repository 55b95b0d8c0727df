// Updates a copy from the local test server with the network fetch (four streams, the step
// called back to back: download and unpack), and fetches the same archives with curl (four
// parallel transfers through the same proxy); prints the throughput ratio.
//
//   net_fetch_bench [small_count] [large_megabytes]
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "../tests/net/test_http_server.h"
#include "core/xtim.h"
#include "files/zip_utils.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "net/http.h"

using clock_type = std::chrono::steady_clock;

namespace {

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void write_file(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}
std::string make_temp_folder(const char* tag) {
    std::string t = std::filesystem::temp_directory_path().string() + "/volatra_" + tag + "_XXXXXX";
    if (!mkdtemp(t.data())) std::exit(1);
    return t + "/";
}

const char mirror[] = "mirror.example.invalid";
const char release[] = "/rel/";

struct job {
    std::string path, body;  // manifest path and the unpacked file
    std::string zip;         // what the server holds at release + path + ".zip"
};

std::vector<job> make_jobs(int small_count, int large_mb, const std::string& staging) {
    std::mt19937 gen(7);
    std::vector<job> jobs;
    auto bytes = [&](size_t n) {
        std::string s(n, '\0');
        for (char& c : s) c = static_cast<char>(gen());
        return s;
    };
    for (int i = 0; i < 4; ++i)
        jobs.push_back({"All/big/part" + std::to_string(i) + ".bin", bytes(size_t(large_mb) << 20), ""});
    for (int i = 0; i < small_count; ++i)
        jobs.push_back({"All/small/dir" + std::to_string(i % 10) + "/file " + std::to_string(i) + ".bin",
                        bytes(2000 + (gen() % 30000)), ""});
    for (job& j : jobs) {
        std::string src = staging + j.path.substr(j.path.rfind('/') + 1);
        write_file(src, j.body);
        if (file_to_zip(src, staging + "out.zip") != 0) {
            std::fprintf(stderr, "cannot pack %s\n", src.c_str());
            std::exit(1);
        }
        j.zip = read_file(staging + "out.zip");
        std::filesystem::remove(src);
    }
    return jobs;
}

double run_fetch(const std::vector<job>& jobs, const std::string& copy) {
    sim_info.clear();
    deleted_files.clear();
    for (const job& j : jobs) {
        sim_info.emplace_back();
        file_version_struct v;
        v.path = j.path;
        v.size_a = static_cast<float>(j.zip.size()) / 1000.0f;
        v.size_b = static_cast<float>(j.body.size()) / 1000.0f;
        v.need_install = 1;
        sim_info.back().versions.push_back(v);
        std::filesystem::create_directories(copy + j.path.substr(4, j.path.rfind('/') - 3));
    }
    dest_dir_path = copy;
    std::memset(&next, 0, sizeof(next));
    next.active[0] = next.active[1] = 1;
    next.wants_file[0] = next.wants_file[1] = 1;
    next.start_time = xtim.real_time;
    stg.stream_count = 4;
    stg.extract_error = 0;

    auto start = clock_type::now();
    int r = 0;
    while (!(r = grab_files())) {
    }
    double t = std::chrono::duration<double>(clock_type::now() - start).count();
    if (stg.extract_error) {
        std::fprintf(stderr, "the fetch failed\n");
        std::exit(1);
    }
    return t;
}

double run_curl(const std::vector<job>& jobs, const std::string& out, unsigned short port) {
    std::string config = out + "curl.cfg";
    std::string text;
    for (size_t i = 0; i < jobs.size(); ++i)
        text += "url = \"http://" + std::string(mirror) + http_escape_path(release + jobs[i].path + ".zip") +
                "\"\noutput = \"" + out + std::to_string(i) + "\"\n";
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

}  // namespace

int main(int argc, char** argv) {
    int small_count = argc > 1 ? std::atoi(argv[1]) : 400;
    int large_mb = argc > 2 ? std::atoi(argv[2]) : 16;
    if (std::system("curl --version >/dev/null 2>&1") != 0) {
        std::fprintf(stderr, "curl is needed as the reference\n");
        return 1;
    }
    std::string work = make_temp_folder("bench_net");
    std::vector<job> jobs = make_jobs(small_count, large_mb, work);
    double total_mb = 0;
    for (auto& j : jobs) total_mb += j.zip.size() / 1e6;

    test_http_server server(600.0);
    for (auto& j : jobs) server.put_file(mirror, release + j.path + ".zip", j.zip);
    http.proxy_host = "127.0.0.1";
    http.proxy_port = server.port();
    server_name[0] = mirror;
    server_path[0] = release;
    stg.server_count = 1;
    stg.server_index = 0;
    temp_path = work + "tmp/";
    std::filesystem::create_directories(temp_path);

    double best_ours = 1e9, best_curl = 1e9;
    for (int round = 0; round < 3; ++round) {
        std::string copy = work + "copy/", ref = work + "curl/";
        std::filesystem::create_directories(ref);
        best_ours = std::min(best_ours, run_fetch(jobs, copy));
        best_curl = std::min(best_curl, run_curl(jobs, ref, server.port()));
        if (round == 0) {
            for (size_t i = 0; i < jobs.size(); ++i) {
                if (read_file(copy + jobs[i].path.substr(4)) != jobs[i].body ||
                    read_file(ref + std::to_string(i)) != jobs[i].zip) {
                    std::fprintf(stderr, "fetched files differ from the served ones\n");
                    return 1;
                }
            }
        }
        std::filesystem::remove_all(copy);
        std::filesystem::remove_all(ref);
    }
    std::filesystem::remove_all(work);

    std::printf("%zu archives, %.1f MB, four streams, best of 3\n", jobs.size(), total_mb);
    std::printf("grab_files: %.3f s (%.1f MB/s, download and unpack)   curl: %.3f s (%.1f MB/s, download)\n",
                best_ours, total_mb / best_ours, best_curl, total_mb / best_curl);
    std::printf("throughput ratio (grab_files / curl): %.2f (goal >= 0.90)\n", best_curl / best_ours);
    return 0;
}

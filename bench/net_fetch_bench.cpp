// The web update, engine side: fetches and installs the files of a list from an HTTP server on
// 127.0.0.1 (reached as the proxy, as the update servers are) with the network fetch's four
// streams, as one fresh process. Without arguments it runs the whole benchmark
// (bench/speed_bench.py web): ~300 MB in ~200 archives from nginx against four parallel curl and
// unzip, back to back and paced as the wizard's run screen paces the fetch.
//
//   net_fetch_bench
//   net_fetch_bench --run PORT LIST OUT_DIR TEMP_DIR [--paced]
//
// LIST has one line per file: manifest path, archive bytes, file bytes and MD5, tab-separated;
// the server holds each archive at /rel/ + path + ".zip".
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "bench_common.h"
#include "core/time_keeper.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "net/http_client.h"
#include "wizard/web_update.h"
#include "wizard/wizard_frame.h"

int main(int argc, char** argv) {
    if (argc == 1) return run_driver("web", argv[0]);
    if ((argc != 6 && argc != 7) || std::strcmp(argv[1], "--run") != 0 ||
        (argc == 7 && std::strcmp(argv[6], "--paced") != 0)) {
        std::fprintf(stderr, "usage: net_fetch_bench [--run PORT LIST OUT_DIR TEMP_DIR [--paced]]\n");
        return 2;
    }
    http.proxy_host = "127.0.0.1";
    http.proxy_port = static_cast<uint32_t>(std::atoi(argv[2]));
    server_name[0] = "mirror.example.invalid";
    server_path[0] = "/rel/";
    stg.server_count = 1;
    stg.server_index = 0;
    stg.stream_count = 4;
    dest_dir_path = std::string(argv[4]) + "/";
    temp_path = std::string(argv[5]) + "/";

    std::ifstream list(argv[3]);
    for (std::string line; std::getline(list, line);) {
        std::istringstream in(line);
        std::string path, a, b, md5;
        if (!std::getline(in, path, '\t') || !std::getline(in, a, '\t') || !std::getline(in, b, '\t') ||
            !std::getline(in, md5))
            continue;
        file_version_struct v;
        v.path = path;
        v.size_a = static_cast<float>(std::atof(a.c_str()) / 1000.0);
        v.size_b = static_cast<float>(std::atof(b.c_str()) / 1000.0);
        v.sig_want = md5;
        v.need_install = 1;
        sim_info.emplace_back();
        sim_info.back().versions.push_back(v);
        stg.kb_to_download += v.size_a;
        stg.kb_to_install += v.size_b;
        const std::string dest = install_location(v);
        std::filesystem::create_directories(dest.substr(0, dest.rfind('/')));
    }

    xtim.xtim_update();
    net_stream_reset();
    if (argc == 7) {
        wizard_screen screen;
        float progress = 0;
        frame_clock frame;
        while (!net_patch_frame(screen, progress)) {
            frame.end_frame();
            xtim.xtim_update();
        }
    } else {
        while (!grab_files()) xtim.xtim_update();
    }
    if (stg.extract_error) {
        std::fprintf(stderr, "net_fetch_bench: a file failed\n");
        return 1;
    }
    return 0;
}

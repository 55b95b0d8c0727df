#include "web_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "common/test_helpers.h"
#include "core/time_keeper.h"
#include "files/archives.h"
#include "net/http_client.h"
#include "wizard/server_list.h"
#include "wizard_helpers.h"

web_server::web_server() : server_(std::make_unique<test_http_server>(600.0)) {
    http.proxy_host = "127.0.0.1";
    http.proxy_port = server_->port();
}

void web_server::server_list(const std::string& release, const std::vector<std::string>& mirrors,
                             const std::string& extra_lines) {
    std::string list = "A\n820 version\nSERVERS\n\nFINAL " + release + "\nBETA " + release + " beta\n" + extra_lines;
    for (const std::string& m : mirrors) list += "SERVER " + m + "\n/rel/\nMirror|" + m + "\n";
    server_->put_file(server_list_host, "/serverlist9.txt", list + "ENDOFLIST\n");
}

std::string web_server::publish(const std::string& release, const std::vector<web_file>& files,
                                const std::vector<std::string>& mirrors) {
    temp_folder work;
    std::string manifest = "A\n900 version\nINSTALLER\n\n";
    for (const web_file& f : files) {
        const size_t slash = f.path.rfind('/');
        const std::string dir = f.path.substr(0, slash + 1), name = f.path.substr(slash + 1);
        manifest += "DIR " + dir + "\n";
        for (const std::string& e : f.earlier)
            manifest += "FILE 0 0 90001 1 1 " + md5_text(e) + " " + name + "\n";
        if (f.gone) {
            manifest += "FILE 0 0 91001 0 0 GONE " + name + "\n";
            continue;
        }
        const std::string src = work.write("src/" + name, f.content), zip = work / "file.zip";
        EXPECT_EQ(file_to_zip(src, zip), 0);
        const std::string archive = read_file(zip);
        const int64_t archive_bytes = f.archive_bytes >= 0 ? f.archive_bytes : static_cast<int64_t>(archive.size());
        manifest += "FILE 0 0 91001 " + std::to_string(archive_bytes / 1000 + 1) + " " +
                    std::to_string(f.content.size() / 1000 + 1) + " " + md5_text(f.content) + " " + name + "\n";
        for (const std::string& m : mirrors) server_->put_file(m, "/rel/" + release + "/" + f.path + ".zip", archive);
    }
    const std::string zip = work / "directory.txt.zip";
    EXPECT_EQ(file_to_zip(work.write("directory.txt", manifest), zip), 0);
    for (const std::string& m : mirrors) server_->put_file(m, "/rel/" + release + "/directory.txt.zip", read_file(zip));
    return manifest;
}

std::vector<std::string> web_server::request_lines() const {
    std::vector<std::string> out;
    for (const std::string& r : server_->requests()) out.push_back(r.substr(0, r.find("\r\n")));
    return out;
}

std::string md5_text(const std::string& data) {
    temp_folder t;
    return md5sum_of(t.write("data", data));
}

void step_clock() {
    using clock = std::chrono::steady_clock;
    static clock::time_point last = clock::now();
    const clock::time_point now = clock::now();
    const float real = std::chrono::duration<float>(now - last).count();
    last = now;
    bool transfer = false;
    for (int s = 0; s < http_class::slot_count; ++s) transfer = transfer || http.slot(s);
    xtim.real_time += transfer ? std::min(real, 0.01f) : 0.01f;
}

void web_frame() {
    step_clock();
    wizard_frame();
}

// The engine's steps that hand work to pools beyond the checksum pass and the disc pipeline: the
// network fetch unpacks downloaded archives on a pool while its streams go on, and the builder
// packs ahead on a pool while the manifest is written in order.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iterator>

#include "core/globals.h"
#include "core/time_keeper.h"
#include "engine_helpers.h"
#include "files/errors.h"
#include "install/builder.h"
#include "install/net_fetch.h"
#include "net/http_client.h"
#include "net/test_http_server.h"

namespace fs = std::filesystem;

namespace {

const char mirror[] = "mirror.example.invalid";
const char release[] = "/rel/";

std::string content(int i) { return std::string(1000 + 7919 * (i % 13), static_cast<char>('a' + i % 26)); }

class EnginePools : public ::testing::Test {
protected:
    void SetUp() override { reset_engine_state(); }
    temp_folder tmp_;
};

TEST_F(EnginePools, FetchedArchivesAreUnpackedOnThePoolAndABadOneEndsTheFetch) {
    test_http_server server;
    const int files = 60;
    for (int bad : {-1, 37, 59}) {
        reset_engine_state();
        dest_dir_path = tmp_ / ("copy" + std::to_string(bad + 1) + "/");
        temp_path = tmp_ / ("tmp" + std::to_string(bad + 1) + "/");
        fs::create_directories(dest_dir_path + "Resources");
        fs::create_directories(temp_path);
        http.proxy_host = "127.0.0.1";
        http.proxy_port = server.port();
        server_name[0] = mirror;
        server_path[0] = release;
        stg.server_count = 1;
        stg.stream_count = 4;
        for (int i = 0; i < files; ++i) {
            const std::string path = "All/Resources/f" + std::to_string(i) + ".txt";
            temp_folder t;
            put_zip(t / "a.zip", "f" + std::to_string(i) + ".txt", content(i));
            server.put_file(mirror, release + path + ".zip", read_file(t / "a.zip"));
            add_history(path, {i == bad ? md5_abc : md5_of(content(i))}, 0, float(content(i).size() / 1000))
                .need_install = 1;
        }
        std::memset(&next, 0, sizeof(next));
        next.active[0] = next.active[1] = next.wants_file[0] = next.wants_file[1] = 1;
        int r = 0;
        eventually([&] { return (r = grab_files()) != 0; }, hang_seconds, 100);
        EXPECT_EQ(r, 1) << bad;
        // Whatever the end, every queued archive came back and left nothing behind (the update
        // screen ends the transfers still running, as net_stream_stop does).
        for (int s = 0; s < http_class::slot_count; ++s) http.cancel(s);
        EXPECT_TRUE(fs::is_empty(temp_path)) << bad;
        for (int i = 0; i < files; ++i) {
            const std::string at = dest_dir_path + "Resources/f" + std::to_string(i) + ".txt";
            // A file counts as installed exactly when it is in place, also those that were still
            // being unpacked when the bad one ended the fetch.
            const bool in_place = fs::exists(at) && read_file(at) == content(i);
            EXPECT_EQ(in_place, i != bad && (bad < 0 || cur(i).up_to_date == 1)) << i;
            EXPECT_EQ(cur(i).up_to_date, in_place ? 1 : 0) << i;
            if (in_place) {
                EXPECT_EQ(cur(i).sig_have, cur(i).sig_want) << i;
            }
        }
        EXPECT_EQ(stg.extract_error, bad < 0 ? 0 : 1);
        EXPECT_EQ(recorded_alerts().size(), bad < 0 ? 0u : 1u);
        // The fetch is finished when every stream is past the end of the list. A bad archive the
        // pool reports while streams still run ends it unfinished; one reported after the last
        // download (the last file's, or an earlier one whose unpacking lagged) ends it finished.
        bool past_end = true;
        for (size_t s = 0; s < std::size(next.active); ++s)
            if (next.active[s] && next.file_index[s] < files) past_end = false;
        EXPECT_EQ(next.finished, past_end ? 1 : 0) << bad;
        if (bad < 0) {
            EXPECT_TRUE(past_end);
        }
        grab_files_kill();  // nothing left to wait for: no effect
    }
}

TEST_F(EnginePools, APackedAheadBuildIsTheSameEveryTime) {
    const std::string src = tmp_ / "master/";
    minimal_master(src);
    for (int i = 0; i < 150; ++i)
        write_file(src + "All/Resources/d" + std::to_string(i % 7) + "/f" + std::to_string(i) + ".txt", content(i));
    std::string first;
    for (int run = 0; run < 2; ++run) {
        const std::string dst = tmp_ / ("discs" + std::to_string(run) + "/");
        builder_settings(src, dst);
        build_install();
        const std::string manifest = built_manifest(dst);
        for (int i = 0; i < 150; ++i)
            EXPECT_NE(manifest.find(md5_of(content(i)) + " f" + std::to_string(i) + ".txt\n"), std::string::npos)
                << i;
        // The zipped manifest carries the time it was written: its text is compared instead.
        std::string archives = manifest;
        for (const std::string& rel : list_tree(dst)) {
            EXPECT_EQ(rel.find(".packing-"), std::string::npos) << rel;  // nothing staged is left
            if (rel.find("directory.txt.zip") == std::string::npos)
                archives += rel + "=" + md5_of(read_file(dst + rel)) + "\n";
        }
        if (run == 0) first = archives;
        EXPECT_EQ(archives, first);  // byte for byte, archive by archive
    }
}

}  // namespace

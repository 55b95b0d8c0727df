#include "install/net_fetch.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "common/recorders.h"
#include "core/alert.h"
#include "core/wx.h"
#include "core/xtim.h"
#include "files/zip_utils.h"
#include "install/engine_helpers.h"
#include "install/install_run.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "net/http.h"
#include "net/test_http_server.h"

namespace fs = std::filesystem;

namespace {

const char good[] = "mirror.example.invalid";
const char bad[] = "broken.example.invalid";
const char release[] = "/rel/Volatra 9/";

class NetFetch : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new volatra_test::test_http_server(); }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
    }

    void SetUp() override {
        reset_engine_state();
        server_->clear();
        reset_recorders();
        dest_dir_path = tmp_.path() + "copy/";
        temp_path = tmp_.path() + "tmp/";
        staging_ = tmp_.path() + "staging/";
        fs::create_directories(dest_dir_path);
        fs::create_directories(temp_path);
        http.proxy_host = "127.0.0.1";
        http.proxy_port = server_->port();
        for (int i = 0; i < max_servers; ++i) server_name[i].clear(), server_path[i].clear();
        server_name[0] = good;
        server_path[0] = release;
        stg.server_count = 1;
        stg.server_index = 0;
        xtim.real_time = 1000.0f;
        reset_streams();
    }
    void TearDown() override {
        for (int s = 0; s < http_class::slot_count; ++s) EXPECT_EQ(http.slot(s), nullptr);
    }

    // As the update screen sets the streams up before the first step.
    void reset_streams() {
        std::memset(&next, 0, sizeof(next));
        next.active[0] = next.active[1] = 1;
        next.wants_file[0] = next.wants_file[1] = 1;
        next.start_time = xtim.real_time;
    }

    // The zipped file as a server holds it, at the manifest path + ".zip" below the release.
    void serve(const std::string& host, const std::string& path, const std::string& content) {
        std::string name = path.substr(path.rfind('/') + 1);
        std::string src = staging_ + name;
        write_file(src, content);
        std::string zip = staging_ + "out.zip";
        ASSERT_EQ(file_to_zip(src, zip), 0);
        server_->put_file(host, std::string(release) + path + ".zip", read_file(zip));
        fs::remove(src);
        fs::remove(zip);
    }
    file_version_struct& wants_install(const std::string& path, float kb = 2.0f) {
        file_version_struct& v = add_history(path, {"0123456789abcdef0123456789abcdef"}, 0, kb);
        v.need_install = 1;
        return v;
    }
    std::string in_copy(const std::string& rel) { return dest_dir_path + rel; }

    // Steps until the fetch answers; a bound far above a normal run instead of a wall clock.
    int run_fetch(int max_steps = 200000) {
        for (int i = 0; i < max_steps; ++i) {
            int r = grab_files();
            if (r) return r;
            usleep(100);
        }
        return 0;
    }

    temp_folder tmp_;
    std::string staging_;
    static volatra_test::test_http_server* server_;
};
volatra_test::test_http_server* NetFetch::server_ = nullptr;

}  // namespace

TEST_F(NetFetch, UpdatesACopyFromTheServer) {
    // A changed file, an added one in a new folder, one the release removed, and two that need
    // no transfer.
    write_file(in_copy("Resources/changed.txt"), "old");
    serve(good, "All/Resources/changed.txt", "new contents");
    file_version_struct& changed = wants_install("All/Resources/changed.txt");
    fs::create_directories(in_copy("Resources/new/deeper"));
    serve(good, "Linux/Resources/new/deeper/added.bin", std::string(100000, 'x'));
    file_version_struct& added = wants_install("Linux/Resources/new/deeper/added.bin");
    write_file(in_copy("old/deep/gone.txt"), "bye");
    write_file(in_copy("old/keep.txt"), "stays");
    add_history("All/old/deep/gone.txt", {"GONE"}).need_delete = 1;
    add_history("All/same.txt", {"0123456789abcdef0123456789abcdef"}).up_to_date = 1;
    add_history("All/unwanted.txt", {"0123456789abcdef0123456789abcdef"});
    fs::create_directories(in_copy("Volatra.app/Contents/MacOS"));
    serve(good, "Linux/Volatra.app/Contents/MacOS/Volatra", "#!/bin/sh\n");
    wants_install("Linux/Volatra.app/Contents/MacOS/Volatra", 0.0f);
    stg.log_actions = 1;
    std::string log = tmp_.path() + "log.txt";
    ASSERT_TRUE(xer.open(log));

    EXPECT_EQ(run_fetch(), 1);
    xer.close();
    EXPECT_EQ(next.finished, 1);
    EXPECT_EQ(read_file(in_copy("Resources/changed.txt")), "new contents");
    EXPECT_EQ(read_file(in_copy("Resources/new/deeper/added.bin")), std::string(100000, 'x'));
    EXPECT_EQ(changed.up_to_date, 1);
    EXPECT_EQ(added.up_to_date, 1);
    // The removed file and the folder it emptied are gone; a folder still holding a file stays.
    EXPECT_FALSE(fs::exists(in_copy("old/deep/gone.txt")));
    EXPECT_FALSE(fs::exists(in_copy("old/deep")));
    EXPECT_TRUE(fs::exists(in_copy("old/keep.txt")));
    EXPECT_TRUE(fs::exists(dest_dir_path));
    EXPECT_EQ(next.kb_done_download, 2.0f);  // two archives of 1 KB each
    EXPECT_EQ(next.kb_done_install, 4.0f);
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(stg.download_failed, 0);
    EXPECT_EQ(access(in_copy("Volatra.app/Contents/MacOS/Volatra").c_str(), X_OK), 0);
    // Every download was unpacked and removed from the temporary folder.
    EXPECT_TRUE(fs::is_empty(temp_path));
    EXPECT_TRUE(recorded_alerts().empty());

    std::string text = read_file(log);
    for (std::string line :
         {"now we want to nuke a file: DELETING  file " + in_copy("old/deep/gone.txt") + ", with result=0.\n",
          "EXPANDING file " + in_copy("Resources/changed.txt") + ", with result=0.\n",
          "CHMODING  file " + in_copy("Resources/changed.txt") + ", with result=0.\n",
          "cleanup: DELETING  file " + in_copy("old/deep/") + ", with result=0.\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin:\n" << text;
}

TEST_F(NetFetch, StepActionsWithoutTransfer) {
    add_history("All/same.txt", {"0123456789abcdef0123456789abcdef"}).up_to_date = 1;
    add_history("All/unwanted.txt", {"0123456789abcdef0123456789abcdef"});
    next.active[1] = 0;  // one stream by preference: one file per step
    stg.stream_count = 1;
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(stg.current_action, 2);
    EXPECT_EQ(next.cursor, 1);
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(stg.current_action, 3);
    EXPECT_EQ(next.cursor, 2);
    // A file the release removed is deleted in its turn, counted for pruning, and costs no transfer.
    add_history("All/old/gone.txt", {"GONE"}).need_delete = 1;
    write_file(in_copy("old/gone.txt"), "bye");
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(stg.current_action, 0);
    EXPECT_FALSE(fs::exists(in_copy("old/gone.txt")));
    EXPECT_EQ(deleted_files.count(in_copy("old/")), 1u);
    // The stream takes the end of the list and only then is the fetch over.
    EXPECT_EQ(grab_files(), 1);
    EXPECT_TRUE(server_->requests().empty());
}

TEST_F(NetFetch, StreamCountFollowsTheRateAndThePreference) {
    for (int i = 0; i < 6; ++i)
        add_history("All/f" + std::to_string(i), {"0123456789abcdef0123456789abcdef"});
    // 600 KB in 10 s: 60 KB/s asks for four streams; each finished file adds one.
    next.start_time = xtim.real_time - 10.0f;
    next.kb_done_download = 600.0f;
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(next.active[2], 1);
    EXPECT_EQ(next.active[3], 1);
    EXPECT_EQ(next.wants_file[0], 1);

    // A preference of one stream stops every stream that finishes while more run.
    reset_streams();
    next.cursor = 0;
    stg.stream_count = 1;
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(next.active[0], 0);
    EXPECT_EQ(next.active[1], 1);
    EXPECT_EQ(next.active[2], 0);

    // A count below 1 from a hand-edited preference file still leaves one stream running, so
    // the fetch is not over before every file was handed out.
    reset_streams();
    stg.stream_count = -2;
    int r = 0;
    for (int i = 0; i < 20 && !r; ++i) r = grab_files();
    EXPECT_EQ(r, 1);
    EXPECT_EQ(next.cursor, 6);
}

TEST_F(NetFetch, FailingMirrorIsLeftForAnother) {
    server_->set_faults(R"({"broken.example.invalid": {"mode": "status", "status": 500}})");
    server_name[0] = bad;
    server_path[0] = release;
    server_name[1] = good;
    server_path[1] = release;
    stg.server_count = 2;
    stg.server_index = 0;
    stg.stream_count = 1;
    srand(3);
    serve(good, "All/a.txt", "from the good mirror");
    file_version_struct& v = wants_install("All/a.txt");
    next.active[1] = 0;
    int failures = 0, r = 0;
    for (int i = 0; i < 200000 && !r; ++i) {
        r = grab_files();
        if (stg.download_failed && !http.slot(2)) {  // this very step failed
            ++failures;
            // The failed stream removed its partial download; nothing else was touched.
            EXPECT_FALSE(fs::exists(grab_stream_file(0)));
            EXPECT_EQ(next.cursor, 1);  // the same file again, not the next one
            EXPECT_GE(stg.server_index, 0);
            EXPECT_LT(stg.server_index, 2);
        }
        usleep(100);
    }
    EXPECT_EQ(r, 1);
    EXPECT_GE(failures, 1);
    EXPECT_EQ(read_file(in_copy("a.txt")), "from the good mirror");
    EXPECT_EQ(v.up_to_date, 1);
    EXPECT_EQ(stg.server_index, 1);
    EXPECT_TRUE(fs::is_empty(temp_path));
}

TEST_F(NetFetch, CorruptDownloadKeepsTheOldFile) {
    write_file(in_copy("Resources/keep.txt"), "the working old file");
    // A real archive whose compressed data is damaged half way: its unpacking starts and fails.
    std::string content;
    for (int i = 0; content.size() < 200000; ++i)
        content += "line " + std::to_string(i * 7919 % 100003) + "\n";
    serve(good, "All/Resources/keep.txt", content);
    std::string zip_path = server_->root() + good + release + "All/Resources/keep.txt.zip";
    std::string zip = read_file(zip_path);
    for (size_t i = zip.size() / 3; i < zip.size() / 2; ++i) zip[i] = static_cast<char>(zip[i] ^ 0x5A);
    write_file(zip_path, zip);
    file_version_struct& v = wants_install("All/Resources/keep.txt");
    EXPECT_EQ(run_fetch(), 1);  // extract_error ends the fetch
    EXPECT_EQ(stg.extract_error, 1);
    EXPECT_EQ(v.up_to_date, 0);
    EXPECT_EQ(read_file(in_copy("Resources/keep.txt")), "the working old file");
    EXPECT_TRUE(fs::is_empty(temp_path));
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].type, t_alert);
    EXPECT_EQ(alerts[0].line1, "The installer cannot extract a file.");
    EXPECT_EQ(alerts[0].line3, "Compressed File: " + grab_stream_file(0));
    EXPECT_EQ(alerts[0].line4, "Destination: " + in_copy("Resources/keep.txt"));
}

TEST_F(NetFetch, NoUsableServerEndsTheFetchWithoutIndexingOutside) {
    wants_install("All/a.txt");
    stg.server_count = 0;
    stg.server_index = -1;
    EXPECT_EQ(grab_files(), 1);
    EXPECT_EQ(stg.download_failed, 1);
    EXPECT_EQ(stg.extract_error, 1);
    EXPECT_TRUE(server_->requests().empty());

    // A listed server but an index outside the list: a valid one is drawn.
    reset_engine_state();
    SetUp();
    serve(good, "All/b.txt", "b");
    wants_install("All/b.txt");
    stg.server_index = 7;
    EXPECT_EQ(run_fetch(), 1);
    EXPECT_EQ(stg.server_index, 0);
    EXPECT_EQ(read_file(in_copy("b.txt")), "b");
}

TEST_F(NetFetch, ManifestPathsNeverReachOutsideTheCopy) {
    write_file(tmp_.path() + "outside.txt", "precious");
    add_history("All/../outside.txt", {"GONE"}).need_delete = 1;
    EXPECT_EQ(run_fetch(), 1);
    EXPECT_EQ(read_file(tmp_.path() + "outside.txt"), "precious");
}

TEST(NetFetchFormat, NewFormatSendsTheUserToTheDownloadPage) {
    reset_recorders();
    app_done = 0;
    new_format("/tmp/serverlist9.txt");
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].type, t_alert);
    EXPECT_EQ(alerts[0].line2, "In other words, you need to get a new installer!");
    EXPECT_EQ(alerts[0].line4, "/tmp/serverlist9.txt");
    EXPECT_EQ(stg.new_format_flag, 2);
    EXPECT_EQ(app_done, 1);
    app_done = 0;
}

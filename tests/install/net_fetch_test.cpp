// The network fetch against the test server: a whole update, the download streams, failing
// mirrors and downloads that are not what the manifest says.
#include "install/net_fetch.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "core/alert.h"
#include "core/globals.h"
#include "core/time_keeper.h"
#include "engine_helpers.h"
#include "files/errors.h"
#include "net/http_client.h"
#include "net/test_http_server.h"

namespace fs = std::filesystem;

namespace {

const char good[] = "mirror.example.invalid";
const char bad[] = "broken.example.invalid";
const char release[] = "/rel/Volatra 9/";

class NetFetch : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new test_http_server(); }
    static void TearDownTestSuite() { delete server_; }

    void SetUp() override {
        reset_engine_state();
        server_->clear();
        dest_dir_path = tmp_ / "copy/";
        temp_path = tmp_ / "tmp/";
        fs::create_directories(dest_dir_path);
        fs::create_directories(temp_path);
        http.proxy_host = "127.0.0.1";
        http.proxy_port = server_->port();
        for (int i = 0; i < max_servers; ++i) server_name[i] = server_path[i] = release;
        server_name[0] = good;
        stg.server_count = 1;
        xtim.real_time = 1000.0f;
        std::memset(&next, 0, sizeof(next));  // as the update screen sets the streams up
        next.active[0] = next.active[1] = next.wants_file[0] = next.wants_file[1] = 1;
        next.start_time = xtim.real_time;
    }
    void TearDown() override {
        for (int s = 0; s < http_class::slot_count; ++s) EXPECT_EQ(http.slot(s), nullptr);
    }
    // The zipped file on a server, and its history wanting it installed.
    file_version_struct& serve(const std::string& path, const std::string& content, float kb = 2.0f,
                               const std::string& host = good) {
        temp_folder t;
        put_zip(t / "a.zip", path.substr(path.rfind('/') + 1), content);
        server_->put_file(host, release + path + ".zip", read_file(t / "a.zip"));
        file_version_struct& v = add_history(path, {md5_of(content)}, 0, kb);
        v.need_install = 1;
        return v;
    }
    std::string in_copy(const std::string& rel) { return dest_dir_path + rel; }
    int run_fetch() {
        int r = 0;
        eventually([&] { return (r = grab_files()) != 0; }, hang_seconds, 100);
        return r;
    }

    temp_folder tmp_;
    static test_http_server* server_;
};
test_http_server* NetFetch::server_ = nullptr;

TEST_F(NetFetch, UpdatesACopyFromTheServer) {
    write_file(in_copy("Resources/changed.txt"), "old");
    file_version_struct& changed = serve("All/Resources/changed.txt", "new contents");
    fs::create_directories(in_copy("Resources/new/deeper"));
    file_version_struct& added =
        serve("Linux/Resources/new/deeper/added.bin", std::string(100000, 'x'), 100.0f);
    write_file(in_copy("old/deep/gone.txt"), "bye");
    write_file(in_copy("old/keep.txt"), "stays");
    add_history("All/old/deep/gone.txt", {"GONE"}).need_delete = 1;
    add_history("All/same.txt", {md5_abc}).up_to_date = 1;
    add_history("All/unwanted.txt", {md5_abc});
    fs::create_directories(in_copy("Volatra.app/Contents/MacOS"));
    serve("Linux/Volatra.app/Contents/MacOS/Volatra", "#!/bin/sh\n", 0.0f);
    stg.log_actions = 1;
    log_capture log;
    EXPECT_EQ(run_fetch(), 1);
    EXPECT_EQ(next.finished, 1);
    EXPECT_EQ(read_file(in_copy("Resources/changed.txt")), "new contents");
    EXPECT_EQ(read_file(in_copy("Resources/new/deeper/added.bin")), std::string(100000, 'x'));
    EXPECT_EQ(changed.up_to_date + added.up_to_date, 2);
    EXPECT_EQ(changed.sig_have, changed.sig_want);
    // The removed file and the folder it emptied are gone; a folder still holding a file stays.
    EXPECT_FALSE(fs::exists(in_copy("old/deep")));
    EXPECT_TRUE(fs::exists(in_copy("old/keep.txt")));
    EXPECT_EQ(next.kb_done_download, 51.0f);  // three archives of 1, 50 and 0 KB
    EXPECT_EQ(next.kb_done_install, 102.0f);
    EXPECT_EQ(stg.extract_error + stg.download_failed, 0);
    EXPECT_EQ(access(in_copy("Volatra.app/Contents/MacOS/Volatra").c_str(), X_OK), 0);
    EXPECT_TRUE(fs::is_empty(temp_path));
    EXPECT_TRUE(recorded_alerts().empty());
    for (std::string line :
         {"now we want to nuke a file: DELETING  file " + in_copy("old/deep/gone.txt") + ", with result=0.\n",
          "EXPANDING file " + in_copy("Resources/changed.txt") + ", with result=0.\n",
          "CHMODING  file " + in_copy("Volatra.app/Contents/MacOS/Volatra") + ", with result=0.\n",
          "cleanup: DELETING  file " + in_copy("old/deep/") + ", with result=0.\n"})
        EXPECT_NE(log.text().find(line), std::string::npos) << line;
}

TEST_F(NetFetch, StepsWithoutTransferNameTheirFileToo) {
    add_history("All/same.txt", {md5_abc}).up_to_date = 1;
    add_history("All/unwanted.txt", {md5_abc});
    add_history("All/old/gone.txt", {"GONE"}).need_delete = 1;
    write_file(in_copy("old/gone.txt"), "bye");
    next.active[1] = 0;  // one stream by preference: one file per step
    stg.stream_count = 1;
    std::string seen;
    for (int step = 0; step < 3; ++step) {
        EXPECT_EQ(grab_files(), 0);
        seen += std::to_string(stg.current_action) + crnt_file_name + " ";
    }
    EXPECT_EQ(seen, "2same.txt.zip 3unwanted.txt.zip 0gone.txt.zip ");
    EXPECT_EQ(crnt_file_path, std::string(release) + "All/old/gone.txt.zip");
    EXPECT_TRUE(fs::exists(in_copy("old/gone.txt")));  // it goes once every file is in
    EXPECT_EQ(grab_files(), 1);  // the stream takes the end of the list, and only then is it over
    EXPECT_FALSE(fs::exists(in_copy("old/gone.txt")));
    EXPECT_EQ(deleted_files, std::set<std::string>{in_copy("old/")});
    EXPECT_TRUE(server_->requests().empty());
}

TEST_F(NetFetch, StreamCountFollowsTheRateAndThePreference) {
    for (int i = 0; i < 6; ++i) add_history("All/f" + std::to_string(i), {md5_abc});
    next.start_time = xtim.real_time - 10.0f;  // 600 KB in 10 s: 60 KB/s asks for four streams
    next.kb_done_download = 600.0f;
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(next.active[0] + next.active[1] + next.active[2] + next.active[3], 4);
    EXPECT_EQ(next.wants_file[0], 1);
    next.cursor = 0;
    stg.stream_count = 1;  // one stream: every stream that finishes while more run stops
    EXPECT_EQ(grab_files(), 0);
    EXPECT_EQ(next.active[0] + next.active[1] + next.active[2] + next.active[3], 1);
    next.cursor = 0;
    stg.stream_count = -2;  // a hand-edited count below 1 still leaves one stream running
    int r = 0;
    for (int i = 0; i < 20 && !r; ++i) r = grab_files();
    EXPECT_EQ(r, 1);
    EXPECT_EQ(next.cursor, 6);
}

TEST_F(NetFetch, AFailedDownloadWaitsASecondSaysWhyAndTriesAnotherMirror) {
    server_->set_faults(R"({"broken.example.invalid": {"mode": "status", "status": 404}})");
    server_name[0] = bad;
    server_name[1] = good;
    stg.server_count = 2;
    stg.stream_count = 1;
    next.active[1] = 0;
    srand(3);
    file_version_struct& v = serve("All/a.txt", "from the good mirror");
    log_capture log;
    int failures = 0, r = 0;
    for (int i = 0; i < 200000 && !r; ++i) {
        r = grab_files();
        if (stg.download_failed && !http.slot(2)) {  // this very step failed
            ++failures;
            EXPECT_EQ(download_error_text, "The server answered: Not Found (#404)");
            EXPECT_FALSE(fs::exists(grab_stream_file(0)));
            for (int j = 0; j < 50; ++j) {  // no new transfer within the pause
                xtim.real_time += 0.019f;
                EXPECT_EQ(grab_files(), 0);
                ASSERT_EQ(http.slot(2), nullptr);
            }
            EXPECT_EQ(next.cursor, 1);  // the same file again, not the next one
            xtim.real_time += 0.06f;
        }
        usleep(100);
    }
    EXPECT_EQ(r, 1);
    EXPECT_GE(failures, 1);
    EXPECT_EQ(read_file(in_copy("a.txt")), "from the good mirror");
    EXPECT_EQ(v.up_to_date, 1);
    EXPECT_EQ(stg.server_index, 1);
    EXPECT_NE(log.text().find("Download of /rel/Volatra 9/All/a.txt.zip from broken.example.invalid failed: "
                              "The server answered: Not Found (#404)\n"),
              std::string::npos);

    // A refused connection is named as such.
    SetUp();
    serve("All/b.txt", "b");
    http.proxy_port = closed_port();
    eventually([] {
        grab_files();
        return stg.download_failed != 0;
    });
    EXPECT_EQ(download_error_text, error_str(ECONNREFUSED));
    http.proxy_port = server_->port();
    xtim.real_time += 1.0f;
    EXPECT_EQ(run_fetch(), 1);
}

// A mirror that never stops sending: the transfer ends once it passes the archive's size in
// the manifest, the user is told why, and the next try (another mirror) brings the file.
TEST_F(NetFetch, ADownloadPastTheManifestsSizeIsAbandoned) {
    server_name[0] = bad;
    server_name[1] = good;
    stg.server_count = 2;
    stg.stream_count = 1;
    next.active[1] = 0;
    write_file(in_copy("a.txt"), "old");
    serve("All/a.txt", "from the good mirror");  // 1 KB in the manifest: at most 1999 bytes
    for (const char* framing : {"close", "length", "chunked"}) {
        server_->set_faults(
            std::string("{\"broken.example.invalid\": {\"mode\": \"endless\", \"framing\": \"") + framing +
            "\"}}");
        stg.server_index = 0;
        stg.download_failed = 0;
        next.oversent[0] = 0;  // each framing as the mirror's first answer for the file
        eventually(
            [] {
                EXPECT_EQ(grab_files(), 0);
                return stg.download_failed != 0;
            },
            hang_seconds, 100);
        EXPECT_EQ(download_error_text, "The server sent more than the manifest says the file holds.")
            << framing;
        EXPECT_FALSE(fs::exists(grab_stream_file(0))) << framing;
        EXPECT_EQ(read_file(in_copy("a.txt")), "old");
        xtim.real_time += 1.0f;
    }
    stg.server_index = 1;
    EXPECT_EQ(run_fetch(), 1);
    EXPECT_EQ(read_file(in_copy("a.txt")), "from the good mirror");
    EXPECT_EQ(archive_max_bytes(0.0f), 1000);
    EXPECT_EQ(archive_max_bytes(-5.0f), 1000);
    EXPECT_EQ(archive_max_bytes(12.0f), 13000);
    EXPECT_EQ(archive_max_bytes(1e30f), (int64_t(1e15) + 1) * 1000);
    // A download may bring what a zip of the unpacked file takes: global scenery of 1.5 MB of
    // text whose .7z on the disc is 373 KB comes from the web as a zip of 500,064 bytes.
    EXPECT_GE(download_max_bytes(373.0f, 1500.0f), 1500000 + 1500000 / 1024 + 6 * 65535);
    EXPECT_EQ(download_max_bytes(5000.0f, 10.0f), archive_max_bytes(5000.0f));
}

// A file that every server sends larger than it can be ends the fetch as a failed one, after
// one try on each server, instead of being tried again for ever.
TEST_F(NetFetch, AFileEveryServerSendsTooLargeEndsTheFetch) {
    server_name[1] = bad;
    stg.server_count = 2;
    stg.stream_count = 1;
    next.active[1] = 0;
    write_file(in_copy("a.txt"), "old");
    serve("All/a.txt", "what the manifest lists", 1.0f, good);
    serve("All/b.txt", "never reached", 1.0f, good);
    server_->set_faults(
        R"({"mirror.example.invalid": {"mode": "endless"}, "broken.example.invalid": {"mode": "endless"}})");
    log_capture log;
    int steps = 0;
    ASSERT_TRUE(eventually(
        [&] {
            if (grab_files() != 0) return true;
            xtim.real_time += 0.25f;
            return ++steps > 1000;
        },
        hang_seconds, 100));
    EXPECT_LE(steps, 1000) << "still trying";
    EXPECT_EQ(stg.extract_error + stg.download_failed, 2);
    EXPECT_EQ(download_error_text, "The server sent more than the manifest says the file holds.");
    EXPECT_EQ(server_->requests().size(), 2u);
    EXPECT_NE(log.text().find("Every server sent All/a.txt larger than the manifest allows: giving up.\n"),
              std::string::npos);
    EXPECT_EQ(read_file(in_copy("a.txt")), "old");
    EXPECT_TRUE(fs::is_empty(temp_path));
}

// A server that sent a file larger than it can be is never asked for it again, while another
// that fails otherwise (a 503, drawn anew each time) is tried as ever until it brings the file.
TEST_F(NetFetch, AServerThatOversentAFileIsNotAskedForItAgain) {
    server_name[0] = bad;  // the top of the list: most draws give it
    server_name[1] = good;
    stg.server_count = 2;
    stg.server_index = 0;
    stg.stream_count = 1;
    next.active[1] = 0;
    write_file(in_copy("a.txt"), "old");
    serve("All/a.txt", "from the good mirror", 1.0f, good);
    server_->set_faults(R"({"broken.example.invalid": {"mode": "endless"},
                            "mirror.example.invalid": {"mode": "status", "status": 503, "count": 12}})");
    int r = 0;
    ASSERT_TRUE(eventually([&] {
        if ((r = grab_files()) != 0) return true;
        xtim.real_time += 0.25f;
        return false;
    }));
    EXPECT_EQ(r, 1);
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(read_file(in_copy("a.txt")), "from the good mirror");
    int asked_bad = 0, asked_good = 0;
    for (const std::string& q : server_->requests()) {
        asked_bad += q.find(bad) != std::string::npos;
        asked_good += q.find(good) != std::string::npos;
    }
    EXPECT_EQ(asked_bad, 1);
    EXPECT_EQ(asked_good, 13);
}

// An archive of a long run of zeros unpacks to no more than the manifest's size of its file:
// nothing of it is written, and the unpacking's failure is reported.
TEST_F(NetFetch, AnArchiveUnpackingPastItsFilesSizeWritesNothing) {
    write_file(in_copy("zeros.bin"), "old");
    const std::string zeros(4 << 20, '\0');
    serve("All/zeros.bin", zeros, 2.0f);  // digest right, size 2 KB: at most 3000 bytes unpacked
    EXPECT_EQ(run_fetch(), 1);
    EXPECT_EQ(stg.extract_error, 1);
    EXPECT_EQ(read_file(in_copy("zeros.bin")), "old");
    EXPECT_EQ(list_tree(dest_dir_path), std::vector<std::string>{"zeros.bin"});
    EXPECT_TRUE(fs::is_empty(temp_path));
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].line1 + "|" + alerts[0].line2,
              "The installer cannot extract a file.|Error: " + error_str(EFBIG));
}

TEST_F(NetFetch, ADownloadUnlikeTheManifestKeepsTheOldFile) {
    write_file(in_copy("Resources/keep.txt"), "the working old file");
    file_version_struct& v = serve("All/Resources/keep.txt", "what the manifest lists");
    v.sig_want = md5_abc;
    // A file the release moves: a stream walks its old place while the download runs, and it
    // stays when the fetch stops.
    write_file(in_copy("Old/moved.txt"), "moving");
    add_history("All/Old/moved.txt", {"GONE"}).need_delete = 1;
    EXPECT_EQ(run_fetch(), 1);  // extract_error ends the fetch
    EXPECT_EQ(stg.extract_error, 1);
    EXPECT_EQ(v.up_to_date, 0);
    EXPECT_EQ(read_file(in_copy("Resources/keep.txt")), "the working old file");
    EXPECT_EQ(list_tree(dest_dir_path), (std::vector<std::string>{"Old/moved.txt", "Resources/keep.txt"}));
    EXPECT_TRUE(fs::is_empty(temp_path));
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].type, t_alert);
    EXPECT_EQ(alerts[0].line1 + "|" + alerts[0].line2,
              "The installer cannot extract a file.|Error: " + error_str(err_zip_not_manifest));
    // The download waited for the unpacking pool under a name of its own; the report names it as
    // the stream downloaded it.
    EXPECT_EQ(alerts[0].line3, "Compressed File: " + grab_stream_file(0));
    EXPECT_EQ(alerts[0].line4, "Destination: " + in_copy("Resources/keep.txt"));
    // The next run, with the archive mended, completes the copy.
    v.sig_want = md5_of("what the manifest lists");
    stg.extract_error = 0;
    std::memset(&next, 0, sizeof(next));
    next.active[0] = next.active[1] = next.wants_file[0] = next.wants_file[1] = 1;
    EXPECT_EQ(run_fetch(), 1);
    EXPECT_EQ(stg.extract_error + stg.delete_errors, 0);
    EXPECT_EQ(list_tree(dest_dir_path), std::vector<std::string>{"Resources/keep.txt"});
    EXPECT_EQ(read_file(in_copy("Resources/keep.txt")), "what the manifest lists");
}

// The user's items where a file or its folder goes, met as the files unpack: no server can mend
// that, so each such file is one error, counted, each item shown once, and the fetch goes on with
// the others and its removals. So too a link leading out of a folder the user moved: nothing
// beyond it changes, not even the mode of a program there.
TEST_F(NetFetch, AFileWhosePlaceHoldsTheUsersItemsIsLeftOutAndTheRestGoesOn) {
    write_file(in_copy("swap/note.txt"), "the user's");
    serve("All/swap", "a file now");
    write_file(in_copy("blocked"), "the user's too");
    serve("All/blocked/sub/f.dat", "below a file");
    file_version_struct& fine = serve("All/fine.txt", "fine");
    write_file(in_copy("old/gone.txt"), "bye");
    add_history("All/old/gone.txt", {"GONE"}).need_delete = 1;
    const std::string disk = tmp_ / "disk/";
    write_file(disk + "Contents/MacOS/prog", "the user's program");
    ASSERT_EQ(chmod((disk + "Contents/MacOS/prog").c_str(), 0600), 0);
    fs::create_directories(disk + "Res");
    ASSERT_EQ(
        symlink((disk + "Res").c_str(), in_copy("moved").c_str()) + symlink("..", (disk + "Res/up").c_str()),
        0);
    serve("All/moved/up/Contents/MacOS/prog", "a program");
    serve("All/moved/up/Contents/MacOS/lib", "a library");
    // And a link to a disk that is away: nothing is made where it leads.
    ASSERT_EQ(symlink((tmp_ / "unmounted/away").c_str(), in_copy("away").c_str()), 0);
    serve("All/away/x.dat", "on a disk that is away");
    // And the user's link to a folder where a file goes, never replaced.
    write_file(in_copy("mine/m.txt"), "the user's");
    ASSERT_EQ(symlink("mine", in_copy("ulink").c_str()), 0);
    serve("All/ulink", "a file");
    log_capture log;
    EXPECT_EQ(run_fetch(), 1);
    EXPECT_EQ(stg.extract_error, 0);
    EXPECT_EQ(stg.place_errors, 6);
    EXPECT_EQ(fine.up_to_date, 1);
    EXPECT_EQ(list_tree(dest_dir_path), (std::vector<std::string>{"away", "blocked", "fine.txt", "mine/m.txt",
                                                                  "moved", "swap/note.txt", "ulink"}));
    EXPECT_FALSE(path_exists(tmp_ / "unmounted"));
    EXPECT_EQ(list_tree(disk), (std::vector<std::string>{"Contents/MacOS/prog", "Res/up"}));
    EXPECT_EQ(read_file(disk + "Contents/MacOS/prog"), "the user's program");
    EXPECT_EQ(fs::status(disk + "Contents/MacOS/prog").permissions(), fs::perms(0600));
    // Each item once, with its own sentence, whatever the order the files came in.
    const std::map<std::string, std::string> said = {
        {"swap",
         "Something of yours stands at swap, where the release puts files, so 1 file that goes there "
         "is left out."},
        // Met as files unpack, an item on their way keeps out files not counted then.
        {"blocked",
         "Something of yours stands at blocked, where the release puts files, so the files that go "
         "there are left out."},
        {"moved/up", "The link moved/up leads outside the folder you moved and linked, " +
                         fs::canonical(disk).string() + "/Res/, so the files of the release beyond it are"},
        {"away", "The link away leads to " + tmp_ / "unmounted/away" + ", where nothing is found now"},
        {"ulink",
         "Something of yours stands at ulink, where the release puts files, so 1 file that goes there is "
         "left "
         "out."}};
    std::set<std::string> places;
    for (const auto& a : recorded_alerts()) {
        const std::string item = a.line3.substr(12 + dest_dir_path.size());
        EXPECT_TRUE(said.count(item) && a.line1.rfind(said.at(item), 0) == 0) << a.line1;
        places.insert(item);
    }
    EXPECT_EQ(places.size(), said.size());
    EXPECT_EQ(recorded_alerts().size(), said.size());
    EXPECT_TRUE(said.count(first_taken_place.substr(dest_dir_path.size()))) << first_taken_place;
    EXPECT_NE(log.text().find("LEFT OUT  file " + in_copy("blocked/sub/f.dat") + ": " + in_copy("blocked")),
              std::string::npos);
}

TEST_F(NetFetch, NoUsableServerAndUnsafePaths) {
    serve("All/a.txt", "a");
    stg.server_count = 0;
    stg.server_index = -1;
    EXPECT_EQ(grab_files(), 1);
    EXPECT_EQ(stg.download_failed + stg.extract_error, 2);
    EXPECT_TRUE(server_->requests().empty());

    stg.server_count = 1;  // a listed server but an index outside the list: a valid one is drawn
    stg.server_index = 7;
    stg.extract_error = 0;
    next.cursor = 0;
    next.wants_file[0] = next.wants_file[1] = 1;
    write_file(tmp_ / "outside.txt", "precious");
    add_history("All/../outside.txt", {"GONE"}).need_delete = 1;
    EXPECT_EQ(run_fetch(), 1);
    EXPECT_EQ(stg.server_index, 0);
    EXPECT_EQ(read_file(in_copy("a.txt")), "a");
    EXPECT_EQ(read_file(tmp_ / "outside.txt"), "precious");
}

TEST(NetFetchFormat, NewFormatSendsTheUserToTheDownloadPage) {
    reset_recorders();
    new_format("/tmp/serverlist9.txt");
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].type, t_alert);
    EXPECT_EQ(alerts[0].line2 + "|" + alerts[0].line4,
              "In other words, you need to get a new installer!|/tmp/serverlist9.txt");
    EXPECT_EQ(recorded_urls().size(), 1u);
    EXPECT_EQ(stg.new_format_flag + app_done, 3);
    app_done = 0;
}

}  // namespace

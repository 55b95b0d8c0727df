// The server list: its records as the reader takes them, the pick of the first server, and the
// fetch of the list and the manifest from the loopback server, with failing mirrors.
#include "wizard/server_list.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "common/recorders.h"
#include "core/globals.h"
#include "core/time_keeper.h"
#include "engine_helpers.h"
#include "files/archives.h"
#include "files/errors.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "net/http_client.h"
#include "web_helpers.h"
#include "wizard_helpers.h"

namespace {

const std::string header = "A\n820 version of the list\nSERVERS\n";

class ServerList : public ::testing::Test {
protected:
    // The list file in the temporary folder, read with get_beta as given.
    int read(const std::string& body, int beta = 0) {
        stg.get_beta = beta;
        return read_server_list(w.root.write("serverlist9.txt", body));
    }
    wizard_world w;
    log_capture log;
};

TEST_F(ServerList, RecordsAsTheReaderTakesThem) {
    EXPECT_EQ(read(header +
                   "SERVER early.test\n/early/\nUses the name read so far\n"
                   "BETA_INSTALLER_MAC http://x/y.zip\nSERVERS 3\nserver lower.test\n/lower/\nx\n"
                   "  FINAL   Volatra 9.10r1  \n\n\t\n"
                   "SERVER  spaced.test \n  /spaced/\n\n  Mirror two|Spaced out\n"
                   "ENDOFLIST\nSERVER after.test\n/after/\nnot read\n"),
              2);
    EXPECT_EQ(install_name, "Volatra 9.10r1  ");  // inner and trailing blanks belong to the value
    EXPECT_EQ(server_path[0], "/early/Not Yet Scanned/");
    EXPECT_EQ(server_name[1], "spaced.test ");
    EXPECT_EQ(server_path[1], "/spaced/Volatra 9.10r1  /");
    EXPECT_EQ(server_desc[1], "Mirror two|Spaced out");

    // BETA only with the preference; a list without the wanted line leaves the name alone.
    install_name = "kept";
    EXPECT_EQ(read(header + "FINAL Final\nSERVER a.test\n/a/\nA\n", 1), 1);
    EXPECT_EQ(install_name, "kept");
    EXPECT_EQ(read(header + "FINAL Final\nBETA Beta\nSERVER a.test\n/a/\nA\n", 1), 1);
    EXPECT_EQ(server_path[0], "/a/Beta/");
    // A release name that cannot be a folder is ignored.
    EXPECT_EQ(read(header + "FINAL ../up\nSERVER a.test\n/a/\nA\n"), 1);
    EXPECT_EQ(server_path[0], "/a/Beta/");
}

TEST_F(ServerList, UnusableRecordsAreDroppedAndTheTablesHoldTen) {
    EXPECT_EQ(read(header + "FINAL R\nSERVER\n/bare/\nno host\nSERVER slash.test/\n/s/\nx\n"
                            "SERVER nopath.test\nrel/\nx\nSERVER good.test\n/g/\nGood\n"),
              1);
    EXPECT_EQ(server_name[0], "good.test");
    EXPECT_NE(log.text().find("dropped the server \"\" \"/bare/\" with no host"), std::string::npos) << log.text();
    EXPECT_NE(log.text().find("a host ending in '/'"), std::string::npos);
    EXPECT_NE(log.text().find("a path not starting with '/'"), std::string::npos);

    std::string twelve = header + "FINAL R\n";
    for (int i = 0; i < 12; ++i) twelve += "SERVER m" + std::to_string(i) + ".test\n/r/\nd\n";
    EXPECT_EQ(read(twelve), 10);
    EXPECT_EQ(server_name[9], "m9.test");
    EXPECT_NE(log.text().find("\"m10.test\" left out"), std::string::npos);
}

TEST_F(ServerList, AWrongOrMissingHeaderIsRefused) {
    EXPECT_EQ(read(""), -1);
    EXPECT_EQ(read("A\n821 version\nSERVERS\nSERVER a.test\n/a/\nA\n"), -1);
    EXPECT_EQ(read("A\n820 version\nSERVERS2\n"), -1);
    EXPECT_EQ(read_server_list(w.root / "missing.txt"), -1);
    EXPECT_EQ(read(header + "FINAL R\n"), 0);
}

TEST(ServerPick, TheFirstPickFavoursTheTopAndRetriesTakeAny) {
    // Evenly spread values of rand(): each index's share is ((k+1)/n)^(2/3) - (k/n)^(2/3).
    int hits[4] = {};
    const int samples = 100000;
    for (int i = 0; i < samples; ++i) ++hits[biased_server_index(static_cast<int>(2147483647.0 * i / samples), 4)];
    const double expected[4] = {0.397, 0.233, 0.200, 0.170};
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(hits[k] / double(samples), expected[k], 0.005) << k;
    EXPECT_EQ(biased_server_index(2147483647, 4), 3);  // u rounds to 1: clamped
    EXPECT_EQ(biased_server_index(0, 1), 0);
    EXPECT_EQ(uniform_server_index(7, 1), 0);
    EXPECT_EQ(uniform_server_index(7, 3), 1);
}

// The fetch against the loopback server.
class ServerFetch : public ::testing::Test {
protected:
    static void SetUpTestSuite() { web_ = new web_server(); }
    static void TearDownTestSuite() { delete web_; }
    void SetUp() override {
        web_->http_server().clear();
        reset_recorders();
        xtim.real_time = 100;
        srand(1);
    }
    // Steps on the test clock until pred holds.
    template <class Pred>
    bool steps_until(Pred pred) {
        return steps_while_not(
            [] {
                UTL_download_directory();
                step_clock();
            },
            pred);
    }
    // As a new run of the program starts: no list, no manifest.
    void fresh_run() {
        stg.server_count = -1;
        stg.dir_state = 0;
        install_name = no_install_name;
    }
    wizard_world w;
    log_capture log;
    static web_server* web_;
};
web_server* ServerFetch::web_ = nullptr;

TEST_F(ServerFetch, AFailingMirrorIsLeftForAnotherAndTheManifestIsRead) {
    web_->server_list("R2", {"bad.test", "good.test"});
    web_->publish("R2", {{"All/Resources/a.txt", "abc"}}, {"good.test"});
    web_->faults(R"({"bad.test": {"mode": "status", "status": 404}})");
    for (int round = 0; round < 20; ++round) {
        fresh_run();
        ASSERT_TRUE(steps_until([] { return stg.dir_state == 3; })) << log.text();
        EXPECT_EQ(install_name, "R2");
        EXPECT_EQ(stg.server_index, 1);
        ASSERT_EQ(sim_info.size(), 1u);
        EXPECT_EQ(sim_info[0].versions.back().sig_want, md5_text("abc"));
        EXPECT_FALSE(path_exists(w.temp() + "directory.txt.zip"));
    }
    EXPECT_NE(log.text().find("Could not fetch the manifest from bad.test: status 404"), std::string::npos) << log.text();
}

TEST_F(ServerFetch, AFailedListIsAskedForAgainOnlyAfterAPause) {
    web_->server_list("R2", {"good.test"});
    web_->faults("{\"" + std::string(server_list_host) + "\": {\"mode\": \"status\", \"status\": 500, \"count\": 1}}");
    ASSERT_TRUE(steps_until([&] { return web_->request_lines().size() == 1 && !http.slot(0); }));
    for (int i = 0; i < 50; ++i) {
        UTL_download_directory();
        xtim.real_time += 0.01f;
    }
    EXPECT_EQ(web_->request_lines().size(), 1u);  // half a second later: still the one request
    xtim.real_time += 0.6f;
    EXPECT_TRUE(steps_until([] { return stg.server_count == 1; }));
    EXPECT_EQ(web_->request_lines().size(), 2u);
}

// Servers that never stop sending: the list is cut off at its cap, the manifest announced past
// its cap is refused at once; both are fetched again and neither leaves a file behind.
TEST_F(ServerFetch, EndlessDownloadsAreCutOffAtTheirCaps) {
    web_->server_list("R2", {"good.test"});
    web_->publish("R2", {{"All/a.txt", "abc"}}, {"good.test"});
    web_->faults("{\"" + std::string(server_list_host) + "\": {\"mode\": \"endless\", \"count\": 1}}");
    ASSERT_TRUE(steps_until([&] { return web_->request_lines().size() == 1 && !http.slot(0); }));
    EXPECT_EQ(http.last_failure(0).os_err, EFBIG);
    EXPECT_FALSE(path_exists(w.temp() + "serverlist9.txt"));
    EXPECT_EQ(stg.server_count, -1);
    xtim.real_time += server_retry_pause;
    ASSERT_TRUE(steps_until([] { return stg.server_count == 1; }));

    web_->faults(R"({"good.test": {"mode": "endless", "framing": "length", "count": 1}})");
    ASSERT_TRUE(steps_until([&] { return web_->request_lines().size() == 3 && !http.slot(1); }));
    EXPECT_EQ(http.last_failure(1).os_err, EFBIG);
    EXPECT_FALSE(path_exists(w.temp() + "directory.txt.zip"));
    EXPECT_EQ(stg.dir_state, 0);
    xtim.real_time += server_retry_pause;
    ASSERT_TRUE(steps_until([] { return stg.dir_state == 3; }));
    EXPECT_NE(log.text().find("Could not fetch the server list from " + std::string(server_list_host) +
                              ": status 200 OK, error 27\n"),
              std::string::npos)
        << log.text();
}

TEST_F(ServerFetch, AListWithoutServersIsRefusedAndANewerFormatEndsTheProgram) {
    web_->http_server().put_file(server_list_host, "/serverlist9.txt", header + "FINAL R2\nENDOFLIST\n");
    ASSERT_TRUE(steps_until([] { return stg.dir_state == 2; }));
    EXPECT_EQ(stg.server_count, 0);
    for (int i = 0; i < 5; ++i) UTL_download_directory();
    EXPECT_EQ(web_->request_lines().size(), 1u);

    fresh_run();
    web_->faults("{\"" + std::string(server_list_host) + "\": {\"mode\": \"html\"}}");
    ASSERT_TRUE(steps_until([] { return app_done != 0; }));
    EXPECT_EQ(stg.new_format_flag, 2);
    EXPECT_EQ(stg.server_count, -1);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line4, w.temp() + "serverlist9.txt");
    EXPECT_EQ(recorded_urls().size(), 1u);
}

TEST_F(ServerFetch, AManifestArchiveThatIsNoZipIsReportedAndFetchedAgain) {
    web_->server_list("R2", {"good.test"});
    web_->publish("R2", {{"All/a.txt", "abc"}}, {"good.test"});
    web_->faults(R"({"good.test": {"mode": "html", "count": 1}})");
    ASSERT_TRUE(steps_until([] { return stg.dir_state == 3; }));
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line1, "The installer cannot extract a file.");
    EXPECT_EQ(recorded_alerts()[0].line3, "Compressed File/" + w.temp() + "directory.txt.zip");
    // Only the manifest leaves the archive, under its own name.
    EXPECT_EQ(read_lines(w.temp() + "directory.txt")[2], "INSTALLER");
}

// A small manifest archive of a long run of zeros unpacks to no more than the manifest's cap:
// nothing of it is written, and the unzip failure is reported.
TEST_F(ServerFetch, AManifestArchiveUnpackingPastItsCapWritesNothing) {
    web_->server_list("R2", {"good.test"});
    {
        temp_folder t;
        make_sparse_file(t / "directory.txt", manifest_max_bytes + 1);
        ASSERT_EQ(file_to_zip(t / "directory.txt", t / "directory.txt.zip"), 0);
        web_->http_server().put_file("good.test", "/rel/R2/directory.txt.zip", read_file(t / "directory.txt.zip"));
    }
    ASSERT_TRUE(steps_until([] { return !recorded_alerts().empty(); })) << log.text();
    EXPECT_EQ(recorded_alerts()[0].line1 + "|" + recorded_alerts()[0].line2,
              "The installer cannot extract a file.|Error: " + error_str(EFBIG));
    EXPECT_EQ(stg.dir_state, 0);
    EXPECT_EQ(list_tree(w.temp()), (std::vector<std::string>{".keep", "serverlist9.txt"}));
}

}  // namespace

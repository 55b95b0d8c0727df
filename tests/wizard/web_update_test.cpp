// The web updater's screens against the loopback server: a whole update, a copy with only
// deletions to make, Back during the run and during the scan, the copy given with "-path", and
// the run's texts.
#include "wizard/web_update.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>

#include "common/recorders.h"
#include "core/globals.h"
#include "core/time_keeper.h"
#include "files/file_operations.h"
#include "files/md5.h"
#include "install/checksum.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "install/net_fetch.h"
#include "net/http_client.h"
#include "web_helpers.h"
#include "wizard/copies.h"
#include "wizard/server_list.h"
#include "wizard/start_copy.h"
#include "wizard_helpers.h"

namespace {

const char mirror[] = "mirror1.test";

// Bytes deflate cannot shrink, so the archives are as large as the files.
std::string noise(size_t n, unsigned seed) {
    std::string s(n, '\0');
    uint32_t x = 2463534242u + seed;
    for (char& c : s) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    return s;
}

class WebUpdate : public ::testing::Test {
protected:
    static void SetUpTestSuite() { web_ = new web_server(); }
    static void TearDownTestSuite() { delete web_; }
    void SetUp() override {
        web_->http_server().clear();
        reset_recorders();
        xtim.real_time = 100;
        g_wizard = nullptr;
        wizard_frame();
        app_done = 0;
        cmd_line_path.clear();
        copy = w.root / "Volatra 9/";
        for (const char* d : {"Airfoils", "Instructions", "Output", "Resources"})
            write_file(copy + d + "/.keep", "");
        server_port = http.proxy_port;
    }
    void TearDown() override {
        http.proxy_port = server_port;  // however the test ends
        g_wizard = nullptr;
        wizard_frame();
        app_done = 0;
        cmd_line_path.clear();
    }
    void register_copy() {
        dest_dir_path = copy;
        register_new_volatra();
    }
    // The update from net_start up to the screen target.
    void run_until(screen_fn target) {
        g_wizard = net_start;
        ASSERT_TRUE(frames_while_not([&] {
            if (g_wizard == target) return true;
            if (g_wizard == net_start || g_wizard == net_check_disk) wizard_frame(720, 20, true);  // Next
            return false;
        })) << "stuck at "
            << wizard_screen_name(g_wizard) << "\n"
            << log.text();
    }
    // Half a second of the clock per frame: the pauses between tries pass, no wall-clock wait.
    void frames_for(float seconds) {
        for (float t = 0; t < seconds; t += 0.5f) {
            xtim.real_time += 0.5f;
            paint.clear();
            wizard_frame();
        }
    }
    void expect_file(const std::string& rel, const std::string& content) {
        EXPECT_EQ(read_file(copy + rel), content) << rel;
    }
    void expect_no_stream_files() {
        for (int s = 0; s < 4; ++s) EXPECT_FALSE(path_exists(w.temp() + std::to_string(s) + ".zip")) << s;
        for (int s = 2; s < 6; ++s) EXPECT_EQ(http.slot(s), nullptr) << s;
    }

    wizard_world w;
    log_capture log;
    paint_recorder paint;
    std::string copy;
    // The test server's port, which tests may swap for a closed one.
    uint32_t server_port = 0;
    static web_server* web_;
};
web_server* WebUpdate::web_ = nullptr;

TEST_F(WebUpdate, BringsTheCopyToTheReleaseAndKeepsItsScenery) {
    register_copy();
    write_file(copy + "Resources/changed.txt", "old text");
    write_file(copy + "Resources/old stuff/legacy/old.dat", "legacy");
    write_file(copy + "Global Scenery/-global terrain-/+40-130/+47-123.dsf", "tile");
    write_file(copy + "Output/mine.txt", "the user's own");
    web_->server_list("R2", {mirror});
    web_->publish("R2",
                  {{"All/Resources/changed.txt", "new text", false, {"old text"}},
                   {"All/Resources/new stuff/added.txt", "added"},
                   {"All/Resources/old stuff/legacy/old.dat", "", true, {"legacy"}},
                   {"All/Global Scenery/-global terrain-/+40-130/+47-123.dsf", "tile"},
                   {"All/Global Scenery/-global terrain-/+30-120/+33-117.dsf", "a tile the copy never had"}},
                  {mirror});
    run_until(net_done);
    expect_file("Resources/changed.txt", "new text");
    expect_file("Resources/new stuff/added.txt", "added");
    expect_file("Output/mine.txt", "the user's own");
    expect_file("Global Scenery/-global terrain-/+40-130/+47-123.dsf", "tile");
    EXPECT_FALSE(path_exists(copy + "Global Scenery/-global terrain-/+30-120"));
    EXPECT_FALSE(path_exists(copy + "Resources/old stuff"));  // emptied folders pruned
    expect_no_stream_files();
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "I have finished updating " + copy + "."));
    EXPECT_TRUE(drawn_text(paint, "Fly Volatra Now"));
    EXPECT_EQ(step_names.size(), 5u);  // one copy: no step to pick it

    // Run again: nothing to do.
    run_until(net_done);
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "This copy of Volatra (" + copy + ") is already up to date."));
}

TEST_F(WebUpdate, FilesOnlyToDeleteAreDeletedThoughNothingIsFetched) {
    register_copy();
    write_file(copy + "Resources/kept.txt", "kept");
    write_file(copy + "Resources/dropped.txt", "dropped");
    web_->server_list("R2", {mirror});
    web_->publish("R2",
                  {{"All/Resources/kept.txt", "kept"}, {"All/Resources/dropped.txt", "", true, {"dropped"}}},
                  {mirror});
    run_until(net_check_disk);
    frames_while_not([] { return g_wizard != net_check_disk; }, 3);
    EXPECT_EQ(g_wizard, net_check_disk);  // waits for Next instead of calling the copy up to date
    run_until(net_done);
    EXPECT_FALSE(path_exists(copy + "Resources/dropped.txt"));
    expect_file("Resources/kept.txt", "kept");
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "I have finished updating "));
}

// A file the release dropped that will not go (a folder of the user's stands there since the
// scan) ends the update with its error text; so does a file whose place holds the user's folder,
// named there: neither is the server's fault.
TEST_F(WebUpdate, AFileThatCannotBeDeletedEndsTheUpdateWithItsErrorText) {
    register_copy();
    write_file(copy + "Resources/dropped.txt", "dropped");
    write_file(copy + "Resources/swap/note.txt", "the user's");
    web_->server_list("R2", {mirror});
    web_->publish("R2",
                  {{"All/Resources/dropped.txt", "", true, {"dropped"}}, {"All/Resources/swap", "a file"}},
                  {mirror});
    run_until(net_check_disk);
    remove_tree(copy + "Resources/dropped.txt");
    write_file(copy + "Resources/dropped.txt/mine", "x");
    ASSERT_TRUE(frames_while_not([] {
        if (g_wizard == net_check_disk) wizard_frame(720, 20, true);  // Next
        return g_wizard == net_done;
    })) << log.text();
    paint.clear();
    wizard_frame();
    const painted* text = drawn_text(paint, "There were problems updating Volatra.");
    ASSERT_TRUE(text) << log.text();
    EXPECT_NE(text->text.find("such as:\n" + copy + "Resources/swap"), std::string::npos) << text->text;
    EXPECT_EQ(text->text.find("different server"), std::string::npos) << text->text;
    EXPECT_EQ(read_file(copy + "Resources/dropped.txt/mine"), "x");
    EXPECT_EQ(read_file(copy + "Resources/swap/note.txt"), "the user's");
}

// Files left out where the user's items stand, or beyond a link to a disk that is away, are a run's
// only trouble: the finish screen says so, blames no server and offers no flight; each item was
// told once, and its files were never asked for. Each later run in the same session starts from no
// files left out: with one item moved away it tells of the other anew, a single file left out is
// told as one, and with every item moved it brings the files and finishes clean.
TEST_F(WebUpdate, FilesLeftOutAloneAreAProblemAndEachRunStartsAfresh) {
    register_copy();
    write_file(copy + "Resources/swap/note.txt", "the user's");
    write_file(copy + "Resources/blocked", "the user's too");
    ASSERT_EQ(symlink((w.root / "unmounted/away").c_str(), (copy + "Resources/away").c_str()), 0);
    web_->server_list("R2", {mirror});
    web_->publish("R2",
                  {{"All/Resources/swap", "a file"},
                   {"All/Resources/blocked/a.dat", "a"},
                   {"All/Resources/blocked/b.dat", "b"},
                   {"All/Resources/away/x.dat", "x"},
                   {"All/Resources/fine.txt", "fine"}},
                  {mirror});
    const auto finish_text = [&] {
        paint.clear();
        wizard_frame();
        const painted* text = drawn_text(paint, "There were problems updating Volatra.");
        EXPECT_FALSE(drawn_text(paint, "Fly Volatra Now"));
        return text ? text->text : log.text();
    };
    run_until(net_done);
    const std::string first = finish_text();
    EXPECT_NE(first.find("\n\n4 files could not be put in place"), std::string::npos) << first;
    EXPECT_EQ(first.find("different server"), std::string::npos) << first;
    EXPECT_EQ(recorded_alerts().size(), 3u);
    for (const std::string& request : web_->http_server().requests())
        EXPECT_TRUE(request.find("swap") == std::string::npos &&
                    request.find("blocked") == std::string::npos && request.find("away") == std::string::npos)
            << request;
    expect_file("Resources/fine.txt", "fine");
    EXPECT_FALSE(path_exists(w.root / "unmounted"));
    ASSERT_EQ(unlink((copy + "Resources/away").c_str()), 0);
    remove_tree(copy + "Resources/swap");
    reset_recorders();
    run_until(net_done);
    EXPECT_NE(
        finish_text().find("\n\n2 files could not be put in place because something of yours stands where "
                           "they go, such as:\n" +
                           copy + "Resources/blocked\n"),
        std::string::npos);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line3, "In the way: " + copy + "Resources/blocked");
    expect_file("Resources/swap", "a file");
    remove_tree(copy + "Resources/blocked");
    write_file(copy + "Resources/blocked/a.dat/mine.txt", "the user's");
    run_until(net_done);
    EXPECT_NE(
        finish_text().find("\n\n1 file could not be put in place because something of yours stands where it "
                           "goes, such as:\n" +
                           copy + "Resources/blocked/a.dat\n"),
        std::string::npos);
    remove_tree(copy + "Resources/blocked/a.dat");
    run_until(net_done);
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "I have finished updating " + copy + ".")) << log.text();
    EXPECT_TRUE(drawn_text(paint, "Fly Volatra Now"));
    expect_file("Resources/blocked/b.dat", "b");
}

// The release's Output/a/L -> ../../x, written before the user moved Output/a up to a and linked
// it: no move of the user's, with the link's history in the manifest and without. The update
// writes and removes nothing beside the copy, tells of the link once, and goes on with the rest.
TEST_F(WebUpdate, AReleaseLinkInAFolderMovedUpInsideTheCopyIsNoMove) {
    register_copy();
    write_file(w.root / "x/victim.txt", "the user's");
    write_file(copy + "a/.keep", "");
    ASSERT_EQ(symlink("../../x", (copy + "a/L").c_str()) + symlink("../a", (copy + "Output/a").c_str()), 0);
    web_->server_list("R2", {mirror});
    for (const bool history : {false, true}) {
        const std::string release = history ? "with history" : "without";
        std::vector<web_file> files = {{"All/Output/a/L/evil.txt", "evil"},
                                       {"All/Output/a/L/victim.txt", "", true, {"the user's"}},
                                       {"All/Resources/" + release + ".txt", release}};
        if (history) files.push_back({"All/Output/a/L", "../../x"});
        web_->publish("R2", files, {mirror});
        reset_recorders();
        stg.dir_state = 0;  // the manifest fetched anew, as by a new start of the program
        run_until(net_done);
        paint.clear();
        wizard_frame();
        const painted* text = drawn_text(paint, "There were problems updating Volatra.");
        ASSERT_TRUE(text) << log.text();
        EXPECT_NE(
            text->text.find("1 file could not be put in place because something of yours stands where it "
                            "goes, such as:\n" +
                            copy + "a/L\n"),
            std::string::npos)
            << text->text;
        EXPECT_EQ(recorded_alerts().size(), 1u);
        EXPECT_FALSE(path_exists(w.root / "x/evil.txt"));
        EXPECT_EQ(read_file(w.root / "x/victim.txt"), "the user's");
        expect_file("Resources/" + release + ".txt", release);
    }
}

TEST_F(WebUpdate, BackDuringTheRunStopsItsTransfersAndEveryFileEndsRight) {
    register_copy();
    std::vector<web_file> files;
    for (int i = 0; i < 4; ++i)
        files.push_back({"All/Resources/f" + std::to_string(i) + ".bin", noise(30000 + i, i)});
    // Where a stream's archive once was looked for inside the copy: a file of the user's.
    write_file(copy + "Resources/f0.bin.zip", "the user's");
    web_->server_list("R2", {mirror});
    web_->publish("R2", files, {mirror});
    // Every archive is held half sent: the run is surely under way when Back comes.
    web_->faults(R"({"mirror1.test/rel/R2/All/": {"mode": "hold"}})");
    run_until(net_run_patch);
    ASSERT_TRUE(frames_while_not([] { return http.slot(2) && http.slot(2)->received() > 0; })) << log.text();
    wizard_frame(600, 20, true);  // Back
    wizard_frame();
    EXPECT_EQ(g_wizard, net_check_disk);
    expect_no_stream_files();
    expect_file("Resources/f0.bin.zip", "the user's");
    web_->faults("{}");
    run_until(net_done);
    for (const web_file& f : files)
        EXPECT_EQ(md5sum_of(copy + f.path.substr(4)), md5_text(f.content)) << f.path;
    expect_no_stream_files();
}

// The run's preparation removes only what stands where the release puts something (here a file
// where a folder goes); a file merely dropped stays until the fetch has brought every file.
TEST_F(WebUpdate, ThePreparationRemovesOnlyWhatIsInTheWay) {
    register_copy();
    write_file(copy + "Resources/swap", "a file where a folder goes");
    write_file(copy + "Resources/dropped.txt", "dropped");
    web_->server_list("R2", {mirror});
    web_->publish("R2",
                  {{"All/Resources/swap", "", true, {"a file where a folder goes"}},
                   {"All/Resources/swap/a.dat", "the release's"},
                   {"All/Resources/dropped.txt", "", true, {"dropped"}}},
                  {mirror});
    web_->faults(R"({"mirror1.test/rel/R2/All/": {"mode": "hold"}})");
    run_until(net_run_patch);
    wizard_frame();  // the preparation, and a fetch that cannot end
    ASSERT_EQ(g_wizard, net_run_patch);
    EXPECT_TRUE(dir_exists(copy + "Resources/swap/"));
    expect_file("Resources/dropped.txt", "dropped");
    wizard_frame(600, 20, true);  // Back
    web_->faults("{}");
    run_until(net_done);
    expect_file("Resources/swap/a.dat", "the release's");
    EXPECT_FALSE(path_exists(copy + "Resources/dropped.txt"));
}

// A copy deleted while the update waits to run is neither fetched anew nor locked: the updater
// starts over and finds no copy.
TEST_F(WebUpdate, ACopyDeletedBeforeTheRunIsNotMadeAnew) {
    register_copy();
    web_->server_list("R2", {mirror});
    web_->publish("R2", {{"All/Resources/added.txt", "added"}}, {mirror});
    run_until(net_check_disk);
    ASSERT_EQ(recursive_delete_folder(copy), 0);
    wizard_frame(720, 20, true);  // Next
    frames_for(2);
    EXPECT_EQ(g_wizard, net_start);
    EXPECT_FALSE(path_exists(copy));
    EXPECT_TRUE(drawn_text(paint, "You do not appear to have Volatra 9 installed."));
}

// A failed download says why on the screen, not only in the log, and the fetch goes on.
TEST_F(WebUpdate, AFailedDownloadShowsItsCause) {
    register_copy();
    web_->server_list("R2", {mirror});
    web_->publish("R2", {{"All/Resources/f.bin", "the release's file"}}, {mirror});
    web_->faults(
        R"({"mirror1.test/rel/R2/All/Resources/f.bin.zip": {"mode": "status", "status": 404, "count": 1}})");
    run_until(net_run_patch);
    ASSERT_TRUE(frames_while_not([] { return stg.download_failed != 0; })) << log.text();
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "I can not download the file '/rel/R2/All/Resources/f.bin.zip'"));
    EXPECT_TRUE(drawn_text(paint, "What went wrong: The server answered: Not Found (#404)"));
    run_until(net_done);
    expect_file("Resources/f.bin", "the release's file");
}

// Servers out of reach (the proxy's port closed, then a mirror that resets every connection): after
// a while the search says where and why, goes on trying, and Back and Quit still work.
TEST_F(WebUpdate, AnUnreachableServerIsReportedWithItsCauseWhileTheSearchGoesOn) {
    register_copy();
    web_->server_list("R2", {mirror});
    web_->publish("R2", {{"All/Resources/f.bin", "the release's file"}}, {mirror});
    http.proxy_port = closed_port();
    run_until(net_get_updates);
    frames_for(server_unreachable_after / 2);
    EXPECT_TRUE(drawn_text(paint, "I am contacting " + std::string(server_list_host)));
    frames_for(server_unreachable_after);
    EXPECT_TRUE(drawn_text(paint, "I can not reach " + std::string(server_list_host) +
                                      " through the proxy 127.0.0.1:" + std::to_string(http.proxy_port) +
                                      "."))
        << log.text();
    EXPECT_TRUE(drawn_text(paint, "What went wrong: Connection refused"));
    EXPECT_NE(log.text().find(" cannot be reached (Connection refused); the installer keeps trying."),
              std::string::npos);
    wizard_frame(600, 20, true);  // Back
    EXPECT_EQ(g_wizard, net_pick_dest);

    http.proxy_port = server_port;
    web_->faults(R"({"mirror1.test": {"mode": "refuse"}})");
    run_until(net_get_updates);
    ASSERT_TRUE(frames_while_not(
        [&] { return log.text().find("Could not fetch the manifest") != std::string::npos; }));
    frames_for(server_unreachable_after);
    EXPECT_TRUE(drawn_text(paint, "I can not reach mirror1.test through the proxy"));
    EXPECT_TRUE(drawn_text(paint, "What went wrong: Connection reset by the server"));
    EXPECT_EQ(g_wizard, net_get_updates);
    wizard_frame(50, 20, true);  // Quit
    EXPECT_EQ(app_done, 1);
    app_done = 0;

    // The tries went on: once the mirror answers, the update goes through.
    web_->faults("{}");
    run_until(net_done);
    expect_file("Resources/f.bin", "the release's file");
}

// A new search after Back and a change of proxy starts without the old report; a proxy that
// answers with its own error is the cause, and the report stays while such an answer comes in,
// in place of the manifest's progress.
TEST_F(WebUpdate, EachSearchStartsAfreshAndAProxysErrorAnswerKeepsTheReport) {
    register_copy();
    web_->server_list("R2", {mirror});
    web_->publish("R2", {{"All/Resources/f.bin", "the release's file"}}, {mirror});
    http.proxy_port = closed_port();
    run_until(net_get_updates);
    frames_for(server_unreachable_after + 1);
    EXPECT_TRUE(drawn_text(paint, "What went wrong: Connection refused"));
    wizard_frame(600, 20, true);  // Back
    ASSERT_EQ(g_wizard, net_pick_dest);

    // The proxy that works answers for the mirror with its own error; with "released" 0 it holds
    // each answer after the head and the body's first bytes.
    http.proxy_port = server_port;
    const auto gateway_fails = [&](int released, const std::string& also = "") {
        web_->faults("{" + also + R"("mirror1.test": {"mode": "script", "released": )" +
                     std::to_string(released) +
                     R"(, "script": [["HTTP/1.1 502 Bad Gateway\r\nContent-Length: 8\r\n\r\nbad", "release"],
                                     ["gate\n", 0]]}})");
    };
    // The list is held back over the new search's first frame, which a quick answer could
    // otherwise pass.
    gateway_fails(1, "\"" + std::string(server_list_host) + "\": {\"mode\": \"hold\"}, ");
    wizard_frame();
    wizard_frame(720, 20, true);  // Next
    ASSERT_EQ(g_wizard, net_get_updates);
    paint.clear();
    wizard_frame();  // the new search's first frame
    EXPECT_TRUE(drawn_text(paint, "I am contacting " + std::string(server_list_host)));
    EXPECT_FALSE(drawn_text(paint, "What went wrong"));
    gateway_fails(1);

    ASSERT_TRUE(frames_while_not(
        [&] { return log.text().find("Could not fetch the manifest") != std::string::npos; }));
    frames_for(server_unreachable_after);
    EXPECT_TRUE(drawn_text(paint, "I can not reach mirror1.test through the proxy"));
    EXPECT_TRUE(drawn_text(paint, "What went wrong: The server answered: Bad Gateway (#502)"));
    gateway_fails(0);
    ASSERT_TRUE(frames_while_not([] { return http.slot(1) && http.slot(1)->status_code() == 502; }));
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "What went wrong: The server answered: Bad Gateway (#502)"));
    EXPECT_FALSE(drawn_text(paint, "I am downloading patch info"));
    EXPECT_FALSE(drawn_text(paint, "done checking"));
    // Back while an answer is under way: the next search asks anew at once, instead of waiting
    // for that answer, within fewer frames than a retry's pause takes.
    web_->faults(R"({"mirror1.test": {"mode": "hold"}})");
    // Whether the server is asked again after Back and Next, within the frames given (0: until a
    // hang), each given time for the request to arrive.
    const auto asked_after_back_and_next = [&](int frames) {
        const size_t asked = web_->request_lines().size();
        wizard_frame(600, 20, true);  // Back
        wizard_frame();
        wizard_frame(720, 20, true);  // Next
        return frames_while_not(
            [&] { return eventually([&] { return web_->request_lines().size() > asked; }, 0.2); }, frames);
    };
    ASSERT_TRUE(asked_after_back_and_next(0));
    EXPECT_TRUE(asked_after_back_and_next(static_cast<int>(server_retry_pause / 0.01f) - 10));

    web_->faults("{}");
    ASSERT_TRUE(frames_until(net_check_disk)) << log.text();
}

// A file the mirror keeps sending larger than it can be ends the run with the texts of a failed
// update, instead of being fetched again every second for ever.
TEST_F(WebUpdate, AFileTheServerSendsTooLargeEndsTheRun) {
    register_copy();
    write_file(copy + "Resources/f.bin", "old");
    web_->server_list("R2", {mirror});
    web_->publish("R2", {{"All/Resources/f.bin", "the release's file", false, {"old"}}}, {mirror});
    web_->faults(R"({"mirror1.test/rel/R2/All/Resources/f.bin.zip": {"mode": "endless"}})");
    run_until(net_done);
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "There were problems updating Volatra."));
    EXPECT_NE(log.text().find("All/Resources/f.bin larger than the manifest allows: giving up"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(web_->request_lines().size(), 3u);  // the list, the manifest, one try of the file
    expect_file("Resources/f.bin", "old");
    expect_no_stream_files();
}

TEST_F(WebUpdate, BackDuringTheScanStopsThePassBeforeTheManifestIsReadAgain) {
    register_copy();
    std::vector<web_file> files;
    for (int i = 0; i < 60; ++i) {
        files.push_back({"All/Resources/s" + std::to_string(i) + ".txt", "same " + std::to_string(i)});
        write_file(copy + "Resources/s" + std::to_string(i) + ".txt", "same " + std::to_string(i));
    }
    web_->server_list("R2", {mirror});
    web_->publish("R2", files, {mirror});
    // A disk that answers only when the test lets it: the pass is surely running when Back comes.
    static std::atomic<int> digests{0};
    static std::atomic<bool> disk_answers;
    disk_answers = false;
    auto* const saved = checksum_file_md5;
    checksum_file_md5 = [](const std::string& path, std::string& hex) {
        ++digests;
        eventually([] { return disk_answers.load(); });
        return calc_file_md5(path, hex);
    };
    run_until(net_get_updates);
    ASSERT_TRUE(frames_while_not([] { return checksum_workers != nullptr && digests > 0; }));
    wizard_frame(600, 20, true);  // Back
    EXPECT_EQ(g_wizard, net_pick_dest);
    // The next screen's first frame waits for the digests already queued.
    disk_answers = true;
    wizard_frame();
    EXPECT_EQ(checksum_workers, nullptr);
    const int at_back = digests;
    wizard_frame();
    EXPECT_EQ(digests, at_back);
    run_until(net_done);
    checksum_file_md5 = saved;
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "is already up to date."));
}

TEST_F(WebUpdate, TheFolderGivenWithPathGetsItsSlashAndMustHoldACopy) {
    cmd_line_path = copy.substr(0, copy.size() - 1);
    g_wizard = net_start;
    wizard_frame();
    wizard_frame();
    EXPECT_EQ(dest_dir_path, copy);
    EXPECT_EQ(step_names, (std::vector<std::string>{"Welcome", "Search for Updates", "Check Disk Space",
                                                    "Install Updates", "Finish"}));
    wizard_frame(720, 20, true);
    EXPECT_EQ(g_wizard, net_get_updates);

    // A folder that holds no copy: the updater has nothing to update.
    cmd_line_path = w.root / "elsewhere";
    write_file(cmd_line_path + "/Resources/x", "");
    register_copy();
    g_wizard = nullptr;
    wizard_frame();
    g_wizard = net_start;
    paint.clear();
    wizard_frame();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "You do not appear to have Volatra 9 installed."));
    wizard_frame(720, 20, true);
    EXPECT_EQ(g_wizard, net_start);
}

TEST_F(WebUpdate, CopiesToPickFromAndTheNoCopyCase) {
    g_wizard = net_start;
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(paint, "You do not appear to have Volatra 9 installed."));
    register_copy();
    const std::string second = w.root / "Second/";
    for (const char* d : {"Airfoils", "Instructions", "Output", "Resources"})
        write_file(second + d + "/.keep", "");
    dest_dir_path = second;
    register_new_volatra();
    g_wizard = nullptr;
    wizard_frame();
    g_wizard = net_start;
    wizard_frame();
    EXPECT_EQ(dest_dir_path, "");
    EXPECT_EQ(step_names.size(), 6u);
    wizard_frame(720, 20, true);
    EXPECT_EQ(g_wizard, net_pick_dest);
    paint.clear();
    wizard_frame();
    EXPECT_TRUE(drawn_text(
        paint, "You have more than one copy of Volatra 9 installed on this computer.  Please select"));
    wizard_frame(720, 20, true);  // nothing chosen: Next is off
    EXPECT_EQ(g_wizard, net_pick_dest);
    wizard_frame(252, 375, true);  // the second copy's box
    wizard_frame(720, 20, true);
    EXPECT_EQ(dest_dir_path, second);
    EXPECT_EQ(g_wizard, net_get_updates);
}

TEST(WebRunTexts, TimesRatesAndProgressStayFinite) {
    EXPECT_EQ(time_left_text(7200), "2 hours");
    EXPECT_EQ(time_left_text(7199), "119 minutes");
    EXPECT_EQ(time_left_text(120), "2 minutes");
    EXPECT_EQ(time_left_text(119.9f), "119 seconds");
    EXPECT_EQ(time_left_text(std::numeric_limits<float>::infinity()), "277777 hours");
    EXPECT_EQ(rate_text(1000, 100, 10, 2),
              "About 90 seconds left in the install, downloading at 10 kilobytes/second with 2 simultaneous "
              "download streams.");
    EXPECT_EQ(rate_text(1000, 0, 10, 2), "");  // nothing arrived yet: no rate to tell a time by
    EXPECT_EQ(rate_text(1000, 100, 0, 2), "");
    EXPECT_EQ(rate_text(10, 100, 1, 4).substr(0, 16), "About 0 seconds ");

    EXPECT_FLOAT_EQ(smoothed_progress(0.5f, 0.25f, 100, 200, 0, 0), 0.5f);
    EXPECT_FLOAT_EQ(smoothed_progress(0, 0.5f, 0, 0, 1, 4), 0.125f);  // nothing to unpack: by files
    EXPECT_FLOAT_EQ(smoothed_progress(0, 1, 0, 0, 0, 0), 1);
    EXPECT_FLOAT_EQ(smoothed_progress(std::nanf(""), 0.5f, 0, 0, 2, 2), 0.5f);
    EXPECT_FLOAT_EQ(smoothed_progress(0.9f, 0.5f, 300, 100, 0, 0), 1);
}

}  // namespace

// The HTTP client against the test server: the request, framing that completes and framing that
// fails, stalls, several slots, the proxy choice and the caller's mistakes.
#include "net/http_client.h"

#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <random>

#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/time_keeper.h"
#include "net/test_http_server.h"

namespace {

const char host[] = "files.example.invalid";

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

std::string expected_request(const std::string& escaped_path) {
    return "GET http://" + std::string(host) + escaped_path +
           " HTTP/1.1\r\nConnection: close\r\nHost: " + host + "\r\nUser-agent: Installer-APL/10r1\r\n\r\n";
}

class Http : public ::testing::Test {
protected:
    static void SetUpTestSuite() { server_ = new test_http_server(); }
    static void TearDownTestSuite() { delete server_; }
    void SetUp() override {
        server_->clear();
        http.proxy_host = "127.0.0.1";
        http.proxy_port = server_->port();
        gProxyExclude.clear();
        xtim.real_time = 100.0f;
    }
    void TearDown() override {
        for (int s = 0; s < http_class::slot_count; ++s) EXPECT_EQ(http.slot(s), nullptr) << "slot " << s;
    }
    std::string local(const std::string& name) { return work / name; }
    // The server answers the next request with these bytes, then ends as `end` says.
    void script(const std::string& bytes, const std::string& end = "close") {
        server_->set_faults("{\"files.example.invalid\": " + script_fault({{bytes, 0}}, end) + "}");
    }
    void fault(const std::string& json) { server_->set_faults("{\"files.example.invalid\": " + json + "}"); }
    // Pumps a slot; a client that misreads an answer the server then holds gives up soon.
    int pump(int slot, const std::string& path, const std::string& file) {
        return pump_slot(slot, host, path, file, nullptr, -1, server_);
    }
    // A transfer that must fail at once (the clock never moves) with the report in the log.
    void expect_reported_failure(const std::string& why) {
        const size_t before = log.text().size();
        EXPECT_EQ(pump(3, "/f.bin", local("broken")), 2) << why;
        EXPECT_NE(log.text().find("HTTP Error for", before), std::string::npos) << why;
    }

    // Pumps a slot with the clock standing still until its transfer has received `bytes` of
    // the body (true) or has ended (false).
    bool pump_until_received(int slot, const std::string& path, const std::string& file, int64_t bytes) {
        int r = 0;
        eventually([&] {
            r = http.net_check(slot, host, path, local(file));
            return r != 0 || http.slot(slot)->received() >= bytes;
        });
        return r == 0 && http.slot(slot)->received() >= bytes;
    }

    temp_folder work;
    log_capture log;
    static test_http_server* server_;
};
test_http_server* Http::server_ = nullptr;

TEST_F(Http, TheRequestIsExactAndAStepTakesWhatTheSocketHolds) {
    // Pumped every 20 ms, as a frame does: a step takes more than one 64 KiB block when the
    // socket holds more, so a stream is not held to a block a frame.
    const std::string body = random_bytes(4 << 20, 1);
    server_->put_file(host, "/rel/with space/file 1.bin", body);
    int r = 0;
    int64_t before = 0, largest_step = 0;
    for (int calls = 0; r == 0 && calls < 5000; ++calls) {
        r = http.net_check(0, host, "/rel/with space/file 1.bin", local("big.bin"));
        const down_class* d = http.slot(0);
        const int64_t now = r == 1 ? static_cast<int64_t>(body.size()) : d ? d->received() : before;
        largest_step = std::max(largest_step, now - before);
        before = now;
        if (r == 0) usleep(20000);
    }
    EXPECT_EQ(r, 1);
    EXPECT_GT(largest_step, 65536);
    EXPECT_TRUE(read_file(local("big.bin")) == body);
    // Every byte outside the unreserved set is escaped: line breaks never become a header.
    server_->put_file(host, "/odd #?%+&\x01\xC3\xA9\r\nX: 1", "odd");
    EXPECT_EQ(pump_slot(1, host, "/odd #?%+&\x01\xC3\xA9\r\nX: 1", local("odd.txt")), 1);
    EXPECT_EQ(read_file(local("odd.txt")), "odd");
    EXPECT_EQ(server_->requests(),
              (std::vector<std::string>{expected_request("/rel/with%20space/file%201.bin"),
                                        expected_request("/odd%20%23%3F%25%2B%26%01%C3%A9%0D%0AX%3A%201")}));
    EXPECT_EQ(log.text(), "");
}

TEST_F(Http, APostCarriesItsBodyAndHeadersThatCouldAddLinesAreRefused) {
    server_->put_file(host, "/post", "ok");
    {
        down_class d(host, 80, "/post", true, {{"Host", host}}, "a", 1, local("post").c_str());
        eventually([&] {
            d.DoProcessing();
            return d.IsComplete() || d.IsErr();
        });
        EXPECT_EQ(read_file(local("post")), "ok");
    }
    EXPECT_EQ(server_->requests(),
              std::vector<std::string>{"POST http://files.example.invalid/post HTTP/1.1\r\nHost: " +
                                       std::string(host) + "\r\nContent-Length: 1\r\n\r\na"});
    for (auto [name, value] : {std::pair{"X-A", "b\r\nX-Injected: 1"}, {"X A", "b"}, {"", "b"}})
        EXPECT_EQ(down_class(host, 80, "/", false, {{name, value}}, nullptr, 0, nullptr).GetOSErr(), EINVAL)
            << name;
}

TEST_F(Http, HostsThatCouldChangeTheRequestAreRefused) {
    for (const char* bad : {"evil.invalid\r\nX-Injected: 1", "a/b.invalid", "user@b.invalid", "a?b.invalid",
                            "a#b.invalid", "a b.invalid"})
        EXPECT_EQ(http.net_check(0, bad, "/a", local("evil")), 2) << bad;
    EXPECT_TRUE(server_->requests().empty());
    EXPECT_NE(log.text().find("   GetOSErr   =22\n"), std::string::npos);
    EXPECT_EQ(http.last_failure(0).os_err, EINVAL);
}

TEST_F(Http, StatusCodesDecideTheOutcome) {
    server_->put_file(host, "/empty", "");
    EXPECT_EQ(pump_slot(0, host, "/empty", local("empty")), 1);
    EXPECT_TRUE(path_exists(local("empty")) && read_file(local("empty")).empty());
    EXPECT_EQ(log.text(), "");
    // A missing file: 404, the report, and the error body in the file.
    EXPECT_EQ(pump_slot(0, host, "/missing.zip", local("missing.zip")), 2);
    EXPECT_EQ(read_file(local("missing.zip")), "no file /missing.zip\n");
    EXPECT_EQ(log.text(), "HTTP Error for " + local("missing.zip") +
                              "\n   server     =files.example.invalid\n   file       =/missing.zip\n"
                              "   IsDone     =1\n   IsComplete =1\n   IsErr      =0\n   GetStat    =3\n"
                              "   GetOSErr   =0\n   response   =Not Found (#404)\n\n");
    const http_failure& f = http.last_failure(0);
    EXPECT_EQ(std::to_string(f.status) + f.reason + std::to_string(f.os_err) + std::to_string(f.stalled),
              "404Not Found00");
    fault(R"({"mode": "status", "status": 500})");
    EXPECT_EQ(pump_slot(0, host, "/empty", local("e500")), 2);
    for (const char* status : {"416 Range Not Satisfiable", "404 N"}) {
        script(std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 0\r\n\r\n");
        EXPECT_EQ(pump_slot(0, host, "/empty", local("e")), 2);
    }
    for (const char* line :
         {"=Internal Server Error (#500)\n", "=Range Not Satisfiable (#416)\n", "=N (#404)\n"})
        EXPECT_NE(log.text().find(std::string("   response   ") + line), std::string::npos) << line;
}

TEST_F(Http, ValidFramingVariantsAllComplete) {
    const std::string body = random_bytes(200000, 2);
    server_->put_file(host, "/f.bin", body);
    for (const char* v :
         {R"({"mode": "normal", "lowercase": true})", R"({"mode": "no_length"})",
          R"({"mode": "chunked", "chunk": 1000})", R"({"mode": "chunked", "chunk": 70000})",
          R"({"mode": "chunked", "chunk": 7, "interim": true})", R"({"mode": "normal", "no_reason": true})",
          R"({"mode": "throttle", "rate": 2000000})"}) {
        fault(v);
        std::filesystem::remove(local("f.bin"));
        EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin")), 1) << v;
        EXPECT_TRUE(read_file(local("f.bin")) == body) << v;
    }
    struct {
        std::vector<std::pair<std::string, double>> chunks;
        const char* end;
        const char* want;
    } scripts[] = {
        // Headers in pieces; a CRLF split between two receives.
        {{{"HTTP/1.1 200 OK\r", 0.02}, {"\nContent-Length: 5\r", 0.02}, {"\n\r\nhello", 0}}, "hold", "hello"},
        {{{"HTTP/1.1 200 OK\r\nCONTENT-LENGTH:5\r\n\r\n12345", 0}}, "hold", "12345"},
        {{{"HTTP/1.1 200 OK\r\nContent-Length:  000000000000000005 \r\n\r\n12345", 0}}, "hold", "12345"},
        // Interim responses, apart or in one receive; their headers do not carry into the real one.
        {{{"HTTP/1.1 100 Continue\r\n\r\n", 0.05}, {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", 0}},
         "hold",
         "abc"},
        {{{"HTTP/1.1 100 Continue\r\nContent-Length: 2\r\n\r\nHTTP/1.1 200 OK\r\n\r\nxyz", 0}},
         "close",
         "xyz"},
        {{{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nA\r\n0123456789\r\n1F;x=1\r\n" +
               std::string(31, 'f') + "\r\n0\r\nX-Trailer: 1\r\n\r\n",
           0}},
         "hold",
         nullptr},
        // A chunk-size line may wait at the bound of an endless line, 1 MiB, for its end.
        {{{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1;" + std::string((1 << 20) - 2, 'x'), 0.3},
          {"\r\nz\r\n0\r\n\r\n", 0}},
         "hold",
         "z"},
    };
    for (auto& s : scripts) {
        server_->set_faults("{\"files.example.invalid\": " + script_fault(s.chunks, s.end) + "}");
        EXPECT_EQ(pump(2, "/s", local("s")), 1) << s.chunks[0].first.substr(0, 60);
        EXPECT_EQ(read_file(local("s")), s.want ? s.want : "0123456789" + std::string(31, 'f'));
    }
    EXPECT_EQ(log.text(), "");
}

TEST_F(Http, BrokenFramingFailsAtOnceWithTheReport) {
    server_->put_file(host, "/f.bin", random_bytes(5000, 3));
    for (const char* mode : {"long", "short", "close", "refuse"}) {
        fault(std::string("{\"mode\": \"") + mode + "\"}");
        expect_reported_failure(mode);
    }
    for (const char* head : {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabc",
                             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n",
                             "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabcX\r\n0\r\n\r\n",
                             "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nabc",
                             "HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc",
                             "HTTP/1.1 200 OK\r\nContent-Length: 0000000000000000003\r\n\r\nabc",
                             // Only an HTTP status line with a three-digit code starts a response.
                             "RTSP/1.0 200 OK\r\nContent-Length: 1\r\n\r\nx",
                             "HTTP/1.1 2x0 OK\r\nContent-Length: 1\r\n\r\nx"}) {
        script(head);
        expect_reported_failure(head);
    }
    // Lines without end, in the header or as a chunk size, while the server holds the connection:
    // refused past the bound (1 MiB) instead of growing the buffer.
    std::string lines = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; lines.size() < 1100000; ++i)
        lines += "X-Filler-" + std::to_string(i) + ": 0123456789\r\n";
    for (const std::string& head :
         {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(1100000, 'x'), lines,
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string(2200000, '1'),
          "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + std::string((1 << 20) + 1, '1')}) {
        script(head, "hold");
        expect_reported_failure(head.substr(0, 40));
    }
}

// A server that never stops sending: whatever the framing, the transfer ends at its limit and
// leaves no file. A body announced past the limit is refused before a byte is written.
TEST_F(Http, ABodyPastItsLimitIsAbandonedAndItsFileDeleted) {
    for (const char* framing : {"close", "length", "chunked"}) {
        fault(std::string("{\"mode\": \"endless\", \"framing\": \"") + framing + "\"}");
        int calls = 0;
        EXPECT_EQ(pump_slot(2, host, "/endless", local("endless"), &calls, 200000), 2) << framing;
        EXPECT_LT(calls, 10000) << framing;
        EXPECT_EQ(http.last_failure(2).os_err, EFBIG) << framing;
        EXPECT_EQ(http.last_failure(2).status, 200) << framing;
        EXPECT_TRUE(http.last_failure(2).oversize) << framing;
        EXPECT_FALSE(path_exists(local("endless"))) << framing;
    }
    EXPECT_NE(log.text().find("   GetOSErr   =27\n"), std::string::npos);

    server_->clear();
    server_->put_file(host, "/f.bin", std::string(1000, 'x'));
    EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin"), nullptr, 1000), 1);  // exactly the limit
    EXPECT_EQ(read_file(local("f.bin")).size(), 1000u);
    EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin"), nullptr, 999), 2);
    EXPECT_EQ(http.last_failure(2).os_err, EFBIG);
    EXPECT_FALSE(path_exists(local("f.bin")));
    // The announced length alone fails it: the half body that comes before a stall is not waited for.
    fault(R"({"mode": "stall"})");
    EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin"), nullptr, 999), 2);
    EXPECT_EQ(http.last_failure(2).os_err, EFBIG);
    script("HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\n", "hold");
    EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin"), nullptr, 0), 2);
    // A limit of 0 takes only an empty body.
    fault(R"({"mode": "no_length"})");
    EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin"), nullptr, 0), 2);
    server_->clear();
    server_->put_file(host, "/empty", "");
    EXPECT_EQ(pump_slot(2, host, "/empty", local("empty"), nullptr, 0), 1);
    EXPECT_EQ(pump_slot(2, host, "/missing", local("missing"), nullptr, 1000), 2);  // a 404 is no oversize
    EXPECT_FALSE(http.last_failure(2).oversize);
    for (const char* mode : {"no_length", "chunked"}) {
        fault(std::string("{\"mode\": \"") + mode + "\", \"chunk\": 300}");
        EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin"), nullptr, 999), 2) << mode;
        EXPECT_FALSE(path_exists(local("f.bin"))) << mode;
        EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin"), nullptr, 1000), 1) << mode;
    }
}

TEST_F(Http, AStallFailsAfterThirtySecondsWithoutReportButHeaderBytesAreProgress) {
    server_->put_file(host, "/stall.bin", random_bytes(10000, 4));
    fault(R"({"mode": "stall"})");
    // The clock stands still while the first half arrives: however long that takes, it is no stall.
    ASSERT_TRUE(pump_until_received(4, "/stall.bin", "stall.bin", 5000));
    down_class* d = http.slot(4);
    ASSERT_EQ(d->received(), 5000);
    EXPECT_EQ(d->content_length() * 10 + d->GetStat(), 100005);
    // A busy slot goes on with its own transfer whatever the later arguments say.
    xtim.real_time = d->last_activity() + 30.0f;
    EXPECT_EQ(http.net_check(4, "other.invalid", "/other", local("other")), 0);
    xtim.real_time += 0.01f;
    EXPECT_EQ(http.net_check(4, host, "/stall.bin", local("stall.bin")), 2);
    EXPECT_EQ(log.text(), "");
    EXPECT_TRUE(http.last_failure(4).stalled);
    EXPECT_FALSE(path_exists(local("other")));

    // A server that sends its headers slowly is not a silent one. The status line comes when the
    // clock says 20 s after the start, and 49 s after the start (29 s after that line) the
    // transfer is still alive.
    auto slow_headers = [](int released) {
        return script_fault(
            {{"", until_released}, {"HTTP/1.1 200 OK\r\n", until_released}, {"Content-Length: 1\r\n\r\nx", 0}},
            "hold", released);
    };
    fault(slow_headers(0));
    const float start = xtim.real_time = 1000.0f;
    EXPECT_EQ(http.net_check(4, host, "/slow", local("slow")), 0);
    ASSERT_NE(http.slot(4), nullptr);
    xtim.real_time = start + 20.0f;
    fault(slow_headers(1));
    int r = 0;
    ASSERT_TRUE(eventually([&] {
        r = http.net_check(4, host, "/slow", local("slow"));
        return r != 0 || http.slot(4)->last_activity() == start + 20.0f;
    }));
    ASSERT_EQ(r, 0);
    EXPECT_EQ(http.slot(4)->GetStat(), 6);  // the headers have not ended
    xtim.real_time = start + 49.0f;
    EXPECT_EQ(http.net_check(4, host, "/slow", local("slow")), 0);
    server_->set_faults("{}");
    EXPECT_EQ(pump_slot(4, host, "/slow", local("slow")), 1);
    EXPECT_EQ(read_file(local("slow")), "x");
}

TEST_F(Http, CancelEndsTheTransferAndDeletesOnlyTheFileItWrote) {
    server_->put_file(host, "/a.bin", random_bytes(10000, 5));
    server_->put_file(host, "/b.bin", "file B");
    fault(R"({"mode": "stall"})");
    ASSERT_TRUE(pump_until_received(2, "/a.bin", "stream", 5000));
    ASSERT_TRUE(path_exists(local("stream")));
    http.cancel(2);
    EXPECT_EQ(http.slot(2), nullptr);
    EXPECT_FALSE(path_exists(local("stream")));
    // The slot's next transfer is the one asked for, not the old one going on.
    server_->clear();
    EXPECT_EQ(pump_slot(2, host, "/b.bin", local("stream")), 1);
    EXPECT_EQ(read_file(local("stream")), "file B");

    // A transfer that has not begun its body leaves an existing file alone; a free slot is no error.
    http.proxy_port = closed_port();
    http.net_check(3, host, "/b.bin", local("stream"));
    http.cancel(3);
    http.cancel(3);
    http.cancel(-1);
    EXPECT_EQ(read_file(local("stream")), "file B");
}

TEST_F(Http, RefusedConnectionsAndUnwritableFilesAreReportedWithTheirCause) {
    http.proxy_port = closed_port();
    EXPECT_EQ(pump_slot(0, host, "/a", local("refused")), 2);
    EXPECT_NE(log.text().find(
                  "   IsDone     =1\n   IsComplete =0\n   IsErr      =0\n   GetStat    =3\n   GetOSErr   =" +
                  std::to_string(ECONNREFUSED) + "\n   response   = (#-1)\n"),
              std::string::npos)
        << log.text();
    EXPECT_EQ(http.last_failure(0).os_err, ECONNREFUSED);
    http.proxy_port = server_->port();
    server_->put_file(host, "/a", "a small body that stays in the stdio buffer");
    EXPECT_EQ(pump_slot(0, host, "/a", local("no/such/folder/a")), 2);
    EXPECT_EQ(http.last_failure(0).os_err, ENOENT);
    EXPECT_EQ(pump_slot(0, host, "/a", "/dev/full"), 2);  // the full disk shows at the last flush
    EXPECT_EQ(http.last_failure(0).os_err, ENOSPC);
}

TEST_F(Http, TheProxyIsUsedOnlyWithHostAndPortAndOutsideTheExclusions) {
    auto choice = [](const char* host) {
        return std::to_string(UseProxy(host, 80)) + ProxyHost(host, 80) + ":" +
               std::to_string(ProxyPort(host, 80)) + " ";
    };
    const std::string proxy = "1127.0.0.1:" + std::to_string(server_->port()) + " ";
    gProxyExclude = {"example.invalid", "much.longer.than.the.host.example.invalid"};
    EXPECT_EQ(
        choice("a.example.invalid") + choice("example.invalid") + choice("b.example.org") + choice("invalid"),
        "0a.example.invalid:80 0example.invalid:80 " + proxy + proxy);
    gProxyExclude.clear();
    http.proxy_port = 0;
    EXPECT_EQ(choice("a.invalid"), "0a.invalid:80 ");
    http.proxy_port = server_->port();
    http.proxy_host.clear();
    EXPECT_EQ(choice("a.invalid"), "0a.invalid:80 ");
}

// The direct road on port 80 and an unresolvable host, in a network namespace of the test's own
// so that nothing can leave the machine.
TEST(HttpDirect, Port80WithoutProxyAndUnresolvableHost) {
    child_result r = run_in_child([] {
        if (unshare(CLONE_NEWNET) != 0) _exit(77);
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        ifreq ifr{};
        std::strcpy(ifr.ifr_name, "lo");
        if (ioctl(fd, SIOCGIFFLAGS, &ifr) != 0) _exit(77);
        ifr.ifr_flags |= IFF_UP;
        if (ioctl(fd, SIOCSIFFLAGS, &ifr) != 0) _exit(77);
        close(fd);
        _exit([] {
            temp_folder work;
            test_http_server server(60.0, 80);
            server.put_file("127.0.0.1", "/dir/a b.txt", "direct");
            http.proxy_host.clear();
            http.proxy_port = 0;
            log_capture log;
            if (pump_slot(0, "127.0.0.1", "/dir/a b.txt", work / "a.txt") != 1) return 1;
            if (read_file(work / "a.txt") != "direct") return 2;
            if (server.requests() !=
                std::vector<std::string>{"GET /dir/a%20b.txt HTTP/1.1\r\nConnection: close\r\n"
                                         "Host: 127.0.0.1\r\nUser-agent: Installer-APL/10r1\r\n\r\n"})
                return 3;
            // No resolver can answer here: error 20011 on the very first call, no socket.
            if (http.net_check(0, "no-such-host.invalid", "/x", work / "x") != 2) return 4;
            if (log.text().find(
                    "Translated server no-such-host.invalid to IP addy: 0.0.0.0 and port = 80\n") ==
                std::string::npos)
                return 5;
            return log.text().find("   GetStat    =0\n   GetOSErr   =20011\n") == std::string::npos ? 6 : 0;
        }());
    });
    if (r.exit_code == 77) GTEST_SKIP() << "network namespaces not permitted";
    EXPECT_EQ(r.exit_code, 0);
}

TEST(HttpDeathTest, CallerErrorsAreFatal) {
    for (int slot : {6, -1})
        EXPECT_EXIT(http.net_check(slot, "h.invalid", "/x", "x"), testing::ExitedWithCode(1),
                    "Too many download objects");
    EXPECT_EXIT(http.net_check(0, "a/", "/x", "x"), testing::ExitedWithCode(1),
                "dirchar at the end of the server name!");
    EXPECT_EXIT(http.net_check(0, "a", "x", "x"), testing::ExitedWithCode(1),
                "dirchar at the beginning of the directory");
}

}  // namespace

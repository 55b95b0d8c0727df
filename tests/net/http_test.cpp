#include "net/http.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

#include "core/wx.h"
#include "core/xtim.h"
#include "net/PCSBSocket.h"
#include "net/test_http_server.h"

using namespace volatra_test;

namespace {

const char host[] = "files.example.invalid";

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen() & 0xFF);
    return s;
}

std::string expected_request(const std::string& server, const std::string& escaped_path) {
    return "GET http://" + server + escaped_path +
           " HTTP/1.1\r\n"
           "Connection: close\r\n"
           "Host: " +
           server +
           "\r\n"
           "User-agent: Installer-APL/10r1\r\n"
           "\r\n";
}

class HttpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = new test_http_server();
        work_ = make_temp_folder("http_work");
        log_path_ = work_ + "log.txt";
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
        std::filesystem::remove_all(work_);
    }
    void SetUp() override {
        server_->clear();
        ASSERT_TRUE(xer.open(log_path_));
        http.proxy_host = "127.0.0.1";
        http.proxy_port = server_->port();
        gProxyExclude.clear();
        xtim.real_time = 100.0f;
    }
    void TearDown() override {
        xer.close();
        for (int s = 0; s < http_class::slot_count; ++s) EXPECT_EQ(http.slot(s), nullptr) << "slot " << s;
    }
    std::string log_text() {
        xer.flush();
        return read_file(log_path_);
    }
    std::string local(const std::string& name) { return work_ + name; }

    static test_http_server* server_;
    static std::string work_, log_path_;
};
test_http_server* HttpTest::server_ = nullptr;
std::string HttpTest::work_, HttpTest::log_path_;

}  // namespace

TEST_F(HttpTest, ProxyRequestIsExactAndLargeBodyArrivesIn64KSteps) {
    std::string body = random_bytes(300000, 1);
    server_->put_file(host, "/rel/with space/file 1.bin", body);
    int calls = 0;
    EXPECT_EQ(pump_slot(0, host, "/rel/with space/file 1.bin", local("big.bin"), &calls), 1);
    EXPECT_GE(calls, 5);
    EXPECT_EQ(read_file(local("big.bin")), body);
    auto reqs = server_->requests();
    ASSERT_EQ(reqs.size(), 1u);
    EXPECT_EQ(reqs[0], expected_request(host, "/rel/with%20space/file%201.bin"));
    EXPECT_EQ(log_text(), "");
}

TEST_F(HttpTest, EveryByteOutsideTheUnreservedSetIsEscaped) {
    std::string name = "/odd #?%+&\x01\xC3\xA9.txt";
    server_->put_file(host, name, "odd");
    EXPECT_EQ(pump_slot(1, host, name, local("odd.txt")), 1);
    EXPECT_EQ(read_file(local("odd.txt")), "odd");
    EXPECT_EQ(http_escape_path("/a-b_c.d~e/\r\nX: y"), "/a-b_c.d~e/%0D%0AX%3A%20y");

    // Line breaks in a path never become a header of their own.
    server_->put_file(host, "/x\r\nInjected: 1", "x");
    EXPECT_EQ(pump_slot(1, host, "/x\r\nInjected: 1", local("x.txt")), 1);
    auto reqs = server_->requests();
    ASSERT_EQ(reqs.size(), 2u);
    EXPECT_EQ(reqs[0], expected_request(host, "/odd%20%23%3F%25%2B%26%01%C3%A9.txt"));
    EXPECT_EQ(reqs[1], expected_request(host, "/x%0D%0AInjected%3A%201"));
}

TEST_F(HttpTest, ServerNameThatCouldInjectHeadersFailsWithoutRequest) {
    EXPECT_EQ(http.net_check(0, "evil.invalid\r\nX-Injected: 1", "/a", local("evil.txt")), 2);
    EXPECT_TRUE(server_->requests().empty());
    EXPECT_NE(log_text().find("   GetOSErr   =22\n"), std::string::npos);
}

TEST_F(HttpTest, StatusCodesDecideTheOutcome) {
    server_->put_file(host, "/empty", "");
    EXPECT_EQ(pump_slot(0, host, "/empty", local("empty")), 1);
    EXPECT_TRUE(std::filesystem::exists(local("empty")));
    EXPECT_EQ(read_file(local("empty")), "");
    EXPECT_EQ(log_text(), "");

    // A missing file: 404, the report, and the error body in the file.
    EXPECT_EQ(pump_slot(0, host, "/missing.zip", local("missing.zip")), 2);
    EXPECT_EQ(read_file(local("missing.zip")), "no file /missing.zip\n");
    EXPECT_EQ(log_text(), "HTTP Error for " + local("missing.zip") +
                              "\n"
                              "   server     =files.example.invalid\n"
                              "   file       =/missing.zip\n"
                              "   IsDone     =1\n"
                              "   IsComplete =1\n"
                              "   IsErr      =0\n"
                              "   GetStat    =3\n"
                              "   GetOSErr   =0\n"
                              "   response   =Not Found (#404)\n\n");

    server_->set_faults(R"({"files.example.invalid": {"mode": "status", "status": 500}})");
    EXPECT_EQ(pump_slot(0, host, "/empty", local("e500")), 2);
    EXPECT_NE(log_text().find("   response   =Internal Server Error (#500)\n"), std::string::npos);
}

TEST_F(HttpTest, HeadersSplitAcrossReceivesAreAssembled) {
    std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n";
    std::vector<std::pair<std::string, double>> chunks;
    for (char c : head) chunks.push_back({std::string(1, c), 0.002});
    chunks.push_back({"hello", 0});
    server_->set_faults("{\"files.example.invalid\": " + script_fault(chunks, "hold") + "}");
    EXPECT_EQ(pump_slot(0, host, "/s", local("split")), 1);
    EXPECT_EQ(read_file(local("split")), "hello");
}

TEST_F(HttpTest, InterimResponseIsSkippedInSeparateOrSameReceive) {
    server_->set_faults("{\"files.example.invalid\": " +
                        script_fault({{"HTTP/1.1 100 Continue\r\n\r\n", 0.05},
                                      {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc", 0}},
                                     "hold") +
                        "}");
    EXPECT_EQ(pump_slot(0, host, "/i", local("interim1")), 1);
    EXPECT_EQ(read_file(local("interim1")), "abc");

    // All in one write and then a close: nothing more will ever come to move the parser on.
    server_->set_faults(
        "{\"files.example.invalid\": " +
        script_fault({{"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nxyz", 0}},
                     "close") +
        "}");
    EXPECT_EQ(pump_slot(0, host, "/i", local("interim2")), 1);
    EXPECT_EQ(read_file(local("interim2")), "xyz");
    EXPECT_EQ(log_text(), "");
}

TEST_F(HttpTest, ValidFramingVariantsAllComplete) {
    std::string body = random_bytes(200000, 2);
    server_->put_file(host, "/f.bin", body);
    const char* variants[] = {
        R"({"mode": "normal", "lowercase": true})",  // content-length in lower case
        R"({"mode": "no_length"})",                  // the close ends the body
        R"({"mode": "chunked", "chunk": 1000})",
        R"({"mode": "chunked", "chunk": 70000})",  // chunks larger than one receive
        R"({"mode": "chunked", "chunk": 7, "interim": true})",
        R"({"mode": "normal", "no_reason": true})",  // "HTTP/1.1 200"
        R"({"mode": "throttle", "rate": 2000000})",
    };
    for (const char* v : variants) {
        SCOPED_TRACE(v);
        server_->set_faults(std::string("{\"files.example.invalid\": ") + v + "}");
        std::filesystem::remove(local("f.bin"));
        EXPECT_EQ(pump_slot(2, host, "/f.bin", local("f.bin")), 1);
        EXPECT_TRUE(read_file(local("f.bin")) == body);
    }
    // Tight header lines: no blank after the colon, blanks around the value.
    server_->set_faults(
        "{\"files.example.invalid\": " +
        script_fault({{"HTTP/1.1 200 OK\r\nCONTENT-LENGTH:5\r\nX-A:  b \r\n\r\n12345", 0}}, "hold") + "}");
    EXPECT_EQ(pump_slot(2, host, "/t", local("tight")), 1);
    EXPECT_EQ(read_file(local("tight")), "12345");
    EXPECT_EQ(log_text(), "");
}

TEST_F(HttpTest, BrokenFramingFailsAtOnceWithTheReport) {
    server_->put_file(host, "/f.bin", random_bytes(5000, 3));
    struct {
        const char* fault;
        const char* why;
    } cases[] = {
        {R"({"mode": "long"})", "more bytes than Content-Length"},
        {R"({"mode": "short"})", "close before Content-Length is reached"},
        {R"({"mode": "close"})", "close before any response"},
        {R"({"mode": "refuse"})", "connection reset"},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.why);
        server_->set_faults(std::string("{\"files.example.invalid\": ") + c.fault + "}");
        size_t before = log_text().size();
        EXPECT_EQ(pump_slot(3, host, "/f.bin", local("broken.bin")), 2);  // clock never moved
        EXPECT_NE(log_text().find("HTTP Error for", before), std::string::npos);
    }
    std::pair<std::string, const char*> scripts[] = {
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nabc", "chunked body cut short"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\nabc\r\n0\r\n\r\n", "bad chunk size"},
        {"HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nabc", "a coding we cannot undo"},
        {"HTTP/1.1 200 OK\r\nContent-Length: -5\r\n\r\nabc", "negative length"},
        {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\nabc", "length overflows"},
    };
    for (auto& s : scripts) {
        SCOPED_TRACE(s.second);
        server_->set_faults("{\"files.example.invalid\": " + script_fault({{s.first, 0}}, "close") + "}");
        size_t before = log_text().size();
        EXPECT_EQ(pump_slot(3, host, "/s", local("broken2.bin")), 2);
        EXPECT_NE(log_text().find("HTTP Error for", before), std::string::npos);
    }
    // A header section without end, as one line or as many: refused once past the limit while
    // the server holds the connection and the clock never moves.
    std::string lines = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; lines.size() < 1100000; ++i)
        lines += "X-Filler-" + std::to_string(i) + ": 0123456789\r\n";
    for (const std::string& head : {"HTTP/1.1 200 OK\r\nX-Long: " + std::string(1100000, 'x'), lines}) {
        server_->set_faults("{\"files.example.invalid\": " + script_fault({{head, 0}}, "hold") + "}");
        size_t before = log_text().size();
        EXPECT_EQ(pump_slot(3, host, "/s", local("broken3.bin")), 2);
        EXPECT_NE(log_text().find("HTTP Error for", before), std::string::npos);
    }
}

TEST_F(HttpTest, StallFailsAfterThirtySecondsOfTheMovedClockWithoutReport) {
    std::string body = random_bytes(10000, 4);
    server_->put_file(host, "/stall.bin", body);
    server_->set_faults(R"({"files.example.invalid": {"mode": "stall"}})");
    // Pump until half the body is in, then the server says nothing more.
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(http.net_check(4, host, "/stall.bin", local("stall.bin")), 0);
        if (http.slot(4)->received() == 5000) break;
        usleep(500);
    }
    down_class* d = http.slot(4);
    ASSERT_EQ(d->received(), 5000);
    EXPECT_EQ(d->content_length(), 10000);
    EXPECT_EQ(d->GetStat(), 5);
    float last = d->last_activity();
    // A busy slot goes on with its own transfer whatever the later arguments say.
    xtim.real_time = last + 30.0f;
    EXPECT_EQ(http.net_check(4, "other.invalid", "/other", local("other")), 0);
    EXPECT_EQ(http.slot(4), d);
    xtim.real_time = last + 30.01f;
    EXPECT_EQ(http.net_check(4, host, "/stall.bin", local("stall.bin")), 2);
    EXPECT_EQ(http.slot(4), nullptr);
    EXPECT_EQ(log_text(), "");
    EXPECT_FALSE(std::filesystem::exists(local("other")));
}

TEST_F(HttpTest, FourSlotsAtOnceShareTheReceiveBuffer) {
    std::string bodies[4];
    for (int i = 0; i < 4; ++i) {
        bodies[i] = random_bytes(150000 + 1000 * i, 10 + i);
        server_->put_file(host, "/s" + std::to_string(i), bodies[i]);
    }
    server_->set_faults(R"({"files.example.invalid": {"mode": "throttle", "rate": 3000000}})");
    int result[4] = {0, 0, 0, 0};
    for (int round = 0; round < 100000; ++round) {
        bool busy = false;
        for (int i = 0; i < 4; ++i) {
            if (result[i]) continue;
            result[i] = http.net_check(2 + i, host, "/s" + std::to_string(i), local("s" + std::to_string(i)));
            busy = busy || !result[i];
        }
        if (!busy) break;
        usleep(200);
    }
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(result[i], 1) << i;
        EXPECT_TRUE(read_file(local("s" + std::to_string(i))) == bodies[i]) << i;
    }
}

TEST_F(HttpTest, RefusedProxyPortAndUnwritableFileAreReported) {
    {
        PCSBSocket probe(0, false);
        PCSBSocket::ConnectionData cd{};
        probe.GetAddresses(&cd);
        http.proxy_port = ntohs(cd.local_port);
    }  // nothing listens there any more
    EXPECT_EQ(pump_slot(0, host, "/a", local("refused")), 2);
    std::string log = log_text();
    EXPECT_NE(log.find("   IsDone     =1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   GetStat    =3\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   response   = (#-1)\n"), std::string::npos) << log;

    http.proxy_port = server_->port();
    server_->put_file(host, "/a", "abc");
    size_t before = log.size();
    EXPECT_EQ(pump_slot(0, host, "/a", local("no/such/folder/a")), 2);
    EXPECT_NE(log_text().find("   GetOSErr   =2\n", before), std::string::npos);
}

TEST_F(HttpTest, AFullDiskAtTheLastFlushIsAFailure) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    server_->put_file(host, "/small", "a small body that stays in the stdio buffer");
    EXPECT_EQ(pump_slot(0, host, "/small", "/dev/full"), 2);
    EXPECT_NE(log_text().find("   GetOSErr   =28\n"), std::string::npos);
}

TEST_F(HttpTest, ProxyIsUsedOnlyWithHostAndPortAndOutsideTheExclusions) {
    EXPECT_EQ(UseProxy("a.example.invalid", 80), 1);
    EXPECT_EQ(ProxyPort("a.example.invalid", 80), server_->port());
    EXPECT_STREQ(ProxyHost("a.example.invalid", 80), "127.0.0.1");
    gProxyExclude = {"example.invalid", "much.longer.than.the.host.example.invalid"};
    EXPECT_EQ(UseProxy("a.example.invalid", 80), 0);
    EXPECT_EQ(UseProxy("b.example.org", 80), 1);
    EXPECT_EQ(UseProxy("invalid", 80), 1);
    gProxyExclude.clear();
    http.proxy_port = 0;
    EXPECT_EQ(UseProxy("a.example.invalid", 80), 0);
    EXPECT_EQ(ProxyPort("a.example.invalid", 80), 80);
    http.proxy_port = server_->port();
    http.proxy_host.clear();
    EXPECT_EQ(UseProxy("a.example.invalid", 80), 0);
    EXPECT_STREQ(ProxyHost("a.example.invalid", 80), "a.example.invalid");
}

// The direct road on port 80 and an unresolvable host, in a network namespace of the test's
// own so that nothing can leave the machine.
TEST(HttpDirect, Port80WithoutProxyAndUnresolvableHost) {
    pid_t pid = fork();
    if (pid == 0) {
        if (unshare(CLONE_NEWNET) != 0) _exit(77);
        int fd = socket(AF_INET, SOCK_DGRAM, 0);
        ifreq ifr{};
        std::strcpy(ifr.ifr_name, "lo");
        if (ioctl(fd, SIOCGIFFLAGS, &ifr) != 0) _exit(77);
        ifr.ifr_flags |= IFF_UP;
        if (ioctl(fd, SIOCSIFFLAGS, &ifr) != 0) _exit(77);
        close(fd);
        std::string work = make_temp_folder("http_direct");
        int rc = 0;
        {
            test_http_server server(60.0, 80);
            server.put_file("127.0.0.1", "/dir/a b.txt", "direct");
            http.proxy_host.clear();
            http.proxy_port = 0;
            xer.open(work + "log.txt");
            if (pump_slot(0, "127.0.0.1", "/dir/a b.txt", work + "a.txt") != 1)
                rc = 1;
            else if (read_file(work + "a.txt") != "direct")
                rc = 2;
            else if (server.requests().size() != 1 ||
                     server.requests()[0] !=
                         "GET /dir/a%20b.txt HTTP/1.1\r\nConnection: close\r\nHost: "
                         "127.0.0.1\r\nUser-agent: Installer-APL/10r1\r\n\r\n")
                rc = 3;
            // No resolver can answer here: error 20011 on the very first call, no socket.
            else if (http.net_check(0, "no-such-host.invalid", "/x", work + "x") != 2)
                rc = 4;
            xer.close();
            std::string log = read_file(work + "log.txt");
            if (!rc &&
                log.find("Translated server no-such-host.invalid to IP addy: 0.0.0.0 and port = 80\n") ==
                    std::string::npos)
                rc = 5;
            if (!rc && log.find("   GetStat    =0\n   GetOSErr   =20011\n") == std::string::npos) rc = 6;
        }
        std::filesystem::remove_all(work);
        _exit(rc);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    ASSERT_TRUE(WIFEXITED(st));
    if (WEXITSTATUS(st) == 77) GTEST_SKIP() << "network namespaces not permitted";
    EXPECT_EQ(WEXITSTATUS(st), 0);
}

TEST(HttpDeathTest, CallerErrorsAreFatal) {
    EXPECT_EXIT(http.net_check(6, "h.invalid", "/x", "x"), testing::ExitedWithCode(1),
                "Too many download objects requested!");
    EXPECT_EXIT(http.net_check(-1, "h.invalid", "/x", "x"), testing::ExitedWithCode(1),
                "Too many download objects requested!");
    EXPECT_EXIT(http.net_check(0, "a/", "/x", "x"), testing::ExitedWithCode(1),
                "You have a dirchar at the end of the server name!");
    EXPECT_EXIT(http.net_check(0, "a", "x", "x"), testing::ExitedWithCode(1),
                "You do not have a dirchar at the beginning of the directory name!");
}

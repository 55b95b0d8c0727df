// The TCP and UDP sockets on the loopback interface.
#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <vector>

#include "common/test_helpers.h"
#include "net/tcp_socket.h"
#include "net/udp_socket.h"

namespace {

const unsigned long loopback = htonl(INADDR_LOOPBACK);

unsigned short local_port(PCSBSocket& s) {
    PCSBSocket::ConnectionData cd{};
    s.GetAddresses(&cd);
    return ntohs(cd.local_port);
}

int status_after(PCSBSocket& s, int from) {
    int st = from;
    eventually([&] { return (st = s.GetStatus()) != from; });
    return st;
}

}  // namespace

TEST(PCSBSocket, ConnectAcceptExchangeAndCloseFromEitherSide) {
    PCSBSocket listener(0, true), client(0, false);
    EXPECT_EQ(client.GetStatus(), PCSBSocket::status_Idle);
    client.Connect(loopback, local_port(listener));
    EXPECT_EQ(status_after(client, PCSBSocket::status_Connecting), PCSBSocket::status_Connected);
    EXPECT_EQ(status_after(listener, PCSBSocket::status_Idle), PCSBSocket::status_Connecting);
    std::unique_ptr<PCSBSocket> server(listener.Accept());
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(listener.GetStatus(), PCSBSocket::status_Idle);
    EXPECT_EQ(std::unique_ptr<PCSBSocket>(listener.Accept()), nullptr);  // nobody else waits

    PCSBSocket::ConnectionData c{}, s{};
    ASSERT_EQ(client.GetAddresses(&c) + server->GetAddresses(&s), 0);
    EXPECT_EQ(s.remote_port, c.local_port);
    EXPECT_EQ(s.local_port, c.remote_port);
    EXPECT_EQ(c.remote_address, loopback);

    EXPECT_EQ(client.http_WriteData("ping", 4), 4);
    char buf[16] = {};
    long got = 0;
    eventually([&] { return (got = server->ReadData(buf, sizeof buf)) != 0; });
    EXPECT_EQ(std::string(buf, static_cast<size_t>(got)), "ping");
    EXPECT_EQ(server->ReadData(buf, sizeof buf), 0);  // nothing more, and still fine
    EXPECT_EQ(server->GetStatus() * 10 + server->ReceivedRelease(), PCSBSocket::status_Connected * 10);

    // The peer closes: seen only through ReceivedRelease until this end releases too.
    server.reset();
    eventually([&] { return (got = client.ReadData(buf, sizeof buf), client.ReceivedRelease() != 0); });
    EXPECT_EQ(got, 0);
    EXPECT_EQ(client.GetStatus(), PCSBSocket::status_Connected);
    EXPECT_EQ(client.Release(), 0);
    EXPECT_EQ(client.ReadData(buf, sizeof buf), -1);
    EXPECT_EQ(client.GetStatus(), PCSBSocket::status_Closed);
    PCSBSocket idle(0, false);
    idle.Disconnect();
    EXPECT_EQ(idle.GetStatus(), PCSBSocket::status_Closed);
}

TEST(PCSBSocket, RefusedConnectClosesAtFirstWriteWithItsCauseAndNeverRaisesSigpipe) {
    PCSBSocket client(0, false);
    client.Connect(loopback, [] {
        PCSBSocket probe(0, false);
        return local_port(probe);  // freed again when probe goes
    }());
    // The poll does not ask for the pending error: the refused connect looks connected...
    EXPECT_EQ(status_after(client, PCSBSocket::status_Connecting), PCSBSocket::status_Connected);
    EXPECT_EQ(client.http_WriteData("x", 1), -1);  // ...until the first write reports it as a close
    EXPECT_EQ(client.GetStatus(), PCSBSocket::status_Closed);
    EXPECT_EQ(client.GetOSError(), ECONNREFUSED);
    EXPECT_EQ(client.http_WriteData("x", 1), -1);  // EPIPE: an error, and the process lives on
    EXPECT_EQ(client.GetStatus() * 1000 + client.GetOSError(), PCSBSocket::status_Error * 1000 + EPIPE);

    PCSBSocket holder(0, true), second(local_port(holder), true);  // a port in use
    EXPECT_EQ(second.GetStatus() * 1000 + second.GetOSError(), PCSBSocket::status_Error * 1000 + EADDRINUSE);
}

TEST(PCSBSocket, DescriptorsAbove1023ArePolledSafely) {
    rlimit lim{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &lim), 0);
    rlimit raised = lim;
    raised.rlim_cur = std::min<rlim_t>(lim.rlim_max, 4096);
    if (raised.rlim_cur < 1200 || setrlimit(RLIMIT_NOFILE, &raised) != 0)
        GTEST_SKIP() << "cannot open 1200 files";
    std::vector<int> filler;
    for (int fd = open("/dev/null", O_RDONLY); fd >= 0 && fd < 1100; fd = open("/dev/null", O_RDONLY))
        filler.push_back(fd);
    {
        PCSBSocket listener(0, true), client(0, false);
        ASSERT_GE(client.descriptor(), 1024);
        client.Connect(loopback, local_port(listener));
        EXPECT_EQ(status_after(client, PCSBSocket::status_Connecting), PCSBSocket::status_Connected);
        EXPECT_EQ(status_after(listener, PCSBSocket::status_Idle), PCSBSocket::status_Connecting);
    }
    for (int fd : filler) close(fd);
    setrlimit(RLIMIT_NOFILE, &lim);
}

TEST(PCSBSocket, LookupAddress) {
    EXPECT_EQ(PCSBSocket::LookupAddress("127.0.0.1"), loopback);
    EXPECT_EQ(PCSBSocket::LookupAddress("10.1.2.3"), inet_addr("10.1.2.3"));
    // In a network namespace of its own, so no resolver query leaves the machine.
    child_result r = run_in_child([] {
        if (unshare(CLONE_NEWNET) != 0) _exit(77);
        // All ones is the failure value of inet_addr, so it goes to the resolver, which parses it.
        _exit(PCSBSocket::LookupAddress("no-such-host.invalid") != 0         ? 1
              : PCSBSocket::LookupAddress("255.255.255.255") != 0xFFFFFFFFul ? 2
                                                                             : 0);
    });
    if (r.exit_code == 77) GTEST_SKIP() << "network namespaces not permitted";
    EXPECT_EQ(r.exit_code, 0);
}

TEST(PCSBSocketUDP, LoopbackRoundTripReportsTheSenderAndTakenPortsFail) {
    PCSBSocketUDP a, b, c;
    ASSERT_EQ(a.udp_init(0, 2) + b.udp_init(0, 2), 2);
    char buf[64];
    unsigned long from = 123;
    unsigned short from_port = 456;
    EXPECT_EQ(a.ReadData(buf, sizeof buf, &from, &from_port), -1);  // non-blocking, nothing there
    EXPECT_EQ(from + from_port, 0u);
    ASSERT_EQ(b.udp_WriteData(const_cast<char*>("hello"), 5, loopback, a.local_port()), 5);
    long got = -1;
    eventually([&] { return (got = a.ReadData(buf, sizeof buf, &from, &from_port)) >= 0; });
    EXPECT_EQ(std::string(buf, static_cast<size_t>(got)), "hello");
    EXPECT_EQ(from, loopback);
    EXPECT_EQ(from_port, b.local_port());
    ASSERT_EQ(b.udp_WriteData(const_cast<char*>("again"), 5, loopback, a.local_port()), 5);
    EXPECT_TRUE(eventually([&] { return a.ReadData(buf, sizeof buf, nullptr, nullptr) == 5; }));

    EXPECT_EQ(c.udp_init(a.local_port(), 0), 0);
    EXPECT_EQ(c.descriptor(), -1);
    EXPECT_EQ(a.Cleanup(), 0);
    EXPECT_EQ(a.Cleanup(), -1);
    EXPECT_EXIT(a.ReadData(buf, sizeof buf, &from, &from_port), testing::ExitedWithCode(1),
                "Bad mWinSocket!");
}

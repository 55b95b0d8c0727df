#include <arpa/inet.h>
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "net/PCSBSocket.h"

namespace {

const unsigned long loopback = htonl(INADDR_LOOPBACK);

unsigned short local_port(PCSBSocket& s) {
    PCSBSocket::ConnectionData cd{};
    s.GetAddresses(&cd);
    return ntohs(cd.local_port);
}

// Repeats step until it returns true, 1 ms apart; bounded in case the kernel never answers.
// A count of tries would depend on how fast a loaded machine delivers loopback packets.
template <class Step>
void eventually(Step step) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!step() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Polls GetStatus until it leaves `from`.
int wait_status_change(PCSBSocket& s, int from) {
    int st = from;
    eventually([&] { return (st = s.GetStatus()) != from; });
    return st;
}

// A port with nothing listening on it.
unsigned short closed_port() {
    PCSBSocket probe(0, false);
    return local_port(probe);  // freed again when probe goes
}

struct connected_pair {
    std::unique_ptr<PCSBSocket> listener, client, server;
};

connected_pair connect_pair() {
    connected_pair p;
    p.listener = std::make_unique<PCSBSocket>(0, true);
    p.client = std::make_unique<PCSBSocket>(0, false);
    p.client->Connect(loopback, local_port(*p.listener));
    EXPECT_EQ(wait_status_change(*p.client, PCSBSocket::status_Connecting), PCSBSocket::status_Connected);
    EXPECT_EQ(wait_status_change(*p.listener, PCSBSocket::status_Idle), PCSBSocket::status_Connecting);
    p.server.reset(p.listener->Accept());
    return p;
}

// Runs fn in a child process with a network namespace of its own (nothing can leave the
// machine there). Returns the child's exit code; 77 when namespaces are not permitted.
template <class Fn>
int in_private_network(Fn fn) {
    pid_t pid = fork();
    if (pid == 0) {
        if (unshare(CLONE_NEWNET) != 0) _exit(77);
        _exit(fn());
    }
    int st = 0;
    waitpid(pid, &st, 0);
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128;
}

}  // namespace

TEST(PCSBSocket, ListenerAcceptsAndBothEndsExchangeData) {
    connected_pair p = connect_pair();
    ASSERT_NE(p.server, nullptr);
    EXPECT_EQ(p.server->GetStatus(), PCSBSocket::status_Connected);
    EXPECT_EQ(p.listener->GetStatus(), PCSBSocket::status_Idle);

    // Nothing else waiting: Accept gives null and leaves the listener idle.
    std::unique_ptr<PCSBSocket> none(p.listener->Accept());
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(p.listener->GetStatus(), PCSBSocket::status_Idle);

    PCSBSocket::ConnectionData client{}, server{};
    ASSERT_EQ(p.client->GetAddresses(&client), 0);
    ASSERT_EQ(p.server->GetAddresses(&server), 0);
    EXPECT_EQ(server.remote_port, client.local_port);
    EXPECT_EQ(server.local_port, client.remote_port);
    EXPECT_EQ(client.remote_address, loopback);

    EXPECT_EQ(p.client->http_WriteData("ping", 4), 4);
    char buf[16] = {};
    long got = 0;
    eventually([&] { return (got = p.server->ReadData(buf, sizeof(buf))) != 0; });
    EXPECT_EQ(got, 4);
    EXPECT_EQ(std::string(buf, 4), "ping");
    // Nothing more to read: 0, and the connection is still fine.
    EXPECT_EQ(p.server->ReadData(buf, sizeof(buf)), 0);
    EXPECT_EQ(p.server->ReceivedRelease(), 0);
    EXPECT_EQ(p.server->GetStatus(), PCSBSocket::status_Connected);
}

TEST(PCSBSocket, IdleSocketStaysIdleAndLoopbackConnectIsInProgress) {
    PCSBSocket idle(0, false);
    EXPECT_EQ(idle.GetStatus(), PCSBSocket::status_Idle);

    PCSBSocket listener(0, true);
    PCSBSocket client(0, false);
    client.Connect(loopback, local_port(listener));
    EXPECT_EQ(wait_status_change(client, PCSBSocket::status_Connecting), PCSBSocket::status_Connected);
}

TEST(PCSBSocket, RefusedConnectClosesAtFirstWriteAndNeverRaisesSigpipe) {
    PCSBSocket client(0, false);
    client.Connect(loopback, closed_port());
    // The poll does not ask for the pending error: the refused connect looks connected...
    EXPECT_EQ(wait_status_change(client, PCSBSocket::status_Connecting), PCSBSocket::status_Connected);
    // ...until the first write reports the refusal as a close.
    EXPECT_EQ(client.http_WriteData("x", 1), -1);
    EXPECT_EQ(client.GetStatus(), PCSBSocket::status_Closed);
    // A second write to the dead connection is EPIPE: an error, and the process lives on.
    EXPECT_EQ(client.http_WriteData("x", 1), -1);
    EXPECT_EQ(client.GetStatus(), PCSBSocket::status_Error);
    EXPECT_EQ(client.GetOSError(), EPIPE);
}

TEST(PCSBSocket, PeerCloseIsSeenOnlyThroughReceivedReleaseUntilOwnRelease) {
    connected_pair p = connect_pair();
    ASSERT_NE(p.server, nullptr);
    p.server.reset();  // the peer closes

    char buf[16];
    long got = 0;
    eventually([&] {
        got = p.client->ReadData(buf, sizeof(buf));
        return p.client->ReceivedRelease() != 0;
    });
    EXPECT_EQ(got, 0);
    EXPECT_EQ(p.client->ReceivedRelease(), 1);
    EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_Connected);

    EXPECT_EQ(p.client->Release(), 0);
    EXPECT_EQ(p.client->ReadData(buf, sizeof(buf)), -1);
    EXPECT_EQ(p.client->GetStatus(), PCSBSocket::status_Closed);
}

TEST(PCSBSocket, DisconnectClosesWhateverTheState) {
    PCSBSocket idle(0, false);
    idle.Disconnect();
    EXPECT_EQ(idle.GetStatus(), PCSBSocket::status_Closed);
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
        PCSBSocket listener(0, true);
        PCSBSocket client(0, false);
        ASSERT_GE(client.descriptor(), 1024);
        client.Connect(loopback, local_port(listener));
        EXPECT_EQ(wait_status_change(client, PCSBSocket::status_Connecting), PCSBSocket::status_Connected);
        EXPECT_EQ(wait_status_change(listener, PCSBSocket::status_Idle), PCSBSocket::status_Connecting);
    }
    for (int fd : filler) close(fd);
    setrlimit(RLIMIT_NOFILE, &lim);
}

TEST(PCSBSocket, LookupAddressOfDottedQuadNeedsNoResolver) {
    EXPECT_EQ(PCSBSocket::LookupAddress("127.0.0.1"), loopback);
    EXPECT_EQ(PCSBSocket::LookupAddress("10.1.2.3"), inet_addr("10.1.2.3"));
}

TEST(PCSBSocket, LookupAddressOfUnknownNameGivesZero) {
    // Only in a network namespace of its own, so no resolver query leaves the machine.
    int rc = in_private_network([] {
        if (PCSBSocket::LookupAddress("no-such-host.invalid") != 0) return 1;
        // All ones is the failure value of inet_addr, so it goes to the resolver, which parses it.
        if (PCSBSocket::LookupAddress("255.255.255.255") != 0xFFFFFFFFul) return 2;
        return 0;
    });
    if (rc == 77) GTEST_SKIP() << "network namespaces not permitted";
    EXPECT_EQ(rc, 0);
}

TEST(PCSBSocket, FailedCreationIsHarmlessToDestroy) {
    // Binding a port that is in use fails: status 5 with the errno, and destruction is safe.
    PCSBSocket holder(0, true);
    PCSBSocket second(local_port(holder), true);
    EXPECT_EQ(second.GetStatus(), PCSBSocket::status_Error);
    EXPECT_EQ(second.GetOSError(), EADDRINUSE);
}

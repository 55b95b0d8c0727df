#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "net/PCSBSocketUDP.h"

namespace {

// Non-blocking reads until a datagram comes, 1 ms apart and bounded; a count of tries would
// depend on how fast a loaded machine delivers it.
long read_datagram(PCSBSocketUDP& s, char* buf, long n, unsigned long* from, unsigned short* port) {
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    long got = s.ReadData(buf, n, from, port);
    while (got < 0 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        got = s.ReadData(buf, n, from, port);
    }
    return got;
}

}  // namespace

TEST(PCSBSocketUDP, LoopbackRoundTripReportsTheSender) {
    PCSBSocketUDP a, b;
    ASSERT_EQ(a.udp_init(0, 2), 1);
    ASSERT_EQ(b.udp_init(0, 2), 1);
    ASSERT_NE(a.local_port(), 0);

    // Non-blocking with nothing waiting: -1 at once, and both outputs zero.
    char buf[64];
    unsigned long from = 123;
    unsigned short from_port = 456;
    EXPECT_EQ(a.ReadData(buf, sizeof(buf), &from, &from_port), -1);
    EXPECT_EQ(from, 0u);
    EXPECT_EQ(from_port, 0);

    ASSERT_EQ(b.udp_WriteData(const_cast<char*>("hello"), 5, htonl(INADDR_LOOPBACK), a.local_port()), 5);
    long got = read_datagram(a, buf, sizeof(buf), &from, &from_port);
    ASSERT_EQ(got, 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(from, htonl(INADDR_LOOPBACK));
    EXPECT_EQ(from_port, b.local_port());

    // Callers that do not want the sender pass null.
    ASSERT_EQ(b.udp_WriteData(const_cast<char*>("again"), 5, htonl(INADDR_LOOPBACK), a.local_port()), 5);
    EXPECT_EQ(read_datagram(a, buf, sizeof(buf), nullptr, nullptr), 5);

    EXPECT_EQ(a.Cleanup(), 0);
    EXPECT_EQ(a.Cleanup(), -1);
}

TEST(PCSBSocketUDP, BindingATakenPortFails) {
    PCSBSocketUDP a, b;
    ASSERT_EQ(a.udp_init(0, 0), 1);
    EXPECT_EQ(b.udp_init(a.local_port(), 0), 0);
    EXPECT_EQ(b.descriptor(), -1);

    // Setting a up again closes its first socket: that port is free once more.
    unsigned short first = a.local_port();
    ASSERT_EQ(a.udp_init(0, 0), 1);
    if (a.local_port() != first) {  // unless the same port was drawn again
        EXPECT_EQ(b.udp_init(first, 0), 1);
    }
}

TEST(PCSBSocketUDPDeathTest, ReadWithoutSocketIsFatal) {
    PCSBSocketUDP a;
    unsigned long from;
    unsigned short port;
    char buf[4];
    EXPECT_EXIT(a.ReadData(buf, sizeof(buf), &from, &port), testing::ExitedWithCode(1), "Bad mWinSocket!");
}

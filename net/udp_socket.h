// Network transfer layer (net/).
// An IPv4 UDP socket bound to a local port, optionally non-blocking, with fixed buffer sizes.
// Unlike the TCP class it reports set-up failures through alerts.
#pragma once

#include <netinet/in.h>

inline constexpr int udp_buffer_size_snd = 16384;
inline constexpr int udp_buffer_size_rcv = 65536;

class PCSBSocketUDP {
public:
    PCSBSocketUDP() = default;
    virtual ~PCSBSocketUDP();
    PCSBSocketUDP(const PCSBSocketUDP&) = delete;
    PCSBSocketUDP& operator=(const PCSBSocketUDP&) = delete;

    // Binds to port (0: any free one); mode 2 makes the socket non-blocking. 1 when ready, else 0.
    int udp_init(unsigned short port, int mode);
    // address in network byte order, port a plain number. Returns what sendto returns.
    long udp_WriteData(void* buffer, long length, unsigned long address, unsigned short port);
    // The sender goes to address and port (either may be null); both 0 when nothing came.
    long ReadData(void* buffer, long length, unsigned long* address, unsigned short* port);
    // -1 when there was nothing to close.
    int Cleanup();

    int descriptor() const { return mWinSocket; }
    unsigned short local_port() const;

private:
    void size_buffer();

    int mWinSocket = -1;
    sockaddr_in mLocal{};
};

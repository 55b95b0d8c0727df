// The UDP socket (network layer).
#include "net/udp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "core/alert.h"

PCSBSocketUDP::~PCSBSocketUDP() { Cleanup(); }

int PCSBSocketUDP::udp_init(unsigned short port, int mode) {
    Cleanup();  // a second set-up must not leave the first socket open
    mLocal = sockaddr_in{};
    mLocal.sin_family = AF_INET;
    mLocal.sin_port = htons(port);
    mLocal.sin_addr.s_addr = htonl(INADDR_ANY);

    mWinSocket = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (mWinSocket == -1) return 0;
    if (bind(mWinSocket, reinterpret_cast<sockaddr*>(&mLocal), sizeof(mLocal)) != 0) {
        Cleanup();
        return 0;
    }
    if (mode == 2) {
        int flags = fcntl(mWinSocket, F_GETFL, 0);
        if (flags == -1 || fcntl(mWinSocket, F_SETFL, flags | O_NONBLOCK) == -1) {
            __MACIBM_alert(0, "Could not set net to non-blocking!", "", "", "", t_alert, __FILE__, __LINE__);
            Cleanup();
            return 0;
        }
    }
    size_buffer();
    return 1;
}

void PCSBSocketUDP::size_buffer() {
    int snd = udp_buffer_size_snd, rcv = udp_buffer_size_rcv, got = 0;
    socklen_t len = sizeof(got);
    if (setsockopt(mWinSocket, SOL_SOCKET, SO_SNDBUF, &snd, sizeof(snd)) != 0)
        __MACIBM_alert(0, "Could not set socket size!", "", "", "", t_exit, __FILE__, __LINE__);
    if (getsockopt(mWinSocket, SOL_SOCKET, SO_SNDBUF, &got, &len) != 0)
        __MACIBM_alert(0, "Could not set socket size!", "", "", "", t_exit, __FILE__, __LINE__);
    if (setsockopt(mWinSocket, SOL_SOCKET, SO_RCVBUF, &rcv, sizeof(rcv)) != 0)
        __MACIBM_alert(0, "Could not set socket size!", "", "", "", t_exit, __FILE__, __LINE__);
    len = sizeof(got);
    if (getsockopt(mWinSocket, SOL_SOCKET, SO_RCVBUF, &got, &len) != 0)
        __MACIBM_alert(0, "Could not set socket size!", "", "", "", t_exit, __FILE__, __LINE__);
}

long PCSBSocketUDP::udp_WriteData(void* buffer, long length, unsigned long address, unsigned short port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = static_cast<in_addr_t>(address);
    to.sin_port = htons(port);
    return sendto(mWinSocket, buffer, static_cast<size_t>(length), 0, reinterpret_cast<sockaddr*>(&to),
                  sizeof(to));
}

long PCSBSocketUDP::ReadData(void* buffer, long length, unsigned long* address, unsigned short* port) {
    if (mWinSocket < 0) __MACIBM_alert(0, "Bad mWinSocket!", "", "", "", t_exit, __FILE__, __LINE__);
    sockaddr_in from{};
    socklen_t len = sizeof(from);
    ssize_t n = recvfrom(mWinSocket, buffer, static_cast<size_t>(length), 0,
                         reinterpret_cast<sockaddr*>(&from), &len);
    bool got = n >= 0;
    // Callers that do not care about the sender may pass null.
    if (address) *address = got ? from.sin_addr.s_addr : 0;
    if (port) *port = got ? ntohs(from.sin_port) : 0;
    return n;
}

int PCSBSocketUDP::Cleanup() {
    if (mWinSocket == -1) return -1;
    int r = close(mWinSocket);
    mWinSocket = -1;
    return r;
}

unsigned short PCSBSocketUDP::local_port() const {
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    if (mWinSocket < 0 || getsockname(mWinSocket, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

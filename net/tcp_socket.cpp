// The non-blocking TCP socket (network layer).
#include "net/tcp_socket.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

// errno values that end a connection without counting as an error.
bool is_closing_cause(int err) {
    switch (err) {
        case ECONNABORTED:
        case ECONNREFUSED:
        case ECONNRESET:
        case EHOSTUNREACH:
        case ENETDOWN:
        case ENETRESET:
        case ENETUNREACH:
        case ETIMEDOUT:
            return true;
        default:
            return false;
    }
}

bool is_would_block(int err) { return err == EAGAIN || err == EWOULDBLOCK; }

void set_nonblocking(int fd) {
    int on = 1;
    ioctl(fd, FIONBIO, &on);
}

// A zero-time poll for one descriptor; poll rather than select, so descriptors above 1023 work.
int poll_now(int fd, short events, short* revents) {
    pollfd p{fd, events, 0};
    int r = poll(&p, 1, 0);
    *revents = p.revents;
    return r;
}

}  // namespace

PCSBSocket::PCSBSocket(unsigned short port, bool listen) {
    mSocket = socket(AF_INET, SOCK_STREAM, 0);
    if (mSocket == -1) {
        int err = errno;
        std::fprintf(stderr, "LINUX: NET: I could not even create the socket! Uh-oh!\n");
        fail(err);
        return;
    }
    int on = 1;
    if (setsockopt(mSocket, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on)) != 0)
        std::printf("-----------------------Could not set TCP_NODELAY on port %d-------------\n", port);

    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_ANY);
    addr.sin_port = htons(port);
    if (bind(mSocket, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0) {
        int err = errno;
        std::fprintf(stderr, "LINUX: NET: I could not even bind the socket! Uh-oh!\n");
        fail(err);
        return;
    }
    set_nonblocking(mSocket);
    if (listen) {
        mListener = 1;
        if (::listen(mSocket, 128) != 0) {
            int err = errno;
            std::fprintf(stderr, "LINUX: NET: I could not start listening! Uh-oh!\n");
            fail(err);
        }
    }
}

PCSBSocket::PCSBSocket(int descriptor) : mSocket(descriptor), mStatus(status_Connected) {
    set_nonblocking(mSocket);
}

PCSBSocket::~PCSBSocket() {
    shutdown(mSocket, SHUT_RDWR);
    close(mSocket);
}

bool PCSBSocket::StartupNetworking(bool) { return true; }
void PCSBSocket::ShutdownNetworking(bool) {}

void PCSBSocket::fail(int err) {
    mOSErr = err;
    mStatus = status_Error;
}

long PCSBSocket::io_failure(const char* what) {
    int err = errno;
    if (is_would_block(err)) return 0;
    if (is_closing_cause(err)) {
        mOSErr = err;  // kept as the cause a caller may show
        mStatus = status_Closed;
        return -1;
    }
    std::fprintf(stderr, "LINUX: NET: Some sort of error while %s! %d\n", what, err);
    fail(err);
    return -1;
}

int PCSBSocket::GetStatus() {
    short rev = 0;
    if (mStatus == status_Idle && mListener) {
        int r = poll_now(mSocket, POLLIN, &rev);
        if (r == 0 || (r < 0 && errno == EINTR)) return mStatus;
        if (r < 0) {
            int err = errno;
            std::fprintf(stderr, "LINUX: NET: Some sort of socket error! %d\n", r);
            fail(err);
        } else {
            mStatus = (rev & POLLIN) ? status_Connecting : status_Closed;
        }
    } else if (mStatus == status_Connecting) {
        int r = poll_now(mSocket, POLLOUT | POLLPRI, &rev);
        if (r == 0 || (r < 0 && errno == EINTR)) return mStatus;
        if (r < 0) {
            int err = errno;
            std::fprintf(stderr,
                         "LINUX: NET: Some sort of socket error while connecting! %d (errno=%d sock=%d)\n", r,
                         err, mSocket);
            fail(err);
        } else {
            // The sets select would report: a pending error counts as writable, the exception
            // set is urgent data only. A failed connect therefore shows at the first send/recv.
            bool writable = rev & (POLLOUT | POLLERR);
            bool exceptional = rev & POLLPRI;
            mStatus = (writable && !exceptional) ? status_Connected : status_Closed;
        }
    }
    return mStatus;
}

void PCSBSocket::Connect(unsigned long address, unsigned short port) {
    mStatus = status_Connecting;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = static_cast<in_addr_t>(address);
    addr.sin_port = htons(port);
    if (connect(mSocket, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        mStatus = status_Connected;
        return;
    }
    int err = errno;
    if (is_would_block(err) || err == EINPROGRESS) return;
    std::fprintf(stderr, "LINUX: NET: Some sort of connect error! %d\n", err);
    fail(err);
}

long PCSBSocket::ReadData(void* buffer, long length) {
    ssize_t n = recv(mSocket, buffer, static_cast<size_t>(length), 0);
    if (n > 0) return n;
    if (n == 0) {
        mReceivedRelease = 1;
        if (!mSentRelease) return 0;
        mStatus = status_Closed;
        return -1;
    }
    return io_failure("recving");
}

long PCSBSocket::http_WriteData(const void* buffer, long length) {
    // MSG_NOSIGNAL: a write to a closed connection must not raise SIGPIPE and end the program.
    ssize_t n = send(mSocket, buffer, static_cast<size_t>(length), MSG_NOSIGNAL);
    if (n >= 0) return n;
    return io_failure("sending");
}

int PCSBSocket::Disconnect() {
    int r = shutdown(mSocket, SHUT_RDWR);
    mStatus = status_Closed;
    return r;
}

int PCSBSocket::Release() {
    int r = shutdown(mSocket, SHUT_WR);
    if (r == -1) fail(errno);
    mSentRelease = 1;
    return r;
}

PCSBSocket* PCSBSocket::Accept() {
    int fd = accept(mSocket, nullptr, nullptr);
    mStatus = status_Idle;
    if (fd == -1) return nullptr;
    return new PCSBSocket(fd);
}

int PCSBSocket::GetAddresses(ConnectionData* out) {
    sockaddr_in addr{};
    socklen_t len = sizeof(addr);
    getpeername(mSocket, reinterpret_cast<sockaddr*>(&addr), &len);
    out->remote_address = addr.sin_addr.s_addr;
    out->remote_port = addr.sin_port;
    addr = sockaddr_in{};
    len = sizeof(addr);
    int r = getsockname(mSocket, reinterpret_cast<sockaddr*>(&addr), &len);
    out->local_address = addr.sin_addr.s_addr;
    out->local_port = addr.sin_port;
    return r;
}

unsigned long PCSBSocket::LookupAddress(const char* host) {
    in_addr_t a = inet_addr(host);
    if (a != INADDR_NONE) return a;
    // getaddrinfo instead of gethostbyname: same answer, but safe to call from any thread.
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host, nullptr, &hints, &res) != 0 || !res) return 0;
    unsigned long found = 0;
    for (addrinfo* p = res; p; p = p->ai_next) {
        if (p->ai_family == AF_INET && p->ai_addr) {
            found = reinterpret_cast<sockaddr_in*>(p->ai_addr)->sin_addr.s_addr;
            break;
        }
    }
    freeaddrinfo(res);
    return found;
}

int printf_null(const char*, ...) { return 0; }

// Network transfer layer (net/).
// A non-blocking IPv4 TCP socket whose every system result folds into one status value, so a
// caller can drive a connection from the frame loop without ever waiting. Diagnostics go to
// stderr (one notice to stdout), never to the installer's log.
#pragma once

#include <cstdint>

class PCSBSocket {
public:
    enum {
        status_Idle = 1,        // bound, no connection under way (listener: nothing waiting)
        status_Connecting = 2,  // connect under way (listener: a connection waits)
        status_Connected = 3,
        status_Closed = 4,  // a closing cause (GetOSError then holds it), or Disconnect
        status_Error = 5    // a system call failed otherwise; GetOSError holds errno
    };

    // Both ends as getsockname/getpeername give them: addresses and ports in network order.
    struct ConnectionData {
        uint32_t local_address;
        uint16_t local_port;
        uint32_t remote_address;
        uint16_t remote_port;
    };

    // port 0 binds any free port; listen also starts listening with a backlog of 128.
    PCSBSocket(unsigned short port, bool listen);
    // Wraps a descriptor that accept() returned: connected from the start.
    explicit PCSBSocket(int descriptor);
    virtual ~PCSBSocket();
    PCSBSocket(const PCSBSocket&) = delete;
    PCSBSocket& operator=(const PCSBSocket&) = delete;

    static bool StartupNetworking(bool);
    static void ShutdownNetworking(bool);

    int GetStatus();
    int GetOSError() const { return mOSErr; }
    int ReceivedRelease() const { return mReceivedRelease; }

    // address in network byte order (as LookupAddress gives it), port a plain number.
    void Connect(unsigned long address, unsigned short port);
    // 0 means no bytes came now; a closed peer shows only through ReceivedRelease.
    long ReadData(void* buffer, long length);
    long http_WriteData(const void* buffer, long length);
    int Disconnect();
    int Release();
    // The caller owns the result; null when no connection was waiting.
    PCSBSocket* Accept();
    int GetAddresses(ConnectionData* out);

    // Network-order address of a dotted quad or host name; 0 on failure. Blocks on the resolver.
    static unsigned long LookupAddress(const char* host);

    int descriptor() const { return mSocket; }

private:
    // A failed send or recv: 0 for nothing possible now, else -1 with status 4 or 5.
    long io_failure(const char* what);
    void fail(int err);  // status 5 with the saved errno

    int mSocket = -1;
    int mStatus = status_Idle;
    int mOSErr = 0;
    int mReceivedRelease = 0;
    int mSentRelease = 0;
    int mListener = 0;
};

// The socket layer's silenced debug print.
int printf_null(const char* fmt, ...);

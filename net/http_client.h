// Network transfer layer (net/).
// The HTTP/1.1 GET client: six numbered download slots, each pumped one step per call of
// http_class::net_check from the frame loop, over non-blocking sockets, optionally through a proxy.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

class PCSBSocket;

// Header names compare without regard to case.
struct http_header_less {
    bool operator()(const std::string& a, const std::string& b) const;
};
using http_header_map = std::map<std::string, std::string, http_header_less>;

// One transfer, from the request to the file on disk.
class down_class {
public:
    // Sets up the request and starts the connect. local_file (relative to app_path) may be null.
    down_class(const char* server, unsigned short port, const char* path, bool post,
               const std::map<std::string, std::string>& headers, const char* body, int body_length,
               const char* local_file);
    ~down_class();
    down_class(const down_class&) = delete;
    down_class& operator=(const down_class&) = delete;

    // One pump step: send what the socket takes, receive what it holds (up to a bound), parse,
    // write to the file.
    void DoProcessing();

    // 0 no socket, 1 connecting, 2 socket error, 3 closed, 4 sending, 5 receiving the body,
    // 6 waiting for the headers.
    int GetStat();
    bool IsDone() { return GetStat() == 3; }
    bool IsComplete() const;
    bool IsErr();
    int GetOSErr();

    // Length of the body in bytes, -1 until the headers give it (or when they never will).
    int64_t content_length() const { return mContentLength; }
    // Body bytes handed to the file so far.
    int64_t received() const { return mReceived; }
    int status_code() const { return mStatusCode; }
    const std::string& reason() const { return mReason; }
    const http_header_map& headers() const { return mHeaders; }
    float last_activity() const { return mLastActivity; }
    // Closes the file and deletes it when this transfer wrote it, whole or in part.
    void discard_file();
    // The most body bytes the transfer may bring (-1: no bound). A body announced or grown
    // past it is abandoned with EFBIG and its file deleted.
    void set_limit(int64_t max_bytes) { mMaxBytes = max_bytes; }
    // The body passed the limit.
    bool oversize() const { return mOversize; }

private:
    enum class body_kind { by_length, chunked, until_close };

    void parse_headers();
    void start_body();
    void take_bytes(const char* data, size_t n);
    void handle_body();
    void body_bytes(const char* data, size_t n);
    size_t decode_chunks();
    void end_body();
    void abandon();
    void refuse_oversize();
    bool write_out(const char* data, size_t n);
    void close_file();

    PCSBSocket* mSocket = nullptr;
    std::vector<char> mOut;
    std::vector<char> mIn;
    int mHeadersDone = 0;
    size_t mHeaderBytes = 0;  // header bytes parsed so far, interim responses included
    int mStatusCode = 0;
    std::string mReason;
    http_header_map mHeaders;
    FILE* mFile = nullptr;
    bool mFileMade = false;  // this transfer created the file at mLocalPath
    std::string mLocalPath;
    int mErr = 0;
    int64_t mContentLength = -1;
    int64_t mReceived = 0;
    int64_t mMaxBytes = -1;
    bool mOversize = false;
    float mLastActivity = 0.0f;

    body_kind mBody = body_kind::by_length;
    bool mBodyEnded = false;  // the body's end was seen where its framing puts it
    // Chunked decoding: bytes left of the current chunk's data, and where the decoder stands.
    enum class chunk_state { size_line, data, data_crlf, trailer };
    chunk_state mChunkState = chunk_state::size_line;
    uint64_t mChunkLeft = 0;
};

// Why a slot's last transfer failed.
struct http_failure {
    int status = 0;        // the status code; -1 when no status line came
    std::string reason;    // the text behind it
    int os_err = 0;        // the transfer's error number (GetOSErr), 0 for none
    bool stalled = false;  // nothing came for the stall limit
    bool oversize = false;  // the body passed the caller's limit
};

class http_class {
public:
    static constexpr int slot_count = 6;

    http_class();

    // 0 busy, 1 finished and correct, 2 failed. Call once per frame with the same arguments until
    // it returns 1 or 2; the slot is then free. server is a bare host name, path begins with '/'.
    // A body of more than max_bytes (when not -1) fails the transfer (os_err EFBIG) and deletes
    // its file: a server that never stops must not fill the disk.
    int net_check(int slot, std::string server, std::string path, const std::string& local_file,
                  int64_t max_bytes = -1);
    // The transfer in a slot, null when the slot is free (or the number is out of range).
    down_class* slot(int index) const;
    // Ends the transfer of a slot at once and deletes the file it was writing; the slot is free
    // for a new transfer. Nothing happens to a free slot.
    void cancel(int slot);
    // Why the last transfer of a slot that answered 2 failed.
    const http_failure& last_failure(int index) const;

    std::string proxy_host;       // empty: no proxy
    std::string proxy_port_text;  // as the user typed it; the client never reads it
    uint32_t proxy_port = 0;      // 0: no proxy; the low 16 bits are used

private:
    void report(down_class& d, const std::string& local_file, const std::string& server,
                const std::string& path);

    down_class* mSlots[slot_count] = {};
    http_failure mFailures[slot_count];
};

extern http_class http;
// Host-name endings that bypass the proxy.
extern std::vector<std::string> gProxyExclude;

int UseProxy(const char* host, unsigned short port);
unsigned short ProxyPort(const char* host, unsigned short port);
const char* ProxyHost(const char* host, unsigned short port);

// The path with every byte outside the unreserved set and '/' written as %XX.
std::string http_escape_path(const std::string& path);

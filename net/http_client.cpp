// The HTTP client and its download slots (network layer).
#include "net/http_client.h"

#include <errno.h>
#include <strings.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "core/alert.h"
#include "core/globals.h"
#include "core/strings.h"
#include "core/time_keeper.h"
#include "net/tcp_socket.h"

http_class http;
std::vector<std::string> gProxyExclude;

namespace {

constexpr long receive_size = 256 * 1024;
// What one step of a slot takes from its socket at most.
constexpr size_t max_bytes_per_step = 8 << 20;
constexpr float stall_limit = 30.0f;
// A header section that never ends (one endless line, or endless lines) is refused past this
// size instead of growing without bound.
constexpr size_t max_header_bytes = 1 << 20;
constexpr int err_no_connection = 20009;
constexpr int err_host_not_found = 20011;

// One receive area per thread; the transfers of a thread are pumped one after the other.
char* receive_buffer() {
    thread_local std::vector<char> buf(receive_size);
    return buf.data();
}

std::string trim_blanks(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && is_blank(s[b])) ++b;
    while (e > b && is_blank(s[e - 1])) --e;
    return s.substr(b, e - b);
}

bool is_unreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

// A host goes into the request line and the Host header: anything that could end either or
// change where the request goes is refused.
bool host_is_safe(const std::string& host) {
    for (unsigned char c : host)
        if (!is_unreserved(c) && c != ':' && c != '[' && c != ']') return false;
    return true;
}

bool header_name_is_safe(const std::string& s) {
    if (s.empty()) return false;
    for (unsigned char c : s)
        if (!is_unreserved(c)) return false;
    return true;
}

bool header_text_is_safe(const std::string& s) {
    for (unsigned char c : s)
        if ((c < 0x20 && c != '\t') || c == 0x7f) return false;
    return true;
}

// Decimal digits only (blanks trimmed already); none on anything else or on overflow.
std::optional<int64_t> parse_length(const std::string& s) {
    if (s.empty() || s.size() > 18 || s.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoll(s);
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The size of a chunk-size line ("1A2;ext=x"); false when it is no hex number or absurdly large.
bool parse_chunk_size(const std::string& line, uint64_t* out) {
    std::string digits = trim_blanks(line.substr(0, line.find(';')));
    if (digits.empty() || digits.size() > 15) return false;
    uint64_t v = 0;
    for (char c : digits) {
        int h = hex_value(c);
        if (h < 0) return false;
        v = v * 16 + static_cast<uint64_t>(h);
    }
    *out = v;
    return true;
}

}  // namespace

bool http_header_less::operator()(const std::string& a, const std::string& b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
}

std::string http_escape_path(const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (unsigned char c : path) {
        if (is_unreserved(c) || c == '/') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

int UseProxy(const char* host, unsigned short) {
    if (http.proxy_port == 0 || http.proxy_host.empty()) return 0;
    size_t hl = std::strlen(host);
    for (const std::string& ending : gProxyExclude)
        if (ending.size() <= hl && std::strcmp(host + hl - ending.size(), ending.c_str()) == 0) return 0;
    return 1;
}

unsigned short ProxyPort(const char* host, unsigned short port) {
    return UseProxy(host, port) ? static_cast<unsigned short>(http.proxy_port & 0xFFFF) : port;
}

const char* ProxyHost(const char* host, unsigned short port) {
    return UseProxy(host, port) ? http.proxy_host.c_str() : host;
}

// ---------------------------------------------------------------------------------------------
// down_class

down_class::down_class(const char* server, unsigned short port, const char* path, bool post,
                       const std::map<std::string, std::string>& headers, const char* body, int body_length,
                       const char* local_file) {
    if (local_file) mLocalPath = app_path + local_file;
    mLastActivity = xtim.real_time;

    // Text from a server list must not be able to add lines to the request.
    bool safe = host_is_safe(server);
    for (const auto& h : headers)
        safe = safe && header_name_is_safe(h.first) && header_text_is_safe(h.second);
    if (!safe) {
        mErr = EINVAL;
        return;
    }

    bool proxy = UseProxy(server, port);
    const char* target = proxy ? http.proxy_host.c_str() : server;
    unsigned long address = *target ? PCSBSocket::LookupAddress(target) : 0;
    if (address == 0) {
        // The failed address is 0: four zero bytes.
        xer << "Translated server " << server << " to IP addy: 0.0.0.0 and port = " << port << "\n";
        mErr = err_host_not_found;
        return;
    }
    mStatusCode = -1;
    mSocket = new PCSBSocket(0, false);
    mSocket->Connect(address, proxy ? static_cast<unsigned short>(http.proxy_port & 0xFFFF) : port);

    std::string req = post ? "POST " : "GET ";
    if (proxy) {
        auto host = headers.find("Host");
        req += "http://" + (host == headers.end() ? std::string() : host->second);
    }
    req += http_escape_path(path) + " HTTP/1.1\r\n";
    for (const auto& h : headers) req += h.first + ": " + h.second + "\r\n";
    if (body) req += "Content-Length: " + std::to_string(body_length) + "\r\n";
    req += "\r\n";
    mOut.assign(req.begin(), req.end());
    if (body && body_length > 0) mOut.insert(mOut.end(), body, body + body_length);
}

down_class::~down_class() {
    close_file();
    delete mSocket;
}

int down_class::GetStat() {
    if (!mSocket) return 0;
    switch (mSocket->GetStatus()) {
        case PCSBSocket::status_Connecting:
            return 1;
        case PCSBSocket::status_Error:
            return 2;
        case PCSBSocket::status_Closed:
            return 3;
        default:
            if (!mOut.empty()) return 4;
            return mHeadersDone ? 5 : 6;
    }
}

bool down_class::IsComplete() const { return mBodyEnded; }

bool down_class::IsErr() { return mErr != 0 || !mSocket || mSocket->GetStatus() == PCSBSocket::status_Error; }

int down_class::GetOSErr() {
    if (mErr) return mErr;
    return mSocket ? mSocket->GetOSError() : err_no_connection;
}

void down_class::close_file() {
    if (!mFile) return;
    // The last flush happens here: a full disk shows only now, and must not pass for success.
    if (std::fclose(mFile) != 0 && !mErr) mErr = errno ? errno : EIO;
    mFile = nullptr;
}

void down_class::discard_file() {
    close_file();
    if (mFileMade) std::remove(mLocalPath.c_str());
    mFileMade = false;
}

void down_class::abandon() {
    mSocket->Disconnect();
    close_file();
}

void down_class::end_body() {
    mBodyEnded = true;
    mSocket->Disconnect();
    close_file();
}

void down_class::refuse_oversize() {
    mOversize = true;
    if (!mErr) mErr = EFBIG;
    abandon();
    discard_file();
}

// False once the transfer was abandoned for bringing more than its limit.
bool down_class::write_out(const char* data, size_t n) {
    if (n == 0) return true;
    if (mMaxBytes >= 0 && static_cast<int64_t>(n) > mMaxBytes - mReceived) {
        refuse_oversize();
        return false;
    }
    mReceived += static_cast<int64_t>(n);
    if (mFile && std::fwrite(data, 1, n, mFile) != n && !mErr) mErr = errno ? errno : EIO;
    return true;
}

void down_class::DoProcessing() {
    if (!mSocket) return;
    int st = mSocket->GetStatus();
    if (st != PCSBSocket::status_Connected) {
        if (st == PCSBSocket::status_Closed || st == PCSBSocket::status_Error) close_file();
        return;
    }
    if (!mOut.empty()) {
        long sent = mSocket->http_WriteData(mOut.data(), static_cast<long>(mOut.size()));
        if (sent > 0) mOut.erase(mOut.begin(), mOut.begin() + sent);
    }
    // Read what the socket holds: between two steps (a frame) the kernel keeps receiving, and one
    // block per step would cap a stream at a block per frame. The bound keeps one slot from
    // holding the frame while a fast server keeps sending.
    char* buf = receive_buffer();
    for (size_t taken = 0; taken < max_bytes_per_step;) {
        long got = mSocket->ReadData(buf, receive_size);
        if (got <= 0) {
            // The peer closed: that ends a body delimited by the close, and fails anything else
            // at once rather than after the stall limit.
            if (got == 0 && mSocket->ReceivedRelease() &&
                mSocket->GetStatus() == PCSBSocket::status_Connected) {
                if (mHeadersDone && mBody == body_kind::until_close)
                    end_body();
                else
                    abandon();
            }
            return;
        }
        taken += static_cast<size_t>(got);
        // Header bytes are progress too: a slow server is not a silent one.
        mLastActivity = xtim.real_time;
        take_bytes(buf, static_cast<size_t>(got));
        if (mSocket->GetStatus() != PCSBSocket::status_Connected) return;
    }
}

void down_class::take_bytes(const char* data, size_t n) {
    if (mHeadersDone && mIn.empty() && mBody != body_kind::chunked) {
        // The body straight from the receive area to the file.
        body_bytes(data, n);
        return;
    }
    mIn.insert(mIn.end(), data, data + n);
    if (!mHeadersDone) parse_headers();
    if (mHeadersDone && mSocket->GetStatus() == PCSBSocket::status_Connected) handle_body();
}

void down_class::parse_headers() {
    while (!mHeadersDone) {
        auto end = std::search(mIn.begin(), mIn.end(), "\r\n", "\r\n" + 2);
        if (end == mIn.end()) {
            if (mIn.size() > max_header_bytes) abandon();
            return;
        }
        std::string line(mIn.begin(), end);
        mIn.erase(mIn.begin(), end + 2);
        mHeaderBytes += line.size() + 2;
        if (mHeaderBytes > max_header_bytes) {
            abandon();
            return;
        }

        if (line.empty()) {
            if (mStatusCode > 199) {
                start_body();
            } else if (mStatusCode >= 100) {
                // An interim response: what follows is the real one, possibly in this same read.
                mHeaders.clear();
                mReason.clear();
                mStatusCode = -1;
            }
            continue;
        }
        bool status_line =
            line.size() >= 12 && line.compare(0, 5, "HTTP/") == 0 && line[8] == ' ' &&
            isdigit(static_cast<unsigned char>(line[9])) && isdigit(static_cast<unsigned char>(line[10])) &&
            isdigit(static_cast<unsigned char>(line[11])) && (line.size() == 12 || line[12] == ' ');
        if (status_line) {
            mStatusCode = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
            mReason = line.size() > 13 ? line.substr(13) : std::string();
            continue;
        }
        size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        mHeaders.emplace(trim_blanks(line.substr(0, colon)), trim_blanks(line.substr(colon + 1)));
    }
}

void down_class::start_body() {
    mHeadersDone = 1;
    if (!mLocalPath.empty()) {
        mFile = std::fopen(mLocalPath.c_str(), "wb");
        if (!mFile) mErr = errno;
        mFileMade = mFile != nullptr;
    }
    auto te = mHeaders.find("Transfer-Encoding");
    std::string coding = te == mHeaders.end() ? std::string() : lower(te->second);
    auto cl = mHeaders.find("Content-Length");
    if (coding == "chunked") {
        mBody = body_kind::chunked;
    } else if (!coding.empty() && coding != "identity") {
        abandon();  // a coding we cannot undo would put its framing into the file
    } else if (cl != mHeaders.end()) {
        mBody = body_kind::by_length;
        if (std::optional<int64_t> length = parse_length(cl->second))
            mContentLength = *length;
        else
            abandon();
        if (mMaxBytes >= 0 && mContentLength > mMaxBytes) refuse_oversize();
    } else {
        mBody = body_kind::until_close;
    }
}

void down_class::handle_body() {
    if (mBody == body_kind::chunked) {
        mIn.erase(mIn.begin(), mIn.begin() + static_cast<long>(decode_chunks()));
        return;
    }
    body_bytes(mIn.data(), mIn.size());
    mIn.clear();
}

void down_class::body_bytes(const char* data, size_t n) {
    if (mBody == body_kind::until_close) {
        write_out(data, n);
        return;
    }
    bool reached = mReceived + static_cast<int64_t>(n) >= mContentLength;
    if (reached) mSocket->Disconnect();
    if (!write_out(data, n)) return;
    if (mReceived == mContentLength)
        end_body();
    else if (reached)
        close_file();  // more than announced: the transfer fails with the report
}

// Writes the data of every whole or partial chunk in `in`; returns the bytes consumed.
size_t down_class::decode_chunks() {
    size_t pos = 0;
    auto find_crlf = [&]() -> size_t {
        for (size_t i = pos; i + 1 < mIn.size(); ++i)
            if (mIn[i] == '\r' && mIn[i + 1] == '\n') return i;
        return std::string::npos;
    };
    while (pos < mIn.size()) {
        switch (mChunkState) {
            case chunk_state::size_line:
            case chunk_state::trailer: {
                size_t eol = find_crlf();
                if (eol == std::string::npos) {
                    // An endless line is refused like an endless header section.
                    if (mIn.size() - pos > max_header_bytes) abandon();
                    return pos;
                }
                std::string line(mIn.begin() + static_cast<long>(pos), mIn.begin() + static_cast<long>(eol));
                pos = eol + 2;
                if (mChunkState == chunk_state::trailer) {
                    if (line.empty()) {
                        end_body();
                        return mIn.size();
                    }
                } else if (!parse_chunk_size(line, &mChunkLeft)) {
                    abandon();
                    return mIn.size();
                } else {
                    mChunkState = mChunkLeft ? chunk_state::data : chunk_state::trailer;
                }
                break;
            }
            case chunk_state::data: {
                size_t take = static_cast<size_t>(std::min<uint64_t>(mChunkLeft, mIn.size() - pos));
                if (!write_out(mIn.data() + pos, take)) return mIn.size();
                pos += take;
                mChunkLeft -= take;
                if (mChunkLeft == 0) mChunkState = chunk_state::data_crlf;
                break;
            }
            case chunk_state::data_crlf:
                if (mIn.size() - pos < 2) return pos;
                if (mIn[pos] != '\r' || mIn[pos + 1] != '\n') {
                    abandon();
                    return mIn.size();
                }
                pos += 2;
                mChunkState = chunk_state::size_line;
                break;
        }
    }
    return pos;
}

// ---------------------------------------------------------------------------------------------
// http_class

http_class::http_class() = default;

down_class* http_class::slot(int index) const {
    return index >= 0 && index < slot_count ? mSlots[index] : nullptr;
}

const http_failure& http_class::last_failure(int index) const {
    static const http_failure none;
    return index >= 0 && index < slot_count ? mFailures[index] : none;
}

void http_class::cancel(int index) {
    if (index < 0 || index >= slot_count || !mSlots[index]) return;
    mSlots[index]->discard_file();
    delete mSlots[index];
    mSlots[index] = nullptr;
}

void http_class::report(down_class& d, const std::string& local_file, const std::string& server,
                        const std::string& path) {
    xer << "HTTP Error for " << local_file << "\n"
        << "   server     =" << server << "\n"
        << "   file       =" << path << "\n"
        << "   IsDone     =" << (d.IsDone() ? 1 : 0) << "\n"
        << "   IsComplete =" << (d.IsComplete() ? 1 : 0) << "\n"
        << "   IsErr      =" << (d.IsErr() ? 1 : 0) << "\n"
        << "   GetStat    =" << d.GetStat() << "\n"
        << "   GetOSErr   =" << d.GetOSErr() << "\n"
        << "   response   =" << d.reason() << " (#" << d.status_code() << ")\n\n";
}

int http_class::net_check(int slot, std::string server, std::string path, const std::string& local_file,
                          int64_t max_bytes) {
    if (slot < 0 || slot >= slot_count)
        __MACIBM_alert(0, "Too many download objects requested!", "", "", "", t_exit, __FILE__, __LINE__);
    static bool started = [] { return PCSBSocket::StartupNetworking(true); }();
    (void)started;

    if (!mSlots[slot]) {
        if (!server.empty() && server.back() == '/')
            __MACIBM_alert(0, "net_check error! You have a dirchar at the end of the server name!",
                           "You should not!",
                           "Our convention is that a server name is simply a server name... with no slash!",
                           server, t_exit, __FILE__, __LINE__);
        if (path.empty() || path[0] != '/')
            __MACIBM_alert(
                0, "net_check error! You do not have a dirchar at the beginning of the directory name!",
                "You should!",
                "Our convention is that a directory name does start with a slash because it must include "
                "the hard drive,which is a dir char on unix!",
                path, t_exit, __FILE__, __LINE__);
        std::string version = build_name[0];
        std::string agent =
            "Installer-APL/" + version.substr(version.size() - std::min<size_t>(4, version.size()));
        std::map<std::string, std::string> headers{
            {"Host", server}, {"User-agent", agent}, {"Connection", "close"}};
        mSlots[slot] =
            new down_class(server.c_str(), 80, path.c_str(), false, headers, nullptr, 0, local_file.c_str());
        mSlots[slot]->set_limit(max_bytes);
    }

    down_class* d = mSlots[slot];
    d->DoProcessing();
    int result;
    const bool finished = d->IsDone() || d->IsComplete() || d->IsErr();
    if (!finished) {
        if (!(xtim.real_time > d->last_activity() + stall_limit)) return 0;
        result = 2;
    } else if (d->status_code() >= 200 && d->status_code() <= 299 && d->IsComplete() && !d->IsErr()) {
        result = 1;
    } else {
        report(*d, local_file, server, path);
        result = 2;
    }
    if (result == 2)
        mFailures[slot] = {d->status_code(), d->reason(), d->GetOSErr(), !finished, d->oversize()};
    delete d;
    mSlots[slot] = nullptr;
    return result;
}

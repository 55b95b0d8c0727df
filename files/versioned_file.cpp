// The versioned file header and the mapped file reader (files layer).
#include "files/versioned_file.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "core/alert.h"
#include "core/globals.h"
#include "core/strings.h"
#include "files/file_operations.h"
#include "platform/plat_paths.h"

namespace {

// What an empty file maps to: present, with no bytes to read. Never unmapped.
const uint8_t kEmptyFile[1] = {0};

bool is_eol(uint8_t c) { return c == 0 || c == '\r' || c == '\n'; }
bool is_white(uint8_t c) { return is_blank(c) || is_eol(c); }

void skip_blanks(const uint8_t*& p, const uint8_t* e) {
    while (p < e && is_blank(*p)) ++p;
}
void skip_to_eol(const uint8_t*& p, const uint8_t* e) {
    while (p < e && !is_eol(*p)) ++p;
}
void skip_white(const uint8_t*& p, const uint8_t* e) {
    while (p < e && is_white(*p)) ++p;
}

bool host_big_endian() {
    const uint16_t one = 1;
    uint8_t first;
    std::memcpy(&first, &one, 1);
    return first == 0;
}

void fatal(const std::string& l1, const std::string& l2, const std::string& l3, const std::string& l4,
           int line) {
    __MACIBM_alert(0, l1, l2, l3, l4, t_exit, __FILE__, line);
}

}  // namespace

int ouf_open(std::string rel_path, int type, int version, std::string extra_text) {
    if (type != xmap_type_binary && type != xmap_type_text)
        fatal("Bad ouf_open type!", rel_path, "", "", __LINE__);
    std::string full = app_path + rel_path;
    if (full.size() > 3)
        for (size_t i = full.size() - 3; i < full.size(); ++i)
            if (full[i] >= 'A' && full[i] <= 'Z') full[i] = static_cast<char>(full[i] - 'A' + 'a');
    io_check_path_length(full);

    for (int attempt = 0; attempt < 2; ++attempt) {
        ouf.close();
        ouf.clear();
        if (type == xmap_type_binary) {
            ouf.open(full, std::ios::out | std::ios::trunc | std::ios::binary);
            const char header[5] = {'a', char(uint32_t(version) >> 24), char(uint32_t(version) >> 16),
                                    char(uint32_t(version) >> 8), char(version)};
            if (ouf) ouf.write(header, sizeof header);
        } else {
            ouf.open(full, std::ios::out | std::ios::trunc);
            if (ouf) {
                ouf << "A\n" << version << " version";
                if (extra_text != "no-copyright-string") ouf << extra_text;
                ouf << "\n";
            }
        }
        if (ouf.good()) return 1;
        if (attempt == 0) {
            // Perhaps only the folder is missing: make that one level and try once more.
            std::string folder = full;
            if (!folder.empty() && folder.back() == '/') folder.pop_back();
            folder.erase(folder.rfind('/') + 1);
            make_folder(folder);
        }
    }
    __MACIBM_alert(
        0,
        "I could not save the file! Could the directory that the file sits in be missing? Or "
        "flagged as READ-ONLY by the operating system? (Windows machines typically do this).",
        full, "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!",
        "Try putting this app in the background and then flag the file as NOT read-only, or "
        "creating the folder listed in the path above.",
        t_alert, __FILE__, __LINE__);
    return 0;
}

xmap_class::xmap_class(const std::string& rel_path) {
    if (!rel_path.empty()) retry(rel_path);
}

xmap_class::~xmap_class() { unmap(); }

void xmap_class::unmap() {
    if (base && map_len_) munmap(const_cast<uint8_t*>(base), map_len_);
    if (fd >= 0) close(fd);
    fd = -1;
    base = cur = end = nullptr;
    map_len_ = 0;
}

const uint8_t* xmap_class::retry(const std::string& rel_path) {
    if (!app_path.empty() && rel_path.find(app_path) != std::string::npos)
        fatal("retry: We are getting a file string that is not Ostrand relative!",
              "This is illegal! All paths must be Ostrand relative!", "The path in question is:", rel_path,
              __LINE__);
    std::string full = app_path + rel_path;
    io_check_path_length(full);
    full = io_case_fix(full);
    unmap();

    // Regular files only: a FIFO would block the open or the reads, a folder has nothing to map.
    uint64_t len = 0;
    int f = plat::open_regular(full, &len);
    if (f < 0) return nullptr;
    fd = f;
    if (len == 0) {
        base = cur = end = kEmptyFile;
        return base;
    }
    void* m = mmap(nullptr, len, PROT_READ, MAP_PRIVATE, fd, 0);
    if (m == MAP_FAILED) {
        int err = errno;
        xer << "Mem file error.  Err=" << err << ", file=" << full << "\n";
        if (err == ENOMEM) {
            char num[64];
            std::snprintf(num, sizeof num, "errno=%f", double(err));
            fatal("Xmapped out of memory", "c_path=", full, num, __LINE__);
        }
        return nullptr;
    }
    if (!m) fatal("Xmapped file ran out of memory", "", "", "", __LINE__);
    base = cur = static_cast<const uint8_t*>(m);
    end = base + len;
    map_len_ = len;
    return base;
}

int xmap_class::check_file(int type, const int* versions, const char* magic, std::string* header_text) {
    if (type != xmap_type_binary && type != xmap_type_text)
        fatal("Bad check_file type!", "", "", "", __LINE__);
    if (!base || base == end) return 0;
    cur = base;
    const uint8_t* p = base;
    int version = 0;
    if (type == xmap_type_binary) {
        uint8_t tag = *p++;
        if (tag != 'a' && tag != 'i') return 0;
        // 'a' is big-endian, 'i' little-endian: swap when that is not this machine's order.
        swap = (tag == 'a') != host_big_endian();
        if (end - p < 4) return 0;
        uint32_t v;
        std::memcpy(&v, p, 4);
        if (swap) v = __builtin_bswap32(v);
        version = static_cast<int32_t>(v);
        p += 4;
    } else {
        uint8_t tag = *p;
        skip_blanks(p, end);
        skip_to_eol(p, end);
        skip_white(p, end);
        if (tag != 'A' && tag != 'I') return 0;
        skip_blanks(p, end);
        bool negative = false;
        if (p < end && *p == '-') negative = true, ++p;
        if (p < end && *p == '+') negative = false, ++p;
        // Any byte counts as a digit, as it always has; unsigned so that long fields wrap.
        uint32_t value = 0;
        for (; p < end && !is_white(*p); ++p) value = value * 10 + uint32_t(int(*p) - '0');
        version = static_cast<int32_t>(negative ? 0u - value : value);
        skip_blanks(p, end);
        const uint8_t* text = p;
        skip_to_eol(p, end);
        if (header_text) header_text->assign(reinterpret_cast<const char*>(text), p - text);
        skip_white(p, end);
    }
    cur = p;
    bool listed = false;
    for (const int* v = versions; v && *v; ++v)
        if (*v == version) listed = true;
    if (!listed) return 0;
    if (!magic) return version;

    skip_blanks(cur, end);
    const uint8_t* mark = cur;
    const size_t n = std::strlen(magic);
    if (size_t(end - cur) >= n && std::memcmp(cur, magic, n) == 0 && (cur + n == end || is_white(cur[n]))) {
        cur += n;
        skip_blanks(cur, end);
        skip_to_eol(cur, end);
        skip_white(cur, end);
        return version;
    }
    cur = mark;
    return 0;
}

void xmap_class::read_n_rev(long dst, long n) {
    if (n < 0 || n > end - cur) fatal("Invalid read_n_rev read!", "", "", "", __LINE__);
    if (n == 0) return;
    uint8_t* d = reinterpret_cast<uint8_t*>(dst);
    std::memcpy(d, cur, size_t(n));
    cur += n;
    if (swap)
        for (long i = 0; i + 4 <= n; i += 4) {
            std::swap(d[i], d[i + 3]);
            std::swap(d[i + 1], d[i + 2]);
        }
}

int xmap_class::io_file_open(int mode, std::string rel_path, int* versions, int type) {
    io_mode = mode;
    if (mode == 1) return ouf_open(rel_path, type, versions[0], "no-copyright-string");
    if (mode == 0) {
        retry(rel_path);
        return check_file(type, versions, nullptr, nullptr) ? 1 : 0;
    }
    return 0;
}

int xmap_class::io_file_close() {
    if (io_mode != 1) return 1;
    ouf.close();
    return ouf.fail() ? 0 : 1;
}

void xmap_class::TXT_str_scan_space(std::string* out) {
    skip_blanks(cur, end);
    const uint8_t* word = cur;
    while (cur < end && !is_white(*cur)) ++cur;
    if (out) out->assign(reinterpret_cast<const char*>(word), cur - word);
}

void xmap_class::TXT_str_scan_eoln(std::string* out) {
    skip_blanks(cur, end);
    const uint8_t* text = cur;
    skip_to_eol(cur, end);
    if (out) out->assign(reinterpret_cast<const char*>(text), cur - text);
    skip_white(cur, end);
}

void xmap_class::TXT_xer_line() {
    auto newline = [](uint8_t c) { return c == '\r' || c == '\n'; };
    long crs = std::count(base, cur, '\r'), lfs = std::count(base, cur, '\n');
    const uint8_t* from = cur;
    while (from > base && !newline(from[-1])) --from;
    const uint8_t* to = cur;
    while (to < end && !newline(*to)) ++to;
    xer << 1 + std::max(crs, lfs) << " \"" << std::string(reinterpret_cast<const char*>(from), to - from)
        << "\"\n";
    xer.flush();
}

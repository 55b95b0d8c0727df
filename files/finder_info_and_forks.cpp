// Finder information and resource forks kept as extended attributes (files layer).
#include "files/finder_info_and_forks.h"

#include <sys/xattr.h>

#include <cerrno>
#include <cstring>

#include "core/globals.h"

namespace {

// The file system declined to keep the attribute: too large, unsupported, or not allowed.
bool refused_by_fs(int err) {
    return err == ENOTSUP || err == E2BIG || err == ENOSPC || err == EPERM || err == EACCES;
}

bool no_attribute(int err) { return err == ENODATA || err == ENOTSUP; }

// Never follows a final link: metadata belongs to the item itself.
int put_attr(const std::string& path, const char* name, const void* data, size_t n) {
    if (lsetxattr(path.c_str(), name, data, n, 0) == 0) return 0;
    int err = errno;
    if (!refused_by_fs(err)) return err;
    xer << "Mac metadata " << name << " (" << n << " bytes) not stored on " << path << ": "
        << std::strerror(err) << "\n";
    return 0;
}

}  // namespace

int get_finder_info(const std::string& path, uint8_t out[32]) {
    std::memset(out, 0, 32);
    uint8_t buf[32];
    ssize_t n = lgetxattr(path.c_str(), kFinderInfoAttr, buf, sizeof buf);
    if (n < 0) {
        int err = errno;
        // Longer values than 32 bytes are not Finder information: treat as none.
        return (no_attribute(err) || err == ERANGE) ? 0 : err;
    }
    std::memcpy(out, buf, static_cast<size_t>(n));
    return 0;
}

int set_finder_info(const std::string& path, const uint8_t in[16]) {
    uint8_t buf[32] = {};
    std::memcpy(buf, in, 16);
    return put_attr(path, kFinderInfoAttr, buf, sizeof buf);
}

namespace {

// The attribute's whole value; *had false (and out empty) when the file has none.
int read_attr(const std::string& path, const char* name, std::vector<uint8_t>& out, bool* had) {
    out.clear();
    *had = false;
    for (;;) {
        ssize_t n = lgetxattr(path.c_str(), name, nullptr, 0);
        if (n < 0) return no_attribute(errno) ? 0 : errno;
        out.resize(static_cast<size_t>(n));
        *had = true;
        if (n == 0) return 0;
        ssize_t got = lgetxattr(path.c_str(), name, out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<size_t>(got));
            return 0;
        }
        out.clear();
        *had = false;
        // ERANGE: the value grew between the two calls; ask again
        if (errno != ERANGE) return no_attribute(errno) ? 0 : errno;
    }
}

void put_back_attr(const std::string& path, const char* name, bool had, const std::vector<uint8_t>& value) {
    if (had)
        lsetxattr(path.c_str(), name, value.data(), value.size(), 0);
    else
        lremovexattr(path.c_str(), name);
}

}  // namespace

int read_fork(const std::string& path, std::vector<uint8_t>& out) {
    bool had;
    return read_attr(path, kResourceForkAttr, out, &had);
}

int write_fork(const std::string& path, const uint8_t* data, size_t n) {
    return put_attr(path, kResourceForkAttr, data, n);
}

int save_mac_metadata(const std::string& path, mac_metadata* out) {
    if (int err = read_attr(path, kFinderInfoAttr, out->finder, &out->has_finder)) return err;
    return read_attr(path, kResourceForkAttr, out->fork, &out->has_fork);
}

void put_back_mac_metadata(const std::string& path, const mac_metadata& saved) {
    put_back_attr(path, kFinderInfoAttr, saved.has_finder, saved.finder);
    put_back_attr(path, kResourceForkAttr, saved.has_fork, saved.fork);
}

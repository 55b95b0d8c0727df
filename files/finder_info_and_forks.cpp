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

int read_fork(const std::string& path, std::vector<uint8_t>& out) {
    out.clear();
    for (;;) {
        ssize_t n = lgetxattr(path.c_str(), kResourceForkAttr, nullptr, 0);
        if (n < 0) return no_attribute(errno) ? 0 : errno;
        out.resize(static_cast<size_t>(n));
        if (n == 0) return 0;
        ssize_t got = lgetxattr(path.c_str(), kResourceForkAttr, out.data(), out.size());
        if (got >= 0) {
            out.resize(static_cast<size_t>(got));
            return 0;
        }
        if (errno != ERANGE) {  // ERANGE: the fork grew between the two calls; ask again
            out.clear();
            return no_attribute(errno) ? 0 : errno;
        }
    }
}

int write_fork(const std::string& path, const uint8_t* data, size_t n) {
    return put_attr(path, kResourceForkAttr, data, n);
}

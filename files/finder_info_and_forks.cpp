// Finder information and resource forks kept as extended attributes (files layer).
#include "files/finder_info_and_forks.h"

#include <sys/xattr.h>

#include <cerrno>
#include <cstring>

#include "core/globals.h"

bool metadata_refused(int err) {
    return err == ENOTSUP || err == E2BIG || err == ENOSPC || err == EPERM || err == EACCES;
}

void log_metadata_not_stored(const std::string& path, const char* name, size_t n, const std::string& why) {
    xer << "Mac metadata " << name << " (" << n << " bytes) not stored on " << path << ": " << why << "\n";
}

namespace {

bool no_attribute(int err) { return err == ENODATA || err == ENOTSUP; }

// Never follows a final link: metadata belongs to the item itself.
int put_attr(const std::string& path, const char* name, const void* data, size_t n) {
    if (lsetxattr(path.c_str(), name, data, n, 0) == 0) return 0;
    int err = errno;
    if (!metadata_refused(err)) return err;
    log_metadata_not_stored(path, name, n, std::strerror(err));
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

void log_not_put_back(const std::string& path, const char* name, int err) {
    xer << "Mac metadata " << name << " of " << path << " not put back as it was: " << std::strerror(err)
        << "\n";
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
    const struct {
        const char* name;
        bool had;
        const std::vector<uint8_t>& value;
    } attrs[] = {{kFinderInfoAttr, saved.has_finder, saved.finder},
                 {kResourceForkAttr, saved.has_fork, saved.fork}};
    bool differs[2];
    for (int i = 0; i < 2; ++i) {
        std::vector<uint8_t> now;
        bool has;
        differs[i] =
            read_attr(path, attrs[i].name, now, &has) != 0 || has != attrs[i].had || now != attrs[i].value;
        if (differs[i] && lremovexattr(path.c_str(), attrs[i].name) != 0 && !no_attribute(errno))
            log_not_put_back(path, attrs[i].name, errno);
    }
    for (int i = 0; i < 2; ++i)
        if (differs[i] && attrs[i].had &&
            lsetxattr(path.c_str(), attrs[i].name, attrs[i].value.data(), attrs[i].value.size(), 0) != 0)
            log_not_put_back(path, attrs[i].name, errno);
}

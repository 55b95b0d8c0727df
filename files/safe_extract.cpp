#include "files/safe_extract.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "core/globals.h"
#include "files/file_operations.h"
#include "platform/plat_paths.h"
#include "platform/plat_strings.h"

namespace {

// realpath of path, or errno.
int resolve(const std::string& path, std::string* out) {
    char* r = realpath(path.empty() ? "." : path.c_str(), nullptr);
    if (!r) return errno;
    *out = r;
    free(r);
    return 0;
}

// Unique enough among threads of this process; O_EXCL settles the rest. hidden_temp_owner reads
// these names back.
std::string temp_name_beside(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%d-%u", kHiddenTempPrefix, static_cast<int>(getpid()), counter++);
    std::string dir = plat::parent_of(target);
    return (dir == "/" ? dir : dir + "/") + buf;
}

// The number that s holds from from to to as printf writes it: digits only, without a leading
// zero, at most max. False for anything else.
bool printed_number(const std::string& s, size_t from, size_t to, unsigned long long max,
                    unsigned long long* value) {
    if (from >= to || (s[from] == '0' && to - from > 1)) return false;
    unsigned long long n = 0;
    for (size_t i = from; i < to; ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        n = n * 10 + static_cast<unsigned>(s[i] - '0');
        if (n > max) return false;
    }
    *value = n;
    return true;
}

// The extended attributes of in, as far as out's file system takes them: they are not worth
// failing for.
void copy_xattrs(int in, int out) {
    const ssize_t size = flistxattr(in, nullptr, 0);
    if (size <= 0) return;
    std::vector<char> names(static_cast<size_t>(size));
    const ssize_t got = flistxattr(in, names.data(), names.size());
    std::vector<char> value;
    for (ssize_t i = 0; i < got; i += static_cast<ssize_t>(std::strlen(&names[i])) + 1) {
        const ssize_t n = fgetxattr(in, &names[i], nullptr, 0);
        if (n < 0) continue;
        value.resize(static_cast<size_t>(n));
        if (fgetxattr(in, &names[i], value.data(), value.size()) == n)
            fsetxattr(out, &names[i], value.data(), value.size(), 0);
    }
}

// A copy of the file or link at target (st its lstat) under a fresh hidden name beside it (*kept):
// a file's bytes, owner, mode, times and extended attributes, a link's text and owner. For file
// systems without hard links; a large file costs its size once more in time and space, the price
// there of a name that never stands empty. 0 or errno, with no copy left.
int copy_aside(const std::string& target, const struct stat& st, std::string* kept) {
    if (S_ISLNK(st.st_mode)) {
        std::string text;
        if (int err = read_link_text(target, &text)) return err;
        if (int err = symlink_temp_beside(target, text, kept)) return err;
        if (lchown(kept->c_str(), st.st_uid, st.st_gid) != 0) lchown(kept->c_str(), uid_t(-1), st.st_gid);
        return 0;
    }
    plat::fd_closer in{open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)};
    if (in.fd < 0) return errno;
    const int out = create_temp_beside(target, kept);
    if (out < 0) return -out;
    // The old file's owner and group where this process may give them (root), else its group
    // where the user is one of it; neither is worth failing for. Before the mode, which a change
    // of owner strips of its set-id bits, and the mode before the bytes, as copy_file does.
    if (fchown(out, st.st_uid, st.st_gid) != 0) fchown(out, uid_t(-1), st.st_gid);
    int err = fchmod(out, st.st_mode & 07777) != 0 ? errno : plat::copy_all(in.fd, out);
    if (!err) copy_xattrs(in.fd, out);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    if (!err && futimens(out, times) != 0) err = errno;
    if (close(out) != 0 && !err) err = errno;
    if (err) {
        unlink(kept->c_str());
        kept->clear();
    }
    return err;
}

// Gives the file or link at target a hidden name beside it (*kept) while target still holds it:
// a second hard link, or a copy where the file system has none. *kept stays empty when there is
// nothing a rename could replace (no such name, or a folder). 0 or errno.
int keep_aside(const std::string& target, std::string* kept) {
    int err = EEXIST;
    for (int attempt = 0; attempt < 100 && err == EEXIST; ++attempt) {
        std::string name = temp_name_beside(target);
        // Without AT_SYMLINK_FOLLOW: a link at target is named again, not what it points to.
        if (linkat(AT_FDCWD, target.c_str(), AT_FDCWD, name.c_str(), 0) == 0) {
            *kept = name;
            return 0;
        }
        err = errno;
    }
    if (err == ENOENT) return 0;
    struct stat st;
    if (lstat(target.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (S_ISDIR(st.st_mode)) return 0;
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) return err;  // a device or pipe: no copy to keep
    return copy_aside(target, st, kept);
}

// Undoes a replacement: the old file's hidden name goes back over its place. Where that fails
// the old file has only that name, which a later clean-up removes: the log says where it is.
void put_back(const std::string& kept, const std::string& path) {
    if (rename(kept.c_str(), path.c_str()) == 0) return;
    const int err = errno;
    xer << "Could not put back the old " << path << " (error " << err << "): it is left as " << kept << ".\n";
}

// check_target_parent; depth, when given, receives how many folders below root the parent lies.
int parent_depth(const std::string& target, const std::string& root, size_t* depth) {
    std::string real_root, real_parent;
    if (int err = resolve(root, &real_root)) return err;
    if (int err = resolve(plat::parent_of(target), &real_parent)) return err;
    if (!plat::path_within(real_parent, real_root)) return err_zip_unsafe_path;
    if (depth)
        *depth = plat::path_components(real_parent.substr(real_root == "/" ? 0 : real_root.size())).size();
    return 0;
}

}  // namespace

pid_t hidden_temp_owner(const std::string& name) {
    const size_t from = sizeof kHiddenTempPrefix - 1;
    if (name.compare(0, from, kHiddenTempPrefix) != 0) return 0;
    const size_t dash = name.find('-', from);
    unsigned long long pid = 0, counter = 0;
    if (dash == std::string::npos ||
        !printed_number(name, from, dash, std::numeric_limits<pid_t>::max(), &pid) ||
        !printed_number(name, dash + 1, name.size(), std::numeric_limits<unsigned>::max(), &counter))
        return 0;
    return static_cast<pid_t>(pid);
}

bool archive_name_is_safe(const std::string& name) {
    if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos) return false;
    if (name.find('\0') != std::string::npos) return false;
    const std::vector<std::string> components = plat::path_components(name);
    for (const std::string& c : components)
        if (c == ".." || plat::starts_with(c, kHiddenTempPrefix)) return false;
    return !components.empty();
}

int check_target_parent(const std::string& target, const std::string& root) {
    return parent_depth(target, root, nullptr);
}

bool link_text_is_safe(const std::string& link_path, const std::string& text, const std::string& root,
                       size_t max_climb) {
    return link_text_check(link_path, text, root, max_climb) == 0;
}

int link_text_check(const std::string& link_path, const std::string& text, const std::string& root,
                    size_t max_climb) {
    if (text.empty() || text[0] == '/' || text.find('\0') != std::string::npos) return err_zip_unsafe_path;
    // Depth of the link's folder below the root, then walk the text lexically. ".." may only
    // lead the text: after a name it climbs from wherever that name resolves, which may be a
    // link made by this archive (even a later entry) pointing higher than its text suggests.
    size_t depth;
    if (parent_depth(link_path, root, &depth) != 0) return err_zip_unsafe_path;
    const bool max_climb_given = max_climb != SIZE_MAX;
    bool named = false, above_root = false;
    for (const std::string& c : plat::path_components(text)) {
        if (c == ".") continue;
        if (c == "..") {
            if (named || max_climb == 0) return err_zip_unsafe_path;
            --max_climb;
            if (depth == 0)
                above_root = true;
            else
                --depth;
        } else {
            named = true;
            ++depth;
        }
    }
    // Only a caller that names the link's place can tell a moved folder from a hostile text.
    return !above_root ? 0 : max_climb_given ? err_link_moved_leads_out : err_zip_unsafe_path;
}

int create_temp_beside(const std::string& target, std::string* temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temp_name_beside(target);
        int fd = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            *temp = name;
            return fd;
        }
        if (errno != EEXIST) return -errno;
    }
    return -EEXIST;
}

int symlink_temp_beside(const std::string& target, const std::string& text, std::string* temp) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = temp_name_beside(target);
        if (symlink(text.c_str(), name.c_str()) == 0) {
            *temp = name;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int commit_temp(const std::string& temp, const std::string& target) {
    if (rename(temp.c_str(), target.c_str()) == 0) return 0;
    int err = errno;
    unlink(temp.c_str());
    return err;
}

int extraction_journal::commit(const std::string& temp, const std::string& target) {
    // Most targets are new: a rename that replaces nothing is all they cost. Where it fails (a
    // name taken, or a file system without the flag), what is there is kept aside first.
    if (renameat2(AT_FDCWD, temp.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        changes_.push_back({target, std::string(), false});
        return 0;
    }
    std::string kept;
    if (int err = keep_aside(target, &kept)) {
        unlink(temp.c_str());
        return err;
    }
    // One rename takes target from the old file to the new: a kill at any point leaves it one or
    // the other, and at most a hidden name that the clean-up sweeps.
    if (int err = commit_temp(temp, target)) {
        if (!kept.empty()) unlink(kept.c_str());
        return err;
    }
    changes_.push_back({target, kept, false});
    return 0;
}

void extraction_journal::made_folder(const std::string& path) {
    changes_.push_back({path, std::string(), true});
}

int extraction_journal::metadata_changing(const std::string& path, const struct stat& st) {
    // By the file, not its name: "a/./f" is "a/f". An inode that a call frees and reuses is one
    // it wrote, which the undo removes anyway.
    // The undo needs only its first state.
    if (!metadata_saved_.insert({st.st_dev, st.st_ino}).second) return 0;
    change c(path, std::string(), false);
    c.metadata = true;
    if (int err = save_mac_metadata(path, &c.saved)) {
        metadata_saved_.erase({st.st_dev, st.st_ino});
        return err;
    }
    changes_.push_back(std::move(c));
    return 0;
}

void extraction_journal::succeeded() {
    for (const change& c : changes_)
        if (!c.kept.empty()) unlink(c.kept.c_str());
    changes_.clear();
    metadata_saved_.clear();
}

extraction_journal::~extraction_journal() {
    // Latest first: a name the archive wrote twice gets back what it held before each write, and
    // a folder is empty again before it is removed.
    for (auto c = changes_.rbegin(); c != changes_.rend(); ++c) {
        if (c->metadata)
            put_back_mac_metadata(c->path, c->saved);
        else if (!c->kept.empty())
            put_back(c->kept, c->path);
        else if (c->folder)
            rmdir(c->path.c_str());
        else
            unlink(c->path.c_str());
    }
}

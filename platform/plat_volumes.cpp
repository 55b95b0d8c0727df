#include "platform/plat_volumes.h"

#include <dirent.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/plat_paths.h"
#include "platform/plat_process.h"

namespace plat {

namespace {
// Undoes the octal escapes (\040 and the like) of mountinfo fields.
std::string unescape_mount(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' &&
            s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}
}  // namespace

namespace {
int system_statfs(const char* path, struct statfs* out) { return ::statfs(path, out); }
std::atomic<statfs_fn> statfs_hook{system_statfs};
constexpr char system_mountinfo[] = "/proc/self/mountinfo";
std::atomic<const char*> mountinfo_file{system_mountinfo};

// The mount table's text. 0 or errno.
int read_mountinfo(std::string* text) {
    std::ifstream f(mountinfo_file.load());
    if (!f) return errno ? errno : ENOENT;
    std::stringstream ss;
    ss << f.rdbuf();
    *text = ss.str();
    return 0;
}

// Whether a volume of the statfs type fs_type, holding path, lives on another machine.
bool network_file_system(uint32_t fs_type, const std::string& path) {
    switch (fs_type) {
        case NFS_SUPER_MAGIC:
        case SMB_SUPER_MAGIC:
        case CIFS_SUPER_MAGIC:
        case SMB2_SUPER_MAGIC:
        case CEPH_SUPER_MAGIC:
        case CODA_SUPER_MAGIC:
        case NCP_SUPER_MAGIC:
        case AFS_SUPER_MAGIC:
        case AFS_FS_MAGIC:
        case V9FS_MAGIC:
        case 0x0BD00BD0:  // Lustre
        case 0x47504653:  // GPFS
        case 0x20030528:  // OrangeFS
            return true;
        case FUSE_SUPER_MAGIC: {
            // Both kinds of FUSE share the magic: only one over a block device (NTFS, exFAT) is local.
            std::string mount_point, fstype;
            return mount_point_of(path, mount_point, nullptr, &fstype) == 0 && fstype != "fuseblk";
        }
        default:
            return false;
    }
}
}  // namespace

statfs_fn set_statfs_hook(statfs_fn fn) { return statfs_hook.exchange(fn ? fn : system_statfs); }

const char* set_mountinfo_file(const char* path) {
    return mountinfo_file.exchange(path ? path : system_mountinfo);
}

int free_space(const std::string& path, uint64_t* total, uint64_t* avail, uint64_t* block) {
    struct statfs vs;
    if (statfs_hook.load()(path.c_str(), &vs) != 0) return errno;
    // The counts are in fragments; a file system that gives none counts in blocks.
    const uint64_t fragment = vs.f_frsize ? vs.f_frsize : vs.f_bsize;
    if (total) *total = static_cast<uint64_t>(vs.f_blocks) * fragment;
    if (avail) *avail = static_cast<uint64_t>(vs.f_bavail) * fragment;
    if (block) {
        *block = fragment;
        // Network file systems give their transfer size as the fragment (NFS 1 MiB, CephFS 4 MiB),
        // while the server allocates in far smaller units. A local volume's clusters are real
        // (exFAT's 128 KiB and more).
        if (network_file_system(static_cast<uint32_t>(vs.f_type), path))
            *block = std::min<uint64_t>(*block, max_network_allocation_unit);
    }
    return 0;
}

std::string mount_point_in(const std::string& mountinfo, const std::string& path, std::string* source,
                           std::string* fstype_out) {
    std::istringstream in(mountinfo);
    std::string best, best_source, best_fstype;
    for (std::string line; std::getline(in, line);) {
        // id parent major:minor root mount-point options [optional...] - fstype source super-options
        std::istringstream f(line);
        std::string id, parent, dev, root, mp, field;
        if (!(f >> id >> parent >> dev >> root >> mp)) continue;
        while (f >> field && field != "-") {
        }
        std::string fstype, src;
        f >> fstype >> src;
        mp = unescape_mount(mp);
        // Later lines mount over earlier ones at the same point, so ties go to the later.
        if (path_within(path, mp) && mp.size() >= best.size()) {
            best = mp;
            best_source = unescape_mount(src);
            best_fstype = fstype;
        }
    }
    if (source && !best.empty()) *source = best_source;
    if (fstype_out && !best.empty()) *fstype_out = best_fstype;
    return best;
}

int mount_point_of(const std::string& path, std::string& mount_point, std::string* source,
                   std::string* fstype) {
    std::string real = real_path(path);
    if (real.empty()) return errno;
    std::string test_root = env(test_volumes_env);
    if (!test_root.empty()) {
        std::string root = real_path(test_root);
        // A volume may be a link to its disc's folder (the disc changer's): named by the link
        // itself, the path is a child of the volumes folder whose target lies elsewhere.
        std::string named = path;
        while (named.size() > 1 && named.back() == '/') named.pop_back();
        const std::string parent = real_path(parent_of(named));
        if (!root.empty() && parent == root) real = parent + "/" + named.substr(named.rfind('/') + 1);
        if (!root.empty() && real != root && path_within(real, root)) {
            size_t end = real.find('/', root.size() + 1);
            mount_point = real.substr(0, end);
            if (source) source->clear();
            if (fstype) *fstype = test_volume_fstype;
            return 0;
        }
    }
    std::string mountinfo;
    if (int err = read_mountinfo(&mountinfo)) return err;
    std::string mp = mount_point_in(mountinfo, real, source, fstype);
    if (mp.empty()) return ENOENT;
    mount_point = mp;
    return 0;
}

bool removable_media(const std::string& fstype, const std::string& source, const std::string& sys_block) {
    if (fstype == "iso9660" || fstype == "udf" || fstype == test_volume_fstype) return true;
    // /dev/disk/by-label/X and the like are links to the device node.
    std::string dev = real_path(source);
    if (dev.empty()) dev = source;
    if (dev.compare(0, 5, "/dev/") != 0 || dev.size() == 5) return false;
    std::string node = real_path(sys_block + "/" + dev.substr(dev.rfind('/') + 1));
    if (node.empty()) return false;
    // A partition has no removable flag of its own: its disc, the folder above, has.
    std::ifstream flag(node + "/removable");
    if (!flag) flag.open(parent_of(node) + "/removable");
    char c = 0;
    return flag.get(c) && c == '1';
}

std::vector<std::string> volume_roots_in(const std::string& mountinfo) {
    std::vector<std::string> roots;
    std::istringstream in(mountinfo);
    for (std::string line; std::getline(in, line);) {
        std::istringstream f(line);
        std::string id, parent, dev, root, mp, field, fstype;
        if (!(f >> id >> parent >> dev >> root >> mp)) continue;
        while (f >> field && field != "-") {
        }
        f >> fstype;
        mp = unescape_mount(mp);
        bool removable_place = path_within(mp, "/media") || path_within(mp, "/run/media") || path_within(mp, "/mnt");
        if (fstype == "iso9660" || fstype == "udf" || removable_place) roots.push_back(mp);
    }
    return roots;
}

std::vector<std::string> volume_roots() {
    std::string test_root = env(test_volumes_env);
    if (test_root.empty()) {
        std::string mountinfo;
        read_mountinfo(&mountinfo);
        return volume_roots_in(mountinfo);
    }
    std::vector<std::string> roots;
    if (test_root.size() > 1 && test_root.back() == '/') test_root.pop_back();
    DIR* d = opendir(test_root.c_str());
    if (!d) return roots;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name, full = test_root + "/" + name;
        struct stat st;
        if (name[0] != '.' && stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) roots.push_back(full);
    }
    closedir(d);
    std::sort(roots.begin(), roots.end());
    return roots;
}

int eject(const std::string& mount_point, const std::string& source, const std::string& fstype) {
    // A fixed disc is never unmounted, ejected or powered off.
    if (!removable_media(fstype, source)) return ENODEV;
    int status = -1, err;
    std::string custom = env(eject_command_env);
    if (!custom.empty()) {
        std::string exe = find_program(custom);
        if (exe.empty()) return ENOENT;
        err = run_wait(exe, {exe, mount_point}, &status);
    } else if (std::string eject_exe = find_program("eject"); !eject_exe.empty()) {
        err = run_wait(eject_exe, {eject_exe, mount_point}, &status);
    } else if (std::string udisks = find_program("udisksctl"); !udisks.empty() && !source.empty()) {
        err = run_wait(udisks, {udisks, "unmount", "-b", source}, &status);
        if (!err && status == 0) err = run_wait(udisks, {udisks, "power-off", "-b", source}, &status);
    } else {
        return ENOENT;
    }
    if (err) return err;
    return status == 0 ? 0 : EIO;
}

}  // namespace plat

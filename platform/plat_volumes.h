// Volumes: free space, the mount point holding a path, and ejecting a disc.
// Functions give 0 or an errno value unless noted.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct statfs;

namespace plat {

// Environment overrides, for tests and for machines without a drive:
// a folder whose sub-folders act as mounted discs,
inline constexpr char test_volumes_env[] = "VOLATRA_TEST_VOLUMES";
// a program run as "<program> <mount point>" instead of the system's eject.
inline constexpr char eject_command_env[] = "VOLATRA_EJECT_COMMAND";

// Size and space available to the user of the volume holding the existing folder or file, and
// the size of the blocks it allocates files in: its fragment size, at most
// max_network_allocation_unit on a network file system (NFS, SMB/CIFS, CephFS, AFS, 9P and the
// like, FUSE not over a block device).
int free_space(const std::string& path, uint64_t* total, uint64_t* avail, uint64_t* block = nullptr);
inline constexpr uint64_t max_network_allocation_unit = 64 * 1024;
// The statfs that free_space asks; a seam for tests. Returns the one replaced; null restores
// the system's.
using statfs_fn = int (*)(const char* path, struct statfs* out);
statfs_fn set_statfs_hook(statfs_fn fn);
// The mount table that mount_point_of and volume_roots read (mountinfo's format); a seam for
// tests. Returns the one replaced; null restores /proc/self/mountinfo.
const char* set_mountinfo_file(const char* path);
// The mount point (no trailing '/') holding the absolute path, looked up in mountinfo text;
// source receives the mounted device and fstype its file system. Empty when no line matches.
std::string mount_point_in(const std::string& mountinfo, const std::string& path, std::string* source,
                           std::string* fstype = nullptr);
// The same for an existing path on this system, the test volumes included (their file system
// is test_volume_fstype, their source empty).
int mount_point_of(const std::string& path, std::string& mount_point, std::string* source,
                   std::string* fstype = nullptr);
inline constexpr char test_volume_fstype[] = "volatra-test-volume";
// Whether a volume can be taken out of the machine: an optical file system (iso9660, udf), a
// test volume, or a block device (or the disc holding a partition) that sys_block
// (/sys/class/block) reports removable.
bool removable_media(const std::string& fstype, const std::string& source,
                     const std::string& sys_block = "/sys/class/block");
// Where discs may be mounted, each without a trailing '/': with the test-volume folder set, its
// sub-folders (links to folders included) and nothing else; otherwise the mount points of the
// mountinfo text that hold an optical file system (iso9660, udf) or lie under /media,
// /run/media or /mnt. Network and system mounts are never touched.
std::vector<std::string> volume_roots_in(const std::string& mountinfo);
std::vector<std::string> volume_roots();
// Ejects the volume mounted at mount_point, waiting for the eject program. A volume that is
// not removable media is left alone: ENODEV.
int eject(const std::string& mount_point, const std::string& source, const std::string& fstype);

}  // namespace plat

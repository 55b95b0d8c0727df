// Files and archives layer (files/).
// Finder information and resource forks of a file. Linux has neither, so both are kept as user
// extended attributes. File systems that refuse them (no support, size limits) lose the data with
// a log line: a fork never fails an install.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Extended attribute names, as other tools on Linux store Mac metadata.
inline constexpr char kFinderInfoAttr[] = "user.com.apple.FinderInfo";
inline constexpr char kResourceForkAttr[] = "user.com.apple.ResourceFork";

// Fills out[32] with the Finder information (zeros when the file has none). 0 or errno.
int get_finder_info(const std::string& path, uint8_t out[32]);
// Stores the 16 bytes of Finder information followed by 16 zero bytes (no extended info).
// 0 also when the file system refuses the attribute (logged); otherwise errno.
int set_finder_info(const std::string& path, const uint8_t in[16]);
// Reads the resource fork into out; empty means the file has none. 0 or errno.
int read_fork(const std::string& path, std::vector<uint8_t>& out);
// Replaces the resource fork with data[0..n). 0 also when refused by the file system (logged).
int write_fork(const std::string& path, const uint8_t* data, size_t n);

// The file system declined to keep an attribute (too large, unsupported, not allowed): the data
// is lost with a log line, never the install.
bool metadata_refused(int err);
// The log line of an attribute of n bytes that was not stored on path, and why.
void log_metadata_not_stored(const std::string& path, const char* name, size_t n, const std::string& why);

// Both attributes of a file as they stand (each may be absent), so that a change to them can be
// taken back.
struct mac_metadata {
    bool has_finder = false, has_fork = false;
    std::vector<uint8_t> finder, fork;
};
int save_mac_metadata(const std::string& path, mac_metadata* out);
// Sets or removes each attribute as saved. What differs goes first, then the old values come
// back: one may fit only once the new ones are gone. A failure is logged.
void put_back_mac_metadata(const std::string& path, const mac_metadata& saved);

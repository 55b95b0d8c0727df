// Builders for the archive tests: zips through minizip's writer, 7z through libarchive's, and a
// sandbox folder whose outside part must never change. Files are read and written with the
// folder's common helpers (files_helpers.h).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "common/test_helpers.h"

namespace archive_test {

struct zip_item {
    std::string name;
    std::string data;
    uint32_t external_fa = 0x81A40000;                                          // a file, 0644
    int method = 8;                                                             // 0 stored, 8 deflated
    int year = 2009, month = 5, day = 14, hour = 10, minute = 20, second = 30;  // month 0-11
    uint32_t made_by = 0x031E;                                                  // Unix; 0 for a DOS-made zip
    uint64_t claimed_size = 0;  // when set: stored raw, its header claiming this uncompressed size
};
void make_zip(const std::string& path, const std::vector<zip_item>& items);

struct p7z_item {
    std::string name;
    std::string data;
    char kind = 'f';  // 'f' file, 'd' folder, 'l' link (data is the link text)
};
// compression: "lzma1", "lzma2", "store".
void make_7z(const std::string& path, const std::vector<p7z_item>& items, const char* compression = "lzma1");

// A zip of one stored entry whose sizes sit in Zip64 extra fields (local and central), claiming
// the given uncompressed and compressed sizes whatever data holds. With local_at, the central
// record gives its local header's offset there too (the 32-bit field all ones).
std::string zip64_stored(const std::string& name, const std::string& data, uint64_t size, uint64_t packed,
                         int64_t local_at = -1);

// An AppleDouble record with the given descriptors (id, offset, length) and total size.
std::string apple_double(const std::vector<uint32_t>& descriptors, size_t total, int count = -1);

// The deterministic payload of the checked-in 7z fixtures (tools/make_7z_fixtures.py).
std::string fixture_payload(size_t size);

// A fresh folder holding dest/ (the destination root) and outside/ with a canary file.
struct sandbox {
    sandbox();
    ~sandbox();
    std::string dir, dest, outside;
    // Path -> content (or "->text" for links, "/" for folders) of everything outside dest/.
    std::map<std::string, std::string> outside_state() const;
};

}  // namespace archive_test

// Files and archives layer (files/).
// The versioned file header and the mapped file reader.
//
// Header, binary form (type 10000): a byte 'a' (big-endian) or 'i' (little-endian), then the
// version as a 32-bit integer in that order. Text form (type 10001): a line "A" or "I", a line
// "<version> version<extra text>", then a line with the caller's type word.
#pragma once

#include <cstdint>
#include <string>

enum { xmap_type_binary = 10000, xmap_type_text = 10001 };

// Opens ouf on app_path + rel_path and writes the header. The last three characters of the path
// are lower-cased (A-Z only), meant for the extension though any path gets it. One missing
// folder level is created. Returns 1 when the stream is good, else 0 after a message.
int ouf_open(std::string rel_path, int type, int version, std::string extra_text);

// A whole file mapped read-only, with a read cursor. base is null when nothing is mapped; an
// empty file gives a non-null base with base == cur == end.
class xmap_class {
public:
    uint32_t swap = 0;  // 1: each 32-bit word of read_n_rev is byte-swapped
    uint32_t io_mode = 0;
    const uint8_t* base = nullptr;
    const uint8_t* cur = nullptr;
    const uint8_t* end = nullptr;
    int fd = -1;  // the mapped file's descriptor, -1 when none

    explicit xmap_class(const std::string& rel_path = std::string());
    ~xmap_class();
    xmap_class(const xmap_class&) = delete;
    xmap_class& operator=(const xmap_class&) = delete;

    // Drops the current mapping and maps app_path + rel_path; only regular files are mapped.
    const uint8_t* retry(const std::string& rel_path);
    // The version when the header of type is accepted (versions ends with 0) and, with magic,
    // the type word follows as a whole word; cur then stands after the header. Else 0.
    int check_file(int type, const int* versions, const char* magic, std::string* header_text);
    // Copies n bytes from cur to dst; fatal when fewer remain.
    void read_n_rev(long dst, long n);
    void read_n_rev(void* dst, long n) { read_n_rev(reinterpret_cast<long>(dst), n); }
    // Mode 1 writes the header of versions[0]; mode 0 maps and checks the file.
    int io_file_open(int mode, std::string rel_path, int* versions, int type);
    // Closes ouf after writing. 0 when the close failed (also left in ouf's state), else 1.
    int io_file_close();

    // Blanks are TAB and SP; line ends NUL, CR and LF; white is either. Scans stop at end.
    void TXT_str_scan_space(std::string* out);
    void TXT_str_scan_eoln(std::string* out);
    // Logs the line number and the text of the line holding cur.
    void TXT_xer_line();

private:
    void unmap();
    size_t map_len_ = 0;  // 0 for the empty-file marker, which is never unmapped
};

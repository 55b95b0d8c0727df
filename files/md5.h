// MD5 digests (RFC 1321) of memory and of files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct MD5Context {
    uint32_t bits[2];  // message length in bits, low word first
    uint32_t buf[4];   // state A, B, C, D
    uint8_t in[64];    // input not yet transformed
    uint8_t digest[16];
};

void MD5Init(MD5Context* ctx);
// Feeds length bytes; any length.
void MD5UpdateWide(MD5Context* ctx, const uint8_t* data, size_t length);
// The same: kept for the old callers' signature, with the whole length honoured.
void MD5Update(MD5Context* ctx, const uint8_t* data, unsigned length);
// Pads, transforms the last block and stores the digest.
void MD5Final(MD5Context* ctx);
// The stored digest as 32 lower-case hexadecimal digits.
std::string MD5Hex(const MD5Context& ctx);
// The digest of n bytes at data, as MD5Hex gives it.
std::string digest_of(const uint8_t* data, size_t n);

// 0 and hex = 32 lower-case hex digits of the file's digest (of a link: of its text), or 20006
// when the file cannot be read, hex then unchanged. The file is read in blocks, not mapped, so a
// file cut short by another process meanwhile cannot bring the program down.
int calc_file_md5(const std::string& path, std::string& hex);

// Stand-in for the file layer's calc_file_md5 until it lands: reads the whole file and digests it.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "install/pending_deps.h"

namespace {
// Compact MD5 (RFC 1321) for the stand-in of calc_file_md5.
struct md5 {
    uint32_t s[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    void block(const unsigned char* p) {
        static const uint32_t K[64] = {
            0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
            0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
            0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
            0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
            0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
            0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
            0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
            0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
        static const int R[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                  5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                  4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                  6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
        uint32_t w[16];
        for (int i = 0; i < 16; ++i)
            w[i] = p[i * 4] | (p[i * 4 + 1] << 8) | (p[i * 4 + 2] << 16) | (uint32_t(p[i * 4 + 3]) << 24);
        uint32_t a = s[0], b = s[1], c = s[2], d = s[3];
        for (int i = 0; i < 64; ++i) {
            uint32_t f;
            int g;
            if (i < 16)
                f = (b & c) | (~b & d), g = i;
            else if (i < 32)
                f = (d & b) | (~d & c), g = (5 * i + 1) % 16;
            else if (i < 48)
                f = b ^ c ^ d, g = (3 * i + 5) % 16;
            else
                f = c ^ (b | ~d), g = (7 * i) % 16;
            uint32_t t = d;
            d = c;
            c = b;
            uint32_t x = a + f + K[i] + w[g];
            b = b + ((x << R[i]) | (x >> (32 - R[i])));
            a = t;
        }
        s[0] += a, s[1] += b, s[2] += c, s[3] += d;
    }
    std::string hex(const std::string& m) {
        size_t n = m.size();
        size_t full = n / 64;
        for (size_t i = 0; i < full; ++i) block(reinterpret_cast<const unsigned char*>(m.data()) + i * 64);
        unsigned char tail[128] = {0};
        size_t r = n - full * 64;
        std::memcpy(tail, m.data() + full * 64, r);
        tail[r] = 0x80;
        size_t len = r < 56 ? 64 : 128;
        uint64_t bits = uint64_t(n) * 8;
        for (int i = 0; i < 8; ++i) tail[len - 8 + i] = static_cast<unsigned char>(bits >> (8 * i));
        for (size_t i = 0; i < len; i += 64) block(tail + i);
        char out[33];
        for (int i = 0; i < 16; ++i)
            std::snprintf(out + i * 2, 3, "%02x", (s[i / 4] >> (8 * (i % 4))) & 0xff);
        return std::string(out, 32);
    }
};
}  // namespace

int calc_file_md5(const std::string& path, std::string& hex) {
    std::ifstream f(path, std::ios::binary);
    struct stat st;
    if (!f || stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return 20006;
    std::stringstream ss;
    ss << f.rdbuf();
    hex = md5().hex(ss.str());
    return 0;
}

#include "files/md5.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "core/globals.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "platform/plat_paths.h"

namespace {

inline uint32_t load_le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline void store_le32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

inline uint32_t rotl(uint32_t v, int s) { return v << s | v >> (32 - s); }

// The four rounds' functions, in forms with short dependency chains.
#define MD5_F(x, y, z) ((z) ^ ((x) & ((y) ^ (z))))
#define MD5_G(x, y, z) (((x) & (z)) + ((y) & ~(z)))
#define MD5_H(x, y, z) ((x) ^ (y) ^ (z))
#define MD5_I(x, y, z) ((y) ^ ((x) | ~(z)))
#define MD5_STEP(f, a, b, c, d, k, t, s) a = b + rotl(a + f(b, c, d) + x[k] + t, s)

void transform(uint32_t st[4], const uint8_t* block) {
    uint32_t x[16];
    for (int i = 0; i < 16; ++i) x[i] = load_le32(block + 4 * i);
    uint32_t a = st[0], b = st[1], c = st[2], d = st[3];

    MD5_STEP(MD5_F, a, b, c, d, 0, 0xd76aa478, 7);
    MD5_STEP(MD5_F, d, a, b, c, 1, 0xe8c7b756, 12);
    MD5_STEP(MD5_F, c, d, a, b, 2, 0x242070db, 17);
    MD5_STEP(MD5_F, b, c, d, a, 3, 0xc1bdceee, 22);
    MD5_STEP(MD5_F, a, b, c, d, 4, 0xf57c0faf, 7);
    MD5_STEP(MD5_F, d, a, b, c, 5, 0x4787c62a, 12);
    MD5_STEP(MD5_F, c, d, a, b, 6, 0xa8304613, 17);
    MD5_STEP(MD5_F, b, c, d, a, 7, 0xfd469501, 22);
    MD5_STEP(MD5_F, a, b, c, d, 8, 0x698098d8, 7);
    MD5_STEP(MD5_F, d, a, b, c, 9, 0x8b44f7af, 12);
    MD5_STEP(MD5_F, c, d, a, b, 10, 0xffff5bb1, 17);
    MD5_STEP(MD5_F, b, c, d, a, 11, 0x895cd7be, 22);
    MD5_STEP(MD5_F, a, b, c, d, 12, 0x6b901122, 7);
    MD5_STEP(MD5_F, d, a, b, c, 13, 0xfd987193, 12);
    MD5_STEP(MD5_F, c, d, a, b, 14, 0xa679438e, 17);
    MD5_STEP(MD5_F, b, c, d, a, 15, 0x49b40821, 22);

    MD5_STEP(MD5_G, a, b, c, d, 1, 0xf61e2562, 5);
    MD5_STEP(MD5_G, d, a, b, c, 6, 0xc040b340, 9);
    MD5_STEP(MD5_G, c, d, a, b, 11, 0x265e5a51, 14);
    MD5_STEP(MD5_G, b, c, d, a, 0, 0xe9b6c7aa, 20);
    MD5_STEP(MD5_G, a, b, c, d, 5, 0xd62f105d, 5);
    MD5_STEP(MD5_G, d, a, b, c, 10, 0x02441453, 9);
    MD5_STEP(MD5_G, c, d, a, b, 15, 0xd8a1e681, 14);
    MD5_STEP(MD5_G, b, c, d, a, 4, 0xe7d3fbc8, 20);
    MD5_STEP(MD5_G, a, b, c, d, 9, 0x21e1cde6, 5);
    MD5_STEP(MD5_G, d, a, b, c, 14, 0xc33707d6, 9);
    MD5_STEP(MD5_G, c, d, a, b, 3, 0xf4d50d87, 14);
    MD5_STEP(MD5_G, b, c, d, a, 8, 0x455a14ed, 20);
    MD5_STEP(MD5_G, a, b, c, d, 13, 0xa9e3e905, 5);
    MD5_STEP(MD5_G, d, a, b, c, 2, 0xfcefa3f8, 9);
    MD5_STEP(MD5_G, c, d, a, b, 7, 0x676f02d9, 14);
    MD5_STEP(MD5_G, b, c, d, a, 12, 0x8d2a4c8a, 20);

    MD5_STEP(MD5_H, a, b, c, d, 5, 0xfffa3942, 4);
    MD5_STEP(MD5_H, d, a, b, c, 8, 0x8771f681, 11);
    MD5_STEP(MD5_H, c, d, a, b, 11, 0x6d9d6122, 16);
    MD5_STEP(MD5_H, b, c, d, a, 14, 0xfde5380c, 23);
    MD5_STEP(MD5_H, a, b, c, d, 1, 0xa4beea44, 4);
    MD5_STEP(MD5_H, d, a, b, c, 4, 0x4bdecfa9, 11);
    MD5_STEP(MD5_H, c, d, a, b, 7, 0xf6bb4b60, 16);
    MD5_STEP(MD5_H, b, c, d, a, 10, 0xbebfbc70, 23);
    MD5_STEP(MD5_H, a, b, c, d, 13, 0x289b7ec6, 4);
    MD5_STEP(MD5_H, d, a, b, c, 0, 0xeaa127fa, 11);
    MD5_STEP(MD5_H, c, d, a, b, 3, 0xd4ef3085, 16);
    MD5_STEP(MD5_H, b, c, d, a, 6, 0x04881d05, 23);
    MD5_STEP(MD5_H, a, b, c, d, 9, 0xd9d4d039, 4);
    MD5_STEP(MD5_H, d, a, b, c, 12, 0xe6db99e5, 11);
    MD5_STEP(MD5_H, c, d, a, b, 15, 0x1fa27cf8, 16);
    MD5_STEP(MD5_H, b, c, d, a, 2, 0xc4ac5665, 23);

    MD5_STEP(MD5_I, a, b, c, d, 0, 0xf4292244, 6);
    MD5_STEP(MD5_I, d, a, b, c, 7, 0x432aff97, 10);
    MD5_STEP(MD5_I, c, d, a, b, 14, 0xab9423a7, 15);
    MD5_STEP(MD5_I, b, c, d, a, 5, 0xfc93a039, 21);
    MD5_STEP(MD5_I, a, b, c, d, 12, 0x655b59c3, 6);
    MD5_STEP(MD5_I, d, a, b, c, 3, 0x8f0ccc92, 10);
    MD5_STEP(MD5_I, c, d, a, b, 10, 0xffeff47d, 15);
    MD5_STEP(MD5_I, b, c, d, a, 1, 0x85845dd1, 21);
    MD5_STEP(MD5_I, a, b, c, d, 8, 0x6fa87e4f, 6);
    MD5_STEP(MD5_I, d, a, b, c, 15, 0xfe2ce6e0, 10);
    MD5_STEP(MD5_I, c, d, a, b, 6, 0xa3014314, 15);
    MD5_STEP(MD5_I, b, c, d, a, 13, 0x4e0811a1, 21);
    MD5_STEP(MD5_I, a, b, c, d, 4, 0xf7537e82, 6);
    MD5_STEP(MD5_I, d, a, b, c, 11, 0xbd3af235, 10);
    MD5_STEP(MD5_I, c, d, a, b, 2, 0x2ad7d2bb, 15);
    MD5_STEP(MD5_I, b, c, d, a, 9, 0xeb86d391, 21);

    st[0] += a;
    st[1] += b;
    st[2] += c;
    st[3] += d;
}

std::string to_hex(const uint8_t digest[16]) {
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(32, '0');
    for (int i = 0; i < 16; ++i) {
        hex[2 * i] = kDigits[digest[i] >> 4];
        hex[2 * i + 1] = kDigits[digest[i] & 15];
    }
    return hex;
}

}  // namespace

std::string digest_of(const uint8_t* data, size_t n) {
    MD5Context ctx;
    MD5Init(&ctx);
    MD5UpdateWide(&ctx, data, n);
    MD5Final(&ctx);
    return to_hex(ctx.digest);
}

void MD5Init(MD5Context* ctx) {
    ctx->bits[0] = ctx->bits[1] = 0;
    ctx->buf[0] = 0x67452301;
    ctx->buf[1] = 0xefcdab89;
    ctx->buf[2] = 0x98badcfe;
    ctx->buf[3] = 0x10325476;
}

void MD5UpdateWide(MD5Context* ctx, const uint8_t* data, size_t length) {
    if (!length) return;
    const size_t have = (ctx->bits[0] >> 3) & 63;
    uint64_t count = (uint64_t(ctx->bits[1]) << 32 | ctx->bits[0]) + (uint64_t(length) << 3);
    ctx->bits[0] = uint32_t(count);
    ctx->bits[1] = uint32_t(count >> 32);
    if (have) {
        size_t take = std::min(length, 64 - have);
        std::memcpy(ctx->in + have, data, take);
        data += take;
        length -= take;
        if (have + take < 64) return;
        transform(ctx->buf, ctx->in);
    }
    // Whole blocks straight from the caller's bytes.
    for (; length >= 64; data += 64, length -= 64) transform(ctx->buf, data);
    if (length) std::memcpy(ctx->in, data, length);
}

void MD5Update(MD5Context* ctx, const uint8_t* data, unsigned length) { MD5UpdateWide(ctx, data, length); }

void MD5Final(MD5Context* ctx) {
    uint8_t length_bytes[8];
    store_le32(length_bytes, ctx->bits[0]);
    store_le32(length_bytes + 4, ctx->bits[1]);
    const size_t have = (ctx->bits[0] >> 3) & 63;
    static const uint8_t kPad[64] = {0x80};
    MD5UpdateWide(ctx, kPad, have < 56 ? 56 - have : 120 - have);
    MD5UpdateWide(ctx, length_bytes, 8);
    for (int i = 0; i < 4; ++i) store_le32(ctx->digest + 4 * i, ctx->buf[i]);
}

std::string MD5Hex(const MD5Context& ctx) { return to_hex(ctx.digest); }

int calc_file_md5(const std::string& path, std::string& hex) {
    std::string link_text;
    if (is_sim_link(path.c_str(), &link_text)) {
        hex = digest_of(reinterpret_cast<const uint8_t*>(link_text.data()), link_text.size());
        return 0;
    }
    // The buffer first: a failed allocation then cannot leave the descriptor open.
    const size_t kBlock = 256 * 1024;
    std::unique_ptr<uint8_t[]> buf(new uint8_t[kBlock]);
    // The rules of the mapped reader: regular files only.
    int fd = plat::open_regular(app_path + path, nullptr);
    if (fd < 0) return err_file_read_open;
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    MD5Context ctx;
    MD5Init(&ctx);
    for (off_t at = 0;;) {
        ssize_t n = pread(fd, buf.get(), kBlock, at);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            close(fd);
            return err_file_read_open;
        }
        if (n == 0) break;
        MD5UpdateWide(&ctx, buf.get(), size_t(n));
        at += n;
    }
    close(fd);
    MD5Final(&ctx);
    hex = to_hex(ctx.digest);
    return 0;
}

#include "files/md5.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <random>

#include "common/test_helpers.h"
#include "files/errors.h"

namespace {

std::string digest(const std::string& data, size_t piece, bool narrow = false) {
    MD5Context ctx;
    MD5Init(&ctx);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data());
    for (size_t at = 0; at < data.size(); at += piece) {
        size_t n = std::min(piece, data.size() - at);
        if (narrow)
            MD5Update(&ctx, p + at, unsigned(n));
        else
            MD5UpdateWide(&ctx, p + at, n);
    }
    MD5Final(&ctx);
    char hex[33];
    for (int i = 0; i < 16; ++i) std::snprintf(hex + 2 * i, 3, "%02x", ctx.digest[i]);
    return hex;
}

std::string random_bytes(size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(gen());
    return s;
}

}  // namespace

TEST(Md5, RfcTestSuite) {
    const std::pair<const char*, const char*> cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"}};
    for (const auto& c : cases) EXPECT_EQ(digest(c.first, 1000), c.second) << c.first;
}

TEST(Md5, PiecesOfAnySizeGiveOneDigest) {
    const std::string data = random_bytes(200000, 1);
    const std::string whole = digest(data, data.size());
    for (size_t piece : {1, 55, 56, 63, 64, 65, 4095, 65535, 65536, 131071})
        EXPECT_EQ(digest(data, piece), whole) << piece;
    // The 16-bit entry point honours lengths above 65535 too.
    EXPECT_EQ(digest(data, 70000, true), whole);
    EXPECT_EQ(digest(data, data.size(), true), whole);
}

TEST(Md5, FilesMatchMd5sum) {
    temp_folder t;
    for (size_t n : {0, 3, 64, 65535, 65536, 65537, 131071, 262144, 262145, 1 << 20}) {
        std::string p = t / ("f" + std::to_string(n));
        write_file(p, random_bytes(n, unsigned(n)));
        std::string hex;
        ASSERT_EQ(calc_file_md5(p, hex), 0) << n;
        EXPECT_EQ(hex, md5sum_of(p)) << n;
    }
    write_file(t / "abc", "abc");
    std::string hex;
    EXPECT_EQ(calc_file_md5(t / "abc", hex), 0);
    EXPECT_EQ(hex, "900150983cd24fb0d6963f7d28e17f72");
    write_file(t / "empty", "");
    EXPECT_EQ(calc_file_md5(t / "empty", hex), 0);
    EXPECT_EQ(hex, "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Md5, LinksAreDigestedByTheirText) {
    temp_folder t;
    write_file(t / "target", "something else");
    ASSERT_EQ(symlink("abc", (t / "dangling").c_str()), 0);
    std::string hex;
    EXPECT_EQ(calc_file_md5(t / "dangling", hex), 0);
    EXPECT_EQ(hex, "900150983cd24fb0d6963f7d28e17f72");
    ASSERT_EQ(symlink((t / "target").c_str(), (t / "to_target").c_str()), 0);
    EXPECT_EQ(calc_file_md5(t / "to_target", hex), 0);
    EXPECT_EQ(hex, digest(t / "target", 64));
}

TEST(Md5, UnreadableItemsLeaveTheDigestAlone) {
    temp_folder t;
    mkdir((t / "folder").c_str(), 0755);
    ASSERT_EQ(mkfifo((t / "fifo").c_str(), 0644), 0);
    std::string hex = "unchanged";
    EXPECT_EQ(calc_file_md5(t / "missing", hex), 20006);
    EXPECT_EQ(calc_file_md5(t / "folder", hex), 20006);
    EXPECT_EQ(calc_file_md5(t / "fifo", hex), 20006);  // and does not hang
    EXPECT_EQ(hex, "unchanged");
}

TEST(Md5, FileOfMoreThanFourGigabytes) {
#ifndef __OPTIMIZE__
    GTEST_SKIP() << "digests 4 GiB: only in optimised builds";
#endif
    // Holes read fastest from memory: use tmpfs where there is one.
    temp_folder t(access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "");
    make_sparse_file(t / "big", (int64_t(4) << 30) + 10, "END");
    std::string hex;
    ASSERT_EQ(calc_file_md5(t / "big", hex), 0);
    EXPECT_EQ(hex, "3bdd00476e74d4db6b6fb13f9b46cc79");  // md5sum of 4 GiB + 7 zero bytes and "END"
}

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "common/test_helpers.h"
#include "core/globals.h"
#include "files/archive_test_helpers.h"
#include "files/archives.h"
#include "files/errors.h"

using namespace archive_test;

namespace {
struct P7zTest : ::testing::Test {
    sandbox box;
    std::string p7z = box.dir + "/a.7z";
};
}  // namespace

// Fixtures packed by tools/make_7z_fixtures.py with the x86 filters libarchive's writer lacks.
TEST_F(P7zTest, FixturesWithLzmaBcjAndBcj2Unpack) {
    const std::string payload = fixture_payload(200000);
    for (const char* name : {"lzma.7z", "bcj.7z", "bcj2.7z"}) {
        SCOPED_TRACE(name);
        sandbox out;
        ASSERT_EQ(mkdir((out.dest + "bin").c_str(), 0755), 0);  // 7z extraction makes no folders
        ASSERT_EQ(p7z_to_file(std::string(VOLATRA_TEST_DATA) + "/archives/" + name, out.dest), 0);
        EXPECT_TRUE(read_file(out.dest + "bin/code.bin") == payload);
        EXPECT_EQ(read_file(out.dest + "readme.txt"), "Volatra test archive\n");
    }
}

TEST_F(P7zTest, NamesAndLastPathReported) {
    make_7z(p7z,
            {{"Earth nav data/", "", 'd'}, {"Earth nav data/+50-130.dsf", "tile"}, {"Zürich Ø.txt", "utf8"}},
            "lzma2");
    ASSERT_EQ(mkdir((box.dest + "Earth nav data").c_str(), 0755), 0);
    std::string last;
    ASSERT_EQ(p7z_to_file(p7z, box.dest, &last), 0);
    EXPECT_EQ(read_file(box.dest + "Earth nav data/+50-130.dsf"), "tile");
    EXPECT_EQ(read_file(box.dest + "Zürich Ø.txt"), "utf8");
    EXPECT_EQ(last, box.dest + "Zürich Ø.txt");
}

TEST_F(P7zTest, FailuresGiveTheirCodes) {
    EXPECT_EQ(p7z_to_file(box.dir + "/none.7z", box.dest), ENOENT);
    write_file(p7z, "this is not a 7z archive, only text");
    EXPECT_EQ(p7z_to_file(p7z, box.dest), err_zip_open);

    make_7z(p7z, {{"sub/f.txt", "x"}});
    EXPECT_EQ(p7z_to_file(p7z, box.dest), ENOENT);  // its folder does not exist

    // A flipped byte in a stored item fails its checksum; the previous file stays, and so does
    // the one an item before it replaced.
    std::string payload(5000, 'q');
    make_7z(p7z, {{"a.txt", "new"}, {"f.bin", payload}}, "store");
    std::string bytes = read_file(p7z);
    size_t at = bytes.find(payload);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 100] ^= 0x20;
    write_file(p7z, bytes);
    write_file(box.dest + "f.bin", "previous");
    write_file(box.dest + "a.txt", "previous a");
    EXPECT_EQ(p7z_to_file(p7z, box.dest), err_zip_read);
    EXPECT_EQ(read_file(box.dest + "f.bin"), "previous");
    EXPECT_EQ(read_file(box.dest + "a.txt"), "previous a");

    // A bound counts every file's bytes, an empty one too, and is checked before anything is written.
    make_7z(p7z, {{"empty.txt", ""}, {"f.bin", "hello"}});
    log_capture log;
    sErrFile = "";
    EXPECT_EQ(p7z_to_file(p7z, box.dest, nullptr, 0, "", nullptr, 4), EFBIG);
    EXPECT_EQ(read_file(box.dest + "f.bin"), "previous");
    EXPECT_NE(log.text().find(p7z + " would unpack past its 4 bytes; nothing is written."),
              std::string::npos);
    EXPECT_NE(log.text().find("failed with error " + std::to_string(EFBIG) + ". file = " + sErrFile),
              std::string::npos);
    EXPECT_NE(std::string(sErrFile).find("archives.cpp"), std::string::npos);  // where it was refused
    EXPECT_EQ(p7z_to_file(p7z, box.dest, nullptr, 0, "", nullptr, 5), 0);
    EXPECT_EQ(read_file(box.dest + "f.bin"), "hello");
    EXPECT_EQ(read_file(box.dest + "empty.txt"), "");
}

// A link item's size says 0, its text coming with its header: the text counts against a bound and
// may be no longer than a zip's link text; an archive refused for either leaves nothing.
TEST_F(P7zTest, LinkTextsCountAgainstTheBoundAndHaveTheZipLimit) {
    const std::string text(4095, 't');
    make_7z(p7z, {{"a.txt", "hello"}, {"l", text, 'l'}});
    EXPECT_EQ(p7z_to_file(p7z, box.dest, nullptr, 0, "", nullptr, 4099), EFBIG);
    EXPECT_FALSE(path_exists(box.dest + "a.txt"));
    EXPECT_EQ(p7z_to_file(p7z, box.dest, nullptr, 0, "", nullptr, 4100), 0);
    EXPECT_EQ(read_file(box.dest + "l"), text);
    make_7z(p7z, {{"b.txt", "hello"}, {"m", text + "t", 'l'}});
    for (int64_t bound : {int64_t(-1), int64_t(1) << 20}) {
        EXPECT_EQ(p7z_to_file(p7z, box.dest, nullptr, 0, "", nullptr, bound), ENAMETOOLONG) << bound;
        EXPECT_FALSE(path_exists(box.dest + "b.txt")) << bound;
        EXPECT_FALSE(path_exists(box.dest + "m")) << bound;
    }
}

// Large items are written by a second thread: the bytes and the checksum rule stay the same.
TEST_F(P7zTest, LargeItemsAreWholeOrNotAtAll) {
    std::string big = fixture_payload(20u << 20);
    make_7z(p7z, {{"big.dsf", big}}, "store");
    ASSERT_EQ(p7z_to_file(p7z, box.dest), 0);
    EXPECT_TRUE(read_file(box.dest + "big.dsf") == big);

    std::string bytes = read_file(p7z);
    size_t at = bytes.find(big.substr(0, 4096));
    ASSERT_NE(at, std::string::npos);
    bytes[at + big.size() - 10] ^= 0x01;
    write_file(p7z, bytes);
    write_file(box.dest + "big.dsf", "previous");
    EXPECT_EQ(p7z_to_file(p7z, box.dest), err_zip_read);
    EXPECT_EQ(read_file(box.dest + "big.dsf"), "previous");
}

// A full disc says so: write failures keep their errno, small items and large ones.
TEST_F(P7zTest, WriteFailuresKeepTheirErrno) {
    make_7z(p7z, {{"small.bin", std::string(100000, 's')}}, "store");
    make_7z(box.dir + "/big.7z", {{"big.bin", fixture_payload(17u << 20)}}, "store");
    for (const std::string& archive : {p7z, box.dir + "/big.7z"})
        EXPECT_EQ(result_in_child([&] {
                      limit_file_size(65536);
                      return p7z_to_file(archive, box.dest);
                  }),
                  EFBIG)
            << archive;
    // The disc fills with the large item's last chunk, which only the writer's end writes.
    EXPECT_EQ(result_in_child([&] {
                  limit_file_size((17 << 20) - 100);
                  return p7z_to_file(box.dir + "/big.7z", box.dest);
              }),
              EFBIG);
}

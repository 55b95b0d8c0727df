#include "files/versioned_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/globals.h"

namespace {
const int k900[] = {840, 900, 0};

std::string at_cur(const xmap_class& m, size_t n) {
    size_t left = size_t(m.end - m.cur);
    return std::string(reinterpret_cast<const char*>(m.cur), std::min(n, left));
}
}  // namespace

// --- the text header

TEST(XmapHeader, TextHeaderWithTypeWord) {
    temp_folder t;
    write_file(t / "dir.txt", "A\n900 version\nINSTALLER\n\nDIR x\n");
    xmap_class m(t / "dir.txt");
    ASSERT_NE(m.base, nullptr);
    std::string text;
    EXPECT_EQ(m.check_file(xmap_type_text, k900, "INSTALLER", &text), 900);
    EXPECT_EQ(text, "version");
    EXPECT_EQ(at_cur(m, 3), "DIR");

    // A prefix of the word is not the word; cur goes back to it.
    EXPECT_EQ(m.check_file(xmap_type_text, k900, "INSTALL", nullptr), 0);
    EXPECT_EQ(at_cur(m, 9), "INSTALLER");
    // Without a type word cur stands on the word's line.
    EXPECT_EQ(m.check_file(xmap_type_text, k900, nullptr, nullptr), 900);
    EXPECT_EQ(at_cur(m, 9), "INSTALLER");
    const int other[] = {901, 0};
    EXPECT_EQ(m.check_file(xmap_type_text, other, nullptr, nullptr), 0);
}

TEST(XmapHeader, TextHeaderVariants) {
    temp_folder t;
    struct row {
        const char* content;
        const int* versions;
        const char* magic;
        int expected;
        const char* header_text;
    };
    const int k5[] = {5, 0}, k162[] = {162, 0}, kneg[] = {-7, 0}, k9002[] = {9002, 0};
    const row rows[] = {
        {"I\r\n900 version Copyright me\r\nINSTALLER\r\nDIR", k900, "INSTALLER", 900, "version Copyright me"},
        {"A\n-+5 version\nX", k5, "X", 5, "version"},
        {"A\n9x version\nX", k900, "X", 0, "version"},  // 9*10 + ('x'-'0') = 162
        {"A\n-7\nX", kneg, "X", -7, ""},
        {"A  junk\n\n\t 9002 version\nPREF\tmore\n", k9002, "PREF", 9002, "version"},
        {"B\n900 version\nX", k900, nullptr, 0, ""},
        {"A\n900 version\nINSTALLER", k900, "INSTALLER", 900, "version"},  // word ends the file
        {"A\n900 version\nINSTALLERS", k900, "INSTALLER", 0, "version"},
        {"A\n900", k900, "INSTALLER", 0, ""},
        {"A", k900, nullptr, 0, ""},
        {"A\n99999999999999999999 version", k900, nullptr, 0, "version"},  // wraps, never overflows
    };
    for (const row& r : rows) {
        write_file(t / "h.txt", r.content);
        xmap_class m(t / "h.txt");
        std::string text = "unset";
        int got = m.check_file(xmap_type_text, r.versions, r.magic, &text);
        EXPECT_EQ(got, r.expected) << r.content;
        if (r.content[0] != 'B') {
            EXPECT_EQ(text, r.header_text) << r.content;
        }
        EXPECT_LE(m.cur, m.end);
        EXPECT_GE(m.cur, m.base);
    }
    // With 162 in the list the same field is accepted.
    write_file(t / "h.txt", "A\n9x version\n");
    xmap_class m(t / "h.txt");
    EXPECT_EQ(m.check_file(xmap_type_text, k162, nullptr, nullptr), 162);
}

// --- the binary header

TEST(XmapHeader, BinaryHeaderAndByteOrder) {
    temp_folder t;
    const int versions[] = {900, 0};
    write_file(t / "i.bin", std::string("i\x84\x03\x00\x00", 5));
    xmap_class little(t / "i.bin");
    EXPECT_EQ(little.check_file(xmap_type_binary, versions, nullptr, nullptr), 900);
    EXPECT_EQ(little.swap, 0u);  // little-endian data on a little-endian machine
    EXPECT_EQ(little.cur, little.end);

    write_file(t / "a.bin", std::string("a\x00\x00\x03\x84rest", 9));
    xmap_class big(t / "a.bin");
    EXPECT_EQ(big.check_file(xmap_type_binary, versions, nullptr, nullptr), 900);
    EXPECT_EQ(big.swap, 1u);
    EXPECT_EQ(at_cur(big, 4), "rest");

    for (size_t n = 1; n <= 4; ++n) {
        write_file(t / "short.bin", std::string("i\x84\x03\x00", n));
        xmap_class m(t / "short.bin");
        EXPECT_EQ(m.check_file(xmap_type_binary, versions, nullptr, nullptr), 0) << n;
    }
    write_file(t / "x.bin", std::string("x\x84\x03\x00\x00", 5));
    xmap_class wrong(t / "x.bin");
    EXPECT_EQ(wrong.check_file(xmap_type_binary, versions, nullptr, nullptr), 0);
}

TEST(XmapHeader, EmptyMissingAndBadType) {
    temp_folder t;
    write_file(t / "empty", "");
    xmap_class e(t / "empty");
    ASSERT_NE(e.base, nullptr);  // present, with no bytes
    EXPECT_EQ(e.base, e.end);
    EXPECT_EQ(e.cur, e.end);
    EXPECT_EQ(e.check_file(xmap_type_text, k900, nullptr, nullptr), 0);
    std::string s = "x";
    e.TXT_str_scan_eoln(&s);
    EXPECT_EQ(s, "");

    xmap_class missing(t / "missing");
    EXPECT_EQ(missing.base, nullptr);
    EXPECT_EQ(missing.check_file(xmap_type_text, k900, nullptr, nullptr), 0);
    xmap_class none;
    EXPECT_EQ(none.base, nullptr);
    EXPECT_EXIT(e.check_file(10002, k900, nullptr, nullptr), ::testing::ExitedWithCode(1),
                "Bad check_file type!");
}

// --- mapping

TEST(XmapMap, OnlyRegularFilesAreMapped) {
    temp_folder t;
    mkdir((t / "folder").c_str(), 0755);
    ASSERT_EQ(mkfifo((t / "fifo").c_str(), 0644), 0);
    xmap_class folder(t / "folder");
    EXPECT_EQ(folder.base, nullptr);
    xmap_class fifo(t / "fifo");  // must not hang
    EXPECT_EQ(fifo.base, nullptr);
    EXPECT_EQ(fifo.fd, -1);
}

TEST(XmapMap, FilesOfFourGigabytesAndMore) {
    temp_folder t;
    const int64_t len = (int64_t(4) << 30) + 10;
    make_sparse_file(t / "sparse", len, "END");
    xmap_class m(t / "sparse");
    ASSERT_NE(m.base, nullptr);
    EXPECT_EQ(int64_t(m.end - m.base), len);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(m.end - 3), 3), "END");
}

TEST(XmapMap, RetryRemapsAndRefusesBadPaths) {
    temp_folder t;
    write_file(t / "one", "1111");
    write_file(t / "two", "22");
    xmap_class m(t / "one");
    EXPECT_EQ(m.end - m.base, 4);
    EXPECT_NE(m.retry(t / "two"), nullptr);
    EXPECT_EQ(m.end - m.base, 2);
    EXPECT_EQ(m.retry(t / "gone"), nullptr);
    EXPECT_EQ(m.end, nullptr);

    // ':' and '\\' are ordinary characters of Linux names.
    write_file(t / "a:b\\c", "x");
    EXPECT_NE(m.retry(t / "a:b\\c"), nullptr);
    EXPECT_EXIT(m.retry(std::string(500, 'a')), ::testing::ExitedWithCode(1), "String too long!");
    app_path = t.path();
    EXPECT_NE(m.retry("one"), nullptr);  // relative to the program folder
    EXPECT_EXIT(m.retry(t / "one"), ::testing::ExitedWithCode(1), "not Ostrand relative!");
    app_path.clear();
}

// --- reading

TEST(XmapRead, ReadNRevSwapsWholeWords) {
    temp_folder t;
    write_file(t / "d", "ABCDEFGH");
    xmap_class m(t / "d");
    m.swap = 1;
    char out[6];
    m.read_n_rev(out, 6);
    EXPECT_EQ(std::string(out, 6), "DCBAEF");
    EXPECT_EQ(at_cur(m, 2), "GH");
    m.swap = 0;
    m.read_n_rev(reinterpret_cast<long>(out), 2);
    EXPECT_EQ(std::string(out, 2), "GH");
    m.read_n_rev(out, 0);
    EXPECT_EXIT(m.read_n_rev(out, 1), ::testing::ExitedWithCode(1), "Invalid read_n_rev read!");
    m.cur = m.base;
    EXPECT_EXIT(m.read_n_rev(out, -1), ::testing::ExitedWithCode(1), "Invalid read_n_rev read!");
}

TEST(XmapRead, Scanners) {
    temp_folder t;
    write_file(t / "s", std::string("abc  \r\n\r\n  word\tnext\0tail", 25));
    xmap_class m(t / "s");
    std::string s;
    m.TXT_str_scan_eoln(&s);
    EXPECT_EQ(s, "abc  ");
    EXPECT_EQ(at_cur(m, 4), "word");
    m.TXT_str_scan_space(&s);
    EXPECT_EQ(s, "word");
    EXPECT_EQ(*m.cur, '\t');
    m.TXT_str_scan_space(nullptr);
    EXPECT_EQ(*m.cur, '\0');
    m.TXT_str_scan_eoln(nullptr);
    m.TXT_str_scan_space(&s);
    EXPECT_EQ(s, "tail");
    EXPECT_EQ(m.cur, m.end);
    m.TXT_str_scan_space(&s);  // at the end: nothing, and no step past it
    EXPECT_EQ(s, "");
    EXPECT_EQ(m.cur, m.end);
}

TEST(XmapRead, LogsTheCurrentLine) {
    temp_folder t;
    std::string log = t / "log.txt";
    ASSERT_TRUE(xer.open(log));
    write_file(t / "s", "first\r\nsecond line\nthird");
    xmap_class m(t / "s");
    m.cur = m.base + 10;  // inside "second line"
    m.TXT_xer_line();
    m.cur = m.base;
    m.TXT_xer_line();
    xer.close();
    EXPECT_EQ(read_file(log), "2 \"second line\"\n1 \"first\"\n");
}

// --- writing

TEST(OufOpen, TextAndBinaryHeadersReadBack) {
    temp_folder t;
    ASSERT_EQ(ouf_open(t / "prefs.PRF", xmap_type_text, 9002, "no-copyright-string"), 1);
    ouf << "PREFS\n";
    ouf.close();
    EXPECT_EQ(read_file(t / "prefs.prf"), "A\n9002 version\nPREFS\n");
    EXPECT_FALSE(path_exists(t / "prefs.PRF"));

    ASSERT_EQ(ouf_open(t / "list", xmap_type_text, 820, " by us"), 1);
    ouf << "SERVERS\n";
    ouf.close();
    const int k820[] = {820, 0};
    xmap_class m(t / "list");
    std::string text;
    EXPECT_EQ(m.check_file(xmap_type_text, k820, "SERVERS", &text), 820);
    EXPECT_EQ(text, "version by us");

    const int k7[] = {-7, 0};
    ASSERT_EQ(ouf_open(t / "data.BIN", xmap_type_binary, -7, ""), 1);
    ouf.write("xyz", 3);
    ouf.close();
    EXPECT_EQ(read_file(t / "data.bin"), std::string("a\xff\xff\xff\xf9xyz", 8));
    xmap_class b(t / "data.bin");
    EXPECT_EQ(b.check_file(xmap_type_binary, k7, nullptr, nullptr), -7);
    EXPECT_EQ(at_cur(b, 3), "xyz");

    EXPECT_EXIT(ouf_open(t / "x", 3, 1, ""), ::testing::ExitedWithCode(1), "Bad ouf_open type!");
}

// The stream is never destroyed, so nothing but an exit handler flushes a file still open.
TEST(OufOpen, OpenFileIsFlushedAtExit) {
    temp_folder t;
    EXPECT_EQ(run_in_child([&] {
                  ouf_open(t / "open.txt", xmap_type_text, 1, "");
                  ouf << "BODY\n";
                  std::exit(0);
              }).exit_code,
              0);
    EXPECT_EQ(read_file(t / "open.txt"), "A\n1 version\nBODY\n");
}

TEST(OufOpen, MakesOneMissingFolder) {
    temp_folder t;
    reset_recorders();
    EXPECT_EQ(ouf_open(t / "new/f.txt", xmap_type_text, 1, ""), 1);
    ouf.close();
    EXPECT_TRUE(path_exists(t / "new/f.txt"));
    EXPECT_TRUE(recorded_alerts().empty());

    EXPECT_EQ(ouf_open(t / "a/b/f.txt", xmap_type_text, 1, ""), 0);
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].type, 1);
    EXPECT_EQ(alerts[0].line2, t / "a/b/f.txt");
    EXPECT_EQ(alerts[0].line3,
              "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!");
}

TEST(OufOpen, IoFileOpenAndClose) {
    temp_folder t;
    int versions[] = {3, 0};
    xmap_class w;
    ASSERT_EQ(w.io_file_open(1, t / "io.txt", versions, xmap_type_text), 1);
    ouf << "BODY\n";
    EXPECT_EQ(w.io_file_close(), 1);
    xmap_class r;
    EXPECT_EQ(r.io_file_open(0, t / "io.txt", versions, xmap_type_text), 1);
    EXPECT_EQ(at_cur(r, 4), "BODY");
    EXPECT_EQ(r.io_file_close(), 1);
    int other[] = {4, 0};
    EXPECT_EQ(r.io_file_open(0, t / "io.txt", other, xmap_type_text), 0);
    EXPECT_EQ(r.io_file_open(2, t / "io.txt", versions, xmap_type_text), 0);

    // A close that cannot write its data is not a success.
    if (access("/dev/full", W_OK) == 0) {
        ouf.close();
        ouf.clear();
        ouf.open("/dev/full");
        ouf << "data that cannot be written";
        w.io_mode = 1;
        EXPECT_EQ(w.io_file_close(), 0);
        EXPECT_TRUE(ouf.fail());
        ouf.clear();
    }
}

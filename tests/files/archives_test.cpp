#include "files/archives.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "core/globals.h"
#include "files/archive_test_helpers.h"
#include "files/errors.h"
#include "files/file_operations.h"
#include "files/finder_info_and_forks.h"
#include "files/md5.h"

using namespace archive_test;

namespace {

std::string log_text(const sandbox& box) { return read_file(box.dir + "/log.txt"); }

std::vector<std::string> dest_listing(const sandbox& box) {
    std::vector<std::string> names;
    if (DIR* d = opendir(box.dest.c_str())) {
        while (dirent* e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct ZipTest : ::testing::Test {
    sandbox box;
    void SetUp() override { ASSERT_TRUE(xer.open(box.dir + "/log.txt")); }
    void TearDown() override { xer.close(); }
    std::string zip_path(const char* name = "a.zip") { return box.dir + "/" + name; }
};

bool xattrs_work(const std::string& dir) {
    std::string probe = dir + "/xattr_probe";
    write_file(probe, "x");
    bool ok = setxattr(probe.c_str(), "user.volatra_probe", "1", 1, 0) == 0;
    unlink(probe.c_str());
    return ok;
}

time_t local_time(int year, int mon, int day, int hour, int min, int sec) {
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = mon, t.tm_mday = day, t.tm_hour = hour, t.tm_min = min,
    t.tm_sec = sec;
    t.tm_isdst = -1;
    return mktime(&t);
}

}  // namespace

TEST_F(ZipTest, RoundTripKeepsBytesModeAndTime) {
    std::string src = box.dir + "/tool.bin";
    std::string data(300000, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char(i * 7 + i / 1000);
    write_file(src, data);
    chmod(src.c_str(), 0751);
    time_t when = local_time(2008, 2, 3, 4, 5, 6);
    struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, src.c_str(), times, 0), 0);

    std::string packed_md5, file_md5;
    ASSERT_EQ(file_to_zip(src, zip_path(), &packed_md5), 0);
    ASSERT_EQ(zip_to_file(zip_path(), box.dest), 0);
    ASSERT_EQ(calc_file_md5(src, file_md5), 0);
    EXPECT_EQ(packed_md5, file_md5);  // taken in the read that packed it

    std::string out = box.dest + "tool.bin";
    EXPECT_EQ(read_file(out), data);
    struct stat st;
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0751u);
    EXPECT_EQ(st.st_mtime, when);
    EXPECT_EQ(st.st_mtim.tv_nsec, 0);  // the entry's date, to the second
    // One entry, no AppleDouble: nothing but the file appears.
    EXPECT_FALSE(path_exists(box.dest + "__MACOSX"));

    // A source named without a folder is packed under its whole name.
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(box.dir.c_str()), 0);
    const int packed = file_to_zip("tool.bin", "here.zip");
    ASSERT_EQ(chdir(cwd), 0);
    ASSERT_EQ(packed, 0);
    std::vector<std::string> names;
    ASSERT_EQ(zip_entry_names(zip_path("here.zip"), &names), 0);
    EXPECT_EQ(names, std::vector<std::string>{"tool.bin"});
}

TEST_F(ZipTest, LinkRoundTripReplacesExistingFile) {
    std::string src = box.dir + "/Current";
    ASSERT_EQ(symlink("A", src.c_str()), 0);
    std::string packed_md5, link_md5;
    ASSERT_EQ(file_to_zip(src, zip_path(), &packed_md5), 0);
    ASSERT_EQ(calc_file_md5(src, link_md5), 0);
    EXPECT_EQ(packed_md5, link_md5);  // of the link's text

    // The link is one stored entry with zeroed dates and the link attributes.
    unzFile uf = unzOpen64(zip_path().c_str());
    ASSERT_NE(uf, nullptr);
    unz_global_info64 gi;
    ASSERT_EQ(unzGetGlobalInfo64(uf, &gi), UNZ_OK);
    EXPECT_EQ(gi.number_entry, 1u);
    unz_file_info64 info;
    ASSERT_EQ(unzGoToFirstFile(uf), UNZ_OK);
    ASSERT_EQ(unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0), UNZ_OK);
    EXPECT_EQ(info.compression_method, 0u);
    EXPECT_EQ(info.external_fa, 0xA1ED0000u);
    unzClose(uf);

    write_file(box.dest + "Current", "an old file");
    ASSERT_EQ(zip_to_file(zip_path(), box.dest), 0);
    char text[16] = {};
    ASSERT_EQ(readlink((box.dest + "Current").c_str(), text, sizeof text - 1), 1);
    EXPECT_STREQ(text, "A");
}

TEST_F(ZipTest, ForkAndFinderInfoRoundTripThroughAppleDouble) {
    if (!xattrs_work(box.dir)) GTEST_SKIP() << "no user extended attributes here";
    std::string src = box.dir + "/Panel.rsrc";
    write_file(src, "data fork");
    std::string fork(3 * 1024, '\0');
    for (size_t i = 0; i < fork.size(); ++i) fork[i] = char(i % 251);
    ASSERT_EQ(write_fork(src, reinterpret_cast<const uint8_t*>(fork.data()), fork.size()), 0);
    const uint8_t finder[16] = {'T', 'E', 'X', 'T', 'V', 'O', 'L', 'A', 0x01, 0x00};
    ASSERT_EQ(set_finder_info(src, finder), 0);

    ASSERT_EQ(file_to_zip(src, zip_path()), 0);
    ASSERT_EQ(zip_to_file(zip_path(), box.dest), 0);

    std::string out = box.dest + "Panel.rsrc";
    EXPECT_EQ(read_file(out), "data fork");
    std::vector<uint8_t> got;
    ASSERT_EQ(read_fork(out, got), 0);
    EXPECT_EQ(std::string(got.begin(), got.end()), fork);
    uint8_t info[32];
    ASSERT_EQ(get_finder_info(out, info), 0);
    EXPECT_EQ(memcmp(info, finder, 16), 0);
    EXPECT_FALSE(path_exists(box.dest + "__MACOSX"));
}

// The digest of bytes, as calc_file_md5 gives it.
std::string md5_text(const std::string& bytes) {
    MD5Context c;
    MD5Init(&c);
    MD5UpdateWide(&c, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    MD5Final(&c);
    return MD5Hex(c);
}

TEST_F(ZipTest, InstallFileTakesOnlyItsOwnEntryWithItsDigest) {
    const std::string fork_record = apple_double({9, 50, 32, 2, 82, 4}, 86);
    const std::string target = box.dest + "f.txt";
    struct row {
        const char* what;
        std::vector<zip_item> items;
        std::string digest_of;  // the digest asked for is of these bytes
        int result;
        std::string after;  // what target holds afterwards
    } rows[] = {
        {"the file", {{"f.txt", "new"}}, "new", 0, "new"},
        {"its fork first", {{"__MACOSX/._f.txt", fork_record}, {"f.txt", "new"}}, "new", 0, "new"},
        {"another digest", {{"f.txt", "new"}}, "other", err_zip_not_manifest, "old"},
        {"another name", {{"g.txt", "new"}}, "new", err_zip_not_manifest, "old"},
        {"one more entry", {{"f.txt", "new"}, {"g.txt", "more"}}, "new", err_zip_not_manifest, "old"},
        {"the file twice", {{"f.txt", "new"}, {"f.txt", "new"}}, "new", err_zip_not_manifest, "old"},
        {"a link", {{"f.txt", "g.txt", 0xA1ED0000, 0}}, "g.txt", 0, "link g.txt"},
        {"a link leaving the copy", {{"f.txt", "../../x", 0xA1ED0000, 0}}, "../../x", err_zip_unsafe_path, "old"},
    };
    const auto outside = box.outside_state();
    for (const row& r : rows) {
        unlink(target.c_str());
        write_file(target, "old");
        make_zip(zip_path(), r.items);
        EXPECT_EQ(zip_install_file(zip_path(), target, md5_text(r.digest_of), box.dest), r.result) << r.what;
        char text[64] = {};
        const bool link = readlink(target.c_str(), text, sizeof text - 1) > 0;
        EXPECT_EQ(link ? "link " + std::string(text) : read_file(target), r.after) << r.what;
        // Nothing but the target: no temporary file, no other entry, no __MACOSX folder.
        EXPECT_EQ(dest_listing(box), std::vector<std::string>{"f.txt"}) << r.what;
    }
    // A folder that leads out of the copy through a link is refused, and the log says so.
    ASSERT_EQ(symlink(box.outside.c_str(), (box.dest + "out").c_str()), 0);
    make_zip(zip_path(), {{"f.txt", "new"}});
    EXPECT_EQ(zip_install_file(zip_path(), box.dest + "out/f.txt", md5_text("new"), box.dest), err_zip_unsafe_path);
    xer.flush();
    EXPECT_NE(log_text(box).find("Refused archive entry \"f.txt\": its folder would lead outside"),
              std::string::npos);
    auto after = box.outside_state();
    after.erase("/a.zip");
    after.erase("/log.txt");
    auto before = outside;
    before.erase("/log.txt");
    EXPECT_EQ(after, before);
}

TEST_F(ZipTest, FoldersFilesAndForkOfAnotherFile) {
    std::string fork_record = apple_double({9, 50, 32, 2, 82, 4}, 86);
    make_zip(zip_path(), {{"a/", "", 0x41ED0000},
                          {"a/b.txt", "hello"},
                          {"a/c/", "", 0x41ED0000},
                          {"__MACOSX/", ""},
                          {"__MACOSX/a/._b.txt", fork_record},
                          {"__MACOSX/a/._missing.txt", fork_record},
                          {"__MACOSX/a/._c", fork_record},
                          {"__MACOSX/a/.DS_Store", "junk"},
                          {"__MACOSX/a/._", "junk"},
                          {"__MACOSX", "odd"}});
    ASSERT_EQ(zip_to_file(zip_path(), box.dest), 0) << log_text(box);
    EXPECT_EQ(read_file(box.dest + "a/b.txt"), "hello");
    EXPECT_FALSE(path_exists(box.dest + "__MACOSX"));
    EXPECT_FALSE(path_exists(box.dest + "a/missing.txt"));
    // A folder carries no fork: its record is passed over, and said so.
    xer.flush();
    EXPECT_NE(log_text(box).find("Resource fork skipped: " + box.dest + "a/c is not a plain file."),
              std::string::npos)
        << log_text(box);
}

TEST_F(ZipTest, DosMadeZipStaysReadableAndZeroAttributesKeepDefaults) {
    zip_item dos{"dos.txt", "from DOS", 0x20};
    dos.made_by = 0;
    zip_item bare{"bare.txt", "no attributes", 0};
    make_zip(zip_path(), {dos, bare});
    time_t before = time(nullptr);
    ASSERT_EQ(zip_to_file(zip_path(), box.dest), 0);
    mode_t mask = umask(0);
    umask(mask);
    struct stat st;
    ASSERT_EQ(stat((box.dest + "dos.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_EQ(st.st_mtime, local_time(2009, 5, 14, 10, 20, 30));  // nonzero attributes: the date applies
    ASSERT_EQ(stat((box.dest + "bare.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666 & ~mask);
    EXPECT_GE(st.st_mtime, before);
}

TEST_F(ZipTest, NameIoReportsFirstEntryAndUseNameRenamesTheOnlyOne) {
    make_zip(zip_path(), {{"Installer.app/", "", 0x41ED0000}, {"Installer.app/x", "x"}});
    std::string name;
    ASSERT_EQ(zip_to_file(zip_path(), box.dest, &name), 0);
    EXPECT_EQ(name, "Installer.app/");

    make_zip(zip_path("one.zip"), {{"orig.txt", "one"}});
    name = "renamed.txt";
    ASSERT_EQ(zip_to_file(zip_path("one.zip"), box.dest, &name, 1), 0);
    EXPECT_EQ(read_file(box.dest + "renamed.txt"), "one");
    EXPECT_FALSE(path_exists(box.dest + "orig.txt"));
    EXPECT_EQ(name, "orig.txt");

    name = "x";
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, &name, 1), EINVAL);  // two entries
    EXPECT_EQ(zip_to_file(zip_path("one.zip"), box.dest, nullptr, 1), EINVAL);
}

TEST_F(ZipTest, EntryNamesAreListedWithoutWritingAnything) {
    make_zip(zip_path(), {{"Installer.app/", "", 0x41ED0000}, {"Installer.app/x", "x"}, {"../up", "u"}});
    std::vector<std::string> names{"stale"};
    ASSERT_EQ(zip_entry_names(zip_path(), &names), 0);
    EXPECT_EQ(names, (std::vector<std::string>{"Installer.app/", "Installer.app/x", "../up"}));
    EXPECT_TRUE(dest_listing(box).empty());
    EXPECT_EQ(zip_entry_names(box.dir + "/none.zip", &names), err_zip_open);
    EXPECT_TRUE(names.empty());
    make_zip(zip_path(), {{std::string(300, 'n'), "x"}});
    EXPECT_EQ(zip_entry_names(zip_path(), &names), ENAMETOOLONG);
}

TEST_F(ZipTest, CorruptAndMissingArchivesFailWithTheirCodes) {
    EXPECT_EQ(zip_to_file(box.dir + "/none.zip", box.dest), err_zip_open);
    write_file(box.dir + "/junk.zip", "not a zip at all");
    EXPECT_EQ(zip_to_file(box.dir + "/junk.zip", box.dest), err_zip_open);

    // A flipped byte in a stored entry: the checksum fails and the old file survives.
    std::string payload(1000, 'p');
    make_zip(zip_path(), {{"f.txt", payload, 0x81A40000, 0}});
    std::string bytes = read_file(zip_path());
    size_t at = bytes.find(payload);
    ASSERT_NE(at, std::string::npos);
    bytes[at + 500] ^= 0x55;
    write_file(zip_path(), bytes);
    write_file(box.dest + "f.txt", "previous version");

    EXPECT_EQ(zip_to_file(zip_path(), box.dest), UNZ_CRCERROR);
    EXPECT_EQ(read_file(box.dest + "f.txt"), "previous version");
    xer.flush();
    std::string log = log_text(box);
    EXPECT_NE(log.find("Zip to file failed with error err = -105. file = "), std::string::npos) << log;
    EXPECT_NE(log.find("zip_file=" + zip_path() + ", out_directory=" + box.dest + "."), std::string::npos);
    EXPECT_NE(log.find("UNZIP zip_to_file failed with err=-105"), std::string::npos);
    EXPECT_NE(log.find("Zip to file failed with error -105. file = "), std::string::npos);
    EXPECT_NE(log.find(". inFile=" + box.dest + "f.txt.\n"), std::string::npos);
    EXPECT_EQ(dest_listing(box), (std::vector<std::string>{"f.txt"}));  // no temporary left

    // An entry marked encrypted is never taken for its plain text.
    make_zip(zip_path(), {{"g.txt", "plain", 0x81A40000, 0}});
    bytes = read_file(zip_path());
    bytes[6] |= 1;                             // the local header's flags
    bytes[bytes.find("PK\x01\x02") + 8] |= 1;  // the central record's
    write_file(zip_path(), bytes);
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), err_zip_read);
    EXPECT_FALSE(path_exists(box.dest + "g.txt"));
}

// An end record counting 65,535 entries, as writers without Zip64 put for that many and more
// (and a Zip64 one that counts them, as writers that always use Zip64 put it), is read to the end
// of the central directory, with or without a bound; one that breaks off before that end is still
// refused, and what its entries wrote is undone.
TEST_F(ZipTest, CappedEntryCountsAreReadToTheDirectorysEnd) {
    const struct {
        size_t count;
        bool zip64;
    } archives[] = {{65535, false}, {65535, true}, {120002, false}};
    for (const auto [count, zip64] : archives) {
        // Between a first and a last file, records of no meaning that are skipped: cheap in number.
        std::vector<zip_item> items(count, {"__MACOSX/x", "", 0, 0});
        items.front() = {"first.txt", "1"};
        items.back() = {"last.txt", "2"};
        make_zip(zip_path(), items);
        std::string bytes = read_file(zip_path());
        const size_t end = bytes.rfind("PK\x05\x06");
        ASSERT_EQ(bytes.substr(end + 8, 4), "\xFF\xFF\xFF\xFF") << count;
        if (zip64) {
            // The Zip64 end record and its locator go before the end record, which points to them.
            auto le = [](uint64_t v, int n) {
                std::string r;
                for (int i = 0; i < n; ++i) r += char(v >> (8 * i));
                return r;
            };
            const std::string directory = bytes.substr(end + 12, 8);  // its size and offset
            bytes = bytes.substr(0, end) + le(0x06064b50, 4) + le(44, 8) + le(45, 2) + le(45, 2) + le(0, 8) +
                    le(65535, 8) + le(65535, 8) + directory.substr(0, 4) + le(0, 4) + directory.substr(4) +
                    le(0, 4) + le(0x07064b50, 4) + le(0, 4) + le(end, 8) + le(1, 4) + bytes.substr(end, 12) +
                    le(~0ull, 8) + bytes.substr(end + 20);
            write_file(zip_path(), bytes);
        }
        std::vector<std::string> names;
        EXPECT_EQ(zip_entry_names(zip_path(), &names), 0) << count;
        EXPECT_EQ(names.size(), count);
        for (int64_t bound : {int64_t(-1), int64_t(1) << 20}) {
            EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", bound), 0) << count << " " << bound;
            EXPECT_EQ(dest_listing(box), (std::vector<std::string>{"first.txt", "last.txt"}));
            remove_tree(box.dest + "first.txt");
            remove_tree(box.dest + "last.txt");
        }
        bytes[bytes.rfind("PK\x01\x02") + 1] = 'X';  // the last central record
        write_file(zip_path(), bytes);
        EXPECT_EQ(zip_to_file(zip_path(), box.dest), UNZ_BADZIPFILE) << count;
        EXPECT_TRUE(dest_listing(box).empty());
        EXPECT_EQ(zip_entry_names(zip_path(), &names), err_zip_read);
    }
}

// A failed extraction leaves the folder as it found it, with or without a bound: what earlier
// entries replaced (a file by a file, a file by a link, the Mac metadata of a file it did not
// write) is back, and what they made is gone.
TEST_F(ZipTest, AFailedExtractionKeepsTheFilesItReplaced) {
    const bool xattrs = xattrs_work(box.dir);
    const uint8_t finder[16] = {'T', 'E', 'X', 'T', 'V', 'O', 'L', 'A'};
    write_file(box.dest + "a.txt", "the old a", 0640);
    const time_t a_time = local_time(2007, 1, 2, 3, 4, 5);
    const struct timespec a_times[2] = {{a_time, 0}, {a_time, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (box.dest + "a.txt").c_str(), a_times, 0), 0);
    write_file(box.dest + "f.txt", "untouched");
    if (xattrs) {
        ASSERT_EQ(set_finder_info(box.dest + "f.txt", finder), 0);
        ASSERT_EQ(setxattr((box.dest + "a.txt").c_str(), "user.volatra_test", "old", 3, 0), 0);
    }
    write_file(box.dest + "l", "the old l");
    const std::string payload(1000, 'p');
    make_zip(zip_path(), {{"a.txt", "the new a"},
                          {"d/", "", 0x41ED0000},
                          {"d/n.txt", "new"},
                          {"l", "a.txt", 0xA1ED0000, 0},
                          {"__MACOSX/._f.txt", apple_double({9, 50, 32, 2, 82, 4}, 86)},
                          {"z.bin", payload, 0x81A40000, 0}});
    std::string bytes = read_file(zip_path());
    const size_t at = bytes.find(payload) + 500;
    bytes[at] ^= 0x55;  // the last entry fails its checksum
    write_file(zip_path(), bytes);
    auto fail_and_keep = [&](int result) {
        for (int64_t bound : {int64_t(-1), int64_t(1) << 20}) {
            EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", bound), result) << bound;
            EXPECT_EQ(read_file(box.dest + "a.txt"), "the old a") << bound;
            struct stat st;
            EXPECT_TRUE(stat((box.dest + "a.txt").c_str(), &st) == 0 && (st.st_mode & 07777) == 0640 &&
                        st.st_mtime == a_time)
                << bound;
            char attr[8] = {};
            EXPECT_TRUE(!xattrs ||
                        getxattr((box.dest + "a.txt").c_str(), "user.volatra_test", attr, sizeof attr) == 3)
                << bound;
            EXPECT_EQ(read_file(box.dest + "l"), "the old l") << bound;
            EXPECT_EQ(dest_listing(box), (std::vector<std::string>{"a.txt", "f.txt", "l"})) << bound;
            uint8_t info[32];
            std::vector<uint8_t> fork;
            if (xattrs && get_finder_info(box.dest + "f.txt", info) == 0 &&
                read_fork(box.dest + "f.txt", fork) == 0) {
                EXPECT_TRUE(memcmp(info, finder, 16) == 0 && fork.empty()) << bound;
            }
        }
    };
    fail_and_keep(UNZ_CRCERROR);
    // Other file systems, each call refused in a child: without hard links or a rename that refuses
    // to replace, the old files are renamed aside instead; NFS has hard links but not that rename;
    // and a replacement whose rename fails leaves no second name of the old file behind.
    const struct {
        std::vector<std::pair<long, int>> refused;
        int result;
    } file_systems[] = {{{{SYS_linkat, EPERM}, {SYS_renameat2, EINVAL}}, UNZ_CRCERROR},
                        {{{SYS_renameat2, EINVAL}}, UNZ_CRCERROR},
#ifdef SYS_rename
                        {{{SYS_rename, EIO}, {SYS_renameat, EIO}}, EIO}
#else
                        {{{SYS_renameat, EIO}}, EIO}
#endif
    };
    for (const auto& fs : file_systems) {
        const child_result r = run_in_child([&] {
            if (!refuse_calls(fs.refused)) _exit(child_returned);
            fail_and_keep(fs.result);
            std::fflush(nullptr);
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        });
        EXPECT_TRUE(r.exit_code == 0 || r.exit_code == child_returned) << r.out;
    }
    // Whole, it replaces them and leaves nothing else beside them.
    bytes[at] ^= 0x55;
    write_file(zip_path(), bytes);
    ASSERT_EQ(zip_to_file(zip_path(), box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "l"), "the new a");
    EXPECT_EQ(dest_listing(box), (std::vector<std::string>{"a.txt", "d", "f.txt", "l", "z.bin"}));
}

// Without hard links the old file is copied aside, with its owner and group where the process
// may give them (as root): a failed call puts it back as it was, its set-id bit too.
TEST_F(ZipTest, AFileCopiedAsideKeepsItsOwner) {
    if (geteuid() != 0) GTEST_SKIP() << "only root gives a file another owner";
    const std::string a = box.dest + "a.txt", payload(1000, 'p');
    write_file(a, "the old a");
    ASSERT_EQ(chown(a.c_str(), 1234, 5678), 0);
    ASSERT_EQ(chmod(a.c_str(), 02750), 0);
    ASSERT_EQ(symlink("a.txt", (box.dest + "l").c_str()), 0);
    ASSERT_EQ(lchown((box.dest + "l").c_str(), 1234, 5678), 0);
    make_zip(zip_path(),
             {{"a.txt", "the new a"}, {"l", "z.bin", 0xA1ED0000, 0}, {"z.bin", payload, 0x81A40000, 0}});
    std::string bytes = read_file(zip_path());
    bytes[bytes.find(payload) + 500] ^= 0x55;  // the last entry fails its checksum
    write_file(zip_path(), bytes);
    const child_result r = run_in_child([&] {
        if (!refuse_calls({{SYS_linkat, EPERM}, {SYS_renameat2, EINVAL}})) _exit(child_returned);
        _exit(zip_to_file(zip_path(), box.dest) == UNZ_CRCERROR ? 0 : 1);
    });
    if (r.exit_code == child_returned) GTEST_SKIP() << "this system does not let a process filter its calls";
    EXPECT_EQ(r.exit_code, 0) << r.out;
    struct stat st;
    ASSERT_EQ(stat(a.c_str(), &st), 0);
    EXPECT_EQ(read_file(a), "the old a");
    EXPECT_EQ(std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid), "1234:5678");
    EXPECT_EQ(st.st_mode & 07777, 02750u);
    ASSERT_EQ(lstat((box.dest + "l").c_str(), &st), 0);
    EXPECT_EQ(std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid), "1234:5678");

    // A user who may not give it another owner still gives it its group, one of theirs.
    ASSERT_EQ(chown(a.c_str(), 4321, 5678), 0);
    ASSERT_EQ(chmod(a.c_str(), 0664), 0);
    ASSERT_TRUE(chmod(box.dir.c_str(), 0755) == 0 && chmod(box.dest.c_str(), 0777) == 0);
    const child_result user = run_in_child([&] {
        const gid_t groups[] = {5678};
        if (setgroups(1, groups) != 0 || setgid(1234) != 0 || setuid(1234) != 0) _exit(2);
        // The tests may sit below a folder only its owner can enter (a private temporary one).
        if (access(box.dest.c_str(), W_OK | X_OK) != 0 || access(zip_path().c_str(), R_OK) != 0)
            _exit(child_returned);
        if (!refuse_calls({{SYS_linkat, EPERM}, {SYS_renameat2, EINVAL}})) _exit(2);
        _exit(zip_to_file(zip_path(), box.dest) == UNZ_CRCERROR ? 0 : 1);
    });
    if (user.exit_code == child_returned) GTEST_SKIP() << "another user cannot reach the test's folder here";
    EXPECT_EQ(user.exit_code, 0) << user.out;
    ASSERT_EQ(stat(a.c_str(), &st), 0);
    EXPECT_EQ(std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid), "1234:5678");
}

// Many records for one file: its metadata is saved once. A failed call takes away what it wrote
// before it puts back what was there, which may fit only then; metadata it cannot save for that
// is not stored, and the call goes on.
TEST_F(ZipTest, MetadataIsSavedOnceAndPutBackWhole) {
    if (!xattrs_work(box.dir)) GTEST_SKIP() << "no user extended attributes here";
    const std::string f = box.dest + "f.txt", payload(1000, 'p');
    const std::string fork(3900, 'r');
    auto attr = [](const std::string& path, const char* name) {
        std::string v(70000, '\0');
        const ssize_t n = lgetxattr(path.c_str(), name, v.data(), v.size());
        return n < 0 ? std::string("none") : v.substr(0, size_t(n));
    };
    // These records, then an entry that fails its checksum.
    auto failing_zip = [&](std::vector<zip_item> items) {
        items.push_back({"z.bin", payload, 0x81A40000, 0});
        make_zip(zip_path(), items);
        std::string bytes = read_file(zip_path());
        bytes[bytes.find(payload) + 500] ^= 0x55;
        write_file(zip_path(), bytes);
    };

    std::vector<zip_item> items = {{"f.txt", "data"},
                                   {"__MACOSX/._f.txt", apple_double({9, 50, 32, 2, 82, 3900}, 82) + fork}};
    items.resize(8002, {"__MACOSX/._f.txt", apple_double({9, 50, 32}, 82)});
    items.back().data.replace(50, 4, "LAST");
    make_zip(zip_path(), items);
    // Three of those records, unpacked first elsewhere: the pages of code and the allocator's
    // first blocks that any extraction brings into the child are in place before the measure.
    make_zip(zip_path("few.zip"), std::vector<zip_item>(items.begin(), items.begin() + 3));
    const std::string warm = box.dir + "/warm/";
    ASSERT_EQ(mkdir(warm.c_str(), 0755), 0);
    const int grown_mib = result_in_child([&] {
        // Counted in pages, not in huge pages that the kernel may back or gather them into.
        prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0);
        if (zip_to_file(zip_path("few.zip"), warm) != 0) return 255;
        rusage before, after;
        getrusage(RUSAGE_SELF, &before);
        if (zip_to_file(zip_path(), box.dest) != 0) return 255;
        getrusage(RUSAGE_SELF, &after);
        return int(std::min<long>(254, (after.ru_maxrss - before.ru_maxrss) >> 10));
    });
#if !defined(__SANITIZE_ADDRESS__)  // its quarantine keeps what each record frees
    EXPECT_LT(grown_mib, 8);
#endif
    EXPECT_NE(grown_mib, 255);
    EXPECT_EQ(attr(f, kResourceForkAttr), fork);
    EXPECT_EQ(attr(f, kFinderInfoAttr).substr(0, 4), "LAST");

    // Values of which one fits beside the other's 32 bytes but not beside a second of its size
    // (ext4 keeps all of a file's attributes in one block); none where a volume keeps both.
    size_t big = 0;
    for (size_t n : {2600, 20000, 40000, 65000}) {
        const std::string probe = box.dir + "/probe", v(n, 'v');
        write_file(probe, "");
        auto set = [&](const char* name, size_t len) {
            return lsetxattr(probe.c_str(), name, v.data(), len, 0) == 0;
        };
        const bool fits = set(kFinderInfoAttr, n) && !set(kResourceForkAttr, n) && set(kFinderInfoAttr, 32) &&
                          set(kResourceForkAttr, n);
        unlink(probe.c_str());
        if (fits && (big = n)) break;
    }
    if (big) {
        const std::string old_finder(big, 'o'), new_fork(big, 'n');
        unlink(f.c_str());
        write_file(f, "old");
        ASSERT_EQ(lsetxattr(f.c_str(), kFinderInfoAttr, old_finder.data(), big, 0), 0);
        failing_zip({{"__MACOSX/._f.txt", apple_double({9, 50, 32, 2, 82, uint32_t(big)}, 82) + new_fork}});
        EXPECT_EQ(zip_to_file(zip_path(), box.dest), UNZ_CRCERROR);
        EXPECT_TRUE(attr(f, kFinderInfoAttr) == old_finder) << attr(f, kFinderInfoAttr).size() << " bytes";
        EXPECT_EQ(attr(f, kResourceForkAttr), "none");
    }

    // A file whose metadata cannot be read (as one the user may not read) keeps it, record after
    // record; an undo that fails says so.
    unlink(f.c_str());
    const zip_item record = {"__MACOSX/._f.txt", apple_double({9, 50, 32, 2, 82, 4}, 86)};
    make_zip(zip_path(), {{"f.txt", "data"}, record, record});
    child_result r = run_in_child([&] {
        if (!refuse_calls({{SYS_lgetxattr, EACCES}})) _exit(child_returned);
        _exit(zip_to_file(zip_path(), box.dest) == 0 ? 0 : 1);
    });
    if (r.exit_code == child_returned) return;
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(attr(f, kResourceForkAttr), "none");
    const std::string not_stored = "Mac metadata user.com.apple.ResourceFork (4 bytes) not stored on " + f +
                                   ": " + std::strerror(EACCES);
    xer.flush();
    const std::string log = log_text(box);
    size_t lines = 0;
    for (size_t at = log.find(not_stored); at != std::string::npos; at = log.find(not_stored, at + 1))
        ++lines;
    EXPECT_EQ(lines, 2u) << log;
    failing_zip({record});
    r = run_in_child([&] {
        if (!refuse_calls({{SYS_lremovexattr, EIO}})) _exit(child_returned);
        _exit(zip_to_file(zip_path(), box.dest) == UNZ_CRCERROR ? 0 : 1);
    });
    EXPECT_EQ(r.exit_code, 0);
    xer.flush();
    EXPECT_NE(log_text(box).find("Mac metadata user.com.apple.ResourceFork of " + f +
                                 " not put back as it was: " + std::strerror(EIO)),
              std::string::npos)
        << log_text(box);
}

// Where the file system has no hard links, the replaced files are copied aside: a kill before any
// rename or unlink of an extraction leaves each name holding its old or its new file (and hidden
// names beside them, which the clean-up sweeps once their process is gone). A put back that fails
// is logged with both names.
TEST_F(ZipTest, AKillAtAnyStepLeavesTheOldOrTheNewFile) {
#ifdef SYS_rename
    const std::vector<long> renames = {SYS_rename, SYS_renameat},
                            steps = {SYS_rename, SYS_renameat, SYS_unlink, SYS_unlinkat};
#else
    const std::vector<long> renames = {SYS_renameat}, steps = {SYS_renameat, SYS_unlinkat};
#endif
    auto run = [&](const std::vector<std::pair<long, int>>& refused, const std::vector<long>& calls, int n,
                   int err) {
        remove_tree(box.dest);
        write_file(box.dest + "a.txt", "the old a");
        EXPECT_EQ(symlink("old", (box.dest + "l").c_str()), 0);
        return run_in_child([&] {
            if (!refuse_calls(refused) || !stop_at_call(calls, n, err)) _exit(child_returned);
            const int r = zip_to_file(zip_path(), box.dest);
            xer.flush();
            _exit(r == 0 ? 0 : 1);
        });
    };
    make_zip(zip_path(), {{"a.txt", "the new a"}, {"l", "a.txt", 0xA1ED0000, 0}});
    int n = 1;
    for (; n < 20; ++n) {
        const child_result r = run({{SYS_linkat, EPERM}, {SYS_renameat2, EINVAL}}, steps, n, 0);
        if (r.exit_code == child_returned)
            GTEST_SKIP() << "this system does not let a process filter its calls";
        if (r.exit_code == 0) break;
        ASSERT_EQ(r.exit_code, child_stopped) << r.out;
        const std::string a = read_file(box.dest + "a.txt");
        EXPECT_TRUE(a == "the old a" || a == "the new a") << n;
        std::string l;
        EXPECT_TRUE(read_link_text(box.dest + "l", &l) == 0 && (l == "old" || l == "a.txt")) << n;
        for (const std::string& name : dest_listing(box))
            EXPECT_TRUE(name == "a.txt" || name == "l" || name.rfind(".vtmp-", 0) == 0) << name;
    }
    EXPECT_GT(n, 2);
    EXPECT_EQ(read_file(box.dest + "a.txt"), "the new a");
    EXPECT_EQ(dest_listing(box), (std::vector<std::string>{"a.txt", "l"}));

    // A copy that does not fit, as on a full disc, fails the extraction with nothing changed.
    remove_tree(box.dest);
    const std::string big(200000, 'o');
    write_file(box.dest + "a.txt", big);
    EXPECT_NE(result_in_child([&] {
                  if (!refuse_calls({{SYS_linkat, EPERM}, {SYS_renameat2, EINVAL}})) return 1;
                  limit_file_size(65536);
                  return zip_to_file(zip_path(), box.dest) == 0 ? 0 : 1;
              }),
              0);
    EXPECT_EQ(read_file(box.dest + "a.txt"), big);
    EXPECT_EQ(dest_listing(box), (std::vector<std::string>{"a.txt"}));

    // The last entry fails its checksum, and putting a.txt back fails.
    const std::string payload(1000, 'p');
    make_zip(zip_path(), {{"a.txt", "the new a"}, {"z.bin", payload, 0x81A40000, 0}});
    std::string bytes = read_file(zip_path());
    bytes[bytes.find(payload) + 500] ^= 0x55;
    write_file(zip_path(), bytes);
    const child_result r = run({}, renames, 2, EIO);
    if (r.exit_code == child_returned) return;
    EXPECT_EQ(r.exit_code, 1) << r.out;
    const std::vector<std::string> names = dest_listing(box);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(read_file(box.dest + names[0]), "the old a");
    EXPECT_NE(log_text(box).find("Could not put back the old " + box.dest +
                                 "a.txt (error 5): it is left as " + box.dest + names[0] + "."),
              std::string::npos)
        << log_text(box);
}

TEST_F(ZipTest, FileInMissingFolderFailsWithEnoent) {
    make_zip(zip_path(), {{"nowhere/f.txt", "x"}, {"empty.bin", ""}});
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), ENOENT);
    xer.flush();
    EXPECT_NE(log_text(box).find("Zip to file failed with error 2. file = "), std::string::npos);
    EXPECT_NE(log_text(box).find(". inFile=" + box.dest + "nowhere/f.txt.\n"), std::string::npos)
        << log_text(box);
    make_zip(zip_path(), {{"empty.bin", ""}});
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), 0);  // a size-0 entry is no memory failure
    EXPECT_EQ(read_file(box.dest + "empty.bin"), "");
}

TEST_F(ZipTest, OverlongNameIsAnErrorNotAShorterPath) {
    std::string dir(200, 'd');
    std::string name = dir + "/" + std::string(100, 'n');
    ASSERT_EQ(mkdir((box.dest + dir).c_str(), 0755), 0);
    make_zip(zip_path(), {{name, "x"}});
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), ENAMETOOLONG);
    EXPECT_FALSE(path_exists(box.dest + name.substr(0, 256)));
}

TEST_F(ZipTest, FileToZipFailures) {
    EXPECT_EQ(file_to_zip(box.dir + "/missing", zip_path()), ENOENT);
    EXPECT_EQ(file_to_zip(box.outside, zip_path()), err_file_read_open);  // a folder
    std::string fifo = box.dir + "/fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_EQ(file_to_zip(fifo, zip_path()), err_file_read_open);  // refused, not waited on
    write_file(box.dir + "/f", "x");
    EXPECT_EQ(file_to_zip(box.dir + "/f", box.dir + "/no/such/dir/a.zip"), err_zip_create);

    // A link text that fills the 499 bytes it is read into may have been cut: refused.
    for (size_t length : {498u, 499u}) {
        const std::string link = box.dir + "/link" + std::to_string(length);
        ASSERT_EQ(symlink(std::string(length, 'l').c_str(), link.c_str()), 0);
        EXPECT_EQ(file_to_zip(link, zip_path()), length < 499 ? 0 : ENAMETOOLONG) << length;
    }

    // The archive's last write, its central directory, fails: so does the archive.
    ASSERT_EQ(file_to_zip(box.dir + "/f", zip_path("whole.zip")), 0);
    const std::string whole = read_file(zip_path("whole.zip"));
    ASSERT_GT(whole.size(), 22u);
    const unsigned char* end = reinterpret_cast<const unsigned char*>(whole.data()) + whole.size();
    const long directory_at = end[-6] | end[-5] << 8 | end[-4] << 16 | long(end[-3]) << 24;
    EXPECT_NE(result_in_child([&] {
                  limit_file_size(directory_at);
                  return file_to_zip(box.dir + "/f", zip_path("cut.zip")) == 0 ? 0 : 1;
              }),
              0);
}

// A fork the file system cannot hold (every Linux file system refuses attributes over 64 KiB) is
// logged and dropped: the file itself still installs.
TEST_F(ZipTest, ForkTooLargeForTheFileSystemIsLoggedNotFatal) {
    std::string fork(100 * 1024, 'r');
    std::string rec = apple_double({9, 50, 32, 2, 82, uint32_t(fork.size())}, 82) + fork;
    make_zip(zip_path(), {{"big.rsrc", "data"}, {"__MACOSX/._big.rsrc", rec}});
    ASSERT_EQ(zip_to_file(zip_path(), box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "big.rsrc"), "data");
    xer.flush();
    EXPECT_NE(log_text(box).find("Mac metadata user.com.apple.ResourceFork (102400 bytes) not stored on " +
                                 box.dest + "big.rsrc"),
              std::string::npos)
        << log_text(box);
}

// A record whose header claims a size near 1 GiB is refused before anything is allocated for it.
TEST_F(ZipTest, AppleDoubleClaimingAHugeSizeCostsNoMemory) {
    zip_item rec{"__MACOSX/._f.txt", "tiny"};
    rec.claimed_size = (uint64_t(1) << 30) - 1;
    make_zip(zip_path(), {{"f.txt", "data"}, rec});
    rusage before, after;
    getrusage(RUSAGE_SELF, &before);
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), err_zip_bad_fork_header);
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 256 * 1024) << "KiB";
}

TEST_F(ZipTest, GivenNameServesAnEntryWithoutOne) {
    make_zip(zip_path(), {{"", "content"}});
    std::string name = "given.txt";
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, &name, 1), 0);
    EXPECT_EQ(read_file(box.dest + "given.txt"), "content");
}

// A bound on what an extraction writes, a link's text included: the file that would pass it is
// refused before it is written (EFBIG), and whatever the call made before it goes too; what was
// there stays.
TEST_F(ZipTest, AnExtractionPastItsBoundLeavesNothingItMade) {
    write_file(box.dest + "kept.txt", "the user's");
    make_zip(zip_path(), {{"a.txt", std::string(100, 'a')},
                          {"d/", "", 0x41ED0000},
                          {"d/b.txt", std::string(100, 'b')},
                          {"d/l", "b.txt", 0xA1ED0000, 0},
                          {"d/zeros.bin", std::string(1 << 20, '\0')}});
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", (1 << 20) + 204), EFBIG);
    EXPECT_EQ(dest_listing(box), std::vector<std::string>{"kept.txt"});
    xer.flush();
    EXPECT_NE(log_text(box).find(box.dest + "d/zeros.bin would take the archive past its 1048780 bytes"),
              std::string::npos)
        << log_text(box);
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", (1 << 20) + 205), 0);
    EXPECT_EQ(read_file(box.dest + "d/zeros.bin").size(), size_t(1) << 20);

    write_file(box.dest + "f.bin", "old");
    const std::string zeros(100000, '\0');
    make_zip(zip_path(), {{"f.bin", zeros}});
    EXPECT_EQ(zip_install_file(zip_path(), box.dest + "f.bin", md5_text(zeros), box.dest, 99999), EFBIG);
    EXPECT_EQ(read_file(box.dest + "f.bin"), "old");
    EXPECT_EQ(dest_listing(box), (std::vector<std::string>{"a.txt", "d", "f.bin", "kept.txt"}));
}

// A bounded extraction that would pass its bound leaves a file it would replace as it was.
TEST_F(ZipTest, AnExtractionPastItsBoundKeepsAFileItReplaces) {
    write_file(box.dest + "a.txt", "the copy's own");
    make_zip(zip_path(), {{"a.txt", "a new one"}, {"b.bin", std::string(1000, 'b')}});
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", 1008), EFBIG);
    EXPECT_EQ(read_file(box.dest + "a.txt"), "the copy's own");
    EXPECT_EQ(dest_listing(box), std::vector<std::string>{"a.txt"});

    // A bound of 0 bytes is a bound: the log names the first file, which already passes it...
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", 0), EFBIG);
    xer.flush();
    EXPECT_NE(log_text(box).find(box.dest + "a.txt would take the archive past its 0 bytes"),
              std::string::npos)
        << log_text(box);
    make_zip(zip_path("one.zip"), {{"a.txt", "a new one"}});
    EXPECT_EQ(zip_install_file(zip_path("one.zip"), box.dest + "a.txt", md5_text("a new one"), box.dest, 0),
              EFBIG);
    EXPECT_EQ(read_file(box.dest + "a.txt"), "the copy's own");
    // ...while a folder and an empty file take nothing.
    make_zip(zip_path(), {{"e/", "", 0x41ED0000}, {"e/none", ""}});
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", 0), 0);
    EXPECT_EQ(read_file(box.dest + "e/none"), "");
}

// Sizes in a Zip64 extra field, where the entry's 32-bit fields say 4294967295: Info-ZIP's forced
// Zip64 archive of a small file reads as any other archive.
TEST_F(ZipTest, Zip64SizesOfAnotherPackerAreRead) {
    const std::string text = "held in a Zip64 entry\n";
    write_file(box.dir + "/small.txt", text);
    ASSERT_EQ(std::system(("cd '" + box.dir + "' && zip -q -fz fz.zip small.txt").c_str()), 0);
    EXPECT_EQ(zip_to_file(box.dir + "/fz.zip", box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "small.txt"), text);
    write_file(box.dest + "small.txt", "old");
    EXPECT_EQ(zip_install_file(box.dir + "/fz.zip", box.dest + "small.txt", md5_text(text), box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "small.txt"), text);
}

// Zip64 sizes that no archive of this length can hold: refused at once, in either call form,
// where the stored entry's read used to go on for ever.
TEST_F(ZipTest, Zip64SizesPastTheArchiveAreRefusedAtOnce) {
    const std::string all_ones = zip64_stored("a.txt", "hello", ~uint64_t(0), ~uint64_t(0));
    ASSERT_EQ(all_ones.size(), 153u);
    write_file(zip_path(), all_ones);
    // In a child with a deadline of its own: a read that never ends fails here in seconds.
    const int refused = result_in_child([&] {
        alarm(20);
        std::string name = "b.txt";
        const int whole = zip_to_file(zip_path(), box.dest);
        return whole == err_zip_read && zip_to_file(zip_path(), box.dest, &name, 1) == err_zip_read ? 0 : 1;
    });
    EXPECT_EQ(refused, 0) << (refused < 0 ? "ended by a signal: its deadline (a read that went on) or a crash"
                                          : "not refused with err_zip_read");
    EXPECT_EQ(dest_listing(box), std::vector<std::string>{});
    // The same archive with sizes it can hold is read as any other.
    write_file(zip_path(), zip64_stored("a.txt", "hello", 5, 5));
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "a.txt"), "hello");

    // An entry's data may reach the archive's last byte, not one past it: a deflated entry whose
    // compressed size runs on over the central directory to the end.
    make_zip(zip_path(), {{"c.txt", "deflated"}});
    std::string bytes = read_file(zip_path());
    const size_t central = bytes.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    const uint32_t to_end = uint32_t(bytes.size() - 35);  // from the data, after header and name
    for (uint32_t claim : {to_end + 1, to_end}) {
        for (size_t at : {size_t(18), central + 20})
            for (int i = 0; i < 4; ++i) bytes[at + i] = char(claim >> (8 * i));
        write_file(zip_path(), bytes);
        EXPECT_EQ(zip_to_file(zip_path(), box.dest), claim == to_end ? 0 : err_zip_read) << claim;
    }
    EXPECT_EQ(read_file(box.dest + "c.txt"), "deflated");
}

// Zip64 fields are read whole: sizes of 4 GiB + 5 fit a bound of that much (and then cannot fit
// in the archive) but not one byte less; a local header found only through the Zip64 offset is
// read there, and one past the archive's end is refused.
TEST_F(ZipTest, Zip64FieldsOfMoreThan32BitsAreReadWhole) {
    const int64_t big = (int64_t(1) << 32) + 5;
    write_file(zip_path(), zip64_stored("a.txt", "hello", big, big));
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", big), err_zip_read);
    EXPECT_EQ(zip_to_file(zip_path(), box.dest, nullptr, 0, "", big - 1), EFBIG);
    EXPECT_EQ(zip_install_file(zip_path(), box.dest + "a.txt", md5_text("hello"), box.dest, big),
              err_zip_read);
    EXPECT_EQ(zip_install_file(zip_path(), box.dest + "a.txt", md5_text("hello"), box.dest, big - 1), EFBIG);
    EXPECT_EQ(dest_listing(box), std::vector<std::string>{});

    write_file(zip_path(), zip64_stored("a.txt", "hello", 5, 5, 0));
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "a.txt"), "hello");
    write_file(zip_path(), zip64_stored("b.txt", "hello", 5, 5, 1000));
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), UNZ_BADZIPFILE);
    EXPECT_EQ(dest_listing(box), std::vector<std::string>{"a.txt"});
}

// Our own packing of a file past 4 GiB (a sparse one, with a tail after its zeros) reads back
// whole: its sizes sit in the Zip64 field, and the read neither stops at 4 GiB nor fails its
// checksum.
TEST_F(ZipTest, OurZip64PackingOfAFilePast4GiBReadsBack) {
#ifndef __OPTIMIZE__
    GTEST_SKIP() << "packs and unpacks 4 GiB: only in optimised builds";
#endif
    const int64_t size = (int64_t(4) << 30) + 4096;
    struct statvfs fs {};
    const uint64_t room = statvfs(box.dest.c_str(), &fs) == 0 ? uint64_t(fs.f_bavail) * fs.f_frsize : 0;
    if (room < uint64_t(size) + (uint64_t(1) << 30))
        GTEST_SKIP() << "the unpacked file needs 4 GiB and a margin; " << (room >> 20) << " MiB are free";
    {
        // Holes read fastest from memory: the source on tmpfs where there is one.
        temp_folder t(access("/dev/shm", W_OK) == 0 ? "/dev/shm/" : "");
        make_sparse_file(t / "big.bin", size, "END");
        ASSERT_EQ(file_to_zip(t / "big.bin", zip_path()), 0);
    }
    EXPECT_EQ(zip_to_file(zip_path(), box.dest), 0);
    const std::string out = box.dest + "big.bin";
    struct stat st {};
    ASSERT_EQ(stat(out.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, size);
    char tail[4] = {};
    int fd = open(out.c_str(), O_RDONLY);
    EXPECT_EQ(pread(fd, tail, 3, size - 3), 3);
    close(fd);
    EXPECT_STREQ(tail, "END");
    unlink(out.c_str());
}

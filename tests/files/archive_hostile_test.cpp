// Hostile archives: each must be refused, and nothing outside the destination may change.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/globals.h"
#include "files/archive_test_helpers.h"
#include "files/archives.h"
#include "files/errors.h"
#include "files/finder_info_and_forks.h"

using namespace archive_test;

namespace {

struct HostileTest : ::testing::Test {
    sandbox box;
    std::map<std::string, std::string> before;
    std::string zip = box.dir + "/h.zip";
    std::string p7z = box.dir + "/h.7z";
    void SetUp() override {
        ASSERT_TRUE(xer.open(box.dir + "/log.txt"));
        before = box.outside_state();
    }
    void TearDown() override { xer.close(); }
    // The outside as it was, allowing only the archives and the log written by the test.
    void expect_outside_unchanged() {
        auto now = box.outside_state();
        for (const char* ours : {"/h.zip", "/h.7z", "/log.txt"}) now.erase(ours), before.erase(ours);
        EXPECT_EQ(now, before);
    }
    std::string log() {
        xer.flush();
        return read_file(box.dir + "/log.txt");
    }
};

zip_item link_item(const std::string& name, const std::string& text) { return {name, text, 0xA1ED0000, 0}; }

}  // namespace

// Names leading outside, and the hidden names of files on their way into place (which a clean-up
// removes): nothing is written.
TEST_F(HostileTest, ZipNamesLeadingOutsideOrReservedAreRefused) {
    const std::vector<std::string> names = {"../x",
                                            "a/../../x",
                                            "..\\x",
                                            box.outside + "abs.txt",
                                            "/tmp/volatra_abs_test",
                                            "",
                                            "a/..",
                                            "__MACOSX/../../._x",
                                            ".vtmp-" + std::to_string(getpid()) + "-0",
                                            "a/.vtmp-1-1/x",
                                            "__MACOSX/._.vtmp-1-1"};
    write_file(box.dest + ".vtmp-1-1", "an extraction's");
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        make_zip(zip, {{"a/", "", 0x41ED0000}, {"a/ok.txt", "fine"}, {name, "evil"}});
        EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_unsafe_path);
        expect_outside_unchanged();
        EXPECT_FALSE(path_exists(box.dest + "a"));
    }
    EXPECT_FALSE(path_exists("/tmp/volatra_abs_test"));
    EXPECT_NE(log().find("Refused archive entry \"../x\""), std::string::npos);
}

TEST_F(HostileTest, ZipLinksLeadingOutsideAreRefused) {
    // Alone, or with a file written through it: refused before anything is made.
    for (const std::string& text :
         {std::string("/etc"), box.outside, std::string("../../.."), std::string("a/../../outside")}) {
        for (const std::vector<zip_item>& items : {std::vector<zip_item>{link_item("l", text)},
                                                   {link_item("l", text), {"l/f", "through the link"}}}) {
            SCOPED_TRACE(text + " in " + std::to_string(items.size()));
            make_zip(zip, items);
            EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_unsafe_path);
            EXPECT_FALSE(path_exists(box.dest + "l"));
            expect_outside_unchanged();
        }
    }
    // A link one level down may climb once, not twice; none may lie in a folder outside the root,
    // nor below a root that cannot be found.
    make_zip(zip, {{"sub/", "", 0x41ED0000}, link_item("sub/up", "../../outside")});
    EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_unsafe_path);
    make_zip(zip, {link_item("l", "canary.txt")});
    EXPECT_EQ(zip_to_file(zip, box.outside, nullptr, 0, box.dest), err_zip_unsafe_path);
    EXPECT_EQ(zip_to_file(zip, box.outside, nullptr, 0, box.dir + "/missing/"), ENOENT);
    expect_outside_unchanged();
}

TEST_F(HostileTest, ZipLinkChainsCannotClimbOut) {
    // "p/q/top" leads back to the root; read lexically "p/q/top/.." stays inside, but it really
    // is the folder above the root. The order of the entries must not matter either.
    const zip_item p = {"p/", "", 0x41ED0000}, q = {"p/q/", "", 0x41ED0000};
    const zip_item top = link_item("p/q/top", "../.."), up = link_item("up", "p/q/top/..");
    for (const auto& items : {std::vector<zip_item>{p, q, top, up}, std::vector<zip_item>{p, q, up, top}}) {
        remove((box.dest + "p/q/top").c_str());
        make_zip(zip, items);
        EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_unsafe_path);
        EXPECT_FALSE(path_exists(box.dest + "up"));
        expect_outside_unchanged();
    }
}

TEST_F(HostileTest, ZipLinksInsideTheRootStillWork) {
    make_zip(zip, {{"A/", "", 0x41ED0000},
                   {"A/lib.so", "code"},
                   link_item("Current", "A"),
                   {"B/", "", 0x41ED0000},
                   link_item("B/lib.so", "../A/./lib.so")});
    ASSERT_EQ(zip_to_file(zip, box.dest), 0) << log();
    EXPECT_EQ(read_file(box.dest + "Current/lib.so"), "code");
    EXPECT_EQ(read_file(box.dest + "B/lib.so"), "code");
}

TEST_F(HostileTest, PlantedLinksAreNeitherFollowedNorWrittenThrough) {
    // A link already at the target is replaced, and its target keeps its content.
    ASSERT_EQ(symlink((box.outside + "canary.txt").c_str(), (box.dest + "f.txt").c_str()), 0);
    make_zip(zip, {{"f.txt", "new content"}});
    ASSERT_EQ(zip_to_file(zip, box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "f.txt"), "new content");
    struct stat st;
    ASSERT_EQ(lstat((box.dest + "f.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));

    // A folder link planted in the destination leads nowhere outside.
    ASSERT_EQ(symlink(box.outside.c_str(), (box.dest + "sub").c_str()), 0);
    make_zip(zip, {{"sub/g.txt", "evil"}});
    EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_unsafe_path);
    // Nor does an output folder that itself lies under the planted link, given the real root.
    make_zip(zip, {{"g.txt", "evil"}});
    EXPECT_EQ(zip_to_file(zip, box.dest + "sub/", nullptr, 0, box.dest), err_zip_unsafe_path);
    expect_outside_unchanged();

    // Nor is a file of the destination that has a second name outside: its metadata stays.
    ASSERT_EQ(link((box.outside + "canary.txt").c_str(), (box.dest + "h.txt").c_str()), 0);
    make_zip(zip, {{"__MACOSX/._h.txt", apple_double({9, 50, 32, 2, 82, 4}, 86)}});
    ASSERT_EQ(zip_to_file(zip, box.dest), 0);
    std::vector<uint8_t> fork;
    EXPECT_TRUE(read_fork(box.outside + "canary.txt", fork) == 0 && fork.empty());
    EXPECT_NE(log().find("not stored on " + box.dest + "h.txt: it has other names"), std::string::npos);
}

TEST_F(HostileTest, AppleDoubleRecordsAreBoundsChecked) {
    make_zip(zip, {{"f.txt", "data"}, {"__MACOSX/._f.txt", apple_double({2, 82, 4}, 86, 1000)}});
    EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_bad_fork_header);
    make_zip(zip,
             {{"f.txt", "data"}, {"__MACOSX/._f.txt", apple_double({9, 50, 32, 2, 82, 0xFFFFFFF0u}, 86)}});
    EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_bad_fork_header);
    make_zip(zip, {{"f.txt", "data"}, {"__MACOSX/._f.txt", apple_double({2, 0xFFFFFFFFu, 2}, 86)}});
    EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_bad_fork_header);
    make_zip(zip, {{"f.txt", "data"}, {"__MACOSX/._f.txt", "short"}});
    EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_bad_fork_header);
    std::string bad_magic = apple_double({2, 82, 4}, 86);
    bad_magic[3] = 0x08;
    make_zip(zip, {{"f.txt", "data"}, {"__MACOSX/._f.txt", bad_magic}});
    EXPECT_EQ(zip_to_file(zip, box.dest), err_zip_bad_fork_header);
    // At the edges: a header with its count, and a table that just fits, are whole records
    // (unknown ids are passed over, also past 255 entries); one byte less is not.
    const std::string one_entry = apple_double({7, 0, 0}, 38);
    const std::string many_entries = apple_double(std::vector<uint32_t>(3 * 300, 0), 26 + 12 * 300);
    const struct {
        std::string record;
        int result;
    } edges[] = {{apple_double({}, 26, 0), 0},
                 {apple_double({}, 26, 0).substr(0, 25), err_zip_bad_fork_header},
                 {one_entry, 0},
                 {one_entry.substr(0, 37), err_zip_bad_fork_header},
                 {many_entries, 0},
                 {many_entries.substr(0, many_entries.size() - 1), err_zip_bad_fork_header}};
    for (const auto& e : edges) {
        make_zip(zip, {{"f.txt", "data"}, {"__MACOSX/._f.txt", e.record}});
        EXPECT_EQ(zip_to_file(zip, box.dest), e.result) << e.record.size();
    }
    expect_outside_unchanged();
}

TEST_F(HostileTest, SevenZipNamesLeadingOutsideAreRefused) {
    for (const std::string& name : {std::string("../x"), std::string("a/../../x"), box.outside + "abs.txt",
                                    std::string("..\\x"), std::string(".vtmp-1-1")}) {
        SCOPED_TRACE(name);
        make_7z(p7z, {{name, "evil"}});
        EXPECT_EQ(p7z_to_file(p7z, box.dest), err_zip_unsafe_path);
        expect_outside_unchanged();
    }
}

TEST_F(HostileTest, SevenZipLinksBecomeFilesAndPlantedLinksAreReplaced) {
    // A link item is written as a file holding its text, so nothing can be written through it
    // (and the failed archive leaves nothing).
    make_7z(p7z, {{"l", box.outside, 'l'}, {"l/f", "through the link"}});
    EXPECT_NE(p7z_to_file(p7z, box.dest), 0);
    EXPECT_FALSE(path_exists(box.dest + "l"));
    make_7z(p7z, {{"l", box.outside, 'l'}});
    ASSERT_EQ(p7z_to_file(p7z, box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "l"), box.outside);
    expect_outside_unchanged();

    ASSERT_EQ(symlink((box.outside + "canary.txt").c_str(), (box.dest + "f.txt").c_str()), 0);
    make_7z(p7z, {{"f.txt", "new content"}});
    ASSERT_EQ(p7z_to_file(p7z, box.dest), 0);
    EXPECT_EQ(read_file(box.dest + "f.txt"), "new content");
    ASSERT_EQ(symlink(box.outside.c_str(), (box.dest + "sub").c_str()), 0);
    make_7z(p7z, {{"sub/g.txt", "evil"}});
    EXPECT_EQ(p7z_to_file(p7z, box.dest), err_zip_unsafe_path);
    expect_outside_unchanged();
}

#include "files/file_operations.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/named_commands.h"
#include "files/errors.h"
#include "platform/plat_paths.h"

namespace {

mode_t mode_of(const std::string& p) {
    struct stat st;
    return lstat(p.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < text.size()) {
        size_t j = text.find('\n', i);
        if (j == std::string::npos) j = text.size();
        out.push_back(text.substr(i, j - i));
        i = j + 1;
    }
    return out;
}

}  // namespace

// --- tests on paths

TEST(PathTests, ExistsMatrix) {
    temp_folder t;
    write_file(t / "file", "12345");
    mkdir((t / "folder").c_str(), 0755);
    symlink((t / "file").c_str(), (t / "link_file").c_str());
    symlink((t / "folder").c_str(), (t / "link_folder").c_str());
    symlink((t / "nowhere").c_str(), (t / "broken").c_str());

    struct row {
        const char* name;
        bool file, dir, link;
        int64_t size;
    } rows[] = {{"file", true, false, false, 5},     {"folder", false, true, false, -1},
                {"link_file", true, false, true, 5}, {"link_folder", false, true, true, -1},
                {"broken", false, false, true, -1},  {"missing", false, false, false, -1}};
    for (const row& r : rows) {
        std::string p = t / r.name;
        EXPECT_EQ(file_exists(p), r.file) << r.name;
        EXPECT_EQ(dir_exists(p), r.dir) << r.name;
        EXPECT_EQ(dir_exists(p + "/"), r.dir) << r.name;
        EXPECT_EQ(APL_file_size(p), r.size) << r.name;
        EXPECT_EQ(is_sim_link(p.c_str(), nullptr), r.link) << r.name;
    }
    EXPECT_TRUE(dir_exists("/"));
    std::string target = "untouched";
    EXPECT_FALSE(is_sim_link((t / "file").c_str(), &target));
    EXPECT_EQ(target, "untouched");
    EXPECT_TRUE(is_sim_link((t / "broken").c_str(), &target));
    EXPECT_EQ(target, t / "nowhere");
}

TEST(PathTests, SizesAreSixtyFourBit) {
    temp_folder t;
    const int64_t big = (int64_t(5) << 30) + 7;
    make_sparse_file(t / "sparse", big);
    EXPECT_EQ(APL_file_size(t / "sparse"), big);
}

TEST(PathTests, LongLinkTextIsCutAt499Bytes) {
    temp_folder t;
    std::string text(600, 'x');
    ASSERT_EQ(symlink(text.c_str(), (t / "long").c_str()), 0);
    std::string target;
    EXPECT_TRUE(is_sim_link((t / "long").c_str(), &target));
    EXPECT_EQ(target, text.substr(0, 499));
}

namespace {
std::atomic<int> find_path_calls{0};
int count_find_path(char*) {
    ++find_path_calls;
    return 0;
}
}  // namespace

TEST(PathTests, CaseCorrectionOnlyWithTheFlag) {
    temp_folder t;
    write_file(t / "f", "x");
    find_path_fn saved = set_find_path_hook(count_find_path);
    int before = find_path_calls;
    EXPECT_TRUE(file_exists(t / "f"));
    EXPECT_EQ(find_path_calls, before);
    g_case_sensitive = 1;
    EXPECT_TRUE(file_exists(t / "f"));
    EXPECT_TRUE(dir_exists(t.path()));
    EXPECT_EQ(APL_file_size(t / "f"), 1);
    EXPECT_EQ(find_path_calls, before + 3);
    EXPECT_EXIT(file_exists(std::string(600, 'a')), ::testing::ExitedWithCode(1), "String too long!");
    g_case_sensitive = 0;
    set_find_path_hook(saved);
}

TEST(PathTests, FileReferences) {
    temp_folder t;
    mkdir((t / "sub").c_str(), 0755);
    FSRef ref;
    std::string leaf;
    EXPECT_EQ(FilePathToFSRefAndName((t / "sub/not_yet").c_str(), &ref, &leaf), 0);
    EXPECT_EQ(ref.path, t / "sub");
    EXPECT_EQ(leaf, "not_yet");
    EXPECT_EQ(FilePathToFSRefAndName((t / "sub/new_folder/").c_str(), &ref, &leaf), 0);
    EXPECT_EQ(leaf, "new_folder");
    EXPECT_EQ(FilePathToFSRefAndName((t / "missing/leaf").c_str(), &ref, &leaf), ENOENT);
    EXPECT_EQ(FilePathToFSRefAndName((t / "missing").c_str(), &ref, nullptr), ENOENT);
    EXPECT_EQ(FilePathToFSRefAndName((t / "sub").c_str(), &ref, nullptr), 0);
    std::string out = "kept";
    EXPECT_EQ(FSRefToFilePath(&ref, out), 0);
    EXPECT_EQ(out, t / "sub");
    FSRef empty;
    out = "kept";
    EXPECT_EQ(FSRefToFilePath(&empty, out), -1);
    EXPECT_EQ(out, "kept");

    std::string cfm = "/Users/pilot/my:file";
    ConvertPathToCFM(cfm);
    EXPECT_EQ(cfm, "Users:pilot:my/file");
    cfm = "/Users/pilot/";
    ConvertPathToCFM(cfm);
    EXPECT_EQ(cfm, "Users:pilot:");
}

// --- copy

TEST(CopyFile, CopiesContentAndMode) {
    temp_folder t;
    std::string big(200 * 1024 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 131 + 7);
    write_file(t / "big", big, 0750);
    EXPECT_EQ(copy_file(t / "big", t / "big_copy"), 0);
    EXPECT_EQ(read_file(t / "big_copy"), big);
    EXPECT_EQ(mode_of(t / "big_copy"), 0750u);

    write_file(t / "empty", "");
    EXPECT_EQ(copy_file(t / "empty", t / "empty_copy"), 0);
    EXPECT_TRUE(path_exists(t / "empty_copy"));
    EXPECT_EQ(read_file(t / "empty_copy"), "");

    // Over an existing file, and onto itself.
    write_file(t / "old", "old contents that are longer");
    EXPECT_EQ(copy_file(t / "empty", t / "old"), 0);
    EXPECT_EQ(read_file(t / "old"), "");
    EXPECT_EQ(copy_file(t / "big", t / "big"), 0);
    EXPECT_EQ(read_file(t / "big"), big);
    // A name near the longest allowed leaves no room for a suffix: the copy still works.
    EXPECT_EQ(copy_file(t / "empty", t / std::string(250, 'n')), 0);
}

TEST(CopyFile, FailureKeepsTheDestination) {
    temp_folder t;
    write_file(t / "dst", "precious");
    EXPECT_EQ(copy_file(t / "missing", t / "dst"), 2);
    EXPECT_EQ(read_file(t / "dst"), "precious");

    mkdir((t / "folder").c_str(), 0755);
    EXPECT_EQ(copy_file(t / "folder", t / "dst"), EISDIR);
    EXPECT_EQ(read_file(t / "dst"), "precious");

    mkfifo((t / "fifo").c_str(), 0644);
    EXPECT_EQ(copy_file(t / "fifo", t / "dst"), 2);  // and does not hang
    EXPECT_EQ(read_file(t / "dst"), "precious");

    write_file(t / "src", "data");
    EXPECT_EQ(copy_file(t / "src", t / "no_such_folder/dst"), 2);

    // Nothing half-written is left behind, hidden or not.
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(t.path())) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"dst", "fifo", "folder", "src"}));
}

TEST(CopyFile, WriteErrorIsReportedAndKeepsTheDestination) {
    temp_folder t;
    write_file(t / "src", std::string(200000, 'x'), 0600);
    write_file(t / "dst", "precious");
    // A file-size limit makes the writes fail as a full disc would.
    EXPECT_EQ(result_in_child([&] {
                  signal(SIGXFSZ, SIG_IGN);
                  struct rlimit lim = {65536, 65536};
                  setrlimit(RLIMIT_FSIZE, &lim);
                  return copy_file(t / "src", t / "dst");
              }),
              EFBIG);
    EXPECT_EQ(read_file(t / "dst"), "precious");
    // Killed there instead (SIGXFSZ's default), the copy leaves its temporary under a hidden name
    // of the reserved form, which the clean-up removes once its process is gone; only its owner
    // could read what it holds, as the source.
    EXPECT_EQ(result_in_child([&] {
                  limit_file_size(65536);
                  signal(SIGXFSZ, SIG_DFL);
                  return copy_file(t / "src", t / "dst");
              }),
              -1);
    EXPECT_EQ(read_file(t / "dst"), "precious");
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(t.path())) names.insert(e.path().filename());
    ASSERT_EQ(names.size(), 3u);
    const std::string left = *names.begin();
    EXPECT_TRUE(std::regex_match(left, std::regex("\\.vtmp-[1-9][0-9]*-[0-9]+")) &&
                left.find("-" + std::to_string(getpid()) + "-") == std::string::npos)
        << left;
    struct stat st;
    EXPECT_TRUE(stat((t / left).c_str(), &st) == 0 && (st.st_mode & 0777) == 0600) << std::oct << st.st_mode;
}

// Writing onto a link writes its target, as opening the link for writing would.
TEST(CopyFile, OntoALinkReplacesItsTarget) {
    temp_folder t;
    write_file(t / "src", "new");
    write_file(t / "real/target", "old");
    ASSERT_EQ(symlink("real/target", (t / "link").c_str()), 0);
    ASSERT_EQ(symlink("link", (t / "link2").c_str()), 0);
    ASSERT_EQ(symlink("real/not_yet", (t / "dangling").c_str()), 0);
    EXPECT_EQ(copy_file(t / "src", t / "link2"), 0);
    EXPECT_EQ(read_file(t / "real/target"), "new");
    EXPECT_TRUE(is_sim_link((t / "link").c_str(), nullptr));
    EXPECT_TRUE(is_sim_link((t / "link2").c_str(), nullptr));
    EXPECT_EQ(copy_file(t / "src", t / "dangling"), 0);
    EXPECT_EQ(read_file(t / "real/not_yet"), "new");
    ASSERT_EQ(symlink("loop", (t / "loop").c_str()), 0);
    EXPECT_EQ(copy_file(t / "src", t / "loop"), ELOOP);
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(t / "real")) names.insert(e.path().filename());
    EXPECT_EQ(names, (std::set<std::string>{"not_yet", "target"}));  // no temporary left
}

TEST(CopyFile, TreeWithHiddenFilesAndLinks) {
    temp_folder t;
    std::string src = t / "src", dst = t / "dst";
    mkdir(src.c_str(), 0755);
    mkdir((src + "/sub").c_str(), 0700);
    write_file(src + "/.hidden", "h");
    write_file(src + "/sub/deep.txt", "deep", 0640);
    symlink("..", (src + "/sub/up").c_str());  // a link to an ancestor
    symlink("deep.txt", (src + "/sub/rel").c_str());
    EXPECT_EQ(copy_file_recursive(src, dst), 0);
    EXPECT_EQ(read_file(dst + "/.hidden"), "h");
    EXPECT_EQ(read_file(dst + "/sub/deep.txt"), "deep");
    EXPECT_EQ(mode_of(dst + "/sub/deep.txt"), 0640u);
    std::string text;
    EXPECT_TRUE(is_sim_link((dst + "/sub/up").c_str(), &text));
    EXPECT_EQ(text, "..");
    EXPECT_TRUE(is_sim_link((dst + "/sub/rel").c_str(), &text));
    EXPECT_EQ(text, "deep.txt");
    // A single file is copied as well.
    EXPECT_EQ(copy_file_recursive(src + "/sub/deep.txt", t / "one"), 0);
    EXPECT_EQ(read_file(t / "one"), "deep");
    // Copying again over the first copy works, links included.
    EXPECT_EQ(copy_file_recursive(src, dst), 0);
}

TEST(CopyFile, TreeWhoseFolderCannotBeMadeIsNoSuccess) {
    temp_folder t;
    mkdir((t / "empty").c_str(), 0755);
    write_file(t / "file", "x");
    EXPECT_EQ(copy_file_recursive(t / "empty", t / "no/such/parent"), ENOENT);
    EXPECT_EQ(copy_file_recursive(t / "empty", t / "file"), EEXIST);
    EXPECT_EQ(copy_file_recursive(t / "empty", t / "copy"), 0);
    EXPECT_EQ(copy_file_recursive(t / "empty", t / "copy"), 0);  // again over the first copy
}

TEST(CopyFile, TreeThatCannotBeListedIsNoSuccess) {
    temp_folder t;
    mkdir((t / "src").c_str(), 0755);
    write_file(t / "src/f", "x");
    // Without a free descriptor the folder cannot be opened (rights would not stop root).
    EXPECT_EQ(result_in_child([&] {
                  int lowest = dup(0);
                  close(lowest);
                  struct rlimit lim = {rlim_t(lowest), rlim_t(lowest)};
                  setrlimit(RLIMIT_NOFILE, &lim);
                  return copy_file_recursive(t / "src", t / "dst");
              }),
              EMFILE);
}

// --- delete and create

TEST(DeleteFile, FilesFoldersAndLinks) {
    temp_folder t;
    EXPECT_EQ(delete_file(""), 2);
    mkdir((t / "empty").c_str(), 0755);
    mkdir((t / "full").c_str(), 0755);
    write_file(t / "full/f", "x");
    EXPECT_EQ(delete_file(t / "empty/"), 0);
    EXPECT_FALSE(path_exists(t / "empty"));
    sErrFile = "";
    EXPECT_EQ(delete_file(t / "full/"), ENOTEMPTY);
    EXPECT_STRNE(sErrFile, "");
    EXPECT_GT(sErrLine, 0);
    symlink((t / "full/f").c_str(), (t / "link").c_str());
    EXPECT_EQ(delete_file(t / "link"), 0);
    EXPECT_TRUE(path_exists(t / "full/f"));
    EXPECT_EQ(delete_file(t / "missing"), ENOENT);
}

TEST(DeleteFile, RecursiveWalkRemovesEverythingButOutsideTargets) {
    temp_folder t;
    std::string outside = t / "outside", tree = t / "tree/";
    mkdir(outside.c_str(), 0755);
    write_file(outside + "/keep", "k");
    mkdir(tree.c_str(), 0755);
    mkdir((tree + "x.obj").c_str(), 0755);  // a folder named like a file
    write_file(tree + "x.obj/inner", "i");
    write_file(tree + ".hidden", "h");
    mkdir((tree + ".git").c_str(), 0755);
    write_file(tree + ".git/config", "c");
    symlink(outside.c_str(), (tree + "to_outside").c_str());
    symlink(tree.c_str(), (tree + "x.obj/to_ancestor").c_str());
    symlink((t / "nowhere").c_str(), (tree + "broken").c_str());
    EXPECT_EQ(recursive_delete_folder(tree), 0);
    EXPECT_FALSE(path_exists(t / "tree"));
    EXPECT_EQ(read_file(outside + "/keep"), "k");

    // A link standing for the folder goes, its target stays.
    symlink(outside.c_str(), (t / "alias").c_str());
    EXPECT_EQ(recursive_delete_folder(t / "alias/"), 0);
    EXPECT_FALSE(path_exists(t / "alias"));
    EXPECT_EQ(read_file(outside + "/keep"), "k");

    EXPECT_EQ(recursive_delete_folder(t / "missing/"), ENOENT);
}

// Nothing but a folder named with its '/' is walked, and never the root, a top-level folder
// or the home folder, however the path is spelled.
TEST(DeleteFile, RecursiveDeleteRefusesPreciousFolders) {
    temp_folder t;
    write_file(t / "home/keep", "k");
    write_file(t / "tree/keep", "k");
    ASSERT_EQ(symlink((t / "home").c_str(), (t / "tree/to_home").c_str()), 0);
    scoped_env home("HOME", t / "home");
    for (const std::string& path : {std::string(), t / "tree", t / "home/", t / "home/sub/../",
                                    t / "tree/to_home/../home/", t.path(), std::string("/proc/")}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(recursive_delete_folder(path), EINVAL);
    }
    EXPECT_EQ(read_file(t / "home/keep"), "k");
    EXPECT_EQ(read_file(t / "tree/keep"), "k");
    EXPECT_EQ(recursive_delete_folder(t / "tree/to_home/"), 0);  // only the link goes
    EXPECT_EQ(read_file(t / "home/keep"), "k");
    EXPECT_EQ(recursive_delete_folder(t / "tree/"), 0);
}

TEST(MakeFolder, OneLevelAndItsErrors) {
    temp_folder t;
    EXPECT_EQ(make_folder(t / "a/"), 0);
    mode_t mask = umask(0);
    umask(mask);
    EXPECT_EQ(mode_of(t / "a"), 0755u & ~mask);
    EXPECT_EQ(make_folder(t / "a"), EEXIST);
    EXPECT_EQ(show_make_dir_err(EEXIST), 0);
    EXPECT_EQ(show_make_dir_err(0), 0);
    EXPECT_EQ(show_make_dir_err(-48), 0);
    EXPECT_EQ(show_make_dir_err(EACCES), 1);
    EXPECT_EQ(show_del_err(ENOTEMPTY), 0);
    EXPECT_EQ(make_folder(t / "b/c/"), ENOENT);

    write_file(t / "a/old", "x", 0644);
    EXPECT_EQ(rename_file(t / "a/", "old", "new"), 0);
    EXPECT_EQ(read_file(t / "a/new"), "x");
    EXPECT_EQ(rename_file(t / "a/", "old", "new"), ENOENT);
    EXPECT_EQ(make_file_executable((t / "a/new").c_str()), 0);
    EXPECT_EQ(mode_of(t / "a/new"), 0755u);
    EXPECT_EQ(make_file_executable((t / "a/none").c_str()), ENOENT);
}

// --- listing

TEST(Listing, ModesAndOrder) {
    temp_folder t;
    for (const char* f : {"b.txt", "A.TXT", "c.Txt", "note.obj", ".hidden.txt", "readme", "zz.png"})
        write_file(t / f, "");
    mkdir((t / "Folder").c_str(), 0755);
    mkdir((t / "x.obj").c_str(), 0755);
    mkdir((t / ".dotdir").c_str(), 0755);
    symlink((t / "Folder").c_str(), (t / "linked").c_str());
    std::vector<std::string> names;
    std::vector<int> types;

    EXPECT_EQ(opensave_getitems(t.path(), 19, names, types), 4);
    EXPECT_EQ(names, (std::vector<std::string>{"A.TXT", "b.txt", "c.Txt", "Folder"}));
    EXPECT_EQ(types, (std::vector<int>{19, 19, 19, 1}));

    EXPECT_EQ(opensave_getitems(t.path(), 0, names, types), 9);
    EXPECT_EQ(names, (std::vector<std::string>{"A.TXT", "b.txt", "c.Txt", "Folder", "linked", "note.obj",
                                               "readme", "x.obj", "zz.png"}));
    EXPECT_EQ(types, (std::vector<int>{19, 19, 19, 1, 0, 7, 0, 7, 2}));

    EXPECT_EQ(opensave_getitems(t.path(), 20, names, types), 0);
    EXPECT_TRUE(names.empty() && types.empty());
    EXPECT_EQ(opensave_getitems(t / "missing/", 0, names, types), 0);
    EXPECT_TRUE(names.empty());
    EXPECT_EXIT(opensave_getitems(t / "Folder", 0, names, types), ::testing::ExitedWithCode(1),
                "Working path does not appear to be a directory!");
}

TEST(Listing, CommandsAndPanelBitmaps) {
    std::vector<std::string> names;
    std::vector<int> types;
    cmnd.add_cmd("sim/flight/pause", "Pause");
    cmnd.add_cmd("sim/pause", "Pause");
    EXPECT_EQ(opensave_getitems("sim/", 21, names, types), 3);
    EXPECT_EQ(names, (std::vector<std::string>{"-none-", "flight", "pause"}));
    EXPECT_EQ(types, (std::vector<int>{1, 1, 21}));

    int type = 0;
    EXPECT_EQ(opensave_takeit("Resources/bitmaps/cockpit/-panels-/", "Panel.png", 12, type), 0);
    type = 0;
    EXPECT_EQ(opensave_takeit("RESOURCES/bitmaps/cockpit/-PANELX/", "Panel.png", 12, type), 0);
    type = 0;
    EXPECT_EQ(opensave_takeit("Aircraft/", "panel-2.png", 12, type), 0);
    type = 0;
    EXPECT_EQ(opensave_takeit("Aircraft/", "panel.BMP", 12, type), 1);
    EXPECT_EQ(type, 2);
    type = 0;
    EXPECT_EQ(opensave_takeit("Aircraft/", "a.wav", 12, type), 0);
    type = 5;  // no known extension keeps the caller's type
    EXPECT_EQ(opensave_takeit("", "abc", 5, type), 1);
    EXPECT_EQ(type, 5);
}

// --- volumes

TEST(FreeSpace, LeafThatDoesNotExistYet) {
    temp_folder t;
    unsigned long long total = 1, free = 1;
    ASSERT_EQ(get_free_space(t / "not_yet_made/", &total, &free), 0);
    struct statvfs vs;
    ASSERT_EQ(statvfs(t.path().c_str(), &vs), 0);
    EXPECT_EQ(total, (unsigned long long)vs.f_blocks * vs.f_frsize);
    // Free space moves with other processes; it is within the volume and near statvfs.
    EXPECT_LE(free, total);
    EXPECT_NEAR(double(free), double(vs.f_bavail) * vs.f_frsize, 512.0 * 1024 * 1024);
    EXPECT_EQ(get_free_space(t / "x", nullptr, nullptr), 0);

    total = free = 42;
    EXPECT_NE(get_free_space(t / "missing/leaf", &total, &free), 0);
    EXPECT_EQ(total, 42u);
    EXPECT_EQ(free, 42u);
}

TEST(Eject, RunsTheEjectProgramOnTheMountPoint) {
    temp_folder t;
    mkdir((t / "volumes").c_str(), 0755);
    mkdir((t / "volumes/DISC 1").c_str(), 0755);
    mkdir((t / "volumes/DISC 1/Release").c_str(), 0755);
    std::string log = t / "eject.log";
    write_file(t / "eject.sh", "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + log + "'\n", 0755);
    scoped_env vols("VOLATRA_TEST_VOLUMES", t / "volumes");
    scoped_env cmd("VOLATRA_EJECT_COMMAND", t / "eject.sh");
    EXPECT_EQ(eject_dvd(t / "volumes/DISC 1/Release/"), 0);
    EXPECT_EQ(read_file(log), t / "volumes/DISC 1\n");
    EXPECT_EQ(eject_dvd(t / "volumes/none"), ENOENT);

    write_file(t / "fail.sh", "#!/bin/sh\nexit 3\n", 0755);
    scoped_env cmd2("VOLATRA_EJECT_COMMAND", t / "fail.sh");
    EXPECT_NE(eject_dvd(t / "volumes/DISC 1"), 0);
}

// A folder on a fixed disc is never ejected (nor unmounted, nor powered off).
TEST(Eject, LeavesFixedDiscsAlone) {
    temp_folder t;
    std::string log = t / "eject.log";
    write_file(t / "eject.sh", "#!/bin/sh\necho ran > '" + log + "'\n", 0755);
    scoped_env vols("VOLATRA_TEST_VOLUMES", std::nullopt);
    scoped_env cmd("VOLATRA_EJECT_COMMAND", t / "eject.sh");
    EXPECT_EQ(eject_dvd(t.path()), ENODEV);
    EXPECT_FALSE(path_exists(log));
}

// --- standard folders

TEST(StandardFolders, UnderAFakeHome) {
    temp_folder t;
    mkdir((t / "home").c_str(), 0755);
    mkdir((t / "tmp").c_str(), 0755);
    scoped_env home("HOME", t / "home");
    scoped_env config("XDG_CONFIG_HOME", std::nullopt);
    scoped_env tmp("TMPDIR", t / "tmp");
    std::string desk, apps, temp, prefs;
    get_OS_abs_path(os_dir_desktop, desk);
    get_OS_abs_path(os_dir_default_apps, apps);
    get_OS_abs_path(os_dir_temp, temp);
    get_OS_abs_path(os_dir_prefs, prefs);
    EXPECT_EQ(desk, t / "home/Desktop/");
    EXPECT_EQ(apps, desk);
    EXPECT_TRUE(dir_exists(desk));
    EXPECT_EQ(temp, t / "tmp/volatra-installer-" + std::to_string(getuid()) + "/");
    EXPECT_EQ(mode_of(temp.substr(0, temp.size() - 1)), 0700u);
    EXPECT_EQ(prefs, t / "home/.config/");
    EXPECT_TRUE(dir_exists(prefs));

    // The user's own desktop setting and config folder.
    mkdir((t / "cfg").c_str(), 0700);
    write_file(t / "cfg/user-dirs.dirs", "# comment\nXDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n");
    scoped_env config2("XDG_CONFIG_HOME", t / "cfg");
    get_OS_abs_path(os_dir_desktop, desk);
    get_OS_abs_path(os_dir_prefs, prefs);
    EXPECT_EQ(desk, t / "home/Schreibtisch/");
    EXPECT_TRUE(dir_exists(desk));
    EXPECT_EQ(prefs, t / "cfg/");

    std::string out = "as it was";
    get_OS_abs_path(static_cast<os_dir_type>(9), out);
    EXPECT_EQ(out, "as it was");
}

// Another user holding the name gets nothing from us: we make a private folder of our own.
TEST(StandardFolders, TempFolderTakenByAnotherGivesAFreshOne) {
    temp_folder t;
    mkdir((t / "tmp").c_str(), 0755);
    mkdir((t / "elsewhere").c_str(), 0777);
    scoped_env tmp("TMPDIR", t / "tmp");
    std::string name = t / "tmp/volatra-installer-" + std::to_string(getuid());
    symlink((t / "elsewhere").c_str(), name.c_str());
    std::string out, again;
    get_OS_abs_path(os_dir_temp, out);
    get_OS_abs_path(os_dir_temp, again);
    EXPECT_EQ(out.rfind(name + "-", 0), 0u) << out;
    EXPECT_EQ(again, out);  // the same one for the whole run
    EXPECT_EQ(mode_of(out.substr(0, out.size() - 1)), 0700u);

    // Our own folder with loose rights is tightened.
    unlink(name.c_str());
    mkdir(name.c_str(), 0777);
    chmod(name.c_str(), 0777);
    get_OS_abs_path(os_dir_temp, out);
    EXPECT_EQ(out, name + "/");
    EXPECT_EQ(mode_of(name), 0700u);
}

// ':' and '\\' are ordinary characters in Linux names.
TEST(StandardFolders, NamesWithColonsAndBackslashes) {
    temp_folder t;
    scoped_env home("HOME", t / "a:b\\c");
    scoped_env config("XDG_CONFIG_HOME", std::nullopt);
    std::string desk;
    get_OS_abs_path(os_dir_desktop, desk);
    EXPECT_EQ(desk, t / "a:b\\c/Desktop/");
    EXPECT_TRUE(dir_exists(desk));
}

TEST(StandardFolders, ProgramFolderAndBundle) {
    std::string folder, bundle;
    get_OS_abs_path(os_dir_this_app, folder);
    get_OS_abs_path(os_dir_this_app_bundle, bundle);
    ASSERT_FALSE(bundle.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(bundle.compare(0, folder.size(), folder), 0);
    EXPECT_TRUE(file_exists(bundle));  // the test program is its own bundle
}

// --- code bundles

TEST(Bundles, FrameworkNamesAndFailures) {
    CFBundleRef b = nullptr;
    EXPECT_EQ(load_bundle_by_filename("Nothing.framework", 0, &b), -43);
    EXPECT_EQ(load_bundle_by_filename(nullptr, 0, &b), -50);
    EXPECT_EQ(b, nullptr);
    EXPECT_EXIT(load_bundle_by_filename("Nothing.framework", 1, &b), ::testing::ExitedWithCode(1),
                "Could not find bundle in frameworks folder \\|  \\|  \\| Nothing.framework");
    EXPECT_EXIT(load_bundle_by_filename(nullptr, 1, &b), ::testing::ExitedWithCode(1),
                "Could not make strsing.");
    if (load_bundle_by_filename("OpenGL.framework", 0, &b) == 0) {
        EXPECT_NE(CFBundleGetFunctionPointerForName(b, "glGetString"), nullptr);
        EXPECT_EQ(CFBundleGetFunctionPointerForName(b, "noSuchEntryPoint"), nullptr);
        EXPECT_EQ(load_bundle_by_filename("OpenGL.framework", 0, nullptr), 0);
    }
}

TEST(LargeAddressAware, IsFatal) {
    EXPECT_EXIT(make_file_large_address_aware("x.exe"), ::testing::ExitedWithCode(1),
                "The set large address code has not been ported to big-endian macs");
}

// --- handing over

class LaunchApp : public ::testing::Test {
protected:
    // A stub program that writes its argument vector, one per line, to argv.txt.
    void make_stub(const std::string& path) {
        std::string out = t / "argv.txt";
        write_file(path,
                   "#!/bin/sh\nprintf '%s\\n' \"$0\" \"$@\" > '" + out + ".tmp' && mv '" + out + ".tmp' '" +
                       out + "'\n",
                   0755);
    }
    // Runs launch_app in a child, as it ends the process; gives the exit status.
    int launch_in_child(const std::string& app, const std::string& arg) {
        pid_t pid = fork();
        if (pid == 0) {
            launch_app(app, arg);
            _exit(77);  // returned: the start failed
        }
        int st = 0;
        waitpid(pid, &st, 0);
        return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    std::vector<std::string> recorded_argv() {
        std::string out = t / "argv.txt";
        // The stub runs on after the launcher has ended; wait until it has written.
        eventually([&] { return path_exists(out); }, hang_seconds, 10000);
        return lines_of(read_file(out));
    }
    temp_folder t;
};

TEST_F(LaunchApp, PlainExecutable) {
    make_stub(t / "stub");
    EXPECT_EQ(launch_in_child(t / "stub", ""), 1);
    EXPECT_EQ(recorded_argv(), (std::vector<std::string>{t / "stub"}));
}

TEST_F(LaunchApp, BundleWithPathArgument) {
    std::string app = t / "Volatra 9.app";
    ASSERT_EQ(plat::make_dirs(app + "/Contents/MacOS", 0755), 0);
    make_stub(app + "/Contents/MacOS/Volatra 9");
    EXPECT_EQ(launch_in_child(app + "/", "/Users/pilot/Volatra 9/"), 1);
    EXPECT_EQ(recorded_argv(), (std::vector<std::string>{app + "/Contents/MacOS/Volatra 9", "-path",
                                                         "/Users/pilot/Volatra 9/"}));
}

TEST_F(LaunchApp, BundleNamesItsExecutable) {
    std::string app = t / "Inst.app";
    ASSERT_EQ(plat::make_dirs(app + "/Contents/MacOS", 0755), 0);
    write_file(app + "/Contents/Info.plist",
               "<plist><dict>\n<key>CFBundleExecutable</key>\n\t<string>runner</string>\n</dict></plist>\n");
    make_stub(app + "/Contents/MacOS/runner");
    EXPECT_EQ(launch_in_child(app, "x"), 1);
    EXPECT_EQ(recorded_argv(), (std::vector<std::string>{app + "/Contents/MacOS/runner", "-path", "x"}));
}

TEST_F(LaunchApp, FailedStartReturnsTheErrorAndTheCallerGoesOn) {
    reset_recorders();
    write_file(t / "not_executable", "#!/bin/sh\nexit 0\n", 0644);
    EXPECT_EQ(launch_app(t / "not_executable", ""), EACCES);
    EXPECT_EQ(launch_app(t / "missing", "p"), ENOENT);
    EXPECT_EQ(recorded_finishups(), 0);
}

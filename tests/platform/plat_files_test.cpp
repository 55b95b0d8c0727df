#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "common/test_helpers.h"
#include "platform/plat_paths.h"
#include "platform/plat_process.h"
#include "platform/plat_volumes.h"

TEST(PlatFiles, BundleOfExecutable) {
    EXPECT_EQ(plat::bundle_of_exe("/Volumes/DVD/Volatra Installer.app/Contents/MacOS/Volatra Installer"),
              "/Volumes/DVD/Volatra Installer.app");
    EXPECT_EQ(plat::bundle_of_exe("/usr/local/bin/volatra-installer"), "/usr/local/bin/volatra-installer");
    EXPECT_EQ(plat::bundle_of_exe("/opt/Contents/MacOS/x"), "/opt/Contents/MacOS/x");
    EXPECT_EQ(plat::bundle_of_exe("x"), "x");
}

TEST(PlatFiles, BundleExecutableStaysInsideTheBundle) {
    temp_folder t;
    std::string app = t / "A.app";
    ASSERT_EQ(plat::make_dirs(app + "/Contents/MacOS", 0755), 0);
    EXPECT_EQ(plat::bundle_executable(app + "/"), app + "/Contents/MacOS/A");
    write_file(app + "/Contents/Info.plist", "<key>CFBundleExecutable</key><string>../../../evil</string>");
    EXPECT_EQ(plat::bundle_executable(app), app + "/Contents/MacOS/A");
    write_file(app + "/Contents/Info.plist", "<key>CFBundleExecutable</key>");
    EXPECT_EQ(plat::bundle_executable(app), app + "/Contents/MacOS/A");
    write_file(t / "tool", "");
    EXPECT_EQ(plat::bundle_executable(t / "tool"), t / "tool");
}

TEST(PlatFiles, MountPointFromMountinfo) {
    const std::string info =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 0:35 / /media rw - tmpfs tmpfs rw\n"
        "41 40 11:0 / /media/VOLATRA\\040DISC\\0401 ro,relatime shared:9 - iso9660 /dev/sr0 ro\n"
        "42 22 8:2 / /mediax rw - ext4 /dev/sda2 rw\n"
        "garbage line\n";
    std::string src;
    EXPECT_EQ(plat::mount_point_in(info, "/media/VOLATRA DISC 1/Volatra 9/x.zip", &src),
              "/media/VOLATRA DISC 1");
    EXPECT_EQ(src, "/dev/sr0");
    std::string fstype;
    plat::mount_point_in(info, "/media/VOLATRA DISC 1", &src, &fstype);
    EXPECT_EQ(fstype, "iso9660");
    EXPECT_EQ(plat::mount_point_in(info, "/mediax/file", &src), "/mediax");
    EXPECT_EQ(src, "/dev/sda2");
    EXPECT_EQ(plat::mount_point_in(info, "/media", &src), "/media");
    EXPECT_EQ(plat::mount_point_in(info, "/home/a", &src), "/");
    EXPECT_EQ(src, "/dev/sda1");
    src = "kept";
    EXPECT_EQ(plat::mount_point_in("", "/home/a", &src), "");
    EXPECT_EQ(src, "kept");

    std::string mp;
    EXPECT_EQ(plat::mount_point_of("/proc/self", mp, nullptr), 0);
    EXPECT_EQ(mp, "/proc");
    EXPECT_EQ(plat::mount_point_of("/no/such/path", mp, nullptr), ENOENT);
}

// Only what a user can take out of the machine counts as a disc to eject.
TEST(PlatFiles, RemovableMediaAsTheKernelReportsThem) {
    temp_folder sys;
    write_file(sys / "devices/sda/removable", "0\n");
    write_file(sys / "devices/sdb/removable", "1\n");
    write_file(sys / "devices/sdb/sdb1/partition", "1\n");
    for (const char* dev : {"sda", "sdb"}) symlink((sys / "devices/" + dev).c_str(), (sys / dev).c_str());
    symlink((sys / "devices/sdb/sdb1").c_str(), (sys / "sdb1").c_str());
    struct {
        const char *fstype, *source;
        bool removable;
    } rows[] = {{"iso9660", "/dev/sr0", true}, {"udf", "", true},
                {"ext4", "/dev/sda", false},   {"vfat", "/dev/sdb", true},
                {"vfat", "/dev/sdb1", true},   {"ext4", "/dev/sdc1", false},
                {"tmpfs", "tmpfs", false},     {"overlay", "overlay", false}};
    for (const auto& r : rows)
        EXPECT_EQ(plat::removable_media(r.fstype, r.source, sys.path()), r.removable) << r.fstype << r.source;
}

TEST(PlatFiles, ProcessesReportExecFailures) {
    int status = -5;
    std::string sh = plat::find_program("sh");
    ASSERT_FALSE(sh.empty());
    EXPECT_EQ(plat::run_wait(sh, {sh, "-c", "exit 3"}, &status), 0);
    EXPECT_EQ(status, 3);
    pid_t pid = 0;
    EXPECT_EQ(plat::spawn("/no/such/program", {"x"}, &pid), ENOENT);
    EXPECT_EQ(pid, 0);
    EXPECT_EQ(plat::find_program("no-such-program-here"), "");
}

TEST(PlatFiles, StartedProgramsGetDefaultSignals) {
    // The installer ignores SIGPIPE; a program it starts must not inherit that.
    struct sigaction ignore {
    }, old{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &old);
    std::string sh = plat::find_program("sh");
    int status = 0;
    EXPECT_EQ(plat::run_wait(sh, {sh, "-c", "kill -PIPE $$; exit 0"}, &status), 0);
    EXPECT_EQ(status, -1);  // ended by the signal
    sigaction(SIGPIPE, &old, nullptr);
}

// A lock removes its own file only: where that file was removed under it and another program took
// a new one at the path, the other's stays locked.
TEST(PlatFiles, ALockRemovesOnlyTheFileItHolds) {
    temp_folder t;
    const std::string path = t / "copy.lock";
    int fd = -1, other = -1, third = -1;
    ASSERT_EQ(plat::lock_file(path, &fd), 0);
    ASSERT_EQ(unlink(path.c_str()), 0);
    ASSERT_EQ(plat::lock_file(path, &other), 0);
    plat::unlock_file(path, fd);
    EXPECT_EQ(plat::lock_file(path, &third), EWOULDBLOCK);
    plat::unlock_file(path, other);
    EXPECT_FALSE(path_exists(path));
}

TEST(PlatFiles, MakeDirsAndFreeSpace) {
    temp_folder t;
    EXPECT_EQ(plat::make_dirs(t / "a/b/c/", 0755), 0);
    struct stat st;
    EXPECT_EQ(stat((t / "a/b/c").c_str(), &st), 0);
    write_file(t / "file", "");
    EXPECT_EQ(plat::make_dirs(t / "file/sub", 0755), ENOTDIR);
    uint64_t total = 0, avail = 0;
    EXPECT_EQ(plat::free_space(t.path(), &total, &avail), 0);
    EXPECT_GT(total, 0u);
    EXPECT_LE(avail, total);
    EXPECT_EQ(plat::free_space(t / "missing", &total, &avail), ENOENT);
}

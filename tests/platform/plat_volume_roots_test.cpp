#include <gtest/gtest.h>

#include "common/test_helpers.h"
#include "platform/plat_volumes.h"

namespace {

TEST(VolumeRoots, OpticalAndRemovableMountsOnly) {
    const std::string info =
        "22 1 8:1 / / rw - ext4 /dev/sda1 rw\n"
        "30 22 0:50 / /home/u/net rw - nfs4 server:/x rw\n"
        "40 22 0:35 / /media rw - tmpfs tmpfs rw\n"
        "41 40 11:0 / /media/VOLATRA\\040DISC\\0401 ro shared:9 - iso9660 /dev/sr0 ro\n"
        "42 22 11:1 / /srv/disc ro - udf /dev/sr1 ro\n"
        "43 22 8:17 / /run/media/u/STICK rw - vfat /dev/sdb1 rw\n"
        "44 22 8:18 / /mnt rw - ext4 /dev/sdc1 rw\n"
        "45 22 8:19 / /mntx rw - ext4 /dev/sdd1 rw\n";
    EXPECT_EQ(plat::volume_roots_in(info),
              (std::vector<std::string>{"/media", "/media/VOLATRA DISC 1", "/srv/disc", "/run/media/u/STICK", "/mnt"}));
}

TEST(VolumeRoots, TestVolumesAreTheFoldersAndLinksOfTheirFolder) {
    temp_folder t;
    write_file(t / "vols/B/x", "");
    write_file(t / "disc/y", "");
    write_file(t / "vols/file", "");
    write_file(t / "vols/.hidden/z", "");
    ASSERT_EQ(symlink((t / "disc").c_str(), (t / "vols/A").c_str()), 0);
    scoped_env vols("VOLATRA_TEST_VOLUMES", t / "vols/");
    EXPECT_EQ(plat::volume_roots(), (std::vector<std::string>{t / "vols/A", t / "vols/B"}));
    // A linked volume is its own mount point, not its target's.
    std::string mp, fstype;
    EXPECT_EQ(plat::mount_point_of(t / "vols/A/", mp, nullptr, &fstype), 0);
    EXPECT_EQ(mp, t / "vols/A");
    EXPECT_EQ(fstype, plat::test_volume_fstype);
    EXPECT_EQ(plat::mount_point_of(t / "vols/B/x", mp, nullptr), 0);
    EXPECT_EQ(mp, t / "vols/B");
}

}  // namespace

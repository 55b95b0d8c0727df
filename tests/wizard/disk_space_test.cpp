#include "wizard/disk_space.h"

#include <gtest/gtest.h>
#include <linux/magic.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cmath>

#include "engine_helpers.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "platform/plat_volumes.h"
#include "wizard_helpers.h"

namespace {

TEST(DiskSpace, SizeTextsAtTheirSteps) {
    EXPECT_EQ(size_string(1024), "1024 KB");
    EXPECT_EQ(size_string(1025), "1 MB");
    EXPECT_EQ(size_string(1024000), "1000 MB");
    EXPECT_EQ(size_string(1024001), "1.0 GB");
    std::string s;
    for (auto [kb, text] : {std::pair<float, const char*>{999999, "1000.0 Meg"}, {1000000, "1.0 Gig"}, {12345, "12.3 Meg"}}) {
        set_size_str(kb, &s);
        EXPECT_EQ(s, text);
    }
}

TEST(DiskSpace, ReportAndVerdict) {
    std::string text;
    EXPECT_TRUE(disk_space_text(4000000000ull, 2000000000ull, 2000000, "fits", "short", &text));
    EXPECT_EQ(text, "Disk size: 3.8 GB\nFree disk space: 1.9 GB\nDisk space needed to install: 1.9 GB.\n\nfits");
    EXPECT_FALSE(disk_space_text(4000000000ull, 1999999999ull, 2000000, "fits", "short", &text));
    EXPECT_EQ(text.substr(text.size() - 5), "short");
}

// Each file takes whole blocks of the volume, as du counts it: 300 files of 3 KB need more than
// 900 KB. The manifest's KB are cut down to whole ones, so each file is taken at its largest.
TEST(DiskSpace, EachFileCountsInWholeBlocksOfTheVolume) {
    wizard_world w;
    reset_engine_state();
    for (int i = 0; i < 300; ++i) add_history("All/Resources/f" + std::to_string(i) + ".txt", {md5_abc}, 0, 3.0f);
    recalc_disk_sizes();
    ASSERT_EQ(stg.kb_to_install, 900.0f);
    dest_dir_path = w.root / "new copy/";
    struct statfs vs;
    ASSERT_EQ(statfs(w.root.path().c_str(), &vs), 0);
    // A network volume's block is capped; the next test covers that through the seam.
    if (vs.f_type == NFS_SUPER_MAGIC) GTEST_SKIP() << "the test folder is on NFS";
    const double block = static_cast<double>(vs.f_frsize);
    const float needed = static_cast<float>(300 * std::ceil(3999 / block) * block / 1000);
    paint_recorder paint;
    EXPECT_TRUE(UTIL_disk_space("fits", "short"));
    EXPECT_TRUE(drawn_text(paint, "Disk space needed to install: " + size_string(needed) + "."));
    EXPECT_NE(size_string(needed), size_string(900));
}

// NFS gives its transfer size as the block (1 MiB), CephFS 4 MiB: files there are allocated in
// far smaller units, so 300 small files on a volume with 33 MB free fit. A local volume's own
// block counts as it is, its 4 KiB as exFAT's 128 KiB clusters, where they take 39 MB. FUSE is
// taken for a network volume unless the mount table says it lies over a block device.
TEST(DiskSpace, ANetworkVolumesTransferSizeIsNoAllocationUnit) {
    wizard_world w;
    reset_engine_state();
    for (int i = 0; i < 300; ++i)
        add_history("All/Resources/f" + std::to_string(i) + ".txt", {md5_abc}, 0, 3.0f);
    recalc_disk_sizes();
    dest_dir_path = w.root / "new copy/";
    static unsigned long type, block;
    struct restore {
        plat::statfs_fn old = plat::set_statfs_hook([](const char*, struct statfs* out) {
            *out = {};
            out->f_type = static_cast<decltype(out->f_type)>(type);
            out->f_bsize = out->f_frsize = block;
            out->f_blocks = 100 * 1048576 / block;
            out->f_bfree = out->f_bavail = 32 * 1048576 / block;
            return 0;
        });
        const char* old_table = plat::set_mountinfo_file(nullptr);
        ~restore() { plat::set_statfs_hook(old), plat::set_mountinfo_file(old_table); }
    } seam;
    const std::string table = w.root / "mountinfo";
    plat::set_mountinfo_file(table.c_str());
    const unsigned long exfat = 0x2011BAB0;
    struct volume {
        unsigned long type, block;
        const char* needed;
        bool fits;
        const char* mounted = "ext4";
    };
    for (const volume& v : {volume{NFS_SUPER_MAGIC, 1048576, "19 MB", true},
                            {CEPH_SUPER_MAGIC, 4194304, "19 MB", true},
                            {FUSE_SUPER_MAGIC, 4194304, "19 MB", true, "fuse.sshfs"},
                            {FUSE_SUPER_MAGIC, 131072, "38 MB", false, "fuseblk"},
                            {exfat, 131072, "38 MB", false},
                            {exfat, 4096, "1 MB", true}}) {
        type = v.type;
        block = v.block;
        w.root.write("mountinfo", std::string("1 0 0:50 / / rw - ") + v.mounted + " src rw\n");
        paint_recorder paint;
        EXPECT_EQ(UTIL_disk_space("fits", "short"), v.fits) << v.block;
        EXPECT_TRUE(drawn_text(paint, "Disk space needed to install: " + std::string(v.needed) + "."))
            << v.block;
        EXPECT_TRUE(drawn_text(paint, "Free disk space: 33 MB")) << v.block;
    }
}

}  // namespace

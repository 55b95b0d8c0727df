#include "wizard/disk_space.h"

#include <gtest/gtest.h>
#include <sys/statvfs.h>

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
    struct statvfs vs;
    ASSERT_EQ(statvfs(w.root.path().c_str(), &vs), 0);
    const double block = std::min(static_cast<double>(vs.f_frsize), 65536.0);
    const float needed = static_cast<float>(300 * std::ceil(3999 / block) * block / 1000);
    paint_recorder paint;
    EXPECT_TRUE(UTIL_disk_space("fits", "short"));
    EXPECT_TRUE(drawn_text(paint, "Disk space needed to install: " + size_string(needed) + "."));
    EXPECT_NE(size_string(needed), size_string(900));
}

// NFS gives its transfer size as the block (1 MiB), CephFS 4 MiB: files there are allocated in
// far smaller units, so 300 small files on a volume with 50 MB free fit. A local volume's 4 KiB
// block counts as it is.
TEST(DiskSpace, ANetworkVolumesTransferSizeIsNoAllocationUnit) {
    wizard_world w;
    reset_engine_state();
    for (int i = 0; i < 300; ++i)
        add_history("All/Resources/f" + std::to_string(i) + ".txt", {md5_abc}, 0, 3.0f);
    recalc_disk_sizes();
    dest_dir_path = w.root / "new copy/";
    static unsigned long block;
    struct restore {
        plat::statvfs_fn old = plat::set_statvfs_hook([](const char*, struct statvfs* out) {
            *out = {};
            out->f_bsize = out->f_frsize = block;
            out->f_blocks = 100 * 1048576 / block;
            out->f_bfree = out->f_bavail = 48 * 1048576 / block;
            return 0;
        });
        ~restore() { plat::set_statvfs_hook(old); }
    } seam;
    for (auto [size, needed] : {std::pair<unsigned long, const char*>{1048576, "19 MB"}, {4096, "1 MB"}}) {
        block = size;
        paint_recorder paint;
        EXPECT_TRUE(UTIL_disk_space("fits", "short")) << size;
        EXPECT_TRUE(drawn_text(paint, "Disk space needed to install: " + std::string(needed) + ".")) << size;
        EXPECT_TRUE(drawn_text(paint, "Free disk space: 49 MB")) << size;
    }
}

}  // namespace

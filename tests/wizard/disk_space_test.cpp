#include <gtest/gtest.h>

#include "wizard/disk_space.h"

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

}  // namespace

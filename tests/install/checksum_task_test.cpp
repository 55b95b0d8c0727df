#include <gtest/gtest.h>

#include <new>

#include "engine_helpers.h"
#include "install/checksum.h"

namespace {

int throwing_md5(const std::string& path, std::string& hex) {
    if (path.find("throws") != std::string::npos) throw std::bad_alloc();
    return calc_file_md5(path, hex);
}

TEST(ChecksumTask, ExceptionLeavesTheFileAbsent) {
    reset_engine_state();
    temp_folder copy;
    dest_dir_path = copy.path();
    write_file(dest_dir_path + "Resources/throws.txt", "abc");
    write_file(dest_dir_path + "Resources/a.txt", "abc");
    add_history("All/Resources/throws.txt", {md5_abc});
    add_history("All/Resources/a.txt", {md5_abc});
    file_version_struct& failing = sim_info[0].versions.back();
    file_version_struct& fine = sim_info[1].versions.back();
    failing.sig_have = md5_abc;
    failing.up_to_date = 1;

    checksum_file_md5 = throwing_md5;
    checksum_task task(0, 2);
    task.do_it();  // must not throw: a pool thread has no handler
    checksum_file_md5 = calc_file_md5;
    EXPECT_EQ(failing.sig_have, "NONE");
    EXPECT_EQ(failing.up_to_date, 0);
    EXPECT_EQ(fine.sig_have, md5_abc);
    EXPECT_EQ(fine.up_to_date, 1);

    std::string msg = "x";
    EXPECT_EQ(task.check_error(msg), 0);
    EXPECT_TRUE(msg.empty());
}

}  // namespace

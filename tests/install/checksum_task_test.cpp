#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "engine_helpers.h"
#include "install/checksum.h"
#include "install/pending_deps.h"

// Allocation failure on demand, for the calling thread only.
namespace {
thread_local bool fail_next_allocation = false;
}

void* operator new(std::size_t size) {
    if (fail_next_allocation) {
        fail_next_allocation = false;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(ChecksumTask, ExceptionLeavesTheFileAbsent) {
    reset_engine_state();
    temp_folder copy;
    dest_dir_path = copy.path() + "a folder name long enough to need the heap/";
    write_file(dest_dir_path + "Resources/a.txt", "abc");
    file_version_struct& failing = add_history("All/Resources/a.txt", {md5_abc});
    file_version_struct& fine = add_history("All/Resources/a.txt", {md5_abc});
    failing.sig_have = md5_abc;
    failing.up_to_date = 1;

    checksum_task first(0, 1), second(1, 2);
    fail_next_allocation = true;
    first.do_it();  // must not throw
    fail_next_allocation = false;
    second.do_it();
    EXPECT_EQ(failing.sig_have, "NONE");
    EXPECT_EQ(failing.up_to_date, 0);
    EXPECT_EQ(fine.sig_have, md5_abc);
    EXPECT_EQ(fine.up_to_date, 1);

    std::string msg = "x";
    EXPECT_EQ(first.check_error(msg), 0);
    EXPECT_TRUE(msg.empty());
}

}  // namespace

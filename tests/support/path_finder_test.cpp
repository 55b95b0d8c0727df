#include "support/path_finder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "common/test_helpers.h"
#include "files/file_operations.h"

namespace {

struct case_tree : ::testing::Test {
    temp_folder t;
    void SetUp() override { write_file(t / "Alpha/Beta/gamma.TXT", "x"); }
    std::string fixed(std::string path, int* result = nullptr) {
        int r = findPath(path.data());
        if (result) *result = r;
        return path;
    }
};

}  // namespace

TEST_F(case_tree, CorrectsComponentsUntilTheFirstMiss) {
    int result = -1;
    EXPECT_EQ(fixed(t / "Alpha/Beta/gamma.TXT", &result), t / "Alpha/Beta/gamma.TXT");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(fixed(t / "alpha/BETA/Gamma.txt", &result), t / "Alpha/Beta/gamma.TXT");
    EXPECT_NE(result, 0);
    EXPECT_EQ(fixed(t / "ALPHA/nothing/BETA/"), t / "Alpha/nothing/BETA/");
    EXPECT_EQ(fixed(t / "alpha/beta/"), t / "Alpha/Beta/");
    EXPECT_EQ(fixed(t / "nope/beta"), t / "nope/beta");
}

TEST_F(case_tree, RelativePathsAndDoubleSlashes) {
    char* old = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(t.path().c_str()), 0);
    EXPECT_EQ(fixed("ALPHA/beta"), "Alpha/Beta");
    // Two slashes search the root for the component after them.
    EXPECT_EQ(fixed("alpha//ETC"), "Alpha//etc");
    ASSERT_EQ(chdir(old), 0);
    free(old);
}

TEST_F(case_tree, FileLayerUsesItThroughItsHook) {
    find_path_fn saved = set_find_path_hook(findPath);
    EXPECT_FALSE(file_exists(t / "ALPHA/beta/GAMMA.txt"));
    g_case_sensitive = 1;
    EXPECT_TRUE(file_exists(t / "ALPHA/beta/GAMMA.txt"));
    EXPECT_TRUE(dir_exists(t / "alpha/BETA/"));
    g_case_sensitive = 0;
    set_find_path_hook(saved);
}

#include "files/files_helpers.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

temp_tree::temp_tree(const std::string& parent) {
    std::string tmpl = (parent.empty() ? ::testing::TempDir() : parent) + "volatra_files_XXXXXX";
    char* made = mkdtemp(&tmpl[0]);
    if (!made) ADD_FAILURE() << "mkdtemp failed";
    dir_ = tmpl + "/";
}

temp_tree::~temp_tree() { remove_tree(dir_); }

void write_file(const std::string& path, const std::string& data, mode_t mode) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << data;
    out.close();
    ASSERT_TRUE(out) << path;
    chmod(path.c_str(), mode);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void make_sparse_file(const std::string& path, int64_t len, const std::string& tail) {
    write_file(path, "");
    ASSERT_EQ(truncate(path.c_str(), off_t(len - int64_t(tail.size()))), 0);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << tail;
    out.close();
    ASSERT_TRUE(out) << path;
}

bool exists_nofollow(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

std::string md5sum_of(const std::string& path) {
    std::string cmd = "md5sum '" + path + "'";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return "";
    char buf[33] = {0};
    size_t n = fread(buf, 1, 32, p);
    pclose(p);
    return std::string(buf, n);
}

namespace {
int remove_one(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }
}  // namespace

void remove_tree(const std::string& path) {
    // Leave nothing unreadable behind: a test may have taken the rights away.
    std::string cmd = "chmod -R u+rwx '" + path + "' 2>/dev/null";
    if (std::system(cmd.c_str())) {
    }
    nftw(path.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS);
}

scoped_env::scoped_env(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* v = std::getenv(name)) old_ = v;
    if (value)
        setenv(name, value->c_str(), 1);
    else
        unsetenv(name);
}

scoped_env::~scoped_env() {
    if (old_)
        setenv(name_.c_str(), old_->c_str(), 1);
    else
        unsetenv(name_.c_str());
}

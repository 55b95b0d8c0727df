// Temporary trees, small files and environment changes for the file-layer tests.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

// A fresh folder under the test temp folder, removed with everything in it at the end.
class temp_tree {
public:
    // Under parent (ending in '/') when given, else under the test temp folder.
    explicit temp_tree(const std::string& parent = std::string());
    ~temp_tree();
    temp_tree(const temp_tree&) = delete;
    temp_tree& operator=(const temp_tree&) = delete;
    // The folder, ending in '/'.
    const std::string& dir() const { return dir_; }
    std::string operator/(const std::string& rel) const { return dir_ + rel; }

private:
    std::string dir_;
};

void write_file(const std::string& path, const std::string& data, mode_t mode = 0644);
std::string read_file(const std::string& path);
// A file of len bytes, all holes but the tail written at its end.
void make_sparse_file(const std::string& path, int64_t len, const std::string& tail = std::string());
bool exists_nofollow(const std::string& path);
// Digest of the file as the md5sum tool gives it.
std::string md5sum_of(const std::string& path);
// Removes a tree without following links (not through the code under test).
void remove_tree(const std::string& path);

// Sets (or with nullopt, unsets) an environment variable for the life of the object.
class scoped_env {
public:
    scoped_env(const char* name, std::optional<std::string> value);
    ~scoped_env();

private:
    std::string name_;
    std::optional<std::string> old_;
};

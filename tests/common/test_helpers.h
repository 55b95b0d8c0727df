// Helpers every test folder shares: temporary folders, small files, the log's capture, forked
// children and environment changes.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/eventually.h"

// A fresh empty folder, removed with everything in it (rights restored first) at the end.
class temp_folder {
public:
    // Under parent (ending in '/') when given, else under the test temporary folder.
    explicit temp_folder(const std::string& parent = std::string());
    ~temp_folder();
    temp_folder(const temp_folder&) = delete;
    temp_folder& operator=(const temp_folder&) = delete;
    // Absolute path ending in '/'.
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + rel; }
    // Writes name below the folder and returns its path.
    std::string write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;

private:
    std::string path_;
};

// The whole file, "" when it cannot be read.
std::string read_file(const std::string& path);
// The file's lines without their line ends.
std::vector<std::string> read_lines(const std::string& path);
// Creates the missing folders of path, then the file with mode; a failed write fails the test.
void write_file(const std::string& path, const std::string& data, mode_t mode = 0644);
// True when something (a broken link included) is at path.
bool path_exists(const std::string& path);
// Removes a tree without following links and without the code under test.
void remove_tree(const std::string& path);
// A file of len bytes, all holes but the tail written at its end.
void make_sparse_file(const std::string& path, int64_t len, const std::string& tail = std::string());
// Digest of the file as the md5sum tool gives it.
std::string md5sum_of(const std::string& path);

// Opens the log `xer` on a fresh temporary file for the helper's lifetime.
class log_capture {
public:
    log_capture();
    ~log_capture();
    // Everything logged so far.
    std::string text();

private:
    std::string path_;
};

struct child_result {
    int exit_code;  // -1 when the child did not exit normally
    std::string out;
};
// Exit code of a child whose body returned instead of ending the process.
constexpr int child_returned = 120;
// Forks; the child runs body with its standard output going to a pipe.
child_result run_in_child(const std::function<void()>& body);
// Forks; the child's exit code is fn's result (0 to 255), -1 when it did not exit normally.
int result_in_child(const std::function<int()>& fn);
// For a child: writes beyond bytes fail with EFBIG, as writes to a full disc fail.
void limit_file_size(long bytes);
// For a child: from now on every unlink fails with EPERM, as on a file the system protects.
// False when the system does not let a process filter its own calls.
bool refuse_unlink();
// For a child: from now on each system call numbered in calls fails with the error paired with
// it (as on a file system without it); false as refuse_unlink.
bool refuse_calls(const std::vector<std::pair<long, int>>& calls);
// Exit code of a child that stop_at_call ended.
constexpr int child_stopped = 121;
// For a child: the system calls numbered in calls still run, counted, but the n-th of them
// (from 1) fails with err instead, or with err 0 ends the child before it runs (exit code
// child_stopped), as a kill or a power loss would there. False as refuse_unlink.
bool stop_at_call(const std::vector<long>& calls, int n, int err);

// Sets (or with nullopt, unsets) an environment variable for the life of the object.
class scoped_env {
public:
    scoped_env(const char* name, std::optional<std::string> value);
    ~scoped_env();

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Test helpers: capture what the log receives, run code in a child process, temp folders.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The whole file, "" when it cannot be read.
std::string read_file(const std::string& path);
// The file's lines without their line ends.
std::vector<std::string> read_lines(const std::string& path);

// Opens the log `xer` on a fresh temp file for the helper's lifetime.
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

// A fresh empty folder under the test temp folder, removed with its content on destruction.
class temp_folder {
public:
    temp_folder();
    ~temp_folder();
    const std::string& path() const { return path_; }  // ends with '/'
    std::string write(const std::string& name, const std::string& content) const;
    std::string read(const std::string& name) const;

private:
    std::string path_;
};

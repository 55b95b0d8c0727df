// The log stream shared by every thread. Each thread builds its text in a buffer of its
// own; whole lines go to the file under one lock, so lines from different threads never mix,
// and each reaches the file as soon as it ends. The file is written at its end only, so the
// lines of two programs sharing the log stay whole too.
#pragma once

#include <atomic>
#include <ios>
#include <mutex>
#include <sstream>
#include <string>

class log_stream {
public:
    constexpr log_stream() noexcept {}
    log_stream(const log_stream&) = delete;
    log_stream& operator=(const log_stream&) = delete;

    // Opens the file for writing (truncating unless append is set). Returns false on failure.
    bool open(const std::string& path, bool append = false);
    // Writes what this thread has buffered, then closes the file.
    void close();
    bool is_open() const;
    // Writes whatever this thread has buffered, even a partial line, and flushes the file.
    void flush();
    void clear() {}
    bool good() const { return true; }

    // Format state, shared by all threads: a thread's buffer picks it up before each insertion.
    std::ios::fmtflags flags() const;
    std::ios::fmtflags setf(std::ios::fmtflags f);
    std::ios::fmtflags setf(std::ios::fmtflags f, std::ios::fmtflags mask);
    void unsetf(std::ios::fmtflags f);
    std::streamsize precision() const;
    std::streamsize precision(std::streamsize p);
    // Width applies to the next insertion of the calling thread only, as on a stream.
    std::streamsize width(std::streamsize w);

    template <class T>
    log_stream& operator<<(const T& v) {
        std::ostream& b = buffer();
        b << v;
        emit_lines(false);
        return *this;
    }
    log_stream& operator<<(std::ostream& (*manip)(std::ostream&));
    log_stream& operator<<(std::ios_base& (*manip)(std::ios_base&));

private:
    friend struct log_thread_buffer;
    std::ostream& buffer();
    void emit_lines(bool all);
    void write_text(const std::string& text);

    mutable std::mutex mu_;
    int fd_ = -1;
    std::atomic<unsigned> format_gen_{1};
    std::atomic<unsigned> flags_{static_cast<unsigned>(std::ios::dec | std::ios::skipws)};
    std::atomic<long> precision_{6};
};

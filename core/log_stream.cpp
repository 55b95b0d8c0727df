#include "core/log_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include "platform/plat_paths.h"

// A thread's text not yet handed over; what is left when the thread ends goes to the log it
// was written for, line or not.
struct log_thread_buffer {
    std::ostringstream out;
    unsigned gen = 0;
    log_stream* owner = nullptr;
    ~log_thread_buffer() {
        std::string rest = out.str();
        if (owner && !rest.empty()) owner->write_text(rest);
    }
};

namespace {
thread_local std::unique_ptr<log_thread_buffer> tl_buffer;
}  // namespace

void log_stream::write_text(const std::string& text) {
    if (text.empty()) return;
    std::lock_guard<std::mutex> g(mu_);
    // Before the log is opened (and after it is closed) text is dropped. Each line reaches the
    // file as it ends, in one write: a log for diagnosing crashes must not lose its last lines to
    // a crash, and another program appending to the same log must not cut into them.
    if (fd_ >= 0) plat::write_all(fd_, text.data(), text.size());
}

bool log_stream::open(const std::string& path, bool append) {
    std::lock_guard<std::mutex> g(mu_);
    if (fd_ >= 0) ::close(fd_);
    // Always at the end, also after a truncation by another program starting on the same log:
    // written at a position of its own, each program would overwrite the other's lines.
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (append ? 0 : O_TRUNC), 0644);
    return fd_ >= 0;
}

void log_stream::close() {
    // As a file stream's close: what this thread wrote so far reaches the file, line or not.
    emit_lines(true);
    if (tl_buffer && tl_buffer->owner == this) tl_buffer->owner = nullptr;
    std::lock_guard<std::mutex> g(mu_);
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool log_stream::is_open() const {
    std::lock_guard<std::mutex> g(mu_);
    return fd_ >= 0;
}

void log_stream::flush() { emit_lines(true); }

std::ios::fmtflags log_stream::flags() const { return static_cast<std::ios::fmtflags>(flags_.load()); }

std::ios::fmtflags log_stream::setf(std::ios::fmtflags f) {
    std::ios::fmtflags old = flags();
    flags_.fetch_or(static_cast<unsigned>(f));
    format_gen_.fetch_add(1);
    return old;
}

std::ios::fmtflags log_stream::setf(std::ios::fmtflags f, std::ios::fmtflags mask) {
    std::ios::fmtflags old = flags();
    flags_.store(static_cast<unsigned>((old & ~mask) | (f & mask)));
    format_gen_.fetch_add(1);
    return old;
}

void log_stream::unsetf(std::ios::fmtflags f) {
    flags_.fetch_and(~static_cast<unsigned>(f));
    format_gen_.fetch_add(1);
}

std::streamsize log_stream::precision() const { return precision_.load(); }

std::streamsize log_stream::precision(std::streamsize p) {
    std::streamsize old = precision_.exchange(static_cast<long>(p));
    format_gen_.fetch_add(1);
    return old;
}

std::streamsize log_stream::width(std::streamsize w) { return buffer().width(w); }

std::ostream& log_stream::buffer() {
    if (!tl_buffer) tl_buffer = std::make_unique<log_thread_buffer>();
    tl_buffer->owner = this;
    unsigned gen = format_gen_.load();
    if (tl_buffer->gen != gen) {
        tl_buffer->out.flags(flags());
        tl_buffer->out.precision(precision());
        tl_buffer->gen = gen;
    }
    return tl_buffer->out;
}

log_stream& log_stream::operator<<(std::ostream& (*manip)(std::ostream&)) {
    std::ostream& b = buffer();
    manip(b);
    // endl and flush end up here: hand over everything this thread holds.
    emit_lines(true);
    return *this;
}

log_stream& log_stream::operator<<(std::ios_base& (*manip)(std::ios_base&)) {
    // Format manipulators such as std::fixed change the shared format state.
    std::ostringstream probe;
    probe.flags(flags());
    manip(probe);
    flags_.store(static_cast<unsigned>(probe.flags()));
    format_gen_.fetch_add(1);
    buffer();
    return *this;
}

void log_stream::emit_lines(bool all) {
    if (!tl_buffer) return;
    std::ostringstream& out = tl_buffer->out;
    std::string text = out.str();
    if (text.empty()) return;
    size_t end = all ? text.size() : text.rfind('\n');
    if (end == std::string::npos) return;
    if (!all) ++end;
    write_text(text.substr(0, end));
    out.str(text.substr(end));
    out.seekp(0, std::ios::end);
}

#include "common/test_helpers.h"

#include <ftw.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/ucontext.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/globals.h"

temp_folder::temp_folder(const std::string& parent) {
    std::string tmpl = (parent.empty() ? ::testing::TempDir() : parent) + "volatra_XXXXXX";
    if (!mkdtemp(tmpl.data())) {
        ADD_FAILURE() << "mkdtemp failed for " << tmpl;
        std::abort();
    }
    path_ = tmpl + "/";
}

temp_folder::~temp_folder() { remove_tree(path_); }

std::string temp_folder::write(const std::string& name, const std::string& content) const {
    write_file(path_ + name, content);
    return path_ + name;
}

std::string temp_folder::read(const std::string& name) const { return read_file(path_ + name); }

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> read_lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

void write_file(const std::string& path, const std::string& data, mode_t mode) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    ASSERT_TRUE(out) << path;
    chmod(path.c_str(), mode);
}

bool path_exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
}

namespace {
int remove_one(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }
}  // namespace

void remove_tree(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::remove_all(path, ec) != static_cast<std::uintmax_t>(-1) && !ec) return;
    // A test may have taken the rights away: give them back, then remove.
    std::string cmd = "chmod -R u+rwx '" + path + "' 2>/dev/null";
    if (std::system(cmd.c_str())) {
    }
    nftw(path.c_str(), remove_one, 16, FTW_DEPTH | FTW_PHYS);
}

void make_sparse_file(const std::string& path, int64_t len, const std::string& tail) {
    write_file(path, "");
    ASSERT_EQ(truncate(path.c_str(), off_t(len - int64_t(tail.size()))), 0);
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << tail;
    out.close();
    ASSERT_TRUE(out) << path;
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

// Read once at start-up: fixtures point TMPDIR into the folders they inspect, and the capture
// must not show up in their listings.
static const std::string capture_folder = ::testing::TempDir();

log_capture::log_capture() {
    path_ = capture_folder + "xer_capture_" + std::to_string(getpid());
    EXPECT_TRUE(xer.open(path_));
}

log_capture::~log_capture() {
    xer.close();
    unlink(path_.c_str());
}

std::string log_capture::text() {
    xer.flush();
    return read_file(path_);
}

child_result run_in_child(const std::function<void()>& body) {
    int fds[2];
    if (pipe(fds) != 0) return {-1, ""};
    std::fflush(nullptr);  // nothing buffered may reach the pipe twice
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        dup2(fds[1], 1);
        close(fds[1]);
        body();
        std::fflush(nullptr);
        _exit(child_returned);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) != 0;) {
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        out.append(buf, n);
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

int result_in_child(const std::function<int()>& fn) {
    return run_in_child([&] {
               int r = fn();
               std::fflush(nullptr);
               _exit(r);
           })
        .exit_code;
}

void limit_file_size(long bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit lim = {rlim_t(bytes), rlim_t(bytes)};
    setrlimit(RLIMIT_FSIZE, &lim);
}

bool refuse_calls(const std::vector<std::pair<long, int>>& calls) {
    // A filter on the call number alone: each listed call answers its error, the rest runs.
    std::vector<sock_filter> code = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (const auto& [nr, err] : calls) {
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(nr), 0, 1));
        code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | static_cast<__u32>(err)));
    }
    code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    sock_fprog prog = {static_cast<unsigned short>(code.size()), code.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &prog) == 0;
}

namespace {

// The sixth argument of a call that the handler makes for a trapped one: the filter lets it pass.
// None of the trapped calls takes six arguments.
constexpr uint32_t kPassedOn = 0x5ecca11;
volatile sig_atomic_t g_calls_left = 0;
volatile sig_atomic_t g_stop_error = 0;

void on_trapped_call(int, siginfo_t* info, void* context) {
    const int saved = errno;
    auto* uc = static_cast<ucontext_t*>(context);
#if defined(__x86_64__)
    greg_t* regs = uc->uc_mcontext.gregs;
    const long args[5] = {regs[REG_RDI], regs[REG_RSI], regs[REG_RDX], regs[REG_R10], regs[REG_R8]};
    greg_t& result = regs[REG_RAX];
#else
    auto* regs = uc->uc_mcontext.regs;
    const long args[5] = {long(regs[0]), long(regs[1]), long(regs[2]), long(regs[3]), long(regs[4])};
    auto& result = regs[0];
#endif
    if (--g_calls_left == 0) {
        if (g_stop_error == 0) _exit(child_stopped);
        result = -g_stop_error;
    } else {
        const long r =
            syscall(info->si_syscall, args[0], args[1], args[2], args[3], args[4], long(kPassedOn));
        result = r == -1 ? -errno : r;
    }
    errno = saved;
}

}  // namespace

bool stop_at_call(const std::vector<long>& calls, int n, int err) {
#if defined(__x86_64__) || defined(__aarch64__)
    g_calls_left = n;
    g_stop_error = err;
    struct sigaction sa = {};
    sa.sa_sigaction = on_trapped_call;
    sa.sa_flags = SA_SIGINFO;
    if (sigaction(SIGSYS, &sa, nullptr) != 0) return false;
    // Each listed call goes to the check of its sixth argument (the low half, little-endian).
    const auto count = static_cast<unsigned char>(calls.size());
    std::vector<sock_filter> code = {BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr))};
    for (unsigned char i = 0; i < count; ++i)
        code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, static_cast<__u32>(calls[i]),
                                static_cast<__u8>(count - i), 0));
    code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    code.push_back(BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[5])));
    code.push_back(BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kPassedOn, 0, 1));
    code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW));
    code.push_back(BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_TRAP));
    sock_fprog prog = {static_cast<unsigned short>(code.size()), code.data()};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &prog) == 0;
#else
    (void)calls, (void)n, (void)err;
    return false;
#endif
}

bool refuse_unlink() {
#ifdef __NR_unlink
    return refuse_calls({{__NR_unlink, EPERM}, {__NR_unlinkat, EPERM}});
#else
    return refuse_calls({{__NR_unlinkat, EPERM}});
#endif
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

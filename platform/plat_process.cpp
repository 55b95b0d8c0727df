#include "platform/plat_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <thread>

#include "platform/plat_paths.h"

namespace plat {

std::string find_program(const std::string& name) {
    if (name.empty()) return "";
    if (name.find('/') != std::string::npos) return access(name.c_str(), X_OK) == 0 ? name : "";
    std::string path = env("PATH");
    if (path.empty()) path = "/usr/local/bin:/usr/bin:/bin";
    std::istringstream dirs(path);
    for (std::string d; std::getline(dirs, d, ':');) {
        if (d.empty()) continue;
        std::string candidate = d + "/" + name;
        struct stat st;
        if (stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return "";
}

int spawn(const std::string& exe, const std::vector<std::string>& argv, pid_t* pid, int out_fd,
          const std::vector<std::string>* envp) {
    // Everything the child needs is built before fork: after it only async-signal-safe calls.
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<char*> envs;
    if (envp) {
        for (const std::string& e : *envp) envs.push_back(const_cast<char*>(e.c_str()));
        envs.push_back(nullptr);
    }
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return errno;
    pid_t child = fork();
    if (child < 0) {
        int err = errno;
        close(fds[0]);
        close(fds[1]);
        return err;
    }
    if (child == 0) {
        sigset_t none;
        sigemptyset(&none);
        sigprocmask(SIG_SETMASK, &none, nullptr);
        // Ignored signals stay ignored across exec: the started program gets the defaults (we
        // ignore SIGPIPE, which the simulator must not inherit).
        for (int sig = 1; sig < NSIG; ++sig) {
            struct sigaction sa;
            if (sigaction(sig, nullptr, &sa) == 0 && sa.sa_handler == SIG_IGN) signal(sig, SIG_DFL);
        }
        close(fds[0]);
        if (out_fd >= 0 && out_fd != 1 && dup2(out_fd, 1) < 0) _exit(127);
        if (envp)
            execve(exe.c_str(), args.data(), envs.data());
        else
            execv(exe.c_str(), args.data());
        // The pipe closes on a successful exec; only a failure writes to it.
        int err = errno;
        ssize_t w = write(fds[1], &err, sizeof err);
        (void)w;
        _exit(err & 0xff);
    }
    close(fds[1]);
    int child_err = 0;
    ssize_t got;
    do {
        got = read(fds[0], &child_err, sizeof child_err);
    } while (got < 0 && errno == EINTR);
    close(fds[0]);
    if (got == static_cast<ssize_t>(sizeof child_err)) {
        while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
        }
        return child_err ? child_err : ENOEXEC;
    }
    if (pid) *pid = child;
    return 0;
}

namespace {
int wait_status(pid_t child, int* status) {
    int st = 0;
    while (waitpid(child, &st, 0) < 0) {
        if (errno != EINTR) return errno;
    }
    if (status) *status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return 0;
}
}  // namespace

int run_wait(const std::string& exe, const std::vector<std::string>& argv, int* status) {
    pid_t child;
    int err = spawn(exe, argv, &child);
    if (err) return err;
    return wait_status(child, status);
}

int run_capture(const std::string& exe, const std::vector<std::string>& argv, std::string* out, int* status,
                const std::vector<std::string>* envp) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return errno;
    pid_t child;
    int err = spawn(exe, argv, &child, fds[1], envp);
    close(fds[1]);
    if (err) {
        close(fds[0]);
        return err;
    }
    out->clear();
    char buf[4096];
    for (;;) {
        ssize_t got = read(fds[0], buf, sizeof buf);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        out->append(buf, static_cast<size_t>(got));
    }
    close(fds[0]);
    return wait_status(child, status);
}

int start_detached(const std::string& exe, const std::vector<std::string>& argv) {
    pid_t child;
    int err = spawn(exe, argv, &child);
    if (err) return err;
    // A thread of its own waits, so the caller's frame loop never does and no zombie stays.
    std::thread([child] { wait_status(child, nullptr); }).detach();
    return 0;
}

}  // namespace plat

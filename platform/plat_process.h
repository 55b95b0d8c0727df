// Starting other programs. Functions give 0 or an errno value unless noted.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace plat {

// Full path of a program: name itself when it holds '/', else the first match on $PATH.
std::string find_program(const std::string& name);
// Starts exe with argv (argv[0] included). 0 and *pid once exec succeeded; otherwise the errno
// of fork or exec, the failed child already reaped. With out_fd >= 0 the program's standard
// output goes there; with envp (NAME=VALUE entries) the program gets that environment instead of ours.
int spawn(const std::string& exe, const std::vector<std::string>& argv, pid_t* pid, int out_fd = -1,
          const std::vector<std::string>* envp = nullptr);
// Starts and waits; *status gets the exit status (-1 when killed by a signal).
int run_wait(const std::string& exe, const std::vector<std::string>& argv, int* status);
// The same, with the program's standard output collected into *out; envp as for spawn.
int run_capture(const std::string& exe, const std::vector<std::string>& argv, std::string* out, int* status,
                const std::vector<std::string>* envp = nullptr);
// Starts a program that runs on its own (a browser hand-over): it is reaped when it ends,
// without anyone waiting for it. 0 or the errno of the start.
int start_detached(const std::string& exe, const std::vector<std::string>& argv);

}  // namespace plat

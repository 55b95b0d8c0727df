// The processor queries are interposed here so that they can report no processor at all, which
// would give pools without threads whose owners wait for ever.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>

#include "core/locks_and_queues.h"

extern "C" long __sysconf(int name);

namespace {
std::atomic<bool> report_no_processors{false};
}

extern "C" int sched_getaffinity(pid_t pid, size_t size, cpu_set_t* set) noexcept {
    using fn = int (*)(pid_t, size_t, cpu_set_t*);
    static fn real = reinterpret_cast<fn>(dlsym(RTLD_NEXT, "sched_getaffinity"));
    if (!report_no_processors) return real(pid, size, set);
    CPU_ZERO_S(size, set);
    return 0;
}

extern "C" long sysconf(int name) noexcept {
    if (report_no_processors && (name == _SC_NPROCESSORS_ONLN || name == _SC_NPROCESSORS_CONF)) return 0;
    return __sysconf(name);
}

TEST(ThreadCalls, ProcessorCountIsAtLeastOne) {
    const int real_count = UTL_count_processors();
    EXPECT_GE(real_count, 1);
    report_no_processors = true;
    const int none = UTL_count_processors();
    report_no_processors = false;
    EXPECT_EQ(none, 1);
    EXPECT_EQ(UTL_count_processors(), real_count);
}

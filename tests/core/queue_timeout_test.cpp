// POSIX lets a timed wait that was signalled still report ETIMEDOUT. This test can make every
// timed wait do so, to check that the message is taken rather than stranded; it also notes the
// deadline each timed wait gets. Not a concurrency test: the ThreadSanitizer runtime intercepts
// the same call.
#include <dlfcn.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <ctime>
#include <thread>

#include "core/locks_and_queues.h"

namespace {
std::atomic<bool> signalled_reports_timeout{false};
// The deadline of the last timed wait, in seconds.
std::atomic<double> last_deadline{0};
}  // namespace

extern "C" int pthread_cond_timedwait(pthread_cond_t* cond, pthread_mutex_t* mutex,
                                      const timespec* deadline) {
    using wait_fn = int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*);
    static wait_fn real = reinterpret_cast<wait_fn>(dlsym(RTLD_NEXT, "pthread_cond_timedwait"));
    last_deadline = static_cast<double>(deadline->tv_sec) + deadline->tv_nsec * 1e-9;
    int r = real(cond, mutex, deadline);
    return r == 0 && signalled_reports_timeout ? ETIMEDOUT : r;
}

TEST(MessageQueue, SignalledReaderThatTimesOutStillTakesTheMessage) {
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    int payload = 0;
    void* got = nullptr;
    signalled_reports_timeout = true;
    std::thread reader([&] { got = UTL_message_queue_read(q, 60000); });
    for (;;) {
        pthread_mutex_lock(&q->lock);
        int waiting = q->waiting_readers;
        pthread_mutex_unlock(&q->lock);
        if (waiting == 1) break;
        std::this_thread::yield();
    }
    UTL_message_queue_write(q, &payload);
    reader.join();
    signalled_reports_timeout = false;
    EXPECT_EQ(got, &payload);
    EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
    EXPECT_EQ(q->waiting_readers, 0);
    UTL_message_queue_destroy(q);
}

// A deadline on the time of day would be stretched or cut by a change of the clock.
TEST(MessageQueue, TimedReadDeadlineIsOnTheMonotonicClock) {
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    timespec before;
    clock_gettime(CLOCK_MONOTONIC, &before);
    EXPECT_EQ(UTL_message_queue_read(q, 20), nullptr);
    const double start = static_cast<double>(before.tv_sec) + before.tv_nsec * 1e-9;
    EXPECT_GE(last_deadline.load(), start + 0.020);
    EXPECT_LT(last_deadline.load(), start + 60);
    UTL_message_queue_destroy(q);
}

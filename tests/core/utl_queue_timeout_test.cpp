// POSIX lets a timed wait that was signalled still report ETIMEDOUT. This test makes every
// timed wait do so, to check that the message is taken rather than stranded. Not a concurrency
// test: the ThreadSanitizer runtime intercepts the same call.
#include <dlfcn.h>
#include <errno.h>
#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <thread>

#include "core/utl_threads.h"

namespace {
std::atomic<bool> signalled_reports_timeout{false};
}

extern "C" int pthread_cond_timedwait(pthread_cond_t* cond, pthread_mutex_t* mutex,
                                      const timespec* deadline) {
    using wait_fn = int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*);
    static wait_fn real = reinterpret_cast<wait_fn>(dlsym(RTLD_NEXT, "pthread_cond_timedwait"));
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

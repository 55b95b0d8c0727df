// Recursive locks, message queues and thread calls (core runtime layer).
#include "core/locks_and_queues.h"

#include <errno.h>
#include <sched.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "core/alert.h"
#include "core/globals.h"

namespace {
// A failed pthread call is fatal: the alert names the call and gives the error number.
void os_fail(const char* call, int err, int line) {
    char num[64];
    std::snprintf(num, sizeof num, "err=%f", static_cast<double>(err));
    __MACIBM_alert(0, std::string("\"") + call + "\" OS error", num, "", "", t_exit, __FILE__, line);
}
}  // namespace

#define CHECK_PT(call_name, expr)                                      \
    do {                                                               \
        int check_err_ = (expr);                                       \
        if (check_err_ != 0) os_fail(call_name, check_err_, __LINE__); \
    } while (0)

void UTL_critical_section_create(pthread_mutex_t* cs) {
    pthread_mutexattr_t attr;
    CHECK_PT("::pthread_mutexattr_init", pthread_mutexattr_init(&attr));
    CHECK_PT("::pthread_mutexattr_settype", pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE));
    CHECK_PT("::pthread_mutex_init", pthread_mutex_init(cs, &attr));
    CHECK_PT("::pthread_mutexattr_destroy", pthread_mutexattr_destroy(&attr));
}

void UTL_critical_section_lock(pthread_mutex_t* cs) {
    CHECK_PT("pthread_mutex_lock", pthread_mutex_lock(cs));
}

void UTL_critical_section_unlock(pthread_mutex_t* cs) {
    CHECK_PT("pthread_mutex_unlock", pthread_mutex_unlock(cs));
}

void UTL_critical_section_destroy(pthread_mutex_t* cs) {
    CHECK_PT("::pthread_mutex_destroy", pthread_mutex_destroy(cs));
}

void UTL_message_queue_create(UTL_message_queue** queue) {
    UTL_message_queue* q = new UTL_message_queue;
    *queue = q;
    CHECK_PT("::pthread_mutex_init", pthread_mutex_init(&q->lock, nullptr));
    // Deadlines are taken from the monotonic clock, so a change of the time of day neither
    // stretches nor cuts a timed read.
    pthread_condattr_t attr;
    CHECK_PT("::pthread_condattr_init", pthread_condattr_init(&attr));
    CHECK_PT("::pthread_condattr_setclock", pthread_condattr_setclock(&attr, CLOCK_MONOTONIC));
    CHECK_PT("::pthread_cond_init", pthread_cond_init(&q->condition, &attr));
    pthread_condattr_destroy(&attr);
}

void UTL_message_queue_destroy(UTL_message_queue* queue) {
    CHECK_PT("::pthread_mutex_destroy", pthread_mutex_destroy(&queue->lock));
    CHECK_PT("::pthread_cond_desroy", pthread_cond_destroy(&queue->condition));
    delete queue;
}

void UTL_message_queue_write(UTL_message_queue* queue, void* message) {
    CHECK_PT("pthread_mutex_lock", pthread_mutex_lock(&queue->lock));
    if (queue->waiting_readers > 0) CHECK_PT("pthread_cond_signal", pthread_cond_signal(&queue->condition));
    queue->messages.push_back(message);
    CHECK_PT("pthread_mutex_unlock", pthread_mutex_unlock(&queue->lock));
}

timespec UTL_deadline_after(const timespec& now, int time_ms) {
    timespec d;
    d.tv_sec = now.tv_sec + time_ms / 1000;
    d.tv_nsec = static_cast<long>(time_ms % 1000) * 1000000L + now.tv_nsec;
    if (d.tv_nsec > 999999999L) {
        d.tv_nsec -= 1000000000L;
        d.tv_sec += 1;
    }
    return d;
}

void* UTL_message_queue_read(UTL_message_queue* queue, int time_ms) {
    timespec deadline{};
    if (time_ms > 0) {
        timespec now;
        clock_gettime(CLOCK_MONOTONIC, &now);
        deadline = UTL_deadline_after(now, time_ms);
    }
    CHECK_PT("pthread_mutex_lock", pthread_mutex_lock(&queue->lock));
    if (time_ms == 0 && queue->messages.empty()) {
        CHECK_PT("pthread_mutex_unlock", pthread_mutex_unlock(&queue->lock));
        return nullptr;
    }
    ++queue->waiting_readers;
    while (queue->messages.empty()) {
        int err = time_ms < 0 ? pthread_cond_wait(&queue->condition, &queue->lock)
                              : pthread_cond_timedwait(&queue->condition, &queue->lock, &deadline);
        if (err == ETIMEDOUT) {
            // A reader may be signalled and still see ETIMEDOUT; the signal is then spent, so
            // the message must be taken here or a reader waiting without limit may never get it.
            if (!queue->messages.empty()) break;
            --queue->waiting_readers;
            CHECK_PT("pthread_mutex_unlock", pthread_mutex_unlock(&queue->lock));
            return nullptr;
        }
        if (err != 0) {
            --queue->waiting_readers;
            pthread_mutex_unlock(&queue->lock);
            os_fail("pthread_cond_timedwait", err, __LINE__);
        }
    }
    --queue->waiting_readers;
    void* message = queue->messages.front();
    queue->messages.pop_front();
    CHECK_PT("pthread_mutex_unlock", pthread_mutex_unlock(&queue->lock));
    return message;
}

void UTL_thread_create(void* (*entry)(void*), void* arg, pthread_t* thread, pthread_t* id, pthread_t* join) {
    pthread_t t;
    CHECK_PT("pthread_create", pthread_create(&t, nullptr, entry, arg));
    *thread = t;
    *id = t;
    *join = t;
}

void* UTL_thread_join(pthread_t* thread, pthread_t*) {
    void* value = nullptr;
    int err = pthread_join(*thread, &value);
    if (err != 0) {
        xer << "Warning: wait on thread cleanup failed with error " << err << "\n";
        return nullptr;
    }
    return value;
}

void UTL_thread_exit(void* value) { pthread_exit(value); }

int UTL_thread_murder(pthread_t* thread) { return pthread_cancel(*thread); }

timespec UTL_ms_to_timespec(int ms) {
    int64_t total = ms;
    timespec t;
    t.tv_sec = static_cast<time_t>(total / 1000);
    t.tv_nsec = static_cast<long>((total % 1000) * 1000000);
    return t;
}

void UTL_sleep(int ms) {
    if (ms < 1) return;
    timespec want = UTL_ms_to_timespec(ms), left;
    while (nanosleep(&want, &left) != 0 && errno == EINTR) want = left;
}

pthread_t UTL_get_current_thread() { return pthread_self(); }

int UTL_count_processors() {
    int n = 0;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) n = CPU_COUNT(&set);
    if (n < 1) n = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    // A count of 0 would give pools without threads whose owners wait for ever.
    return n < 1 ? 1 : n;
}

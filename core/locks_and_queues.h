// Core runtime layer (core/).
// Recursive locks, first-in-first-out pointer queues and the thread calls the rest of the
// program is written on. Every failure of a pthread call raises the fatal alert.
#pragma once

#include <pthread.h>
#include <time.h>

#include <cstdint>
#include <list>

// A queue of untyped pointers. The queue never owns what the messages point at.
struct UTL_message_queue {
    pthread_mutex_t lock;
    pthread_cond_t condition;  // waits against the monotonic clock
    std::list<void*> messages;
    int32_t waiting_readers = 0;
};

void UTL_critical_section_create(pthread_mutex_t* cs);
void UTL_critical_section_lock(pthread_mutex_t* cs);
void UTL_critical_section_unlock(pthread_mutex_t* cs);
void UTL_critical_section_destroy(pthread_mutex_t* cs);

void UTL_message_queue_create(UTL_message_queue** queue);
// Frees the queue and the nodes still queued, not the messages.
void UTL_message_queue_destroy(UTL_message_queue* queue);
void UTL_message_queue_write(UTL_message_queue* queue, void* message);
// Takes the oldest message. time_ms: 0 polls, negative waits without limit, else waits at most
// that long. Null when nothing came in time (a null message looks the same).
void* UTL_message_queue_read(UTL_message_queue* queue, int time_ms);

// The absolute deadline time_ms after now; one carry is always enough.
timespec UTL_deadline_after(const timespec& now, int time_ms);

// Starts a joinable thread; all three outputs receive the same handle.
void UTL_thread_create(void* (*entry)(void*), void* arg, pthread_t* thread, pthread_t* id, pthread_t* join);
// The thread's exit value, or null (with a log line) when the join fails. join is not used.
void* UTL_thread_join(pthread_t* thread, pthread_t* join);
[[noreturn]] void UTL_thread_exit(void* value);
int UTL_thread_murder(pthread_t* thread);
// Returns at once for ms below 1.
void UTL_sleep(int ms);
// The interval of ms milliseconds, in 64-bit arithmetic.
timespec UTL_ms_to_timespec(int ms);
pthread_t UTL_get_current_thread();
// At least 1.
int UTL_count_processors();

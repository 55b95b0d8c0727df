// The thread layer: the main thread's identity, the warning and fatal queues through which
// errors raised on other threads reach the main thread, threads guarded by catch clauses,
// and the idle workers for asynchronous calls.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstdint>
#include <vector>

#include "core/error_record.h"
#include "core/locks_and_queues.h"

// One asynchronous call; recycled through the free list, never freed while the layer runs.
struct THREAD_call {
    THREAD_call* next;
    UTL_message_queue* done_queue;  // receives the cookie once the call has run
    pthread_mutex_t lock;           // guards result and done
    void* (*function)(void*);
    void* argument;
    void* result;
    int done;
    int cookie;
};

extern pthread_t main_thread;
extern std::atomic<int> threads_inited;
extern UTL_message_queue* warn_exce;   // exce_class* of severity 1
extern UTL_message_queue* quit_exce;   // exce_class* of severity 2
extern UTL_message_queue* call_queue;  // THREAD_call*; the pointer value -1 stops one worker
extern THREAD_call* free_calls;
extern pthread_mutex_t free_calls_lock;
extern uint32_t next_cookie;  // unsigned so that it wraps without undefined behaviour
extern std::vector<pthread_t> worker_threads;
extern std::vector<pthread_t> worker_threads_id;
extern std::vector<pthread_t> worker_threads_join;

void THREAD_init();
int THREAD_is_inited();
int THREAD_is_main_thread();
// Starts a thread running entry(arg) inside the catch clauses of THREAD_launch; with want_gl it
// gets an OpenGL context sharing the main one when threaded GL is available. Returns once the
// thread has started.
void THREAD_create(void* (*entry)(void*), void* arg, pthread_t* thread, pthread_t* id, pthread_t* join,
                   int want_gl);
void* THREAD_launch(void* start_record);
// Severity 1 is queued; severity 2 is queued and ends the calling thread unless it is the main
// thread; anything else is dropped.
void THREAD_send_exception(const exce_class& e);
// Reports the queued fatal records, then (with also_warnings) the warnings.
void THREAD_check_exception(int also_warnings);
void THREAD_make_workers();
void* xtaskproc(void*);
THREAD_call* THREAD_run_async(void* (*function)(void*), void* argument);
int THREAD_is_done(THREAD_call* call, int time_ms);
void* THREAD_cleanup(THREAD_call* call);
// Stops and joins the workers and destroys the queues; does nothing when not initialised.
void THREAD_shutdown();

// Calls fn(arg) and stores its result. A thread exit or cancellation passes through; any other
// exception escaping fn gives 0 and, in fatal, the fatal record that reports it.
int THREAD_guarded_call(void* (*fn)(void*), void* arg, void** result, exce_class* fatal);

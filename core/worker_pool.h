// Core runtime layer (core/).
// A fixed set of threads that run work items for one owner. The owner allocates each task,
// collects it back through the retired queue and deletes it; the pool never owns tasks.
#pragma once

#include <pthread.h>

#include <atomic>
#include <string>
#include <vector>

#include "core/locks_and_queues.h"

class UTL_work_task {
public:
    virtual ~UTL_work_task() {}
    // Runs on a pool thread.
    virtual void do_it() = 0;
    // Called by the owner once the task is back: 0 on success, else an error code; sets msg
    // (empty when there is nothing to say).
    virtual int check_error(std::string& msg) = 0;
};

class UTL_worker_threads {
public:
    // thread_count is taken as at least 1.
    UTL_worker_threads(int thread_count, int max_outstanding);
    // Runs every task still queued, then stops and joins the threads. Deletes no task.
    ~UTL_worker_threads();
    UTL_worker_threads(const UTL_worker_threads&) = delete;
    UTL_worker_threads& operator=(const UTL_worker_threads&) = delete;

    // Does not test the limit.
    void enqueue_task(UTL_work_task* task);
    bool has_free_slot();
    int count_total_tasks();
    // A finished task, or null at once when none is.
    UTL_work_task* check_retired_tasks();
    // Null at once when no task is out; otherwise waits for one.
    UTL_work_task* wait_retired_tasks();
    // From now on a finished task goes straight on to next's queue instead of back to the owner;
    // set before any task is queued. A task queued here takes its slot in next at once, and this
    // pool has a free slot only while next has one: what waits between the two stays within
    // next's limit. next must outlive this pool.
    void forward_to(UTL_worker_threads* next);

private:
    static void* thread_func(void* pool);

    UTL_message_queue* todo_queue;
    UTL_message_queue* retired_queue;
    int max_outstanding;
    // Changed by the owner, and by the threads of a pool that forwards into this one.
    std::atomic<int> outstanding;
    UTL_worker_threads* successor = nullptr;
    std::vector<pthread_t> threads;
    std::vector<pthread_t> join_handles;
    std::vector<pthread_t> ids;
};

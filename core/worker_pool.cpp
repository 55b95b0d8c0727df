// The worker pool that runs tasks for one owner (core runtime layer).
#include "core/worker_pool.h"

#include "core/error_record.h"
#include "core/thread_layer.h"

namespace {
// The owner's wait is cut into slices so that, on the main thread, a fatal error raised by a
// task (which ends its pool thread without retiring the task) is reported instead of waited on.
constexpr int wait_slice_ms = 100;
}  // namespace

UTL_worker_threads::UTL_worker_threads(int thread_count, int max_outstanding_)
    : todo_queue(nullptr), retired_queue(nullptr), max_outstanding(max_outstanding_), outstanding(0) {
    if (thread_count < 1) thread_count = 1;
    UTL_message_queue_create(&todo_queue);
    UTL_message_queue_create(&retired_queue);
    threads.resize(thread_count);
    join_handles.resize(thread_count);
    ids.resize(thread_count);
    for (int i = 0; i < thread_count; ++i)
        UTL_thread_create(thread_func, this, &threads[i], &ids[i], &join_handles[i]);
}

UTL_worker_threads::~UTL_worker_threads() {
    // The queue is first-in-first-out: every task queued earlier runs before a thread sees its null.
    for (size_t i = 0; i < threads.size(); ++i) UTL_message_queue_write(todo_queue, nullptr);
    for (size_t i = 0; i < threads.size(); ++i) UTL_thread_join(&threads[i], &join_handles[i]);
    UTL_message_queue_destroy(todo_queue);
    UTL_message_queue_destroy(retired_queue);
}

void UTL_worker_threads::enqueue_task(UTL_work_task* task) {
    ++outstanding;
    if (successor) ++successor->outstanding;
    UTL_message_queue_write(todo_queue, task);
}

void UTL_worker_threads::forward_to(UTL_worker_threads* next) { successor = next; }

bool UTL_worker_threads::has_free_slot() {
    return outstanding < max_outstanding && (!successor || successor->has_free_slot());
}

int UTL_worker_threads::count_total_tasks() { return outstanding; }

UTL_work_task* UTL_worker_threads::check_retired_tasks() {
    UTL_work_task* task = static_cast<UTL_work_task*>(UTL_message_queue_read(retired_queue, 0));
    if (task) --outstanding;
    return task;
}

UTL_work_task* UTL_worker_threads::wait_retired_tasks() {
    if (outstanding <= 0) return nullptr;
    for (;;) {
        void* task = UTL_message_queue_read(retired_queue, wait_slice_ms);
        if (task) {
            --outstanding;
            return static_cast<UTL_work_task*>(task);
        }
        if (THREAD_is_inited() && THREAD_is_main_thread()) THREAD_check_exception(0);
    }
}

void* UTL_worker_threads::thread_func(void* arg) {
    UTL_worker_threads* pool = static_cast<UTL_worker_threads*>(arg);
    auto run = [](void* task) -> void* {
        static_cast<UTL_work_task*>(task)->do_it();
        return nullptr;
    };
    for (;;) {
        void* task = UTL_message_queue_read(pool->todo_queue, -1);
        if (!task) return nullptr;
        void* unused;
        exce_class fatal;
        int ok = THREAD_guarded_call(run, task, &unused, &fatal);
        if (pool->successor) {
            if (ok) {
                // Counted in the next pool since it was queued here: never idle in between.
                UTL_message_queue_write(pool->successor->todo_queue, task);
                --pool->outstanding;
                continue;
            }
            // Back to the owner instead: the slot it held in the next pool is free again.
            --pool->successor->outstanding;
        }
        UTL_message_queue_write(pool->retired_queue, task);
        // An exception escaping do_it would otherwise terminate the process with no alert and no
        // log line. The task is back with its owner; the fatal record ends this thread.
        if (!ok) THREAD_send_exception(fatal);
    }
}

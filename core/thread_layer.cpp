#include "core/thread_layer.h"

#include <cxxabi.h>

#include <cstdint>
#include <exception>

#include "core/alert.h"
#include "core/gl_hooks.h"
#include "core/globals.h"

pthread_t main_thread;
std::atomic<int> threads_inited{0};
UTL_message_queue* warn_exce = nullptr;
UTL_message_queue* quit_exce = nullptr;
UTL_message_queue* call_queue = nullptr;
THREAD_call* free_calls = nullptr;
pthread_mutex_t free_calls_lock;
uint32_t next_cookie = 0;
std::vector<pthread_t> worker_threads;
std::vector<pthread_t> worker_threads_id;
std::vector<pthread_t> worker_threads_join;

namespace {
// Lives on the creator's stack until the new thread posts its start signal.
struct thread_start {
    void* (*entry)(void*);
    void* arg;
    UTL_message_queue* start_queue;
    int want_gl;
    plat::gl_context_ref context;
};

void* const stop_worker = reinterpret_cast<void*>(intptr_t(-1));

// Without a window there is no context to share: workers get none.
int no_threaded_gl() { return 0; }
plat::gl_context_ref no_context() { return nullptr; }
int no_context_set(plat::gl_context_ref) { return 0; }
void no_gl_failure() {}
const gl_thread_hooks no_gl_hooks{no_threaded_gl, no_context, no_context_set, no_gl_failure};

// Read by threads being started; set on the main thread before any is.
std::atomic<int (*)()> gl_threaded_avail{no_threaded_gl};
std::atomic<plat::gl_context_ref (*)()> gl_make_loader{no_context};
std::atomic<int (*)(plat::gl_context_ref)> gl_set_loader{no_context_set};
std::atomic<void (*)()> gl_failed{no_gl_failure};

void report_queue(UTL_message_queue* queue) {
    if (!queue) return;
    while (exce_class* e = static_cast<exce_class*>(UTL_message_queue_read(queue, 0))) {
        e->Report();
        delete e;
    }
}

void destroy_records(UTL_message_queue* queue) {
    while (void* e = UTL_message_queue_read(queue, 0)) delete static_cast<exce_class*>(e);
    UTL_message_queue_destroy(queue);
}
}  // namespace

gl_thread_hooks set_gl_thread_hooks(const gl_thread_hooks& h) {
    gl_thread_hooks old;
    old.threaded_avail =
        gl_threaded_avail.exchange(h.threaded_avail ? h.threaded_avail : no_gl_hooks.threaded_avail);
    old.make_context_loader = gl_make_loader.exchange(
        h.make_context_loader ? h.make_context_loader : no_gl_hooks.make_context_loader);
    old.set_context_loader =
        gl_set_loader.exchange(h.set_context_loader ? h.set_context_loader : no_gl_hooks.set_context_loader);
    old.threaded_ogl_failed =
        gl_failed.exchange(h.threaded_ogl_failed ? h.threaded_ogl_failed : no_gl_hooks.threaded_ogl_failed);
    return old;
}

void THREAD_init() {
    if (threads_inited) return;
    main_thread = pthread_self();
    UTL_message_queue_create(&warn_exce);
    UTL_message_queue_create(&quit_exce);
    UTL_critical_section_create(&free_calls_lock);
    UTL_message_queue_create(&call_queue);
    next_cookie = 0;
    threads_inited = 1;
}

int THREAD_is_inited() { return threads_inited ? 1 : 0; }

int THREAD_is_main_thread() { return threads_inited && pthread_equal(main_thread, pthread_self()) ? 1 : 0; }

void THREAD_create(void* (*entry)(void*), void* arg, pthread_t* thread, pthread_t* id, pthread_t* join,
                   int want_gl) {
    if (!gl_threaded_avail.load()()) want_gl = 0;
    plat::gl_context_ref context = nullptr;
    if (want_gl) {
        context = gl_make_loader.load()();
        if (!context) {
            want_gl = 0;
            gl_failed.load()();
        }
    }
    thread_start start{entry, arg, nullptr, want_gl, context};
    UTL_message_queue_create(&start.start_queue);
    UTL_thread_create(THREAD_launch, &start, thread, id, join);
    UTL_message_queue_read(start.start_queue, -1);
    UTL_message_queue_destroy(start.start_queue);
    // The new thread clears the request when it could not make the context current.
    if (start.want_gl != want_gl) gl_failed.load()();
}

// The forced-unwind object has no address to bind to, which the null check would flag.
__attribute__((no_sanitize("null"))) int THREAD_guarded_call(void* (*fn)(void*), void* arg, void** result,
                                                             exce_class* fatal) {
    try {
        *result = fn(arg);
        return 1;
    } catch (abi::__forced_unwind&) {
        // Thread exit and cancellation unwind through here; swallowing that aborts the process.
        throw;
    } catch (exce_class& e) {
        *fatal = e;
        fatal->MakeFatal();
    } catch (std::exception& e) {
        *fatal = exce_class("Caught an unhandled C++ exception", e.what(), "", "", __FILE__, __LINE__, 2);
    } catch (...) {
        *fatal = exce_class("Caught an unhandled unknown exception", "", "", "", __FILE__, __LINE__, 2);
    }
    *result = nullptr;
    return 0;
}

void* THREAD_launch(void* start_record) {
    thread_start* start = static_cast<thread_start*>(start_record);
    if (start->want_gl && !gl_set_loader.load()(start->context)) start->want_gl = 0;
    void* (*entry)(void*) = start->entry;
    void* arg = start->arg;
    UTL_message_queue_write(start->start_queue, nullptr);  // the record is the creator's again
    void* result;
    exce_class fatal;
    // A fatal record sent from this thread ends it.
    if (!THREAD_guarded_call(entry, arg, &result, &fatal)) THREAD_send_exception(fatal);
    return result;
}

void THREAD_send_exception(const exce_class& e) {
    if (e.severity != 1 && e.severity != 2) return;
    if (!threads_inited) {
        // Without the layer there is no main thread to hand the record to: show it here.
        exce_class copy(e);
        copy.Report();
        return;
    }
    UTL_message_queue_write(e.severity == 1 ? warn_exce : quit_exce, new exce_class(e));
    if (e.severity == 2 && !THREAD_is_main_thread()) UTL_thread_exit(nullptr);
}

void THREAD_check_exception(int also_warnings) {
    report_queue(quit_exce);
    if (also_warnings) report_queue(warn_exce);
}

void THREAD_make_workers() {
    int n = UTL_count_processors();
    xer << "CPU count        : " << n << "\n";
    for (int i = 0; i < n; ++i) {
        pthread_t thread, id, join;
        THREAD_create(xtaskproc, nullptr, &thread, &id, &join, 1);
        worker_threads.push_back(thread);
        worker_threads_id.push_back(id);
        worker_threads_join.push_back(join);
    }
}

void* xtaskproc(void*) {
    for (;;) {
        void* message = UTL_message_queue_read(call_queue, -1);
        if (message == stop_worker) return nullptr;
        THREAD_call* call = static_cast<THREAD_call*>(message);
        void* result = call->function(call->argument);
        UTL_critical_section_lock(&call->lock);
        call->result = result;
        UTL_critical_section_unlock(&call->lock);
        UTL_message_queue_write(call->done_queue, reinterpret_cast<void*>(intptr_t(call->cookie)));
    }
}

THREAD_call* THREAD_run_async(void* (*function)(void*), void* argument) {
    UTL_critical_section_lock(&free_calls_lock);
    next_cookie += 4;
    if (next_cookie == 0) next_cookie = 4;
    int cookie = static_cast<int>(next_cookie);
    THREAD_call* call = free_calls;
    if (call) free_calls = call->next;
    UTL_critical_section_unlock(&free_calls_lock);
    if (!call) {
        call = new THREAD_call;
        UTL_message_queue_create(&call->done_queue);
        UTL_critical_section_create(&call->lock);
    }
    call->next = nullptr;
    call->function = function;
    call->argument = argument;
    call->result = nullptr;
    call->done = 0;
    call->cookie = cookie;
    UTL_message_queue_write(call_queue, call);
    return call;
}

int THREAD_is_done(THREAD_call* call, int time_ms) {
    THREAD_check_exception(0);
    void* cookie = UTL_message_queue_read(call->done_queue, time_ms);
    THREAD_check_exception(0);
    if (!cookie) return 0;
    UTL_critical_section_lock(&call->lock);
    call->done = 1;
    UTL_critical_section_unlock(&call->lock);
    return 1;
}

void* THREAD_cleanup(THREAD_call* call) {
    THREAD_check_exception(0);
    UTL_critical_section_lock(&call->lock);
    if (!call->done) {
        UTL_critical_section_unlock(&call->lock);
        __MACIBM_alert(0, "Thread cleanup called on not-done call.", "", "", "", t_exit, __FILE__, __LINE__);
        return nullptr;
    }
    void* result = call->result;
    UTL_critical_section_unlock(&call->lock);
    UTL_critical_section_lock(&free_calls_lock);
    call->next = free_calls;
    free_calls = call;
    UTL_critical_section_unlock(&free_calls_lock);
    return result;
}

void THREAD_shutdown() {
    // A second shut-down would destroy the queues twice.
    if (!threads_inited) return;
    for (size_t i = 0; i < worker_threads.size(); ++i) UTL_message_queue_write(call_queue, stop_worker);
    for (size_t i = 0; i < worker_threads.size(); ++i)
        UTL_thread_join(&worker_threads[i], &worker_threads_join[i]);
    worker_threads.clear();
    worker_threads_id.clear();
    worker_threads_join.clear();
    UTL_critical_section_destroy(&free_calls_lock);
    UTL_message_queue_destroy(call_queue);
    call_queue = nullptr;
    while (THREAD_call* call = free_calls) {
        free_calls = call->next;
        UTL_message_queue_destroy(call->done_queue);
        UTL_critical_section_destroy(&call->lock);
        delete call;
    }
    // Records still queued are not reported; they are only freed.
    destroy_records(warn_exce);
    destroy_records(quit_exce);
    warn_exce = nullptr;
    quit_exce = nullptr;
    threads_inited = 0;
    xer << "Clean exit from threads.\n";
}

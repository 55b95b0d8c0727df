// Fatal paths of the locks, the pool and the thread layer: each ends the process through the
// alert double's fatal alert. Threads may still be alive when it does, as in the program.
#include <gtest/gtest.h>

#include <stdexcept>

#include "common/recorders.h"
#include "core/alert.h"
#include "core/locks_and_queues.h"
#include "core/thread_layer.h"
#include "core/worker_pool.h"

namespace {
class fatal_alert_task : public UTL_work_task {
public:
    void do_it() override { __MACIBM_alert(0, "String too long!", "", "", "", t_exit, __FILE__, __LINE__); }
    int check_error(std::string& msg) override {
        msg.clear();
        return 0;
    }
};

class throwing_task : public UTL_work_task {
public:
    void do_it() override { throw std::bad_alloc(); }
    int check_error(std::string& msg) override {
        msg.clear();
        return 0;
    }
};

void start_thread(void* (*entry)(void*)) {
    pthread_t thread, id, join;
    THREAD_create(entry, nullptr, &thread, &id, &join, 0);
    UTL_thread_join(&thread, &join);
}
}  // namespace

TEST(ThreadFatalDeathTest, DestroyingAHeldCriticalSection) {
    EXPECT_EXIT(
        {
            pthread_mutex_t cs;
            UTL_critical_section_create(&cs);
            UTL_critical_section_lock(&cs);
            UTL_critical_section_destroy(&cs);
        },
        ::testing::ExitedWithCode(1), "ALERT type 2: \"::pthread_mutex_destroy\" OS error \\| err=16.000000");
}

// A fatal alert ends the pool thread without retiring its task; the owner waiting on the main
// thread must see the error reported instead of waiting for ever.
TEST(ThreadFatalDeathTest, FatalAlertInPoolTaskReachesTheWaitingOwner) {
    EXPECT_EXIT(
        {
            THREAD_init();
            fatal_alert_task task;
            UTL_worker_threads* pool = new UTL_worker_threads(1, 4);
            pool->enqueue_task(&task);
            pool->wait_retired_tasks();
        },
        ::testing::ExitedWithCode(1), "ALERT type 2: String too long!");
}

// Without the thread layer a throwing task still ends in the fatal alert, not in an abort.
TEST(ThreadFatalDeathTest, ThrowingPoolTaskWithoutThreadLayer) {
    EXPECT_EXIT(
        {
            throwing_task task;
            UTL_worker_threads* pool = new UTL_worker_threads(1, 4);
            pool->enqueue_task(&task);
            pool->wait_retired_tasks();
            delete pool;  // joins the pool thread, which raises the alert after retiring the task
        },
        ::testing::ExitedWithCode(1),
        "ALERT type 2: Caught an unhandled C\\+\\+ exception \\| std::bad_alloc");
}

TEST(ThreadFatalDeathTest, FatalRecordIsReportedBeforeWarnings) {
    EXPECT_EXIT(
        {
            THREAD_init();
            start_thread([](void*) -> void* {
                __MACIBM_alert(0, "just a warning", "", "", "", t_alert, __FILE__, __LINE__);
                __MACIBM_alert(0, "the fatal one", "", "", "", t_exit, __FILE__, __LINE__);
                return nullptr;
            });
            THREAD_check_exception(1);
        },
        ::testing::ExitedWithCode(1), "^ALERT type 2: the fatal one");
}

TEST(ThreadFatalDeathTest, ExceptionOnAThreadEndsTheProgramAtTheNextCheck) {
    EXPECT_EXIT(
        {
            THREAD_init();
            start_thread([](void*) -> void* { throw std::runtime_error("x"); });
            THREAD_check_exception(0);
        },
        ::testing::ExitedWithCode(1), "ALERT type 2: Caught an unhandled C\\+\\+ exception \\| x \\|");
}

TEST(ThreadFatalDeathTest, CleanupOfACallNotSeenDone) {
    EXPECT_EXIT(
        {
            THREAD_init();
            THREAD_call* c = THREAD_run_async([](void*) -> void* { return nullptr; }, nullptr);
            THREAD_cleanup(c);
        },
        ::testing::ExitedWithCode(1), "ALERT type 2: Thread cleanup called on not-done call.");
}

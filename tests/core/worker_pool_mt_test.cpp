#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/recorders.h"
#include "core/alert.h"
#include "core/thread_layer.h"
#include "core/worker_pool.h"

namespace {
// Records the order in which tasks ran.
struct order_log {
    std::mutex mu;
    std::vector<int> ran;
};

class numbered_task : public UTL_work_task {
public:
    numbered_task(int n, order_log* log) : n_(n), log_(log) {}
    void do_it() override {
        std::lock_guard<std::mutex> g(log_->mu);
        log_->ran.push_back(n_);
    }
    int check_error(std::string& msg) override {
        msg.clear();
        return 0;
    }
    int n_;
    order_log* log_;
};

// Blocks in do_it until released, so tests control when it finishes.
class gated_task : public UTL_work_task {
public:
    explicit gated_task(std::atomic<bool>* gate) : gate_(gate) {}
    void do_it() override {
        while (!*gate_) std::this_thread::yield();
    }
    int check_error(std::string& msg) override {
        msg.clear();
        return 0;
    }
    std::atomic<bool>* gate_;
};

class throwing_task : public UTL_work_task {
public:
    void do_it() override { throw std::runtime_error("out of memory while unpacking"); }
    int check_error(std::string& msg) override {
        msg = "threw";
        return 1;
    }
};

}  // namespace

TEST(WorkerPool, CountsSlotsAgainstTheLimit) {
    std::atomic<bool> gate{false};
    std::vector<std::unique_ptr<gated_task>> tasks;
    for (int i = 0; i < 4; ++i) tasks.push_back(std::make_unique<gated_task>(&gate));
    UTL_worker_threads pool(2, 3);
    EXPECT_TRUE(pool.has_free_slot());
    EXPECT_EQ(pool.check_retired_tasks(), nullptr);
    for (int i = 0; i < 3; ++i) pool.enqueue_task(tasks[i].get());
    EXPECT_FALSE(pool.has_free_slot());
    EXPECT_EQ(pool.check_retired_tasks(), nullptr);  // nothing finished: count unchanged
    EXPECT_EQ(pool.count_total_tasks(), 3);
    pool.enqueue_task(tasks[3].get());  // beyond the limit: still accepted
    EXPECT_EQ(pool.count_total_tasks(), 4);
    EXPECT_FALSE(pool.has_free_slot());
    gate = true;
    for (int i = 0; i < 2; ++i) EXPECT_NE(pool.wait_retired_tasks(), nullptr);
    EXPECT_TRUE(pool.has_free_slot());
    for (int i = 0; i < 2; ++i) EXPECT_NE(pool.wait_retired_tasks(), nullptr);
    EXPECT_EQ(pool.count_total_tasks(), 0);
    EXPECT_EQ(pool.wait_retired_tasks(), nullptr);  // nothing out: returns at once
}

TEST(WorkerPool, EveryTaskComesBackExactlyOnce) {
    order_log log;
    const int total = 1000;
    std::vector<std::unique_ptr<numbered_task>> tasks;
    for (int i = 0; i < total; ++i) tasks.push_back(std::make_unique<numbered_task>(i, &log));
    UTL_worker_threads pool(4, 16);
    std::multiset<UTL_work_task*> back;
    int next = 0;
    while (back.size() < size_t(total)) {
        while (next < total && pool.has_free_slot()) pool.enqueue_task(tasks[next++].get());
        UTL_work_task* t = (back.size() % 3) ? pool.check_retired_tasks() : pool.wait_retired_tasks();
        if (t) back.insert(t);
    }
    EXPECT_EQ(pool.count_total_tasks(), 0);
    for (auto& t : tasks) EXPECT_EQ(back.count(t.get()), 1u);
    EXPECT_EQ(log.ran.size(), size_t(total));
}

TEST(WorkerPool, OneThreadKeepsEnqueueOrderAndCountIsAtLeastOne) {
    for (int threads : {1, 0}) {
        order_log log;
        std::vector<std::unique_ptr<numbered_task>> tasks;
        for (int i = 0; i < 50; ++i) tasks.push_back(std::make_unique<numbered_task>(i, &log));
        UTL_worker_threads pool(threads, 50);
        for (auto& t : tasks) pool.enqueue_task(t.get());
        std::vector<UTL_work_task*> back;
        while (UTL_work_task* t = pool.wait_retired_tasks()) back.push_back(t);
        ASSERT_EQ(back.size(), tasks.size());
        for (size_t i = 0; i < tasks.size(); ++i) EXPECT_EQ(back[i], tasks[i].get());
        std::lock_guard<std::mutex> g(log.mu);
        for (int i = 0; i < 50; ++i) EXPECT_EQ(log.ran[i], i);
    }
}

TEST(WorkerPool, DestructionRunsEveryQueuedTask) {
    order_log log;
    std::vector<std::unique_ptr<numbered_task>> tasks;
    for (int i = 0; i < 200; ++i) tasks.push_back(std::make_unique<numbered_task>(i, &log));
    {
        UTL_worker_threads pool(3, 1);
        for (auto& t : tasks) pool.enqueue_task(t.get());
    }
    EXPECT_EQ(log.ran.size(), tasks.size());  // the tasks themselves are still ours to delete
}

TEST(WorkerPool, AForwardingPoolPassesEachTaskOnWithoutItsOwner) {
    order_log first_log;
    std::vector<std::unique_ptr<numbered_task>> tasks;
    for (int i = 0; i < 300; ++i) tasks.push_back(std::make_unique<numbered_task>(i, &first_log));
    UTL_worker_threads second(3, 10);
    std::multiset<UTL_work_task*> back;
    {
        UTL_worker_threads first(2, 10);
        first.forward_to(&second);
        for (auto& t : tasks) first.enqueue_task(t.get());
        // Each task counts in one pool or the other until the second retires it: never idle.
        while (back.size() < 100) {
            EXPECT_GT(first.count_total_tasks() + second.count_total_tasks(), 0);
            if (UTL_work_task* t = second.check_retired_tasks()) back.insert(t);
        }
        EXPECT_EQ(first.check_retired_tasks(), nullptr);  // nothing comes back to the owner here
    }  // the first pool's queued tasks are run and passed on as it goes
    while (UTL_work_task* t = second.wait_retired_tasks()) back.insert(t);
    EXPECT_EQ(second.count_total_tasks(), 0);
    for (auto& t : tasks) EXPECT_EQ(back.count(t.get()), 1u);
    EXPECT_EQ(first_log.ran.size(), 2 * tasks.size());  // ran once in each pool
}

// A task that throws is retired and reported as a fatal record instead of aborting the process.
TEST(WorkerPool, ThrowingTaskIsRetiredAndReportedNotAborting) {
    reset_recorders();
    THREAD_init();
    throwing_task bad;
    {
        UTL_worker_threads pool(2, 4);
        pool.enqueue_task(&bad);
        EXPECT_EQ(pool.wait_retired_tasks(), &bad);
    }
    auto* e = static_cast<exce_class*>(UTL_message_queue_read(quit_exce, 0));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->line1, "Caught an unhandled C++ exception");
    EXPECT_EQ(e->line2, "out of memory while unpacking");
    EXPECT_EQ(e->severity, 2);
    delete e;
    EXPECT_EQ(UTL_message_queue_read(quit_exce, 0), nullptr);  // exactly one record
    EXPECT_TRUE(recorded_alerts().empty());
    THREAD_shutdown();
}

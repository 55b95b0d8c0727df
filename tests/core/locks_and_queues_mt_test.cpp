#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "core/locks_and_queues.h"

namespace {
void* msg(intptr_t v) { return reinterpret_cast<void*>(v); }

int waiting_readers(UTL_message_queue* q) {
    pthread_mutex_lock(&q->lock);
    int n = q->waiting_readers;
    pthread_mutex_unlock(&q->lock);
    return n;
}

// Spins until n readers are blocked on the queue.
void wait_for_readers(UTL_message_queue* q, int n) {
    while (waiting_readers(q) < n) std::this_thread::yield();
}
}  // namespace

TEST(MessageQueue, KeepsOrderAndPollsEmptyAtOnce) {
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
    for (intptr_t i = 1; i <= 5; ++i) UTL_message_queue_write(q, msg(i));
    for (intptr_t i = 1; i <= 5; ++i) EXPECT_EQ(UTL_message_queue_read(q, i % 2 ? 0 : 1000), msg(i));
    EXPECT_EQ(UTL_message_queue_read(q, 0), nullptr);
    EXPECT_EQ(waiting_readers(q), 0);
    // Destroying with messages still queued frees only the nodes.
    int keep = 7;
    UTL_message_queue_write(q, &keep);
    UTL_message_queue_destroy(q);
    EXPECT_EQ(keep, 7);
}

TEST(MessageQueue, TimedReadExpiresAndRestoresWaitingCount) {
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(UTL_message_queue_read(q, 30), nullptr);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(30));
    EXPECT_EQ(waiting_readers(q), 0);
    UTL_message_queue_destroy(q);
}

TEST(MessageQueue, DeadlineCarriesOnce) {
    timespec now{100, 999999000};  // 999,999 microseconds past a whole second
    timespec d = UTL_deadline_after(now, 999);
    EXPECT_EQ(d.tv_sec, 101);
    EXPECT_EQ(d.tv_nsec, 998999000);
    d = UTL_deadline_after(timespec{5, 0}, 2500);
    EXPECT_EQ(d.tv_sec, 7);
    EXPECT_EQ(d.tv_nsec, 500000000);
}

TEST(MessageQueue, NullMessageWakesUnlimitedReader) {
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    std::atomic<bool> returned{false};
    void* got = msg(1);
    std::thread reader([&] {
        got = UTL_message_queue_read(q, -1);
        returned = true;
    });
    wait_for_readers(q, 1);
    EXPECT_FALSE(returned);
    UTL_message_queue_write(q, nullptr);
    reader.join();
    EXPECT_EQ(got, nullptr);
    UTL_message_queue_destroy(q);
}

TEST(MessageQueue, OneMessageWakesExactlyOneOfSeveralReaders) {
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    std::atomic<int> got{0};
    std::vector<std::thread> readers;
    for (int i = 0; i < 3; ++i)
        readers.emplace_back([&] {
            if (UTL_message_queue_read(q, -1)) ++got;
        });
    wait_for_readers(q, 3);
    UTL_message_queue_write(q, msg(9));
    while (got < 1) std::this_thread::yield();
    wait_for_readers(q, 2);  // the other two wait again
    EXPECT_EQ(got, 1);
    UTL_message_queue_write(q, msg(10));
    UTL_message_queue_write(q, msg(11));
    for (auto& r : readers) r.join();
    EXPECT_EQ(got, 3);
    UTL_message_queue_destroy(q);
}

// Many readers waiting without limit share one queue: every message is taken exactly once,
// and a null per reader ends them.
TEST(MessageQueue, ManyReadersTakeEveryMessageOnce) {
    UTL_message_queue* q = nullptr;
    UTL_message_queue_create(&q);
    const int readers = 4, messages = 100000;
    std::vector<std::vector<intptr_t>> taken(readers);
    std::vector<std::thread> pool;
    for (int r = 0; r < readers; ++r)
        pool.emplace_back([&, r] {
            while (void* m = UTL_message_queue_read(q, -1)) taken[r].push_back(reinterpret_cast<intptr_t>(m));
        });
    for (intptr_t i = 1; i <= messages; ++i) UTL_message_queue_write(q, msg(i));
    for (int r = 0; r < readers; ++r) UTL_message_queue_write(q, nullptr);
    for (auto& t : pool) t.join();

    std::vector<int> seen(messages + 1, 0);
    for (auto& list : taken) {
        for (size_t i = 1; i < list.size(); ++i) EXPECT_LT(list[i - 1], list[i]);  // FIFO per reader
        for (intptr_t m : list) ++seen[m];
    }
    for (int i = 1; i <= messages; ++i) ASSERT_EQ(seen[i], 1) << "message " << i;
    UTL_message_queue_destroy(q);
}

TEST(CriticalSection, HolderMayRelockAndMustUnlockAsOften) {
    pthread_mutex_t cs;
    UTL_critical_section_create(&cs);
    UTL_critical_section_lock(&cs);
    UTL_critical_section_lock(&cs);  // would block for ever if not recursive
    auto other_can_lock = [&] {
        int r = 0;
        std::thread t([&] {
            r = pthread_mutex_trylock(&cs);
            if (r == 0) pthread_mutex_unlock(&cs);
        });
        t.join();
        return r == 0;
    };
    UTL_critical_section_unlock(&cs);
    EXPECT_FALSE(other_can_lock());
    UTL_critical_section_unlock(&cs);
    EXPECT_TRUE(other_can_lock());
    UTL_critical_section_destroy(&cs);
}

TEST(ThreadCalls, CreateJoinAndExitValue) {
    pthread_t thread, id, join;
    UTL_thread_create([](void* a) -> void* { UTL_thread_exit(static_cast<char*>(a) + 1); }, msg(41), &thread,
                      &id, &join);
    EXPECT_TRUE(pthread_equal(thread, id));
    EXPECT_TRUE(pthread_equal(thread, join));
    EXPECT_EQ(UTL_thread_join(&thread, &join), msg(42));
}

TEST(ThreadCalls, FailedJoinLogsAndReturnsNull) {
    std::string path = ::testing::TempDir() + "join_log" + std::to_string(getpid());
    ASSERT_TRUE(xer.open(path));
    pthread_t self = UTL_get_current_thread();
    EXPECT_EQ(UTL_thread_join(&self, &self), nullptr);  // joining oneself: EDEADLK
    xer.close();
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(line, "Warning: wait on thread cleanup failed with error " + std::to_string(EDEADLK));
    unlink(path.c_str());
}

TEST(ThreadCalls, SleepArithmeticAndProcessorCount) {
    // 64-bit arithmetic: no overflow past 2^31 microseconds.
    timespec t = UTL_ms_to_timespec(3000000);
    EXPECT_EQ(t.tv_sec, 3000);
    EXPECT_EQ(t.tv_nsec, 0);
    t = UTL_ms_to_timespec(2147483647);
    EXPECT_EQ(t.tv_sec, 2147483);
    EXPECT_EQ(t.tv_nsec, 647000000);
    UTL_sleep(0);
    UTL_sleep(-5);
    EXPECT_GE(UTL_count_processors(), 1);
}

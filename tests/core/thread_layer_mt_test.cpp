#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/alert.h"
#include "core/gl_hooks.h"
#include "core/globals.h"
#include "core/thread_layer.h"
#include "graphics/gl_capabilities.h"

namespace {
// The shell's context calls, recorded; the capability record is the real one.
std::atomic<bool> make_gives{true};
std::atomic<bool> set_works{true};
std::atomic<int> make_calls{0};
std::atomic<int> set_calls{0};
plat::gl_context_ref fake_context() {
    static int token;
    return reinterpret_cast<plat::gl_context_ref>(&token);
}
const gl_thread_hooks recording_gl_hooks{[] { return glExt.threaded_avail; },
                                         []() -> plat::gl_context_ref {
                                             ++make_calls;
                                             return make_gives ? fake_context() : nullptr;
                                         },
                                         [](plat::gl_context_ref ctx) {
                                             ++set_calls;
                                             return set_works && ctx == fake_context() ? 1 : 0;
                                         },
                                         [] { glExt.threaded_ogl_failed(); }};

void set_loader_result(bool make_gives_context, bool set_succeeds) {
    make_gives = make_gives_context;
    set_works = set_succeeds;
}

class ThreadLayer : public ::testing::Test {
protected:
    void SetUp() override {
        reset_recorders();
        make_gives = true;
        set_works = true;
        make_calls = 0;
        set_calls = 0;
        glExt.threaded_avail = 1;
        saved_gl_hooks_ = set_gl_thread_hooks(recording_gl_hooks);
        log_path_ = ::testing::TempDir() + "thread_layer_log" + std::to_string(getpid());
        ASSERT_TRUE(xer.open(log_path_));
        THREAD_init();
    }
    void TearDown() override {
        THREAD_shutdown();
        xer.close();
        unlink(log_path_.c_str());
        set_gl_thread_hooks(saved_gl_hooks_);
    }
    std::vector<std::string> log_lines() {
        xer.flush();
        return read_lines(log_path_);
    }
    // Runs body on a thread started by the thread layer and waits for it to end.
    template <class F>
    void run_on_thread(F body, int want_gl = 0) {
        pthread_t thread, id, join;
        THREAD_create(
            [](void* f) -> void* {
                (*static_cast<F*>(f))();
                return nullptr;
            },
            &body, &thread, &id, &join, want_gl);
        UTL_thread_join(&thread, &join);
    }
    // Takes the next queued record (the caller owns it) or null.
    static exce_class* take(UTL_message_queue* q) {
        return static_cast<exce_class*>(UTL_message_queue_read(q, 0));
    }

    std::string log_path_;
    gl_thread_hooks saved_gl_hooks_;
};
}  // namespace

TEST_F(ThreadLayer, WarningFromWorkerLeavesItRunningAndWaitsForTheFullCheck) {
    EXPECT_TRUE(THREAD_is_main_thread());
    std::atomic<bool> went_on{false};
    run_on_thread([&] {
        EXPECT_FALSE(THREAD_is_main_thread());
        __MACIBM_alert(0, "careful", "second", "", "", t_alert, "worker.cpp", 12);
        went_on = true;
    });
    EXPECT_TRUE(went_on);
    THREAD_check_exception(0);
    EXPECT_TRUE(recorded_alerts().empty());  // warnings stay queued
    THREAD_check_exception(1);
    auto alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].line1, "careful");
    EXPECT_EQ(alerts[0].line2, "second");
    EXPECT_EQ(alerts[0].type, t_alert);
    EXPECT_EQ(alerts[0].file, "worker.cpp");
    EXPECT_EQ(alerts[0].line, 12);
    EXPECT_EQ(recorded_finishups(), 0);
}

// A fatal alert ends the worker at once. The thread exit unwinds through the layer's catch
// clauses, which must let it pass rather than abort the process.
TEST_F(ThreadLayer, FatalFromWorkerEndsThatThreadAtOnce) {
    std::atomic<bool> went_on{false};
    run_on_thread([&] {
        __MACIBM_alert(0, "String too long!", "", "", "", t_exit, "io.cpp", 40);
        went_on = true;
    });
    EXPECT_FALSE(went_on);
    exce_class* e = take(quit_exce);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->line1, "String too long!");
    EXPECT_EQ(e->severity, 2);
    delete e;
    EXPECT_EQ(take(quit_exce), nullptr);
    EXPECT_EQ(take(warn_exce), nullptr);
}

TEST_F(ThreadLayer, SeveritiesAreRoutedOrDropped) {
    for (int severity : {0, 3, -1}) THREAD_send_exception(exce_class("x", "", "", "", "f", 1, severity));
    EXPECT_EQ(take(quit_exce), nullptr);
    EXPECT_EQ(take(warn_exce), nullptr);
    // Fatal from the main thread is only queued; the sender goes on.
    THREAD_send_exception(exce_class("main fatal", "", "", "", "f", 2, 2));
    exce_class* e = take(quit_exce);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->line1, "main fatal");
    delete e;
}

TEST_F(ThreadLayer, EscapingExceptionsBecomeFatalRecords) {
    run_on_thread([] { throw std::runtime_error("x"); });
    run_on_thread([] { throw exce_class("mine", "b", "c", "d", "src.cpp", 77, 1); });
    run_on_thread([] { throw 5; });
    std::unique_ptr<exce_class> e1(take(quit_exce)), e2(take(quit_exce)), e3(take(quit_exce));
    ASSERT_TRUE(e1 && e2 && e3);
    EXPECT_EQ(e1->line1, "Caught an unhandled C++ exception");
    EXPECT_EQ(e1->line2, "x");
    EXPECT_EQ(e1->severity, 2);
    EXPECT_EQ(e2->line1, "mine");
    EXPECT_EQ(e2->line4, "d");
    EXPECT_STREQ(e2->file, "src.cpp");
    EXPECT_EQ(e2->line, 77);
    EXPECT_EQ(e2->severity, 2);  // made fatal
    EXPECT_EQ(e3->line1, "Caught an unhandled unknown exception");
    EXPECT_EQ(e3->line2, "");
    EXPECT_EQ(e3->severity, 2);
}

TEST_F(ThreadLayer, ReportOffTheMainThreadForwardsInsteadOfShuttingDown) {
    run_on_thread([] { exce_class("from worker", "", "", "", "w.cpp", 5, 1).Report(); });
    EXPECT_EQ(recorded_finishups(), 0);
    EXPECT_EQ(app_done, 0);
    std::unique_ptr<exce_class> e(take(warn_exce));
    ASSERT_TRUE(e);
    EXPECT_EQ(e->line1, "from worker");
    auto lines = log_lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "EXCEPTION REPORTED FROM THREAD!!  File: w.cpp, line 5.");
    EXPECT_EQ(lines[1], "from worker");
}

TEST_F(ThreadLayer, RecordDefaultsAndLogging) {
    exce_class d;
    EXPECT_EQ(d.line1, "");
    EXPECT_STREQ(d.file, "no exception");
    EXPECT_EQ(d.line, 0);
    EXPECT_EQ(d.severity, 2);
    exce_class("w1", "w2", "", "", "a.cpp", 3, 1).LogAndContinue();
    exce_class("f1", "", "", "", "b.cpp", 4, 2).LogAndContinue();
    auto lines = log_lines();
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Logging non-fatal Exception thrown from file: a.cpp, line 3.");
    EXPECT_EQ(lines[1], "w1");
    EXPECT_EQ(lines[5], "Logging fatal Exception thrown from file: b.cpp, line 4.");
}

TEST_F(ThreadLayer, AsyncCallsRunAndRecycleTheirRecords) {
    glExt.threaded_avail = 0;
    THREAD_make_workers();
    auto twice = [](void* a) -> void* { return static_cast<char*>(a) + 1; };
    static char buf[4];
    THREAD_call* c1 = THREAD_run_async(twice, buf);
    EXPECT_EQ(c1->cookie, 4);
    EXPECT_EQ(THREAD_is_done(c1, -1), 1);
    EXPECT_EQ(THREAD_cleanup(c1), buf + 1);
    THREAD_call* c2 = THREAD_run_async(twice, buf + 1);
    EXPECT_EQ(c2, c1);  // taken from the free list
    EXPECT_EQ(c2->cookie, 8);
    EXPECT_EQ(THREAD_is_done(c2, -1), 1);
    EXPECT_EQ(THREAD_cleanup(c2), buf + 2);
}

TEST_F(ThreadLayer, CookiesWrapPastZeroWithoutOverflow) {
    glExt.threaded_avail = 0;
    THREAD_make_workers();
    next_cookie = 0xFFFFFFF8u;
    std::vector<int> cookies;
    for (int i = 0; i < 3; ++i) {
        THREAD_call* c = THREAD_run_async([](void*) -> void* { return nullptr; }, nullptr);
        cookies.push_back(c->cookie);
        EXPECT_EQ(THREAD_is_done(c, -1), 1);
        THREAD_cleanup(c);
    }
    EXPECT_EQ(cookies, (std::vector<int>{static_cast<int>(0xFFFFFFFCu), 4, 8}));
}

TEST_F(ThreadLayer, PollOnARunningCallReturnsAtOnce) {
    glExt.threaded_avail = 0;
    THREAD_make_workers();
    static std::atomic<bool> gate;
    gate = false;
    THREAD_call* c = THREAD_run_async(
        [](void*) -> void* {
            while (!gate) std::this_thread::yield();
            return nullptr;
        },
        nullptr);
    EXPECT_EQ(THREAD_is_done(c, 0), 0);
    gate = true;
    EXPECT_EQ(THREAD_is_done(c, -1), 1);
    THREAD_cleanup(c);
}

TEST_F(ThreadLayer, WorkersStartAndStopWithTheirLogLines) {
    glExt.threaded_avail = 0;
    THREAD_make_workers();
    int n = UTL_count_processors();
    EXPECT_EQ(worker_threads.size(), size_t(n));
    EXPECT_EQ(make_calls, 0);  // want-GL while the flag is off asks for nothing
    EXPECT_TRUE(recorded_alerts().empty());
    THREAD_shutdown();
    EXPECT_FALSE(THREAD_is_inited());
    THREAD_shutdown();  // a second shut-down does nothing
    EXPECT_EQ(log_lines(), (std::vector<std::string>{"CPU count        : " + std::to_string(n),
                                                     "Clean exit from threads."}));
    THREAD_check_exception(1);  // nothing to report, no queues
    EXPECT_TRUE(recorded_alerts().empty());
}

TEST_F(ThreadLayer, SharedGlContextIsSetUpOrSwitchedOffOnce) {
    run_on_thread([] {}, 1);
    EXPECT_EQ(make_calls, 1);
    EXPECT_EQ(set_calls, 1);
    EXPECT_TRUE(recorded_alerts().empty());

    // The new thread cannot make its context current: threaded GL goes off with one message.
    set_loader_result(true, false);
    run_on_thread([] {}, 1);
    EXPECT_EQ(glExt.threaded_avail, 0);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line1, "There was a problem setting up OpenGL.");
    EXPECT_EQ(recorded_alerts()[0].type, t_alert);

    // From now on no context is asked for and nothing more is shown.
    run_on_thread([] {}, 1);
    EXPECT_EQ(make_calls, 2);
    EXPECT_EQ(recorded_alerts().size(), 1u);
}

TEST_F(ThreadLayer, NoLoaderContextSwitchesThreadedGlOff) {
    set_loader_result(false, true);
    run_on_thread([] {}, 1);
    EXPECT_EQ(set_calls, 0);
    EXPECT_EQ(glExt.threaded_avail, 0);
    EXPECT_EQ(recorded_alerts().size(), 1u);
}

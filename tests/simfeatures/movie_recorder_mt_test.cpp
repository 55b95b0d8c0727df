// The recorder's logic with a capture that makes up its pictures: timing, the swap contract,
// starts and stops, take numbers and sizes. The worker thread compresses for real.
#include "simfeatures/movie_recorder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/alert.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/locks_and_queues.h"
#include "core/thread_layer.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/builtin_images.h"
#include "graphics/screen_2d.h"
#include "graphics/texture_manager.h"
#include "movie_helpers.h"
#include "simfeatures/movie_file.h"
#include "simfeatures/ui_hooks.h"

namespace {

struct fake_capture : qtim_capture {
    int dx = 0, dy = 0, starts = 0, stops = 0, grabs = 0;
    void start(int x, int y) override {
        dx = x;
        dy = y;
        ++starts;
    }
    void stop() override { ++stops; }
    void before_swap(unsigned char* pixels) override {
        const std::vector<uint8_t> p = two_halves_bgra(dx, dy, 0xff0000, 0x0000ff);
        std::memcpy(pixels, p.data(), p.size());
        ++grabs;
    }
    bool after_swap(unsigned char*) override { return true; }
    void settle() override {}
};

int swaps = 0;
void count_swap() { ++swaps; }

class Recorder : public ::testing::Test {
protected:
    // The recording text's font; without a GL context the uploads do nothing.
    static void SetUpTestSuite() { OGL_load_builtin_images(); }
    void SetUp() override {
        reset_recorders();
        saved_path_ = app_path;
        app_path = dir_.path();
        saved_mnw_ = mnw;
        mnw.x_res = 800;
        mnw.y_res = 600;
        old_capture_ = qtim_set_capture(&capture_);
        old_swap_ = OGL_set_swap_hook(count_swap);
        swaps = 0;
        movie_take = 0;
        xtim.sim_time = 0;
        qtim.qt_ok = 1;
        qtim.mov_dx = 320;
        qtim.mov_fps = 20;
    }
    void TearDown() override {
        qtim.stop_thread();
        qtim_set_capture(old_capture_);
        OGL_set_swap_hook(old_swap_);
        mnw = saved_mnw_;
        app_path = saved_path_;
        xtim.sim_time = 0;
    }
    // One frame of the loop: the recorder first, then the shell's swap unless it swapped.
    int frame(float advance) {
        xtim.sim_time += advance;
        const int r = qtim.mov_per_frame();
        if (!r) OGL_sbuff();
        ++frames_;
        return r;
    }
    // Asks for the stop until the frames in flight have come back and it is granted.
    void stop_when_frames_are_back() {
        eventually([] {
            qtim.mov_toggle(0);
            return qtim.state == 0;
        });
        ASSERT_EQ(qtim.state, 0);
    }
    std::string take(int n) { return dir_ / ("Volatra movie take-" + std::to_string(n) + ".mov"); }

    temp_folder dir_;
    fake_capture capture_;
    int frames_ = 0;

private:
    std::string saved_path_;
    mnw_struct saved_mnw_{};
    qtim_capture* old_capture_ = nullptr;
    ogl_swap_fn old_swap_ = nullptr;
};

TEST_F(Recorder, FramesAreTimedOnSimulatedTimeAndSwappedOnce) {
    EXPECT_EQ(frame(0.05f), 0);  // idle
    qtim.mov_toggle(1);
    ASSERT_EQ(qtim.state, 1);
    EXPECT_EQ(qtim.mov_dy, 240);
    EXPECT_EQ(capture_.dx, 320);
    EXPECT_EQ(capture_.dy, 240);
    EXPECT_EQ(frame(0), 0);         // simulated time stands still: nothing drawn
    EXPECT_EQ(frame(0.07f), 1);     // late by less than a period: one period, 30 units
    EXPECT_EQ(frame(0.12f - 0.02f), 1);  // 0.12 after the last stamp: kept, 60 units at most
    EXPECT_EQ(frame(0.01f), 1);     // too soon: only the text and the swap
    EXPECT_EQ(frame(0.5f), 1);
    EXPECT_EQ(capture_.grabs, 3);
    // Width changes count from the next start: the movie keeps its size.
    qtim.mov_dx = 640;
    stop_when_frames_are_back();
    EXPECT_EQ(swaps, frames_);
    EXPECT_EQ(capture_.stops, 1);

    const movie_info m = read_movie(take(1));
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.width, 320);
    EXPECT_EQ(m.height, 240);
    EXPECT_EQ(m.durations, (std::vector<uint32_t>{30, 60, 60}));
    rgb_picture p;
    ASSERT_TRUE(decode_jpeg(m.samples[0], p));
    EXPECT_GE(p.at(160, 5)[0], 250);  // red on top
    EXPECT_GE(p.at(160, 235)[2], 250);
    EXPECT_EQ(mov_duration_units(0), 1);
    EXPECT_EQ(mov_duration_units(0.05f), 30);
    EXPECT_TRUE(recorded_alerts().empty());
}

TEST_F(Recorder, StopsWaitForFramesOnlyWhileSomeAreInFlight) {
    qtim.mov_toggle(1);
    frame(0.06f);
    frame(0.06f);
    // Two frames back are not enough to stop a recording.
    eventually([] {
        qtim.mov_toggle(0);
        return qtim.mov_frames >= 2;
    });
    EXPECT_EQ(qtim.mov_frames, 2);
    qtim.mov_toggle(0);
    EXPECT_EQ(qtim.state, 1);
    // A stop asked for through the state ends the recording with its movie whole.
    frame(0.06f);
    qtim.state = 2;
    frame(0.06f);
    EXPECT_EQ(qtim.state, 0);
    const movie_info m = read_movie(take(1));
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.samples.size(), 3u);
    EXPECT_EQ(swaps, frames_);

    // A start that makes no movie captures nothing, so its stop comes at once.
    qtim.mov_toggle(2);
    EXPECT_EQ(qtim.state, 2);
    EXPECT_EQ(frame(0.06f), 0);
    EXPECT_EQ(qtim.state, 0);
    EXPECT_FALSE(path_exists(take(2)));
    // A recording ended before any frame was sent: no wait, and a movie without pictures.
    qtim.mov_toggle(1);
    qtim.stop_thread();
    EXPECT_EQ(qtim.state, 0);
    const movie_info empty = read_movie(take(2));
    EXPECT_TRUE(empty.ok);
    EXPECT_TRUE(empty.samples.empty());
}

// The file size limit's signal, on the thread whose write it fails: holds the worker there, with
// the failing picture, before it has told anyone.
std::atomic<bool> worker_held{false};
int release_worker[2] = {-1, -1};
void hold_failing_worker(int) {
    worker_held = true;
    char c;
    while (read(release_worker[0], &c, 1) < 0 && errno == EINTR) {
    }
}

// The thread tid of this process is asleep (waiting, not running or about to run).
bool thread_sleeps(pid_t tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const size_t name_end = stat.rfind(')');
    return name_end != std::string::npos && name_end + 2 < stat.size() && stat[name_end + 2] == 'S';
}

// The shut-down's stop after the worker failed on a picture and ended with its fatal alert:
// nobody answers an end of batch then, so the stop finishes the movie without waiting. So does
// a stop that began while the failing picture was still with the worker.
TEST_F(Recorder, AStopAfterTheWorkerFailedFinishesTheMovieWithoutWaitingForIt) {
    mnw.x_res = qtim.mov_dx = 2048;
    mnw.y_res = 1536;
    std::vector<unsigned char> picture;
    const std::vector<uint8_t> pixels = two_halves_bgra(2048, 1536, 0xff0000, 0x0000ff);
    ASSERT_EQ(jpeg_encode_bgra(pixels.data(), 2048, 1536, 75, picture), 0);
    ASSERT_GT(picture.size(), 16384u);  // no picture fits the disc below, the index does
    const int code = result_in_child([&] {
        alarm(30);      // a stop that waits for the worker ends here
        THREAD_init();  // the worker's fatal alert goes to this thread and ends the worker
        limit_file_size(8192);
        qtim.mov_toggle(1);
        frame(0.06f);
        auto* fatal = static_cast<exce_class*>(UTL_message_queue_read(quit_exce, -1));
        if (fatal->line1 != "Could not AddMediaSample.") return 1;
        frame(0.06f);  // one more frame goes nowhere
        qtim.stop_thread();
        const movie_info m = read_movie(take(1));
        if (qtim.state != 0 || !m.ok || !m.samples.empty()) return 2;

        struct sigaction hold = {};
        hold.sa_handler = hold_failing_worker;
        if (pipe(release_worker) != 0 || sigaction(SIGXFSZ, &hold, nullptr) != 0) return 3;
        qtim.mov_toggle(1);
        frame(0.06f);
        if (!eventually([] { return worker_held.load(); })) return 4;
        // Let go once the stop waits for the worker's answer.
        const pid_t stopper = gettid();
        std::thread release([stopper] {
            eventually([stopper] { return thread_sleeps(stopper); });
            if (write(release_worker[1], "", 1) != 1) _exit(5);
        });
        qtim.stop_thread();
        release.join();
        fatal = static_cast<exce_class*>(UTL_message_queue_read(quit_exce, -1));
        if (fatal->line1 != "Could not AddMediaSample.") return 6;
        const movie_info second = read_movie(take(2));
        return qtim.state == 0 && second.ok && second.samples.empty() ? 0 : 7;
    });
    EXPECT_EQ(code, 0);
}

TEST_F(Recorder, TakesSkipExistingFilesAndNeverComeBack) {
    write_file(take(1), "");
    write_file(take(2), "old");
    for (int expected : {3, 4}) {
        qtim.mov_toggle(1);
        frame(0.06f);
        frame(0.06f);
        frame(0.06f);
        stop_when_frames_are_back();
        EXPECT_TRUE(read_movie(take(expected)).ok) << expected;
        remove_tree(take(3));
    }
    EXPECT_FALSE(path_exists(take(3)));
    EXPECT_EQ(read_file(take(2)), "old");
}

TEST_F(Recorder, SizesFollowTheWindowWhichBoundsThem) {
    mnw.x_res = 1280;
    mnw.y_res = 800;
    qtim.mov_toggle(2);
    EXPECT_EQ(qtim.mov_dy, 200);
    EXPECT_EQ(capture_.dx, 320);
    frame(0.05f);
    // Wider than the window: the movie is the window's width, so nothing is read outside it.
    mnw.x_res = 200;
    mnw.y_res = 100;
    qtim.mov_toggle(2);
    EXPECT_EQ(capture_.dx, 200);
    EXPECT_EQ(qtim.mov_dy, 100);
    frame(0.05f);
    // Larger than 2048: the user is told, nothing starts.
    mnw.x_res = 2049;
    qtim.mov_toggle(1);
    EXPECT_EQ(qtim.state, 0);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line1, "Oops!");
    EXPECT_EQ(recorded_alerts()[0].type, t_alert);
    EXPECT_EQ(recorded_alerts()[0].line, 412);
    EXPECT_FALSE(path_exists(take(1)));
    EXPECT_NE(tman.ref_dat.size() > 409 ? tman.ref_dat[409].load_time : tex_unloaded, tex_loaded);
    // Without a movie writer the toggle does nothing.
    mnw.x_res = 800;
    qtim.qt_ok = 0;
    qtim.mov_toggle(1);
    EXPECT_EQ(qtim.state, 0);
    EXPECT_EQ(capture_.starts, 2);
}

std::vector<std::string> fields;
void record_flt(float x, float y, float* v, int digits, int decimals, float lo, float hi, std::string label) {
    fields.push_back("flt " + std::to_string(int(x)) + "," + std::to_string(int(y)) + (v == &qtim.mov_fps ? " fps " : " ? ") +
                     std::to_string(digits) + "." + std::to_string(decimals) + " " + std::to_string(int(lo)) + ".." +
                     std::to_string(int(hi)) + " " + label);
}
void record_int(float x, float y, int* v, int digits, float lo, float hi, std::string label) {
    fields.push_back("int " + std::to_string(int(x)) + "," + std::to_string(int(y)) + (v == &qtim.mov_dx ? " dx " : " ? ") +
                     std::to_string(digits) + " " + std::to_string(int(lo)) + ".." + std::to_string(int(hi)) + " " + label);
}

void record_subwin(float reserve, int style, float x, float y, float w, float h, std::string title, float*, float*) {
    fields.push_back("panel " + std::to_string(int(reserve)) + " " + std::to_string(style) + " " +
                     std::to_string(int(x)) + "," + std::to_string(int(y)) + " " + std::to_string(int(w)) + "x" +
                     std::to_string(int(h)) + " '" + title + "'");
}

TEST_F(Recorder, ThePanelEditsRateAndWidthAndStopsARecording) {
    const sim_ui_hooks old =
        set_sim_ui_hooks({nullptr, nullptr, nullptr, record_subwin, nullptr, record_flt, record_int});
    stls[528] = "rate";
    stls[529] = "width";
    fields.clear();
    qtim.mov_toggle(2);
    qtim.qtim_wind();
    EXPECT_EQ(qtim.state, 0);
    EXPECT_EQ(fields, (std::vector<std::string>{"panel 0 15 -1,-1 -1x296 ''", "flt 150,415 fps 2.0 10..99 rate",
                                                "int 130,365 dx 4 32..2048 width"}));
    stls[528].clear();
    stls[529].clear();
    set_sim_ui_hooks(old);
}

TEST_F(Recorder, AStartWhileAMovieIsOpenIsRefused) {
    qtim.mov_toggle(1);
    qtim.state = 0;  // left without its stop
    qtim.mov_toggle(1);
    EXPECT_EQ(qtim.state, 0);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line1, "Trying to create a movie but one already exists");
    EXPECT_EQ(recorded_alerts()[0].line2, take(2));
    EXPECT_FALSE(path_exists(take(2)));
    qtim.state = 1;  // the first recording still finishes its movie
    qtim.stop_thread();
    EXPECT_TRUE(read_movie(take(1)).ok);
}

}  // namespace

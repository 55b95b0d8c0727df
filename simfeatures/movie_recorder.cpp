// The movie recorder (simulator-side features layer).
#include "simfeatures/movie_recorder.h"

#include <GL/gl.h>
#include <GL/glext.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <vector>

#include "core/alert.h"
#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/locks_and_queues.h"
#include "core/never_destroyed.h"
#include "core/strings.h"
#include "core/thread_layer.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "files/versioned_file.h"
#include "graphics/bitmap_text.h"
#include "graphics/gl_capabilities.h"
#include "graphics/gl_state_cache.h"
#include "graphics/scratch_buffers.h"
#include "graphics/screen_2d.h"
#include "graphics/texture_manager.h"
#include "simfeatures/movie_file.h"
#include "simfeatures/ui_hooks.h"

qtim_class qtim;
int movie_take = 0;

namespace {

constexpr int movie_tex = 409;
constexpr int max_screen = 2048;
constexpr int jpeg_quality = 75;

// A frame on its way to the worker and back. It carries its own size and destination, so the
// worker reads nothing the main thread may change meanwhile.
struct frame_buffer {
    float seconds = 0;
    unsigned char* pixels = nullptr;
    int size = 0;
    int dx = 0, dy = 0;
    bool to_movie = false;
};

int qt_thread_made = 0;
// Read by the worker after each end of batch: 0 ends it. The main thread may set it while the
// worker still reads the value of an earlier batch.
std::atomic<int> control_value{0};
UTL_message_queue* q_to_thread = nullptr;
UTL_message_queue* q_from_thread = nullptr;
pthread_t qt_thread, qt_thread_id, qt_thread_join;
// Main thread only, oldest first. Buffers live as long as the program, reachable from here.
never_destroyed<std::deque<frame_buffer*>> usable_store;
std::deque<frame_buffer*>& usable_buffers = usable_store.value;
float prev_frame_time = 0, start_mov_time = 0;
// The size of the recording in progress, frozen at its start: the panel's width field only
// counts from the next start.
int rec_dx = 0, rec_dy = 0;
bool rec_movie = false;  // this recording writes a movie (it started in state 1)
int sent_since_batch = 0;  // frames sent since the last end-of-batch answer
qt_movie_file movie;
// Main thread: a toggle or the shut-down is inside the recorder. A fatal alert raised there
// shuts the program down, and that shut-down must not come back in.
bool recorder_busy = false;
// The worker met a fatal error and is ending: it answers no end of batch any more.
std::atomic<bool> worker_failed{false};

struct busy_scope {
    busy_scope() { recorder_busy = true; }
    ~busy_scope() { recorder_busy = false; }
};

int frame_bytes() { return rec_dx * rec_dy * 4; }

// Gives the buffer an array of the recording's size.
void fit(frame_buffer* b) {
    if (b->size == frame_bytes() && b->pixels) return;
    delete[] b->pixels;
    b->pixels = new unsigned char[static_cast<size_t>(frame_bytes())];
    b->size = frame_bytes();
}

// Buffers the worker has finished go back to the list; returns how many came.
int take_back() {
    int n = 0;
    while (void* m = UTL_message_queue_read(q_from_thread, 0)) {
        usable_buffers.push_back(static_cast<frame_buffer*>(m));
        ++n;
    }
    return n;
}

// Before the worker's fatal alert, which ends it: a stop waiting for its answer (or one to
// come) is let go, and finishes the movie with the pictures written so far.
void worker_fails() {
    worker_failed = true;
    UTL_message_queue_write(q_from_thread, nullptr);
}

// ---- the GL capture ----

class gl_capture : public qtim_capture {
public:
    void start(int dx, int dy) override {
        dx_ = dx;
        dy_ = dy;
        has_data_ = false;
        async_ = glExt.pbo_avail && !mnw.alias_got;
        if (!async_) return;
        glExt.glGenBuffersARB(1, &pbo_);
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_);
        glExt.glBufferDataARB(GL_PIXEL_PACK_BUFFER_ARB, static_cast<GLsizeiptrARB>(dx) * dy * 4, nullptr,
                              GL_STREAM_READ_ARB);
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
    }
    void stop() override {
        if (pbo_) glExt.glDeleteBuffersARB(1, &pbo_);
        pbo_ = 0;
        has_data_ = false;
    }
    void before_swap(unsigned char* pixels) override {
        if (async_ && has_data_) {
            glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_);
            glExt.glGetBufferSubDataARB(GL_PIXEL_PACK_BUFFER_ARB, 0, static_cast<GLsizeiptrARB>(dx_) * dy_ * 4,
                                        pixels);
            glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
        }
        w_ = std::clamp(mnw.x_res, 0, max_screen);
        h_ = std::clamp(mnw.y_res, 0, max_screen);
        OGL_setstate(1, 1, 3, 4, 9, 11);
        tman.bind_ref(movie_tex, 0, 0);
        glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, w_, h_);
    }
    bool after_swap(unsigned char* pixels) override {
        OGL_setstate(1, 1, 3, 4, 9, 11);
        tman.bind_ref(movie_tex, 0, 0);
        const float ox = mnw.subwin_x, oy = mnw.subwin_y;
        const float s = static_cast<float>(w_) / max_screen, t = static_cast<float>(h_) / max_screen;
        // Upside down, so that reading bottom row first gives the picture's top row first.
        glBegin(GL_QUADS);
        glTexCoord2f(0, t);
        glVertex2f(ox, oy);
        glTexCoord2f(0, 0);
        glVertex2f(ox, oy + static_cast<float>(dy_));
        glTexCoord2f(s, 0);
        glVertex2f(ox + static_cast<float>(dx_), oy + static_cast<float>(dy_));
        glTexCoord2f(s, t);
        glVertex2f(ox + static_cast<float>(dx_), oy);
        glEnd();
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glPixelStorei(GL_PACK_ROW_LENGTH, 0);
        if (!async_) {
            glReadPixels(0, 0, dx_, dy_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
            return true;
        }
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, pbo_);
        glReadPixels(0, 0, dx_, dy_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, nullptr);
        glExt.glBindBufferARB(GL_PIXEL_PACK_BUFFER_ARB, 0);
        const bool had = has_data_;
        has_data_ = true;
        return had;
    }

private:
    int dx_ = 0, dy_ = 0, w_ = 0, h_ = 0;
    bool async_ = false;
    bool has_data_ = false;
    GLuint pbo_ = 0;
};

gl_capture gl_default;
qtim_capture* capture = &gl_default;

}  // namespace

void qtim_capture::settle() { UTL_sleep(1000); }

qtim_capture* qtim_set_capture(qtim_capture* c) {
    qtim_capture* old = capture;
    capture = c ? c : &gl_default;
    return old;
}

int mov_duration_units(float seconds) {
    const float units = seconds * qt_movie_file::time_scale;
    if (!(units >= 1.0f)) return 1;  // also not-a-number
    return units >= 60.0f ? 60 : static_cast<int>(units);
}

// The writer is this program's own: there is nothing to start or stop, so it is always usable.
qtim_class::qtim_class() : qt_ok(1) {}

qtim_class::~qtim_class() = default;

void mov_alert(std::string line1, std::string line2, const char* line3, int error) {
    char num[16];
    int_to_str(error, num, 1, 1);
    __MACIBM_alert(0, line1, line2, line3 ? line3 : "", num, t_exit, "qtim", 86);
}

int qtim_class::mov_per_frame() {
    if (state == 0) return 0;
    if (state == 1) return mov_add_frame();
    mov_toggle(0);
    return 0;
}

void qtim_class::mov_toggle(int new_state) {
    if (!qt_ok) return;
    if (state == 0 && new_state == 0) return;  // nothing to start or stop
    busy_scope busy;
    OGL_setstate(1, 1, 3, 4, 9, 11);
    if (state == 0) {
        state = new_state;
        scratch_dx = scratch_dy = max_screen;
        tman.load_texture(tex_fail_fatal, movie_tex, tex_builtin | 1, tex_loaded, "scratch_array-t_QT_movie");
        mov_startrecord();
        if (state == 0) tman.unload_texture(movie_tex);  // the start was abandoned
        return;
    }
    if (qt_thread_made) mov_frames += take_back();
    // A recording goes on until frames came back; any other state captures nothing more, so
    // waiting would never end.
    if (state == 1 && mov_frames <= 2) return;
    mov_stoprecord();
    tman.unload_texture(movie_tex);
}

void mov_startrecord() {
    if (!qt_thread_made) {
        qt_thread_made = 1;
        UTL_message_queue_create(&q_to_thread);
        UTL_message_queue_create(&q_from_thread);
        THREAD_create(QT_Thread, nullptr, &qt_thread, &qt_thread_id, &qt_thread_join, 1);
    }
    if (mnw.x_res > max_screen || mnw.y_res > max_screen) {
        __MACIBM_alert(0, "Oops!", "You can NOT record movies in Volatra at any Volatra resolution higher that 2048 x 2048!",
                       "This limit is to keep the VRAM requirements of Volatra down.", "", t_alert, "qtim", 412);
        qtim.state = 0;
        return;
    }
    if (mnw.x_res < 1 || mnw.y_res < 1) {
        qtim.state = 0;
        return;
    }
    // Never wider than the window: the read-back must stay inside it.
    rec_dx = std::clamp(qtim.mov_dx, 1, mnw.x_res);
    qtim.mov_dy = std::max(1, mnw.y_res * rec_dx / mnw.x_res);
    rec_dy = qtim.mov_dy;
    rec_movie = qtim.state == 1;
    if (rec_movie) {
        std::string name;
        do {
            name = "Volatra movie take-" + std::to_string(++movie_take) + ".mov";
        } while (xmap_class(name).base);
        const std::string path = app_path + name;
        if (movie.is_open()) {
            __MACIBM_alert(0, "Trying to create a movie but one already exists", path, "", "", t_alert, "qtim", 437);
            qtim.state = 0;
            return;
        }
        if (path.size() > 499) __MACIBM_alert(0, "String too long!", path, "", "", t_exit, __FILE__, __LINE__);
        const int err = movie.create(path, rec_dx, rec_dy);
        if (err) mov_alert("Could not CreateMovieFile to file: " + name, path, "(CreateMovieFile failed)", err);
        capture->settle();
    }
    qtim.mov_frames = 0;
    sent_since_batch = 0;
    prev_frame_time = start_mov_time = xtim.sim_time;
    while (usable_buffers.size() < 3) usable_buffers.push_back(new frame_buffer);
    for (frame_buffer* b : usable_buffers) fit(b);
    capture->start(rec_dx, rec_dy);
}

int qtim_class::mov_add_frame() {
    if (xtim.sim_time == start_mov_time) return 0;
    mov_frames += take_back();
    float dt = xtim.sim_time - prev_frame_time;
    const float period = 1.0f / (mov_fps > 0 ? mov_fps : 20.0f);
    if (usable_buffers.empty() || dt < period) {
        draw_record_lgt();
        OGL_sbuff();
        return 1;
    }
    if (dt < 2 * period) dt = period;
    prev_frame_time += dt;
    frame_buffer* b = usable_buffers.front();
    fit(b);
    capture->before_swap(b->pixels);
    draw_record_lgt();
    OGL_sbuff();
    const bool whole = capture->after_swap(b->pixels);
    b->seconds = dt;
    if (whole) {
        usable_buffers.pop_front();
        b->dx = rec_dx;
        b->dy = rec_dy;
        b->to_movie = rec_movie;
        UTL_message_queue_write(q_to_thread, b);
        ++sent_since_batch;
    }
    return 1;
}

void qtim_class::draw_record_lgt() { OGL_string(57, 10, 10, "Quicktime Movie Recording...", 9999, 100, 0); }

void* QT_Thread(void*) {
    bool attached = false;  // frames came since the last end of batch
    std::vector<unsigned char> picture;
    for (;;) {
        void* m = UTL_message_queue_read(q_to_thread, -1);
        if (m) {
            frame_buffer* b = static_cast<frame_buffer*>(m);
            attached = true;
            if (b->to_movie) {
                int err = jpeg_encode_bgra(b->pixels, b->dx, b->dy, jpeg_quality, picture);
                if (err) {
                    worker_fails();
                    mov_alert("Could not CompressSequenceFrame.",
                              "PLEASE INSTALL THE LATEST JPEG LIBRARY (LIBJPEG-TURBO) FROM YOUR SYSTEM'S PACKAGES.", "",
                              err);
                } else if ((err = movie.add_sample(picture.data(), picture.size(),
                                                   static_cast<uint32_t>(mov_duration_units(b->seconds))))) {
                    worker_fails();
                    mov_alert("Could not AddMediaSample.", "", "AddMediaSample failed.", err);
                }
            }
            UTL_message_queue_write(q_from_thread, b);
            continue;
        }
        if (attached) {
            attached = false;
            UTL_message_queue_write(q_from_thread, nullptr);
        }
        if (!control_value) break;
    }
    return nullptr;
}

void mov_stoprecord() {
    // Only a worker that took frames, and has not failed, answers the end of a batch.
    if (sent_since_batch > 0 && !worker_failed) {
        control_value = 1;
        UTL_message_queue_write(q_to_thread, nullptr);
        while (void* m = UTL_message_queue_read(q_from_thread, -1)) usable_buffers.push_back(static_cast<frame_buffer*>(m));
        sent_since_batch = 0;
    }
    if (rec_movie) {
        if (!movie.is_open()) {
            __MACIBM_alert(0, "Cannot finish record of a movie that was not started!", "", "", "", t_alert, "qtim",
                           355);
        } else {
            const int err = movie.finish();
            if (err) mov_alert("Could not AddMovieResource.", "", "(AddMovieResource failed.)", err);
        }
        rec_movie = false;
    }
    capture->stop();
    qtim.state = 0;
}

void qtim_class::stop_thread() {
    // The shut-down calls this, also from a fatal alert raised inside a start or stop, or on
    // the worker itself where no thread layer hands its alert to the main thread.
    if (recorder_busy || (qt_thread_made && pthread_equal(pthread_self(), qt_thread))) return;
    busy_scope busy;
    if (state != 0) {
        const bool made_movie = rec_movie;
        mov_stoprecord();
        if (made_movie) xer << "Movie take " << movie_take << " finished as the recorder stops.\n";
    }
    if (!qt_thread_made) return;
    control_value = 0;
    UTL_message_queue_write(q_to_thread, nullptr);
    UTL_thread_join(&qt_thread, &qt_thread_join);
    take_back();
    UTL_message_queue_destroy(q_to_thread);
    UTL_message_queue_destroy(q_from_thread);
    q_to_thread = q_from_thread = nullptr;
    qt_thread_made = 0;
    worker_failed = false;
}

void qtim_class::qtim_wind() {
    static float wx1, wy1;
    const sim_ui_hooks& ui = sim_ui();
    ui.fillwin(1, 21);
    ui.subwin(0, 15, -1, -1, -1, 296, "", &wx1, &wy1);
    if (state != 0) mov_toggle(0);
    ui.flt_range(150, 415, &mov_fps, 2, 0, 10, 99, stls[528]);
    ui.int_range(130, 365, &mov_dx, 4, 32, 2048, stls[529]);
    auto line = [](int id, float y) { OGL_string(47, 20, y, stls[id], 600, 100, 0); };
    if (qt_ok) {
        line(724, 285);
    } else {
        line(725, 285);
        line(726, 255);
        line(727, 245);
    }
    const float ys[] = {225, 195, 165, 125, 85};
    for (int i = 0; i < 5; ++i) line(728 + i, ys[i]);
}

// Simulator-side features layer (simfeatures/).
// The movie recorder: at a rate in simulated time it copies the window into a scratch texture,
// draws it scaled to the movie size and upside down, reads it back and hands the pixels to a
// worker thread, which compresses them into JPEG pictures of a QuickTime movie
// ("Volatra movie take-N.mov" in the program folder).
//
// The frame loop calls qtim.mov_per_frame() after drawing and swaps the buffers itself only
// when it returns 0:   if (!qtim.mov_per_frame()) OGL_sbuff();
// Main thread, except QT_Thread.
#pragma once

#include <string>

class qtim_class {
public:
    qtim_class();
    ~qtim_class();
    qtim_class(const qtim_class&) = delete;
    qtim_class& operator=(const qtim_class&) = delete;

    // 1 when the recorder has swapped the buffers itself this frame.
    int mov_per_frame();
    // Idle: starts a recording in new_state (1 makes a movie). Otherwise asks for the stop,
    // which a recording refuses until more than 2 frames have come back.
    void mov_toggle(int new_state);
    // One frame of a recording: 0 when nothing was drawn, 1 when the buffers were swapped.
    int mov_add_frame();
    void draw_record_lgt();
    // One frame of the settings panel.
    void qtim_wind();
    // Ends a recording, its movie finished, and the worker thread: the program's shut-down.
    // Does nothing when called from inside the recorder (a fatal alert of its own) or on its
    // worker.
    void stop_thread();

    int qt_ok = 0;  // the movie writer is usable; toggling does nothing while 0
    int state = 0;  // 0 idle, 1 recording, any other value: stop requested
    int mov_dx = 320;  // wanted movie width (32..2048); the next start takes it
    int mov_dy = 0;    // movie height, set at each start
    float mov_fps = 20.0f;  // frames per second of simulated time (10..99)
    int mov_frames = 0;     // frames the worker has handed back in this recording
};

extern qtim_class qtim;

void mov_startrecord();
void mov_stoprecord();
void* QT_Thread(void* unused);
// The recorder's fatal alert: the error code is the fourth line, with a '+' when positive.
void mov_alert(std::string line1, std::string line2, const char* line3, int error);

// How frames leave the GL. The default draws, copies and reads back with GL (through a pixel
// buffer, one capture late, where the probe found them and the window has no anti-aliasing);
// tests put their own in. Main thread.
class qtim_capture {
public:
    virtual ~qtim_capture() = default;
    // A recording of movies dx x dy starts, and ends.
    virtual void start(int dx, int dy) = 0;
    virtual void stop() = 0;
    // Before the frame is shown: pixels receive the previous capture when it was left in the
    // GPU, and the window's picture is kept for after_swap.
    virtual void before_swap(unsigned char* pixels) = 0;
    // After the swap: the kept picture, scaled and flipped, is read back. True when pixels
    // now hold a whole frame to send.
    virtual bool after_swap(unsigned char* pixels) = 0;
    // The pause between the preparation of a movie and its first frame.
    virtual void settle();
};
// Installs a capture (null: the GL one) and returns the one replaced.
qtim_capture* qtim_set_capture(qtim_capture* capture);

// Take numbers used in this run; the next start tries the one after.
extern int movie_take;
// Units of 1/600 s a frame of `seconds` is shown for: at least 1, at most 60.
int mov_duration_units(float seconds);

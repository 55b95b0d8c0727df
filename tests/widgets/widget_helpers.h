// Widget tests without GL: a painter that records what the widgets draw, and a frame driver that
// sets the mouse and key state in the frame loop's order before calling the widgets.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "widgets/widget_paint.h"
#include "widgets/widget_shell.h"

struct painted {
    std::string kind;  // quads, string, number, line, fill, frame, back, load, image, scissors, scissors_end, swap
    int tex = 0;
    int colour = 0;
    std::vector<atlas_quad> quads;
    float x = 0, y = 0, w = 0, h = 0;  // string/number position; line ends (x, y)-(w, h); rectangles
    float alpha = 0, angle = 0;
    std::string text;
    int font = 0, align = 0;
};

// The rectangle a batch of quads covers.
struct box {
    float l, b, r, t;
};
box bounds(const painted& p);
// The rectangle a string call's text takes: its lines as OGL_string breaks them at the call's
// wrap, each a band 10 high round its base line, placed by the call's alignment.
box text_bounds(const painted& p);

// Records every call while it lives; the painter it replaced comes back afterwards.
class paint_recorder : public widget_painter {
public:
    paint_recorder();
    ~paint_recorder() override;

    std::vector<painted> calls;
    void clear() { calls.clear(); }
    std::vector<painted> of(const std::string& kind) const;
    // The texts of the string calls, in order.
    std::vector<std::string> texts() const;
    const painted* find_text(const std::string& text) const;

    void quads(int tex, int colour, const std::vector<atlas_quad>& q, float alpha) override;
    void quads_rotated(int tex, int colour, float cx, float cy, float degrees, const std::vector<atlas_quad>& q) override;
    float string(int colour, float x, float y, const std::string& text, float wrap, int font, int align) override;
    void number(int colour, float x, float y, float value, int digits, int decimals, int font) override;
    void line(int colour, float alpha, float x1, float y1, float x2, float y2) override;
    void fillrect(int colour, float alpha, float x, float y, float w, float h) override;
    void framerect(int colour, float alpha, float x, float y, float w, float h) override;
    void back_colour() override;
    // Records the load ("load", text = file) and answers load_answer.
    int load_image(int ref, int flags, const std::string& file) override;
    void image(int ref, int colour, float alpha, float x0, float y0, float x1, float y1) override;
    int load_answer = 0;
    void scissors(float x, float y, float w, float h) override;
    void scissors_end() override;
    void swap() override;

private:
    widget_painter* previous_;
};

struct key_event {
    int c, vkey, flags;
};
// A key press (down) and release (up) as the shell's key translation makes them.
std::vector<key_event> key_stroke(int c, int vkey, int shift = 0);
// Each byte of text typed as a stroke.
std::vector<key_event> typed(const std::string& text);

// The frame loop's order for one frame: clear the flags, set the mouse, hand each key to the focus
// ring (against the previous frame's registrations), drop the focus on a press, restart the ring,
// then draw. Starts on the main screen with no focus and a fresh recorder.
class frame_driver {
public:
    frame_driver();
    paint_recorder paint;
    std::vector<int> dispatched;  // BTN_dispatch_to_focus's answers, in order

    void frame(const std::function<void()>& draw, const std::vector<key_event>& keys = {});
    // A frame in which the mouse goes down at (x, y), and one in which it is held there.
    void press(float x, float y, const std::function<void()>& draw);
    void hold(float x, float y, const std::function<void()>& draw);
    // Moves the mouse without a button.
    void move(float x, float y);
    // A press frame then a frame with the button up.
    void click(float x, float y, const std::function<void()>& draw);
    // A press that the time keeper counts as the second of a double click.
    void double_press(float x, float y, const std::function<void()>& draw);

private:
    bool held_ = false;
};

// Sets the current window as the shell would: id, origin and size.
void enter_window(int id, float x, float y, float w, float h);

// One frame of the shell's loop as a modal dialog sees it: the mouse, a press, a double click,
// keys (Return, Escape and Backspace that no widget takes set the shell's flags), the wheel.
struct modal_frame {
    float x = -1000, y = -1000;
    bool press = false, dbl = false;
    std::vector<key_event> keys;
    int wheel = 0;
    std::function<void()> then;  // runs after the frame's input, before the dialog draws
};
modal_frame at(float x, float y);
modal_frame pressed_at(float x, float y);
modal_frame double_pressed_at(float x, float y);
modal_frame with_keys(const std::vector<key_event>& keys);

// Installs itself as the shell the widgets call up to: entering a window sets it as the shell's
// table would, and each frame of the loop plays the next scripted frame; when the script runs
// out the frame closes the sub-window, as its close box would. What each frame drew is kept.
class modal_driver {
public:
    modal_driver();
    ~modal_driver();
    // Starts over with a new script, on the main screen.
    void play(std::vector<modal_frame> frames);
    std::vector<modal_frame> script;
    std::vector<std::vector<painted>> drawn;  // per frame, the last one when the dialog returned
    std::vector<int> windows;                 // each window entered, in order
    int frames_run = 0;
    paint_recorder paint;
    // What the last frame drew, found by its text.
    const painted* last_text(const std::string& text) const;

private:
    static void startwind(int id, int);
    static void event_proc();
    widget_shell_hooks saved_;
    size_t next_ = 0;
};

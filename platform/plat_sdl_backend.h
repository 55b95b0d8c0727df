// Platform layer (platform/).
// Inside the SDL backend: SDL events into Mac-shaped records, and the input script that
// whole-program tests drive the program with. Only the backend and its tests include this.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/plat_window.h"

namespace plat {

// Turns SDL events into the records the frame loop dispatches, and keeps the pointer and the
// modifier state as the events report them (pushed events never reach SDL's own state).
class sdl_event_translator {
public:
    // Appends the records of e to out. next is the event queued right behind e, or null; the
    // result is true when the text input in next belongs to e and was used up.
    bool translate(const SDL_Event& e, const SDL_Event* next, std::deque<event>& out);

    int mouse_x = 0, mouse_y = 0;  // window pixels, y down
    uint32_t modifiers = 0;        // Mac bits

private:
    bool translate_records(const SDL_Event& e, const SDL_Event* next, std::deque<event>& out);
    // The character of each key while it is down, for its key-up (Mac key-ups carry it).
    uint8_t down_char_[SDL_NUM_SCANCODES] = {};
};

// The environment variable naming the input script.
inline constexpr char input_script_env[] = "VOLATRA_INPUT_SCRIPT";

// One line of an input script.
struct script_command {
    enum kind_t {
        none,
        wait_log,
        click,
        // A click whose motion, press and release come in one frame; several points, several
        // such clicks, all in that frame.
        tap,
        // A press at the first point and the release at the second, with their motion, in one frame.
        swipe,
        move,
        press,
        release,
        key,
        type,
        // Every key of a text at once, as typing tools and paste helpers send them.
        burst,
        wheel,
        shot,
        shot_screen,
        sleep,
        quit,   // SDL_QUIT, as SDL sends for the last window
        close   // the window manager's close request to the window, through X
    } kind = none;
    std::string text;   // wait_log text, key name, typed text, shot and shot_screen file
    double number = 0;  // seconds, wheel steps
    int x = 0, y = 0;   // window units, y up
    // tap and swipe: every point in order, (x, y) the first; window units, y up.
    std::vector<std::pair<int, int>> points;
};
// Parses one line; false (why set) when it is not a command. Blank lines and '#' comments give
// kind none.
bool parse_script_line(const std::string& line, script_command* out, std::string* why);

// The SDL events of a key command such as "shift+a" or "Keypad Enter": the modifiers' downs, the
// key's down and its text (the first frame), then its up and the modifiers' ups (the second).
// False when the name is unknown.
bool key_events(const std::string& name, uint32_t window_id, std::vector<SDL_Event>* first,
                std::vector<SDL_Event>* second);
// The events that type one character: a key when the US layout has one, else text alone.
void type_events(uint32_t codepoint, uint32_t window_id, std::vector<SDL_Event>* first,
                 std::vector<SDL_Event>* second);

// Waits until the X server has handled every request of the program (the last swap among them),
// so that every input event it generated before is in the program's queue. Does nothing when the
// window is not on an X display.
void x11_round_trip(SDL_Window* w);

// The whole X screen as it shows now, every window on it: RGB rows from the top. False (why
// set) when the window is not on an X display.
bool read_x11_screen(SDL_Window* w, std::vector<uint8_t>* rgb, int* width, int* height, std::string* why);

// Runs an input script against the window, one step after each buffer swap. A command that
// cannot be carried out ends the program with status 3 and a log line naming the script line.
class input_script {
public:
    // Null when the environment names no script.
    static input_script* from_environment();
    explicit input_script(std::vector<std::string> lines);

    void before_swap(SDL_Window* w);  // takes a screenshot the previous step asked for
    void after_swap(SDL_Window* w);

private:
    [[noreturn]] void fail(const std::string& why);
    bool log_holds(const std::string& text);
    void push_all(const std::vector<SDL_Event>& events);
    void save_shot(SDL_Window* w);
    void save_screen(SDL_Window* w, const std::string& file);
    // RGB rows of stride bytes (negative: the rows run bottom-up) to a PNG file, or fail.
    void write_png(const std::string& file, const uint8_t* rgb, int w, int h, int stride);

    std::vector<std::string> lines_;
    size_t next_ = 0;                // index of the next line to start
    size_t current_ = 0;             // line now running, for messages
    script_command cmd_;             // the command now running
    int phase_ = 0;                  // frames the command has run
    int mouse_x_ = 0, mouse_y_ = 0;  // where the script last put the pointer, window pixels
    uint64_t deadline_ms_ = 0;
    std::vector<SDL_Event> later_;  // events of the command's next frame
    std::deque<uint32_t> to_type_;
    std::string shot_file_;  // taken before the next swap
    size_t log_pos_ = 0;     // wait_log looks for its text after the previous match
};

}  // namespace plat

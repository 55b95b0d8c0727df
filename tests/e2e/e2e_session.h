// Whole-program runs for end-to-end tests: a fresh folder with its own home, configuration,
// desktop, temporary and working folders, an X server of its own (Xvfb with Mesa's software GL),
// a program run there with an input script (VOLATRA_INPUT_SCRIPT), and what it left behind:
// status, log, output and screenshots.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class e2e_session {
public:
    // The folder is <TMPDIR>/e2e-<name>/, emptied first and kept afterwards for a look.
    explicit e2e_session(const std::string& name);
    // Stops the X server.
    ~e2e_session();
    e2e_session(const e2e_session&) = delete;
    e2e_session& operator=(const e2e_session&) = delete;

    // Starts Xvfb with one screen of w x h at 24 bits; false (why set) when it cannot.
    bool start_display(std::string* why, int w = 1280, int h = 1024);
    // The font path (Xvfb's -fp, folders and "built-ins" parted by commas) of the next start_display;
    // empty, as at first, leaves the server's own, which holds whatever X fonts the machine has.
    void set_font_path(const std::string& path) { font_path_ = path; }

    // Runs program with args in the working folder, the script's lines given to it, and waits
    // at most timeout_s seconds (a guard against hangs, not a speed limit). The exit status, or
    // -1 when the program had to be killed or died of a signal. With kill_when, asked every
    // millisecond or so while the program runs, the program is killed (SIGKILL) once it answers true.
    int run(const std::string& program, const std::vector<std::string>& args, const std::string& script,
            int timeout_s = 240, const std::function<bool()>& kill_when = nullptr);
    // Waits at most timeout_s seconds for the programs that a run's program started and left
    // behind (a hand-over): the session adopts them. False when one still runs.
    bool wait_for_adopted(int timeout_s = 240);
    // Sets NAME=VALUE in the next runs' environment (replacing an earlier set_env of NAME).
    void set_env(const std::string& name, const std::string& value);

    const std::string& folder() const { return dir_; }       // ends in '/'
    const std::string& display() const { return display_; }  // ":N", empty before start_display
    std::string home() const { return dir_ + "home/"; }
    std::string work() const { return dir_ + "work/"; }
    std::string desktop() const { return dir_ + "home/Desktop/"; }
    std::string config() const { return dir_ + "home/.config/"; }
    // The program's log on the desktop, its standard output and error of the last run.
    std::string log() const;
    std::string out() const;
    std::string err() const;
    // Everything above in one text, for failure messages.
    std::string report() const;

private:
    std::string dir_;
    std::string display_;  // ":N" once the server runs
    pid_t xvfb_ = -1;
    std::vector<std::string> env_;
    std::string font_path_;
};

// The folder of the X server's scalable (Type1) fonts, which fonts-urw-base35 fills; empty when
// the machine has none.
std::string x_type1_font_folder();

// A picture read back from a PNG file: RGB bytes, rows from the top.
struct e2e_image {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    struct px {
        int r, g, b;
        bool operator==(const px& o) const { return r == o.r && g == o.g && b == o.b; }
    };
    // The pixel at window units (x, y): origin bottom left, y up, as the program draws.
    px at(int x, int y) const;
};
bool read_png(const std::string& path, e2e_image* out);

// Fails the test unless each line is in the log after the one before it.
void expect_in_order(const std::string& log, const std::vector<std::string>& lines);

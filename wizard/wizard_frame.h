// The wizard's frame: the screen protocol, the globals the screens share, and APP_update, which
// draws the fixed frame (background, panels, step list, Quit / Back / Next), calls the current
// screen with a fresh record and draws what the screen put into it.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

struct wizard_screen;
// A screen: called once per frame while current; entered is nonzero on its first frame. It
// fills the record and returns nonzero to move on to the record's next at once.
using screen_fn = int (*)(int entered, wizard_screen& screen);

// Built fresh for every frame.
struct wizard_screen {
    std::string title;
    std::string text;
    screen_fn back = nullptr;  // null: Back disabled
    screen_fn next = nullptr;  // null: Next and auto-advance disabled; wizard_quit: the Quit image
    float progress = -1.0f;    // negative: no bar, no caption
    std::string progress_caption;
    int show_servers = 0;
    std::vector<std::string> choice_labels;
    std::vector<screen_fn> choice_targets;  // at least as many as labels
    void (*on_quit)() = nullptr;            // run by the Quit button before the program ends
};

// The current screen; null ends the program.
extern screen_fn g_wizard;
// The program's first screen (its start menu), where a screen with no other way back leads.
extern screen_fn wizard_first_screen;
// The step list on the left, rebuilt by the screens that begin a flow.
extern std::vector<std::string> step_names;
extern std::vector<screen_fn> step_funcs;
// Clears the step list and fills it with (translated name, screen) pairs.
struct wizard_step {
    const char* name;
    screen_fn fn;
};
void set_steps(std::initializer_list<wizard_step> steps);

// Globals of the wizard (dvd_path, install_name, temp_path, dest_dir_path, stg and next are the
// install engine's, install/install_state.h).
extern std::string cmd_line_path;  // the folder after "-path"
extern std::string server_desc[10];
extern std::vector<std::string> all_ostrands;  // registered copies that exist
extern int current_disk;                       // disc the runs work on, from 0
extern int want_file_disk;                     // history whose disc is wanted next
extern int num_install_errors;
extern int repair_is_running;
extern int dvd_install_is_running;
extern int scenery_install_is_running;
extern int demo_install_is_running;
extern int accept_eula;
extern int accept_eula_demo;

// One frame of the wizard; the shell's frame loop calls it while no modal sub-window is open.
void APP_update();
// Menu commands: the installer has no menu bar.
void APP_handlemenu(int command);
// The shell's quit request (the window was closed): the next APP_update quits as the Quit button
// does, the current screen's on_quit first.
void APP_window_closed();
// The terminal screen: ends the program. Finish screens put it into next.
int wizard_quit(int entered, wizard_screen& screen);

// A sprite button cut from the interface elements image (texture 393): draws texels
// [sx, sx + w] x [sy, sy + h] at (x, y), with hover and press looks when highlight is set and at
// half opacity for look 2. 1 when the mouse went down inside it on this frame.
int interface_rect(float x, float y, float sx, float sy, float w, float h, int highlight, int look);

// The progress bar's fill width for a fraction: 520 x (0.96 p + 0.04), within 20.8 .. 520.
float progress_bar_width(float progress);
// Height of server row i of n.
float server_row_y(int i, int n);

// form with each "%s" and "%d" replaced, in order, by the next value; no other '%' sequence is
// read, so a translated format cannot ask for arguments that are not there.
std::string fill_format(const std::string& form, std::initializer_list<std::string> values);

// Screen names for the log: each file of screens names its screens once, at static set-up, and
// APP_update logs "WIZARD entered <name>" on a screen's first frame (input scripts wait for it).
struct wizard_screen_entry {
    screen_fn fn;
    const char* name;
};
struct wizard_screen_names {
    wizard_screen_names(std::initializer_list<wizard_screen_entry> entries);
};
// The name given to fn, "?" for an unnamed one.
const char* wizard_screen_name(screen_fn fn);

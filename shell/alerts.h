// The shell's alerts, shut-down, language set-up and browser hand-over, installed into the
// hooks of core/alert.h at start-up (MACIBM_install_hooks).
#pragma once

#include <string>

// The alert hook: the language chooser (type 0), a message (1) or a fatal alert (2), drawn in
// sub-window 994 once the GL window stands, else (and when raised while another is shown) the
// platform's stop alert. A fatal alert appends a stack listing to "stack_crawl.txt"; fatal and
// nested alerts shut down and end the process with status 1. The drawn lines keep their places
// while they are short; wrapped, each pushes the ones below down, none passing the box, and a line
// that names one path after its label, too wide, is cut in its middle.
void shell_alert(int return_window, const std::string& line1, const std::string& line2, const std::string& line3,
                 const std::string& line4, int type, const char* file, int line);
// The shut-down hook. A movie being recorded is finished first. With save: the installer's
// preferences and the key bindings are written (not under "--fps_test") and the threads
// stopped. Then the display's depth is restored, the window disposed of and the log closed.
// Only the first call does anything.
void shell_finishup(int save);
// The browser hook: the address goes to the desktop's opener as one argument; an address
// longer than kMaxUrl bytes is refused with the message "String too long!".
void shell_go_to_url(const std::string& url);
inline constexpr size_t kMaxUrl = 499;

// "(file line N)", the source location an alert shows and logs.
std::string alert_location(const char* file, int line);
// The language file for lang: Resources/text/<language>/Installer2.txt, or Resources/Installer2.txt
// for an unknown number.
std::string language_file_path(int lang);
// English clears the translation table; any other language loads its file.
void MACIBM_setupforlang();

// A question in sub-window 995 with two or three buttons (nothing asks it): 1, 2 or 3.
int MACIBM_nuke_alert(const std::string& name, int third_button);
void IBM_turnoff();

// Ends the process with status: streams flushed, the log closed, then _exit, so that nothing
// runs static destructors under worker threads that may still be busy.
[[noreturn]] void shell_end_process(int status);

// Alerts: a message, a fatal error that ends the program, or the language chooser; the shut-down
// and the browser hand-over. Every layer calls these; the shell installs its drawn versions
// through the hooks at start-up. Until then (and in command-line tools) the headless defaults
// serve: lines printed to the terminal, a fatal alert ending the program with status 1.
#pragma once

#include <string>

enum { t_lang = 0, t_alert = 1, t_exit = 2 };

// Shows an alert. Type 2 does not return. Off the main thread the alert is handed to the
// main thread through the thread layer instead; on it the installed alert hook shows it.
void __MACIBM_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* file, int line);

// The source file as an alert shows it: a path the compiler gave (one starting with '/', the
// build folder's) is cut to the file's name; a label such as "GenC/hl_init" stays as it is.
const char* alert_source_name(const char* file);

// Shut-down: closes the log and, with save set, writes the preferences and stops the threads.
void MACIBM_finishup(int save);

// Opens a web address in the user's browser; nothing is reported when that cannot be done.
void go_to_URL(std::string url);

// The hooks. Each setter installs fn (null: the headless default) and returns the hook it
// replaced, so a caller can put it back. Set them on the main thread before other threads run.
using alert_hook_fn = void (*)(int return_window, const std::string& line1, const std::string& line2,
                               const std::string& line3, const std::string& line4, int type, const char* file,
                               int line);
using finishup_hook_fn = void (*)(int save);
using url_hook_fn = void (*)(const std::string& url);
alert_hook_fn set_alert_hook(alert_hook_fn fn);
finishup_hook_fn set_finishup_hook(finishup_hook_fn fn);
url_hook_fn set_url_hook(url_hook_fn fn);

// The headless defaults, for hooks that add to them. A fatal alert flushes, calls
// MACIBM_finishup(0) and ends the process with status 1.
void headless_alert(int return_window, const std::string& line1, const std::string& line2,
                    const std::string& line3, const std::string& line4, int type, const char* file, int line);
void headless_finishup(int save);
void headless_go_to_url(const std::string& url);

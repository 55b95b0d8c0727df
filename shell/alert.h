// Alerts: a message, a fatal error that ends the program, or the language chooser.
#pragma once

#include <string>

enum { t_lang = 0, t_alert = 1, t_exit = 2 };

// Shows an alert. Type 2 does not return. Off the main thread the alert is handed to the
// main thread through the thread layer instead.
void __MACIBM_alert(int return_window, std::string line1, std::string line2, std::string line3,
                    std::string line4, int type, const char* file, int line);

// Shut-down: closes the log and, with save set, writes the preferences and stops the threads.
void MACIBM_finishup(int save);

// Opens a web address in the user's browser; nothing is reported when that cannot be done.
void go_to_URL(std::string url);

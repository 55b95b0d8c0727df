// The desktop's own dialogs: message boxes (SDL), the file and folder chooser (zenity) and the
// hand-over of a web address to the browser (xdg-open). Main thread only; each waits for the
// user except the browser hand-over.
#pragma once

#include <string>

namespace plat {

// A stop alert with one OK button. Without a display the two texts go to standard error and
// count as answered.
void stop_alert(const std::string& text, const std::string& explanation);
// A caution alert with a default and a cancel button: true when the default one was pressed.
// Without a display the message goes to standard error and counts as cancelled.
bool confirm_alert(const std::string& message, const std::string& ok_label, const std::string& cancel_label);

enum choose_mode { choose_open = 0, choose_save = 1, choose_folder = 2 };
enum choose_result { choose_failed = -1, choose_cancelled = 0, choose_chosen = 1 };
// The chooser of mode with title; initial (may be empty) is the item shown first: a folder
// ending in '/', or in save mode a folder and the proposed name. On choose_chosen *path is the
// absolute path of the item; otherwise it is untouched. On choose_failed *why (when given) says
// what went wrong. zenity's chooser takes no label for its action button.
choose_result choose_path(int mode, const std::string& title, const std::string& initial, std::string* path,
                          std::string* why = nullptr);

// Opens url in the user's browser; returns at once. 0, or the errno when the hand-over could
// not be started.
int open_url(const std::string& url);

}  // namespace plat

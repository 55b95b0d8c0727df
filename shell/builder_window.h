// The builder's progress in the program's window: a bar along the lower edge with two lines of
// text, and a poll of the window's events in which a typed q stops the build.
#pragma once

#include <string>

// Starts the program's window for the builder (the shell's start-up, the main screen entered)
// and installs the display and the poll into the builder's hooks. False, with nothing started
// and the hooks left as they are, when there is no display.
bool builder_open_window(int argc, const char* const* argv);
// One display: the lines on a white bar along the lower edge, shown at once; they also go to
// the log.
void builder_window_progress(const std::string& line1, const std::string& line2);
// Takes the events queued for the window: 'q' as soon as one is a lower-case q typed (key down
// or repeat), else 0 once the queue is empty. Every other event is dropped.
int builder_window_key();

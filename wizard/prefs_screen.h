// The installer's preferences screen: the platform whose files are installed, logging of the
// install engine's actions, a fixed number of download streams and the HTTP proxy. It edits the
// values the preference file keeps and saves nothing itself.
#pragma once

#include <string>

// Opens sub-window 2 and runs its own loop until the sub-window is closed or the program is
// asked to end.
void handle_prefs();
// One pass of the screen: draws it and takes this frame's input.
void prefs_frame();
// The proxy port of the port text: its number when that is a port (1 to 65535), else old.
unsigned proxy_port_of(const std::string& text, unsigned old);

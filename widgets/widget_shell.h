// What the widget kit calls up to in the shell, which sits above it: entering a window or
// sub-window, one frame of the shell's loop (the open and save dialog runs its own modal loop)
// and the desktop's file and folder chooser. The shell's start-up installs them:
//     set_widget_shell_hooks({MACIBM_startwind, MACIBM_event_proc, GetFilePathFromUser});
// The defaults serve programs without a window: entering only makes the window current, a frame
// goes back to the main screen (so a modal loop ends at once), and the chooser is cancelled.
#pragma once

#include <string>

struct widget_shell_hooks {
    void (*startwind)(int id, int unused);
    void (*event_proc)();
    // Mode 2 chooses a folder; 1 with path set to the chosen item, 0 when cancelled.
    int (*choose_path)(int mode, const std::string& message, const std::string& button_label,
                       int preference_key, const char* start_folder, std::string& path);
};

// Installs the hooks (null members: the defaults) and returns those replaced.
widget_shell_hooks set_widget_shell_hooks(const widget_shell_hooks& hooks);
// The hooks in effect.
const widget_shell_hooks& widget_shell();

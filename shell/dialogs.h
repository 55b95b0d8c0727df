// The desktop's own dialogs where the drawn interface does not ask itself: the file and folder
// chooser, a stop alert, a confirmation and a progress line; and two byte-order flips. Main
// thread only. Texts are cut to 255 bytes on the way, as the dialogs always took them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

// Mode 0 chooses a file to open, 1 where to save (path holds the proposed name on entry), 2 a
// folder. start_folder (may be null) is shown first when it exists. 1 when the user chose: path
// is then the item's absolute path; 0 when cancelled, for another mode or when the dialog
// failed, with path untouched; a dialog that cannot be shown is also said in an alert. The
// preference key has no meaning here (the desktop remembers), nor the button label (zenity's
// chooser has none: the message, its title, says what the choice is for).
int GetFilePathFromUser(int mode, const std::string& message, const std::string& button_label, int preference_key,
                        const char* start_folder, std::string& path);
// The same into a character array, which takes a chosen path only when it fits (else 0).
template <size_t N>
int GetFilePathFromUser(int mode, const std::string& message, const std::string& button_label, int preference_key,
                        const char* start_folder, char (&path)[N]) {
    std::string chosen(path, strnlen(path, N));
    if (!GetFilePathFromUser(mode, message, button_label, preference_key, start_folder, chosen) ||
        chosen.size() >= N)
        return 0;
    std::memcpy(path, chosen.c_str(), chosen.size() + 1);
    return 1;
}

// The chooser's event callback: nothing to do.
void event_proc(long selector, void* params, void* user_data);
// A stop alert with text and one button; returns once it is closed.
void DoUserAlert(const char* text);
// A caution alert: true when the user pressed the default button, labelled ok_label.
bool ConfirmMessage(const char* message, const char* ok_label, const char* cancel_label);
// Progress of a long step in a 500 x 250 window of its own: the text and, with fraction, a bar
// (0 to 1 done, negative: working without a known end, moving on each call). The window is made
// on the first call and never closed; without one the text still goes to the log.
void ShowProgressMessage(const char* text, float* fraction);
// The bar's value 0 to 1000 for a fraction, -1 for the indeterminate bar.
int progress_bar_value(float fraction);
inline constexpr int progress_width = 500, progress_height = 250;
// The progress window's picture: RGBA, rows from the top. phase moves the indeterminate bar.
std::vector<uint8_t> progress_picture(const std::string& text, const float* fraction, int phase);

void EndianFlipShort(int16_t* value);
// Four bytes, whatever the width of long.
void EndianFlipLong(uint32_t* value);

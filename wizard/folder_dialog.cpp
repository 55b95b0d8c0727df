#include "wizard/folder_dialog.h"

#include "shell/dialogs.h"

bool choose_folder(const std::string& message, const std::string& button, const std::string& start, std::string* out) {
    return GetFilePathFromUser(2, message, button, 1, start.empty() ? nullptr : start.c_str(), *out) == 1;
}

#include "wizard/folder_dialog.h"

#include "core/wx.h"

// The platform's folder dialog arrives with the shell's dialogs; until then no folder is chosen.
bool choose_folder(const std::string& message, const std::string&, const std::string&, std::string*) {
    xer << "No folder dialog: " << message << "\n";
    return false;
}

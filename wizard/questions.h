// The install engine's two questions drawn in their sub-windows: the two-button question (997)
// and the question about a file changed by hand (996). wizard_main installs them in the engine.
#pragma once

#include <string>

int wizard_abort_alert(std::string question, std::string label1, std::string text1, std::string label2,
                       std::string text2);
int wizard_select_alert(std::string path, int is_delete);
void install_wizard_questions();

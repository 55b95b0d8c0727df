#include "wizard/questions.h"

#include "core/globals.h"
#include "core/localisation.h"
#include "core/window_state.h"
#include "graphics/background_and_screenshot.h"
#include "graphics/text_layout.h"
#include "install/disc_pipeline.h"
#include "install/install_run.h"
#include "shell/frame.h"
#include "widgets/widget_kit.h"
#include "wizard/wizard_draw.h"

namespace {
// Background and the sub-window's panel.
void question_frame() {
    OGL_plot_back_col();
    BTN_fillwin(1, 21);
}
// The two-button question's rows, 10 apart from its place at 160 down to 80: the lowest keeps
// clear of the first button, whose top is at 66, and of the caption beside it.
constexpr int kQuestionRows = 9;
// A button that answers and closes the sub-window.
bool answer_button(float x, float y, float w, const std::string& label) {
    if (!BTN_action(x, y, w, 0, 0, label, "-")) return false;
    MACIBM_startwind(0, 0);
    return true;
}
}  // namespace

int wizard_abort_alert(std::string question, std::string label1, std::string text1, std::string label2,
                       std::string text2) {
    MACIBM_startwind(997, 0);
    xer << "WIZARD asks: " << question.substr(0, question.find('\n')) << "\n";
    xer.flush();
    while (mnw.curwin == 997) {
        question_frame();
        const float wrap = mnw.subwin_dx;
        // It may name whole paths: it keeps to the box's width and to its rows.
        wizard_text_within(43, 20, 160, question, wrap - 40, wrap - 40, 0, kQuestionRows);
        wizard_text(43, 150, 53, text1, wrap - 210, 0);
        wizard_text(43, 150, 28, text2, wrap - 210, 0);
        if (answer_button(96, 56, 100, label1)) return 1;
        if (answer_button(96, 31, 100, label2)) return 0;
        MACIBM_event_proc();
    }
    return 3;
}

int wizard_select_alert(std::string path, int is_delete) {
    MACIBM_startwind(996, 0);
    const char* const line1 = is_delete ? "I am about to DELETE:" : "I am about to install:";
    const char* const line2 = is_delete
                                  ? "because we no longer use this file, but it appears you have modified it. What to do?"
                                  : "but it appears you have modified this file. What to do?";
    static const struct {
        float x, y, w;
        const char* install;
        const char* remove;
        int result;
    } buttons[] = {{96, 53, 160, "OVERWRITE THE OLD FILE", "DELETE THE OLD FILE", 1},
                   {96, 28, 160, "KEEP THE OLD FILE", "KEEP THE OLD FILE", 2},
                   {308, 53, 260, "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY", "DELETE EVERY OLD FILE IN THIS DIRECTORY", 4},
                   {308, 28, 260, "KEEP EVERY OLD FILE IN THIS DIRECTORY", "KEEP EVERY OLD FILE IN THIS DIRECTORY", 5},
                   {584, 28, 200, "CANCEL THE WHOLE INSTALLATION!", "CANCEL THE WHOLE INSTALLATION!", 3}};
    while (mnw.curwin == 996) {
        question_frame();
        const float wrap = mnw.subwin_dx - 40;
        wizard_text(43, 20, 100, UTL_translate_string(line1), wrap, 0);
        // Wrapped, a long path would print over the line below: one line, cut in its middle.
        wizard_text(43, 20, 90, OGL_fit_line(path, wrap), 9999, 0);
        wizard_text(43, 20, 80, UTL_translate_string(line2), wrap, 0);
        for (const auto& b : buttons)
            if (answer_button(b.x, b.y, b.w, UTL_translate_string(is_delete ? b.remove : b.install))) return b.result;
        MACIBM_event_proc();
    }
    return 3;
}

void install_wizard_questions() {
    g_abort_alert = wizard_abort_alert;
    g_select_alert = wizard_select_alert;
}

#include "shell_helpers.h"

#include "common/gl_test_context.h"
#include "core/window_state.h"
#include "graphics/builtin_images.h"
#include "shell/frame.h"

bool gl_main_screen() {
    if (!gl_test_context()) return false;
    static bool images = (OGL_load_builtin_images(), true);
    (void)images;
    mnw = mnw_defaults();
    mnw.x_res = 800;
    mnw.y_res = 600;
    mnw.scale = 1;
    MACIBM_startwind(0, 0);
    return true;
}

string_tap::string_tap() : real_(widget_paint()), previous_(set_widget_painter(this)) {}

string_tap::~string_tap() { set_widget_painter(previous_); }

const tapped_string* string_tap::find(const std::string& text) const {
    for (const tapped_string& s : strings)
        if (s.text == text) return &s;
    return nullptr;
}

float string_tap::string(int colour, float x, float y, const std::string& text, float wrap, int font, int align) {
    strings.push_back({colour, x, y, text, wrap, font, align});
    return real_.string(colour, x, y, text, wrap, font, align);
}

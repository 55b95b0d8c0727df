#include "wizard/wizard_frame.h"

#include <map>

#include "core/globals.h"
#include "core/localisation.h"
#include "wizard/dvd_install.h"

screen_fn g_wizard = dvd_start;
screen_fn wizard_first_screen = dvd_start;
std::vector<std::string> step_names;
std::vector<screen_fn> step_funcs;

std::string cmd_line_path;
std::string server_desc[10];
std::vector<std::string> all_ostrands;
int current_disk = 0;
int want_file_disk = 0;
int num_install_errors = 0;
int repair_is_running = 0;
int dvd_install_is_running = 0;
int scenery_install_is_running = 0;
int demo_install_is_running = 0;
int accept_eula = 0;
int accept_eula_demo = 0;

namespace {
std::map<screen_fn, const char*>& screen_names() {
    static std::map<screen_fn, const char*> names;
    return names;
}
}  // namespace

wizard_screen_names::wizard_screen_names(std::initializer_list<wizard_screen_entry> entries) {
    for (const wizard_screen_entry& e : entries) screen_names()[e.fn] = e.name;
}

const char* wizard_screen_name(screen_fn fn) {
    auto it = screen_names().find(fn);
    return it == screen_names().end() ? "?" : it->second;
}

void set_steps(std::initializer_list<wizard_step> steps) {
    step_names.clear();
    step_funcs.clear();
    for (const wizard_step& s : steps) {
        step_names.push_back(UTL_translate_string(s.name));
        step_funcs.push_back(s.fn);
    }
}

std::string fill_format(const std::string& form, std::initializer_list<std::string> values) {
    std::string out;
    auto v = values.begin();
    for (size_t i = 0; i < form.size(); ++i) {
        if (form[i] == '%' && i + 1 < form.size() && (form[i + 1] == 's' || form[i + 1] == 'd') && v != values.end()) {
            out += *v++;
            ++i;
        } else {
            out += form[i];
        }
    }
    return out;
}

float progress_bar_width(float progress) {
    float w = 520.0f * (0.96f * progress + 0.04f);
    return w < 20.8f ? 20.8f : (w > 520.0f ? 520.0f : w);
}

float server_row_y(int i, int n) { return 38.0f + 40.0f * static_cast<float>(n - i); }

int wizard_quit(int, wizard_screen&) {
    app_done = 1;
    return 1;
}

void APP_handlemenu(int) {}


static wizard_screen_names frame_names({{wizard_quit, "wizard_quit"}});

#include "wizard_helpers.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "common/gl_test_context.h"
#include "core/globals.h"
#include "files/archives.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "shell/frame.h"
#include "wizard/dvd_install.h"
#include "wizard/wizard_frame.h"

wizard_world::fixed_folder::fixed_folder() : path_(::testing::TempDir() + "wizard-" + std::to_string(getpid()) + "/") {
    remove_tree(path_);
    write_file(path_ + ".keep", "");
}
wizard_world::fixed_folder::~fixed_folder() { remove_tree(path_); }
std::string wizard_world::fixed_folder::write(const std::string& name, const std::string& content) const {
    write_file(path_ + name, content);
    return path_ + name;
}

wizard_world::wizard_world() {
    write_file(home() + "Desktop/.keep", "");
    write_file(prefs() + ".keep", "");
    write_file(volumes() + ".keep", "");
    write_file(temp() + ".keep", "");
    env_[0] = std::make_unique<scoped_env>("HOME", home().substr(0, home().size() - 1));
    env_[1] = std::make_unique<scoped_env>("XDG_CONFIG_HOME", prefs());
    env_[3] = std::make_unique<scoped_env>("VOLATRA_TEST_VOLUMES", volumes());
    env_[4] = std::make_unique<scoped_env>("VOLATRA_EJECT_COMMAND", std::nullopt);
    env_[2] = std::make_unique<scoped_env>("TMPDIR", temp());
    sim_info.clear();
    std::memset(&stg, 0, sizeof stg);
    stg.platform = 1;
    stg.server_count = -1;
    set_install_filter(1, 1);
    install_name = no_install_name;
    dvd_path.clear();
    dest_dir_path.clear();
    temp_path = temp();
    all_ostrands.clear();
    current_disk = want_file_disk = num_install_errors = 0;
    dvd_install_is_running = scenery_install_is_running = repair_is_running = 0;
    install_marks_ready = 0;
    app_done = 0;
}

wizard_world::~wizard_world() {
    sim_info.clear();
    install_name = no_install_name;
    dvd_path.clear();
    dest_dir_path.clear();
    temp_path.clear();
    app_done = 0;
}

std::string dvd_version_text(const std::string& body, int version, const std::string& type) {
    return "A\n" + std::to_string(version) + " version\n" + type + "\n\n" + body;
}

std::string wizard_world::disc(const std::string& name, const std::string& release, const std::string& manifest_body,
                               bool version_file) {
    const std::string r = volumes() + name + "/";
    if (version_file) write_file(r + "dvd_version.txt", dvd_version_text("VERSION " + release + "\n"));
    const std::string manifest = root / "manifest/directory.txt";
    write_file(manifest, "A\n900 version\nINSTALLER\n\n" + manifest_body);
    write_file(r + release + "/.keep", "");
    EXPECT_EQ(file_to_zip(manifest, r + release + "/directory.txt.zip"), 0);
    return r;
}

void wizard_world::archive(const std::string& disc_root, const std::string& release, const std::string& rel_path) {
    write_file(disc_root + release + "/" + rel_path, "archive");
}

#include "core/window_state.h"

const painted* drawn_text(const paint_recorder& paint, const std::string& text) {
    for (const painted& p : paint.calls)
        if (p.kind == "string" && p.text.find(text) != std::string::npos) return &p;
    return nullptr;
}

namespace {
// Each run of spaces and line feeds as one space.
std::string one_spaced(const std::string& s) {
    std::string out;
    for (char c : s) {
        const bool space = c == ' ' || c == '\n';
        if (!space || out.empty() || out.back() != ' ') out += space ? ' ' : c;
    }
    return out;
}
}  // namespace

const painted* shown_text(const paint_recorder& paint, const std::string& text) {
    // The texts one after another, each ended by a mark that reads as a space or as nothing: a
    // line may have been broken at a space or after a slash.
    const char end_mark = '\x01';
    std::string drawn;
    std::vector<const painted*> owner;
    for (const painted& p : paint.calls)
        if (p.kind == "string") {
            drawn += one_spaced(p.text) + end_mark;
            owner.resize(drawn.size(), &p);
        }
    const std::string want = one_spaced(text);
    const size_t n = want.size();
    // from[k]: 1 + where a match of want's first k characters began that ends where the scan of
    // drawn stands, 0 for none; gap[k]: that match ends in a left-out middle.
    std::vector<size_t> from(n + 1, 0);
    std::vector<bool> gap(n + 1, false);
    for (size_t i = 0; i < drawn.size(); ++i) {
        if (drawn.compare(i, 3, "...") == 0) {
            // A line's middle left out: inside a match, it stands for any characters.
            for (size_t k = 1; k + 1 < n; ++k)
                if (!from[k + 1] && from[k]) from[k + 1] = from[k], gap[k + 1] = true;
            i += 2;
            continue;
        }
        if (drawn[i] == end_mark)
            // The middle is one line's: the match must go on in the line that left it out.
            for (size_t k = 0; k <= n; ++k)
                if (gap[k]) from[k] = 0, gap[k] = false;
        from[0] = i + 1;
        for (size_t k = n; k > 0; --k) {
            const bool step = want[k - 1] == drawn[i] || (drawn[i] == end_mark && want[k - 1] == ' ');
            if (drawn[i] != end_mark || !from[k]) from[k] = step ? from[k - 1] : 0, gap[k] = false;
        }
        if (n && from[n]) return owner[from[n] - 1];
    }
    return nullptr;
}

void wizard_frame(float x, float y, bool down) {
    mnw.curwin = 0;
    mnw.open_menu = -1;
    mnw.subwin_x = mnw.subwin_y = 0;
    mnw.x_res = 800;
    mnw.y_res = 600;
    mnw.mouse_x = x;
    mnw.mouse_y = y;
    mnw.mouse_down = down;
    mnw.mouse_held = down;
    APP_update();
}

void frame_loop_test::SetUp() {
    ASSERT_TRUE(gl_test_context());
    saved = mnw;
    mnw = mnw_defaults();
    mnw.x_res = 800;
    mnw.y_res = 600;
    mnw.scale = 1;
    MACIBM_startwind(0, 0);
}

void frame_loop_test::TearDown() { mnw = saved; }

void frame_loop_test::click_at(int x, int y) {
    frame_gap();
    backend->mouse_h = x;
    backend->mouse_v = 600 - y;
    plat::event e;
    e.what = plat::ev_mouse_down;
    backend->events.push_back(e);
    e.what = plat::ev_mouse_up;
    backend->events.push_back(e);
}

void frame_loop_test::key_return() {
    plat::event e;
    e.what = plat::ev_key_down;
    e.message = (36 << 8) | 13;
    backend->events.push_back(e);
}

void frame_loop_test::frame_gap() { backend->events.push_back(plat::event()); }

void expect_texts_apart_and_inside(const std::vector<painted>& calls, float w, float h) {
    // Each text's box, cut to the scissors it is drawn in; the same text at the same place again
    // is a later frame's.
    std::vector<std::pair<std::string, box>> texts;
    box clip{-1e9f, -1e9f, 1e9f, 1e9f};
    for (const painted& p : calls) {
        if (p.kind == "scissors") clip = {p.x, p.y, p.x + p.w, p.y + p.h};
        if (p.kind == "scissors_end") clip = {-1e9f, -1e9f, 1e9f, 1e9f};
        if (p.kind != "string") continue;
        box b = text_bounds(p);
        b = {std::max(b.l, clip.l), std::max(b.b, clip.b), std::min(b.r, clip.r), std::min(b.t, clip.t)};
        if (std::none_of(texts.begin(), texts.end(), [&](const std::pair<std::string, box>& t) {
                return t.first == p.text && t.second.l == b.l && t.second.b == b.b && t.second.r == b.r;
            }))
            texts.emplace_back(p.text, b);
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        const box& a = texts[i].second;
        EXPECT_TRUE(a.l >= 0 && a.r <= w && a.b >= 0 && a.t <= h) << texts[i].first;
        for (size_t j = i + 1; j < texts.size(); ++j) {
            const box& b = texts[j].second;
            EXPECT_FALSE(a.l < b.r && b.l < a.r && a.b < b.t && b.b < a.t) << texts[i].first << " | " << texts[j].first;
        }
    }
}

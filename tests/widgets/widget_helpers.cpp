#include "widget_helpers.h"

#include <algorithm>
#include <cctype>

#include "core/globals.h"
#include "core/interface_strings.h"
#include "core/window_state.h"
#include "graphics/text_layout.h"
#include "widgets/focus_ring.h"

paint_recorder::paint_recorder() : previous_(set_widget_painter(this)) {}
paint_recorder::~paint_recorder() { set_widget_painter(previous_); }

std::vector<painted> paint_recorder::of(const std::string& kind) const {
    std::vector<painted> out;
    for (const painted& p : calls)
        if (p.kind == kind) out.push_back(p);
    return out;
}

std::vector<std::string> paint_recorder::texts() const {
    std::vector<std::string> out;
    for (const painted& p : calls)
        if (p.kind == "string") out.push_back(p.text);
    return out;
}

const painted* paint_recorder::find_text(const std::string& text) const {
    for (const painted& p : calls)
        if (p.kind == "string" && p.text == text) return &p;
    return nullptr;
}

void paint_recorder::quads(int tex, int colour, const std::vector<atlas_quad>& q, float alpha) {
    painted p;
    p.kind = "quads", p.tex = tex, p.colour = colour, p.quads = q, p.alpha = alpha;
    calls.push_back(p);
}

void paint_recorder::quads_rotated(int tex, int colour, float cx, float cy, float degrees,
                                   const std::vector<atlas_quad>& q) {
    painted p;
    p.kind = "rotated", p.tex = tex, p.colour = colour, p.quads = q, p.x = cx, p.y = cy, p.angle = degrees;
    calls.push_back(p);
}

float paint_recorder::string(int colour, float x, float y, const std::string& text, float wrap, int font, int align) {
    painted p;
    p.kind = "string", p.colour = colour, p.x = x, p.y = y, p.text = text, p.w = wrap, p.font = font, p.align = align;
    calls.push_back(p);
    return y;
}

void paint_recorder::number(int colour, float x, float y, float value, int digits, int decimals, int font) {
    painted p;
    p.kind = "number", p.colour = colour, p.x = x, p.y = y, p.alpha = value, p.font = font;
    p.text = std::to_string(digits) + "." + std::to_string(decimals);
    calls.push_back(p);
}

void paint_recorder::line(int colour, float alpha, float x1, float y1, float x2, float y2) {
    painted p;
    p.kind = "line", p.colour = colour, p.alpha = alpha, p.x = x1, p.y = y1, p.w = x2, p.h = y2;
    calls.push_back(p);
}

void paint_recorder::fillrect(int colour, float alpha, float x, float y, float w, float h) {
    painted p;
    p.kind = "fill", p.colour = colour, p.alpha = alpha, p.x = x, p.y = y, p.w = w, p.h = h;
    calls.push_back(p);
}

void paint_recorder::framerect(int colour, float alpha, float x, float y, float w, float h) {
    painted p;
    p.kind = "frame", p.colour = colour, p.alpha = alpha, p.x = x, p.y = y, p.w = w, p.h = h;
    calls.push_back(p);
}

void paint_recorder::back_colour() {
    calls.emplace_back();
    calls.back().kind = "back";
}

int paint_recorder::load_image(int ref, int flags, const std::string& file) {
    painted p;
    p.kind = "load", p.tex = ref, p.colour = flags, p.text = file;
    calls.push_back(p);
    return load_answer;
}

void paint_recorder::image(int ref, int colour, float alpha, float x0, float y0, float x1, float y1) {
    painted p;
    p.kind = "image", p.tex = ref, p.colour = colour, p.alpha = alpha, p.x = x0, p.y = y0, p.w = x1, p.h = y1;
    calls.push_back(p);
}

void paint_recorder::scissors(float x, float y, float w, float h) {
    painted p;
    p.kind = "scissors", p.x = x, p.y = y, p.w = w, p.h = h;
    calls.push_back(p);
}

void paint_recorder::scissors_end() {
    calls.emplace_back();
    calls.back().kind = "scissors_end";
}
void paint_recorder::swap() {
    calls.emplace_back();
    calls.back().kind = "swap";
}

std::vector<key_event> key_stroke(int c, int vkey, int shift) {
    int mods = shift ? key_flag_shift : 0;
    return {{c, vkey, mods | key_flag_down}, {c, vkey, mods | key_flag_up}};
}

std::vector<key_event> typed(const std::string& text) {
    std::vector<key_event> out;
    for (unsigned char c : text) {
        int vkey = std::isalnum(c) ? std::toupper(c) : (c == ' ' ? 32 : 0);
        for (const key_event& k : key_stroke(c, vkey, std::isupper(c) ? 1 : 0)) out.push_back(k);
    }
    return out;
}

void enter_window(int id, float x, float y, float w, float h) {
    mnw.curwin = id;
    mnw.subwin_x = x, mnw.subwin_y = y, mnw.subwin_dx = w, mnw.subwin_dy = h;
    BTN_unfocus_any();
}

frame_driver::frame_driver() {
    enter_window(0, 0, 0, 800, 600);
    mnw.open_menu = -1;
    mnw.mouse_x = mnw.mouse_y = -1000;
    mnw.mouse_down = mnw.mouse_held = 0;
    stls[1802].clear();
    BTN_begin_focus_ring();
}

void frame_driver::frame(const std::function<void()>& draw, const std::vector<key_event>& keys) {
    bool down = mnw.mouse_down != 0;
    for (const key_event& k : keys) dispatched.push_back(BTN_dispatch_to_focus(k.c, k.vkey, k.flags));
    mnw.mouse_held = held_ ? 1 : 0;
    if (down) BTN_unfocus_any();
    BTN_begin_focus_ring();
    paint.clear();
    draw();
    mnw.mouse_down = 0;
}

void frame_driver::press(float x, float y, const std::function<void()>& draw) {
    mnw.mouse_x = x, mnw.mouse_y = y;
    mnw.mouse_down = 1;
    held_ = true;
    frame(draw);
}

void frame_driver::hold(float x, float y, const std::function<void()>& draw) {
    mnw.mouse_x = x, mnw.mouse_y = y;
    held_ = true;
    frame(draw);
}

void frame_driver::move(float x, float y) {
    mnw.mouse_x = x, mnw.mouse_y = y;
    held_ = false;
}

void frame_driver::click(float x, float y, const std::function<void()>& draw) {
    press(x, y, draw);
    held_ = false;
    frame(draw);
}

void frame_driver::double_press(float x, float y, const std::function<void()>& draw) {
    mnw.mouse_dbl = 1;
    press(x, y, draw);
    mnw.mouse_dbl = 0;
}

modal_frame at(float x, float y) {
    modal_frame f;
    f.x = x, f.y = y;
    return f;
}
modal_frame pressed_at(float x, float y) {
    modal_frame f = at(x, y);
    f.press = true;
    return f;
}
modal_frame double_pressed_at(float x, float y) {
    modal_frame f = pressed_at(x, y);
    f.dbl = true;
    return f;
}
modal_frame with_keys(const std::vector<key_event>& keys) {
    modal_frame f;
    f.keys = keys;
    return f;
}

namespace {
modal_driver* active_modal = nullptr;
}

modal_driver::modal_driver() {
    active_modal = this;
    saved_ = set_widget_shell_hooks({startwind, event_proc, nullptr});
    enter_window(0, 0, 0, 800, 600);
    mnw.open_menu = -1;
    mnw.y_res = 600;
    mnw.mouse_down = mnw.mouse_held = mnw.mouse_dbl = mnw.wheel = 0;
    return_hit = escape_hit = delete_hit = 0;
    BTN_begin_focus_ring();
}

modal_driver::~modal_driver() {
    set_widget_shell_hooks(saved_);
    active_modal = nullptr;
    return_hit = escape_hit = delete_hit = 0;
}

void modal_driver::play(std::vector<modal_frame> frames) {
    script = std::move(frames);
    drawn.clear();
    windows.clear();
    paint.clear();
    frames_run = 0;
    next_ = 0;
    enter_window(0, 0, 0, 800, 600);
}

void modal_driver::startwind(int id, int) {
    modal_driver& m = *active_modal;
    m.windows.push_back(id);
    // The sizes of the shell's table, centred in an 800 x 600 window.
    float w = 800, h = 600;
    if (id == 998) w = 561, h = 474;
    if (id == 999) w = 330, h = 474;
    enter_window(id, id == 0 ? 0 : (800 - w) / 2, id == 0 ? 0 : (600 - h) / 2, w, h);
    mnw.open_menu = -1;
    mnw.mouse_down = mnw.mouse_held = mnw.wheel = 0;
}

void modal_driver::event_proc() {
    modal_driver& m = *active_modal;
    m.drawn.push_back(m.paint.calls);
    m.paint.clear();
    ++m.frames_run;
    return_hit = escape_hit = delete_hit = 0;
    mnw.mouse_down = mnw.mouse_dbl = 0;
    if (m.next_ >= m.script.size()) {
        mnw.curwin = 0;  // the close box
        return;
    }
    const modal_frame& f = m.script[m.next_++];
    mnw.mouse_x = f.x, mnw.mouse_y = f.y;
    for (const key_event& k : f.keys) {
        if (BTN_dispatch_to_focus(k.c, k.vkey, k.flags) || (k.flags & key_flag_up)) continue;
        if (k.vkey == 13) return_hit = 1;
        if (k.vkey == 27) escape_hit = 1;
        if (k.vkey == 8 || k.vkey == 46) delete_hit = 1;
    }
    mnw.wheel += f.wheel;
    mnw.mouse_down = f.press ? 1 : 0;
    mnw.mouse_held = f.press ? 1 : 0;
    mnw.mouse_dbl = f.dbl ? 1 : 0;
    if (f.press) BTN_unfocus_any();
    BTN_begin_focus_ring();
    if (f.then) f.then();
}

const painted* modal_driver::last_text(const std::string& text) const {
    const std::vector<painted>& last = paint.calls.empty() && !drawn.empty() ? drawn.back() : paint.calls;
    for (const painted& p : last)
        if (p.kind == "string" && p.text == text) return &p;
    return nullptr;
}

box bounds(const painted& p) {
    box x{1e9f, 1e9f, -1e9f, -1e9f};
    for (const atlas_quad& q : p.quads)
        x = {std::min(x.l, q.x0), std::min(x.b, q.y0), std::max(x.r, q.x1), std::max(x.t, q.y1)};
    return x;
}

box text_bounds(const painted& p) {
    const std::vector<std::string> lines = OGL_wrap_text(p.text, p.x, p.w, 0).lines;
    float widest = 0;
    for (const std::string& line : lines) widest = std::max(widest, OGL_string_width(line));
    const float left = p.align == 1 ? p.x - widest / 2 : p.align == 2 ? p.x - widest : p.x;
    const float n = static_cast<float>(std::max<size_t>(lines.size(), 1));
    return {left, p.y + 5 - 10 * n, left + widest, p.y + 5};
}

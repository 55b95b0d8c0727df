// Widget kit layer (widgets/).
// Atlas sprites, three- and nine-slice frames, and labels.
#include <cmath>
#include <cstdlib>
#include <vector>

#include "core/window_state.h"
#include "graphics/text_layout.h"
#include "widgets/widget_internals.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

namespace {

struct bar_style {
    int style;
    float u, v;
    float length, mid_end, cap, height, extra, y_shift;
};
constexpr bar_style bar_styles[] = {
    {0, 1, 487, 100, 90, 10, 26, 0, -3},    {1, 102, 487, 100, 80, 20, 26, 0, -3},
    {2, 304, 486, 52, 42, 10, 26, 0, 0},    {3, 304, 459, 52, 42, 10, 26, 0, 0},
    {4, 112, 161, 28, 18, 10, 16, 0, 0},    {5, 83, 161, 28, 18, 10, 16, 0, 0},
    {7, 240, 242, 65, 55, 10, 24, 0, 0},    {8, 289, 219, 16, 9, 7, 16, 0, 0},
    {9, 262, 133, 51, 41, 10, 26, 4, 0},    {10, 357, 488, 68, 42, 26, 24, 4, 0},
};

struct panel_style {
    int style;
    int tex;
    float u, v, tile;
    float corner_x, corner_bottom, corner_top;
    float ox, oy, ot;
    int title_colour;
};
constexpr panel_style panel_styles[] = {
    {11, tex_interface, 1, 358, 100, 35, 30, 30, 9, 14, 4, 40},
    {12, tex_interface, 102, 358, 100, 35, 30, 30, 9, 14, 4, 43},
    {13, tex_interface, 203, 358, 100, 35, 30, 30, 9, 14, 4, 43},
    {14, tex_interface, 304, 358, 100, 35, 30, 30, 9, 14, 4, 43},
    {15, tex_interface, 405, 358, 100, 35, 30, 30, 9, 14, 4, 47},
    {16, tex_interface, 1, 289, 68, 23.8f, 20.4f, 20.4f, 2, 2, 2, 43},
    {17, tex_interface, 70, 315, 42, 20, 26, 14, 8, 13, 2, 43},
    {18, tex_interface, 113, 315, 42, 14.7f, 12.6f, 12.6f, 8, 13, 2, 43},
    {19, tex_interface, 440, 12, 44, 15.4f, 13.2f, 13.2f, 6, 9, 4, 43},
    {20, tex_elements, 982, 2, 41, 14.35f, 12.3f, 12.3f, 1, 1, 1, 43},
};

// One span of a slice row or column: window offsets [s0, s1), image offsets [t0, t1).
struct span {
    float s0, s1, t0, t1;
};

// The title-strip box, its pressed look one row of sprites up.
constexpr float box_u = 129, box_v = 187, box_v_pressed = 206, box_half = 9;

}  // namespace

void BTN_expand_label(const std::string& label, std::string& left, std::string& right, std::string& help) {
    size_t bar = label.rfind('|');
    size_t brace = label.rfind('{');
    if (bar != std::string::npos)
        left = label.substr(0, bar);
    else if (brace != std::string::npos)
        left = label.substr(0, brace);
    else
        left = label;
    if (bar != std::string::npos && (brace == std::string::npos || bar < brace))
        right = label.substr(bar + 1, (brace == std::string::npos ? label.size() : brace) - bar - 1);
    else
        right.clear();
    help = (brace != std::string::npos && brace + 2 <= label.size()) ? label.substr(brace + 2) : std::string();
}

void BTN_util_draw_label(float x, float y, int align, const std::string& label, int highlight) {
    if (label.empty()) return;
    // Label alignment is the reverse of the text call's: 0 ends at x, 2 starts at x.
    int text_align;
    switch (align) {
    case 0: text_align = 2; break;
    case 1: text_align = 1; break;
    case 2: text_align = 0; break;
    default: return;
    }
    bool no_split = label[0] == '-';
    std::string one = no_split ? label.substr(1) : label;
    std::string two;
    size_t split_len = no_split ? 9999 : 12;
    if (align != 1 && label.size() > split_len) {
        long mid = static_cast<long>(one.size() / 2);
        long best = 0;
        for (long i = 0; i < static_cast<long>(one.size()); ++i) {
            char c = one[static_cast<size_t>(i)];
            if ((c == ' ' || c == '-' || c == '/') && std::labs(i - mid) < std::labs(best - mid)) best = i;
        }
        if (best > 0 && best < static_cast<long>(one.size()) - 1) {
            two = one.substr(static_cast<size_t>(best) + 1);
            one.resize(static_cast<size_t>(best));
            y += 5;
        }
    }
    int colour = highlight ? 81 : 43;
    widget_painter& p = widget_paint();
    p.string(colour, x, y, one, 9999, font_prop, text_align);
    if (!two.empty()) p.string(colour, x, y - 10, two, 9999, font_prop, text_align);
}

void BTN_util_element(float x, float y, float u, float v, float half_w, float half_h, int colour) {
    float cx = x + mnw.subwin_x, cy = y + mnw.subwin_y;
    widget_paint().quads(tex_interface, colour,
                         {{cx - half_w, cy - half_h, cx + half_w, cy + half_h, u - half_w, v - half_h, u + half_w,
                           v + half_h}});
}

void BTN_frame1(int style, float x, float y, float w, int colour) {
    const bar_style* s = nullptr;
    for (const bar_style& b : bar_styles)
        if (b.style == style) s = &b;
    if (!s) {
        butn_fatal("Bad BTN_frame1 call!", "", 378);
        return;
    }
    float half = OGL_round_half_away(w / 2);
    float W = 2 * half + s->extra;
    float L = OGL_round_half_away(x) + mnw.subwin_x - W / 2;
    float Y = y + s->y_shift + mnw.subwin_y;
    float cap = s->cap, mid_end = s->mid_end, step = mid_end - cap;
    float n = std::trunc((W - 2 * cap) / step);
    if (n + 1 < -1) return;

    std::vector<span> spans;
    spans.push_back({0, cap, 0, cap});
    for (int i = 0; i <= static_cast<int>(n); ++i) {
        float a = cap + static_cast<float>(i) * step, b = a + step;
        float right = mid_end;
        if (b > W - cap) {
            float cut = W - cap - a;
            if (cut <= 0) break;
            b = W - cap;
            // The image edge of a cut piece scales by mid_end, not by the middle's length.
            right = mid_end > 0 ? cap + cut * step / mid_end : (cap + mid_end) / 2;
            right = std::fmin(std::fmax(right, cap), mid_end);
        }
        spans.push_back({a, b, cap, right});
    }
    spans.push_back({W - cap, W, mid_end, s->length});

    std::vector<atlas_quad> q;
    for (const span& p : spans)
        q.push_back({L + p.s0, Y - s->height / 2, L + p.s1, Y + s->height / 2, s->u + p.t0, s->v, s->u + p.t1,
                     s->v + s->height});
    widget_paint().quads(tex_interface, colour, q);
}

void BTN_frame0(int style, float x, float y, float h) {
    if (style != 6) return butn_fatal("Bad BTN_frame0 call!", "", 304);
    if (x != std::floor(x)) return butn_fatal("BTN_frame0 non-int x_center!", "", 305);
    if (y != std::floor(y)) return butn_fatal("BTN_frame0 non-int y_center!", "", 306);
    float H = 2 * OGL_round_half_away(h / 2) + 8;
    float cx = x + mnw.subwin_x, bottom = y + mnw.subwin_y - H / 2;
    constexpr float u0 = 102, u1 = 122;
    std::vector<span> spans;
    spans.push_back({0, 10, 248, 258});
    int n = static_cast<int>(std::trunc((H - 20) / 20));
    for (int i = 0; i <= n; ++i) {
        float a = 10 + 20.0f * static_cast<float>(i), b = a + 20, top_v = 278;
        if (b > H - 10) {
            float d = H - 10 - a;
            if (d <= 0) break;
            b = H - 10;
            top_v = 248 + std::fmin(std::fmax(10 + d * 2 / 3, 10.0f), 30.0f);
        }
        spans.push_back({a, b, 258, top_v});
    }
    spans.push_back({H - 10, H, 278, 288});
    std::vector<atlas_quad> q;
    for (const span& p : spans) q.push_back({cx - 10, bottom + p.s0, cx + 10, bottom + p.s1, u0, p.t0, u1, p.t1});
    widget_paint().quads(tex_interface, 0, q);
}

bool BTN_window_has_close_boxes(int window_id) {
    switch (window_id) {
    case 1:
    case 2:
    case 992:
    case 993:
    case 997: return true;
    default: return false;
    }
}

namespace {
// Slices of one axis of a nine-slice panel: corner, middles tiled 1:1, corner.
std::vector<span> panel_slices(float total, float c0, float c1, float tile, int min_middles) {
    std::vector<span> out;
    out.push_back({0, c0, 0, c0});
    float step = tile - c0 - c1;
    int n = static_cast<int>(std::trunc((total - c0 - c1) / step));
    int count = std::max(n + 1, min_middles);
    for (int k = 0; k < count; ++k) {
        float a = c0 + static_cast<float>(k) * step, b = a + step, right = tile - c1;
        if (b > total - c1) {
            float cut = total - c1 - a;
            if (cut <= 0) break;
            b = total - c1;
            right = std::fmin(std::fmax(c0 + cut, c0), tile - c1);
        }
        out.push_back({a, b, c0, right});
    }
    out.push_back({total - c1, total, tile - c1, tile});
    return out;
}
}  // namespace

void BTN_frame2(int style, float x, float y, float w, float h, std::string title) {
    const panel_style* s = nullptr;
    for (const panel_style& p : panel_styles)
        if (p.style == style) s = &p;
    if (!s) {
        butn_fatal("Bad BTN_frame2 call!", title, 443);
        return;
    }
    float tx = style == 20 ? x + 10 : x + w / 2 - OGL_string_width(title) / 2;
    float ty = y + h - (style == 11 ? 13 : 16);

    float left = x + mnw.subwin_x - s->ox, bottom = y + mnw.subwin_y - s->oy;
    float Wt = w + 2 * s->ox, Ht = h + s->oy + s->ot;
    std::vector<span> cols = panel_slices(Wt, s->corner_x, s->corner_x, s->tile, 0);
    std::vector<span> rows = panel_slices(Ht, s->corner_bottom, s->corner_top, s->tile, 1);
    std::vector<atlas_quad> q;
    for (const span& r : rows)
        for (const span& c : cols)
            q.push_back({left + c.s0, bottom + r.s0, left + c.s1, bottom + r.s1, s->u + c.t0, s->v + r.t0,
                         s->u + c.t1, s->v + r.t1});
    widget_painter& p = widget_paint();
    p.quads(s->tex, 0, q);
    p.string(s->title_colour, tx, ty, title, 9999, font_prop, 0);

    if (style == 11 && BTN_window_has_close_boxes(mnw.curwin)) {
        float top = mnw.subwin_dy - 10;
        BTN_util_element(16, top, box_u, box_v, box_half, box_half, 0);
        bool pressed_first = mnw.mouse_down && mnw.mouse_x >= 7 && mnw.mouse_x <= 25 &&
                             mnw.mouse_y >= mnw.subwin_dy - 19 && mnw.mouse_y <= mnw.subwin_dy - 1;
        if (!pressed_first) BTN_util_element(mnw.subwin_dx - 16, top, box_u, box_v, box_half, box_half, 0);
    }
}

int BTN_zap_boxes(int alt) {
    float v = alt == 0 ? box_v : box_v_pressed;
    float top = mnw.subwin_dy - 10;
    auto pressed_in = [&](float x0, float x1) {
        return mnw.mouse_down && mnw.mouse_x >= x0 && mnw.mouse_x <= x1 && mnw.mouse_y >= mnw.subwin_dy - 19 &&
               mnw.mouse_y <= mnw.subwin_dy - 1;
    };
    BTN_util_element(16, top, box_u, v, box_half, box_half, 0);
    if (pressed_in(7, 25)) return 1;
    BTN_util_element(mnw.subwin_dx - 16, top, box_u, v, box_half, box_half, 0);
    return pressed_in(mnw.subwin_dx - 25, mnw.subwin_dx - 7) ? 1 : 0;
}

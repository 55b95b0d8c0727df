// The pop-up text list (through the shell's pop-up menu) and the scrolling list with type-ahead.
#include <strings.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "core/menu_table.h"
#include "core/time_keeper.h"
#include "graphics/text_layout.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_internals.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

float io_dx = 290.0f;
float io_dy = 220.0f;

int BTN_textlist(float x, float y, int* value, std::string items, std::string label) {
    std::string left, right, help;
    BTN_expand_label(label, left, right, help);
    std::vector<std::string> item(1);
    for (char c : items) {
        if (c == '|') {
            __MACIBM_alert(0, "Found | char in text string!", items, "", label, t_exit, "OOPS_cpp/butn", 830);
            return 0;
        }
        if (c == '-')
            item.emplace_back();
        else
            item.back() += c;
        if (item.size() > static_cast<size_t>(menu_max_items)) {
            __MACIBM_alert(0, "BTN_text_list overflow!", items, "", label, t_exit, "OOPS_cpp/butn", 834);
            return 0;
        }
    }
    const int n = static_cast<int>(item.size()) - 1;
    int v = std::clamp(*value, 0, n);

    int W = 0;
    for (const std::string& s : item) W = std::max(W, static_cast<int>(OGL_string_width(s)));
    const float half = static_cast<float>(W) / 2;
    BTN_frame1(10, x + 10, y + 5, static_cast<float>(W) + 28, 0);
    BTN_util_draw_label(x - half - 5, y, 0, left, 0);
    BTN_util_draw_label(x + half + 25, y, 2, right, 0);

    const int id = static_cast<int>(y * 1024 + x);
    const bool in_box = mouse_in(x - half - 5, x + half + 25, y - 2, y + 8);
    if (mnw.mouse_down && active_popup_code != id && in_box) active_popup_code = id;
    int result = 0;
    if (select_popup_code == id) {
        v = std::clamp(popup_menu_select, 0, n);
        select_popup_code = 0;
        result = 1;
    }
    if (active_popup_code == id) {
        if (menu.size() <= static_cast<size_t>(popup_menu)) menu.resize(menu_count);
        mnw.open_menu = popup_menu;
        menu_struct& m = menu[popup_menu];
        m.parent = -1;
        m.l = static_cast<int16_t>(static_cast<int>(x - half) - 2);
        m.r = static_cast<int16_t>(static_cast<int>(x + half) + 4);
        m.b = static_cast<int16_t>(static_cast<int>(y - 12.0f * static_cast<float>(n - v)));
        m.t = static_cast<int16_t>(m.b + 12 * n + 12);
        m.items.assign(static_cast<size_t>(n) + 1, item_struct());
        float lowest = 384, highest = 384;
        for (int i = 0; i <= n; ++i) {
            item_struct& it = m.items[static_cast<size_t>(i)];
            const float row = 12.0f * static_cast<float>(i - v);
            it.text = item[static_cast<size_t>(i)];
            it.glyphs = 0;
            it.l = m.l, it.r = m.r;
            it.b = static_cast<int16_t>(static_cast<int>(y - 3 - row));
            it.t = static_cast<int16_t>(static_cast<int>(y + 9 - row));
            lowest = std::min(lowest, static_cast<float>(it.b));
            highest = std::max(highest, static_cast<float>(it.t));
        }
        // One row a frame until the pop-up fits the screen.
        if (lowest < 0) ++v;
        if (highest > static_cast<float>(mnw.y_res)) --v;
    } else {
        widget_paint().string(38, x, y, item[static_cast<size_t>(v)], 9999, font_prop, 1);
        if (in_box) stls[help_string] = help;
    }
    *value = v;
    return result;
}

namespace {

// Shared by every list.
std::string type_ahead;
float last_type_ahead = -1.0f;
int current_list_id = 0;
focus_queue list_keys;

// Icons of the item kinds: atlas columns in 256ths, all rows 41/256 to 47/256.
struct kind_icon {
    int kind;
    float s0;
};
constexpr kind_icon kind_icons[] = {{1, 17}, {3, 24}, {4, 31}, {5, 45}, {9, 52}, {10, 59}, {11, 66}, {7, 73}};

}  // namespace

int BTN_list_and_search(int slider_id, float x, float y, float w, float h, int* scroll, int* selection,
                        int first, int last, std::string* search, const std::string& label,
                        std::string (*get_text)(int, void*), void* text_ref,
                        std::string (*get_text2)(int, void*), void* text2_ref, int (*get_kind)(int, void*),
                        void* kind_ref) {
    x = OGL_round_half_away(x);
    y = OGL_round_half_away(y);
    if (w <= 0) w = io_dx;
    float below = -110, above = 110;
    if (h > 0)
        below = -h / 2, above = h / 2;
    else
        h = io_dy;
    const int R = static_cast<int>(h / 20) - 1;
    const int id = focus_id_at(x, y);
    const bool in_box = mouse_in(x, x + w, y + below, y + above);

    const int focused = list_keys.register_focus(
        id, focus_navigation | focus_letters | focus_digits | focus_plus_minus | focus_printable,
        no_menu_open() && mnw.mouse_down && in_box);
    if (focused && id != current_list_id) {
        type_ahead.clear();
        current_list_id = id;
    }
    // The scroll follows a selection that leaves the visible rows.
    auto follow_down = [&] {
        if (*selection > *scroll + R) *scroll = *selection - R;
    };
    auto follow_up = [&] {
        if (*selection < *scroll - R) *scroll = *selection + R;
    };
    list_keys.drain(id, [&](int c, int vkey, int flags) {
        if (flags & key_flag_up) return;
        if (vkey == 40) {
            ++*selection;
            follow_down();
        } else if (vkey == 38) {
            --*selection;
            follow_up();
        } else if (c >= 32 && c < 127) {
            const float now = xtim.real_time;
            if (now - last_type_ahead > 1.0f) type_ahead.clear();
            last_type_ahead = now;
            type_ahead += static_cast<char>(c);
            for (int k = first; k <= last; ++k) {
                if (strncasecmp(get_text(k, text_ref).c_str(), type_ahead.c_str(), type_ahead.size()) != 0)
                    continue;
                *selection = k;
                follow_down();
                follow_up();
                break;
            }
        }
    });

    if (search) BTN_enterstring(x + 35, y - 131, search, 36, label, 252, 1);
    if (last < first) return 0;
    BTN_frame2(16, x, y + below, w, h, "");
    if (last > first) BTN_vert_slider(slider_id, x + w + 16, y + below, y + above, first, last, scroll);
    if (in_box) {
        *scroll -= mnw.wheel;
        mnw.wheel = 0;
    }
    *scroll = std::clamp(*scroll, first, last);
    int result = 0;
    if (mnw.mouse_down && in_box) {
        const int row = static_cast<int>(OGL_round_half_away((mnw.mouse_y - y) / 10));
        *selection = *scroll - row;
        result = mnw.mouse_dbl ? 1 : 0;
    }
    *selection = std::clamp(*selection, first, last);

    widget_painter& p = widget_paint();
    for (int r = -R; r <= R; ++r) {
        const long long k = static_cast<long long>(*scroll) + r;
        if (k < first || k > last) continue;
        const int i = static_cast<int>(k);
        const float yr = y - 10.0f * static_cast<float>(r);
        p.string(45, x + 20, yr - 3, get_text(i, text_ref), 9999, font_prop, 0);
        if (get_text2) p.string(45, x + 242, yr - 3, get_text2(i, text2_ref), 9999, font_prop, 0);
        if (get_kind) {
            const int kind = get_kind(i, kind_ref);
            for (const kind_icon& icon : kind_icons) {
                if (icon.kind != kind) continue;
                // Atlas 256ths in the 512-pixel atlas.
                const float ox = mnw.subwin_x, oy = mnw.subwin_y;
                p.quads(tex_interface, 0,
                        {{x + 4 + ox, yr - 6 + oy, x + 16 + ox, yr + 6 + oy, 2 * icon.s0, 82,
                          2 * icon.s0 + 12, 94}});
            }
        }
        if (i == *selection) p.fillrect(12, 0.25f, x + 18, yr - 5, w - 22, 10);
    }
    if (focused) p.framerect(45, 1.0f, x, y + below, w, h);
    return result;
}

#include "shell/menu.h"

#include <cctype>

#include "core/alert.h"
#include "core/strings.h"
#include "core/window_state.h"
#include "files/versioned_file.h"
#include "graphics/bitmap_text.h"
#include "graphics/primitives.h"
#include "widgets/widget_kit.h"
#include "widgets/widget_paint.h"

float m_x1 = 0, m_y1 = 0, m_x2 = 0, m_y2 = 0;

namespace {
// Advance of each byte in the menu font; 0 for bytes it has no glyph for.
struct advance_group {
    int advance;
    const char* bytes;
};
constexpr advance_group kAdvances[] = {
    {2, ",."},
    {3, " '/:;I\\`ijl\xFB"},
    {4, "!()-J[]frst"},
    {5, "c"},
    {6, "#$*0123456789?EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA"},
    {7, "+<=>BCKRVXYbdghnopqu"},
    {8, "&ADGHNU"},
    {9, "@OQw"},
    {10, "Mm"},
    {11, "%W"},
};

int byte_advance(unsigned char c) {
    for (const advance_group& g : kAdvances)
        for (const char* p = g.bytes; *p; ++p)
            if (static_cast<unsigned char>(*p) == c) return g.advance;
    return 0;
}

// A fatal alert; the callers return after it all the same.
void menu_fatal(const char* message, const std::string& text, int line) {
    __MACIBM_alert(0, message, "", "", text, t_exit, "GenC/hl_mnw", line);
}

// The item range checks of appending and removing; false for negative indexes (nothing to do).
bool check_item_index(int m, int item, int line, const std::string& text) {
    if (m < 0 || item < 0) return false;
    if (m >= static_cast<int>(menu.size())) {
        menu_fatal("Menu index out of range in append_menu!", text, line);
        return false;
    }
    if (item >= menu_max_items) {
        menu_fatal("Item index out of range in append_menu!", text, line + 1);
        return false;
    }
    return true;
}

int title_x = 0;  // where the next menu-bar title starts

// The menu files' folder of each interface language.
constexpr const char* kMenuFolders[] = {"menus/english/", "menus/french/",    "menus/german/", "menus/italian/",
                                        "menus/spanish/", "menus/portugese/", "menus/korean/"};

// A line "<number> <text>": the number before the first space, the text after the spaces behind it.
void split_menu_line(const std::string& line, int* number, std::string* text) {
    const size_t space = line.find(' ');
    *number = str_to_int(line.substr(0, space));
    const size_t start = space == std::string::npos ? line.size() : line.find_first_not_of(' ', space);
    *text = start == std::string::npos ? std::string() : line.substr(start);
}
}  // namespace

void MACIBM_clear_menus(int all) {
    if (all != 1) return;
    menu.assign(menu_count, menu_struct());
    for (int i = 0; i < menu_count; ++i) MACIBM_clear_menu(i);
}

void MACIBM_clear_menu(int m) {
    menu_struct& mm = menu.at(static_cast<size_t>(m));
    mm.title.clear();
    mm.parent = -1;
    mm.l = mm.b = mm.r = mm.t = 0;
    mm.items.clear();
}

void MACIBM_clear_items(int m) { menu.at(static_cast<size_t>(m)).items.clear(); }

int menu_dx(const std::string& text) {
    if (mnw.lang == 6) return 8 * static_cast<int>(text.size());
    int w = 0;
    for (unsigned char c : text) w += byte_advance(c);
    return w;
}

void MACIBM_create_menu(int m, int parent_code, std::string title) {
    // A negative index or one before the table exists would write outside it.
    if (m < 0 || m >= static_cast<int>(menu.size()) || m > popup_menu)
        return menu_fatal("Menu index out of range in create_menu!", title, 70);
    if (title.size() > 40) title.resize(40);
    menu_struct& mm = menu[static_cast<size_t>(m)];
    mm.title = title;
    int w = menu_dx(title) + 30;
    if (m == 0) title_x = 0;
    if (parent_code == 0) {
        mm.parent = -1;
        mm.l = static_cast<int16_t>(title_x);
        mm.r = static_cast<int16_t>(title_x + w);
        mm.b = static_cast<int16_t>(mnw.y_res - 18);
        mm.t = static_cast<int16_t>(mnw.y_res);
        if (title != "Plugins") title_x = mm.r;
        return;
    }
    int parent = parent_code / menu_max_items;
    int item = parent_code % menu_max_items;
    // A parent item that does not exist has no rectangle to hang from.
    if (parent_code < 0 || parent >= static_cast<int>(menu.size()) ||
        item >= static_cast<int>(menu[static_cast<size_t>(parent)].items.size()))
        return menu_fatal("Menu index out of range in create_menu!", title, 70);
    const item_struct& from = menu[static_cast<size_t>(parent)].items[static_cast<size_t>(item)];
    mm.parent = parent;
    mm.l = from.l;
    mm.b = from.b;
    mm.r = from.r;
    mm.t = from.t;
}

void MACIBM_append_menu(int m, int item, int code, std::string text, int no_glyphs) {
    if (!check_item_index(m, item, 110, text)) return;
    if (text.size() > 39) return menu_fatal("Menu name too long in append_menu!", text, 112);
    menu_struct& mm = menu[static_cast<size_t>(m)];
    if (static_cast<int>(mm.items.size()) < item + 1) mm.items.resize(static_cast<size_t>(item) + 1);
    item_struct& it = mm.items[static_cast<size_t>(item)];
    it.text = text;
    it.code = code;
    it.glyphs = mnw.lang == 6 && no_glyphs == 0 ? 1 : 0;
    int height = !text.empty() && text[0] == '-' ? 2 : it.glyphs ? 14 : 12;
    if (item == 0) {
        it.t = static_cast<int16_t>(mm.parent == -1 ? mm.b - 2 : mm.t - 2);
        it.b = static_cast<int16_t>(mm.parent == -1 ? mm.b - height - 2 : mm.b - 2);
    } else {
        const item_struct& prev = mm.items[static_cast<size_t>(item) - 1];
        it.t = prev.b;
        it.b = static_cast<int16_t>(prev.b - height);
    }
    int width = 0;
    for (int i = 0; i <= item; ++i) {
        int w = menu_dx(mm.items[static_cast<size_t>(i)].text) + 30;
        if (w > width) width = w;
    }
    for (int i = 0; i <= item; ++i) {
        mm.items[static_cast<size_t>(i)].l = mm.l;
        mm.items[static_cast<size_t>(i)].r = static_cast<int16_t>(mm.l + width);
    }
}

void MACIBM_remove_menu_item(int m, int item) {
    if (!check_item_index(m, item, 178, std::string())) return;
    std::vector<item_struct>& items = menu[static_cast<size_t>(m)].items;
    // An item past the end would be erased from beyond the list.
    if (item >= static_cast<int>(items.size()))
        return menu_fatal("Item index out of range in append_menu!", "", 179);
    int height = items[static_cast<size_t>(item)].t - items[static_cast<size_t>(item)].b;
    items.erase(items.begin() + item);
    for (size_t i = static_cast<size_t>(item); i < items.size(); ++i) {
        items[i].t = static_cast<int16_t>(items[i].t + height);
        items[i].b = static_cast<int16_t>(items[i].b + height);
    }
}

void MACIBM_read_menus(std::string folder, std::string file) {
    const int lang = mnw.lang >= 0 && mnw.lang <= 6 ? mnw.lang : 0;
    const std::string path = folder + kMenuFolders[lang] + file;
    xmap_class map(path);
    // A file that is there but empty holds no menus; one that does not begin with the text
    // header is no menu file. The header's version is not checked: every version reads alike.
    const bool empty = map.base && map.cur == map.end;
    if (!map.base || (!empty && *map.cur != 'A' && *map.cur != 'I'))
        return __MACIBM_alert(0, "Cannot open file!", path, "Trash this copy and re-install Volatra.", "", t_exit,
                              "GenC/hl_mnw", 963);
    if (!empty) {
        map.TXT_str_scan_eoln(nullptr);
        map.TXT_str_scan_eoln(nullptr);
    }
    std::string line, text;
    int code = 0;
    for (int m = 0;; ++m) {
        map.TXT_str_scan_eoln(&line);
        if (line.empty()) return;
        split_menu_line(line, &code, &text);
        if (mnw.lang == 6) char_string_to_int_string(&text);
        MACIBM_create_menu(m, code, text);
        // A file that ends without the closing "-" ends its last menu there.
        for (int i = 0;; ++i) {
            map.TXT_str_scan_eoln(&line);
            if (line.empty()) return;
            if (line == "-") break;
            split_menu_line(line, &code, &text);
            MACIBM_append_menu(m, i, code, text, 0);
        }
    }
}

void char_string_to_int_string(std::string* text) {
    if (!text->empty() && ((*text)[0] == '-' || (*text)[0] == '=')) return;
    std::string out;
    size_t i = 0;
    while (i < text->size()) {
        while (i < text->size() && (*text)[i] == ' ') ++i;
        if (i >= text->size()) break;
        int n = 0;
        for (int k = 0; k < 3 && i < text->size() && (*text)[i] != ' '; ++k, ++i) {
            char c = (*text)[i];
            n = n * 10 + (std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
                          : c == '+'                                  ? 1
                          : c == '-'                                  ? -1
                                                                      : 0);
        }
        while (i < text->size() && (*text)[i] != ' ') ++i;
        if (n < 0) continue;
        out += static_cast<char>(n / 127 + 1);
        out += static_cast<char>(n % 127 + 1);
    }
    *text = out;
}

int accept_item(int) { return 1; }

void standard_gui() {
    if (mnw.open_menu < 0 || mnw.open_menu >= static_cast<int>(menu.size())) return;
    int font = mnw.lang == 6 ? 103 : 100;
    const menu_struct& open = menu[static_cast<size_t>(mnw.open_menu)];
    widget_painter& paint = widget_paint();
    if (mnw.open_menu != popup_menu) {
        BTN_frame1(0, mnw.x_res / 2.0f, mnw.y_res - 9.0f, static_cast<float>(mnw.x_res), 0);
        for (const menu_struct& m : menu)
            if (m.parent == -1 && !m.title.empty())
                paint.string(38, m.l + 10.0f, m.b + 6.0f, m.title, 9999, font, 0);
    }

    m_x1 = m_y1 = 9999;
    m_x2 = m_y2 = 0;
    const item_struct* hovered = nullptr;
    for (const item_struct& it : open.items) {
        if (it.text.empty()) continue;
        if (it.l < m_x1) m_x1 = it.l;
        if (it.r > m_x2) m_x2 = it.r;
        if (it.b - 2 < m_y1) m_y1 = it.b - 2;
        if (it.t + 2 > m_y2) m_y2 = it.t + 2;
        bool active = it.text[0] != '-' && it.text[0] != '=';
        if (active && mnw.mouse_x >= it.l && mnw.mouse_x <= it.r && mnw.mouse_y >= it.b &&
            mnw.mouse_y <= it.t - 1)
            hovered = &it;
    }
    if (m_x1 == 9999) m_x1 = m_y1 = 0;
    BTN_frame2(17, m_x1, m_y1, m_x2 - m_x1, m_y2 - m_y1, "");
    if (open.parent == -1) paint.fillrect(36, 0.25f, open.l, open.b, open.r - open.l, open.t - open.b);
    if (hovered)
        paint.fillrect(36, 0.25f, hovered->l, hovered->b, hovered->r - hovered->l, hovered->t - hovered->b);

    const item_struct* prev = nullptr;
    for (const item_struct& it : open.items) {
        if (prev && it.l != prev->l) {
            paint.line(35, 1, it.l - 1.0f, m_y1 - 1, it.l - 1.0f, m_y2);
            paint.line(37, 1, it.l, m_y1 - 1, it.l, m_y2);
        }
        prev = &it;
        if (!it.text.empty() && it.text[0] == '-') {
            paint.line(35, 1, it.l, it.b + 1.0f, it.r - 1.0f, it.b + 1.0f);
            paint.line(37, 1, it.l, it.b, it.r - 1.0f, it.b);
        } else {
            float x = it.l + (mnw.open_menu == popup_menu ? 3.0f : 18.0f);
            paint.string(38, x, it.b + 3.0f, it.text, 9999, it.glyphs ? 103 : 100, 0);
        }
    }
    // The arrow at the right end of an item that has a menu hanging from it.
    for (const menu_struct& m : menu)
        if (m.parent == mnw.open_menu) BTN_util_element(m.r - 8.0f, m.b + 6.0f, 167, 187, 4.5f, 4.5f, 0);
}

// The table of menus that the shell draws and hit-tests, and the hand-over of the widget kit's
// pop-up list (menu 1519), which writes its items here from below the shell. Main thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct item_struct {
    std::string text;    // '-' first: separator; '=' first: disabled
    int code = 0;        // command code handed to the application
    uint8_t glyphs = 0;  // text holds two-byte glyph codes (Korean font)
    int16_t l = 0, b = 0, r = 0, t = 0;
};

struct menu_struct {
    std::string title;
    int parent = -1;  // -1 a menu-bar title, else the menu this one hangs from
    int16_t l = 0, b = 0, r = 0, t = 0;
    std::vector<item_struct> items;
};

inline constexpr int menu_count = 1520;
inline constexpr int popup_menu = 1519;
inline constexpr int menu_max_items = 300;

// Empty until start-up makes its 1520 entries.
extern std::vector<menu_struct> menu;
// The pop-up list's hand-over: the list now open, the list whose choice was just made, the item.
extern int active_popup_code;
extern int select_popup_code;
extern int popup_menu_select;

// Menu data: the table of menus drawn by the shell, and the pop-up list (menu 1519).
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

// Empty until start-up makes its 1520 entries.
extern std::vector<menu_struct> menu;

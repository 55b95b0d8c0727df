// The shell's own menus, drawn with OpenGL: a fixed table of 1,520 menus, each with a title in
// the menu bar (or hanging from an item of another menu) and items with command codes. Menu
// 1519 is the pop-up list of the widget kit. The installer defines no menus; the table stays empty.
#pragma once

#include <string>

#include "core/menu_table.h"

// The open menu's drop-down box, as last drawn.
extern float m_x1, m_y1, m_x2, m_y2;

// With 1: 1520 empty menus. Other values do nothing.
void MACIBM_clear_menus(int all);
void MACIBM_clear_menu(int m);
void MACIBM_clear_items(int m);
// parent_code 0 puts the title in the menu bar; else it hangs from item parent_code % 300 of
// menu parent_code / 300.
void MACIBM_create_menu(int m, int parent_code, std::string title);
void MACIBM_append_menu(int m, int item, int code, std::string text, int no_glyphs);
void MACIBM_remove_menu_item(int m, int item);
// Reads the menus of folder + "menus/<language>/" + file, a versioned text file: for each menu
// a line "<parent code> <title>", then item lines "<command code> <text>" and a line "-". A
// missing file is fatal.
void MACIBM_read_menus(std::string folder, std::string file);
// Width of text in the menu font, in pixels.
int menu_dx(const std::string& text);
// Turns a list of glyph numbers ("200 5") into the Korean font's two-byte codes.
void char_string_to_int_string(std::string* text);
int accept_item(int);
// Draws the menu bar and the open menu; nothing while none is open.
void standard_gui();

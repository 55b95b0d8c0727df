#include "shell/menu.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "common/test_helpers.h"
#include "core/window_state.h"
#include "widget_helpers.h"

namespace {

class Menus : public ::testing::Test {
protected:
    void SetUp() override {
        mnw = mnw_defaults();
        mnw.y_res = 600;
        MACIBM_clear_menus(1);
    }
};

TEST_F(Menus, WidthsFromThePerByteAdvancesOrEightPerByteInKorean) {
    EXPECT_EQ(menu_dx(",I!c#+&@M%\"\xE9\x7F"), 2 + 3 + 4 + 5 + 6 + 7 + 8 + 9 + 10 + 11 + 0 + 6 + 0);
    EXPECT_EQ(menu_dx("File 19"), 6 + 3 + 3 + 6 + 3 + 6 + 6);
    mnw.lang = 6;
    EXPECT_EQ(menu_dx("File 19"), 56);
}

TEST_F(Menus, StartUpLeavesEveryMenuEmptyAndOtherClearsDoNothing) {
    ASSERT_EQ(menu.size(), 1520u);
    for (const menu_struct& m : menu) {
        EXPECT_TRUE(m.title.empty());
        EXPECT_EQ(m.parent, -1);
        EXPECT_EQ(m.l | m.b | m.r | m.t, 0);
        EXPECT_TRUE(m.items.empty());
    }
    MACIBM_create_menu(5, 0, "View");
    MACIBM_clear_menus(0);
    MACIBM_clear_menus(2);
    EXPECT_EQ(menu[5].title, "View");
}

TEST_F(Menus, BarTitlesItemsAndHangingMenusTakeTheirPlaces) {
    MACIBM_create_menu(0, 0, "File");
    MACIBM_create_menu(1, 0, "Plugins");
    MACIBM_create_menu(2, 0, std::string(41, 'x'));
    EXPECT_EQ(menu[0].l, 0);
    EXPECT_EQ(menu[0].r, menu_dx("File") + 30);
    EXPECT_EQ(menu[0].b, 582);
    EXPECT_EQ(menu[0].t, 600);
    EXPECT_EQ(menu[1].l, menu[0].r);
    EXPECT_EQ(menu[2].l, menu[1].l) << "the title after Plugins takes its place";
    EXPECT_EQ(menu[2].title.size(), 40u);

    MACIBM_append_menu(0, 0, 11, "A much longer item", 1);
    MACIBM_append_menu(0, 1, 0, "-", 1);
    MACIBM_append_menu(0, 2, 10, "Open", 1);
    const std::vector<item_struct>& it = menu[0].items;
    EXPECT_EQ(it[0].t, 580);
    EXPECT_EQ(it[0].b, 568);
    EXPECT_EQ(it[1].t, 568);
    EXPECT_EQ(it[1].b, 566) << "a separator is 2 high";
    EXPECT_EQ(it[2].b, 554);
    for (const item_struct& i : it) {
        EXPECT_EQ(i.l, 0);
        EXPECT_EQ(i.r, menu_dx("A much longer item") + 30);
    }

    MACIBM_create_menu(4, 0 * 300 + 2, "More");
    EXPECT_EQ(menu[4].parent, 0);
    EXPECT_EQ(menu[4].b, it[2].b);
    EXPECT_EQ(menu[4].t, it[2].t);
    MACIBM_append_menu(4, 0, 12, "Deeper", 1);
    EXPECT_EQ(menu[4].items[0].t, it[2].t - 2);
    EXPECT_EQ(menu[4].items[0].b, it[2].b - 2);

    MACIBM_remove_menu_item(0, 1);
    ASSERT_EQ(menu[0].items.size(), 2u);
    EXPECT_EQ(menu[0].items[1].b, 556) << "later items move up by the removed height";
    MACIBM_append_menu(-1, 0, 0, "x", 0);
    MACIBM_remove_menu_item(0, -1);
    EXPECT_EQ(menu[0].items.size(), 2u);
}

TEST_F(Menus, IndexesAndTextsOutOfRangeAreFatal) {
    EXPECT_EXIT(MACIBM_create_menu(1520, 0, "t"), ::testing::ExitedWithCode(1),
                "Menu index out of range in create_menu!");
    EXPECT_EXIT(MACIBM_create_menu(-1, 0, "t"), ::testing::ExitedWithCode(1),
                "Menu index out of range in create_menu!");
    EXPECT_EXIT(MACIBM_create_menu(3, 4 * 300 + 3, "t"), ::testing::ExitedWithCode(1),
                "Menu index out of range");
    EXPECT_EXIT(MACIBM_append_menu(0, 300, 0, "t", 0), ::testing::ExitedWithCode(1),
                "Item index out of range in append_menu!");
    EXPECT_EXIT(MACIBM_append_menu(0, 0, 0, std::string(40, 'x'), 0), ::testing::ExitedWithCode(1),
                "Menu name too long in append_menu!");
    MACIBM_append_menu(0, 0, 0, std::string(39, 'x'), 0);
    EXPECT_EXIT(MACIBM_remove_menu_item(0, 1), ::testing::ExitedWithCode(1), "Item index out of range");
}

TEST_F(Menus, TheOpenMenuIsDrawnOverTheBarInABoxRoundItsItems) {
    paint_recorder paint;
    mnw.x_res = 800;
    mnw.open_menu = -1;
    standard_gui();
    EXPECT_TRUE(paint.calls.empty()) << "nothing while no menu is open";

    MACIBM_create_menu(0, 0, "File");
    MACIBM_create_menu(1, 0, "Edit");
    MACIBM_append_menu(0, 0, 1, "Open", 1);
    MACIBM_append_menu(0, 1, 0, "-", 1);
    MACIBM_append_menu(0, 2, 2, "=Off", 1);
    MACIBM_create_menu(2, 0 * 300 + 2, "Recent");  // hangs from "=Off"
    const std::vector<item_struct>& it = menu[0].items;
    mnw.open_menu = 0;
    mnw.mouse_x = it[0].l + 5.0f;
    mnw.mouse_y = it[0].t - 1.0f;  // the item's top row is its upper neighbour's
    standard_gui();
    EXPECT_EQ(m_x1, it[0].l);
    EXPECT_EQ(m_x2, it[0].r);
    EXPECT_EQ(m_y1, it[2].b - 2);
    EXPECT_EQ(m_y2, it[0].t + 2);

    const painted* file = paint.find_text("File");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->colour, 38);
    EXPECT_EQ(file->x, menu[0].l + 10.0f);
    EXPECT_EQ(file->y, menu[0].b + 6.0f);
    EXPECT_TRUE(paint.find_text("Edit"));
    EXPECT_FALSE(paint.find_text("Recent")) << "only the bar's own titles";
    const painted* open = paint.find_text("Open");
    ASSERT_TRUE(open);
    EXPECT_EQ(open->x, it[0].l + 18.0f);
    EXPECT_EQ(open->y, it[0].b + 3.0f);
    EXPECT_TRUE(paint.find_text("=Off")) << "a disabled item is listed";

    // The title, then the hovered item, lit; the separator as two lines.
    std::vector<painted> fills = paint.of("fill");
    ASSERT_EQ(fills.size(), 2u);
    EXPECT_EQ(fills[0].colour, 36);
    EXPECT_FLOAT_EQ(fills[0].alpha, 0.25f);
    EXPECT_EQ(fills[0].y, menu[0].b);
    EXPECT_EQ(fills[0].h, menu[0].t - menu[0].b);
    EXPECT_EQ(fills[1].y, it[0].b);
    EXPECT_EQ(fills[1].w, it[0].r - it[0].l);
    std::vector<painted> lines = paint.of("line");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].colour, 35);
    EXPECT_EQ(lines[0].y, it[1].b + 1.0f);
    EXPECT_EQ(lines[0].h, it[1].b + 1.0f) << "level";
    EXPECT_EQ(lines[0].w, it[1].r - 1.0f);
    EXPECT_EQ(lines[0].alpha, 1);
    EXPECT_EQ(lines[1].colour, 37);
    EXPECT_EQ(lines[1].y, it[1].b);
    // The arrow of the menu hanging from "=Off", at that item's right end.
    const painted arrow = paint.of("quads").back();
    EXPECT_EQ(bounds(arrow).l, menu[2].r - 8 - 4.5f);
    EXPECT_EQ(bounds(arrow).b, menu[2].b + 6 - 4.5f);
    EXPECT_EQ(arrow.quads[0].u0, 167 - 4.5f);

    // A disabled item is never lit; an empty menu has an empty box.
    paint.clear();
    mnw.mouse_y = it[2].b + 1.0f;
    standard_gui();
    EXPECT_EQ(paint.of("fill").size(), 1u);
    mnw.open_menu = 1;
    standard_gui();
    EXPECT_EQ(m_x1 + m_y1 + m_x2 + m_y2, 0);

    // The pop-up list: no bar, items from their left edge.
    MACIBM_append_menu(popup_menu, 0, 0, "one", 1);
    paint.clear();
    mnw.open_menu = popup_menu;
    standard_gui();
    EXPECT_FALSE(paint.find_text("File"));
    ASSERT_TRUE(paint.find_text("one"));
    EXPECT_EQ(paint.find_text("one")->x, menu[popup_menu].items[0].l + 3.0f);
}

TEST_F(Menus, GlyphNumbersBecomeTwoByteCodes) {
    struct row {
        std::string in, out;
    };
    for (const row& r : {row{"200 5", std::string("\x02\x4A\x01\x06")}, row{"-sep", "-sep"},
                         row{"=off", "=off"}, row{"1+ 9x", std::string("\x01\x0C\x01\x5B")}, row{"", ""},
                         row{"0 -1", std::string("\x01\x01")}}) {
        std::string t = r.in;
        char_string_to_int_string(&t);
        EXPECT_EQ(t, r.out) << r.in;
    }
    mnw.lang = 6;
    MACIBM_append_menu(0, 0, 0, "ko", 0);
    MACIBM_append_menu(0, 1, 0, "en", 1);
    EXPECT_EQ(menu[0].items[0].glyphs, 1);
    EXPECT_EQ(menu[0].items[0].b - menu[0].items[0].t, -14);
    EXPECT_EQ(menu[0].items[1].glyphs, 0);
}

TEST_F(Menus, MenuFilesOfEveryLanguageGiveTitlesAndItems) {
    temp_folder dir;
    const char* const folders[] = {"english", "french", "german", "italian", "spanish", "portugese", "korean"};
    const std::string file =
        "A\n800 version\n"
        "0 File  Menu\n10 Open\n0 -\n11 Quit now\n-\n"
        "2 More\n12 Deeper\n-\n";
    for (int lang = 0; lang < 6; ++lang) {
        MACIBM_clear_menus(1);
        mnw.lang = lang;
        dir.write(std::string("menus/") + folders[lang] + "/bar.txt", file);
        MACIBM_read_menus(dir.path(), "bar.txt");
        EXPECT_EQ(menu[0].title, "File  Menu") << folders[lang];
        ASSERT_EQ(menu[0].items.size(), 3u) << folders[lang];
        EXPECT_EQ(menu[0].items[0].code, 10);
        EXPECT_EQ(menu[0].items[1].text, "-");
        EXPECT_EQ(menu[0].items[2].text, "Quit now");
        EXPECT_EQ(menu[0].items[2].code, 11);
        EXPECT_EQ(menu[1].parent, 0) << "parent code 2 hangs it from item 2 of menu 0";
        EXPECT_EQ(menu[1].t, menu[0].items[2].t);
        ASSERT_EQ(menu[1].items.size(), 1u);
        EXPECT_EQ(menu[2].title, "");
    }
    // Korean: titles are glyph numbers, turned into the glyph font's byte pairs.
    MACIBM_clear_menus(1);
    mnw.lang = 6;
    dir.write("menus/korean/bar.txt", "A\n800 version\n0 200 5\n10 x\n-\n");
    MACIBM_read_menus(dir.path(), "bar.txt");
    EXPECT_EQ(menu[0].title, std::string("\x02\x4A\x01\x06"));
    EXPECT_EQ(menu[0].items[0].glyphs, 1);
}

TEST_F(Menus, EmptyAndUnfinishedMenuFilesEndWhereTheyEnd) {
    temp_folder dir;
    mnw.lang = 9;  // a language number no folder belongs to reads English's
    dir.write("menus/english/empty.txt", "");
    MACIBM_read_menus(dir.path(), "empty.txt");
    EXPECT_TRUE(menu[0].title.empty());

    dir.write("menus/english/header.txt", "A\r\n800 version\r\n");
    MACIBM_read_menus(dir.path(), "header.txt");
    EXPECT_TRUE(menu[0].title.empty());

    // No final "-"; CR LF line ends; a blank line ends nothing, the end of the file does.
    dir.write("menus/english/open.txt", "A\r\n800 version\r\n0 View\r\n\r\n20 Zoom in\r\n21   Zoom out  ");
    MACIBM_read_menus(dir.path(), "open.txt");
    EXPECT_EQ(menu[0].title, "View");
    ASSERT_EQ(menu[0].items.size(), 2u);
    EXPECT_EQ(menu[0].items[1].text, "Zoom out  ");
    EXPECT_EQ(menu[0].items[1].code, 21);
    EXPECT_TRUE(menu[1].title.empty());
}

TEST_F(Menus, AMenuFileThatCannotBeOpenedIsFatal) {
    temp_folder dir;
    EXPECT_EXIT(MACIBM_read_menus(dir.path(), "none.txt"), ::testing::ExitedWithCode(1),
                "Cannot open file!(.|\n)*menus/english/none.txt(.|\n)*Trash this copy and re-install Volatra.");
    dir.write("menus/english/bad.txt", "0 File\n-\n");
    EXPECT_EXIT(MACIBM_read_menus(dir.path(), "bad.txt"), ::testing::ExitedWithCode(1), "Cannot open file!");
}

}  // namespace

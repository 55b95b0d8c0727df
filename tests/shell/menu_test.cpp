#include "shell/menu.h"

#include <gtest/gtest.h>

#include "core/mnw.h"

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

TEST_F(Menus, GlyphNumbersBecomeTwoByteCodes) {
    struct row {
        std::string in, out;
    };
    for (const row& r : {row{"200 5", std::string("\x02\x4A\x01\x06")}, row{"-sep", "-sep"},
                         row{"=off", "=off"}, row{"1+ 9x", std::string("\x01\x0C\x01\x5B")}, row{"", ""}}) {
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

}  // namespace

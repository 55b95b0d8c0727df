// The pop-up text list and the scrolling list with type-ahead.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/menu_table.h"
#include "core/time_keeper.h"
#include "core/window_state.h"
#include "graphics/text_layout.h"
#include "widget_helpers.h"
#include "widgets/focus_ring.h"
#include "widgets/widget_kit.h"

namespace {

class PopUp : public ::testing::Test {
protected:
    frame_driver driver;
    int value = 0, result = -1;
    std::string items = "a-b-c";
    float y = 300;
    std::function<void()> list = [this] {
        result = BTN_textlist(200, y, &value, items, "Pick:|after{ help");
    };
    int id() const { return static_cast<int>(y * 1024 + 200); }
    void SetUp() override {
        mnw.y_res = 600;
        active_popup_code = select_popup_code = popup_menu_select = 0;
    }
    void TearDown() override {
        active_popup_code = select_popup_code = 0;
        mnw.open_menu = -1;
    }
};

TEST_F(PopUp, ClosedItShowsTheClampedItem) {
    value = 7;
    driver.frame(list);
    EXPECT_EQ(value, 2);
    const painted* c = driver.paint.find_text("c");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->colour, 38);
    EXPECT_EQ(c->align, 1);
    EXPECT_FLOAT_EQ(c->x, 200);
    items = "";
    value = -3;
    driver.frame(list);
    EXPECT_EQ(value, 0);
    EXPECT_TRUE(driver.paint.find_text(""));
}

TEST_F(PopUp, AClickOpensItsItemsAroundTheCurrentOne) {
    items = "a--b";
    value = 1;
    const int W = static_cast<int>(std::max(OGL_string_width("a"), OGL_string_width("b")));
    const float half = static_cast<float>(W) / 2;
    driver.press(200 + half + 25, y + 8, list);  // the hit box's corner
    EXPECT_EQ(active_popup_code, id());
    EXPECT_EQ(mnw.open_menu, popup_menu);
    const menu_struct& m = menu.at(popup_menu);
    EXPECT_EQ(m.parent, -1);
    EXPECT_EQ(m.l, static_cast<int>(200 - half) - 2);
    EXPECT_EQ(m.r, static_cast<int>(200 + half) + 4);
    EXPECT_EQ(m.b, y - 12);
    EXPECT_EQ(m.t, y - 12 + 36);
    ASSERT_EQ(m.items.size(), 3u);
    EXPECT_EQ(m.items[1].text, "");  // not selectable in the shell's menu
    EXPECT_EQ(m.items[1].b, y - 3);
    EXPECT_EQ(m.items[0].t, y + 9 + 12);
    EXPECT_EQ(m.items[2].b, y - 3 - 12);
    EXPECT_FALSE(driver.paint.find_text("b"));  // open, the shell draws the items
}

TEST_F(PopUp, OpenNearTheBottomItRisesARowAFrame) {
    items = "a-b-c-d";
    y = 20;
    driver.press(200, 20, list);
    EXPECT_EQ(value, 1);  // the lowest item, d, went below 0
    driver.frame(list);
    EXPECT_EQ(value, 2);
    driver.frame(list);
    EXPECT_EQ(value, 2);
    EXPECT_GE(menu.at(popup_menu).items.back().b, 0);
}

TEST_F(PopUp, TheShellsChoiceIsTakenOnlyByItsOwnList) {
    driver.press(200, y, list);
    // What the shell's click handling does on an item.
    select_popup_code = id() + 1;
    popup_menu_select = 2;
    active_popup_code = 0;
    mnw.open_menu = -1;
    driver.frame(list);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(select_popup_code, id() + 1);  // waiting for its own list
    select_popup_code = id();
    driver.frame(list);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(value, 2);
    EXPECT_EQ(select_popup_code, 0);
    EXPECT_EQ(mnw.open_menu, -1);
}

TEST_F(PopUp, ThreeHundredItemsAtMost) {
    items = std::string(299, '-');
    value = 400;
    driver.frame(list);
    EXPECT_EQ(value, 299);
    items += "-";
    EXPECT_EXIT(driver.frame(list), ::testing::ExitedWithCode(1), "BTN_text_list overflow!");
    items = "a|b";
    EXPECT_EXIT(driver.frame(list), ::testing::ExitedWithCode(1), "Found \\| char in text string!");
}

std::vector<std::string> names(int n) {
    std::vector<std::string> v;
    for (int i = 0; i < n; ++i) v.push_back("item " + std::to_string(i));
    return v;
}

// A list at (100, 300) over callbacks of a vector.
class ListSearch : public ::testing::Test {
protected:
    frame_driver driver;
    std::vector<std::string> rows = names(100);
    std::vector<int> kinds = std::vector<int>(100, 0);
    int scroll = 50, selection = 50, first = 0, last = 99, result = -1;
    float h = 0;
    std::function<void()> list = [this] {
        result =
            BTN_list_and_search(2, 100, 300, 0, h, &scroll, &selection, first, last, nullptr, "",
                                BTN_name_from_vector, &rows, nullptr, nullptr, BTN_type_from_vector, &kinds);
    };
    void TearDown() override {
        mnw.wheel = 0;
        xtim.real_time = 0;
    }
    std::vector<std::string> drawn_rows() {
        std::vector<std::string> out;
        for (const painted& p : driver.paint.of("string"))
            if (p.x == 120) out.push_back(p.text);
        return out;
    }
    void focus() { driver.click(150, 300, list); }
};

TEST_F(ListSearch, DefaultsShowTwentyOneRowsOfAtlasWidth) {
    driver.frame(list);
    std::vector<std::string> r = drawn_rows();
    ASSERT_EQ(r.size(), 21u);
    EXPECT_EQ(r.front(), "item 40");
    EXPECT_EQ(r.back(), "item 60");
    EXPECT_FLOAT_EQ(driver.paint.find_text("item 40")->y, 300 + 100 - 3);
    const painted hl = driver.paint.of("fill").at(0);
    EXPECT_FLOAT_EQ(hl.w, 290 - 22);
    EXPECT_FLOAT_EQ(hl.alpha, 0.25f);
    EXPECT_TRUE(driver.paint.of("frame").empty());
    focus();
    ASSERT_EQ(driver.paint.of("frame").size(), 1u);
    EXPECT_FLOAT_EQ(driver.paint.of("frame")[0].h, 220);
}

TEST_F(ListSearch, ClicksSelectByRowAndDoubleClicksAct) {
    struct {
        float y;
        bool dbl;
        int selection, result;
    } cases[] = {
        {300, false, 50, 0}, {285, true, 52, 1},  {305, false, 49, 0},
        {410, false, 39, 0}, {500, false, 50, 0},
    };
    for (const auto& c : cases) {
        selection = 50;
        if (c.dbl)
            driver.double_press(150, c.y, list);
        else
            driver.press(150, c.y, list);
        EXPECT_EQ(selection, c.selection) << "y " << c.y;
        EXPECT_EQ(result, c.result) << "y " << c.y;
    }
    scroll = selection = 95;
    driver.double_press(150, 195, list);  // rows past the last are clamped to it
    EXPECT_EQ(selection, 99);
    EXPECT_EQ(result, 1);
}

TEST_F(ListSearch, TheWheelScrollsInsideTheBoxOnly) {
    mnw.wheel = 3;
    driver.move(150, 300);
    driver.frame(list);
    EXPECT_EQ(scroll, 47);
    EXPECT_EQ(mnw.wheel, 0);
    mnw.wheel = 3;
    driver.move(50, 300);
    driver.frame(list);
    EXPECT_EQ(scroll, 47);
    EXPECT_EQ(mnw.wheel, 3);
}

TEST_F(ListSearch, ArrowKeysMoveTheSelectionAndTheScrollFollows) {
    focus();
    selection = 60;  // the bottom row
    driver.frame(list, key_stroke(0, 40));
    EXPECT_EQ(selection, 61);
    EXPECT_EQ(scroll, 51);
    driver.frame(list, key_stroke(0, 38));
    EXPECT_EQ(scroll, 51);
    selection = 41;
    driver.frame(list, key_stroke(0, 38));
    EXPECT_EQ(selection, 40);
    EXPECT_EQ(scroll, 50);
}

TEST_F(ListSearch, TypeAheadWithinASecondExtendsTheSearch) {
    rows = {"alpha", "Bravo", "brass", "Broom", "charlie", "brown"};
    kinds.assign(6, 0);
    first = 0, last = 5, scroll = selection = 0;
    focus();
    xtim.real_time = 10;
    driver.frame(list, typed("b"));
    EXPECT_EQ(selection, 1);
    xtim.real_time = 10.9f;
    driver.frame(list, typed("R"));
    EXPECT_EQ(selection, 1);  // "br": Bravo, in either case
    xtim.real_time = 11.5f;
    driver.frame(list, typed("o"));
    EXPECT_EQ(selection, 3);  // "bro"
    xtim.real_time = 13;
    driver.frame(list, typed("c"));
    EXPECT_EQ(selection, 4);  // a pause: "c" alone
    driver.frame(list, typed("x"));
    EXPECT_EQ(selection, 4);  // "cx" matches nothing
}

TEST_F(ListSearch, AShortListHasNoRowsButItsPanelAndClicks) {
    h = 19;  // R = -1
    driver.press(150, 300, list);
    EXPECT_TRUE(drawn_rows().empty());
    EXPECT_FALSE(driver.paint.of("quads").empty());
    EXPECT_EQ(selection, 50);
    h = 0;
    first = last = 7;
    driver.frame(list);
    EXPECT_EQ(drawn_rows(), std::vector<std::string>{"item 7"});
    const size_t panel_only = driver.paint.of("quads").size();
    last = 8;
    driver.frame(list);
    EXPECT_GT(driver.paint.of("quads").size(), panel_only);  // the scroll bar
    last = 6;
    driver.frame(list);
    EXPECT_TRUE(driver.paint.calls.empty());
}

}  // namespace

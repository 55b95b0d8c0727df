#include "widgets/focus_ring.h"

#include <gtest/gtest.h>

#include "core/window_state.h"

namespace {

// A widget's own queue, as the kit's fields keep them.
struct queue {
    int chars[64] = {}, vkeys[64] = {}, flags[64] = {}, ids[64] = {};
    int count = 0;
    int reg(int id, int mask, int take = 0, int capacity = 64) {
        return BTN_register_focus(id, chars, vkeys, flags, ids, &count, capacity, mask, take);
    }
};

constexpr int down = key_flag_down, up = key_flag_up, shift = key_flag_shift;

class FocusRing : public ::testing::Test {
protected:
    void SetUp() override {
        mnw.curwin = 0;
        BTN_unfocus_any();
        BTN_begin_focus_ring();
    }
    queue a, b, c;
    // One frame's registrations, in Tab order.
    void ring(int take_b = 0) {
        BTN_begin_focus_ring();
        a.reg(10, focus_mask_text);
        b.reg(20, focus_mask_text, take_b);
        c.reg(30, focus_mask_text);
    }
};

}  // namespace

TEST(FocusKeyClass, VirtualKeysFirstThenCharacters) {
    struct k {
        int c, vkey, bit;
    } cases[] = {
        {9, 9, focus_tab},          {13, 13, focus_return},    {3, 187, focus_return},
        {8, 8, focus_delete},       {127, 46, focus_delete},   {27, 27, focus_escape},
        {1, 36, focus_navigation},  {'a', 37, focus_navigation},  // the vkey decides, not the char
        {'+', 0, focus_plus_minus}, {'-', 189, focus_plus_minus}, {'7', 55, focus_digits},
        {'Z', 90, focus_letters},   {' ', 32, focus_printable}, {'~', 0, focus_printable},
        {1, 0, focus_other},        {0x85, 0, focus_other},
        // Beyond ASCII a character (a code point, as typed) is printable.
        {0xE9, 0, focus_printable}, {0x3A9, 0, focus_printable},
    };
    for (const k& x : cases) EXPECT_EQ(focus_key_class(x.c, x.vkey), x.bit) << x.c << "/" << x.vkey;
}

TEST_F(FocusRing, TextFieldMaskQueuesEditingKeysAndLeavesTheRestToTheShell) {
    ring(1);
    EXPECT_EQ(BTN_dispatch_to_focus(13, 13, down), 0);
    EXPECT_EQ(BTN_dispatch_to_focus(3, 187, down), 0);
    EXPECT_EQ(BTN_dispatch_to_focus(27, 27, down), 0);
    EXPECT_EQ(BTN_dispatch_to_focus(1, 0, down | 4), 0);  // a control character
    const int queued[][2] = {{8, 8}, {127, 46}, {28, 37}, {'q', 'Q'}, {'5', '5'}, {'+', 0}, {'-', 0}, {' ', 32}, {',', 0}};
    for (auto& k : queued) EXPECT_EQ(BTN_dispatch_to_focus(k[0], k[1], down), 1) << k[0];
    EXPECT_EQ(BTN_dispatch_to_focus('q', 'Q', up), 1);  // key-ups are queued too; the field ignores them
    ASSERT_EQ(b.count, 10);
    EXPECT_EQ(b.chars[3], 'q');
    EXPECT_EQ(b.vkeys[1], 46);
    EXPECT_EQ(b.flags[9], up);
    EXPECT_EQ(b.ids[0], 20);
    EXPECT_EQ(a.count + c.count, 0);
}

TEST_F(FocusRing, TabWalksTheRingBothWaysAndWraps) {
    ring();
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down), 1);  // nothing focused: the first one
    EXPECT_EQ(focus_id, 10);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down | shift), 1);  // first to last
    EXPECT_EQ(focus_id, 30);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, up), 0);  // a key-up never moves it
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down), 1);  // last to first
    EXPECT_EQ(focus_id, 10);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down), 1);
    EXPECT_EQ(focus_id, 20);

    BTN_begin_focus_ring();
    b.reg(20, focus_mask_text);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down), 1);  // alone: keeps it
    EXPECT_EQ(focus_id, 20);
}

TEST_F(FocusRing, AWidgetThatTakesTabGetsItInItsQueue) {
    BTN_begin_focus_ring();
    a.reg(10, focus_mask_text | focus_tab, 1);
    b.reg(20, focus_mask_text);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down), 1);
    EXPECT_EQ(focus_id, 10);
    EXPECT_EQ(a.count, 1);
    EXPECT_EQ(a.vkeys[0], 9);
}

TEST_F(FocusRing, AFocusedWidgetNoLongerDrawnLosesTheFocus) {
    ring(1);
    BTN_begin_focus_ring();
    a.reg(10, focus_mask_text);
    EXPECT_EQ(BTN_dispatch_to_focus('x', 'X', down), 0);
    EXPECT_EQ(focus_id, 0);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down), 1);
    EXPECT_EQ(focus_id, 10);
    BTN_begin_focus_ring();
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down), 0);  // an empty ring leaves Tab to the shell
}

TEST_F(FocusRing, AlertsTakeTheirKeysDirectly) {
    ring(1);
    mnw.curwin = 994;
    EXPECT_EQ(BTN_dispatch_to_focus('x', 'X', down), 0);
    EXPECT_EQ(BTN_dispatch_to_focus(9, 9, down), 0);
    EXPECT_EQ(focus_id, 20);
    EXPECT_EQ(b.count, 0);
}

TEST_F(FocusRing, TheLaterOfTwoTakersKeepsTheFocus) {
    BTN_begin_focus_ring();
    EXPECT_EQ(a.reg(10, focus_mask_text, 1), 1);
    EXPECT_EQ(b.reg(20, focus_mask_text, 1), 1);
    EXPECT_EQ(c.reg(30, focus_mask_text), 0);
    EXPECT_EQ(focus_id, 20);
    EXPECT_EQ(BTN_no_focus_yet(), 0);
    BTN_unfocus_any();
    EXPECT_EQ(BTN_no_focus_yet(), 1);
    BTN_window_has_focus();
    EXPECT_EQ(BTN_no_focus_yet(), 0);
    BTN_focus_any();
    EXPECT_EQ(focus_id, 10);
}

TEST_F(FocusRing, AFullQueueIsNeverOverrun) {
    int chars[2], vkeys[2], flags[2], ids[2], count = 0;
    BTN_begin_focus_ring();
    BTN_register_focus(40, chars, vkeys, flags, ids, &count, 2, focus_mask_text, 1);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(BTN_dispatch_to_focus('a', 'A', down), 1);
    EXPECT_EQ(count, 2);
}

TEST(FocusIdAt, PositionsGiveIdsAndNoneIsZero) {
    EXPECT_EQ(focus_id_at(10.9f, 20.5f), 20 + 8192 * 10);
    EXPECT_EQ(focus_id_at(-3.5f, 7), 7 - 3 * 8192);
    EXPECT_NE(focus_id_at(0, 0), 0);
    EXPECT_NE(focus_id_at(0.4f, 0.9f), 0);
    focus_id_at(1e30f, -1e30f);  // defined, whatever it gives
}

TEST_F(FocusRing, KeysForAWidgetThatIsNotDrawnAgainDoNotFillTheQueue) {
    // Two fields share one queue, as the kit's text fields do.
    focus_queue shared;
    auto draw = [&](bool with_first) {
        BTN_begin_focus_ring();
        if (with_first) shared.register_focus(100, focus_mask_text, 0);
        shared.register_focus(200, focus_mask_text, 0);
    };
    std::string got;
    auto take = [&](int id) { shared.drain(id, [&](int ch, int, int) { got += static_cast<char>(ch); }); };
    draw(true);
    focus_id = 100;
    for (int round = 0; round < 100; ++round) {
        // The first field is focused, gets a key, then its screen goes away before it drains.
        draw(true);
        focus_id = 100;
        BTN_dispatch_to_focus('k', 'K', down);
        draw(false);
        take(200);
    }
    EXPECT_EQ(got, "");
    EXPECT_LE(shared.count, 1);
    // The second field still receives its keys.
    focus_id = 200;
    BTN_dispatch_to_focus('z', 'Z', down);
    draw(false);
    take(200);
    EXPECT_EQ(got, "z");
}

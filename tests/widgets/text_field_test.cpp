// The text field: focus, editing through the queue, drawing and the length limits.
#include <gtest/gtest.h>

#include <cstring>

#include "core/window_state.h"
#include "graphics/text_layout.h"
#include "widget_helpers.h"
#include "widgets/focus_ring.h"
#include "widgets/text_field.h"
#include "widgets/widget_kit.h"

namespace {

constexpr int vk_left = 37, vk_right = 39, vk_home = 36, vk_end = 35, vk_page_up = 33, vk_delete = 46;

class TextField : public ::testing::Test {
protected:
    frame_driver driver;
    std::string a = "hello", b = "world";
    int changed_a = 0, changed_b = 0;
    int max_a = 100;
    // Field A at (100, 100), 200 wide; field B below it.
    std::function<void()> fields = [this] {
        changed_a = BTN_enterstring(100, 100, &a, max_a, "Name:|after", 200, 0);
        changed_b = BTN_enterstring(100, 60, &b, 100, "", 200, 0);
    };
    void SetUp() override {
        // Another field first, so that each test's first focus counts as newly gained.
        std::string other;
        driver.frame([&] { BTN_enterstring(5, 5, &other, 10, "", 50, 1); });
        BTN_unfocus_any();
        driver.frame(fields);
    }
    void keys(const std::vector<key_event>& k) { driver.frame(fields, k); }
    void tab_in() { keys(key_stroke(9, 9)); }
    float x_after(const std::string& s, size_t n) { return 100 + OGL_string_width(s.substr(0, n)); }
};

}  // namespace

TEST_F(TextField, TabSelectsAllAndTheFirstKeyReplacesIt) {
    tab_in();
    auto fill = driver.paint.of("fill");
    ASSERT_EQ(fill.size(), 1u);
    EXPECT_FLOAT_EQ(fill[0].w, OGL_string_width("hello"));
    EXPECT_FLOAT_EQ(fill[0].h, 11);
    EXPECT_EQ(fill[0].colour, 8);
    keys(typed("Jo"));
    EXPECT_EQ(a, "Jo");
    EXPECT_EQ(changed_a, 1);
    keys(key_stroke(9, 9));  // on to B, whose text is selected
    keys(typed("x"));
    EXPECT_EQ(b, "x");
    EXPECT_EQ(changed_b, 1);
    EXPECT_EQ(changed_a, 0);
}

TEST_F(TextField, AClickPlacesTheCaretAndKeysEditThere) {
    driver.click(x_after(a, 1), 104, fields);  // the byte that crosses the point counts
    keys(typed("X"));
    EXPECT_EQ(a, "hXello");
    keys(key_stroke(8, 8));
    keys(key_stroke(8, 8));
    EXPECT_EQ(a, "ello");
    driver.click(x_after(a, 2) - 1, 100, fields);
    keys(key_stroke(29, vk_right, 1));
    keys(key_stroke(29, vk_right, 1));
    keys(typed("-"));
    EXPECT_EQ(a, "el-");
    auto line = driver.paint.of("line");
    ASSERT_EQ(line.size(), 1u);  // the caret, in colour 45
    EXPECT_EQ(line[0].colour, 45);
    EXPECT_FLOAT_EQ(line[0].x, x_after(a, 3));
    EXPECT_FLOAT_EQ(line[0].y, 98);
    EXPECT_FLOAT_EQ(line[0].h, 109);
}

TEST_F(TextField, KeyUpsAreIgnoredAndAutoRepeatActs) {
    driver.click(300, 100, fields);
    keys({{'a', 'A', key_flag_up}, {'b', 'B', 0}, {'c', 'C', key_flag_down}});
    EXPECT_EQ(a, "hellobc");
}

TEST_F(TextField, TypingStopsAtTheMaximumLength) {
    max_a = 8;
    driver.click(300, 100, fields);
    keys(typed("abc"));
    EXPECT_EQ(a, "helloabc");
    keys(typed("d"));
    EXPECT_EQ(a, "helloabc");
    EXPECT_EQ(changed_a, 1);
    EXPECT_EQ(driver.paint.find_text("helloabc") != nullptr, true);  // shown cut in that frame
}

// A character beyond ASCII reaches the field as its code point (as the key translation hands it
// on) and stays in the text as UTF-8; the arrows, Backspace, Delete and the length limit take it
// whole.
TEST_F(TextField, CharactersBeyondAsciiAreKeptAsUtf8AndEditedWhole) {
    driver.click(300, 100, fields);
    keys(key_stroke(0xDF, 0));   // sharp s
    keys(key_stroke(0x3A9, 0));  // Omega
    EXPECT_EQ(a, "hello\xC3\x9F\xCE\xA9");
    keys(key_stroke(28, vk_left));
    keys(typed("x"));
    EXPECT_EQ(a, "hello\xC3\x9Fx\xCE\xA9");
    keys(key_stroke(8, 8));
    keys(key_stroke(8, 8));
    EXPECT_EQ(a, "hello\xCE\xA9");
    keys(key_stroke(29, vk_right, 1));  // shift-right selects the Omega
    keys(key_stroke(127, vk_delete));
    EXPECT_EQ(a, "hello");
    max_a = 9;
    keys(typed("abc"));
    keys(key_stroke(0xE9, 0));  // the tenth byte would be its second: the e acute is left out whole
    EXPECT_EQ(a, "helloabc");
}

// Text that is not UTF-8 (a Latin-1 value from a preference) is cut by bytes at the limit: its
// bytes 0x80-0xBF are characters of their own, not parts of one.
TEST_F(TextField, TheLengthLimitKeepsTheBytesOfTextThatIsNotUtf8) {
    a = "ab\xB0\xB0\xB0";
    max_a = 5;
    driver.click(300, 100, fields);
    keys(key_stroke(1, vk_home));
    keys(typed("x"));
    EXPECT_EQ(a, "xab\xB0\xB0");
    // A well-formed sequence across the limit (a euro sign cut after two bytes) still goes whole.
    a = "ab\xE2\x82\xAC";
    max_a = 5;
    keys(key_stroke(1, vk_home));
    keys(typed("x"));
    EXPECT_EQ(a, "xab");
}

TEST_F(TextField, UnfocusedFieldsDrawPlainTextAndFocusedOnesClip) {
    driver.frame(fields);
    auto& calls = driver.paint.calls;
    EXPECT_TRUE(driver.paint.of("fill").empty());
    EXPECT_TRUE(driver.paint.of("line").empty());
    const painted* plain = driver.paint.find_text("hello");
    ASSERT_TRUE(plain);
    EXPECT_FLOAT_EQ(plain->x, 100);
    EXPECT_FLOAT_EQ(plain->y, 100);
    EXPECT_EQ(plain->colour, 45);
    EXPECT_FLOAT_EQ(driver.paint.find_text("Name:")->x, 88);
    EXPECT_EQ(driver.paint.find_text("Name:")->colour, 43);
    EXPECT_FLOAT_EQ(driver.paint.find_text("after")->x, 306);
    const auto frame = driver.paint.of("quads")[0].quads;  // style 9 around the box: 210 + 4 wide
    EXPECT_FLOAT_EQ(frame.front().x0, 198 - 107);
    EXPECT_FLOAT_EQ(frame.back().x1, 198 + 107);
    EXPECT_FLOAT_EQ(frame.front().u0, 262);

    driver.click(300, 100, fields);
    size_t s = 0, e = 0, text = 0;
    for (size_t i = 0; i < calls.size(); ++i) {
        if (calls[i].kind == "scissors" && !s) s = i + 1;
        if (calls[i].kind == "scissors_end" && !e) e = i + 1;
        if (calls[i].kind == "string" && calls[i].text == "hello") text = i + 1;
    }
    ASSERT_TRUE(s && e && text);
    EXPECT_LT(s, text);
    EXPECT_LT(text, e);
    EXPECT_FLOAT_EQ(calls[s - 1].x, 99);
    EXPECT_FLOAT_EQ(calls[s - 1].y, 97);
    EXPECT_FLOAT_EQ(calls[s - 1].w, 202);
    EXPECT_FLOAT_EQ(calls[s - 1].h, 11);
}

TEST_F(TextField, TheClickBoxIsTheTextBand) {
    driver.click(100, 108.5f, fields);
    keys(typed("z"));
    EXPECT_EQ(a, "hello");
    driver.click(100, 108, fields);
    keys(typed("z"));
    EXPECT_EQ(a, "zhello");
}

TEST(TextFieldMeasures, FitCountsTheByteThatCrossesTheWidth) {
    const std::string s = "hello";  // advances 7 6 3 3 7
    const char *b = s.data(), *e = b + s.size();
    EXPECT_FLOAT_EQ(OGLE_MeasureString(nullptr, b, e), 26);
    EXPECT_FLOAT_EQ(OGLE_MeasureString(nullptr, b, b), 0);
    struct c {
        float w;
        int fwd, rev;
    } cases[] = {{0, 0, 1}, {-3, 0, 1}, {1, 1, 1}, {7, 1, 1}, {7.5f, 2, 2}, {13, 2, 3}, {25, 5, 5}, {99, 5, 5}};
    for (const c& k : cases) {
        EXPECT_EQ(OGLE_FitStringFwd(nullptr, b, e, k.w), k.fwd) << k.w;
        EXPECT_EQ(OGLE_FitStringRev(nullptr, b, e, k.w), k.rev) << k.w;
    }
    EXPECT_EQ(OGLE_FitStringFwd(nullptr, b, b, 10), 0);
    EXPECT_EQ(OGLE_FitStringRev(nullptr, b, b, 10), 0);
    const std::string words = "  ab cd";
    EXPECT_EQ(OGLE_WordBreak(nullptr, words.data(), words.data() + words.size()), words.data() + 4);
}

TEST_F(TextField, APressOutsideDropsTheFocus) {
    driver.click(300, 100, fields);
    driver.click(500, 300, fields);
    keys(typed("z"));
    EXPECT_EQ(a, "hello");
    EXPECT_EQ(b, "world");
}

TEST_F(TextField, NavigationKeysMoveAndNeverInsertControlBytes) {
    driver.click(x_after(a, 2) - 1, 100, fields);  // caret after "he"
    keys(key_stroke(1, vk_home));
    keys(typed(">"));
    keys(key_stroke(4, vk_end));
    keys(typed("<"));
    keys(key_stroke(11, vk_page_up));
    keys(key_stroke(28, vk_left));
    keys(key_stroke(28, vk_left));
    keys(key_stroke(127, vk_delete));  // forward delete
    EXPECT_EQ(a, ">hell<");
    keys(key_stroke(4, vk_end));
    keys(key_stroke(127, vk_delete));  // nothing after the caret
    keys(key_stroke(1, vk_home, 1));   // shift-Home selects to the start
    keys(key_stroke(127, vk_delete));
    EXPECT_EQ(a, "");
}

TEST_F(TextField, KeysForOneFieldNeverEditAnother) {
    driver.click(300, 100, fields);  // A focused
    // In one frame a key for A is queued, then a press lands in B, which draws first.
    mnw.mouse_x = 150, mnw.mouse_y = 62, mnw.mouse_down = 1;
    driver.frame(
        [this] {
            changed_b = BTN_enterstring(100, 60, &b, 100, "", 200, 0);
            changed_a = BTN_enterstring(100, 100, &a, max_a, "", 200, 0);
        },
        typed("q"));
    EXPECT_EQ(a, "hello");
    EXPECT_EQ(b, "world");
    keys(typed("k"));
    EXPECT_EQ(b, "worldk");
}

TEST_F(TextField, APressElsewhereThatHandsTheFocusBackDoesNotMoveTheCaret) {
    std::string s = "abcdef";
    auto wanting = [&] { BTN_enterstring(100, 100, &s, 50, "", 200, 1); };
    driver.frame(wanting);  // takes the focus: all selected
    driver.click(x_after(s, 3) - 1, 100, wanting);
    driver.click(700, 500, wanting);  // elsewhere: the focus drops and comes straight back
    driver.frame(wanting, typed("X"));
    EXPECT_EQ(s, "abcXdef");
}

TEST_F(TextField, TheCallerMayShortenTheTextWhileTheFieldIsFocused) {
    driver.click(300, 100, fields);  // caret at the end, 5
    a = "hi";
    keys(typed("!"));
    EXPECT_EQ(a, "hi!");
}

TEST_F(TextField, LongTextsStayOnOneLine) {
    a = std::string(300, 'W');  // far wider than the box and 1024 beyond it
    driver.click(300, 100, fields);
    keys(typed("w"));
    int strings = 0;
    for (const painted& p : driver.paint.of("string")) strings += p.text.size() > 10;
    EXPECT_EQ(strings, 1);
    auto caret = driver.paint.of("line");
    ASSERT_EQ(caret.size(), 1u);
    EXPECT_FLOAT_EQ(caret[0].y, 98);  // on the field's band, scrolled into the box
    EXPECT_LE(caret[0].x, 300);
    EXPECT_GE(caret[0].x, 100);
}

TEST_F(TextField, CharArrays) {
    char buf[16] = "abc";
    int r = 0;
    auto field = [&] { r = BTN_enterstring(100, 200, buf, 5, "", 100, 0); };
    driver.click(190, 200, field);
    driver.frame(field, typed("defg"));
    EXPECT_STREQ(buf, "abcde");
    // A key queued for the field in the frame in which a press elsewhere takes its focus: the
    // temporary string of the last call is gone, and the key must not reach for it.
    mnw.mouse_x = 700, mnw.mouse_y = 500, mnw.mouse_down = 1;
    driver.frame(field, typed("z"));
    EXPECT_STREQ(buf, "abcde");
    // No room at all: nothing is edited.
    char none[4] = "xy";
    driver.click(100, 300, [&] { EXPECT_EQ(BTN_enterstring(100, 300, none, -1, "", 100, 0), 0); });
    driver.frame([&] { BTN_enterstring(100, 300, none, -1, "", 100, 0); }, typed("q"));
    EXPECT_STREQ(none, "xy");
}

TEST(TextFieldDeathTest, CharArraysOver499EndTheProgram) {
    frame_driver driver;
    static char big[600];
    std::memset(big, 'a', 499);
    driver.frame([] { BTN_enterstring(10, 10, big, 550, "", 100, 0); });
    EXPECT_EQ(std::strlen(big), 499u);
    big[499] = 'a';
    EXPECT_EXIT(BTN_enterstring(10, 10, big, 550, "", 100, 0), ::testing::ExitedWithCode(1),
                "String too long!.*GenH/hl_string line 137");
}

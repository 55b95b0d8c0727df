#include "widgets/text_edit_engine.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <random>
#include <string>
#include <vector>

namespace {

// The engine over a std::string through the class interface: every byte 10 units wide, a
// 100 x 11 visible box at the origin, lines 11 high. Records scrolling, drawing and edits.
class fake_edit : public OGLE {
public:
    explicit fake_edit(std::string s = "", float w = 100) : text(std::move(s)), box_w(w) {}

    std::string text;
    float box_w;
    float box_h = 11;
    float scroll[2] = {0, 0};
    float h = 11;
    int scrolls = 0;
    std::vector<std::string> drawn;  // "str TEXT x y" and "sel l b r t" in call order

    OGLE_Rec* r() { return rec; }
    std::vector<int> fresh_wrap() {
        fake_edit other(text, box_w);
        other.Repaginate();
        return other.rec->line_starts;
    }

    void GetVisibleBounds(float b[4]) override {
        b[0] = 0, b[1] = 0, b[2] = box_w, b[3] = box_h;
    }
    void GetLogicalBounds(float b[4]) override {
        b[0] = -scroll[0], b[1] = -scroll[1], b[2] = box_w - scroll[0], b[3] = box_h - scroll[1];
    }
    void SetLogicalHeight(float) override {}
    void ScrollTo(float off[2]) override {
        scroll[0] = off[0], scroll[1] = off[1];
        ++scrolls;
    }
    void GetText(const char** b, const char** e) override {
        *b = text.data();
        *e = text.data() + text.size();
    }
    void ReplaceText(int from, int to, const char* b, const char* e) override {
        text.replace(from, to - from, std::string(b, e));
    }
    float GetLineHeight() override { return h; }
    float MeasureString(const char* b, const char* e) override { return 10.0f * (e - b); }
    int FitStringFwd(const char* b, const char* e, float w) override {
        int n = static_cast<int>(std::floor((w + 5) / 10));
        return std::max(0, std::min(n, static_cast<int>(e - b)));
    }
    int FitStringRev(const char*, const char*, float) override { return 0; }
    void DrawString(const char* b, const char* e, float x, float y) override {
        drawn.push_back("str " + std::string(b, e) + " " + num(x) + " " + num(y));
    }
    void DrawSelection(float s[4]) override {
        drawn.push_back("sel " + num(s[0]) + " " + num(s[1]) + " " + num(s[2]) + " " + num(s[3]));
    }
    const char* WordBreak(const char* b, const char* e) override {
        while (b < e && std::isspace(static_cast<unsigned char>(*b))) ++b;
        while (b < e && !std::isspace(static_cast<unsigned char>(*b))) ++b;
        return b;
    }

private:
    static std::string num(float v) { return std::to_string(static_cast<int>(std::lround(v))); }
};

std::vector<int> wrap(const std::string& text, float width) {
    fake_edit e(text, width);
    e.Repaginate();
    return e.r()->line_starts;
}

struct sel {
    int start, end, active;
    bool operator==(const sel& o) const { return start == o.start && end == o.end && active == o.active; }
};
std::ostream& operator<<(std::ostream& os, const sel& s) {
    return os << "[" << s.start << "," << s.end << " active " << s.active << "]";
}
sel selection(fake_edit& e) { return {e.r()->sel_start, e.r()->sel_end, e.r()->active_end}; }

}  // namespace

TEST(OgleWrap, LinesBreakAtWordsAndLineFeeds) {
    using v = std::vector<int>;
    EXPECT_EQ(wrap("", 100), v{0});
    EXPECT_EQ(wrap("aaa bbb ccc", 70), (v{0, 8}));     // "ccc" would reach 110
    EXPECT_EQ(wrap("aaa bbb ccc", 110), v{0});
    EXPECT_EQ(wrap("aaa      ", 40), v{0});            // spaces that end a line stay on it
    EXPECT_EQ(wrap("abcd", 5), (v{0, 1, 2, 3}));       // an over-wide word: a byte per line
    EXPECT_EQ(wrap("ab\n", 100), v{0});                // no empty last line
    EXPECT_EQ(wrap("ab\ncd\r\nx", 100), (v{0, 3, 6, 7}));
    EXPECT_EQ(wrap("ab  \ncd", 100), (v{0, 5}));       // the break belongs to its line
}

TEST(OgleWrap, ShorterTextCutsStartsLeftByALongerOne) {
    fake_edit e("aaaa bbbb cccc", 50);
    e.Repaginate();
    ASSERT_EQ(e.r()->line_starts, (std::vector<int>{0, 5, 10}));
    e.text = "aaaa bbbb";
    e.Repaginate();
    EXPECT_EQ(e.r()->line_starts, (std::vector<int>{0, 5}));
    e.text = "";
    e.Repaginate();
    EXPECT_EQ(e.r()->line_starts, std::vector<int>{0});
}

TEST(OgleWrap, UntrustworthyCallbacksStillEnd) {
    // A word break that never advances, and a zero line height.
    struct stuck : fake_edit {
        using fake_edit::fake_edit;
        const char* WordBreak(const char* b, const char*) override { return b; }
    } e("ab cd", 15);
    e.Repaginate();
    EXPECT_EQ(e.r()->line_starts, (std::vector<int>{0, 1, 3, 4}));
    e.h = 0;
    e.Click(50, -30, 0);
    e.Draw(1);
    EXPECT_LE(e.r()->sel_end, 5);
}

TEST(OgleSelection, SetSelectionOrdersAndClamps) {
    fake_edit e("abcdefgh");
    e.Repaginate();
    EXPECT_EQ(selection(e), (sel{0, 0, 1}));
    e.SetSelection(5, 2);
    EXPECT_EQ(selection(e), (sel{2, 5, 0}));
    e.SetSelection(-4, 99);
    EXPECT_EQ(selection(e), (sel{0, 8, 0}));
}

TEST(OgleKeys, ArrowsMoveCollapseAndExtend) {
    fake_edit e("abcdef");
    e.Repaginate();
    e.Key(28, 0);  // left at 0 stays
    EXPECT_EQ(selection(e), (sel{0, 0, 1}));
    e.SetSelection(6, 6);
    e.Key(29, 0);  // right at the end stays
    EXPECT_EQ(selection(e), (sel{6, 6, 1}));

    e.SetSelection(3, 3);
    e.Key(29, 0);
    e.Key(28, 0);
    e.Key(29, 0);
    EXPECT_EQ(selection(e), (sel{4, 4, 1}));
    e.SetSelection(3, 3);
    e.Key(29, 1);
    e.Key(29, 1);
    EXPECT_EQ(selection(e), (sel{3, 5, 1}));
    e.SetSelection(3, 4);
    e.Key(28, 1);  // back to a caret, then past it: the active end flips to the start
    e.Key(28, 1);
    EXPECT_EQ(selection(e), (sel{2, 3, 0}));
    e.Key(28, 0);  // a selection collapses to its start...
    EXPECT_EQ(selection(e), (sel{2, 2, 0}));
    e.SetSelection(2, 5);
    e.Key(29, 0);  // ...or to its end
    EXPECT_EQ(selection(e), (sel{5, 5, 0}));
}

TEST(OgleKeys, UpAndDownKeepTheColumnAcrossAShortLine) {
    fake_edit e("abcdefgh\nab\nabcdefgh\nabcdefgh");  // lines start at 0, 9, 12 and 21
    e.Repaginate();
    ASSERT_EQ(e.r()->line_starts, (std::vector<int>{0, 9, 12, 21}));
    e.SetSelection(6, 6);
    e.Key(31, 0);
    EXPECT_EQ(e.r()->sel_start, 11);  // the short line's end, before its line feed
    e.Key(31, 0);
    EXPECT_EQ(e.r()->sel_start, 18);  // column 6 again
    e.Key(30, 0);
    EXPECT_EQ(e.r()->sel_start, 11);  // Up leaves the short line again
    e.Key(30, 0);
    EXPECT_EQ(e.r()->sel_start, 6);
    e.Key(30, 0);  // above the first line: the text's start
    EXPECT_EQ(e.r()->sel_start, 0);
    e.Key(31, 0);
    e.Key(31, 0);
    e.Key(31, 0);
    e.Key(31, 0);  // below the last line: the text's end
    EXPECT_EQ(e.r()->sel_start, 29);
    e.SetSelection(1, 4);
    e.Key(31, 0);  // a selection collapses to its end
    EXPECT_EQ(selection(e), (sel{4, 4, 1}));
    e.SetSelection(20, 20);
    e.Key(30, 1);  // extending up past the start flips the active end
    EXPECT_EQ(selection(e), (sel{11, 20, 0}));
}

TEST(OgleKeys, TypingAndBackspaceEditTheSelection) {
    fake_edit e("hello world");
    e.Repaginate();
    e.SetSelection(0, 5);
    e.Key('J', 0);
    EXPECT_EQ(e.text, "J world");
    EXPECT_EQ(selection(e), (sel{1, 1, 1}));
    e.Key(8, 0);
    e.Key(8, 0);  // at 0: nothing
    EXPECT_EQ(e.text, " world");
    e.SetSelection(3, 1);  // active end becomes the start
    e.Key(8, 0);
    EXPECT_EQ(e.text, " rld");
    EXPECT_EQ(selection(e), (sel{1, 1, 1}));
    e.SetSelection(2, 0);
    e.SetSelection(0, 0);
    ASSERT_EQ(e.r()->active_end, 0);
    e.Key(8, 0);
    EXPECT_EQ(e.r()->active_end, 1);
}

TEST(OgleMouse, ClicksMapToPositions) {
    fake_edit e("abc\ndefgh");  // line 0: y 0..11, line 1: y -11..0
    e.Repaginate();
    e.Click(21, 5, 0);
    EXPECT_EQ(selection(e), (sel{2, 2, 1}));
    e.Click(90, 5, 0);  // right of a line ending in a line feed: the next line's start
    EXPECT_EQ(e.r()->sel_start, 4);
    e.Click(10, 50, 0);
    EXPECT_EQ(e.r()->sel_start, 0);
    e.Click(10, -50, 0);
    EXPECT_EQ(e.r()->sel_start, 9);
    e.Click(21, -5, 0);
    e.Click(11, 5, 1);  // extending before the start moves the start
    EXPECT_EQ(selection(e), (sel{1, 6, 0}));
    e.Drag(-20, 5);
    EXPECT_EQ(selection(e), (sel{0, 6, 0}));
    e.Click(31, 5, 1);  // extending past the start moves the end
    EXPECT_EQ(selection(e), (sel{0, 3, 1}));
}

TEST(OgleReveal, ScrollsOnlyWhenTheActiveEndLeavesTheBox) {
    fake_edit e("abcdefghijklmnop", 1000);  // one line, wider than the 50-wide box below
    e.Repaginate();
    e.box_w = 50;
    e.Click(30, 5, 0);
    EXPECT_EQ(e.scrolls, 0);
    e.SetSelection(12, 12);
    e.RevealSelection();
    EXPECT_EQ(e.scrolls, 1);
    EXPECT_FLOAT_EQ(e.scroll[0], 70);  // x 120 at the right edge of the box
    e.RevealSelection();
    EXPECT_EQ(e.scrolls, 1);
    e.SetSelection(2, 2);
    e.RevealSelection();
    EXPECT_FLOAT_EQ(e.scroll[0], 20);
}

TEST(OgleDraw, SelectionBandsThenTextThenCaret) {
    fake_edit e("abcd efgh ijkl", 50);  // lines "abcd ", "efgh ", "ijkl"
    e.Repaginate();
    e.box_h = 33;  // all three lines show
    e.SetSelection(2, 12);
    e.Draw(1);
    EXPECT_EQ(e.drawn, (std::vector<std::string>{"sel 20 22 50 33", "sel 0 11 50 22", "sel 0 0 20 11",
                                                 "str abcd  0 22", "str efgh  0 11", "str ijkl 0 0"}));
    e.drawn.clear();
    e.SetSelection(7, 7);
    e.Draw(0);
    EXPECT_EQ(e.drawn.size(), 3u);  // no caret without show_caret
    e.drawn.clear();
    e.SetSelection(14, 14);
    e.Draw(1);
    EXPECT_EQ(e.drawn.back(), "sel 40 0 40 11");  // the text's end: on the last line
}

TEST(OgleDraw, EmptyTextShowsTheCaretAtTheLeft) {
    fake_edit e("");
    e.Repaginate();
    e.Draw(1);
    EXPECT_EQ(e.drawn, (std::vector<std::string>{"str  0 0", "sel 0 0 0 11"}));
}

TEST(OgleReplace, SelectionFollowsTheText) {
    struct c {
        int ss, se, from, to;
        const char* run;
        int want_ss, want_se;
    } cases[] = {
        {4, 6, 0, 2, "XYZ", 5, 7},   // before the selection: both ends move
        {4, 6, 7, 9, "", 4, 6},      // after it: nothing moves
        {4, 8, 2, 6, "", 4, 4},      // over its start: only the end moves
        {4, 6, 3, 9, "", 3, 3},      // over all of it: a caret at the range's start
        // starts inside the selection and runs past its end: the end stays inside the text
        {2, 9, 5, 10, "", 2, 5},
        {2, 8, 5, 7, "", 2, 6},      // inside the selection: the end follows the text after it
    };
    for (const c& k : cases) {
        fake_edit e("0123456789");
        e.Repaginate();
        e.SetSelection(k.ss, k.se);
        std::string run = k.run;
        e.DoReplaceText(k.from, k.to, run.data(), run.data() + run.size());
        EXPECT_EQ(e.r()->sel_start, k.want_ss) << k.from << "-" << k.to;
        EXPECT_EQ(e.r()->sel_end, k.want_se) << k.from << "-" << k.to;
    }
}

TEST(OgleRandom, EditsKeepTheSelectionInsideAndTheWrapFresh) {
    std::mt19937 rng(12345);
    const char keys[] = {8, 28, 29, 30, 31, 'a', ' ', '\n', 'W'};
    for (int round = 0; round < 40; ++round) {
        fake_edit e("some words to start with", 60);
        e.Repaginate();
        for (int step = 0; step < 200; ++step) {
            int len = static_cast<int>(e.text.size());
            switch (rng() % 6) {
            case 0: e.Click(rng() % 80 - 10.0f, rng() % 60 - 40.0f, rng() % 2); break;
            case 1: e.Drag(rng() % 80 - 10.0f, rng() % 60 - 40.0f); break;
            case 2: {
                int a = rng() % (len + 1), b = a + rng() % (len - a + 1);
                std::string run(rng() % 4, 'x');
                e.DoReplaceText(a, b, run.data(), run.data() + run.size());
                break;
            }
            default: e.Key(keys[rng() % sizeof keys], rng() % 2); break;
            }
            e.Draw(1);
            int n = static_cast<int>(e.text.size());
            ASSERT_LE(0, e.r()->sel_start);
            ASSERT_LE(e.r()->sel_start, e.r()->sel_end);
            ASSERT_LE(e.r()->sel_end, n);
            ASSERT_EQ(e.r()->line_starts, e.fresh_wrap()) << e.text;
        }
    }
}

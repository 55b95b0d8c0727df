#include "graphics/text_layout.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

std::string cells_text(const std::vector<number_cell>& cells) {
    std::string s;
    for (const number_cell& c : cells) s += c.c;
    return s;
}

}  // namespace

TEST(TextTables, WidthsAndCellsFollowTheGridAndTheAdvanceTable) {
    EXPECT_EQ(OGL_string_width("MW%"), 32.0f);
    EXPECT_EQ(OGL_string_width(""), 0.0f);
    // Bytes outside the grid: the space's cell and no width.
    for (int c : {0x22, 0x7B, 0x7D, 0x7E, 0x7F, 0x80, 0xFF}) {
        EXPECT_EQ(OGL_glyph_cell(c).col, 0) << int(c);
        EXPECT_EQ(OGL_glyph_cell(c).row, 0) << int(c);
        EXPECT_EQ(OGL_char_width(c), 0) << int(c);
    }
    for (int c : {9, 10, 13}) EXPECT_EQ(OGL_char_width(c), 0);
    // Every cell of the grid holds exactly one byte, and each has a width.
    int cells[glyph_rows][glyph_cols] = {};
    int with_width = 0;
    for (int c = 0; c < 256; ++c) {
        if (OGL_char_width(static_cast<unsigned char>(c)) == 0) continue;
        ++with_width;
        const glyph_cell g = OGL_glyph_cell(static_cast<unsigned char>(c));
        ++cells[g.row][g.col];
    }
    EXPECT_EQ(with_width, 105);
    // One byte of each width 2..11, and the table's total.
    EXPECT_EQ(OGL_string_width(",Ifc0BAOM%"), 65.0f);
    int total = 0;
    for (int c = 0; c < 256; ++c) total += OGL_char_width(static_cast<unsigned char>(c));
    EXPECT_EQ(total, 624);
    for (auto& row : cells)
        for (int n : row) EXPECT_EQ(n, 1);
    EXPECT_EQ(OGL_glyph_cell('z').col, 20);
    EXPECT_EQ(OGL_glyph_cell('z').row, 2);
    EXPECT_EQ(OGL_glyph_cell(0xBF).col, 20);
    EXPECT_EQ(OGL_glyph_cell(0xBF).row, 4);
    EXPECT_EQ(OGL_char_width(0xFB), 3);
}

TEST(TextTables, GlyphQuadTruncatesAndDropsFourPixels) {
    glyph_quad q = OGL_glyph_quad(12.9f, 30.7f, 0, 0, 14, 15, 'A', font_prop, 1.0f);
    EXPECT_EQ(q.x0, 12);
    EXPECT_EQ(q.x1, 26);
    EXPECT_EQ(q.y0, 26);
    EXPECT_EQ(q.y1, 41);
    EXPECT_FLOAT_EQ(q.s0, 11 * 14 / 512.0f);
    EXPECT_FLOAT_EQ(q.t1, 15 / 512.0f);
    // A scale above 1 enlarges the quad, not the texels.
    q = OGL_glyph_quad(0, 0, 0, 0, 14, 15, 'A', font_prop, 2.0f);
    EXPECT_EQ(q.x1 - q.x0, 28);
    EXPECT_EQ(q.y1 - q.y0, 30);
    EXPECT_FLOAT_EQ(q.s1 - q.s0, 14 / 512.0f);
    // Font 103 takes a high byte unsigned, so it stays on its sheet.
    q = OGL_glyph_quad(0, 0, 0, 0, 13, 13, 0xE9, font_sheet, 1.0f);
    EXPECT_FLOAT_EQ(q.s0, (233 % 40) * 13 / 512.0f);
    EXPECT_FLOAT_EQ(q.t0, (233 / 40) * 13 / 512.0f);
}

TEST(TextLayout, LineAlignmentUsesTheProportionalWidth) {
    std::vector<line_glyph> g = OGL_line_layout("MW%", 100, 0, 2);
    ASSERT_EQ(g.size(), 3u);
    EXPECT_EQ(g[0].x, 68);
    EXPECT_EQ(g[1].x, 78);
    EXPECT_EQ(g[2].x, 89);
    // Font 102 centred: shifted by half the font-100 width (16), stepping 10.
    g = OGL_line_layout("MW%", 100, 10, 1);
    EXPECT_EQ(g[0].x, 84);
    EXPECT_EQ(g[2].x, 104);
    // Tab, LF and CR take no room; a character outside the grid shows the missing-glyph mark, with
    // its advance, rather than nothing.
    g = OGL_line_layout("a\tb\n\"c", 0, 0, 0);
    ASSERT_EQ(g.size(), 4u);
    EXPECT_EQ(g[1].x, 6);
    EXPECT_EQ(g[2].code, glyph_missing);
    EXPECT_EQ(g[3].x, 20);
    EXPECT_TRUE(OGL_line_layout("", 5, 0, 1).empty());
    // A UTF-8 sequence is one character: its cell when the grid has its code point, else the mark.
    // Other bytes read as ISO 8859-1: a lone 0xE9 is an e acute, a cut sequence shows the mark.
    g = OGL_line_layout("a\xC3\x9F" "e\xC3\xA9\xE9\xCE\xA9\xC2\x85\xC3", 0, 0, 0);
    std::vector<int> codes;
    for (const line_glyph& l : g) codes.push_back(l.code);
    const std::vector<int> want{'a', glyph_missing, 'e', 0xE9, 0xE9, glyph_missing, 0, glyph_missing};
    EXPECT_EQ(codes, want);
    EXPECT_EQ(g[2].x, 13);
    EXPECT_EQ(OGL_string_width("\xC3\xA9\xCE\xA9"), 13.0f);
}

TEST(TextLayout, WrapBreaksAfterSpacesHyphensSlashesAndLineFeeds) {
    struct wrap_case {
        const char* text;
        float wrap;
        std::vector<std::string> lines;
        int emitted;
    };
    const wrap_case cases[] = {
        // Pen after "aaaa " is 27, plus 6 x 4 for "bbbb" is 51: past 40, not past 60.
        {"aaaa bbbb", 40, {"aaaa ", "bbbb"}, 2},
        {"aaaa bbbb", 60, {"aaaa bbbb"}, 1},
        {"aaaa bbbb", 48, {"aaaa ", "bbbb"}, 2},
        // Only the next word is estimated, not the rest of the text.
        {"aa bb cccccccccc", 30, {"aa bb ", "cccccccccc"}, 2},
        {"a\nb", 9999, {"a\nb"}, 0},
        {"a\nb", 0, {"a\nb"}, 0},
        {"one\ntwo\nthree", 100, {"one\n", "two\n", "three"}, 3},
        {"well-known/path name", 30, {"well-", "known/", "path ", "name"}, 4},
        {"averyveryverylongword", 10, {"averyveryverylongword"}, 1},
        {"", 100, {}, 0},
    };
    for (const wrap_case& c : cases) {
        wrapped_text w = OGL_wrap_text(c.text, 50, c.wrap, 0);
        EXPECT_EQ(w.lines, c.lines) << c.text << " at " << c.wrap;
        EXPECT_EQ(w.lines_emitted, c.emitted) << c.text << " at " << c.wrap;
    }
    // A fixed advance counts 10 per byte: "aaaa " is 50, plus 24 is past 70.
    EXPECT_EQ(OGL_wrap_text("aaaa bbbb", 0, 70, 10).lines_emitted, 2);
    EXPECT_EQ(OGL_wrap_text("aaaa bbbb", 0, 75, 10).lines_emitted, 1);
}

TEST(TextLayout, OneLineTooWideKeepsItsStartAndEndAroundDots) {
    EXPECT_EQ(OGL_fit_line("MW%", 32), "MW%");  // exactly as wide: unchanged
    // "/home/user/" is 60 wide, "/\u00e9c.txt" 30 and x 6: of 288 (294 less the dots) the start
    // takes 144 at most, the end what the start left; both fit to the pixel.
    const std::string path = "/home/user/" + std::string(100, 'x') + "/\xC3\xA9" "c.txt";
    EXPECT_EQ(OGL_fit_line(path, 294),
              "/home/user/" + std::string(14, 'x') + "..." + std::string(19, 'x') + "/\xC3\xA9" "c.txt");
}

// A text that fits is drawn as it is; one held to fewer lines ends as the text does, and a word
// wider than the room is cut in its middle.
TEST(TextLayout, TextFittedToItsRoomAndLines) {
    // "aaaa bbbb cccc dddd" wraps at 40 after each word; the four words are 24, 28, 20 and 28 wide.
    const std::string words = "aaaa bbbb cccc dddd";
    fitted_text f = OGL_fit_text(words, 40, 100, 0);
    EXPECT_TRUE(f.whole);
    EXPECT_EQ(f.lines, (std::vector<std::string>{"aaaa ", "bbbb ", "cccc ", "dddd"}));
    EXPECT_TRUE(OGL_fit_text(words, 40, 100, 4).whole);
    f = OGL_fit_text(words, 40, 100, 2);
    EXPECT_FALSE(f.whole);
    EXPECT_EQ(f.lines, (std::vector<std::string>{"aaaa", "bbbb cccc dddd"}));  // 82: the rest fits
    f = OGL_fit_text(words, 40, 60, 2);
    EXPECT_EQ(f.lines, (std::vector<std::string>{"aaaa", "... cccc dddd"}));
    f = OGL_fit_text("aaaa " + std::string(30, 'W'), 378, 100, 0);
    EXPECT_FALSE(f.whole);
    EXPECT_EQ(f.lines, (std::vector<std::string>{"aaaa", "WWWW...WWWW"}));
    // Held to one line, the text keeps its label, "Error: " (31 wide), before the dots; a label
    // wider than half the room does not stay.
    f = OGL_fit_text("Error: " + words, 40, 100, 1);
    EXPECT_EQ(f.lines, (std::vector<std::string>{"Error: ...b cccc dddd"}));
    EXPECT_EQ(OGL_fit_text("Error: " + words, 40, 70, 1).lines,
              (std::vector<std::string>{"Error: ... dddd"}));
    EXPECT_EQ(OGL_fit_text("Error: " + words, 40, 60, 1).lines, (std::vector<std::string>{"... cccc dddd"}));
    // The end shown after a paragraph's break starts at its first word.
    EXPECT_EQ(OGL_fit_text("aaaa\n\nbbbb cccc", 100, 100, 2).lines,
              (std::vector<std::string>{"aaaa", "bbbb cccc"}));
    EXPECT_EQ(OGL_line_label("In the way: /a: b"), "In the way: ");
    EXPECT_EQ(OGL_line_label("Error:none"), "");
}

TEST(TextLayout, RoundsHalvesAwayFromZero) {
    EXPECT_EQ(OGL_round_half_away(10.5f), 11);
    EXPECT_EQ(OGL_round_half_away(-10.5f), -11);
    EXPECT_EQ(OGL_round_half_away(10.49f), 10);
    EXPECT_EQ(OGL_round_half_away(-0.4f), 0);
}

TEST(NumberText, BuildsZeroFilledSeparatedAndOverflowTexts) {
    struct number_case {
        float value;
        int digits, decimals;
        const char* text;
    };
    const number_case cases[] = {
        {123.456f, 5, 2, "123.46"}, {1234567, 7, 0, "1,234,567"}, {42, 5, 0, "00,042"},
        {12345, 3, 0, "1.23x4"},    {5, 0, 0, "0.05x2"},         {999.6f, 2, 0, "1.00x3"},
        {-0.04f, 1, 0, "0"},        {-0.5f, 1, 0, "-1"},         {0.25f, 4, 3, "0.250"},
        {-7.5f, 3, 1, "-07.5"},     {3e38f, 4, 0, "3.00x0"},     {9, 1, 0, "9"},
    };
    for (const number_case& c : cases) EXPECT_EQ(OGL_number_text(c.value, c.digits, c.decimals), c.text) << c.value;
}

TEST(NumberText, ValuesThatAreNotFiniteShowDashes) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(OGL_number_text(inf, 5, 2), "---.--");
    EXPECT_EQ(OGL_number_text(-inf, 3, 0), "---");
    EXPECT_EQ(OGL_number_text(inf, 2, 1), "-.-");
    EXPECT_EQ(OGL_number_text(std::nanf(""), 0, 0), "-");
    EXPECT_EQ(cells_text(OGL_number_cells(inf, 4, 1)), ".----");
    EXPECT_EQ(cells_text(OGL_number_cells(std::nanf(""), 2, 0)), "--");
}

TEST(NumberCells, FixedFontPlacesSeparatorsBetweenDigitCells) {
    std::vector<number_cell> c = OGL_number_cells(12345.6f, 7, 1);
    // Point, one separator, then the seven digits 10 apart from the left end.
    ASSERT_EQ(c.size(), 9u);
    EXPECT_EQ(c[0].c, '.');
    EXPECT_EQ(c[0].dx, 55);
    EXPECT_EQ(c[1].c, ',');
    EXPECT_EQ(c[1].dx, 25);
    EXPECT_EQ(cells_text(c), ".,0123456");
    for (int i = 0; i < 7; ++i) EXPECT_EQ(c[2 + i].dx, 10 * i);
    // The sign goes one pixel right of the cell before the first digit.
    c = OGL_number_cells(-3, 2, 0);
    EXPECT_EQ(cells_text(c), "-03");
    EXPECT_EQ(c[0].dx, -9);
    // At most 11 digits; too large a value loses its leading digits, and digits past the range
    // of an int are still the value's own.
    EXPECT_EQ(cells_text(OGL_number_cells(1, 12, 0)), ",,,00000000001");
    EXPECT_EQ(cells_text(OGL_number_cells(98765432e3f, 11, 0)), ",,,98765430784");
    EXPECT_EQ(cells_text(OGL_number_cells(123, 2, 0)), "23");
    EXPECT_EQ(cells_text(OGL_number_cells(5, 0, 0)), "");
}

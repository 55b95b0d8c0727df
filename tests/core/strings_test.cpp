#include "core/strings.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {
std::string its(int value, int min_digits, int plus_sign) {
    char buf[12];
    int_to_str(value, buf, min_digits, plus_sign);
    return buf;
}
std::string fts(float value, int digits, int decimals, int pad) {
    std::string out = "unchanged";
    flt_to_str(value, &out, digits, decimals, pad);
    return out;
}
std::string replaced(std::string s, const std::string& from, const std::string& to) {
    STR_replace_all(s, from, to);
    return s;
}
}  // namespace

TEST(IntToStr, SignsAndPadding) {
    EXPECT_EQ(its(5, 3, 1), "+005");
    EXPECT_EQ(its(-42, 0, 1), "-42");
    EXPECT_EQ(its(0, 0, 0), "0");
    EXPECT_EQ(its(0, 1, 1), "+0");
    EXPECT_EQ(its(7, 15, 0), "0000000007");
    EXPECT_EQ(its(INT_MAX, 0, 1), "+2147483647");
    EXPECT_EQ(its(INT_MIN, 0, 0), "-2147483648");
    EXPECT_EQ(its(1000000000, 0, 0), "1000000000");
}

TEST(StrToInt, AcceptsOneToNineDigitsWithSigns) {
    EXPECT_EQ(str_to_int(""), -1);
    EXPECT_EQ(str_to_int("-"), -1);
    EXPECT_EQ(str_to_int("+"), -1);
    EXPECT_EQ(str_to_int("12a"), -1);
    EXPECT_EQ(str_to_int(" 12"), -1);
    EXPECT_EQ(str_to_int("1234567890"), -1);
    EXPECT_EQ(str_to_int("123456789"), 123456789);
    EXPECT_EQ(str_to_int("-5"), -5);
    EXPECT_EQ(str_to_int("+5"), 5);
    EXPECT_EQ(str_to_int("--5"), 5);
    // A sign inside the digits counts one at its place.
    EXPECT_EQ(str_to_int("1-"), 9);
    EXPECT_EQ(str_to_int("0"), 0);
}

TEST(FltToStr, FixedPointText) {
    EXPECT_EQ(fts(3.14159f, 4, 2, 0), " 3.14");
    EXPECT_EQ(fts(-2.5f, 3, 1, 0), "- 2.5");
    EXPECT_EQ(fts(7.0f, 1, 0, 1), " 7");
    EXPECT_EQ(fts(7.0f, 1, 0, 0), "7");
    EXPECT_EQ(fts(0.0f, 3, 0, 0), "  0");
    EXPECT_EQ(fts(-0.04f, 2, 1, 0), "-0.0");
    EXPECT_EQ(fts(0.25f, 2, 1, 0), "0.3");  // halves away from zero
    EXPECT_EQ(fts(-0.25f, 2, 1, 0), "-0.3");
    EXPECT_EQ(fts(12.05f, 2, 1, 1), " 12.1");
    // The product is rounded in float first: 2.675f lies just below 2.675.
    EXPECT_EQ(fts(2.675f, 1, 2, 0), "2.68");
    EXPECT_EQ(fts(1.0f, 1, -1, 0), "unchanged");
    EXPECT_EQ(fts(1.5f, 1, 3, 0), "1.500");
    // The integer part is padded as int_to_str pads: to ten places at most.
    EXPECT_EQ(fts(5.0f, 15, 0, 0), "         5");
    EXPECT_EQ(fts(-5.0f, 14, 2, 0), "-         5.00");
}

TEST(FltToStr, LargeValuesAndManyDecimals) {
    // Products beyond 32 bits (and beyond 10^9 decimals) keep their digits.
    EXPECT_EQ(fts(30000000.0f, 2, 2, 0), "30000000.00");
    EXPECT_EQ(fts(-4294967296.0f, 1, 0, 0), "-4294967296");
    EXPECT_EQ(fts(0.5f, 1, 12, 0), "0.500000000000");
    EXPECT_EQ(fts(2.0f, 1, 20, 0), "2.00000000000000000000");
    EXPECT_EQ(fts(1e20f, 1, 0, 0), "100000002004087734272");
    EXPECT_EQ(fts(1e20f, 1, 2, 1), " 100000002004087734272.00");
    // Beyond 64-bit fixed point the integer part is still padded to its places.
    EXPECT_EQ(fts(12.0f, 28, 18, 0), "        12.000000000000000000");
    EXPECT_EQ(fts(-9.5e8f, 20, 10, 1), "- 950000000.0000000000");
}

TEST(ReplaceAll, SearchesAgainFromTheReplacement) {
    EXPECT_EQ(replaced("aab", "ab", "b"), "ab");
    EXPECT_EQ(replaced("aabb", "ab", "a"), "aa");
    EXPECT_EQ(replaced("a.b.c", ".", "::"), "a::b::c");
    EXPECT_EQ(replaced("abc", "", "x"), "abc");
    EXPECT_EQ(replaced("", "a", "b"), "");
    // A replacement that holds the pattern must end.
    EXPECT_EQ(replaced("a-b-", "-", "--"), "a--b--");
    EXPECT_EQ(replaced("xx", "x", "xx"), "xxxx");
}

TEST(Unescape, CarriageReturnsAndLineFeeds) {
    std::string s = "one\\ntwo\\r\\nthree\\t\\";
    STR_unescape(s);
    EXPECT_EQ(s, "one\ntwo\r\nthree\\t\\");
}

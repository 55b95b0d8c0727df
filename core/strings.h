// Number and string conversions used to build the texts the program shows and writes.
#pragma once

#include <string>

#include "platform/plat_strings.h"

// Decimal text of value into buf (at least 12 bytes), zero-padded to min_digits (at most
// ten), '+' before values >= 0 when plus_sign is set.
void int_to_str(int value, char* buf, int min_digits, int plus_sign);
// 1 to 9 digits with an optional leading sign; -1 for anything else.
int str_to_int(const std::string& text);
// Fixed-point text: the integer part blank-padded to digits - decimals places, then '.' and
// the decimals; '-' before negative values, else a blank when pad is set.
void flt_to_str(float value, std::string* out, int digits, int decimals, int pad);
// Replaces every occurrence of from in s by to.
void STR_replace_all(std::string& s, const std::string& from, const std::string& to);
// Turns the two-character sequences \r and \n into the real characters.
void STR_unescape(std::string& s);

// starts_with, ends_with, is_blank (space or tab), lower (ASCII), utf8_prefix and utf8_encode,
// shared with the platform layer.
using plat::ends_with;
using plat::is_blank;
using plat::lower;
using plat::starts_with;
using plat::utf8_encode;
using plat::utf8_prefix;

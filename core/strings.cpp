#include "core/strings.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {
// Digits of mag from the 10^(places-1) place down, zero-padded to min_digits, no sign.
// Returns the number of characters written (no NUL).
int write_digits(uint64_t mag, char* out, int min_digits, int places) {
    uint64_t place = 1;
    for (int k = 1; k < places; ++k) place *= 10;
    int n = 0;
    for (int k = places - 1; k >= 0; --k, place /= 10)
        if (mag >= place || min_digits > k || k == 0) out[n++] = static_cast<char>('0' + (mag / place) % 10);
    return n;
}

std::string digits_text(uint64_t mag, int min_digits) {
    char buf[24];
    return std::string(buf, write_digits(mag, buf, min_digits, 20));
}
}  // namespace

void int_to_str(int value, char* buf, int min_digits, int plus_sign) {
    // The magnitude is unsigned so that INT_MIN has one.
    uint64_t mag = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
    int n = 0;
    if (value < 0)
        buf[n++] = '-';
    else if (plus_sign)
        buf[n++] = '+';
    n += write_digits(mag, buf + n, min_digits, 10);
    buf[n] = 0;
}

int str_to_int(const std::string& text) {
    if (text.empty()) return -1;
    for (char c : text)
        if (!(c >= '0' && c <= '9') && c != '+' && c != '-') return -1;
    size_t i = 0;
    int sign = 1;
    if (text[0] == '-') {
        sign = -1;
        i = 1;
    } else if (text[0] == '+') {
        i = 1;
    }
    size_t n = text.size() - i;
    if (n < 1 || n > 9) return -1;
    int sum = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        sum = sum * 10 + (c == '+' ? 1 : c == '-' ? -1 : c - '0');
    }
    return sign * sum;
}

void flt_to_str(float value, std::string* out, int digits, int decimals, int pad) {
    if (decimals < 0) return;
    // 64-bit fixed point; beyond 18 decimals the float has no digits left, so zeros follow.
    const int exact = decimals < 18 ? decimals : 18;
    int64_t p = 1;
    for (int k = 0; k < exact; ++k) p *= 10;
    // Up to 9 decimals the product is taken in float, as it always was; beyond, a float
    // product has no digits left for the decimals, so double carries them.
    const double product = exact <= 9 ? static_cast<double>(static_cast<float>(p) * value)
                                      : static_cast<double>(p) * static_cast<double>(value);

    std::string int_text, frac_text;
    // int_to_str pads to ten digits at most.
    const int int_digits = std::min(digits - decimals, 10);
    if (std::fabs(product) < 9.2e18) {
        int64_t n = std::llround(product);
        int64_t q = n / p, r = n - p * q;
        int_text = digits_text(static_cast<uint64_t>(q < 0 ? -q : q), int_digits);
        frac_text = digits_text(static_cast<uint64_t>(r < 0 ? -r : r), exact);
    } else {
        // Too large for 64-bit fixed point: such a float is an integer.
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0f", std::fabs(static_cast<double>(value)));
        int_text = buf;
        if (static_cast<int>(int_text.size()) < int_digits)
            int_text.insert(0, int_digits - int_text.size(), '0');
        frac_text.assign(exact, '0');
    }
    frac_text.append(decimals - exact, '0');
    for (size_t k = 0; k + 1 < int_text.size() && int_text[k] == '0'; ++k) int_text[k] = ' ';

    std::string result = value < 0 ? "-" : pad ? " " : "";
    result += int_text;
    if (decimals > 0) result += "." + frac_text;
    *out = result;
}

void STR_replace_all(std::string& s, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    // Searching the inserted text again would never end when it holds the pattern.
    const bool skip_inserted = to.find(from) != std::string::npos;
    size_t pos = 0;
    while ((pos = s.find(from, pos)) != std::string::npos) {
        s.replace(pos, from.size(), to);
        if (skip_inserted) pos += to.size();
    }
}

void STR_unescape(std::string& s) {
    STR_replace_all(s, "\\r", "\r");
    STR_replace_all(s, "\\n", "\n");
}

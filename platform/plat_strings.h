// Small string tests shared by every layer (core/strings.h makes them the program's own).
#pragma once

#include <cctype>
#include <cstdint>
#include <string>

namespace plat {
inline bool starts_with(const std::string& s, const std::string& head) {
    return s.size() >= head.size() && s.compare(0, head.size(), head) == 0;
}
inline bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
// A blank inside a line: space or tab.
inline constexpr bool is_blank(int c) { return c == ' ' || c == '\t'; }
// ASCII lower case; other bytes unchanged.
inline std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}
// The length of the well-formed UTF-8 sequence that starts at p (p < end), with its code point;
// 0 when none starts there (a stray continuation byte, an overlong form, a surrogate, a code
// point past U+10FFFF or a sequence cut short).
inline int utf8_decode(const char* p, const char* end, uint32_t* cp) {
    const unsigned char c = static_cast<unsigned char>(p[0]);
    if (c < 0x80) return *cp = c, 1;
    int len;
    unsigned char lo = 0x80, hi = 0xBF;  // the second byte's range
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        if (c == 0xE0) lo = 0xA0;  // no overlong forms
        if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        if (c == 0xF0) lo = 0x90;
        if (c == 0xF4) hi = 0x8F;  // nothing past U+10FFFF
    } else {
        return 0;
    }
    if (end - p < len) return 0;
    const unsigned char second = static_cast<unsigned char>(p[1]);
    if (second < lo || second > hi) return 0;
    uint32_t v = c & (0x7Fu >> len);
    for (int i = 1; i < len; ++i) {
        const unsigned char b = static_cast<unsigned char>(p[i]);
        if ((b & 0xC0) != 0x80) return 0;
        v = (v << 6) | (b & 0x3Fu);
    }
    *cp = v;
    return len;
}
// The first max_bytes bytes of s or fewer, never ending inside a well-formed UTF-8 sequence;
// bytes of text that is not UTF-8 count one by one.
inline std::string utf8_prefix(const std::string& s, size_t max_bytes) {
    if (s.size() <= max_bytes) return s;
    // A sequence is at most 4 bytes: the one cut, if any, starts within the 3 before the cut.
    for (size_t k = max_bytes; k-- > 0 && max_bytes - k <= 3;) {
        uint32_t cp = 0;
        const int len = utf8_decode(s.data() + k, s.data() + s.size(), &cp);
        if (len > 0 && k + static_cast<size_t>(len) > max_bytes) return s.substr(0, k);
        if ((static_cast<unsigned char>(s[k]) & 0xC0) != 0x80) break;
    }
    return s.substr(0, max_bytes);
}
// The UTF-8 bytes of a code point.
inline std::string utf8_encode(uint32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}
}  // namespace plat

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
// The first max_bytes bytes of s or fewer, never ending inside a UTF-8 sequence.
inline std::string utf8_prefix(const std::string& s, size_t max_bytes) {
    if (s.size() <= max_bytes) return s;
    size_t n = max_bytes;
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
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

#include "graphics/text_layout.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>

#include "platform/plat_strings.h"

namespace {

// The grid rows, left to right; bytes above 0x7F are ISO 8859-1, 0xFB is the degree ring.
constexpr const char* grid_rows[glyph_rows] = {
    " 0123456789AaBbCcDdEe",
    "FfGgHhIiJjKkLlMmNnOoP",
    "pQqRrSsTtUuVvWwXxYyZz",
    "!@#$%^&*()-_+=[]|\\':;",
    "<.>,?/`\xFB\xC1\xE1\xC9\xE9\xCD\xED\xD3\xF3\xDA\xFA\xD1\xF1\xBF",
};

struct width_group {
    int width;
    const char* bytes;
};
constexpr width_group width_groups[] = {
    {2, ",."},
    {3, " '/:;I\\`ijl|\xFB"},
    {4, "!()-J[]frst"},
    {5, "c"},
    {6, "#$*?0123456789EFLPSTZ^_aekvxyz\xBF\xC1\xC9\xCD\xD1\xD3\xDA\xE1\xE9\xED\xF1\xF3\xFA"},
    {7, "+<=>BCKRVXYbdghnopqu"},
    {8, "&ADGHNU"},
    {9, "@OQw"},
    {10, "Mm"},
    {11, "%W"},
};

struct tables {
    std::array<glyph_cell, 256> cell{};
    std::array<unsigned char, 256> width{};
};

tables make_tables() {
    tables t;
    for (int row = 0; row < glyph_rows; ++row)
        for (int col = 0; col < glyph_cols; ++col)
            t.cell[static_cast<unsigned char>(grid_rows[row][col])] = glyph_cell{col, row};
    for (const width_group& g : width_groups)
        for (const char* p = g.bytes; *p; ++p) t.width[static_cast<unsigned char>(*p)] = g.width;
    return t;
}

const tables& tab() {
    static const tables t = make_tables();
    return t;
}

bool is_break(char c) { return c == ' ' || c == '-' || c == '/'; }

}  // namespace

glyph_cell OGL_glyph_cell(int code) {
    if (code == glyph_missing) return glyph_cell{glyph_cols, 0};
    return code >= 0 && code < 256 ? tab().cell[code] : glyph_cell{0, 0};
}

int OGL_char_width(int code) {
    if (code == glyph_missing) return glyph_missing_width;
    return code >= 0 && code < 256 ? tab().width[code] : 0;
}

text_char OGL_text_char(const char* p, const char* end) {
    uint32_t cp = 0;
    const int len = plat::utf8_decode(p, end, &cp);
    if (len > 1) {
        if (cp < 256 && tab().width[cp] > 0) return text_char{len, static_cast<int>(cp)};
        if (cp < 0xA0) return text_char{len, 0};  // a control character
        return text_char{len, glyph_missing};
    }
    const unsigned char c = static_cast<unsigned char>(p[0]);
    if (tab().width[c] > 0 || c < 0x20 || c == 0x7F) return text_char{1, c};
    return text_char{1, glyph_missing};
}

int OGL_text_char_before(const char* begin, const char* p) {
    // A sequence is at most four bytes: its start lies at most three before its last byte.
    for (int back = 2; back <= 4 && p - back >= begin; ++back)
        if (OGL_text_char(p - back, p).len == back) return back;
    return 1;
}

float OGL_string_width(const std::string& text) {
    int w = 0;
    const char* end = text.data() + text.size();
    for (const char* p = text.data(); p < end;) {
        const text_char t = OGL_text_char(p, end);
        w += OGL_char_width(t.code);
        p += t.len;
    }
    return static_cast<float>(w);
}

glyph_quad OGL_glyph_quad(float x, float y, float tex_x, float tex_y, float cell_w, float cell_h, int code,
                          int font, float scale) {
    int col, row;
    if (font == font_sheet) {
        // The code is never negative, so high bytes stay on the sheet.
        col = code % 40;
        row = code / 40;
    } else {
        glyph_cell g = OGL_glyph_cell(code);
        col = g.col;
        row = g.row;
    }
    const float k = scale > 1.0f ? scale : 1.0f;
    glyph_quad q;
    q.s0 = (tex_x + col * cell_w) * 0.001953125f;
    q.t0 = (tex_y + row * cell_h) * 0.001953125f;
    q.s1 = q.s0 + cell_w * 0.001953125f;
    q.t1 = q.t0 + cell_h * 0.001953125f;
    q.x0 = std::trunc(x);
    q.y0 = std::trunc(y) - 4.0f;
    q.x1 = q.x0 + cell_w * k;
    q.y1 = q.y0 + cell_h * k;
    return q;
}

std::vector<line_glyph> OGL_line_layout(const std::string& text, float x, int fixed_adv, int align) {
    if (align == 1)
        x -= OGL_string_width(text) / 2.0f;
    else if (align == 2)
        x -= OGL_string_width(text);
    std::vector<line_glyph> out;
    out.reserve(text.size());
    const char* end = text.data() + text.size();
    for (const char* p = text.data(); p < end;) {
        const text_char t = OGL_text_char(p, end);
        p += t.len;
        if (t.code == 13 || t.code == 10 || t.code == 9) continue;
        out.push_back(line_glyph{x, t.code});
        x += fixed_adv > 0 ? static_cast<float>(fixed_adv) : static_cast<float>(OGL_char_width(t.code));
    }
    return out;
}

wrapped_text OGL_wrap_text(const std::string& text, float x, float wrap, int fixed_adv) {
    wrapped_text out{{}, 0};
    if (wrap <= 0.0f || wrap >= 9999.0f) {
        out.lines.push_back(text);
        return out;
    }
    const float right = x + wrap;
    const char* begin = text.data();
    const char* end = begin + text.size();
    std::string line;
    float pen = x;
    for (const char* p = begin; p < end;) {
        const text_char t = OGL_text_char(p, end);
        const char c = *p;
        line.append(p, static_cast<size_t>(t.len));
        p += t.len;
        pen += fixed_adv > 0 ? static_cast<float>(fixed_adv) : static_cast<float>(OGL_char_width(t.code));
        bool emit = c == '\n' || p == end;
        if (!emit && is_break(c)) {
            // The next word's characters, each estimated at 6.
            int word = 0;
            for (const char* q = p; q < end && !is_break(*q) && *q != '\0'; q += OGL_text_char(q, end).len)
                ++word;
            emit = pen + 6.0f * static_cast<float>(word) > right;
        }
        if (emit) {
            out.lines.push_back(line);
            ++out.lines_emitted;
            line.clear();
            pen = x;
        }
    }
    return out;
}

namespace {

const std::string kDots = "...";

float char_width_at(const char* p, const char* end) {
    return static_cast<float>(OGL_char_width(OGL_text_char(p, end).code));
}

// The end of the longest head of [b, e) no wider than room.
const char* head_fitting(const char* b, const char* e, float room) {
    const char* p = b;
    for (float w = 0; p < e;) {
        w += char_width_at(p, e);
        if (w > room) break;
        p += OGL_text_char(p, e).len;
    }
    return p;
}

// The start of the longest tail of [b, e) no wider than room.
const char* tail_fitting(const char* b, const char* e, float room) {
    const char* p = e;
    for (float w = 0; p > b;) {
        const char* q = p - OGL_text_char_before(b, p);
        w += char_width_at(q, e);
        if (w > room) break;
        p = q;
    }
    return p;
}

// The longest head of s that fits width with "..." after it, and the dots.
std::string cut_end(const std::string& s, float width) {
    const char* b = s.data();
    return std::string(b, head_fitting(b, b + s.size(), width - OGL_string_width(kDots))) + kDots;
}

// "..." and the longest tail of s that fits width after them.
std::string cut_start(const std::string& s, float width) {
    const char* e = s.data() + s.size();
    return kDots + std::string(tail_fitting(s.data(), e, width - OGL_string_width(kDots)), e);
}

}  // namespace

std::vector<std::string> OGL_break_lines(const std::string& text, float width) {
    // Greedy by the drawn widths: each line ends after the last space, hyphen or slash that fits.
    std::vector<std::string> lines;
    const char* const e = text.data() + text.size();
    for (const char* p = text.data(); p < e;) {
        const char* q = p;
        const char* fits = nullptr;  // after the last break that fits
        for (float w = 0; q < e && *q != '\n';) {
            w += char_width_at(q, e);
            if (w > width) break;
            q += OGL_text_char(q, e).len;
            if (is_break(q[-1])) fits = q;
        }
        if (q < e && *q == '\n') {
            ++q;
        } else if (q != e && fits) {
            q = fits;
        } else if (q != e) {
            // A word wider than the line: a line of its own, with the break after it.
            while (q < e && !is_break(*q) && *q != '\n') ++q;
            if (q < e && *q != '\n') ++q;
        }
        lines.emplace_back(p, q);
        p = q;
    }
    return lines;
}

std::vector<std::string> OGL_fit_lines(const std::string& text, float wrap, int max_lines) {
    const size_t keep = static_cast<size_t>(std::max(max_lines, 1));
    std::vector<std::string> lines = OGL_break_lines(text, wrap);
    if (lines.size() > keep) {
        // The last line there is room for: the text's end.
        std::string rest;
        for (size_t k = keep - 1; k < lines.size(); ++k) rest += lines[k];
        lines.resize(keep);
        lines.back() = cut_start(rest, wrap);
    }
    for (std::string& line : lines)
        if (OGL_string_width(line) > wrap) line = cut_end(line, wrap);
    return lines;
}

std::string OGL_fit_line(const std::string& text, float width) {
    if (OGL_string_width(text) <= width) return text;
    // Half the room for the start; the end, which names the item, takes what the start left.
    const float room = width - OGL_string_width(kDots);
    const char* const b = text.data();
    const char* const e = b + text.size();
    const char* head = head_fitting(b, e, room / 2);
    const std::string start(b, head);
    return start + kDots + std::string(tail_fitting(head, e, room - OGL_string_width(start)), e);
}

std::string OGL_line_label(const std::string& line) {
    const size_t colon = line.find(": ");
    return colon == std::string::npos ? std::string() : line.substr(0, colon + 2);
}

fitted_text OGL_fit_text(const std::string& text, float wrap, float room, int max_lines) {
    fitted_text out{OGL_wrap_text(text, 0, wrap, 0).lines, true};
    const size_t keep = max_lines > 0 ? static_cast<size_t>(max_lines) : SIZE_MAX;
    // What ends a line (its break, a line feed) draws nothing worth keeping.
    auto ink = [](std::string line) {
        while (!line.empty() && (line.back() == ' ' || line.back() == '\n')) line.pop_back();
        return line;
    };
    auto too_wide = [&](const std::string& l) { return OGL_string_width(ink(l)) > room; };
    if (out.lines.size() <= keep && std::none_of(out.lines.begin(), out.lines.end(), too_wide)) return out;
    std::vector<std::string> pieces;
    for (const std::string& line : out.lines)
        for (std::string& piece : too_wide(line) ? OGL_break_lines(line, room) : std::vector{line})
            // A space the wrap left at a line's start is no line of its own.
            if (piece.find_first_not_of(' ') != std::string::npos) pieces.push_back(std::move(piece));
    if (pieces.size() > keep) {
        // The last line there is room for: the text's end.
        std::string rest;
        for (size_t k = keep - 1; k < pieces.size(); ++k) rest += pieces[k];
        std::replace(rest.begin(), rest.end(), '\n', ' ');
        rest = ink(rest);
        rest.erase(0, rest.find_first_not_of(' '));  // where a paragraph's break began it
        // Cut from its first line on, the text would lose what says what it is ("Error: ").
        std::string label = keep == 1 ? OGL_line_label(rest) : "";
        if (OGL_string_width(label) > room / 2) label.clear();
        pieces.resize(keep);
        pieces.back() = OGL_string_width(rest) > room
                            ? label + cut_start(rest.substr(label.size()), room - OGL_string_width(label))
                            : rest;
    }
    out.whole = false;
    out.lines.clear();
    for (const std::string& piece : pieces) out.lines.push_back(OGL_fit_line(ink(piece), room));
    return out;
}

float OGL_round_half_away(float v) {
    return v >= 0.0f ? std::trunc(v + 0.5f) : std::trunc(v - 0.5f);
}

namespace {

// The steps OGL_number's two forms share.
struct number_parts {
    float a;          // |value|
    float rounded;    // |value| x 10^decimals + 0.5
    int need;         // digit positions the scaled value needs
    bool show_sign;   // negative and not shown as zero
};

number_parts split_number(float value, int decimals) {
    number_parts p;
    const bool negative = value < 0.0f;
    p.a = std::fabs(value);
    const float scaled = static_cast<float>(p.a * std::pow(10.0, decimals));
    p.rounded = scaled + 0.5f;
    static constexpr float steps[] = {9.0f,      99.0f,      999.0f,       9999.0f,      99999.0f,
                                      999999.0f, 9999999.0f, 100000000.0f, 1000000000.0f};
    p.need = 1;
    for (int i = 0; i < 9; ++i)
        if (scaled > steps[i]) p.need = i + 2;
    if (p.need < decimals + 1) p.need = decimals + 1;
    p.show_sign = negative && scaled > 0.1f;
    return p;
}

// Digit k of the rounded value (k = 0 the units), in double so large values keep their digits.
char digit_char(float rounded, int k) {
    const double q = std::trunc(static_cast<double>(rounded) / std::pow(10.0, k));
    const double d = std::fmod(q, 10.0);
    if (!(d >= 0.0 && d <= 9.0)) return '0';
    return static_cast<char>('0' + static_cast<int>(d));
}

}  // namespace

std::string OGL_number_text(float value, int digits, int decimals) {
    const int n = digits - decimals;
    std::string text;
    if (!std::isfinite(value)) {
        // No digits to show: a dash in each position keeps the field's shape.
        for (int p = digits; p >= 1; --p) {
            if (p == decimals && n > 0) text += '.';
            text += '-';
        }
        return text.empty() ? "-" : text;
    }
    const number_parts np = split_number(value, decimals);
    if (np.show_sign) text += '-';
    if (digits < np.need) {
        float a = np.a;
        int e = 2;
        while (a >= 999.0f) {
            a /= 10.0f;
            ++e;
        }
        const int r = static_cast<int>(OGL_round_half_away(a));
        text += static_cast<char>('0' + (r / 100) % 10);
        text += '.';
        text += static_cast<char>('0' + (r / 10) % 10);
        text += static_cast<char>('0' + r % 10);
        text += 'x';
        text += e >= 10 ? '0' : static_cast<char>('0' + e);
        return text;
    }
    for (int p = digits; p >= 1; --p) {
        if (p == decimals && n > 0) text += '.';
        const int to_come = p - decimals;
        if ((to_come == 3 || to_come == 6 || to_come == 9) && n > to_come) text += ',';
        text += digit_char(np.rounded, p - 1);
    }
    return text;
}

std::vector<number_cell> OGL_number_cells(float value, int digits, int decimals) {
    constexpr float adv = 10.0f;
    const bool finite = std::isfinite(value);
    const number_parts np = finite ? split_number(value, decimals) : number_parts{0, 0, 1, false};
    const int n = digits - decimals;
    float s = -adv;
    std::vector<number_cell> cells;
    if (np.show_sign) cells.push_back(number_cell{s + 1.0f, '-'});
    if (decimals > 0) cells.push_back(number_cell{s + (n + 0.5f) * adv, '.'});
    for (int group : {3, 6, 9})
        if (n > group) cells.push_back(number_cell{s + (n - group + 0.5f) * adv, ','});
    const int m = digits < 11 ? digits : 11;
    for (int k = m - 1; k >= 0; --k) {
        s += adv;
        cells.push_back(number_cell{s, finite ? digit_char(np.rounded, k) : '-'});
    }
    return cells;
}

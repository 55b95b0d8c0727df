// The text-edit engine (widget kit layer).
#include "widgets/text_edit_engine.h"

#include <algorithm>
#include <cctype>
#include <cmath>

namespace {

struct text_view {
    const char* begin;
    int len;
};

text_view get_text(OGLE_Rec* rec) {
    const char* b = nullptr;
    const char* e = nullptr;
    rec->cb.GetText(rec, &b, &e);
    if (!b || e < b) return {"", 0};
    return {b, static_cast<int>(e - b)};
}

int clamp_pos(int pos, int len) { return std::clamp(pos, 0, len); }

// A line height of zero or less (or NaN) would divide by zero below: take one unit.
float line_height(OGLE_Rec* rec) {
    float h = rec->cb.GetLineHeight(rec);
    return (h > 0 && std::isfinite(h)) ? h : 1.0f;
}

void bounds(OGLE_Rec* rec, float vis[4], float log[4]) {
    rec->cb.GetVisibleBounds(rec, vis);
    rec->cb.GetLogicalBounds(rec, log);
}

int line_count(OGLE_Rec* rec) { return static_cast<int>(rec->line_starts.size()); }

// Start of line i: the text's start before the first line, its end after the last. Stored
// starts are clamped, since the text may have shrunk since the last repagination.
int ls(OGLE_Rec* rec, const text_view& t, int i) {
    if (i < 0) return 0;
    if (i >= line_count(rec)) return t.len;
    return clamp_pos(rec->line_starts[i], t.len);
}
int le(OGLE_Rec* rec, const text_view& t, int i) { return std::max(ls(rec, t, i), ls(rec, t, i + 1)); }

float width(OGLE_Rec* rec, const text_view& t, int a, int b) {
    a = clamp_pos(a, t.len);
    b = clamp_pos(b, t.len);
    if (b <= a) return 0;
    return rec->cb.MeasureString(rec, t.begin + a, t.begin + b);
}

// Characters of [a, b) that the width reaches, held inside the run.
int fit_fwd(OGLE_Rec* rec, const text_view& t, int a, int b, float w) {
    int n = rec->cb.FitStringFwd(rec, t.begin + a, t.begin + b, w);
    return std::clamp(n, 0, b - a);
}

// Floor or ceiling of a quotient as an int, saturated so that huge or NaN values stay defined.
int to_int_saturated(double v) {
    if (std::isnan(v)) return 0;
    if (v > 1e9) return 1000000000;
    if (v < -1e9) return -1000000000;
    return static_cast<int>(v);
}

void clamp_selection(OGLE_Rec* rec, int len) {
    rec->sel_end = clamp_pos(rec->sel_end, len);
    rec->sel_start = clamp_pos(rec->sel_start, len);
    if (rec->sel_start > rec->sel_end) rec->sel_start = rec->sel_end;
}

}  // namespace

static void OGLE_NormalizeSelectionInternal(OGLE_Rec* rec) {
    if (rec->sel_end < rec->sel_start) {
        std::swap(rec->sel_start, rec->sel_end);
        rec->active_end = 1 - rec->active_end;
    }
    int len = get_text(rec).len;
    rec->sel_end = clamp_pos(rec->sel_end, len);
    rec->sel_start = clamp_pos(rec->sel_start, len);
}

// The line that holds pos: a position equal to a line start belongs to that line.
static int OGLE_CharPosToLine(OGLE_Rec* rec, int pos) {
    const auto& starts = rec->line_starts;
    auto it = std::lower_bound(starts.begin(), starts.end(), pos);
    if (it == starts.end()) return static_cast<int>(starts.size()) - 1;
    int idx = static_cast<int>(it - starts.begin());
    return *it == pos ? idx : idx - 1;
}

static int OGLE_CoordToCharPos(OGLE_Rec* rec, float x, float y) {
    float vis[4], log[4];
    bounds(rec, vis, log);
    text_view t = get_text(rec);
    float h = line_height(rec);
    int line = to_int_saturated(std::floor((double(log[3]) - y) / h));
    if (line < 0) return 0;
    if (line >= line_count(rec)) return t.len;
    x = std::clamp(x, log[0], std::max(log[0], log[2]));
    int a = ls(rec, t, line), b = le(rec, t, line);
    return a + fit_fwd(rec, t, a, b, x - log[0]);
}

static int OGLE_CharPosVerticalAdjust(OGLE_Rec* rec, int pos, int delta, float* desired_x) {
    text_view t = get_text(rec);
    pos = clamp_pos(pos, t.len);
    int i = OGLE_CharPosToLine(rec, pos);
    if (*desired_x == -1.0f) *desired_x = width(rec, t, ls(rec, t, i), pos);
    int target = i + delta;
    if (target < 0) return 0;
    if (target >= line_count(rec)) return t.len;
    int a = ls(rec, t, target), b = le(rec, t, target);
    // The end of a line that is not the last is the next line's start: stop one byte before it,
    // or Up could never leave a short line and Down would skip the line after it.
    if (target < line_count(rec) - 1) b = std::max(a, b - 1);
    return a + fit_fwd(rec, t, a, b, *desired_x);
}

// Length in bytes of the line that starts at p: whitespace runs and words while they fit in W;
// a line break ends its line; a line takes at least one byte.
static int measure_line(OGLE_Rec* rec, const text_view& t, int p, float W) {
    const char* end = t.begin + t.len;
    const char* q = t.begin + p;
    int chars = 0;
    float w = 0;
    if (q == end) return 0;
    for (;;) {
        const char* run_end = q;
        if (run_end < end && *run_end != '\n' && *run_end != '\r' && std::isspace(static_cast<unsigned char>(*run_end))) {
            while (run_end < end && *run_end != '\n' && *run_end != '\r' &&
                   std::isspace(static_cast<unsigned char>(*run_end)))
                ++run_end;
        }
        if (run_end > q) w += rec->cb.MeasureString(rec, q, run_end);
        chars += static_cast<int>(run_end - q);
        if (run_end == end) return chars;
        if (*run_end == '\n' || *run_end == '\r') return chars + 1;
        const char* w_end = rec->cb.WordBreak(rec, run_end, end);
        // A word break that does not advance would wrap forever: take one byte.
        if (!w_end || w_end <= run_end || w_end > end) w_end = run_end + 1;
        w += rec->cb.MeasureString(rec, run_end, w_end);
        if (!(w <= W)) return chars == 0 ? 1 : chars;
        chars += static_cast<int>(w_end - run_end);
        if (w_end == end) return chars;
        q = w_end;
    }
}

static void OGLE_RepaginateInternal(OGLE_Rec* rec) {
    float vis[4], log[4];
    bounds(rec, vis, log);
    float W = log[2] - log[0];
    float h = rec->cb.GetLineHeight(rec);
    text_view t = get_text(rec);
    auto& starts = rec->line_starts;
    if (starts.empty())
        starts.push_back(0);
    else
        starts[0] = 0;
    int p = 0;
    size_t i = 0;
    for (;;) {
        p += measure_line(rec, t, p, W);
        ++i;
        if (p >= t.len) {
            // A longer text may have left starts behind: always cut them.
            starts.resize(i);
            rec->cb.SetLogicalHeight(rec, h * static_cast<float>(starts.size()));
            return;
        }
        if (i < starts.size())
            starts[i] = p;
        else
            starts.push_back(p);
    }
}

OGLE_Rec* OGLE_Create(const OGLE_Callbacks* callbacks, void* refcon) {
    auto* rec = new OGLE_Rec;
    rec->cb = *callbacks;
    rec->refcon = refcon;
    rec->sel_start = 0;
    rec->sel_end = 0;
    rec->active_end = 1;
    rec->desired_x = -1.0f;
    return rec;
}

void OGLE_Destroy(OGLE_Rec* rec) { delete rec; }

void* OGLE_GetRef(OGLE_Rec* rec) { return rec->refcon; }

void OGLE_GetSelection(OGLE_Rec* rec, int* start, int* end) {
    if (start) *start = rec->sel_start;
    if (end) *end = rec->sel_end;
}

void OGLE_SetSelection(OGLE_Rec* rec, int start, int end) {
    rec->sel_start = start;
    rec->sel_end = end;
    OGLE_NormalizeSelectionInternal(rec);
}

void OGLE_RevealSelection(OGLE_Rec* rec) {
    text_view t = get_text(rec);
    float vis[4], log[4];
    bounds(rec, vis, log);
    float h = line_height(rec);
    int pos = clamp_pos(rec->active_end == 1 ? rec->sel_end : rec->sel_start, t.len);
    int i = OGLE_CharPosToLine(rec, pos);
    float x = log[0] + width(rec, t, ls(rec, t, i), pos);
    float y = log[3] - h * static_cast<float>(i + 1 - rec->active_end);
    float cur[2] = {vis[0] - log[0], vis[1] - log[1]};
    float want[2] = {cur[0], cur[1]};
    if (x < vis[0]) want[0] = x - log[0];
    if (x > vis[2]) want[0] = x - log[0] - (vis[2] - vis[0]);
    if (y < vis[1]) want[1] = y - log[1];
    if (y > vis[3]) want[1] = y - log[1] - (vis[3] - vis[1]);
    if (want[0] != cur[0] || want[1] != cur[1]) rec->cb.ScrollTo(rec, want);
}

void OGLE_Draw(OGLE_Rec* rec, int show_caret) {
    float vis[4], log[4];
    bounds(rec, vis, log);
    float h = line_height(rec);
    text_view t = get_text(rec);
    int n = line_count(rec);
    int first = std::max(0, to_int_saturated(std::floor((double(log[3]) - vis[3]) / h)));
    int last = to_int_saturated(std::ceil((double(log[3]) - vis[1]) / h));
    if (last > n || last < 0) last = n;
    int ss = clamp_pos(rec->sel_start, t.len);
    int se = clamp_pos(rec->sel_end, t.len);
    auto band_bottom = [&](int i) { return log[3] - h * static_cast<float>(i + 1); };
    auto band_top = [&](int i) { return log[3] - h * static_cast<float>(i); };

    if (ss < se) {
        for (int i = first; i < last; ++i) {
            int a = ls(rec, t, i), b = le(rec, t, i);
            if (a >= se) break;
            if (b <= ss) continue;
            float r[4] = {log[0], band_bottom(i), log[2], band_top(i)};
            if (a < ss) {
                r[0] = log[0] + width(rec, t, a, ss);
                if (b > se) r[2] = log[0] + width(rec, t, a, se);
            } else if (b >= se) {
                r[2] = log[0] + width(rec, t, a, se);
            }
            rec->cb.DrawSelection(rec, r);
        }
    }
    for (int i = first; i < last; ++i)
        rec->cb.DrawString(rec, t.begin + ls(rec, t, i), t.begin + le(rec, t, i), log[0], band_bottom(i));

    if (show_caret && ss == se) {
        for (int i = first; i < last; ++i) {
            int a = ls(rec, t, i), b = le(rec, t, i);
            if (a > ss) break;
            if (ss < b || (ss == b && i == n - 1)) {
                float x = log[0] + width(rec, t, a, ss);
                float r[4] = {x, band_bottom(i), x, band_top(i)};
                rec->cb.DrawSelection(rec, r);
                break;
            }
        }
    }
}

void OGLE_Click(OGLE_Rec* rec, float x, float y, int extend) {
    rec->desired_x = -1.0f;
    int pos = OGLE_CoordToCharPos(rec, x, y);
    if (extend) {
        if (pos < rec->sel_start) {
            rec->sel_start = pos;
            rec->active_end = 0;
        } else {
            rec->sel_end = pos;
            rec->active_end = 1;
        }
    } else {
        rec->sel_start = rec->sel_end = pos;
        rec->active_end = 1;
    }
    OGLE_NormalizeSelectionInternal(rec);
    OGLE_RevealSelection(rec);
}

void OGLE_Drag(OGLE_Rec* rec, float x, float y) {
    rec->desired_x = -1.0f;
    int pos = OGLE_CoordToCharPos(rec, x, y);
    (rec->active_end == 0 ? rec->sel_start : rec->sel_end) = pos;
    OGLE_NormalizeSelectionInternal(rec);
    OGLE_RevealSelection(rec);
}

void OGLE_Key(OGLE_Rec* rec, char key, int shift) {
    if (key != 30 && key != 31) rec->desired_x = -1.0f;
    // The edits below index the text: never through a selection left past its end.
    clamp_selection(rec, get_text(rec).len);
    int& active = rec->active_end == 0 ? rec->sel_start : rec->sel_end;
    bool empty = rec->sel_start == rec->sel_end;
    switch (key) {
    case 8: {
        bool changed = false;
        if (empty) {
            int pos = rec->sel_start;
            if (pos > 0) {
                rec->cb.ReplaceText(rec, pos - 1, pos, &key, &key);
                rec->sel_start = rec->sel_end = pos - 1;
                changed = true;
            }
        } else {
            rec->cb.ReplaceText(rec, rec->sel_start, rec->sel_end, &key, &key);
            rec->sel_end = rec->sel_start;
            changed = true;
        }
        rec->active_end = 1;
        if (changed) {
            OGLE_RepaginateInternal(rec);
            OGLE_RevealSelection(rec);
        }
        return;
    }
    case 28:
        if (shift)
            active -= 1;
        else if (empty)
            rec->sel_start = rec->sel_end = rec->sel_start - 1;
        else
            rec->sel_end = rec->sel_start;
        break;
    case 29:
        if (shift)
            active += 1;
        else if (empty)
            rec->sel_start = rec->sel_end = rec->sel_start + 1;
        else
            rec->sel_start = rec->sel_end;
        break;
    case 30:
    case 31: {
        int delta = key == 30 ? -1 : 1;
        if (shift)
            active = OGLE_CharPosVerticalAdjust(rec, active, delta, &rec->desired_x);
        else if (empty)
            rec->sel_start = rec->sel_end = OGLE_CharPosVerticalAdjust(rec, rec->sel_start, delta, &rec->desired_x);
        else if (key == 30)
            rec->sel_end = rec->sel_start;
        else
            rec->sel_start = rec->sel_end;
        break;
    }
    default: {
        int start = rec->sel_start;
        rec->cb.ReplaceText(rec, start, rec->sel_end, &key, &key + 1);
        rec->active_end = 1;
        rec->sel_start = rec->sel_end = start + 1;
        OGLE_RepaginateInternal(rec);
        OGLE_RevealSelection(rec);
        return;
    }
    }
    OGLE_NormalizeSelectionInternal(rec);
    OGLE_RevealSelection(rec);
}

void OGLE_Repaginate(OGLE_Rec* rec) { OGLE_RepaginateInternal(rec); }

void OGLE_ReplaceText(OGLE_Rec* rec, int from, int to, const char* begin, const char* end) {
    int run = (begin && end > begin) ? static_cast<int>(end - begin) : 0;
    int delta = run - (to - from);
    int s = rec->sel_start;
    if (to <= s) {
        rec->sel_start += delta;
        rec->sel_end += delta;
    } else if (from > s) {
        // The selection's end may lie in or after the range: move it with the text, so it never
        // points past the new end.
        if (rec->sel_end >= to)
            rec->sel_end += delta;
        else if (rec->sel_end > from)
            rec->sel_end = std::min(rec->sel_end, from + run);
    } else {
        rec->sel_end += delta;
        if (rec->sel_end < s) {
            rec->sel_start = std::max(s + delta, from);
            rec->sel_end = rec->sel_start;
        }
    }
    rec->cb.ReplaceText(rec, from, to, begin, end);
    OGLE_RepaginateInternal(rec);
    clamp_selection(rec, get_text(rec).len);
}

// The class: each callback slot calls the object's virtual operation of the same name.
static const OGLE_Callbacks class_callbacks = {
    OGLE::GetVisibleBoundsCB, OGLE::GetLogicalBoundsCB, OGLE::SetLogicalHeightCB, OGLE::ScrollToCB,
    OGLE::GetTextCB,          OGLE::ReplaceTextCB,      OGLE::GetLineHeightCB,    OGLE::MeasureStringCB,
    OGLE::FitStringFwdCB,     OGLE::FitStringRevCB,     OGLE::DrawStringCB,       OGLE::DrawSelectionCB,
    OGLE::WordBreakCB,
};

static OGLE* self(OGLE_Rec* rec) { return static_cast<OGLE*>(OGLE_GetRef(rec)); }

OGLE::OGLE() : rec(OGLE_Create(&class_callbacks, this)) {}
OGLE::~OGLE() { OGLE_Destroy(rec); }

void OGLE::GetSelection(int* start, int* end) { OGLE_GetSelection(rec, start, end); }
void OGLE::SetSelection(int start, int end) { OGLE_SetSelection(rec, start, end); }
void OGLE::RevealSelection() { OGLE_RevealSelection(rec); }
void OGLE::Draw(int show_caret) { OGLE_Draw(rec, show_caret); }
void OGLE::Drag(float x, float y) { OGLE_Drag(rec, x, y); }
void OGLE::Click(float x, float y, int extend) { OGLE_Click(rec, x, y, extend); }
void OGLE::Key(char key, int shift) { OGLE_Key(rec, key, shift); }
void OGLE::Repaginate() { OGLE_Repaginate(rec); }
void OGLE::DoReplaceText(int from, int to, const char* begin, const char* end) {
    OGLE_ReplaceText(rec, from, to, begin, end);
}

void OGLE::GetVisibleBoundsCB(OGLE_Rec* r, float rect[4]) { self(r)->GetVisibleBounds(rect); }
void OGLE::GetLogicalBoundsCB(OGLE_Rec* r, float rect[4]) { self(r)->GetLogicalBounds(rect); }
void OGLE::SetLogicalHeightCB(OGLE_Rec* r, float height) { self(r)->SetLogicalHeight(height); }
void OGLE::ScrollToCB(OGLE_Rec* r, float offset[2]) { self(r)->ScrollTo(offset); }
void OGLE::GetTextCB(OGLE_Rec* r, const char** begin, const char** end) { self(r)->GetText(begin, end); }
void OGLE::ReplaceTextCB(OGLE_Rec* r, int from, int to, const char* begin, const char* end) {
    self(r)->ReplaceText(from, to, begin, end);
}
float OGLE::GetLineHeightCB(OGLE_Rec* r) { return self(r)->GetLineHeight(); }
float OGLE::MeasureStringCB(OGLE_Rec* r, const char* begin, const char* end) {
    return self(r)->MeasureString(begin, end);
}
int OGLE::FitStringFwdCB(OGLE_Rec* r, const char* begin, const char* end, float width) {
    return self(r)->FitStringFwd(begin, end, width);
}
int OGLE::FitStringRevCB(OGLE_Rec* r, const char* begin, const char* end, float width) {
    return self(r)->FitStringRev(begin, end, width);
}
void OGLE::DrawStringCB(OGLE_Rec* r, const char* begin, const char* end, float x, float y) {
    self(r)->DrawString(begin, end, x, y);
}
void OGLE::DrawSelectionCB(OGLE_Rec* r, float rect[4]) { self(r)->DrawSelection(rect); }
const char* OGLE::WordBreakCB(OGLE_Rec* r, const char* begin, const char* end) {
    return self(r)->WordBreak(begin, end);
}

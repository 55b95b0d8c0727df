// Labels, atlas frames, window backgrounds, panels, close boxes, tabs and the heading dial.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/interface_strings.h"
#include "core/window_state.h"
#include "graphics/atlas_layout.h"
#include "graphics/text_layout.h"
#include "widget_helpers.h"
#include "widgets/widget_kit.h"

namespace {

struct label_parts {
    std::string left, right, help;
    bool operator==(const label_parts& o) const { return left == o.left && right == o.right && help == o.help; }
};
std::ostream& operator<<(std::ostream& os, const label_parts& p) {
    return os << "[" << p.left << "][" << p.right << "][" << p.help << "]";
}
label_parts split(const std::string& label) {
    label_parts p{"stale", "stale", "stale"};
    BTN_expand_label(label, p.left, p.right, p.help);
    return p;
}

struct rect {
    float x0, y0, x1, y1;
};
// The bounding rectangle of all quads of a batch.
rect bounds(const std::vector<atlas_quad>& q) {
    rect r{1e9f, 1e9f, -1e9f, -1e9f};
    for (const atlas_quad& a : q) {
        r.x0 = std::min(r.x0, a.x0), r.y0 = std::min(r.y0, a.y0);
        r.x1 = std::max(r.x1, a.x1), r.y1 = std::max(r.y1, a.y1);
    }
    return r;
}
// Quads tile their bounding rectangle without gaps or overlaps, each drawn 1:1 from the atlas.
void expect_tiled_one_to_one(const std::vector<atlas_quad>& q) {
    rect r = bounds(q);
    double area = 0;
    int bad = 0;
    for (const atlas_quad& a : q) {
        bad += !(a.x1 > a.x0 && a.y1 > a.y0);
        bad += std::fabs((a.x1 - a.x0) - (a.u1 - a.u0)) > 1e-3f || std::fabs((a.y1 - a.y0) - (a.v1 - a.v0)) > 1e-3f;
        area += double(a.x1 - a.x0) * (a.y1 - a.y0);
        for (const atlas_quad& b : q)
            bad += &a != &b && !(a.x1 <= b.x0 + 1e-3f || b.x1 <= a.x0 + 1e-3f || a.y1 <= b.y0 + 1e-3f ||
                                 b.y1 <= a.y0 + 1e-3f);
    }
    EXPECT_EQ(bad, 0) << "empty, stretched or overlapping pieces";
    double whole = double(r.x1 - r.x0) * (r.y1 - r.y0);
    EXPECT_NEAR(area, whole, whole * 1e-5) << "gaps";
}

// The atlas rectangle every quad of a batch reads from.
rect atlas_bounds(const std::vector<atlas_quad>& q) {
    rect r{1e9f, 1e9f, -1e9f, -1e9f};
    for (const atlas_quad& a : q) {
        r.x0 = std::min({r.x0, a.u0, a.u1}), r.y0 = std::min({r.y0, a.v0, a.v1});
        r.x1 = std::max({r.x1, a.u0, a.u1}), r.y1 = std::max({r.y1, a.v0, a.v1});
    }
    return r;
}
const atlas_region* region(const std::string& name) {
    for (const atlas_region& r : atlas_regions)
        if (name == r.name) return &r;
    return nullptr;
}
// A batch reads exactly the named region of the built-in images (the top row of the atlas is
// listed one short: the bars of styles 0 and 1 read one row past it).
void expect_reads(const painted& p, const std::string& name) {
    const atlas_region* want = region(name);
    ASSERT_TRUE(want) << name;
    rect got = atlas_bounds(p.quads);
    EXPECT_EQ(p.tex, want->ref) << name;
    EXPECT_FLOAT_EQ(got.x0, want->u0) << name;
    EXPECT_FLOAT_EQ(got.y0, want->v0) << name;
    EXPECT_FLOAT_EQ(got.x1, want->u1) << name;
    EXPECT_FLOAT_EQ(std::min(got.y1, 512.0f), want->v1) << name;
}

class Frames : public ::testing::Test {
protected:
    frame_driver driver;
    paint_recorder& paint = driver.paint;
};

}  // namespace

TEST(ExpandLabel, SplitsLeftRightAndHelp) {
    EXPECT_EQ(split("Plain"), (label_parts{"Plain", "", ""}));
    EXPECT_EQ(split("|to the right"), (label_parts{"", "to the right", ""}));
    EXPECT_EQ(split("left|right{ help text"), (label_parts{"left", "right", "help text"}));
    EXPECT_EQ(split("only{ help"), (label_parts{"only", "", "help"}));
    EXPECT_EQ(split("a{ h|b"), (label_parts{"a{ h", "", "h|b"}));  // the last '|' after the last '{'
    EXPECT_EQ(split("a|b|c"), (label_parts{"a|b", "c", ""}));
    EXPECT_EQ(split("x{"), (label_parts{"x", "", ""}));
}

TEST_F(Frames, LongLabelsBreakNearTheMiddle) {
    struct c {
        std::string label;
        int align;
        std::vector<std::string> lines;
        float first_y;
    } cases[] = {
        {"twelve bytes", 0, {"twelve bytes"}, 50},
        {"abcdef ghijklm nopqrstu", 0, {"abcdef ghijklm", "nopqrstu"}, 55},
        {"aaaaaa-bbbbbbb", 2, {"aaaaaa", "bbbbbbb"}, 55},  // the break byte is on neither line
        {"aaaaaaaaa/bbbb", 2, {"aaaaaaaaa", "bbbb"}, 55},
        {"-no break for this long label", 0, {"no break for this long label"}, 50},
        {"never split when centred", 1, {"never split when centred"}, 50},
        {"nobreakpointsatall", 0, {"nobreakpointsatall"}, 50},
        {"anything", 3, {}, 0},
        {"", 0, {}, 0},
    };
    const int text_align[] = {2, 1, 0};  // label 0 ends at x: the text call's 2
    for (const c& k : cases) {
        paint.clear();
        BTN_util_draw_label(100, 50, k.align, k.label, k.align == 2);
        auto s = paint.of("string");
        ASSERT_EQ(paint.texts(), k.lines) << k.label;
        for (size_t i = 0; i < s.size(); ++i) {
            EXPECT_EQ(s[i].y, k.first_y - 10.0f * static_cast<float>(i));
            EXPECT_EQ(s[i].x, 100);
            EXPECT_EQ(s[i].align, text_align[k.align]);
            EXPECT_EQ(s[i].colour, k.align == 2 ? 81 : 43);
            EXPECT_EQ(s[i].font, 100);
        }
    }
}

TEST_F(Frames, BarsRoundTheirCentreAndWidthAndTileTheirPieces) {
    enter_window(992, 100, 50, 561, 474);
    BTN_frame1(2, 10.5f, 20, 51, 7);
    auto q = paint.of("quads");
    ASSERT_EQ(q.size(), 1u);
    EXPECT_EQ(q[0].tex, 392);
    EXPECT_EQ(q[0].colour, 7);
    rect r = bounds(q[0].quads);
    EXPECT_FLOAT_EQ(r.x0, 100 + 11 - 26);  // centred on 11, 52 wide
    EXPECT_FLOAT_EQ(r.x1, 100 + 11 + 26);
    EXPECT_FLOAT_EQ(r.y0, 50 + 20 - 13);
    EXPECT_FLOAT_EQ(r.y1, 50 + 20 + 13);
    for (size_t i = 1; i < q[0].quads.size(); ++i) EXPECT_FLOAT_EQ(q[0].quads[i].x0, q[0].quads[i - 1].x1);
    EXPECT_FLOAT_EQ(q[0].quads.front().u0, 304);
    EXPECT_FLOAT_EQ(q[0].quads.back().u1, 356);
    EXPECT_FLOAT_EQ(q[0].quads.front().v1, 512);

    // A cut middle piece reads its atlas width scaled by the middle's end, not its length.
    paint.clear();
    BTN_frame1(2, 0, 0, 40, 0);
    auto cut = paint.of("quads")[0].quads;
    ASSERT_EQ(cut.size(), 3u);
    EXPECT_FLOAT_EQ(cut[1].x1 - cut[1].x0, 20);
    EXPECT_NEAR(cut[1].u1, 304 + 10 + 20.0 * 32 / 42, 1e-3);

    // Style 9 adds 4 to the width; style 0 sits 3 lower.
    paint.clear();
    BTN_frame1(9, 0, 0, 40, 0);
    BTN_frame1(0, 0, 0, 40, 0);
    auto both = paint.of("quads");
    EXPECT_FLOAT_EQ(bounds(both[0].quads).x1 - bounds(both[0].quads).x0, 44);
    EXPECT_FLOAT_EQ(bounds(both[1].quads).y0, 50 - 3 - 13);
}

TEST_F(Frames, ColumnsStackFromTheBottom) {
    BTN_frame0(6, 40, 100, 61);
    auto q = paint.of("quads")[0].quads;
    rect r = bounds(q);
    EXPECT_FLOAT_EQ(r.y1 - r.y0, 2 * 31 + 8);
    EXPECT_FLOAT_EQ(r.x0, 30);
    EXPECT_FLOAT_EQ(r.x1, 50);
    for (size_t i = 1; i < q.size(); ++i) EXPECT_FLOAT_EQ(q[i].y0, q[i - 1].y1);
    EXPECT_FLOAT_EQ(q.back().v1, 288);
}

TEST_F(Frames, PanelsCoverTheContentPlusTheirOutsetsInNineSlices) {
    enter_window(992, 100, 50, 561, 474);
    BTN_frame2(13, 10, 20, 200, 100, "Title");
    auto q = paint.of("quads");
    ASSERT_EQ(q.size(), 1u);
    rect r = bounds(q[0].quads);
    EXPECT_FLOAT_EQ(r.x0, 110 - 9);
    EXPECT_FLOAT_EQ(r.y0, 70 - 14);
    EXPECT_FLOAT_EQ(r.x1, 110 + 200 + 9);
    EXPECT_FLOAT_EQ(r.y1, 70 + 100 + 4);
    expect_tiled_one_to_one(q[0].quads);
    const painted* title = paint.find_text("Title");
    ASSERT_TRUE(title);
    EXPECT_FLOAT_EQ(title->x, 10 + 100 - OGL_string_width("Title") / 2);
    EXPECT_FLOAT_EQ(title->y, 20 + 100 - 16);
    EXPECT_EQ(title->colour, 43);

    for (int style : {11, 12, 14, 15, 16, 17, 18, 19, 20}) {
        for (float w : {60.0f, 149.5f}) {  // wide enough for both corners
            paint.clear();
            BTN_frame2(style, 0, 0, w, w * 0.7f + 50, "");
            expect_tiled_one_to_one(paint.of("quads")[0].quads);
        }
    }
    paint.clear();
    BTN_frame2(20, 10, 20, 200, 100, "Steps");
    EXPECT_EQ(paint.of("quads")[0].tex, 393);
    EXPECT_FLOAT_EQ(paint.find_text("Steps")->x, 20);
}

// Every style of the bars and panels reads its own strip or tile of the atlas, with its caps or
// corners, height, outsets and title.
TEST_F(Frames, EveryStyleHasItsArtAndMeasures) {
    struct bar {
        int style;
        float u, v, length, mid_end, cap, height, extra, y_shift;
    };
    const bar bars[] = {
        {0, 1, 487, 100, 90, 10, 26, 0, -3}, {1, 102, 487, 100, 80, 20, 26, 0, -3},
        {2, 304, 486, 52, 42, 10, 26, 0, 0}, {3, 304, 459, 52, 42, 10, 26, 0, 0},
        {4, 112, 161, 28, 18, 10, 16, 0, 0}, {5, 83, 161, 28, 18, 10, 16, 0, 0},
        {7, 240, 242, 65, 55, 10, 24, 0, 0}, {8, 289, 219, 16, 9, 7, 16, 0, 0},
        {9, 262, 133, 51, 41, 10, 26, 4, 0}, {10, 357, 488, 68, 42, 26, 24, 4, 0},
    };
    for (const bar& b : bars) {
        paint.clear();
        BTN_frame1(b.style, 100, 50, 120, 0);
        const std::vector<atlas_quad> q = paint.of("quads")[0].quads;
        const rect r = bounds(q);
        EXPECT_FLOAT_EQ(r.x1 - r.x0, 120 + b.extra) << b.style;
        EXPECT_FLOAT_EQ(r.y0, 50 + b.y_shift - b.height / 2) << b.style;
        EXPECT_FLOAT_EQ(r.y1 - r.y0, b.height) << b.style;
        EXPECT_FLOAT_EQ(q.front().x1 - q.front().x0, b.cap) << b.style;
        EXPECT_FLOAT_EQ(q.front().u0, b.u) << b.style;
        EXPECT_FLOAT_EQ(q.front().v0, b.v) << b.style;
        EXPECT_FLOAT_EQ(q[1].u0, b.u + b.cap) << b.style;
        EXPECT_FLOAT_EQ(q[1].u1, b.u + b.mid_end) << b.style;
        EXPECT_FLOAT_EQ(q.back().u0, b.u + b.mid_end) << b.style;
        EXPECT_FLOAT_EQ(q.back().u1, b.u + b.length) << b.style;
    }

    struct panel {
        int style, tex;
        float u, v, tile, corner_x, corner_bottom, corner_top, ox, oy, ot;
        int title_colour;
        float title_below_top;
    };
    const panel panels[] = {
        {11, 392, 1, 358, 100, 35, 30, 30, 9, 14, 4, 40, 13},
        {12, 392, 102, 358, 100, 35, 30, 30, 9, 14, 4, 43, 16},
        {13, 392, 203, 358, 100, 35, 30, 30, 9, 14, 4, 43, 16},
        {14, 392, 304, 358, 100, 35, 30, 30, 9, 14, 4, 43, 16},
        {15, 392, 405, 358, 100, 35, 30, 30, 9, 14, 4, 47, 16},
        {16, 392, 1, 289, 68, 23.8f, 20.4f, 20.4f, 2, 2, 2, 43, 16},
        {17, 392, 70, 315, 42, 20, 26, 14, 8, 13, 2, 43, 16},
        {18, 392, 113, 315, 42, 14.7f, 12.6f, 12.6f, 8, 13, 2, 43, 16},
        {19, 392, 440, 12, 44, 15.4f, 13.2f, 13.2f, 6, 9, 4, 43, 16},
        {20, 393, 982, 2, 41, 14.35f, 12.3f, 12.3f, 1, 1, 1, 43, 16},
    };
    for (const panel& p : panels) {
        paint.clear();
        BTN_frame2(p.style, 0, 0, 200, 150, "T");
        const painted batch = paint.of("quads")[0];
        EXPECT_EQ(batch.tex, p.tex) << p.style;
        const rect r = bounds(batch.quads);
        EXPECT_FLOAT_EQ(r.x0, -p.ox) << p.style;
        EXPECT_FLOAT_EQ(r.y0, -p.oy) << p.style;
        EXPECT_FLOAT_EQ(r.x1, 200 + p.ox) << p.style;
        EXPECT_FLOAT_EQ(r.y1, 150 + p.ot) << p.style;
        const atlas_quad& first = batch.quads.front();  // the lower left corner
        EXPECT_NEAR(first.x1 - first.x0, p.corner_x, 1e-4) << p.style;
        EXPECT_NEAR(first.y1 - first.y0, p.corner_bottom, 1e-4) << p.style;
        EXPECT_FLOAT_EQ(first.u0, p.u) << p.style;
        EXPECT_FLOAT_EQ(first.v0, p.v) << p.style;
        const atlas_quad& last = batch.quads.back();  // the upper right corner
        EXPECT_NEAR(last.y1 - last.y0, p.corner_top, 1e-4) << p.style;
        EXPECT_FLOAT_EQ(last.u1, p.u + p.tile) << p.style;
        EXPECT_FLOAT_EQ(last.v1, p.v + p.tile) << p.style;
        const painted* title = paint.find_text("T");
        ASSERT_TRUE(title) << p.style;
        EXPECT_EQ(title->colour, p.title_colour) << p.style;
        EXPECT_FLOAT_EQ(title->y, 150 - p.title_below_top) << p.style;
    }

    // A column's cut middle piece reads a third less of the atlas than its height beyond 10.
    paint.clear();
    BTN_frame0(6, 40, 100, 61);  // 70 high: pieces up to 50, then one cut at 60
    const std::vector<atlas_quad> column = paint.of("quads")[0].quads;
    ASSERT_GE(column.size(), 3u);
    EXPECT_FLOAT_EQ(column[column.size() - 2].y1 - column[column.size() - 2].y0, 10);
    EXPECT_NEAR(column[column.size() - 2].v1, 248 + 10 + 10 * 2.0f / 3, 1e-4);
}

TEST(FramesDeathTest, BadStylesEndTheProgram) {
    frame_driver driver;
    EXPECT_EXIT(BTN_frame1(6, 0, 0, 10, 0), ::testing::ExitedWithCode(1), "Bad BTN_frame1 call!.*OOPS_cpp/butn line 378");
    EXPECT_EXIT(BTN_frame1(11, 0, 0, 10, 0), ::testing::ExitedWithCode(1), "Bad BTN_frame1 call!");
    EXPECT_EXIT(BTN_frame0(2, 0, 0, 10), ::testing::ExitedWithCode(1), "Bad BTN_frame0 call!.*line 304");
    EXPECT_EXIT(BTN_frame0(6, 0.5f, 0, 10), ::testing::ExitedWithCode(1), "BTN_frame0 non-int x_center!.*line 305");
    EXPECT_EXIT(BTN_frame0(6, 0, 2.5f, 10), ::testing::ExitedWithCode(1), "BTN_frame0 non-int y_center!.*line 306");
    EXPECT_EXIT(BTN_frame2(21, 0, 0, 10, 10, "Name"), ::testing::ExitedWithCode(1),
                "Bad BTN_frame2 call! \\|  \\|  \\| Name .*line 443");
}

TEST_F(Frames, SubPanelsFillTheWindowAndReportWhereTheNextGoes) {
    enter_window(994, 0, 0, 500, 300);
    float nx = 0, ny = 0;
    BTN_subwin(0, 13, -1, -1, -1, -1, "", &nx, &ny);
    rect r = bounds(paint.of("quads")[0].quads);
    EXPECT_FLOAT_EQ(r.x0, 10 - 9);
    EXPECT_FLOAT_EQ(r.y0, 10 - 14);
    EXPECT_FLOAT_EQ(r.x1, 10 + 480 + 9);
    EXPECT_FLOAT_EQ(r.y1, 10 + 262 + 4);
    EXPECT_FLOAT_EQ(nx, 500);
    EXPECT_FLOAT_EQ(ny, 282);
    paint.clear();
    BTN_subwin(30, 13, 0, 0, -1, -1, "", &nx, &ny);
    EXPECT_FLOAT_EQ(bounds(paint.of("quads")[0].quads).x0, 0 - 9);  // x 0 stays 0
    EXPECT_FLOAT_EQ(nx, 500);
    EXPECT_FLOAT_EQ(ny, 300 - 28 - 30 + 10);
    BTN_subwin(0, 13, 20, 20, 0, 0, "", &nx, &ny);  // an empty panel stays empty
    EXPECT_FLOAT_EQ(nx, 30);
    EXPECT_FLOAT_EQ(ny, 30);
}

TEST_F(Frames, WindowBackgroundsAndTheirCloseBoxes) {
    enter_window(994, 150, 200, 500, 300);
    stls[0] = "Alert title";
    BTN_fillwin(1, 21);
    EXPECT_EQ(paint.of("quads").size(), 1u);  // the panel only: alerts have no close boxes
    EXPECT_FLOAT_EQ(bounds(paint.of("quads")[0].quads).y0, 200 - 14) << "over the whole sub-window";
    EXPECT_FLOAT_EQ(bounds(paint.of("quads")[0].quads).x0, 150 - 9);
    EXPECT_TRUE(paint.find_text("Alert title"));

    enter_window(997, 150, 200, 700, 206);
    paint.clear();
    BTN_fillwin(1, 21);
    auto q = paint.of("quads");
    ASSERT_EQ(q.size(), 3u);
    EXPECT_FLOAT_EQ(q[1].quads[0].x0, 150 + 7);
    EXPECT_FLOAT_EQ(q[1].quads[0].y1, 200 + 206 - 1);
    EXPECT_FLOAT_EQ(q[2].quads[0].x1, 150 + 700 - 7);
    EXPECT_FLOAT_EQ(q[1].quads[0].u0, 120);
    EXPECT_FLOAT_EQ(q[1].quads[0].v0, 178);

    // The frame of a press in the first box draws no second one.
    driver.press(7, 206 - 19, [] { BTN_fillwin(1, 21); });
    EXPECT_EQ(driver.paint.of("quads").size(), 2u);

    paint.clear();
    BTN_fillwin(0, 1);  // untitled, with the bar under the title
    q = paint.of("quads");
    ASSERT_EQ(q.size(), 2u);
    EXPECT_FLOAT_EQ(bounds(q[1].quads).x1 - bounds(q[1].quads).x0, 700);
    paint.clear();
    BTN_fillwin(0, 13);
    rect inner = bounds(paint.of("quads")[1].quads);
    EXPECT_FLOAT_EQ(inner.x0, 150 + 10 - 9);
    EXPECT_FLOAT_EQ(inner.x1, 150 + 10 + 680 + 9);
    EXPECT_FLOAT_EQ(inner.y1, 200 + 10 + 166 + 4);
}

TEST_F(Frames, CloseBoxesReportOnePressAFrame) {
    enter_window(997, 0, 0, 700, 206);
    struct c {
        float x, y;
        int result;
        size_t boxes;
    } cases[] = {
        {7, 187, 1, 1}, {25, 205, 1, 1}, {6, 190, 0, 2}, {26, 190, 0, 2},
        {675, 190, 1, 2}, {693, 187, 1, 2}, {694, 190, 0, 2}, {350, 190, 0, 2},
    };
    for (const c& k : cases) {
        int got = -1;
        driver.press(k.x, k.y, [&] { got = BTN_zap_boxes(1); });
        EXPECT_EQ(got, k.result) << k.x << "," << k.y;
        EXPECT_EQ(driver.paint.of("quads").size(), k.boxes) << k.x;
        EXPECT_FLOAT_EQ(driver.paint.of("quads")[0].quads[0].v0, 197);
        EXPECT_FLOAT_EQ(driver.paint.of("quads")[0].quads[0].y1, 206 - 1);
    }
    int got = -1;
    driver.hold(16, 196, [&] { got = BTN_zap_boxes(0); });  // held, not pressed this frame
    EXPECT_EQ(got, 0);
}

TEST_F(Frames, TabsSelectOnAPressInTheirHitBox) {
    enter_window(993, 0, 0, 400, 300);
    int current = 0;
    // Tab (1, 0): centre (141, 262); the hit box reaches 50 left and 40 right.
    driver.press(141 + 45, 262, [&] { BTN_tab(1, 0, &current, 5, "Tab"); });
    EXPECT_EQ(current, 0);
    driver.press(141 + 40, 262 - 13, [&] { BTN_tab(1, 0, &current, 4, "Tab"); });
    EXPECT_EQ(current, 4);
    mnw.open_menu = 3;  // a menu does not block tabs
    int hit = 0;
    driver.press(141 - 50, 262 + 13, [&] { hit = BTN_tab(1, 0, &current, 5, "Tab"); });
    EXPECT_EQ(hit, 1);
    EXPECT_EQ(current, 5);
    const painted* label = driver.paint.find_text("Tab");
    EXPECT_EQ(label->colour, 41);
    EXPECT_FLOAT_EQ(label->x, 141 - 40);
    EXPECT_EQ(label->align, 0) << "the label starts at the tab's left";
    EXPECT_FLOAT_EQ(driver.paint.of("quads")[0].quads[0].v0, 486);
}

TEST_F(Frames, TheDialFollowsTheHeldMouse) {
    enter_window(993, 0, 0, 400, 300);
    float heading = 45;
    auto dial = [&] { plot_dir(200, 150, &heading, 0); };
    driver.frame(dial);
    auto needle = driver.paint.of("rotated");
    ASSERT_EQ(needle.size(), 1u);
    EXPECT_FLOAT_EQ(needle[0].angle, 45);
    EXPECT_EQ(needle[0].colour, 0);
    EXPECT_FLOAT_EQ(needle[0].quads[0].x0, -5);
    EXPECT_FLOAT_EQ(needle[0].quads[0].x1, 5);
    EXPECT_FLOAT_EQ(needle[0].quads[0].v0, 315) << "look 0";
    EXPECT_FLOAT_EQ(driver.paint.of("number")[0].alpha, 45);
    struct c {
        float dx, dy, want;
    } cases[] = {{20, 0, 90}, {0, -20, 180}, {-20, 0, 270}, {0, 25, 0}, {-10, 10, 315}, {31, 0, 315}};
    for (const c& k : cases) {
        driver.hold(200 + k.dx, 150 + k.dy, dial);
        EXPECT_NEAR(heading, k.want, 1e-3) << k.dx << "," << k.dy;
    }
    driver.move(220, 150);  // released: no change
    driver.frame(dial);
    EXPECT_NEAR(heading, 315, 1e-3);
}

TEST_F(Frames, EveryPieceReadsItsArtInTheBuiltInImages) {
    const std::pair<int, const char*> bars[] = {
        {0, "bar 0 menu bar"},      {1, "bar 1 title bar"},     {2, "bar 2 button"},
        {3, "bar 3 pressed button"}, {4, "bar 4 progress track"}, {5, "bar 5 progress fill"},
        {7, "bar 7 slider track"},  {8, "bar 8 slider fill"},   {9, "bar 9 text field"},
        {10, "bar 10 pop-up field"},
    };
    for (auto& [style, name] : bars) {
        paint.clear();
        BTN_frame1(style, 200, 200, 300, 0);
        expect_reads(paint.calls[0], name);
    }
    paint.clear();
    BTN_frame0(6, 100, 100, 200);
    expect_reads(paint.calls[0], "column 6 scroll track");
    const std::pair<int, const char*> panels[] = {
        {11, "panel 11 titled window"}, {12, "panel 12 window"}, {13, "panel 13 inner"},
        {14, "panel 14 hover help"},    {15, "panel 15 splash"}, {16, "panel 16 list"},
        {17, "panel 17 drop-down"},     {18, "panel 18"},        {19, "panel 19"},
        {20, "panel 20"},
    };
    for (auto& [style, name] : panels) {
        paint.clear();
        BTN_frame2(style, 10, 10, 300, 200, "");
        expect_reads(paint.calls[0], name);
    }

    enter_window(997, 0, 0, 700, 206);
    auto sprites = [&](const std::function<void()>& draw) {
        driver.frame(draw);
        return driver.paint.of("quads");
    };
    expect_reads(sprites([] { BTN_zap_boxes(0); })[1], "title-strip box");
    expect_reads(sprites([] { BTN_zap_boxes(1); })[1], "title-strip box pressed");
    int on = 1;
    auto box = sprites([&] { BTN_bool(50, 50, &on, "", 0); });
    expect_reads(box[0], "check box off");
    expect_reads(box[1], "check box on");
    auto radio = sprites([&] { BTN_bool(50, 50, &on, "", 1); });
    expect_reads(radio[0], "radio off");
    expect_reads(radio[1], "radio on");
    int tab = 1;
    expect_reads(sprites([&] { BTN_tab(0, 0, &tab, 1, ""); })[0], "tab selected");
    expect_reads(sprites([&] { BTN_tab(0, 0, &tab, 2, ""); })[0], "tab");
    float heading = 0;
    driver.frame([&] { plot_dir(100, 100, &heading, 0); });
    expect_reads(driver.paint.of("rotated")[0], "needle");
    expect_reads(driver.paint.of("quads")[0], "heading dial");
    driver.frame([&] { plot_dir(100, 100, &heading, 1); });
    expect_reads(driver.paint.of("rotated")[0], "needle alternate");
}

TEST_F(Frames, TitlesOfTheWindowPanels) {
    BTN_frame2(11, 0, 0, 300, 200, "Window");
    BTN_frame2(15, 0, 0, 300, 200, "Splash");
    EXPECT_EQ(paint.find_text("Window")->colour, 40);
    EXPECT_FLOAT_EQ(paint.find_text("Window")->y, 187);
    EXPECT_EQ(paint.find_text("Splash")->colour, 47);
    EXPECT_FLOAT_EQ(paint.find_text("Splash")->y, 184);
}

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "core/window_state.h"
#include "install/checksum.h"
#include "install/install_state.h"
#include "install/manifest.h"
#include "wizard/world_map.h"
#include "wizard_helpers.h"

namespace {

class Map : public ::testing::Test {
protected:
    int sel[36][18] = {};
    map_press_state press;
    // Window point of the centre of tile (c, r) of a map at (248, 150).
    static float cx(int c) { return 248 + 14 * c + 7; }
    static float cy(int r) { return 150 + 14 * r + 7; }
    bool frame(float x, float y, int down, int held) { return map_select(press, x, y, down, held, 248, 150, sel); }
    int count() const {
        int n = 0;
        for (auto& c : sel)
            for (int t : c) n += t;
        return n;
    }
};

TEST_F(Map, ClickTogglesTheTileUnderIt) {
    EXPECT_TRUE(frame(cx(6), cy(13), 1, 1));
    EXPECT_EQ(sel[6][13], 1);
    frame(cx(6), cy(13), 0, 0);
    frame(cx(6), cy(13), 1, 1);
    EXPECT_EQ(sel[6][13], 0);
    EXPECT_EQ(count(), 0);
    EXPECT_FALSE(frame(cx(6), cy(13), 0, 0));  // button up: nothing counts
}

TEST_F(Map, DragPaintsEveryTouchedTileWithThePressValue) {
    sel[2][2] = 1;
    frame(cx(1), cy(1), 1, 1);  // on an unselected tile: the drag selects
    frame(cx(3), cy(2), 0, 1);
    EXPECT_EQ(count(), 6);  // columns 1-3, rows 1-2; the selected one stays selected
    frame(cx(3), cy(2), 0, 0);
    frame(cx(2), cy(2), 1, 1);  // on a selected tile: the drag deselects
    frame(cx(2), cy(1), 0, 1);
    EXPECT_EQ(count(), 4);
    // A drag from outside the map paints with the last press that hit it (deselect).
    frame(10, 10, 1, 1);
    frame(cx(3), cy(2), 0, 1);
    EXPECT_EQ(count(), 0);
}

TEST_F(Map, PressOnASharedEdgeChangesNothing) {
    EXPECT_FALSE(frame(248 + 14 * 5, cy(4), 1, 1));
    frame(248 + 14 * 5, cy(4), 0, 0);
    EXPECT_EQ(count(), 0);
}

// On a shared edge the last matching tile decides the press value (columns, then rows, counted
// up), and a drag along an edge touches no tile: the overlap tests are strict.
TEST_F(Map, OnAnEdgeTheLastTileDecidesAndADragAlongItTouchesNothing) {
    sel[5][4] = 1;
    frame(248 + 14 * 5, cy(4), 1, 1);  // between (4, 4) and (5, 4): (5, 4) decides, deselect
    frame(cx(4), cy(4), 0, 1);  // the drag to the left touches (4, 4) only
    EXPECT_EQ(sel[4][4], 0);
    EXPECT_EQ(sel[5][4], 1);
    frame(cx(4), cy(4), 0, 0);
    sel[7][3] = 1;
    frame(cx(7), 150 + 14 * 4, 1, 1);  // between (7, 3) and (7, 4): (7, 4) decides, select
    frame(cx(7), cy(3), 0, 1);  // the drag down touches (7, 3) only
    EXPECT_EQ(sel[7][3], 1);
    EXPECT_EQ(sel[7][4], 0);
    frame(cx(7), cy(3), 0, 0);
    const int before = count();
    frame(cx(1), 150 + 14 * 2, 1, 1);  // along the edge between rows 1 and 2
    EXPECT_FALSE(frame(cx(3), 150 + 14 * 2, 0, 1));
    frame(248 + 14 * 2, cy(1), 1, 1);  // along the edge between columns 1 and 2
    EXPECT_FALSE(frame(248 + 14 * 2, cy(3), 0, 1));
    EXPECT_EQ(count(), before);
}

// While the button is held the drag box is drawn: a black line round the box over a light band
// that covers every pixel within one of the line exactly once, however thin the box.
TEST(MapDragBox, BlackLineOverALightBandOnePixelEachSide) {
    const mnw_struct saved_mnw = mnw;
    const map_press_state saved_press = g_map_press;
    int saved_selected[36][18];
    std::copy(&stg.tile_selected[0][0], &stg.tile_selected[0][0] + 36 * 18, &saved_selected[0][0]);
    mnw.subwin_x = mnw.subwin_y = 0;
    mnw.mouse_down = 0;
    mnw.mouse_held = 1;
    for (const auto& box : {std::pair<int, int>{120, 79}, {1, 1}, {2, 5}, {0, 0}, {3, 3}}) {
        paint_recorder paint;
        g_map_press = {300, 339, 1};
        mnw.mouse_x = 300.0f + static_cast<float>(box.first);
        mnw.mouse_y = 339.0f - static_cast<float>(box.second);
        UTIL_world_map();
        const int x0 = 300, x1 = 300 + box.first, y0 = 339 - box.second, y1 = 339;
        std::map<std::pair<int, int>, int> band;
        for (const painted& f : paint.of("fill")) {
            EXPECT_EQ(f.colour, 0);
            for (int y = static_cast<int>(f.y); y < static_cast<int>(f.y + f.h); ++y)
                for (int x = static_cast<int>(f.x); x < static_cast<int>(f.x + f.w); ++x) ++band[{x, y}];
        }
        for (int y = y0 - 3; y <= y1 + 3; ++y)
            for (int x = x0 - 3; x <= x1 + 3; ++x) {
                // Within one of the line: next to (or on) a column x0 or x1 inside the box's rows,
                // or a row y0 or y1 inside its columns.
                const bool near_side = (std::abs(x - x0) <= 1 || std::abs(x - x1) <= 1) && y >= y0 - 1 && y <= y1 + 1;
                const bool near_end = (std::abs(y - y0) <= 1 || std::abs(y - y1) <= 1) && x >= x0 - 1 && x <= x1 + 1;
                const auto it = band.find({x, y});
                EXPECT_EQ(it == band.end() ? 0 : it->second, near_side || near_end ? 1 : 0)
                    << box.first << "x" << box.second << " at " << x << "," << y;
            }
        const auto lines = paint.of("line");
        ASSERT_EQ(lines.size(), 4u);
        for (const painted& l : lines) {
            EXPECT_EQ(l.colour, 12);
            EXPECT_GE(l.alpha, 0.5f);
        }
    }
    std::copy(&saved_selected[0][0], &saved_selected[0][0] + 36 * 18, &stg.tile_selected[0][0]);
    g_map_press = saved_press;
    mnw = saved_mnw;
}

// The map over a manifest of one tile: only that tile is lit, fully when selected; SELECT ALL
// marks all 648 tiles, the unavailable ones too, SELECT NONE clears them, and the totals follow.
TEST(MapButtons, SelectAllAndNoneMarkEveryTileAndTheTotalsFollow) {
    wizard_world w;
    write_file(w.temp() + "directory.txt", "A\n900 version\nINSTALLER\n\n"
                                           "DIR All/Global Scenery/-global terrain-/+40-120/\n"
                                           "FILE 0 0 91001 12 345 e2fc714c4727ee9395f324cd2e7f331f +40-120.dsf\n");
    ASSERT_EQ(read_directory(w.temp() + "directory.txt", ""), 3);
    dest_dir_path = w.root / "new copy/";
    int cursor = 0;
    float fraction = 0;
    while (!checksum_directory(cursor, fraction)) {
    }
    const mnw_struct saved_mnw = mnw;
    mnw.subwin_x = mnw.subwin_y = 0;
    const auto frame = [](float x, float y, bool down) {
        mnw.mouse_x = x;
        mnw.mouse_y = y;
        mnw.mouse_down = mnw.mouse_held = down;
        UTIL_world_map();
    };
    // The lit squares drawn: alpha of each (tex 394 in slot 49), by quad.
    paint_recorder paint;
    const auto lit = [&] {
        std::vector<float> alphas;
        for (const painted& q : paint.of("quads"))
            if (q.tex == 394 && q.colour == 49)
                for (size_t i = 0; i < q.quads.size(); ++i) alphas.push_back(q.alpha);
        paint.clear();
        return alphas;
    };
    int total = 0;
    const auto selected = [&] {
        total = 0;
        for (auto& c : stg.tile_selected)
            for (int t : c) total += t;
        return total;
    };

    // The base picture, then the tile's square of the lit picture, and the two buttons' pieces.
    frame(-100, -100, false);
    std::vector<atlas_quad> base, square, all, none;
    for (const painted& q : paint.of("quads")) {
        for (const atlas_quad& a : q.quads) {
            if (q.tex == 394) (q.colour == 49 ? square : base).push_back(a);
            if (q.tex == 393 && a.x0 == 470) all.push_back(a);
            if (q.tex == 393 && a.x0 == 620) none.push_back(a);
        }
    }
    const auto same = [](const atlas_quad& a, const atlas_quad& b) {
        return a.x0 == b.x0 && a.y0 == b.y0 && a.x1 == b.x1 && a.y1 == b.y1 && a.u0 == b.u0 && a.v0 == b.v0 &&
               a.u1 == b.u1 && a.v1 == b.v1;
    };
    ASSERT_EQ(base.size(), 1u);
    EXPECT_TRUE(same(base[0], {248, 150, 752, 402, 0, 0, 504, 252}));
    ASSERT_EQ(square.size(), 1u);  // tile (6, 13): +40-120
    EXPECT_TRUE(same(square[0], {332, 332, 346, 346, 84, 434, 98, 448}));
    ASSERT_EQ(all.size(), 1u);
    EXPECT_TRUE(same(all[0], {470, 120, 584, 142, 255, 46, 369, 68}));
    ASSERT_EQ(none.size(), 1u);
    EXPECT_TRUE(same(none[0], {620, 120, 752, 142, 374, 46, 506, 68}));
    paint.clear();

    frame(680, 130, true);  // SELECT NONE
    EXPECT_EQ(selected(), 0);
    EXPECT_EQ(stg.num_to_add, 0);
    lit();
    frame(-100, -100, false);
    EXPECT_EQ(lit(), std::vector<float>{0.5f});
    frame(520, 130, true);  // SELECT ALL
    EXPECT_EQ(selected(), 648);
    EXPECT_EQ(stg.num_to_add, 1);
    lit();
    frame(-100, -100, false);
    EXPECT_EQ(lit(), std::vector<float>{1.0f});
    mnw = saved_mnw;
}

}  // namespace

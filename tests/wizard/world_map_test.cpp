#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "core/mnw.h"
#include "install/install_state.h"
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

}  // namespace

#include <gtest/gtest.h>

#include "wizard/world_map.h"

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

}  // namespace

// The key-assignment window without GL: rows, scrolling, the key taken by the binding being
// edited, and commands chosen by group or by typed path.
#include <gtest/gtest.h>

#include "core/named_commands.h"
#include "core/window_state.h"
#include "shell/keys.h"
#include "widget_helpers.h"

namespace {

class KeyWindow : public ::testing::Test {
protected:
    void SetUp() override {
        mnw = mnw_defaults();
        mnw.x_res = mnw.subwin_dx = 1024;
        mnw.y_res = mnw.subwin_dy = 768;
        mnw.open_menu = -1;
        keys = keys_class();
        static const bool registered = [] {
            for (const char* p :
                 {"sim/flight/pause", "sim/flight/brakes", "sim/view/forward", "sim/view/left"})
                cmnd.add_cmd(p, "");
            return true;
        }();
        (void)registered;
    }
    void TearDown() override { keys = keys_class(); }
    void draw() { keys.keys_wind(0); }
    void click(float x, float y) {
        drive.click(x, y, [this] { draw(); });
    }
    // The key the shell translated last, as a key-down.
    void key(int vkey, int flags) {
        keys.last_vkey = vkey;
        keys.last_flags = flags;
        ++keys.key_downs;
        drive.frame([this] { draw(); });
    }
    // The y of list row r (its button's centre).
    static float row(int r) { return 690 - 20.0f * static_cast<float>(r); }
    frame_driver drive;
};

}  // namespace

TEST_F(KeyWindow, AddScrollsTheNewBindingIntoViewPastThirtyFourRows) {
    keys.bindings.assign(33, key_binding{0, 0, 0, 0});
    drive.frame([this] { draw(); });
    click(174, 718);
    EXPECT_EQ(keys.wind.scroll, 0) << "34 rows fit";
    click(174, 718);
    EXPECT_EQ(keys.wind.scroll, 1);
    // Each row shown writes its command beside its button: 34 of the 35.
    int rows = 0;
    for (const painted& p : drive.paint.of("string")) rows += p.x == 160 ? 1 : 0;
    EXPECT_EQ(rows, 34);

    keys.bindings.assign(40, key_binding{0, 0, 0, 0});
    click(174, 718);
    ASSERT_EQ(keys.bindings.size(), 41u);
    EXPECT_EQ(keys.bindings.back().command, cmnd.get_cmnd_by_name("sim/operation/none"));
    EXPECT_EQ(keys.wind.scroll, 7);
    // Row 33 on screen is the new binding: clicking it edits binding 40.
    click(85, row(33));
    EXPECT_EQ(keys.wind.selected, 40);
}

TEST_F(KeyWindow, AKeyAndItsModifiersAreBoundOnceAndOnlyWhileARowIsEdited) {
    keys.bindings = {{65, 1, 3, 0}, {66, 0, 4, 0}, {67, 0, 4, 0}};
    drive.frame([this] { draw(); });
    key(70, 0);  // no row edited: nothing changes
    EXPECT_EQ(keys.bindings[1].vkey, 66);

    click(85, row(1));
    key(65, 1);
    EXPECT_EQ(keys.bindings[1].vkey, 65);
    EXPECT_EQ(keys.bindings[1].flags, 1);
    EXPECT_EQ(keys.bindings[0].vkey, 0) << "the pair moved away from binding 0";
    EXPECT_EQ(keys.bindings[0].flags, 0);
    EXPECT_EQ(keys.bindings[0].command, 3);
    key(65, 4);  // the same key with another modifier is another pair
    EXPECT_EQ(keys.bindings[1].flags, 4);

    click(85, row(1));  // editing ends
    EXPECT_EQ(keys.wind.selected, -1);
    key(90, 0);
    EXPECT_EQ(keys.bindings[1].vkey, 65);
}

TEST_F(KeyWindow, GroupsAndCommandsAndATypedPathBindACommand) {
    const int pause = cmnd.get_cmnd_by_name("sim/flight/pause");
    keys.bindings = {{65, 0, pause, 0}};
    drive.frame([this] { draw(); });
    click(85, row(0));
    // The groups under sim/, sorted: -none-/, flight/ (ticked), view/.
    const painted* flight = drive.paint.find_text("flight/");
    ASSERT_NE(flight, nullptr);
    EXPECT_NE(drive.paint.find_text("brakes"), nullptr);
    EXPECT_EQ(drive.paint.find_text("forward"), nullptr);
    // Choosing view/ binds its first command and shows the group's commands.
    click(377, 394);
    EXPECT_EQ(keys.bindings[0].command, cmnd.get_cmnd_by_name("sim/view/forward"));
    EXPECT_NE(drive.paint.find_text("left"), nullptr);
    click(745, 674);  // its second command
    EXPECT_EQ(keys.bindings[0].command, cmnd.get_cmnd_by_name("sim/view/left"));

    // A typed path binds when it names a command, and not before.
    click(530, 513);  // into the path field
    std::vector<key_event> erase;
    for (int i = 0; i < 20; ++i)
        for (const key_event& k : key_stroke(8, 8)) erase.push_back(k);
    drive.frame([this] { draw(); }, erase);
    drive.frame([this] { draw(); }, typed("sim/flight/brak"));
    EXPECT_EQ(keys.wind.path_text, "sim/flight/brak");
    EXPECT_EQ(keys.bindings[0].command, cmnd.get_cmnd_by_name("sim/view/left"));
    drive.frame([this] { draw(); }, typed("es"));
    EXPECT_EQ(keys.bindings[0].command, cmnd.get_cmnd_by_name("sim/flight/brakes"));
}

// The rest of the widget kit under X in the shell probe: lists, sliders, cell and number fields,
// the pop-up list, the position entry and path pickers take scripted input, and the open and save
// dialog runs its own loop over a folder with a vehicle file and its icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/test_helpers.h"
#include "e2e_session.h"
#include "graphics/png_codec.h"

namespace {

const std::string probe = VOLATRA_TOOLS_DIR "/volatra_shell_probe";

// A vehicle file in the binary header's big-endian form, with two of its texts.
std::string vehicle(const std::string& name, const std::string& text) {
    std::string f = {'a', 0, 0, 3, static_cast<char>(132)};  // version 900
    std::string block(2092, '\0');
    block.replace(1552, name.size(), name);
    block.replace(1052, text.size(), text);
    return f + block;
}

// Pixels of img in [x0, x1] x [y0, y1] (window units) that are not the probe's grey.
int drawn_in(const e2e_image& img, int x0, int y0, int x1, int y1) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) n += !(img.at(x, y) == e2e_image::px{64, 64, 64});
    return n;
}

TEST(MoreWidgets, EveryWidgetTakesInputAndTheDialogPreviewsAndChooses) {
    e2e_session s("more_widgets");
    std::string why;
    ASSERT_TRUE(s.start_display(&why)) << why;
    write_file(s.work() + "planes/big.acf", vehicle("Big Trainer", "Two seats, high wing."));
    std::vector<unsigned char> red(32 * 32 * 3);
    for (size_t i = 0; i < red.size(); i += 3) red[i] = 230;
    ASSERT_TRUE(
        TEX_save_png(s.work() + "planes/big_icon.png", {0x1907 /* GL_RGB */, 32, 32, 0, 0}, red.data()));

    int status = s.run(probe, {"--more_widgets"},
                       "wait_log probe ready\n"
                       "shot before.png\n"
                       // The list: a click on the row below the middle, then type-ahead.
                       "click 100 390\n"
                       "wait_log \"selection 5\"\n"
                       "type ch\n"
                       "wait_log \"selection 2\"\n"
                       // The horizontal slider dragged to its middle, the scroll bar's down arrow.
                       "move 100 215\n"
                       "press\n"
                       "move 195 215\n"
                       "wait_log \"volume 0.5\"\n"
                       "release\n"
                       "click 740 290\n"
                       "wait_log \"bar 11\"\n"
                       // Character cells and the number fields' arrows.
                       "click 485 500\n"
                       "type x-2\n"
                       "wait_log \"code X-2-01\"\n"
                       "click 485 460\n"
                       "wait_log \"altitude 11234.5\"\n"
                       "click 505 370\n"
                       "wait_log \"count 32\"\n"
                       // The pop-up list: open it, choose Blue two rows down.
                       "click 150 172\n"
                       "click 150 149\n"
                       "wait_log \"colour 2\"\n"
                       // Minutes of the latitude: 15.000 becomes 15.005.
                       "click 187 40\n"
                       "type 5\n"
                       "wait_log \"lat 47.25\"\n"
                       "move 600 100\n"
                       "shot widgets.png\n"
                       // The open dialog, its preview and the Open button.
                       "click 520 200\n"
                       "wait_log opening dialog\n"
                       "move 700 100\n"
                       "shot dialog.png\n"
                       "click 399 81\n"
                       "wait_log \"opened planes/big.acf\"\n"
                       // The save dialog: a name and Return.
                       "click 640 200\n"
                       "wait_log saving dialog\n"
                       "type \"My plane.xyz\"\n"
                       "key Return\n"
                       "wait_log \"saved planes/My plane.ACF\"\n"
                       "quit\n");
    ASSERT_EQ(status, 0) << s.report();

    e2e_image before, after, dialog;
    ASSERT_TRUE(read_png(s.work() + "before.png", &before));
    ASSERT_TRUE(read_png(s.work() + "widgets.png", &after));
    ASSERT_TRUE(read_png(s.work() + "dialog.png", &dialog));
    ASSERT_EQ(after.width, 800);
    // Each widget is drawn where it stands; the changed ones look changed.
    struct region {
        const char* what;
        int x0, y0, x1, y1;
        bool changes;
    } regions[] = {
        {"list", 40, 290, 330, 510, true},           {"search field", 75, 262, 330, 280, false},
        {"slider", 70, 205, 320, 225, true},         {"scroll bar", 730, 280, 750, 520, true},
        {"pop-up", 120, 165, 190, 180, true},        {"cells", 480, 498, 540, 510, true},
        {"altitude", 480, 98 + 340, 540, 448, true}, {"count", 480, 378, 520, 388, true},
        {"folder", 450, 310, 700, 330, false},       {"file", 450, 260, 700, 280, false},
        {"position", 70, 30, 220, 100, true},
    };
    for (const region& r : regions) {
        EXPECT_GT(drawn_in(after, r.x0, r.y0, r.x1, r.y1), 50) << r.what;
        int changed = 0;
        for (int y = r.y0; y <= r.y1; ++y)
            for (int x = r.x0; x <= r.x1; ++x) changed += !(before.at(x, y) == after.at(x, y));
        if (r.changes) {
            EXPECT_GT(changed, 5) << r.what;
        }
    }
    // The dialog (561 x 474, centred) shows the vehicle's icon in its lower preview panel: the
    // image's 200 x 200 square from (341, 80) of the dialog.
    const int ox = (800 - 561) / 2, oy = (600 - 474) / 2;
    int red_px = 0;
    for (int y = oy + 90; y < oy + 270; ++y)
        for (int x = ox + 351; x < ox + 531; ++x) {
            e2e_image::px p = dialog.at(x, y);
            red_px += p.r > 200 && p.g < 40 && p.b < 40;
        }
    EXPECT_GT(red_px, 180 * 180 * 9 / 10);
    EXPECT_EQ(s.log().find("search "), std::string::npos) << "typing went to the list, not its field";
}

}  // namespace

// The install's screens drawn on the test GL context from the built-in images, saved as
// build/wizard_screens/<screen>.png for looking at; the test checks a few pixels.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "common/gl_test_context.h"
#include "core/globals.h"
#include "core/window_state.h"
#include "graphics/background_and_screenshot.h"
#include "graphics/builtin_images.h"
#include "graphics/screen_2d.h"
#include "install/install_state.h"
#include "platform/plat_window_null.h"
#include "shell/frame.h"
#include "wizard/disc.h"
#include "wizard/dvd_install.h"
#include "wizard/questions.h"
#include "wizard/wizard_frame.h"
#include "wizard_helpers.h"

namespace {

const char* const manifest_body =
    "DIR All/Resources/\n"
    "FILE 0 0 91001 1 3000 900150983cd24fb0d6963f7d28e17f72 a.txt\n"
    "DIR All/Global Scenery/-global terrain-/+40-130/\n"
    "FILE 0 0 91001 12 345000 e2fc714c4727ee9395f324cd2e7f331f +47-123.dsf\n"
    "DIR All/Global Scenery/-global terrain-/-40+170/\n"
    "FILE 0 0 91001 12 145000 e2fc714c4727ee9395f324cd2e7f331f -37+174.dsf\n";

// Saves the frame just drawn as dir/name.png. The screenshot is numbered in a folder of the
// test's own, so tests running side by side never take each other's file.
void save(const std::string& name) {
    const std::string dir = VOLATRA_BINARY_DIR "/wizard_screens";
    const std::string own = dir + "/." + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    write_file(own + "/.keep", "");
    char old_cwd[4096];
    ASSERT_NE(getcwd(old_cwd, sizeof old_cwd), nullptr);
    ASSERT_EQ(chdir(own.c_str()), 0);
    OGL_screenshot(1);
    ASSERT_EQ(chdir(old_cwd), 0);
    for (int n = 0; n < 100; ++n) std::rename((own + "/screenshot_" + std::to_string(n) + ".png").c_str(), (dir + "/" + name + ".png").c_str());
    EXPECT_TRUE(path_exists(dir + "/" + name + ".png"));
}

TEST(WizardGl, InstallScreensFromTheBuiltInImages) {
    ASSERT_TRUE(gl_test_context());
    OGL_load_builtin_images();
    wizard_world w;
    const mnw_struct saved = mnw;
    w.disc("DVD", "Volatra 9", manifest_body);
    for (screen_fn s : {dvd_start, dvd_pick_install, dvd_eula_install, dvd_scenery_install}) {
        g_wizard = s;
        wizard_frame();
        wizard_frame();
        save(wizard_screen_name(s));
    }
    // A run half way through a file on disc 2, and the disc change it leads to.
    g_wizard = [](int, wizard_screen& s) {
        s.title = "Installing Volatra";
        s.text = "I am installing Volatra in " + dest_dir_path + ".";
        s.back = dvd_scenery_install;
        s.progress = 0.5f;
        s.progress_caption = "Installing: All/Resources/a.txt";
        return 0;
    };
    wizard_frame();
    save("dvd_run_install");
    int filled = 0;  // the fill's blue reaches 240 + 520 x 0.52 and stops there
    for (int x = 245; x < 760; ++x) filled += gl_test_pixel(x, 155).b > gl_test_pixel(x, 155).r + 40;
    EXPECT_NEAR(filled, 270 - 5, 12);
    want_file_disk = 2;
    for (screen_fn s : {dvd_switch_disk_install, dvd_done_install}) {
        g_wizard = s;
        wizard_frame();
        wizard_frame();
        save(wizard_screen_name(s));
    }
    mnw = saved;
}

// The columns of face between a push button's border and its label, on the left and the right,
// fewest over the rows of the label's capitals, for the button of width w round (x, y) in the
// frame read back as px (RGBA rows from the bottom).
struct margins {
    int left = 99, right = 99;
};
margins label_margins(const std::vector<unsigned char>& px, int x, int y, int w) {
    auto dark = [&](int u, int v) { return px[(v * gl_test_width + u) * 4] < 200; };
    margins m;
    for (int v = y - 4; v <= y + 2; ++v)
        for (int side : {-1, 1}) {
            // From just outside the frame inwards: to its border, through it, then the face.
            int u = side < 0 ? x - w / 2 - 1 : x + w / 2;
            const int end = x;
            while (u != end && !dark(u, v)) u -= side;
            while (u != end && dark(u, v)) u -= side;
            int face = 0;
            for (; u != end && !dark(u, v); u -= side) ++face;
            int& least = side < 0 ? m.left : m.right;
            least = std::min(least, face);
        }
    return m;
}

// The two questions over the frozen screen, answered by a click on their first button.
TEST(WizardGl, QuestionWindows) {
    ASSERT_TRUE(gl_test_context());
    OGL_load_builtin_images();
    plat::scoped_null_backend backend;
    const mnw_struct saved = mnw;
    mnw = mnw_defaults();
    mnw.x_res = 800;
    mnw.y_res = 600;
    mnw.scale = 1;
    MACIBM_startwind(0, 0);
    // The first frame of each question is the one saved; the click comes on the second.
    auto click = [&](int x, int y) {
        backend->mouse_h = x;
        backend->mouse_v = 600 - y;
        plat::event e;
        backend->events.push_back(e);
        e.what = plat::ev_mouse_down;
        backend->events.push_back(e);
    };
    static std::string shot;
    static std::vector<unsigned char> frame;
    const ogl_swap_fn old_swap = OGL_set_swap_hook([] {
        if (!shot.empty()) save(shot);
        if (shot == "select_alert") {
            frame.resize(gl_test_width * gl_test_height * 4);
            glReadPixels(0, 0, gl_test_width, gl_test_height, GL_RGBA, GL_UNSIGNED_BYTE, frame.data());
        }
        shot.clear();
    });
    shot = "abort_alert";
    click(146, 253);
    EXPECT_EQ(wizard_abort_alert("Are you sure you want to cancel the installation?  This will delete the partially "
                                 "installed copy of Volatra 9.",
                                 "Cancel", "the installation and delete partial installation.", "Continue",
                                 "the installation process."),
              1);
    shot = "select_alert";
    click(146, 280);
    EXPECT_EQ(wizard_select_alert("/home/user/Desktop/Volatra 9/Resources/settings.txt", 0), 1);
    OGL_set_swap_hook(old_swap);
    // Its labels, "OVERWRITE EVERY OLD FILE IN THIS DIRECTORY" 251 wide in 260 the longest, keep
    // face between their ink and their buttons' borders (window 996 lies at (50, 227)).
    ASSERT_FALSE(frame.empty());
    const struct {
        int x, y, w;
    } buttons[] = {{96, 53, 160}, {96, 28, 160}, {308, 53, 260}, {308, 28, 260}, {584, 28, 200}};
    for (const auto& b : buttons) {
        const margins m = label_margins(frame, 50 + b.x, 227 + b.y, b.w);
        EXPECT_GE(m.left, 4) << b.x << "," << b.y;
        EXPECT_GE(m.right, 4) << b.x << "," << b.y;
        EXPECT_LT(std::max(m.left, m.right), b.w / 4) << b.x << "," << b.y;  // a label was found
    }
    mnw = saved;
}

}  // namespace

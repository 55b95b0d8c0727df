#include <gtest/gtest.h>

#include "graphics/text_layout.h"
#include "install/install_state.h"
#include "wizard/copies.h"
#include "wizard/wizard_frame.h"
#include "common/recorders.h"
#include "wizard_helpers.h"

namespace {

class Copies : public ::testing::Test {
protected:
    wizard_world w;
    std::string record() const { return w.prefs() + copies_record_name; }
    // A folder holding the four folders of an installed copy.
    std::string copy(const std::string& rel) {
        for (const char* sub : {"Airfoils/", "Instructions/", "Output/", "Resources/plugins/"})
            write_file(w.root / rel + sub + ".keep", "");
        return w.root / rel;
    }
};

TEST_F(Copies, RecordGrowsByWholeLinesAndListsTheCopiesItNames) {
    const std::string a = copy("apps/A/"), gone = w.root / "gone/";
    for (const std::string& p : {a, a, a.substr(0, a.size() - 1), gone}) {
        dest_dir_path = p;
        register_new_volatra();
    }
    // Equal lines are written once; a missing trailing '/' is another path.
    EXPECT_EQ(read_lines(record()), (std::vector<std::string>{a, a.substr(0, a.size() - 1), gone}));

    // A deleted folder stays in the file but is not listed; the line without its '/' is the same
    // copy, listed once with it; CR line ends and long lines are whole.
    std::string deep = w.root.path();
    while (deep.size() < 3000) deep += std::string(200, 'd') + "/";
    deep = copy(deep.substr(w.root.path().size()));
    write_file(record(), read_file(record()) + deep + "\r\n");
    locate_all_volatras();
    EXPECT_EQ(all_ostrands, (std::vector<std::string>{a, deep}));
}

TEST_F(Copies, OnlyAbsoluteFoldersHoldingACopyAreListedAndACutLineNeverJoinsTheNext) {
    const std::string a = copy("apps/A/"), b = copy("apps/B/");
    write_file(w.root / "apps/plain/notes.txt", "not a copy");
    // What a full disk leaves: the last append cut short, without its line end.
    write_file(record(), w.root / "apps/plain/\n" + "apps/A/\n" + w.root / "apps/A\n" + a.substr(0, a.size() - 4));
    locate_all_volatras();
    EXPECT_EQ(all_ostrands, (std::vector<std::string>{a}));

    dest_dir_path = b;
    register_new_volatra();
    const std::vector<std::string> lines = read_lines(record());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[3], a.substr(0, a.size() - 4));
    EXPECT_EQ(lines[4], b);
    locate_all_volatras();
    EXPECT_EQ(all_ostrands, (std::vector<std::string>{a, b}));

    // A name holding a line end would add a line of its own: not recorded.
    dest_dir_path = copy("apps/C\nD/");
    register_new_volatra();
    EXPECT_EQ(read_lines(record()).size(), 5u);

    // A copy that lost some of its folders is still listed (to be repaired); the home folder
    // and '/' never are, whatever they hold.
    remove_tree(b + "Output");
    remove_tree(b + "Airfoils");
    write_file(w.home() + "Resources/.keep", "");
    write_file(record(), read_file(record()) + w.home() + "\n/\n");
    locate_all_volatras();
    EXPECT_EQ(all_ostrands, (std::vector<std::string>{a, b}));
}

TEST_F(Copies, APickScreenKeepsALeftoverDestinationOnlyWhenItIsARegisteredCopy) {
    const std::string a = copy("apps/A/");
    dest_dir_path = a;
    register_new_volatra();
    keep_registered_destination();
    EXPECT_EQ(dest_dir_path, a);
    for (const std::string& leftover : {w.root / "apps/New Copy/", copy("apps/B/"), a.substr(0, a.size() - 1)}) {
        dest_dir_path = leftover;
        keep_registered_destination();
        EXPECT_EQ(dest_dir_path, "") << leftover;
    }
}

TEST_F(Copies, CopyIsKnownByFourFoldersWhoseNamesHoldTheWords) {
    dest_dir_path = w.root / "files/";
    for (const char* f : {"Airfoils", "Instructions", "Output", "Resources"}) write_file(dest_dir_path + f, "");
    EXPECT_FALSE(path_is_to_a_sim());
    dest_dir_path = w.root / "loose/";
    for (const char* f : {"My Airfoils/", "Instructions/", "Output/", "Resources old/"})
        write_file(dest_dir_path + f + ".keep", "");
    EXPECT_TRUE(path_is_to_a_sim());
}

TEST_F(Copies, FindItWalksUpToTheCopyOnly) {
    const std::string a = copy("apps/A/");
    dest_dir_path = "kept/";
    EXPECT_EQ(find_copy_above(a + "Resources/plugins"), a);
    EXPECT_EQ(find_copy_above(a.substr(0, a.size() - 1)), a);
    EXPECT_EQ(find_copy_above(w.root / "apps"), "");  // copies lie below it, not above
    EXPECT_EQ(find_copy_above("/"), "");
    EXPECT_EQ(dest_dir_path, "kept/");
}

TEST_F(Copies, PickerListsTheCopiesAndFindItRecordsTheCopyAboveTheChosenFolder) {
    const std::string a = copy("apps/A/"), b = copy("apps/B/");
    for (const std::string& p : {a, b}) {
        dest_dir_path = p;
        register_new_volatra();
    }
    locate_all_volatras();
    dest_dir_path.clear();
    frame_driver driver;
    driver.frame(UTIL_pick_install);
    ASSERT_TRUE(shown_text(driver.paint, b));
    EXPECT_EQ(shown_text(driver.paint, b)->y, 375);
    EXPECT_EQ(drawn_text(driver.paint, "missing from this list?")->y, 350);
    driver.click(250, 378, UTIL_pick_install);  // the second row's box
    EXPECT_EQ(dest_dir_path, b);

    // Find It with the folder dialog's stand-in: a folder inside a new copy, then one inside none.
    const std::string c = copy("elsewhere/C/");
    scoped_env path("PATH", std::string(VOLATRA_TEST_DATA "/standins:/usr/bin:/bin"));
    scoped_env answer("STANDIN_ANSWER", c + "Resources/plugins");
    driver.click(605, 353, UTIL_pick_install);
    EXPECT_EQ(dest_dir_path, c);
    EXPECT_EQ(all_ostrands, (std::vector<std::string>{a, b, c}));
    reset_recorders();
    scoped_env nowhere("STANDIN_ANSWER", w.root / "apps");
    driver.click(605, 328, UTIL_pick_install);
    EXPECT_EQ(dest_dir_path, c);
    ASSERT_EQ(recorded_alerts().size(), 1u);
    EXPECT_EQ(recorded_alerts()[0].line2, w.root / "apps");
    EXPECT_EQ(read_lines(record()).size(), 3u);
}

// Every text of the picker stays inside the wizard's panel (its right edge at 790), a path takes
// at most the two lines its row has room for, and the question ends left of Find It (100 wide
// round x 605), which would cover its last word.
TEST_F(Copies, PickerTextsStayInTheirPanelAndClearOfTheButton) {
    const std::string word = copy("apps/" + std::string(120, 'x') + "/");
    std::string deep = "apps/";
    for (int i = 0; i < 40; ++i) deep += "folder " + std::to_string(i) + "/";
    deep = copy(deep);
    for (const std::string& p : {word, deep}) {
        dest_dir_path = p;
        register_new_volatra();
    }
    locate_all_volatras();
    frame_driver driver;
    driver.frame(UTIL_pick_install);
    for (size_t row = 0; row < 2; ++row) {
        const float y = 400 - 25.0f * row;
        int lines = 0;
        for (const painted& p : driver.paint.of("string")) {
            if (p.x != 280 || p.y > y || p.y <= y - 25) continue;
            ++lines;
            EXPECT_LE(p.x + OGL_string_width(p.text), 790) << p.text;
        }
        EXPECT_EQ(lines, 2) << row;
    }
    // The copy's own folder, at the path's end, stays in view.
    EXPECT_TRUE(drawn_text(driver.paint, "folder 39/"));
    const painted* question = drawn_text(driver.paint, "Is the copy");
    ASSERT_TRUE(question);
    for (const std::string& line : OGL_wrap_text(question->text, question->x, question->w, 0).lines)
        EXPECT_LT(question->x + OGL_string_width(line), 555) << line;
}

}  // namespace

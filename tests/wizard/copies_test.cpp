#include <gtest/gtest.h>

#include "install/install_state.h"
#include "wizard/copies.h"
#include "wizard/wizard_frame.h"
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

TEST_F(Copies, RecordGrowsByWholeLinesAndListsExistingFolders) {
    const std::string a = copy("apps/A/"), gone = w.root / "gone/";
    for (const std::string& p : {a, a, a.substr(0, a.size() - 1), gone}) {
        dest_dir_path = p;
        register_new_volatra();
    }
    // Equal lines are written once; a missing trailing '/' is another path.
    EXPECT_EQ(read_lines(record()), (std::vector<std::string>{a, a.substr(0, a.size() - 1), gone}));

    // A deleted folder stays in the file but is not listed; CR line ends and long lines are whole.
    std::string deep = w.root.path();
    while (deep.size() < 3000) deep += std::string(200, 'd') + "/";
    write_file(deep + ".keep", "");
    write_file(record(), read_file(record()) + deep + "\r\n");
    locate_all_volatras();
    EXPECT_EQ(all_ostrands, (std::vector<std::string>{a, a.substr(0, a.size() - 1), deep}));
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

}  // namespace

// The open and save dialog on a temporary folder tree, through scripted frames of the shell's
// loop, and its preview of vehicle files and flight comments.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/test_helpers.h"
#include "core/globals.h"
#include "core/menu_table.h"
#include "core/window_state.h"
#include "widget_helpers.h"
#include "widgets/widget_kit.h"

namespace {

constexpr int vk_return = 13, vk_escape = 27, vk_backspace = 8;

// A vehicle file: the binary header in either byte order and the 2092-byte block with its texts.
std::string vehicle(char order, int version, const std::string& a, const std::string& b, const std::string& c,
                    const std::string& d, size_t block = 2092) {
    std::string f(1, order);
    for (int i = 0; i < 4; ++i) {
        int shift = order == 'a' ? 24 - 8 * i : 8 * i;
        f += static_cast<char>((version >> shift) & 0xFF);
    }
    std::string blk(2092, '\0');
    blk.replace(1552, a.size(), a);
    blk.replace(1052, b.size(), b);
    blk.replace(2052, c.size(), c);
    blk.replace(1012, d.size(), d);
    return f + blk.substr(0, block);
}

class OpenSave : public ::testing::Test {
protected:
    temp_folder tree;
    std::string saved_cwd;
    modal_driver shell;
    std::string path;
    int result = -1;

    void SetUp() override {
        for (const char* f : {"Output/situations/a.sit", "Output/situations/b.sit", "Output/situations/c.sit",
                              "Output/situations/notes.txt", "Output/situations/sub/d.sit",
                              "planes/small/x.acf", "planes/big.acf", ".hidden/y.acf", "top.acf"})
            write_file(tree / f, "");
        char buf[4096];
        saved_cwd = getcwd(buf, sizeof buf) ? buf : "";
        ASSERT_EQ(chdir(tree.path().c_str()), 0);
    }
    void TearDown() override { ASSERT_EQ(chdir(saved_cwd.c_str()), 0); }

    void run(int which, int type, const std::string& start, std::vector<modal_frame> script) {
        path = start;
        shell.play(std::move(script));
        result = BTN_opensave(which, type, &path);
    }
    // The list's rows as drawn in frame f (-1: the last).
    std::vector<std::string> rows(int f = -1) {
        const std::vector<painted>& calls =
            f < 0 ? (shell.paint.calls.empty() ? shell.drawn.back() : shell.paint.calls) : shell.drawn.at(f);
        std::vector<std::string> out;
        for (const painted& p : calls)
            if (p.kind == "string" && p.x == 30 && p.colour == 45) out.push_back(p.text);
        return out;
    }
    // The staircase of the folder shown in frame f.
    std::vector<std::string> stairs(int f) {
        std::vector<std::string> out;
        for (const painted& p : shell.drawn.at(f))
            if (p.kind == "string" && p.colour == 47 && !p.text.empty()) out.push_back(p.text);
        return out;
    }
    // A double click on index k of the list, while index `middle` is the middle row.
    static modal_frame double_click_row(int k, int middle) {
        return double_pressed_at(100, 180 + 10.0f * (middle - k));
    }
    static std::vector<key_event> keys(int vkey, int c = 0) { return key_stroke(c, vkey); }
};

TEST_F(OpenSave, OpensInTheTypesFolderAndThePathPopUpGoesBackToTheRoot) {
    modal_frame choose_root;
    choose_root.then = [] {
        // The shell's click on the pop-up's first item.
        select_popup_code = static_cast<int>(434.0f * 1024 + 150);
        popup_menu_select = 0;
    };
    run(998, 9, "", {at(0, 0), choose_root, at(0, 0), with_keys(keys(vk_escape))});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(path, "");
    EXPECT_EQ(rows(0), (std::vector<std::string>{"a.sit", "b.sit", "c.sit", "sub"}));
    const std::vector<painted>& first = shell.drawn.at(0);
    int highlighted = 0;
    for (const painted& p : first)
        if (p.kind == "fill" && p.y == 180 - 5) ++highlighted;  // the middle row: c.sit, index 2 of 4
    EXPECT_EQ(highlighted, 1);
    EXPECT_EQ(stairs(0), (std::vector<std::string>{"Output", "situations"}));
    EXPECT_EQ(rows(3), (std::vector<std::string>{"Output", "planes"}));
    EXPECT_EQ(shell.windows, (std::vector<int>{998, 0}));
}

TEST_F(OpenSave, SavingAddsTheTypesExtensionInTheFolderShown) {
    struct {
        std::string name, expected;
    } cases[] = {{"plane.xyz", "planes/small/plane.ACF"}, {"ab.c", "planes/small/ab.c.ACF"}};
    for (const auto& c : cases) {
        std::vector<key_event> k = typed(c.name);
        for (const key_event& e : keys(vk_return)) k.push_back(e);
        run(999, 3, "planes/small/x.acf", {with_keys(k)});
        EXPECT_EQ(result, 1);
        EXPECT_EQ(path, c.expected);
        EXPECT_EQ(shell.windows.back(), 0);
    }
}

TEST_F(OpenSave, WithoutANameSavingDoesNothingButFoldersStillOpen) {
    run(999, 3, "",
        {with_keys(keys(vk_return)), pressed_at(282, 18), double_click_row(1, 1), at(0, 0),
         double_click_row(0, 1), at(0, 0)});
    EXPECT_EQ(result, 0);  // the script ran out: the close box
    EXPECT_EQ(path, "");
    EXPECT_EQ(rows(2), (std::vector<std::string>{"Output", "planes", "top.acf"}));
    EXPECT_EQ(rows(), (std::vector<std::string>{"big.acf", "small"}));
}

TEST_F(OpenSave, NamesThatLeaveTheFolderAreRefused) {
    for (const std::string& bad : {std::string("a/b"), std::string("..")}) {
        std::vector<key_event> k = typed(bad);
        for (const key_event& e : keys(vk_return)) k.push_back(e);
        run(999, 0, "planes/big.acf", {with_keys(k), at(0, 0)});
        EXPECT_EQ(result, 0) << bad;
        EXPECT_EQ(path, "planes/big.acf");
        EXPECT_TRUE(shell.last_text("No '/' or control characters")) << bad;
    }
}

TEST_F(OpenSave, StartPathsAndBackspace) {
    struct {
        std::string start;
        std::vector<std::string> rows;
    } cases[] = {
        {"planes/small/x.acf", {"x.acf"}},
        {"planes/", {"Output", "planes", "top.acf"}},
        {"planes", {"Output", "planes", "top.acf"}},
    };
    for (const auto& c : cases) {
        run(998, 3, c.start, {with_keys(keys(vk_escape))});
        EXPECT_EQ(rows(0), c.rows) << c.start;
    }
    run(998, 3, "", {with_keys(keys(vk_backspace)), at(0, 0)});
    EXPECT_EQ(rows(), (std::vector<std::string>{"Output", "planes", "top.acf"}));
    run(998, 3, "planes/small/x.acf", {with_keys(keys(vk_backspace)), at(0, 0)});
    EXPECT_EQ(rows(), (std::vector<std::string>{"big.acf", "small"}));
}

TEST_F(OpenSave, FolderNamesThatWouldBreakThePopUpShowAsSpaces) {
    write_file(tree / "a|b-c/f.acf", "");
    run(998, 0, "a|b-c/f.acf", {with_keys(keys(vk_escape))});
    EXPECT_EQ(stairs(0), std::vector<std::string>{"a b c"});
    std::string deep;
    for (int i = 0; i < 305; ++i) deep += "d/";
    run(998, 0, deep + "f.acf", {with_keys(keys(vk_escape))});  // the pop-up holds 299 of them
    EXPECT_EQ(result, 0);
    EXPECT_EQ(stairs(0).size(), 299u);
}

TEST_F(OpenSave, OpeningAFileOrCancelling) {
    run(998, 0, "planes/big.acf", {at(0, 0), double_click_row(0, 1)});
    EXPECT_EQ(result, 1);
    EXPECT_EQ(path, "planes/big.acf");
    run(998, 0, "planes/big.acf", {pressed_at(280, 18), at(0, 0)});  // Open on the folder "small"
    EXPECT_EQ(result, 0);
    EXPECT_EQ(rows(), (std::vector<std::string>{"x.acf"}));
    return_hit = 1;  // the key that opened the dialog is not the dialog's
    run(998, 0, "planes/small/x.acf", {at(0, 0)});
    EXPECT_EQ(result, 0);
    modal_frame close_program;  // the window's close box: the program is to end
    close_program.then = [] { app_done = 1; };
    run(998, 0, "top.acf", {close_program});
    app_done = 0;
    EXPECT_EQ(result, 0);
    EXPECT_EQ(shell.windows, std::vector<int>{998});
    run(998, 0, "top.acf", {pressed_at(33, 18)});
    EXPECT_TRUE(shell.last_text("Cancel"));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(path, "top.acf");
    EXPECT_EQ(shell.windows.back(), 0);
}

TEST_F(OpenSave, ALinkIsNeitherEnteredNorReadUnlessChosen) {
    temp_folder outside;
    write_file(outside / "inside/secret.acf", vehicle('a', 900, "SECRET", "", "", ""));
    ASSERT_EQ(symlink((outside.path() + "inside").c_str(), "linked"), 0);
    ASSERT_EQ(symlink((outside.path() + "inside/secret.acf").c_str(), "planes/small/z.acf"), 0);
    // The middle row of linked, Output, planes, top.acf is planes.
    run(998, 0, "", {at(0, 0), double_click_row(0, 2), at(0, 0)});
    EXPECT_EQ(result, 1);  // chosen as an item, not entered
    EXPECT_EQ(path, "linked");
    shell.paint.load_answer = 408;
    run(998, 3, "planes/small/z.acf", {at(0, 0)});  // z.acf is the middle row
    EXPECT_EQ(rows(0), (std::vector<std::string>{"x.acf", "z.acf"}));
    EXPECT_FALSE(shell.last_text("SECRET"));
    for (const std::vector<painted>& f : shell.drawn)
        for (const painted& p : f) EXPECT_NE(p.kind, "load");
}

TEST(OpenSaveDeath, BadArgumentsAreFatal) {
    std::string p;
    EXPECT_EXIT(BTN_opensave(997, 0, &p), ::testing::ExitedWithCode(1), "Bad open_save arg to BTN_opensave!");
    EXPECT_EXIT(BTN_opensave(998, 22, &p), ::testing::ExitedWithCode(1),
                "Bad file_type arg to BTN_opensave!");
}

class Preview : public ::testing::Test {
protected:
    temp_folder tree;
    frame_driver driver;
    void preview(int type, const std::string& file) {
        driver.frame([&] { stand_io_dialog(998, type, file); });
    }
    std::vector<std::string> texts_at_341() {
        std::vector<std::string> out;
        for (const painted& p : driver.paint.of("string"))
            if (p.x == 341) out.push_back(p.text);
        return out;
    }
    void SetUp() override { preview(0, "-"); }  // empties the cache
};

TEST_F(Preview, VehicleTextsInEitherByteOrderAndTheIcon) {
    const std::string big = tree.write("big.acf", vehicle('a', 900, "Alpha", "Bee", "Sea", "Dee"));
    const std::string little = tree.write("little.ACF", vehicle('i', 810, "Ein", "Zwei", "Drei", "Vier"));
    tree.write("big_icon.png", "not read here");
    driver.paint.load_answer = 408;
    preview(3, big);
    EXPECT_EQ(texts_at_341(), (std::vector<std::string>{"Alpha", "Bee", "Sea", "Dee"}));
    auto loads = driver.paint.of("load");
    ASSERT_EQ(loads.size(), 1u);
    EXPECT_EQ(loads[0].tex, 408);
    EXPECT_EQ(loads[0].colour, 0x511);
    EXPECT_EQ(loads[0].text, tree / "big_icon.png");
    ASSERT_EQ(driver.paint.of("image").size(), 1u);
    EXPECT_FLOAT_EQ(driver.paint.of("image")[0].h, 280);
    preview(3, big);  // the cache: no second load
    EXPECT_TRUE(driver.paint.of("load").empty());
    EXPECT_EQ(driver.paint.of("image").size(), 1u);
    preview(3, little);
    EXPECT_EQ(texts_at_341(), (std::vector<std::string>{"Ein", "Zwei", "Drei", "Vier"}));
    EXPECT_TRUE(driver.paint.of("image").empty());  // no icon beside it
}

TEST_F(Preview, BrokenVehicleFilesShowEmptyTexts) {
    struct {
        std::string name, bytes;
    } cases[] = {
        {"short.acf", vehicle('a', 900, "Alpha", "", "", "", 100)},
        {"old.acf", vehicle('a', 600, "Alpha", "", "", "")},
        {"full:name\\here.acf", vehicle('a', 900, std::string(600, 'x'), "", "", "")},
    };
    for (const auto& c : cases) {
        preview(3, tree.write(c.name, c.bytes));
        std::vector<std::string> t = texts_at_341();
        ASSERT_EQ(t.size(), 4u);
        if (c.name[0] == 'f')
            EXPECT_EQ(t[0], std::string(500, 'x'));  // the field's length, no further
        else
            EXPECT_EQ(t[0], "") << c.name;
    }
}

TEST_F(Preview, TheFlightCommentFollowsALineWithoutAComma) {
    struct {
        std::string name, bytes, comment;
    } cases[] = {
        {"a.fdr", "A\n1 version\nFDR\nCOMM,  hello there\r\nNEXT,x\n", "hello there"},
        {"b.fdr", "I\n1 version\nX,1\n  comm,\tsecond\n", "second"},
        {"c.fdr", "A\n2 version\nCOMM,new\n", ""},
        {"d.FDR", "A\n1 version\nCOMM,upper\n", ""},
    };
    for (const auto& c : cases) {
        preview(8, tree.write(c.name, c.bytes));
        std::vector<std::string> t = texts_at_341();
        EXPECT_EQ(t, c.comment.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.comment})
            << c.name;
    }
}

}  // namespace

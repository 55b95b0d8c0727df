#include "shell/dialogs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

#include "common/recorders.h"
#include "common/test_helpers.h"
#include "core/alert.h"

namespace {

// zenity's stand-in first on PATH, answering as the test says and recording its arguments.
class Dialogs : public ::testing::Test {
protected:
    std::vector<std::string> calls() { return read_lines(record); }
    // The arguments of the one recorded call.
    std::vector<std::string> argv() {
        std::vector<std::string> lines = calls();
        EXPECT_FALSE(lines.empty());
        if (!lines.empty()) lines.erase(lines.begin());
        return lines;
    }
    bool has(const std::string& arg) {
        std::vector<std::string> a = argv();
        return std::find(a.begin(), a.end(), arg) != a.end();
    }

    temp_folder tmp;
    std::string record = tmp / "record.txt";
    scoped_env path{"PATH", std::string(VOLATRA_TEST_DATA "/standins:/usr/bin:/bin")};
    scoped_env rec{"STANDIN_RECORD", record};
    scoped_env answer{"STANDIN_ANSWER", tmp.path()};
    scoped_env status{"STANDIN_STATUS", std::string("0")};
};

TEST_F(Dialogs, TheChoiceCancelOrFailureOfTheChooser) {
    struct row {
        std::string answer;
        const char* status;
        int result;
        std::string path;
        const char* line1;  // the alert's lines when there is one, else null
        std::string line2;
    };
    const std::string x = tmp / "x", accented = tmp / "with space/\xc3\xa9";
    const char* const not_shown = "The folder dialog could not be shown.";
    std::filesystem::create_directories(x);
    std::filesystem::create_directories(accented);
    const row rows[] = {
        {x, "0", 1, x, nullptr, ""},
        {accented, "0", 1, accented, nullptr, ""},
        {"", "1", 0, "unchanged", nullptr, ""},  // cancelled: no alert
        {x, "255", 0, "unchanged", not_shown, "zenity ended with status 255."},
        {"relative", "0", 0, "unchanged", not_shown, "zenity gave no absolute path."},
        {"", "0", 0, "unchanged", not_shown, "zenity gave no absolute path."},
        // What a dialog without a UTF-8 locale prints for "\xc3\x9c" and "\xce\xa9": no such folder.
        {tmp / "?bung ?", "0", 0, "unchanged", "The folder you picked could not be found:", tmp / "?bung ?"},
    };
    for (const row& r : rows) {
        reset_recorders();
        scoped_env a("STANDIN_ANSWER", r.answer);
        scoped_env s("STANDIN_STATUS", std::string(r.status));
        std::string path = "unchanged";
        EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Select", 1, nullptr, path), r.result) << r.answer << r.status;
        EXPECT_EQ(path, r.path);
        const std::vector<recorded_alert> alerts = recorded_alerts();
        ASSERT_EQ(alerts.size(), r.line1 ? 1u : 0u) << r.answer << r.status;
        if (r.line1) {
            EXPECT_EQ(alerts[0].type, t_alert);
            EXPECT_EQ(alerts[0].line1, r.line1);
            EXPECT_EQ(alerts[0].line2, r.line2);
        }
    }
    // No chooser on the system at all: said on screen, in the file dialog's words for mode 0.
    reset_recorders();
    scoped_env none("PATH", tmp.path());
    std::string path = "unchanged";
    EXPECT_EQ(GetFilePathFromUser(0, "Pick", "Open", 1, nullptr, path), 0);
    EXPECT_EQ(path, "unchanged");
    const std::vector<recorded_alert> alerts = recorded_alerts();
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0].line1 + "|" + alerts[0].line2 + "|" + alerts[0].line3,
              "The file dialog could not be shown.|zenity is not installed.|Please check that zenity is installed "
              "and works.");
}

TEST_F(Dialogs, WhatTheChooserIsAsked) {
    std::string path;
    ASSERT_EQ(GetFilePathFromUser(2, "Pick a folder", "Select", 1, tmp.path().c_str(), path), 1);
    // Only what zenity's file selection accepts: it has no label for its button.
    EXPECT_EQ(argv(), (std::vector<std::string>{"--file-selection", "--title=Pick a folder", "--directory",
                                                "--filename=" + tmp.path()}));

    // A start folder that does not exist is not passed on.
    remove_tree(record);
    ASSERT_EQ(GetFilePathFromUser(0, "Open", "Open", 1, (tmp / "missing").c_str(), path), 1);
    for (const std::string& a : argv()) EXPECT_NE(a.rfind("--filename", 0), 0u) << a;
    EXPECT_FALSE(has("--directory"));

    // Saving proposes the name held in path, in the start folder.
    remove_tree(record);
    path = "notes.txt";
    ASSERT_EQ(GetFilePathFromUser(1, "Save", "Save", 1, tmp.path().substr(0, tmp.path().size() - 1).c_str(), path),
              1);
    EXPECT_TRUE(has("--save") && has("--confirm-overwrite") && has("--filename=" + tmp.path() + "notes.txt"));

    // Texts are cut to 255 bytes, never inside a character.
    remove_tree(record);
    const std::string long_message = std::string(254, 'a') + "\xc3\xa9" + std::string(44, 'b');
    ASSERT_EQ(GetFilePathFromUser(2, long_message, "Select", 1, nullptr, path), 1);
    EXPECT_TRUE(has("--title=" + std::string(254, 'a')));

    // Another mode shows nothing.
    remove_tree(record);
    path = "kept";
    EXPECT_EQ(GetFilePathFromUser(3, "Pick", "Select", 1, nullptr, path), 0);
    EXPECT_EQ(path, "kept");
    EXPECT_FALSE(path_exists(record));
}

TEST_F(Dialogs, ACharacterArrayTakesOnlyAPathThatFits) {
    scoped_env bin("STANDIN_ANSWER", std::string("/usr/bin"));
    char small[8] = "old";
    EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Select", 1, nullptr, small), 0);
    EXPECT_STREQ(small, "old");
    char fits[9] = "old";
    EXPECT_EQ(GetFilePathFromUser(2, "Pick", "Select", 1, nullptr, fits), 1);
    EXPECT_STREQ(fits, "/usr/bin");
}

TEST(DialogsWithoutDisplay, AlertsGoToStandardErrorAndConfirmNothing) {
    scoped_env display("DISPLAY", std::nullopt);
    scoped_env wayland("WAYLAND_DISPLAY", std::nullopt);
    testing::internal::CaptureStderr();
    DoUserAlert("Disc error");
    EXPECT_FALSE(ConfirmMessage("Replace the file?", "Replace", "Keep"));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Disc error"), std::string::npos);
    EXPECT_NE(err.find("Replace the file?"), std::string::npos);
}

// The bytes of a value after flip.
template <class T>
std::array<unsigned char, sizeof(T)> flipped(void (*flip)(T*), std::array<unsigned char, sizeof(T)> bytes) {
    T v;
    std::memcpy(&v, bytes.data(), sizeof v);
    flip(&v);
    std::memcpy(bytes.data(), &v, sizeof v);
    return bytes;
}

TEST(DialogHelpers, ProgressBarAndByteOrder) {
    EXPECT_EQ(progress_bar_value(0.0f), 0);
    EXPECT_EQ(progress_bar_value(0.5f), 500);
    EXPECT_EQ(progress_bar_value(0.9999f), 999);  // cut toward zero
    EXPECT_EQ(progress_bar_value(-1.0f), -1);
    EXPECT_EQ(progress_bar_value(2.0f), 1000);
    EXPECT_EQ(progress_bar_value(std::nanf("")), -1) << "not a number: working, not a cast of NaN";

    EXPECT_EQ(flipped(EndianFlipShort, {1, 2}), (std::array<unsigned char, 2>{2, 1}));
    EXPECT_EQ(flipped(EndianFlipLong, {1, 2, 3, 4}), (std::array<unsigned char, 4>{4, 3, 2, 1}));
}

// The progress window's picture: RGB of pixel (x, y) from the top left, and counts over boxes.
struct progress_pixels {
    std::vector<uint8_t> px;
    std::array<int, 3> at(int x, int y) const {
        const size_t i = (static_cast<size_t>(y) * progress_width + static_cast<size_t>(x)) * 4;
        return {px[i], px[i + 1], px[i + 2]};
    }
    int count(int x0, int y0, int x1, int y1, std::array<int, 3> c) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += at(x, y) == c ? 1 : 0;
        return n;
    }
};

TEST(DialogHelpers, ProgressPictureTextAndBars) {
    const std::array<int, 3> window{232, 232, 232}, done{56, 117, 215}, track{250, 250, 250};
    const progress_pixels text{progress_picture("Reading the disc", nullptr, 0)};
    ASSERT_EQ(text.px.size(), 500u * 250 * 4);
    EXPECT_LT(text.count(20, 15, 480, 30, window), 460 * 15) << "ink on the first line";
    EXPECT_EQ(text.count(0, 30, 500, 250, window), 500 * 220) << "no bar without a fraction";
    EXPECT_EQ(text.count(0, 0, 20, 250, window), 20 * 250) << "the text keeps 20 from the left";

    // A long text wraps inside the window and never reaches its last 15 rows; a word longer than
    // a line is cut at the right margin.
    std::string words = std::string(100, 'W') + " ";
    for (int i = 0; i < 60; ++i) words += "Wide ";
    const progress_pixels wrapped{progress_picture(words, nullptr, 0)};
    EXPECT_LT(wrapped.count(20, 40, 480, 60, window), 460 * 20);
    EXPECT_EQ(wrapped.count(0, 235, 500, 250, window), 500 * 15);
    EXPECT_EQ(wrapped.count(480, 0, 500, 250, window), 20 * 250);

    const float nothing = 0, half = 0.5f, all = 1, working = -1;
    EXPECT_EQ(progress_pixels{progress_picture("", &nothing, 0)}.count(21, 211, 479, 229, track), 458 * 18);
    const progress_pixels h{progress_picture("", &half, 0)};
    EXPECT_EQ(h.count(21, 211, 250, 229, done), 229 * 18);
    EXPECT_EQ(h.count(250, 211, 479, 229, track), 229 * 18);
    EXPECT_EQ(progress_pixels{progress_picture("", &all, 0)}.count(21, 211, 479, 229, done), 458 * 18);

    const progress_pixels w0{progress_picture("", &working, 0)}, w1{progress_picture("", &working, 1)},
        w10{progress_picture("", &working, 10)};
    EXPECT_NEAR(w0.count(21, 211, 479, 229, done), 458 * 18 / 2, 200);
    EXPECT_NE(w0.px, w1.px) << "each step moves the stripes";
    EXPECT_EQ(w0.px, w10.px) << "ten steps move them by one period";
}

}  // namespace

#include "core/localisation.h"

#include <gtest/gtest.h>

#include <string>

#include "common/test_helpers.h"
#include "core/command_line.h"
#include "core/globals.h"
#include "files/language_file.h"

namespace {
const char* header = "A\n900 version\nTRANSLATION\n\n";

// Writes a language file in a temp folder and loads it through app_path.
class TranslateTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_app_path = app_path;
        app_path = dir.path();
    }
    void TearDown() override {
        UTL_translate_clear();
        app_path = saved_app_path;
    }
    void load(const std::string& content) {
        dir.write("lang.txt", content);
        UTL_translate_load("lang.txt");
    }
    temp_folder dir;
    std::string saved_app_path;
};
}  // namespace

TEST_F(TranslateTest, EntriesAreReadAndLooked) {
    log_capture log;
    load(std::string(header) +
         "   STRING\tYes====Ja\n"
         "STRING  Two\\nlines====Zwei\\nZeilen  \r\n"
         "\n"
         "STRINGX No====Nein\n"
         "# STRING Cancel====Abbrechen\n"
         "STRING Quit====Beenden");
    EXPECT_EQ(has_translation, 1);
    EXPECT_EQ(dictionary.size(), 3u);
    EXPECT_EQ(UTL_translate_string("Yes"), "Ja");
    EXPECT_EQ(UTL_translate_string("Two\nlines"), "Zwei\nZeilen  ");
    EXPECT_EQ(UTL_translate_string("Quit"), "Beenden");
    EXPECT_EQ(UTL_translate_string("No"), "No");
    EXPECT_EQ(UTL_translate_string("Cancel"), "Cancel");
    EXPECT_EQ(log.text(), "");
}

TEST_F(TranslateTest, BadEntriesAreLoggedAndTheFirstTranslationWins) {
    log_capture log;
    load(std::string(header) +
         "STRING Yes Ja\n"
         "STRING Yes====J\n"
         "STRING Yes====Ja\n"
         "STRING Yes====Oui\n"
         "STRING No====Nein\n");
    EXPECT_EQ(UTL_translate_string("Yes"), "Ja");
    EXPECT_EQ(UTL_translate_string("No"), "Nein");
    EXPECT_EQ(log.text(),
              "ERROR: language file line Yes Ja missing ==== splitter.\n"
              "ERROR: language file line Yes====J missing right side translation.\n"
              "ERROR: language line Yes====Oui is a second translation of Yes====Ja\n");
}

TEST_F(TranslateTest, WrongHeadersLeaveTheTableEmpty) {
    const std::string body = "STRING Yes====Ja\n";
    for (const std::string& bad :
         {std::string("A\n899 version\nTRANSLATION\n"), std::string("A\n900\nTRANSLATIONS\n"),
          std::string("A\n900\nINSTALLER\n"), std::string("B\n900\nTRANSLATION\n"), std::string("")}) {
        load(bad + body);
        EXPECT_EQ(has_translation, 0) << bad;
        EXPECT_TRUE(dictionary.empty()) << bad;
        EXPECT_EQ(UTL_translate_string("Yes"), "Yes") << bad;
    }
    UTL_translate_load("no such file.txt");
    EXPECT_EQ(has_translation, 0);
    // CR line ends and an "I" tag are as good as "A" and LF.
    load("I\r\n900 version\r\nTRANSLATION\r\n" + body);
    EXPECT_EQ(UTL_translate_string("Yes"), "Ja");
}

TEST_F(TranslateTest, LoadingReplacesTheTableAndClearEmptiesIt) {
    load(std::string(header) + "STRING Yes====Ja\n");
    load(std::string(header) + "STRING No====Nein\n");
    EXPECT_EQ(UTL_translate_string("Yes"), "Yes");
    EXPECT_EQ(UTL_translate_string("No"), "Nein");
    UTL_translate_clear();
    EXPECT_EQ(has_translation, 0);
    EXPECT_EQ(UTL_translate_string("No"), "No");
}

TEST_F(TranslateTest, MissingTextsAreLoggedOncePerLoad) {
    log_capture log;
    load(std::string(header) + "STRING Yes====Ja\n");
    EXPECT_EQ(log_missing, 0);
    UTL_translate_string("Unknown");
    EXPECT_EQ(log.text(), "");

    const char* argv[] = {"Volatra", "--missing_strings"};
    cmdline.init_unix(2, argv);
    load(std::string(header) + "STRING Yes====Ja\n");
    EXPECT_EQ(log_missing, 1);
    std::string before = log.text();
    for (int i = 0; i < 3; ++i) {
        UTL_translate_string("Two\r\nlines");
        UTL_translate_string("Yes");
    }
    EXPECT_EQ(log.text().substr(before.size()), "STRING Two\\r\\nlines====Two\\r\\nlines\n");
    // A new load reports again; after a clear nothing is reported.
    load(std::string(header) + "STRING Yes====Ja\n");
    UTL_translate_string("Two\r\nlines");
    UTL_translate_clear();
    UTL_translate_string("Other");
    EXPECT_EQ(log.text().substr(before.size()),
              "STRING Two\\r\\nlines====Two\\r\\nlines\nSTRING Two\\r\\nlines====Two\\r\\nlines\n");
}

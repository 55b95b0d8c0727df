// The alert hooks and their headless defaults, which the command-line tools use.
#include "core/alert.h"

#include <gtest/gtest.h>

#include "common/recorders.h"
#include "common/test_helpers.h"

TEST(AlertHooks, SettersReturnThePreviousHookAndNullRestoresTheDefault) {
    alert_hook_fn recorder = set_alert_hook(nullptr);
    EXPECT_NE(recorder, &headless_alert);
    EXPECT_EQ(set_alert_hook(recorder), &headless_alert);
    finishup_hook_fn f = set_finishup_hook(nullptr);
    EXPECT_EQ(set_finishup_hook(f), &headless_finishup);
    url_hook_fn u = set_url_hook(nullptr);
    EXPECT_EQ(set_url_hook(u), &headless_go_to_url);

    reset_recorders();
    go_to_URL("http://example.invalid/");
    MACIBM_finishup(1);
    EXPECT_EQ(recorded_urls(), std::vector<std::string>{"http://example.invalid/"});
    EXPECT_EQ(recorded_finishups(), 1);
}

TEST(AlertHooksDeathTest, HeadlessDefaultPrintsLinesAndEndsOnFatal) {
    child_result r = run_in_child([] {
        set_alert_hook(nullptr);
        __MACIBM_alert(0, "Pick one", "", "", "", t_lang, __FILE__, __LINE__);
        __MACIBM_alert(0, "first", "", "third", "", t_alert, __FILE__, __LINE__);
    });
    EXPECT_EQ(r.exit_code, child_returned);
    EXPECT_EQ(r.out, "first\nthird\n");

    EXPECT_EXIT(
        {
            set_alert_hook(nullptr);
            __MACIBM_alert(0, "It broke", "here", "", "", t_exit, "unit.cpp", 7);
        },
        ::testing::ExitedWithCode(1), "^It broke\nhere\n\\(unit.cpp line 7\\)\n$");
}

// A fatal alert names the source file, not the folder it was built in; labels stay as written.
TEST(AlertHooksDeathTest, TheLocationNamesTheSourceFileWithoutItsBuildFolder) {
    EXPECT_STREQ(alert_source_name("/home/builder/volatra/install/builder_pack.cpp"), "builder_pack.cpp");
    EXPECT_STREQ(alert_source_name("GenC/hl_init"), "GenC/hl_init");
    EXPECT_STREQ(alert_source_name(nullptr), "");
    EXPECT_EXIT(
        {
            set_alert_hook(nullptr);
            __MACIBM_alert(0, "It broke", "", "", "", t_exit, __FILE__, 7);
        },
        ::testing::ExitedWithCode(1), "^It broke\n\\(alert_test.cpp line 7\\)\n$");
}

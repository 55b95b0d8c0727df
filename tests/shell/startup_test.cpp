#include "shell/startup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <vector>

#include "core/randrat.h"
#include "platform/plat_gestalt.h"

namespace {

std::map<uint32_t, int32_t> facts;
int fake_gestalt(uint32_t selector, int32_t* value) {
    auto f = facts.find(selector);
    if (f == facts.end()) return plat::gestalt_undefined;
    *value = f->second;
    return 0;
}

TEST(StartupLog, HeaderLines) {
    facts = {{plat::four_cc("sys1"), 10}, {plat::four_cc("sys2"), 4},  {plat::four_cc("sys3"), 11},
             {plat::four_cc("cput"), 268}, {plat::four_cc("mclk"), 1250}, {plat::four_cc("bclm"), 167},
             {plat::four_cc("ramm"), 1024}};
    EXPECT_EQ(startup_log_header(fake_gestalt, "Apr  9 2008 09:29:48"),
              "Installer log.txt for Volatra DVD Installer 2.01r1 compiled on Apr  9 2008 09:29:48\n\n"
              "This log file is generated automatically by Tessaly applications and contains diagnostics about your "
              "graphics hardware, installation, and any error conditions.\n"
              "If you need to contact tech support or file a bug, please send us this file. NOTE: this file is "
              "rewritten every time you start ANY of your Ostrand applications.\n\n"
              "Mac OS X 10.4.11\n"
              "CPU type: 268 (G4) CPU speed (mhz): 1250 Bus speed (mhz): 167 RAM (MB): 1024\n"
              "\nOstrand folder:'', case sensitive=0\n\n");

    // Facts the system does not give read "?"; a missing processor type counts as code 0.
    facts.erase(plat::four_cc("cput"));
    facts.erase(plat::four_cc("sys3"));
    const std::string h = startup_log_header(fake_gestalt, "x");
    EXPECT_NE(h.find("Mac OS X 10.4.?\nCPU type: ? (unknown PowerPC) CPU speed"), std::string::npos) << h;
}

TEST(StartupLog, ProcessorNames) {
    EXPECT_EQ(processor_name(313), " (G5) ");
    EXPECT_EQ(processor_name(static_cast<int32_t>(plat::four_cc("ixxx"))), " (X86) ");
    EXPECT_EQ(processor_name(static_cast<int32_t>(plat::four_cc("i5iv"))), " (Pentium 4) ");
    EXPECT_EQ(processor_name(static_cast<int32_t>(plat::four_cc("ppcX"))), " (ppcX) ");
    EXPECT_EQ(processor_name(static_cast<int32_t>(0x69000001)), " (unknown intel) ");
    EXPECT_EQ(processor_name(999), " (unknown PowerPC) ");
}

TEST(Startup, RandomTableIsTheSameOnEveryRunAndBelowItsBound) {
    fill_randrat(12345);
    std::vector<float> first(randrat, randrat + randrat_size);
    const int after_first = std::rand();
    fill_randrat(999);
    EXPECT_TRUE(std::equal(first.begin(), first.end(), randrat));
    // Later draws follow the clock.
    EXPECT_NE(std::rand(), after_first);
    const float top = *std::max_element(first.begin(), first.end());
    EXPECT_LT(top, 0.9999f);
    EXPECT_GT(top, 0.999f);
    EXPECT_GE(*std::min_element(first.begin(), first.end()), 0.0f);
}

TEST(Startup, SplashFraction) {
    int counter = 0;
    std::vector<float> shown;
    for (int call = 1; call <= 102; ++call) shown.push_back(splash_fraction(nullptr, &counter));
    EXPECT_FLOAT_EQ(shown[0], 0.02f);
    EXPECT_FLOAT_EQ(shown[50], 0.5f);
    EXPECT_FLOAT_EQ(shown[100], 1.0f);
    EXPECT_FLOAT_EQ(shown[101], 1.0f);
    EXPECT_EQ(counter, 102);
    // A given fraction is clamped and leaves the count alone.
    const float five = 5, minus = -1, nan = std::nanf("");
    EXPECT_FLOAT_EQ(splash_fraction(&five, &counter), 1.0f);
    EXPECT_FLOAT_EQ(splash_fraction(&minus, &counter), 0.02f);
    EXPECT_FLOAT_EQ(splash_fraction(&nan, &counter), 0.02f);
    EXPECT_EQ(counter, 102);
}

}  // namespace

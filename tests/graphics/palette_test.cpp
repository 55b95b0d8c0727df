// The palette's defaults and spectra.
#include <gtest/gtest.h>

#include <cmath>

#include "graphics/palette.h"

namespace {
void expect_rgb(const float* got, float r, float g, float b, const char* what) {
    EXPECT_NEAR(got[0], r, 1e-3) << what;
    EXPECT_NEAR(got[1], g, 1e-3) << what;
    EXPECT_NEAR(got[2], b, 1e-3) << what;
}
}  // namespace

TEST(Palette, DefaultsTintAndSpectra) {
    colr_class c;
    expect_rgb(c.rgb[0], 1, 1, 1, "slot 0");
    expect_rgb(c.rgb[12], 0, 0, 0, "slot 12");
    expect_rgb(c.rgb[105], 1, 1, 1, "tint");
    EXPECT_EQ(c.gamma_table[200], 200);

    c.assign(105, 0.5f, 0.9f, 0.75f);
    c.set_lites_for_interface();
    expect_rgb(c.rgb[105], 0.75f, 0.9f, 0.75f, "lit tint");

    c.spectrum_init(7);
    expect_rgb(c.spectrum[500], 0, 0, 0, "unknown kind");
    c.spectrum_init(0);
    expect_rgb(c.spectrum[0], 1, 0, 0, "rainbow 0");
    expect_rgb(c.spectrum[100], 1, 0.16f, 0.04f, "rainbow 100");
    expect_rgb(c.spectrum[999], 0.796f, 0, 0.801f, "rainbow 999");
    c.spectrum_init(2);
    expect_rgb(c.spectrum[500], 0, 0.5f, 0, "green ramp");
}

TEST(Palette, SpectrumScaleIndex) {
    colr_class c;
    const struct {
        float low, high;
        int j, index;
    } cases[] = {{0, 1, 0, 0}, {0, 1, 996, 996}, {10, 0, 500, 500}, {5, 5, 500, 0}, {NAN, 1, 500, 0}};
    for (const auto& k : cases) {
        c.spectrum_low = k.low;
        c.spectrum_high = k.high;
        c.spectrum_range = k.high - k.low;
        EXPECT_EQ(c.spectrum_index(k.j), k.index) << k.low << ".." << k.high << " at " << k.j;
    }
}

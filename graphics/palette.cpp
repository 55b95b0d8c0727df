// The palette of interface colours (graphics layer).
#include "graphics/palette.h"

#include <GL/gl.h>

#include <algorithm>
#include <cstring>

#include "graphics/bitmap_text.h"
#include "graphics/gl_state_cache.h"

colr_class colr;

namespace {
struct slot_default {
    int slot;
    float r, g, b;
};
// clang-format off
constexpr slot_default defaults[] = {
    {0, 1, 1, 1}, {1, 1, 0.2f, 0.2f}, {2, 1, 1, 0.2f}, {3, 0.7f, 0.7f, 0.7f},
    {4, 0.8f, 0, 0}, {5, 1, 1, 0}, {6, 0.3f, 0.3f, 0.3f}, {7, 0.2f, 0, 0},
    {8, 1, 0.8f, 0.2f}, {9, 0.1f, 0.1f, 0.1f}, {10, 0, 0.8f, 0}, {13, 0, 0.4f, 0},
    {15, 0.4f, 0.4f, 1}, {17, 0, 0, 0.6f}, {18, 0.9f, 0.9f, 0.9f}, {19, 0.8f, 0.1f, 0.1f},
    {20, 0.9f, 0.9f, 1}, {21, 0.9f, 0.9f, 0.9f}, {22, 0.1f, 0.1f, 0.1f}, {24, 1, 1, 0},
    {26, 1, 1, 1}, {27, 1, 1, 1}, {28, 1, 1, 1}, {29, 1, 1, 0},
    {31, 1, 1, 1}, {32, 1, 1, 1}, {33, 1, 1, 1}, {49, 1, 1, 1},
    {50, 0.4f, 1, 0.4f}, {51, 1, 0.4f, 0.4f}, {52, 1, 1, 0.6f}, {53, 0.7f, 0.7f, 1},
    {54, 1, 0.5f, 0}, {55, 0.8f, 0.8f, 0.8f}, {56, 0, 1, 0}, {57, 1, 0.2f, 0.2f},
    {58, 1, 1, 0.2f}, {59, 0.4f, 0.4f, 1}, {60, 0.5f, 0.3f, 0}, {61, 0.5f, 0.5f, 0.5f},
    {62, 0, 0.6f, 0}, {63, 0.6f, 0.2f, 0}, {64, 1, 1, 0}, {65, 0.2f, 0.2f, 0.8f},
    {66, 1, 0.4f, 0}, {67, 0.2f, 0.2f, 0.2f}, {68, 0, 0.2f, 0}, {69, 1, 0, 0},
    {70, 0.6f, 0.6f, 0}, {71, 0.15f, 0.15f, 0.6f}, {72, 0.49f, 0.43f, 0.24f}, {74, 0, 0.1f, 0},
    {75, 1, 0.2f, 1}, {76, 1, 0, 1}, {77, 0, 1, 1}, {78, 0.44f, 0.53f, 0.54f},
    {85, 1, 0, 1}, {87, 1, 0, 1}, {88, 1, 1, 1}, {97, 0.5f, 0.5f, 0.4f},
    {98, 1, 0.3f, 0}, {99, 0.5f, 0.5f, 0.4f}, {100, 0.8f, 0.8f, 0.7f}, {101, 0, 0.6f, 0.2f},
    {102, 1, 1, 0.9f}, {105, 1, 1, 1},
};
// clang-format on
}  // namespace

colr_class::colr_class() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
    gamma1 = 1.8;
    gamma2 = 1.8;
    for (int i = 0; i < 256; ++i) gamma_table[i] = static_cast<unsigned char>(i);
    for (const slot_default& d : defaults) assign(d.slot, d.r, d.g, d.b);
}

void colr_pulse(float v) {
    colr.assign(79, v, v, v);
    colr.assign(80, v, 0.5f * v, 0);
    colr.assign(81, v, 0.3f * v, 0.3f * v);
    colr.assign(82, 0.3f * v, 0.3f * v, v);
    colr.assign(83, 0.2f * v, 0.8f * v, 0.2f * v);
    colr.assign(84, 0.7f * v, 0.7f * v, 0.2f * v);
    colr.pulse = v;
}

void colr_class::set_lites_for_interface() {
    for (float& c : rgb[105]) c = std::max(c, 0.75f);
}

void colr_class::spectrum_init(int kind) {
    const auto* keys = spectrum_keys + 1;  // the rainbow starts at red
    if (kind < 0 || kind > 3) return;
    for (int i = 0; i < 1000; ++i) {
        const float v = i / 1000.0f;
        float* e = spectrum[i];
        if (kind == 0) {
            const int k = v < 0.2f ? 0 : v < 0.4f ? 1 : v < 0.6f ? 2 : v < 0.8f ? 3 : 4;
            const float f = (v - 0.2f * k) * 5;
            for (int c = 0; c < 3; ++c) e[c] = (1 - f) * keys[k][c] + f * keys[k + 1][c];
        } else {
            e[0] = e[1] = e[2] = 0;
            e[kind - 1] = v;
        }
    }
}

int colr_class::spectrum_index(int j) const {
    const float low = spectrum_low, high = spectrum_high;
    const float value = std::clamp(low + j * (high - low) / 999, std::min(low, high), std::max(low, high));
    // An empty range has no place to divide into, and NaN has no int.
    if (spectrum_range == 0) return 0;
    const float at = (value - low) / spectrum_range * 1000;
    if (!(at > 0)) return 0;
    return at >= 999 ? 999 : static_cast<int>(at);
}

void colr_class::spectrum_plotscale(float x, float y, float low, float high, int decimals) {
    spectrum_high = high;
    OGL_number(0, x + 4, y + 1000 - 4, high, 5, decimals, 100);
    spectrum_low = low;
    OGL_number(0, x + 4, y - 4, low, 5, decimals, 100);
    spectrum_range = high - low;
    OGL_setstate(1, 0, 3, 5, 9, 11);
    glPointSize(4.0f);
    glBegin(GL_POINTS);
    // The spectrum's own colours: no tint and no monochrome, and no sub-window origin.
    for (int j = 0; j < 1000; j += 4) {
        glColor3fv(spectrum[spectrum_index(j)]);
        glVertex2f(x, y + static_cast<float>(j));
    }
    glEnd();
    glPointSize(1.0f);
}

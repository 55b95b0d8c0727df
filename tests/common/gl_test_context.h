// The one OpenGL context of a test program: 800 x 600 offscreen (no X server), with the shell's
// GL defaults, the entry points opened, the capability probe run and the 2-D window space set.
// Made on the first call, on the calling thread, and kept current until the program ends.
#pragma once

#include <cstdint>
#include <initializer_list>

inline constexpr int gl_test_width = 800;
inline constexpr int gl_test_height = 600;

// Makes the context current; false (with the reason on stderr) when no GL is to be had.
bool gl_test_context();

// Runs the capability probe again as if the command line held these switches ("--no_fbos",
// "--no_pbos", ...); an empty list gives the plain probe back.
void gl_test_probe_with(std::initializer_list<const char*> options);

struct gl_test_rgba {
    uint8_t r, g, b, a;
    bool operator==(const gl_test_rgba& o) const { return r == o.r && g == o.g && b == o.b && a == o.a; }
};
// One pixel of the colour buffer, x and y from the bottom left.
gl_test_rgba gl_test_pixel(int x, int y);
// The relative luminance of a colour (0 to 1), and the contrast ratio of two (1 to 21) by it, as
// text legibility is judged: 4.5 or more reads as body text.
double gl_test_luminance(gl_test_rgba c);
double gl_test_contrast(gl_test_rgba a, gl_test_rgba b);
// Clears the colour buffer to (r, g, b, a), each 0..1.
void gl_test_clear(float r, float g, float b, float a);

#include <gtest/gtest.h>

#include "core/window_state.h"
#include "graphics/builtin_images.h"

// A suite drawing on the context with the built-in images loaded: each test starts on a black
// screen, and the window record it changes is put back afterwards.
class gl_screen_test : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(gl_test_context());
        OGL_load_builtin_images();
    }
    void SetUp() override {
        saved_mnw = mnw;
        gl_test_clear(0, 0, 0, 1);
    }
    void TearDown() override { mnw = saved_mnw; }
    mnw_struct saved_mnw;
};

// The four images stored in the program: the embedded bytes are the generator's, the generator
// repeats itself, and the art lies where the widget kit, the shell and the wizard cut it.
#include "graphics/builtin_images.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/gl_test_context.h"
#include "graphics/atlas_layout.h"
#include "graphics/gl_state_cache.h"
#include "graphics/image_buffer.h"
#include "graphics/palette.h"
#include "graphics/scratch_buffers.h"
#include "graphics/text_layout.h"
#include "graphics/texture_manager.h"

namespace {

struct px {
    int r, g, b, a;
};

px at(const builtin_image& im, int u, int v) {
    const unsigned char* p = im.pixels + (static_cast<size_t>(v) * im.width + u) * im.bpp;
    return px{p[0], p[1], p[2], im.bpp == 4 ? p[3] : 255};
}

const builtin_image& image_of_ref(int ref) {
    for (const builtin_image& im : builtin_images)
        if (im.ref == ref) return im;
    throw std::runtime_error("no image");
}

gl_test_rgba rgba(px c) {
    return gl_test_rgba{static_cast<uint8_t>(c.r), static_cast<uint8_t>(c.g), static_cast<uint8_t>(c.b), 255};
}
double luminance(px c) { return gl_test_luminance(rgba(c)); }
double contrast(px a, px b) { return gl_test_contrast(rgba(a), rgba(b)); }

px swatch(int slot) {
    for (const atlas_swatch& s : atlas_swatches)
        if (s.slot == slot) return at(image_of_ref(392), s.u, s.v);
    throw std::runtime_error("no swatch");
}

// The colour in the middle of a nine-slice tile.
px panel_body(int ref, int u, int v, int t) { return at(image_of_ref(ref), u + t / 2, v + t / 2); }

bool inside(const atlas_region& r, int u, int v) { return u >= r.u0 && u < r.u1 && v >= r.v0 && v < r.v1; }

}  // namespace

TEST(BuiltinImages, EmbeddedBytesAreWhatTheGeneratorWritesEveryTime) {
    const std::string dir = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/artwork_again";
    const std::string cmd = "mkdir -p '" + dir + "' && '" VOLATRA_BINARY_DIR "/tools/volatra_make_artwork' --out '" +
                            dir + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    const char* names[] = {"background", "elements", "map", "interface"};
    for (int i = 0; i < 4; ++i) {
        std::ifstream f(dir + "/" + names[i] + ".raw", std::ios::binary);
        const std::vector<unsigned char> again{std::istreambuf_iterator<char>(f), {}};
        const builtin_image& im = builtin_images[i];
        ASSERT_EQ(again.size(), builtin_image_bytes(im)) << names[i];
        EXPECT_TRUE(std::equal(again.begin(), again.end(), im.pixels)) << names[i];
    }
}

TEST(BuiltinImages, SwatchesAreSolidAndReadOnTheirPanels) {
    const builtin_image& ui = image_of_ref(392);
    for (const atlas_swatch& s : atlas_swatches) {
        const px c = at(ui, s.u, s.v);
        EXPECT_EQ(c.a, 255) << s.slot;
        // A block, so a reader one pixel off still gets the colour.
        for (int dv = -1; dv <= 1; ++dv)
            for (int du = -1; du <= 1; ++du) {
                const px n = at(ui, s.u + du, s.v + dv);
                EXPECT_TRUE(n.r == c.r && n.g == c.g && n.b == c.b && n.a == c.a) << s.slot;
            }
    }
    const px black{0, 0, 0, 255};
    EXPECT_GE(contrast(black, panel_body(393, 982, 2, 41)), 7.0);       // wizard title and text
    EXPECT_GE(contrast(swatch(45), panel_body(393, 982, 2, 41)), 4.5);  // step list
    EXPECT_GE(contrast(swatch(43), panel_body(392, 1, 358, 100)), 4.5);
    EXPECT_GE(contrast(swatch(43), panel_body(392, 203, 358, 100)), 4.5);  // alert text
    EXPECT_GE(contrast(swatch(47), panel_body(392, 304, 358, 100)), 4.5);  // hover help
    // Style 15 takes text in 47 on its band and its body, the splash's white on the band and its
    // grey (slot 61) below.
    const px grey{128, 128, 128, 255}, white{255, 255, 255, 255};
    for (int v : {358 + 72, 358 + 80, 358 + 95})
        EXPECT_GE(contrast(swatch(47), at(ui, 455, v)), 4.5) << v;
    EXPECT_GE(contrast(white, at(ui, 455, 358 + 80)), 4.5);
    EXPECT_GE(contrast(grey, panel_body(392, 405, 358, 100)), 4.5);
    EXPECT_GE(contrast(swatch(38), panel_body(392, 70, 315, 42)), 4.5);    // drop-down menu
    EXPECT_GE(contrast(swatch(40), at(ui, 51, 445)), 4.5);                 // title on the band
}

TEST(BuiltinImages, GlyphsAreWhiteInkCentredInTheirAdvanceAndClearTheNextLine) {
    const builtin_image& ui = image_of_ref(392);
    // A glyph's quad starts 4 rows below the text's y less 2, its baseline row is 5 of the cell:
    // at the 10-pixel pitch of wrapped text a line's row 3 (the lowest descender) and the next
    // line's row 11 (capitals and ascenders) lie 2 rows apart, with a free row between.
    const int lowest = 3, highest = 11;
    for (int c = 0; c <= glyph_missing; ++c) {
        const int adv = OGL_char_width(c);
        if (adv == 0) continue;
        const glyph_cell cell = OGL_glyph_cell(c);
        const int u0 = cell.col * glyph_cell_w, v0 = cell.row * glyph_cell_h;
        int ink = 0, first = glyph_cell_w, last = -1, bottom = glyph_cell_h, top = -1;
        for (int v = v0; v < v0 + glyph_cell_h; ++v)
            for (int u = u0; u < u0 + glyph_cell_w; ++u) {
                const px p = at(ui, u, v);
                if (p.a == 0) continue;
                ++ink;
                EXPECT_TRUE(p.r == 255 && p.g == 255 && p.b == 255) << c;
                first = std::min(first, u - u0);
                last = std::max(last, u - u0);
                bottom = std::min(bottom, v - v0);
                top = std::max(top, v - v0);
            }
        if (c == ' ') {
            EXPECT_EQ(ink, 0);  // every byte outside the grid draws this cell
            continue;
        }
        ASSERT_GT(ink, 0) << c;
        // Inside the advance with a free column on the left, the gaps on both sides at most 1
        // apart: "9.1" shows its point, no two letters touch.
        const int left_gap = first, right_gap = adv - 1 - last;
        EXPECT_GE(left_gap, 1) << c;
        EXPECT_GE(right_gap, 0) << c;
        EXPECT_TRUE(left_gap - right_gap == 0 || left_gap - right_gap == 1) << c;
        // Row 0 stays empty too: the menu and title bars read the atlas row past the top, which
        // wraps to it.
        EXPECT_GE(bottom, lowest) << c;
        // Only the accents stand above capital height: on capitals, and the backquote.
        const bool accent = c == '`' || (c >= 0xC0 && c < 256 && c != 0xFB);
        if (!accent) {
            EXPECT_LE(top, highest) << c;
        }
    }
}

TEST(BuiltinImages, ArtStaysInsideItsRegionsWhichOverlapOnlyWhereKnown) {
    for (const atlas_region& a : atlas_regions)
        for (const atlas_region& b : atlas_regions) {
            if (&a >= &b || a.ref != b.ref) continue;
            const bool overlap = a.u0 < b.u1 && b.u0 < a.u1 && a.v0 < b.v1 && b.v0 < a.v1;
            const bool known = std::string(a.name) == "check box on" && std::string(b.name) == "heading dial";
            EXPECT_EQ(overlap, known) << a.name << " / " << b.name;
        }
    for (int ref : {392, 393}) {
        const builtin_image& im = image_of_ref(ref);
        for (const atlas_region& r : atlas_regions) {
            if (r.ref != ref) continue;
            int drawn = 0;
            for (int v = r.v0; v < r.v1; ++v)
                for (int u = r.u0; u < r.u1; ++u) drawn += at(im, u, v).a > 0;
            EXPECT_GT(drawn, 0) << r.name;
        }
        int stray = 0;
        for (int v = 0; v < im.height; ++v)
            for (int u = 0; u < im.width; ++u) {
                if (at(im, u, v).a == 0) continue;
                bool placed = false;
                for (const atlas_region& r : atlas_regions) placed |= r.ref == ref && inside(r, u, v);
                for (const atlas_swatch& s : atlas_swatches)
                    placed |= ref == 392 && std::abs(u - s.u) <= 2 && std::abs(v - s.v) <= 2;
                stray += !placed;
            }
        EXPECT_EQ(stray, 0) << ref;
    }
}

TEST(BuiltinImages, ButtonsHaveThreeLooksAndThePanelTileIsOpaque) {
    const builtin_image& el = image_of_ref(393);
    for (const atlas_region& r : atlas_regions) {
        if (r.ref != 393 || r.v0 != 0) continue;
        // A pixel of the button face left of the caption.
        const int u = r.u0 + 4, dv = elements_button_h / 2;
        const px normal = at(el, u, elements_normal_row + dv);
        const px pressed = at(el, u, elements_pressed_row + dv);
        const px hover = at(el, u, elements_hover_row + dv);
        EXPECT_EQ(normal.a, 255) << r.name;
        EXPECT_LT(luminance(pressed), luminance(normal)) << r.name;
        EXPECT_GT(luminance(hover), luminance(normal)) << r.name;
        // The gutter rows between the looks stay empty.
        EXPECT_EQ(at(el, u, 22).a, 0);
        EXPECT_EQ(at(el, u, 45).a, 0);
    }
    for (int v = 2; v < 43; ++v)
        for (int u = 982; u < 1023; ++u)
            if (std::abs(u - 1002) < 14 && std::abs(v - 22) < 14) {
                EXPECT_EQ(at(el, u, v).a, 255);
            }
}

TEST(BuiltinImages, MapHasTheSouthAtTheBottomAndTheDateLineAtTheLeft) {
    const builtin_image& map = image_of_ref(394);
    // Pixel of a longitude and latitude in the base picture (1.4 per degree).
    auto base = [&](double lon, double lat) {
        return at(map, static_cast<int>((lon + 180) * 1.4) + 3, static_cast<int>((lat + 90) * 1.4) + 3);
    };
    EXPECT_GT(luminance(base(20, 0)), 0.9);       // the Congo basin: land, white
    EXPECT_LT(luminance(base(-30, 0)), 0.6);      // the mid Atlantic: sea, grey
    EXPECT_GT(luminance(base(60, -85)), 0.9);     // Antarctica
    EXPECT_LT(luminance(base(-150, 30)), 0.6);    // the Pacific
    EXPECT_GT(luminance(base(135, -25)), 0.9);    // Australia
    for (int v = 0; v < map_lit_row; ++v)
        for (int u = 0; u < 504; ++u) {
            ASSERT_EQ(at(map, u, v).a, 255);
            const int a = at(map, u, map_lit_row + v).a;
            ASSERT_TRUE(a >= 80 && a <= 255);
        }
    // The 10-degree grid: every 14th row and column is dark in the base picture, tile middles not.
    for (int c = 0; c < 36; ++c)
        for (int r = 0; r < 18; ++r) {
            EXPECT_LT(luminance(at(map, 14 * c, 14 * r + 7)), 0.36);
            EXPECT_LT(luminance(at(map, 14 * c + 7, 14 * r)), 0.36);
            EXPECT_GT(luminance(at(map, 14 * c + 7, 14 * r + 7)), 0.38);
        }
}

TEST(BuiltinImages, BackgroundCarriesTheNameInTheBandAbovePanels) {
    const builtin_image& bg = image_of_ref(395);
    int bright_band = 0, bright_below = 0;
    for (int v = 0; v < 600; ++v)
        for (int u = 0; u < 800; ++u) {
            const bool bright = luminance(at(bg, u, v)) > 0.8;
            (v >= 504 ? bright_band : bright_below) += bright;
        }
    EXPECT_GT(bright_band, 500);
    EXPECT_EQ(bright_below, 0);
}

TEST(BuiltinImagesLoad, PaddingIsZeroedAndTheInterfaceColoursComeFromTheAtlas) {
    ASSERT_TRUE(gl_test_context());
    // Whatever an earlier user left in the scratch buffer must not reach the textures' padding.
    std::memset(scratch_array, 0xAB, scratch_bytes);
    OGL_load_builtin_images();
    std::vector<unsigned char> tex(512 * 512 * 4);
    glBindTexture(GL_TEXTURE_2D, 394);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, tex.data());
    int stray = 0;
    for (int v = 0; v < 512; ++v)
        for (int u = 0; u < 512; ++u)
            if (u >= 504 || v >= 504)
                for (int k = 0; k < 4; ++k) stray += tex[(v * 512 + u) * 4 + k] != 0;
    EXPECT_EQ(stray, 0);
    EXPECT_EQ(tex[(0 * 512 + 100) * 4 + 3], 255);  // the base picture is there from its first row
    // The records carry each image's own size and its texture's.
    for (const builtin_image& im : builtin_images) {
        const tman_class::ref_dat_struct& r = tman.ref_dat[static_cast<size_t>(im.ref)];
        EXPECT_EQ(r.img_dx, im.width) << im.ref;
        EXPECT_EQ(r.img_dy, im.height) << im.ref;
        EXPECT_EQ(r.tex_dx, TEX_next_pow2(im.width)) << im.ref;
        EXPECT_EQ(r.tex_dy, TEX_next_pow2(im.height)) << im.ref;
    }
    EXPECT_EQ(tman.ref_dat[394].img_dx, 504);
    GLint width = 0;
    glBindTexture(GL_TEXTURE_2D, 392);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 512);
    TEX_reset_bind();

    const px ink = swatch(43);
    EXPECT_FLOAT_EQ(colr.rgb[43][0], ink.r / 255.0f);
    EXPECT_FLOAT_EQ(colr.rgb[43][2], ink.b / 255.0f);
    EXPECT_FLOAT_EQ(colr.rgb[44][1], swatch(44).g / 255.0f);
    EXPECT_FLOAT_EQ(colr.rgb[39][0], (swatch(38).r + swatch(35).r) / 510.0f);
    EXPECT_FLOAT_EQ(colr.rgb[39][1], (swatch(38).g + swatch(35).g) / 510.0f);
    EXPECT_FLOAT_EQ(colr.rgb[39][2], (swatch(38).b + swatch(35).b) / 510.0f);
}

// Makes the four images stored in the program: the interface atlas with the bitmap font (ref 392),
// the wizard's buttons and panel (393), the world map (394) and the background (395). Written as
// raw pixels, rows bottom first, the same bytes on every run: fonts come from DejaVu through
// FreeType, the earth from a public-domain equirectangular picture read with libjpeg.
//
//   volatra_make_artwork --out DIR [--font SANS.ttf] [--bold BOLD.ttf] [--earth EARTH.jpg]
//                        [--png | --png-zoom N]
//
// The inputs default to where Debian's fonts-dejavu-core and xplanet-images put them. --png also
// writes top-first PNG previews beside the raw files, for looking at.

#include <ft2build.h>
#include FT_FREETYPE_H
#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "graphics/atlas_layout.h"
#include "graphics/text_layout.h"

namespace {

struct rgba {
    double r, g, b, a;
};

constexpr rgba rgb8(int r, int g, int b, double a = 1.0) { return rgba{r / 255.0, g / 255.0, b / 255.0, a}; }

rgba mix(rgba x, rgba y, double t) {
    return rgba{x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t, x.a + (y.a - x.a) * t};
}

rgba with_alpha(rgba c, double a) { return rgba{c.r, c.g, c.b, a}; }

// The look: flat colours, one blue accent, slate ink on light panels.
const rgba white = rgb8(255, 255, 255);
const rgba ink = rgb8(27, 36, 51);
const rgba accent = rgb8(46, 111, 216);
const rgba accent_dark = rgb8(31, 86, 176);
const rgba accent_light = rgb8(88, 148, 236);
const rgba line_grey = rgb8(140, 153, 171);
const rgba soft_grey = rgb8(163, 174, 189);
const rgba navy = rgb8(28, 43, 66);

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

uint8_t to_byte(double v) { return static_cast<uint8_t>(std::lround(clamp01(v) * 255.0)); }

// Pixels with v counted from the bottom row, which is also the first stored row.
class canvas {
public:
    canvas(int w, int h, int bpp) : w_(w), h_(h), bpp_(bpp), px_(static_cast<size_t>(w) * h * bpp, 0) {}

    int width() const { return w_; }
    int height() const { return h_; }
    const std::vector<uint8_t>& bytes() const { return px_; }

    rgba get(int u, int v) const {
        const uint8_t* p = &px_[(static_cast<size_t>(v) * w_ + u) * bpp_];
        return rgba{p[0] / 255.0, p[1] / 255.0, p[2] / 255.0, bpp_ == 4 ? p[3] / 255.0 : 1.0};
    }

    void set(int u, int v, rgba c) {
        if (u < 0 || v < 0 || u >= w_ || v >= h_) return;
        uint8_t* p = &px_[(static_cast<size_t>(v) * w_ + u) * bpp_];
        p[0] = to_byte(c.r);
        p[1] = to_byte(c.g);
        p[2] = to_byte(c.b);
        if (bpp_ == 4) p[3] = to_byte(c.a);
    }

    // Source over, straight alpha.
    void over(int u, int v, rgba c) {
        if (u < 0 || v < 0 || u >= w_ || v >= h_ || c.a <= 0) return;
        rgba d = get(u, v);
        double a = c.a + d.a * (1 - c.a);
        if (a <= 0) return;
        rgba o{(c.r * c.a + d.r * d.a * (1 - c.a)) / a, (c.g * c.a + d.g * d.a * (1 - c.a)) / a,
               (c.b * c.a + d.b * d.a * (1 - c.a)) / a, a};
        set(u, v, o);
    }

private:
    int w_, h_, bpp_;
    std::vector<uint8_t> px_;
};

// Shapes by signed distance (negative inside); a pixel's cover is 0.5 - distance at its centre.
using sdf_fn = std::function<double(double, double)>;
using paint_fn = std::function<rgba(double, double)>;

double sd_round_box(double x, double y, double x0, double y0, double x1, double y1, double r) {
    double cx = (x0 + x1) / 2, cy = (y0 + y1) / 2;
    double qx = std::fabs(x - cx) - ((x1 - x0) / 2 - r);
    double qy = std::fabs(y - cy) - ((y1 - y0) / 2 - r);
    double ox = std::max(qx, 0.0), oy = std::max(qy, 0.0);
    return std::sqrt(ox * ox + oy * oy) + std::min(std::max(qx, qy), 0.0) - r;
}

double sd_circle(double x, double y, double cx, double cy, double r) {
    return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)) - r;
}

double sd_segment(double x, double y, double ax, double ay, double bx, double by) {
    double px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    double h = clamp01((px * dx + py * dy) / (dx * dx + dy * dy));
    double ex = px - dx * h, ey = py - dy * h;
    return std::sqrt(ex * ex + ey * ey);
}

// Convex polygon, corners counter-clockwise or clockwise: inside, the largest distance past an
// edge line; outside, the distance to the nearest edge.
double sd_convex(double x, double y, const std::vector<double>& pts) {
    const size_t n = pts.size() / 2;
    double area = 0;
    for (size_t i = 0; i < n; ++i) {
        size_t j = (i + 1) % n;
        area += pts[2 * i] * pts[2 * j + 1] - pts[2 * j] * pts[2 * i + 1];
    }
    const double s = area > 0 ? 1.0 : -1.0;
    double d = -1e9;
    for (size_t i = 0; i < n; ++i) {
        size_t j = (i + 1) % n;
        double ex = pts[2 * j] - pts[2 * i], ey = pts[2 * j + 1] - pts[2 * i + 1];
        double len = std::sqrt(ex * ex + ey * ey);
        // Outward normal of a counter-clockwise edge is (ey, -ex).
        double dist = s * ((x - pts[2 * i]) * ey - (y - pts[2 * i + 1]) * ex) / len;
        d = std::max(d, dist);
    }
    if (d <= 0) return d;
    double out = 1e9;
    for (size_t i = 0; i < n; ++i) {
        size_t j = (i + 1) % n;
        out = std::min(out, sd_segment(x, y, pts[2 * i], pts[2 * i + 1], pts[2 * j], pts[2 * j + 1]));
    }
    return out;
}

// Paints the shape over the pixels of [u0, u1) x [v0, v1): fill inside, an optional border of
// width bw just inside the outline.
void paint(canvas& cv, int u0, int v0, int u1, int v1, const sdf_fn& sdf, const paint_fn& fill,
           rgba border = rgba{0, 0, 0, 0}, double bw = 0) {
    for (int v = v0; v < v1; ++v)
        for (int u = u0; u < u1; ++u) {
            double x = u + 0.5, y = v + 0.5;
            double d = sdf(x, y);
            double outer = clamp01(0.5 - d);
            if (outer <= 0) continue;
            rgba f = fill(x, y);
            if (bw > 0) {
                double inner = clamp01(0.5 - (d + bw));
                rgba c = mix(border, f, outer > 0 ? inner / outer : 0);
                c.a = (border.a * (outer - inner) + f.a * inner);
                cv.over(u, v, c);
            } else {
                cv.over(u, v, with_alpha(f, f.a * outer));
            }
        }
}

paint_fn flat(rgba c) {
    return [c](double, double) { return c; };
}

// Vertical gradient from bottom colour at y0 to top colour at y1.
paint_fn vgrad(rgba bottom, rgba top, double y0, double y1) {
    return [=](double, double y) { return mix(bottom, top, clamp01((y - y0) / (y1 - y0))); };
}

void round_rect(canvas& cv, double x0, double y0, double x1, double y1, double r, const paint_fn& fill,
                rgba border = rgba{0, 0, 0, 0}, double bw = 0) {
    paint(cv, static_cast<int>(std::floor(x0)), static_cast<int>(std::floor(y0)),
          static_cast<int>(std::ceil(x1)), static_cast<int>(std::ceil(y1)),
          [=](double x, double y) { return sd_round_box(x, y, x0, y0, x1, y1, r); }, fill, border, bw);
}

// Paints a shape over the box round its points, widened by margin.
void paint_around(canvas& cv, const std::vector<double>& pts, double margin, const sdf_fn& sdf, const paint_fn& fill,
                  rgba border = rgba{0, 0, 0, 0}, double bw = 0) {
    double x0 = 1e9, y0 = 1e9, x1 = -1e9, y1 = -1e9;
    for (size_t i = 0; i < pts.size(); i += 2) {
        x0 = std::min(x0, pts[i]);
        x1 = std::max(x1, pts[i]);
        y0 = std::min(y0, pts[i + 1]);
        y1 = std::max(y1, pts[i + 1]);
    }
    paint(cv, static_cast<int>(std::floor(x0 - margin)), static_cast<int>(std::floor(y0 - margin)),
          static_cast<int>(std::ceil(x1 + margin)), static_cast<int>(std::ceil(y1 + margin)), sdf, fill, border, bw);
}

void circle(canvas& cv, double cx, double cy, double r, const paint_fn& fill, rgba border = rgba{0, 0, 0, 0},
            double bw = 0) {
    paint_around(cv, {cx, cy}, r + 1, [=](double x, double y) { return sd_circle(x, y, cx, cy, r); }, fill, border,
                 bw);
}

void polygon(canvas& cv, const std::vector<double>& pts, rgba c) {
    paint_around(cv, pts, 1, [&pts](double x, double y) { return sd_convex(x, y, pts); }, flat(c));
}

// A polyline of the given width with round ends.
void stroke(canvas& cv, const std::vector<double>& pts, double width, rgba c) {
    const double hw = width / 2;
    paint_around(cv, pts, hw + 1,
                 [&pts, hw](double x, double y) {
                     double d = 1e9;
                     for (size_t i = 0; i + 3 < pts.size(); i += 2)
                         d = std::min(d, sd_segment(x, y, pts[i], pts[i + 1], pts[i + 2], pts[i + 3]));
                     return d - hw;
                 },
                 flat(c));
}

void fill_rect(canvas& cv, int u0, int v0, int u1, int v1, rgba c) {
    for (int v = v0; v < v1; ++v)
        for (int u = u0; u < u1; ++u) cv.over(u, v, c);
}

// ---------------------------------------------------------------- text

struct ft_library {
    FT_Library lib = nullptr;
    ft_library() {
        if (FT_Init_FreeType(&lib)) throw std::runtime_error("FreeType does not start");
    }
    ~ft_library() { FT_Done_FreeType(lib); }
};

struct ft_face {
    FT_Face face = nullptr;
    ft_face(FT_Library lib, const std::string& path) {
        if (FT_New_Face(lib, path.c_str(), 0, &face)) throw std::runtime_error("cannot read font " + path);
    }
    ~ft_face() { FT_Done_Face(face); }
};

// Unicode of a byte as the font grid reads it: ISO 8859-1, and 0xFB the degree ring.
FT_ULong code_point(unsigned char c) { return c == 0xFB ? 0xB0 : c; }

// Renders a glyph squeezed (below 1) or widened (above 1) sideways and moved right by shift
// 64ths of a pixel.
void load_glyph(FT_Face face, FT_ULong cp, double squeeze, long shift = 0) {
    FT_Matrix m{static_cast<FT_Fixed>(std::lround(squeeze * 65536.0)), 0, 0, 0x10000};
    FT_Vector delta{shift, 0};
    FT_Set_Transform(face, &m, &delta);
    if (FT_Load_Char(face, cp, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT))
        throw std::runtime_error("glyph missing from font");
}

// The columns of the rendered glyph that hold ink of at least min_cover (of 255), [first, last].
struct ink_span {
    int first, last;
    int width() const { return last < first ? 0 : last - first + 1; }
};

ink_span glyph_ink(FT_Face face, int min_cover) {
    const FT_Bitmap& bm = face->glyph->bitmap;
    ink_span s{static_cast<int>(bm.width), -1};
    for (unsigned row = 0; row < bm.rows; ++row)
        for (unsigned col = 0; col < bm.width; ++col)
            if (bm.buffer[row * bm.pitch + col] >= min_cover) {
                s.first = std::min(s.first, static_cast<int>(col));
                s.last = std::max(s.last, static_cast<int>(col));
            }
    return s;
}

// Blits the rendered glyph with its pen at (x, baseline), alpha raised by a gamma so thin strokes
// keep their weight when blended.
void blit_glyph(canvas& cv, FT_Face face, int pen_x, int baseline, rgba colour) {
    const FT_Bitmap& bm = face->glyph->bitmap;
    for (unsigned row = 0; row < bm.rows; ++row) {
        const int v = baseline + face->glyph->bitmap_top - 1 - static_cast<int>(row);
        for (unsigned col = 0; col < bm.width; ++col) {
            const double cover = bm.buffer[row * bm.pitch + col] / 255.0;
            if (cover <= 0) continue;
            cv.over(pen_x + face->glyph->bitmap_left + static_cast<int>(col), v,
                    with_alpha(colour, colour.a * std::pow(cover, 0.8)));
        }
    }
}

// Width in pixels of a string in the face at its current size.
int text_advance(FT_Face face, const std::string& s) {
    long adv = 0;
    for (unsigned char c : s) {
        load_glyph(face, code_point(c), 1.0);
        adv += face->glyph->advance.x;
    }
    return static_cast<int>((adv + 32) >> 6);
}

void draw_text(canvas& cv, FT_Face face, const std::string& s, int x, int baseline, rgba colour) {
    long pen = static_cast<long>(x) << 6;
    for (unsigned char c : s) {
        load_glyph(face, code_point(c), 1.0);
        blit_glyph(cv, face, static_cast<int>((pen + 32) >> 6), baseline, colour);
        pen += face->glyph->advance.x;
    }
}

// ---------------------------------------------------------------- the interface atlas (392)

constexpr int glyph_baseline = 5;  // row of the baseline in a 15-row cell
// At this size capitals and ascenders take the baseline row and 6 above it, descenders 2 below:
// 9 rows, so at the 10-pixel line pitch a free row stays between one line's descenders and the
// next line's capitals (accents on capitals reach 2 rows higher).
constexpr double glyph_px = 9.5;
// Coverage below this (of 255) is left out of the small glyphs: it does not show, but would count
// as ink and cost a column of the gap.
constexpr int glyph_min_cover = 32;

// A rendered glyph cut to its ink: coverage (0-255) of w columns by h rows, row 0 at the top,
// which lies top rows above the baseline row. Coverage below glyph_min_cover is dropped.
struct glyph_image {
    int w = 0, h = 0, top = 0;
    std::vector<int> a;
    int at(int col, int row) const { return a[static_cast<size_t>(row) * w + col]; }
    int column_ink(int col) const {
        int sum = 0;
        for (int row = 0; row < h; ++row) sum += at(col, row);
        return sum;
    }
};

glyph_image cut_glyph(FT_Face face) {
    const FT_Bitmap& bm = face->glyph->bitmap;
    const ink_span ink = glyph_ink(face, glyph_min_cover);
    glyph_image g;
    g.w = ink.width();
    g.h = static_cast<int>(bm.rows);
    g.top = face->glyph->bitmap_top - 1;
    g.a.assign(static_cast<size_t>(g.w) * g.h, 0);
    for (int row = 0; row < g.h; ++row)
        for (int col = 0; col < g.w; ++col) {
            const int c = bm.buffer[row * bm.pitch + ink.first + col];
            g.a[static_cast<size_t>(row) * g.w + col] = c >= glyph_min_cover ? c : 0;
        }
    return g;
}

// Grey coverage blurs a glyph: the sum over its pixels of c(1 - c), 0 when every pixel is full
// or empty.
double blur_of(const glyph_image& g) {
    double blur = 0;
    for (int c : g.a) blur += c / 255.0 * (1 - c / 255.0);
    return blur;
}

// Of the quarter-pixel placements of a glyph squeezed sideways, the one with the fewest columns
// and, among those, the least blur.
glyph_image best_placement(FT_Face face, FT_ULong cp, double squeeze) {
    glyph_image best;
    for (long shift = 0; shift < 64; shift += 16) {
        load_glyph(face, cp, squeeze, shift);
        glyph_image g = cut_glyph(face);
        if (shift == 0 || g.w < best.w || (g.w == best.w && blur_of(g) < blur_of(best))) best = std::move(g);
    }
    return best;
}

// One column wider: the inner column with the least ink (the middle of a counter, as in o, n and
// m) is drawn twice, so the strokes stay as sharp as the face draws them. Ties go to the column
// nearest the middle.
glyph_image widen(const glyph_image& g) {
    int pick = -1;
    for (int col = 1; col + 1 < g.w; ++col) {
        if (pick < 0 || g.column_ink(col) < g.column_ink(pick) ||
            (g.column_ink(col) == g.column_ink(pick) && std::abs(2 * col - g.w + 1) < std::abs(2 * pick - g.w + 1)))
            pick = col;
    }
    if (pick < 0) return g;
    glyph_image out = g;
    out.w = g.w + 1;
    out.a.clear();
    for (int row = 0; row < g.h; ++row)
        for (int col = 0; col < out.w; ++col) out.a.push_back(g.at(col <= pick ? col : col - 1, row));
    return out;
}

// Each glyph's ink fills its advance but for one free column, so neighbours never touch and the
// gap between letters is the same everywhere: squeezed where the face draws it wider, widened by
// a doubled counter column where it draws it narrower. Strokes of one or two columns (i, l, !, :)
// keep their width and sit in the middle.
void draw_font_grid(canvas& cv, FT_Face face) {
    FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(glyph_px * 64)), 72, 72);
    for (int c = 0; c < 256; ++c) {
        const unsigned char b = static_cast<unsigned char>(c);
        const int adv = OGL_char_width(b);
        if (adv == 0 || b == ' ') continue;
        const FT_ULong cp = code_point(b);
        const int room = adv - 1;
        double squeeze = 1.0;
        glyph_image g = best_placement(face, cp, squeeze);
        while (g.w > room && squeeze > 0.5) {
            squeeze -= 0.025;
            g = best_placement(face, cp, squeeze);
        }
        while (g.w > 2 && g.w < room) g = widen(g);
        const glyph_cell cell = OGL_glyph_cell(b);
        // An odd free column goes left: a centred label's pen starts up to half a pixel left of
        // the middle, and a push button's label then keeps as much face on both sides.
        const int u0 = cell.col * glyph_cell_w + (adv - g.w + 1) / 2, v0 = cell.row * glyph_cell_h;
        for (int row = 0; row < g.h; ++row) {
            const int v = v0 + glyph_baseline + g.top - row;
            // Row 0 stays empty: the menu and title bars read one row past the atlas top, which
            // wraps to it.
            if (v <= v0 || v >= v0 + glyph_cell_h) continue;
            for (int col = 0; col < g.w; ++col)
                if (g.at(col, row)) cv.over(u0 + col, v, with_alpha(white, std::pow(g.at(col, row) / 255.0, 0.8)));
        }
    }
    FT_Set_Transform(face, nullptr, nullptr);
    // The missing-glyph mark: a box of capital height in its advance, one free column each side.
    const glyph_cell cell = OGL_glyph_cell(glyph_missing);
    const int u0 = cell.col * glyph_cell_w + 1, u1 = u0 + glyph_missing_width - 2;
    const int v0 = cell.row * glyph_cell_h + glyph_baseline, v1 = v0 + 7;
    for (int u = u0; u < u1; ++u)
        for (int v = v0; v < v1; ++v)
            if (u == u0 || u == u1 - 1 || v == v0 || v == v1 - 1) cv.over(u, v, white);
}

// A three-slice bar: a rounded shape across the whole strip, so its middle repeats sideways.
void bar(canvas& cv, int u0, int v0, int u1, int v1, double inset_x, double inset_y, double r, const paint_fn& fill,
         rgba border, double bw = 1.0) {
    round_rect(cv, u0 + inset_x, v0 + inset_y, u1 - inset_x, v1 - inset_y, r, fill, border, bw);
}

// A nine-slice panel tile of side t at (u, v); the header band, if any, stays inside the top
// corner row so the stretched panel keeps it at the top.
void panel(canvas& cv, int u, int v, int t, double r, rgba body, rgba border, int band = 0, rgba band_top = {},
           rgba band_bottom = {}) {
    round_rect(cv, u, v, u + t, v + t, r, flat(body), border, 1.0);
    if (band > 0) {
        const double y0 = v + t - band;
        paint(cv, u, v + t - band, u + t, v + t,
              [=](double x, double y) {
                  return std::max(sd_round_box(x, y, u + 1, v + 1, u + t - 1, v + t - 1, r - 1), y0 - y);
              },
              vgrad(band_bottom, band_top, y0, v + t));
        fill_rect(cv, u + 1, v + t - band - 1, u + t - 1, v + t - band, with_alpha(band_bottom, 0.55));
    }
}

// A nine-slice panel tile whose shape stays ox inside the tile's sides, oy above its bottom and
// ot below its top: drawn with those outsets round a content rectangle, its edge is that
// rectangle's, so what the caller places outside the rectangle lies outside the panel.
void inset_panel(canvas& cv, int u, int v, int t, double r, rgba body, rgba border, int ox, int oy, int ot) {
    round_rect(cv, u + ox, v + oy, u + t - ox, v + t - ot, r, flat(body), border, 1.0);
}

void triangle(canvas& cv, double ax, double ay, double bx, double by, double cx, double cy, rgba c) {
    polygon(cv, {ax, ay, bx, by, cx, cy}, c);
}

// A small push-button face, for arrow and folder buttons.
void small_button(canvas& cv, double x0, double y0, double x1, double y1) {
    round_rect(cv, x0, y0, x1, y1, 3, vgrad(rgb8(222, 228, 236), white, y0, y1), line_grey, 1.0);
}

void draw_folder_icon(canvas& cv, double x, double y, double w, double h) {
    // Tab, then body.
    round_rect(cv, x, y + h * 0.55, x + w * 0.45, y + h, 1.0, flat(rgb8(214, 164, 40)));
    round_rect(cv, x, y, x + w, y + h * 0.82, 1.0, vgrad(rgb8(226, 172, 38), rgb8(250, 206, 88), y, y + h * 0.82),
               rgb8(176, 126, 20), 0.8);
}

void draw_document_icon(canvas& cv, double x, double y, rgba band) {
    // A 9 x 12 page with a folded corner and a coloured band.
    polygon(cv, {x + 1.5, y, x + 10.5, y, x + 10.5, y + 9, x + 7.5, y + 12, x + 1.5, y + 12}, rgb8(112, 124, 142));
    polygon(cv, {x + 2.5, y + 1, x + 9.5, y + 1, x + 9.5, y + 8.6, x + 7.1, y + 11, x + 2.5, y + 11}, white);
    triangle(cv, x + 7.5, y + 12, x + 7.5, y + 9, x + 10.5, y + 9, rgb8(180, 190, 204));
    fill_rect(cv, static_cast<int>(x) + 3, static_cast<int>(y) + 3, static_cast<int>(x) + 9,
              static_cast<int>(y) + 6, band);
}

struct swatch_colour {
    int slot;
    rgba c;
};

// The interface colours the shell reads from the atlas. 43 and 45 read on the light panels,
// 40 on the title band of style 11, 47 on the dark panels: the hover help (14) and style 15,
// band and body alike (its titles, the open dialog's folder path and previews, the recorder's
// and the about box's texts), where the splash and the about box also draw white and grey.
const swatch_colour swatch_colours[] = {
    {34, navy},                 // window background behind alerts and the splash
    {35, rgb8(246, 248, 251)},  // light separator line
    {36, accent},               // hovered menu item, at a quarter alpha
    {37, rgb8(154, 166, 182)},  // dark separator line
    {38, ink},                  // menu text
    {40, white},                // titles on the style-11 band
    {41, ink},                  // selected tab
    {42, rgb8(74, 85, 104)},    // other tabs
    {43, ink},                  // labels, panel titles, alert text
    {44, accent},
    {45, rgb8(58, 69, 86)},     // numbers, step list, side texts, caret
    {46, rgb8(107, 122, 144)},
    {47, rgb8(244, 226, 168)},  // text on the dark panels 14 and 15
};

void draw_interface(canvas& cv, FT_Face sans) {
    draw_font_grid(cv, sans);

    // 0 menu bar (row 512 wraps to the empty row 0).
    round_rect(cv, 1, 488, 101, 512, 0, vgrad(rgb8(221, 227, 235), rgb8(246, 248, 251), 488, 512));
    fill_rect(cv, 1, 487, 101, 488, rgb8(154, 166, 182));
    // 1 bar under a window title: a groove that fades out over the caps.
    for (int u = 102; u < 202; ++u) {
        const double x = u - 102 + 0.5;
        const double fade = clamp01(std::min(x, 100 - x) / 20.0);
        cv.over(u, 500, with_alpha(rgb8(124, 139, 161), fade));
        cv.over(u, 499, with_alpha(white, fade * 0.9));
    }
    // 2 button and 3 pressed button, their sides one sharp column at the strip's ends, which
    // leaves the label as much face as the frame's width allows.
    bar(cv, 304, 486, 356, 512, 0, 2, 5, vgrad(rgb8(224, 230, 238), white, 488, 510), line_grey);
    bar(cv, 304, 459, 356, 485, 0, 2, 5, vgrad(rgb8(214, 222, 233), rgb8(190, 202, 218), 461, 483),
        rgb8(104, 120, 145));
    // 4 progress track and 5 its fill, inset so the track's rim shows round it.
    bar(cv, 112, 161, 140, 177, 0.5, 1, 6.5, flat(rgb8(220, 226, 234)), soft_grey);
    bar(cv, 83, 161, 111, 177, 2.5, 3, 4.5, vgrad(accent, accent_light, 164, 174), rgba{0, 0, 0, 0}, 0);
    // 7 slider track: a groove at the strip's middle; 8 the fill that lies in it (tinted).
    bar(cv, 240, 242, 305, 266, 2, 10, 2.5, flat(rgb8(200, 208, 220)), soft_grey);
    round_rect(cv, 290, 221, 304, 226, 2.5, flat(white));
    // 9 text field.
    bar(cv, 262, 133, 313, 159, 0.5, 2, 3, flat(white), line_grey);
    fill_rect(cv, 265, 155, 310, 156, rgb8(226, 231, 238));
    // 10 pop-up field: the right cap holds the arrow.
    bar(cv, 357, 488, 425, 512, 0.5, 1, 4, vgrad(rgb8(226, 231, 238), white, 489, 511), line_grey);
    fill_rect(cv, 399, 492, 400, 508, rgb8(190, 199, 212));
    triangle(cv, 406.5, 503, 417.5, 503, 412, 497, ink);

    // 6 vertical scroll track.
    round_rect(cv, 106, 249, 116, 287, 5, flat(rgb8(220, 226, 234)), soft_grey, 1.0);

    // Nine-slice panels.
    panel(cv, 1, 358, 100, 7, rgb8(230, 234, 240), rgb8(124, 139, 161), 26, accent, accent_dark);
    panel(cv, 102, 358, 100, 7, rgb8(230, 234, 240), rgb8(124, 139, 161));
    // 13, the alert's inner panel: the alert's button sits below its content rectangle.
    inset_panel(cv, 203, 358, 100, 6, white, rgb8(179, 190, 204), 9, 14, 4);
    panel(cv, 304, 358, 100, 6, rgb8(44, 52, 66), rgb8(124, 139, 161));
    // 15: dark enough below its band for the splash's grey message.
    panel(cv, 405, 358, 100, 7, rgb8(16, 24, 38), rgb8(124, 139, 161), 29, rgb8(44, 64, 96), navy);
    panel(cv, 1, 289, 68, 3, white, line_grey);
    panel(cv, 70, 315, 42, 4, white, line_grey);
    panel(cv, 113, 315, 42, 4, rgb8(244, 246, 249), line_grey);
    panel(cv, 440, 12, 44, 5, rgb8(238, 241, 245), soft_grey);

    // Title-strip boxes, on the blue band of style 11.
    circle(cv, 129, 187, 6, flat(rgba{1, 1, 1, 0.28}), with_alpha(white, 0.95), 1.2);
    circle(cv, 129, 206, 6, flat(rgba{1, 1, 1, 0.9}), white, 1.2);
    circle(cv, 129, 206, 2.2, flat(accent_dark));
    // Check boxes; "on" covers "off" and is drawn over it.
    round_rect(cv, 142, 181, 154, 193, 2.5, flat(white), rgb8(124, 139, 161), 1.0);
    round_rect(cv, 200, 181, 212, 193, 2.5, flat(accent), accent_dark, 1.0);
    stroke(cv, {202.6, 187.2, 205.0, 184.6, 209.6, 190.2}, 1.7, white);
    // Radio buttons.
    circle(cv, 92, 132, 6, flat(white), rgb8(124, 139, 161), 1.0);
    circle(cv, 151, 132, 6, flat(accent), accent_dark, 1.0);
    circle(cv, 151, 132, 2.4, flat(white));
    // Number-field step arrows: the down arrow hangs under the field, the up arrow sits over it.
    small_button(cv, 84, 179, 96, 189);
    triangle(cv, 87, 185.5, 93, 185.5, 90, 182, ink);
    small_button(cv, 84, 204, 96, 214);
    triangle(cv, 87, 207.5, 93, 207.5, 90, 211, ink);
    // Vertical scroll bar: arrows and thumb.
    small_button(cv, 84, 268, 100, 286);
    triangle(cv, 88, 274.5, 96, 274.5, 92, 280, ink);
    small_button(cv, 84, 218, 100, 236);
    triangle(cv, 88, 229.5, 96, 229.5, 92, 224, ink);
    round_rect(cv, 86, 241, 98, 263, 4, vgrad(accent, accent_light, 241, 263), accent_dark, 1.0);
    for (int k = -1; k <= 1; ++k) fill_rect(cv, 89, 252 + 3 * k, 95, 253 + 3 * k, with_alpha(white, 0.7));
    // Slider knob: its centre row lies over the track.
    circle(cv, 272, 276, 7.5, vgrad(rgb8(222, 228, 236), white, 268.5, 283.5), accent, 1.5);
    // Tabs: rounded top, open bottom; the selected one is white with a blue top edge.
    paint(cv, 204, 459, 302, 485,
          [](double x, double y) { return sd_round_box(x, y, 205, 455, 301, 484, 5); },
          vgrad(rgb8(208, 215, 225), rgb8(228, 233, 240), 459, 484), line_grey, 1.0);
    paint(cv, 204, 486, 302, 512,
          [](double x, double y) { return sd_round_box(x, y, 205, 482, 301, 511, 5); },
          flat(white), line_grey, 1.0);
    fill_rect(cv, 208, 508, 298, 510, accent);
    // Heading dial: a ring of ticks around the check box that shares its rectangle.
    paint(cv, 178, 160, 234, 218,
          [](double x, double y) {
              const double d = sd_circle(x, y, 206, 189, 25.5);
              return std::fabs(d) - 1.0;
          },
          flat(rgb8(124, 139, 161)));
    for (int k = 0; k < 8; ++k) {
        const double a = k * M_PI / 4;
        const double r0 = k % 2 ? 21.5 : 19.5;
        stroke(cv, {206 + r0 * std::sin(a), 189 + r0 * std::cos(a), 206 + 23.5 * std::sin(a), 189 + 23.5 * std::cos(a)},
               1.2, rgb8(124, 139, 161));
    }
    // Needles, pointing up.
    polygon(cv, {161, 356, 164.5, 336, 161, 316, 157.5, 336}, accent_dark);
    polygon(cv, {161, 313, 164.5, 293, 161, 273, 157.5, 293}, rgb8(200, 55, 45));
    // List icons: folder, then the file kinds 3, 4, 5, 9, 10, 11 and 7.
    draw_folder_icon(cv, 34, 83, 12, 10);
    const struct {
        int u;
        rgba band;
    } docs[] = {{48, accent},           {62, rgb8(46, 160, 90)},   {90, rgb8(200, 55, 45)},
                {104, rgb8(230, 140, 30)}, {118, rgb8(140, 70, 190)}, {132, rgb8(20, 150, 160)},
                {146, rgb8(130, 95, 60)}};
    for (const auto& d : docs) draw_document_icon(cv, d.u, 82, d.band);
    // Folder button.
    small_button(cv, 209, 134, 233, 158);
    draw_folder_icon(cv, 214, 140, 14, 11);
    // Sub-menu arrow.
    triangle(cv, 164.5, 183.5, 164.5, 190.5, 170, 187, ink);

    // Palette swatches: 5 x 5 blocks round the pixels start-up reads.
    for (const swatch_colour& s : swatch_colours)
        for (const atlas_swatch& w : atlas_swatches)
            if (w.slot == s.slot) fill_rect(cv, w.u - 2, w.v - 2, w.u + 3, w.v + 3, s.c);
}

// ---------------------------------------------------------------- the elements (393)

void draw_elements(canvas& cv, FT_Face bold) {
    struct button {
        int u0, u1;
        const char* caption;
        rgba base;
    };
    const rgba slate = rgb8(96, 110, 132);
    const button buttons[] = {
        {1, 51, "QUIT", slate},
        {54, 143, "GO BACK", slate},
        {150, 250, "CONTINUE", accent},
        {255, 369, "SELECT ALL", accent},
        {374, 506, "SELECT NONE", accent},
    };
    FT_Set_Pixel_Sizes(bold, 0, 11);
    for (const button& b : buttons) {
        const int caption_w = text_advance(bold, b.caption);
        // Hover is lighter, pressed darker, than the normal look.
        const struct {
            int row;
            double light;
        } looks[] = {{elements_normal_row, 0.0}, {elements_pressed_row, -0.22}, {elements_hover_row, 0.16}};
        for (const auto& look : looks) {
            const double y0 = look.row, y1 = look.row + elements_button_h;
            rgba base = look.light >= 0 ? mix(b.base, white, look.light) : mix(b.base, rgb8(0, 0, 0), -look.light);
            rgba top = mix(base, white, 0.18);
            round_rect(cv, b.u0, y0, b.u1, y1, 5, vgrad(base, top, y0, y1), mix(base, rgb8(0, 0, 0), 0.25), 1.0);
            const int x = b.u0 + (b.u1 - b.u0 - caption_w) / 2;
            draw_text(cv, bold, b.caption, x, look.row + 7, white);
        }
    }
    // The wizard's panel tile (style 20): light enough for black text.
    panel(cv, 982, 2, 41, 5, rgb8(248, 250, 252), rgb8(150, 166, 188));
}

// ---------------------------------------------------------------- the world map (394)

struct image {
    int w = 0, h = 0;
    std::vector<uint8_t> rgb;  // top row first, as the file stores it
};

struct jpeg_failure {
    jpeg_error_mgr mgr;
};

[[noreturn]] void jpeg_fail(j_common_ptr cinfo) {
    char msg[JMSG_LENGTH_MAX];
    (*cinfo->err->format_message)(cinfo, msg);
    throw std::runtime_error(std::string("earth picture: ") + msg);
}

image read_jpeg(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) throw std::runtime_error("cannot open " + path);
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    err.error_exit = jpeg_fail;
    image im;
    try {
        jpeg_create_decompress(&cinfo);
        jpeg_stdio_src(&cinfo, f);
        jpeg_read_header(&cinfo, TRUE);
        cinfo.out_color_space = JCS_RGB;
        // Integer DCT: the same bytes on every machine.
        cinfo.dct_method = JDCT_ISLOW;
        jpeg_start_decompress(&cinfo);
        im.w = static_cast<int>(cinfo.output_width);
        im.h = static_cast<int>(cinfo.output_height);
        im.rgb.resize(static_cast<size_t>(im.w) * im.h * 3);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = &im.rgb[static_cast<size_t>(cinfo.output_scanline) * im.w * 3];
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
    } catch (...) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(f);
        throw;
    }
    jpeg_destroy_decompress(&cinfo);
    std::fclose(f);
    return im;
}

// Ocean in the source picture is dark and blue; ice, desert and vegetation are not.
bool is_sea(const uint8_t* p) {
    const int r = p[0], g = p[1], b = p[2];
    return b > r + 12 && b >= g && r + g + b < 420;
}

// The earth resampled by area to w x h: colour and fraction of land, rows top (north) first.
struct resampled {
    std::vector<double> r, g, b, land;
};

resampled resample(const image& src, int w, int h) {
    resampled out;
    const size_t n = static_cast<size_t>(w) * h;
    out.r.assign(n, 0);
    out.g.assign(n, 0);
    out.b.assign(n, 0);
    out.land.assign(n, 0);
    const double sx = static_cast<double>(src.w) / w, sy = static_cast<double>(src.h) / h;
    for (int y = 0; y < h; ++y) {
        const double ya = y * sy, yb = (y + 1) * sy;
        for (int x = 0; x < w; ++x) {
            const double xa = x * sx, xb = (x + 1) * sx;
            double wsum = 0, r = 0, g = 0, b = 0, land = 0;
            for (int j = static_cast<int>(ya); j < static_cast<int>(std::ceil(yb)) && j < src.h; ++j) {
                const double wy = std::min<double>(yb, j + 1) - std::max<double>(ya, j);
                for (int i = static_cast<int>(xa); i < static_cast<int>(std::ceil(xb)) && i < src.w; ++i) {
                    const double wx = std::min<double>(xb, i + 1) - std::max<double>(xa, i);
                    const double wt = wx * wy;
                    const uint8_t* p = &src.rgb[(static_cast<size_t>(j) * src.w + i) * 3];
                    r += wt * p[0];
                    g += wt * p[1];
                    b += wt * p[2];
                    land += wt * (is_sea(p) ? 0.0 : 1.0);
                    wsum += wt;
                }
            }
            const size_t k = static_cast<size_t>(y) * w + x;
            out.r[k] = r / wsum / 255.0;
            out.g[k] = g / wsum / 255.0;
            out.b[k] = b / wsum / 255.0;
            out.land[k] = land / wsum;
        }
    }
    return out;
}

// A selected tile shows the lit picture over the base, an available one half of it. The lit
// picture is the earth's own colours, dark where the base is light, sea and land alike, and its
// grid darker still: the two looks differ by a third of the scale or more in one channel wherever
// the earth is not ice or bright desert.
void draw_map(canvas& cv, const image& earth) {
    constexpr int w = 504, h = 252;
    const resampled e = resample(earth, w, h);
    const rgba sea_grey = rgb8(196, 204, 214);
    const rgba land_white = white;
    for (int v = 0; v < h; ++v) {
        const int src_row = h - 1 - v;  // row 0 is the south pole
        for (int u = 0; u < w; ++u) {
            const size_t k = static_cast<size_t>(src_row) * w + u;
            const bool grid = u % map_tile_px == 0 || v % map_tile_px == 0 || u == w - 1 || v == h - 1;
            // Base: white land on light grey sea.
            rgba base = mix(sea_grey, land_white, e.land[k]);
            if (grid) base = mix(base, rgb8(70, 80, 96), 0.6);
            cv.set(u, v, base);
            // Lit: the earth a little deeper than the source draws it; the sea lets a little of the
            // base show.
            auto deeper = [](double c) { return 0.9 * std::pow(c, 1.15); };
            rgba lit{deeper(e.r[k]), deeper(e.g[k]), deeper(e.b[k]), (250.0 + 5.0 * e.land[k]) / 255.0};
            if (grid) lit = rgba{lit.r * 0.4, lit.g * 0.4, lit.b * 0.4, 1.0};
            cv.set(u, map_lit_row + v, lit);
        }
    }
}

// ---------------------------------------------------------------- the background (395)

void draw_background(canvas& cv, FT_Face bold, FT_Face sans) {
    // Night sky to dusk blue, top lighter; a faint haze over the horizon behind the panels.
    const rgba bottom = rgb8(16, 28, 48), top = rgb8(40, 84, 150);
    for (int v = 0; v < cv.height(); ++v) {
        const double t = v / 599.0;
        rgba c = mix(bottom, top, std::pow(t, 1.3));
        for (int u = 0; u < cv.width(); ++u) {
            const double dx = (u - 400.0) / 520.0, dy = (v - 470.0) / 160.0;
            const double glow = 0.10 * std::exp(-(dx * dx + dy * dy));
            cv.set(u, v, mix(c, white, glow));
        }
    }
    // The band above the panels carries the name.
    FT_Set_Pixel_Sizes(bold, 0, 30);
    draw_text(cv, bold, "Volatra Installer", 27, 541, rgba{0, 0, 0, 0.35});
    draw_text(cv, bold, "Volatra Installer", 26, 542, white);
    FT_Set_Pixel_Sizes(sans, 0, 13);
    draw_text(cv, sans, "Flight simulator set-up and maintenance", 28, 520, rgb8(190, 208, 232));
    // A thin accent line along the top of the panels.
    for (int u = 0; u < cv.width(); ++u) {
        const double fade = clamp01(std::min(u, 799 - u) / 120.0);
        cv.over(u, 510, with_alpha(accent_light, 0.5 * fade));
    }
}

// ---------------------------------------------------------------- output

void write_raw(const std::string& path, const canvas& cv) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    const std::vector<uint8_t>& b = cv.bytes();
    const bool ok = std::fwrite(b.data(), 1, b.size(), f) == b.size();
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path);
}

// Preview, top row first as pictures are looked at, over mid grey so white glyphs and light art
// both show, each pixel repeated zoom times.
void write_png(const std::string& path, const canvas& cv, int zoom) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        throw std::runtime_error("cannot write " + path);
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, cv.width() * zoom, cv.height() * zoom, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<uint8_t> row(static_cast<size_t>(cv.width()) * zoom * 3);
    const rgba grey = rgb8(128, 128, 128);
    for (int v = cv.height() - 1; v >= 0; --v) {
        for (int u = 0; u < cv.width(); ++u) {
            const rgba c = cv.get(u, v);
            const rgba o = mix(grey, c, c.a);
            for (int z = 0; z < zoom; ++z) {
                uint8_t* p = &row[(static_cast<size_t>(u) * zoom + z) * 3];
                p[0] = to_byte(o.r);
                p[1] = to_byte(o.g);
                p[2] = to_byte(o.b);
            }
        }
        for (int z = 0; z < zoom; ++z) png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(f) != 0) throw std::runtime_error("cannot write " + path);
}

int run(int argc, char** argv) {
    std::string out;
    std::string sans_path = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    std::string bold_path = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    std::string earth_path = "/usr/share/xplanet/images/earth.jpg";
    int zoom = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::runtime_error(a + " needs a value");
            return argv[++i];
        };
        if (a == "--out")
            out = value();
        else if (a == "--font")
            sans_path = value();
        else if (a == "--bold")
            bold_path = value();
        else if (a == "--earth")
            earth_path = value();
        else if (a == "--png")
            zoom = 1;
        else if (a == "--png-zoom")
            zoom = std::max(1, std::atoi(value().c_str()));
        else
            throw std::runtime_error("unknown argument " + a);
    }
    if (out.empty())
        throw std::runtime_error("usage: volatra_make_artwork --out DIR [--font SANS.ttf] [--bold BOLD.ttf] "
                                 "[--earth EARTH.jpg] [--png | --png-zoom N]");

    ft_library ft;
    ft_face sans(ft.lib, sans_path), bold(ft.lib, bold_path);
    const image earth = read_jpeg(earth_path);

    canvas background(800, 600, 3), elements(1024, 70, 4), map(504, 504, 4), interface(512, 512, 4);
    draw_background(background, bold.face, sans.face);
    draw_elements(elements, bold.face);
    draw_map(map, earth);
    draw_interface(interface, sans.face);

    const struct {
        const char* name;
        const canvas& cv;
    } outputs[] = {{"background", background}, {"elements", elements}, {"map", map}, {"interface", interface}};
    for (const auto& o : outputs) {
        write_raw(out + "/" + o.name + ".raw", o.cv);
        if (zoom) write_png(out + "/" + o.name + ".png", o.cv, zoom);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "volatra_make_artwork: %s\n", e.what());
        return 1;
    }
}

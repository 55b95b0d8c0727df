#include "support/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <type_traits>
#include <vector>

namespace {

double z_of(const Point2&) { return 0; }
double z_of(const Point3& p) { return p.z; }

template <class P>
void expect_points(const std::vector<P>& got, const std::common_type_t<std::vector<P>>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i)
        EXPECT_LT(std::fabs(got[i].x - want[i].x) + std::fabs(got[i].y - want[i].y) +
                      std::fabs(z_of(got[i]) - z_of(want[i])),
                  1e-12)
            << "point " << i << " is " << got[i].x << ", " << got[i].y << ", " << z_of(got[i]);
}

void expect_sphere(const Sphere3& s, const Point3& c, double radius_squared) {
    expect_points<Point3>({s.c}, {c});
    EXPECT_DOUBLE_EQ(s.radius_squared, radius_squared);
}

void record_corner(int index, void* ref) { static_cast<std::vector<int>*>(ref)->push_back(index); }

const Polygon2 kSquare = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};  // counter-clockwise
const Vector3 kUp{0, 0, 1};

Polygon3 at_height(const Polygon2& poly, double z) {
    Polygon3 out;
    for (const Point2& p : poly) out.push_back({p.x, p.y, z});
    return out;
}

}  // namespace

TEST(Geometry, NormalisingAndCoordinates) {
    auto n2 = [](double x, double y) {
        Vector2 v = normalize(Vector2{x, y});
        return std::pair{v.x, v.y};
    };
    EXPECT_EQ(n2(0, -7), std::pair(0.0, -1.0));
    EXPECT_EQ(n2(3.5, 0), std::pair(1.0, 0.0));
    EXPECT_EQ(n2(0, 0), std::pair(0.0, 0.0));
    EXPECT_EQ(n2(3, 4), std::pair(0.6, 0.8));
    EXPECT_EQ(normalize(Vector3{0, 0, 0}), (Vector3{0, 0, 0}));
    CoordTranslator t{{0, 0}, {10, 20}, {100, 100}, {200, 300}};
    expect_points<Point2>({t.Forward({5, 5}), t.Reverse({150, 150})}, {{150, 150}, {5, 5}});
}

TEST(Geometry, CounterClockwiseBetween) {
    struct {
        Vector2 a, b, c;
        bool want;
    } cases[] = {
        {{1, 0}, {1, 1}, {0, 1}, true},     {{1, 0}, {-1, -1}, {0, 1}, false},
        {{1, 0}, {1, 0}, {0, 1}, false},     // b on a
        {{1, 0}, {0, 1}, {0, 1}, false},     // b on c
        {{1, 0}, {-5, 3}, {2, 0}, true},     // a and c the same way: any b
        {{-1, 0}, {-1, -1}, {0, -1}, true},  // across the heading's wrap
        {{-1, 0}, {1, 0}, {0, -1}, false},
    };
    for (const auto& c : cases) EXPECT_EQ(Is_CCW_Between(c.a, c.b, c.c), c.want) << c.b.x << "," << c.b.y;
}

TEST(Geometry, InsetSquareShrinksCounterClockwiseAndGrowsOtherwise) {
    Polygon2 out;
    InsetPolygon(kSquare, nullptr, 0.5, true, out, nullptr, nullptr);
    expect_points(out, {{0.5, 0.5}, {1.5, 0.5}, {1.5, 1.5}, {0.5, 1.5}});
    InsetPolygon(kSquare, nullptr, -0.5, true, out, nullptr, nullptr);
    expect_points(out, {{-0.5, -0.5}, {2.5, -0.5}, {2.5, 2.5}, {-0.5, 2.5}});
    InsetPolygon(Polygon2(kSquare.rbegin(), kSquare.rend()), nullptr, 0.5, true, out, nullptr, nullptr);
    expect_points(out, {{-0.5, 2.5}, {2.5, 2.5}, {2.5, -0.5}, {-0.5, -0.5}});
    const double ratios[] = {0, 1, 1, 1};  // the bottom side stays
    InsetPolygon(kSquare, ratios, 0.5, true, out, nullptr, nullptr);
    expect_points(out, {{0.5, 0}, {1.5, 0}, {1.5, 1.5}, {0.5, 1.5}});
    // In space, about up, with a vertex that runs straight on.
    Polygon3 sq3 = at_height({{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}, 7), out3;
    InsetPolygon(sq3, nullptr, 0.5, true, kUp, out3);
    expect_points(out3, {{0.5, 0.5, 7}, {1.5, 0.5, 7}, {1.5, 1.5, 7}, {0.5, 1.5, 7}});
}

TEST(Geometry, InsetCornersStraightDoubledAndOpen) {
    std::vector<int> calls;
    Polygon2 out;
    // A vertex running straight on adds nothing and is not reported.
    InsetPolygon({{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}, nullptr, 0.5, true, out, record_corner, &calls);
    expect_points(out, {{0.5, 0.5}, {1.5, 0.5}, {1.5, 1.5}, {0.5, 1.5}});
    EXPECT_TRUE(calls.empty());
    // Two points closed: both ends run back on themselves, giving a rectangle.
    InsetPolygon({{0, 0}, {2, 0}}, nullptr, 1, true, out, record_corner, &calls);
    expect_points(out, {{-1, -1}, {-1, 1}, {3, 1}, {3, -1}});
    EXPECT_EQ(calls, (std::vector<int>{0, 2}));
    // An open polyline keeps its ends, moved square to their sides.
    InsetPolygon({{0, 0}, {2, 0}, {2, 2}}, nullptr, 0.5, false, out, record_corner, &calls);
    expect_points(out, {{0, 0.5}, {1.5, 0.5}, {1.5, 2}});
    EXPECT_EQ(calls.size(), 2u);
}

TEST(Geometry, CalcMaxInset) {
    EXPECT_NEAR(CalcMaxInset(kSquare, nullptr, true), 1.0, 1e-6);
    const double twice[] = {2, 2, 2, 2};
    EXPECT_NEAR(CalcMaxInset(kSquare, twice, true), 0.5, 1e-6);
    EXPECT_NEAR(CalcMaxInset({{0, 0}, {4, 0}, {4, 2}, {0, 2}}, nullptr, true), 1.0, 1e-6);
    EXPECT_EQ(CalcMaxInset({}, nullptr, true), 0);
    EXPECT_EQ(CalcMaxInset({{1, 1}}, nullptr, true), 0);
    EXPECT_EQ(CalcMaxInset({{0, 0}, {2, 0}}, nullptr, false), 0);
}

TEST(Geometry, ReducePolygon) {
    auto reduced = [](Polygon2 poly, double err_sq, double min_cos, double straight, double drop) {
        ReducePolygon(poly, err_sq, min_cos, straight, drop);
        return poly;
    };
    const Polygon2 bent = {{0, 0}, {1, 0.001}, {2, 0}, {2, 2}, {0, 2}};
    expect_points(reduced(bent, 0.01, 0.9, 0.5, 0.01), kSquare);  // nearly in line: goes
    EXPECT_EQ(reduced(bent, 0.01, 0.9, 1.5, 0.01).size(), 5u);    // sides too short to judge
    // Close to a neighbour: goes whatever the angle.
    expect_points(reduced({{0, 0}, {2, 0}, {2.3, 1.8}, {2, 2}, {0, 2}}, 0, 1, 100, 0.6), kSquare);
    // A triangle loses one vertex, never two.
    EXPECT_EQ(reduced({{0, 0}, {0.1, 0}, {0, 0.1}}, 0, 1, 0, 1).size(), 2u);
}

TEST(Geometry, PointInPolygonAndClipping) {
    const Polygon3 sq = at_height(kSquare, 0);
    EXPECT_TRUE(PointInPolygon3(sq, {1, 1, 5}));  // off the plane: its projection counts
    EXPECT_TRUE(PointInPolygon3(sq, {2, 1, 0}));  // on a side
    EXPECT_FALSE(PointInPolygon3(sq, {2.1, 1, 0}));
    EXPECT_FALSE(PointInPolygon3(sq, {1, -0.1, 0}));
    EXPECT_FALSE(PointInPolygon3({{0, 0, 0}, {1, 0, 0}}, {0, 0, 0}));

    Polygon3 out;
    ClipToHalfPlane3(sq, Plane3{{1, 0, 0}, 5}, out);
    expect_points(out, sq);
    ClipToHalfPlane3(sq, Plane3{{1, 0, 0}, -1}, out);
    EXPECT_TRUE(out.empty());
    ClipToHalfPlane3({{0, 0, 0}, {2, 0, 4}, {2, 2, 4}, {0, 2, 0}}, Plane3{{1, 0, 0}, 1}, out);
    expect_points(out, {{0, 0, 0}, {1, 0, 2}, {1, 2, 2}, {0, 2, 0}});
    // Vertices exactly on the plane are kept once, and nothing beyond slips through.
    ClipToHalfPlane3({{0, 0, 0}, {1, -1, 0}, {2, 0, 0}, {1, 1, 0}}, Plane3{{1, 0, 0}, 1}, out);
    expect_points(out, {{0, 0, 0}, {1, -1, 0}, {1, 1, 0}});
}

TEST(Geometry, IntersectLinesAroundJunction) {
    Point3 out{9, 9, 9};
    // Skew lines along x at z = 0 and along y at z = 1: the meeting line is the z axis.
    ASSERT_TRUE(
        IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{0, 0, 1}, {0, 1, 0}}, {5, 5, 0.5}, out));
    expect_points<Point3>({out}, {{0, 0, 0.5}});
    EXPECT_FALSE(
        IntersectLinesAroundJunction({{0, 0, 0}, {1, 2, 3}}, {{0, 5, 1}, {2, 4, 6}}, {0, 0, 0}, out));
}

// --- quad strips

TEST(GeometryStrips, ChainToQuadStrip) {
    std::vector<Point3> strip;
    auto chain = [&](const std::vector<Point3>& points) {
        ChainToQuadStrip(points, std::vector<Vector3>(points.size(), kUp),
                         std::vector<double>(points.size(), 2), strip);
    };
    chain({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}});
    expect_points(strip, {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {2, -1, 0}, {2, 1, 0}});
    chain({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}});  // a right-angle turn gives the mitre
    expect_points(strip, {{0, -1, 0}, {0, 1, 0}, {2, -1, 0}, {0, 1, 0}, {2, 1, 0}, {0, 1, 0}});
    chain({{0, 0, 0}, {1, 0, 0}, {2, 1, 0}});  // 45 degrees: where the offset sides meet
    const double r2 = std::sqrt(2.0);
    expect_points<Point3>({strip.at(2), strip.at(3)}, {{r2, -1, 0}, {2 - r2, 1, 0}});
    chain({{0, 0, 0}, {1, 0, 0}, {0, 0, 0}});  // turning straight back: two rungs
    expect_points(
        strip, {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {0, 1, 0}, {0, -1, 0}});
    chain({{5, 5, 5}});  // one point changes nothing
    EXPECT_EQ(strip.size(), 8u);
}

TEST(GeometryStrips, RemoveFromFrontAndBack) {
    // Three rungs one unit apart, even side at y = 0, odd side at y = 1.
    const std::vector<Point3> L = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    std::vector<Point3> strip, removed{{7, 7, 7}};
    auto cut = [&](std::vector<Point3> from, double dist, bool square = false) {
        strip = from;
        RemoveFromQuadStripFront(strip, dist, removed, square);
    };
    cut(L, 1);
    expect_points(removed, {L[0], L[1], L[2], L[3]});
    expect_points(strip, {L[2], L[3], L[4], L[5]});
    cut(L, 0.5);  // inside a span: the cut rung goes in front
    expect_points(removed, {L[0], L[1], {0.5, 0, 0}, {0.5, 1, 0}});
    expect_points(strip, {{0.5, 0, 0}, {0.5, 1, 0}, L[2], L[3], L[4], L[5]});
    cut(L, 1.5);
    expect_points(strip, {{1.5, 0, 0}, {1.5, 1, 0}, L[4], L[5]});
    for (double dist : {0.0, -1.0, 5.0}) {  // nothing to cut
        cut(L, dist);
        EXPECT_TRUE(removed.empty());
        expect_points(strip, L);
    }
    cut({L[0], L[1]}, 1);
    EXPECT_EQ(strip.size(), 2u);
    // The back is the front of the reversed strip.
    std::vector<Point3> back = L, back_removed;
    RemoveFromQuadStripBack(back, 0.5, back_removed, false);
    std::vector<Point3> reversed = L;
    ReverseQuadStrip(reversed);
    expect_points(reversed, {L[5], L[4], L[3], L[2], L[1], L[0]});
    cut(reversed, 0.5);
    ReverseQuadStrip(strip);
    expect_points(back, strip);
    expect_points(back_removed, removed);
    // Square cuts: the end of the first rung that stands 0.5 ahead gives up 0.5 more.
    const std::vector<Point3> odd_ahead = {{0, 0, 0}, {-0.5, 1, 0}, L[2], L[3], L[4], L[5]};
    const std::vector<Point3> even_ahead = {{-0.5, 0, 0}, {0, 1, 0}, L[2], L[3], L[4], L[5]};
    EXPECT_DOUBLE_EQ(LongerSideOfQuad(odd_ahead), -0.5);
    EXPECT_DOUBLE_EQ(LongerSideOfQuad(even_ahead), 0.5);
    for (const auto& slanted : {odd_ahead, even_ahead}) {
        cut(slanted, 0.5, true);
        expect_points(strip, {{0.5, 0, 0}, {0.5, 1, 0}, L[2], L[3], L[4], L[5]});
    }
}

// --- spheres and curves

TEST(GeometrySpheres, SmallCasesAndMerges) {
    Sphere3 s{{9, 9, 9}, 4};
    FastBoundingSphere({}, s);
    EXPECT_EQ(s.radius_squared, 4);
    FastBoundingSphere({{1, 2, 3}}, s);
    expect_sphere(s, {1, 2, 3}, 0);
    // The start sphere spans the lowest and highest points, whatever the input order.
    FastBoundingSphere({{0, 0, 0}, {0, 4, 0}, {0, 2, 1}}, s);
    expect_sphere(s, {0, 2, 0}, 4);

    const Sphere3 big{{0, 0, 0}, 100}, small{{1, 0, 0}, 1}, empty{{5, 5, 5}, 0};
    auto merged = [](Sphere3 dst, const Sphere3& src) {
        ExtendBoundingSphereToSphere(src, dst);
        return dst;
    };
    expect_sphere(merged(big, small), {0, 0, 0}, 100);
    expect_sphere(merged(small, big), {0, 0, 0}, 100);
    expect_sphere(merged(small, empty), {1, 0, 0}, 1);
    expect_sphere(merged(empty, small), {1, 0, 0}, 1);
    expect_sphere(merged({{0, 0, 0}, 1}, {{4, 0, 0}, 1}), {2, 0, 0}, 9);
}

TEST(GeometrySpheres, EveryPointInsideAndMergesHoldBoth) {
    std::mt19937 rng(1234);
    std::uniform_real_distribution<double> coord(-100, 100);
    auto inside = [](const Sphere3& s, const Point3& p) {
        return squared_length(p - s.c) <= s.radius_squared * (1 + 1e-9) + 1e-9;
    };
    for (int round = 0; round < 40; ++round) {
        std::vector<Point3> pts(1 + rng() % 200);
        for (Point3& p : pts) p = {coord(rng), coord(rng), coord(rng)};
        Sphere3 s{};
        FastBoundingSphere(pts, s);
        for (const Point3& p : pts) ASSERT_TRUE(inside(s, p)) << "round " << round;
        Point3 extra{coord(rng) * 3, coord(rng) * 3, coord(rng) * 3};
        Sphere3 grown = s;
        ExtendBoundingSphereToPt(extra, grown);
        EXPECT_TRUE(inside(grown, extra));
        for (const Point3& p : pts) ASSERT_TRUE(inside(grown, p));
        Sphere3 other{{coord(rng), coord(rng), coord(rng)}, std::fabs(coord(rng)) + 1}, both = s;
        ExtendBoundingSphereToSphere(other, both);
        for (const Sphere3& part : {s, other})
            EXPECT_LE(std::sqrt(squared_length(part.c - both.c)) + std::sqrt(part.radius_squared),
                      std::sqrt(both.radius_squared) * (1 + 1e-9));
    }
}

TEST(GeometryCurves, BezierCurve) {
    const Point3 start{0, 0, 0}, end{3, 0, 0}, c1{0, 3, 0}, c2{3, 3, 0};
    std::vector<Point3> out;
    BezierCurve(start, end, false, false, {}, {}, 10, 0, 0, out);
    expect_points(out, {start, end});
    BezierCurve(start, end, true, true, {1, 0, 0}, {5, 0, 0}, 10, 0, 0, out);  // controls on the line
    expect_points(out, {start, end});
    BezierCurve(start, end, true, false, c1, {}, 0, 0, 0, out);  // steps below 1 is one step
    expect_points(out, {start, end});
    BezierCurve(start, end, true, true, c1, c2, 4, 0, 0, out);
    expect_points(out, {start, {0.46875, 1.6875, 0}, {1.5, 2.25, 0}, {2.53125, 1.6875, 0}, end});
    // Inner points near either end are left out.
    BezierCurve(start, end, true, true, c1, c2, 4, 1.8, 0, out);
    expect_points(out, {start, {1.5, 2.25, 0}, {2.53125, 1.6875, 0}, end});
    BezierCurve(start, end, true, true, c1, c2, 4, 1.8, 1.8, out);
    expect_points(out, {start, {1.5, 2.25, 0}, end});
}

#include "support/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

void expect_points(const Polygon2& got, const Polygon2& want, double tol = 1e-12) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, tol) << "point " << i;
        EXPECT_NEAR(got[i].y, want[i].y, tol) << "point " << i;
    }
}

void expect_points(const std::vector<Point3>& got, const std::vector<Point3>& want, double tol = 1e-12) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].x, want[i].x, tol) << "point " << i;
        EXPECT_NEAR(got[i].y, want[i].y, tol) << "point " << i;
        EXPECT_NEAR(got[i].z, want[i].z, tol) << "point " << i;
    }
}

void record_corner(int index, void* ref) { static_cast<std::vector<int>*>(ref)->push_back(index); }

const Polygon2 kSquare = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};  // counter-clockwise

}  // namespace

TEST(Geometry, NormalisingRules) {
    Vector2 axis = normalize(Vector2{0, -7});
    EXPECT_EQ(axis.x, 0);
    EXPECT_EQ(axis.y, -1);
    axis = normalize(Vector2{3.5, 0});
    EXPECT_EQ(axis.x, 1);
    EXPECT_EQ(axis.y, 0);
    Vector2 slant = normalize(Vector2{3, 4});
    EXPECT_DOUBLE_EQ(slant.x, 0.6);
    EXPECT_DOUBLE_EQ(slant.y, 0.8);
    Vector2 zero = normalize(Vector2{0, 0});
    EXPECT_EQ(zero.x, 0);
    EXPECT_EQ(zero.y, 0);
    Vector3 v = normalize(Vector3{0, 3, 4});
    EXPECT_DOUBLE_EQ(v.y, 0.6);
    EXPECT_DOUBLE_EQ(v.z, 0.8);
    EXPECT_EQ(normalize(Vector3{0, 0, 0}), (Vector3{0, 0, 0}));
}

TEST(Geometry, CounterClockwiseBetween) {
    struct {
        Vector2 a, b, c;
        bool want;
    } cases[] = {
        {{1, 0}, {1, 1}, {0, 1}, true},
        {{1, 0}, {-1, -1}, {0, 1}, false},
        {{1, 0}, {1, 0}, {0, 1}, false},    // b on a
        {{1, 0}, {0, 1}, {0, 1}, false},    // b on c
        {{1, 0}, {-5, 3}, {2, 0}, true},    // a and c the same way: any b
        {{-1, 0}, {-1, -1}, {0, -1}, true}, // across the heading's wrap
        {{-1, 0}, {1, 0}, {0, -1}, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Is_CCW_Between(c.a, c.b, c.c), c.want) << c.b.x << "," << c.b.y;
}

TEST(Geometry, CoordTranslatorMapsBoxesBothWays) {
    CoordTranslator t{{0, 0}, {10, 20}, {100, 100}, {200, 300}};
    Point2 f = t.Forward({5, 5});
    EXPECT_DOUBLE_EQ(f.x, 150);
    EXPECT_DOUBLE_EQ(f.y, 150);
    Point2 r = t.Reverse(f);
    EXPECT_DOUBLE_EQ(r.x, 5);
    EXPECT_DOUBLE_EQ(r.y, 5);
}

TEST(Geometry, MoveSegLeft) {
    Segment2 out;
    MoveSegLeft(Segment2{{0, 0}, {2, 0}}, 1, out);
    expect_points({out.p1, out.p2}, {{0, 1}, {2, 1}});
    MoveSegLeft(Segment2{{0, 0}, {2, 0}}, -1, out);
    expect_points({out.p1, out.p2}, {{0, -1}, {2, -1}});
    MoveSegLeft(Segment2{{3, 3}, {3, 3}}, 5, out);
    expect_points({out.p1, out.p2}, {{3, 3}, {3, 3}});
    Segment3 out3;
    MoveSegLeft(Segment3{{0, 0, 0}, {2, 0, 0}}, 1, out3, Vector3{0, 0, 1});
    expect_points({out3.p1, out3.p2}, {{0, 1, 0}, {2, 1, 0}});
}

TEST(Geometry, InsetSquareShrinksCounterClockwiseAndGrowsOtherwise) {
    Polygon2 out;
    InsetPolygon(kSquare, nullptr, 0.5, true, out, nullptr, nullptr);
    expect_points(out, {{0.5, 0.5}, {1.5, 0.5}, {1.5, 1.5}, {0.5, 1.5}});
    InsetPolygon(kSquare, nullptr, -0.5, true, out, nullptr, nullptr);
    expect_points(out, {{-0.5, -0.5}, {2.5, -0.5}, {2.5, 2.5}, {-0.5, 2.5}});
    Polygon2 clockwise(kSquare.rbegin(), kSquare.rend());
    InsetPolygon(clockwise, nullptr, 0.5, true, out, nullptr, nullptr);
    expect_points(out, {{-0.5, 2.5}, {2.5, 2.5}, {2.5, -0.5}, {-0.5, -0.5}});
    // Per-side ratios: the bottom side does not move.
    const double ratios[] = {0, 1, 1, 1};
    InsetPolygon(kSquare, ratios, 0.5, true, out, nullptr, nullptr);
    expect_points(out, {{0.5, 0}, {1.5, 0}, {1.5, 1.5}, {0.5, 1.5}});
    // The same in space, about up.
    Polygon3 sq3, out3;
    for (const Point2& p : kSquare) sq3.push_back({p.x, p.y, 7});
    sq3.insert(sq3.begin() + 1, Point3{1, 0, 7});  // straight on: no point
    InsetPolygon(sq3, nullptr, 0.5, true, Vector3{0, 0, 1}, out3);
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
    calls.clear();
    InsetPolygon({{0, 0}, {2, 0}, {2, 2}}, nullptr, 0.5, false, out, record_corner, &calls);
    expect_points(out, {{0, 0.5}, {1.5, 0.5}, {1.5, 2}});
    EXPECT_TRUE(calls.empty());
}

TEST(Geometry, CalcMaxInset) {
    EXPECT_NEAR(CalcMaxInset(kSquare, nullptr, true), 1.0, 1e-6);
    const double twice[] = {2, 2, 2, 2};
    EXPECT_NEAR(CalcMaxInset(kSquare, twice, true), 0.5, 1e-6);
    EXPECT_EQ(CalcMaxInset({}, nullptr, true), 0);
    EXPECT_EQ(CalcMaxInset({{1, 1}}, nullptr, true), 0);
    EXPECT_EQ(CalcMaxInset({{0, 0}, {2, 0}}, nullptr, false), 0);
    // A 4 x 2 rectangle collapses when its short sides meet.
    EXPECT_NEAR(CalcMaxInset({{0, 0}, {4, 0}, {4, 2}, {0, 2}}, nullptr, true), 1.0, 1e-6);
}

TEST(Geometry, ReducePolygon) {
    // A point in line with its neighbours goes; the corners stay.
    Polygon2 poly = {{0, 0}, {1, 0.001}, {2, 0}, {2, 2}, {0, 2}};
    ReducePolygon(poly, 0.01, 0.9, 0.5, 0.01);
    expect_points(poly, {{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    // Too short sides for the straightness test: nothing goes.
    poly = {{0, 0}, {1, 0.001}, {2, 0}, {2, 2}, {0, 2}};
    ReducePolygon(poly, 0.01, 0.9, 1.5, 0.01);
    EXPECT_EQ(poly.size(), 5u);
    // A vertex close to a neighbour goes whatever the angle.
    poly = {{0, 0}, {2, 0}, {2.3, 1.8}, {2, 2}, {0, 2}};
    ReducePolygon(poly, 0, 1, 100, 0.6);
    expect_points(poly, {{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    // A tiny triangle loses one vertex, never two.
    poly = {{0, 0}, {0.1, 0}, {0, 0.1}};
    ReducePolygon(poly, 0, 1, 0, 1);
    EXPECT_EQ(poly.size(), 2u);
}

TEST(Geometry, PointInConvexPolygon3) {
    Polygon3 sq;
    for (const Point2& p : kSquare) sq.push_back({p.x, p.y, 0});
    EXPECT_TRUE(PointInPolygon3(sq, {1, 1, 5}));  // off the plane: its projection counts
    EXPECT_TRUE(PointInPolygon3(sq, {2, 1, 0}));  // on a side
    EXPECT_FALSE(PointInPolygon3(sq, {2.1, 1, 0}));
    EXPECT_FALSE(PointInPolygon3(sq, {1, -0.1, 0}));
    EXPECT_FALSE(PointInPolygon3({{0, 0, 0}, {1, 0, 0}}, {0, 0, 0}));
}

TEST(Geometry, ClipToHalfPlane3) {
    Polygon3 sq, out;
    for (const Point2& p : kSquare) sq.push_back({p.x, p.y, 0});
    ClipToHalfPlane3(sq, Plane3{{1, 0, 0}, 5}, out);
    expect_points(out, sq);
    ClipToHalfPlane3(sq, Plane3{{1, 0, 0}, -1}, out);
    EXPECT_TRUE(out.empty());
    ClipToHalfPlane3({{0, 0, 0}, {2, 0, 4}, {2, 2, 4}, {0, 2, 0}}, Plane3{{1, 0, 0}, 1}, out);
    expect_points(out, {{0, 0, 0}, {1, 0, 2}, {1, 2, 2}, {0, 2, 0}});
    // Vertices exactly on the plane are kept once, and nothing beyond slips through.
    ClipToHalfPlane3({{0, 0, 0}, {1, -1, 0}, {2, 0, 0}, {1, 1, 0}}, Plane3{{1, 0, 0}, 1}, out);
    expect_points(out, {{0, 0, 0}, {1, -1, 0}, {1, 1, 0}});
    ClipToHalfPlane3({}, Plane3{{1, 0, 0}, 1}, out);
    EXPECT_TRUE(out.empty());
}

TEST(Geometry, IntersectLinesAroundJunction) {
    Point3 out{9, 9, 9};
    // Skew lines along x at z = 0 and along y at z = 1: the meeting line is the z axis.
    ASSERT_TRUE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 0, 0}}, {{0, 0, 1}, {0, 1, 0}}, {5, 5, 0.5}, out));
    expect_points({out}, {{0, 0, 0.5}});
    out = {9, 9, 9};
    EXPECT_FALSE(IntersectLinesAroundJunction({{0, 0, 0}, {1, 2, 3}}, {{0, 5, 1}, {2, 4, 6}}, {0, 0, 0}, out));
    expect_points({out}, {{9, 9, 9}});
}

// --- quad strips

TEST(GeometryStrips, ChainToQuadStripStraightTurnAndBack) {
    const Vector3 up{0, 0, 1};
    std::vector<Point3> strip;
    ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {up, up, up}, {2, 2, 2}, strip);
    expect_points(strip, {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {2, -1, 0}, {2, 1, 0}});
    // A right-angle turn gives the mitre.
    ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {up, up, up}, {2, 2, 2}, strip);
    expect_points(strip, {{0, -1, 0}, {0, 1, 0}, {2, -1, 0}, {0, 1, 0}, {2, 1, 0}, {0, 1, 0}});
    // A 45 degree turn: each end of the middle rung lies where the two offset sides meet.
    const double r2 = std::sqrt(2.0);
    ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {2, 1, 0}}, {up, up, up}, {2, 2, 2}, strip);
    ASSERT_EQ(strip.size(), 6u);
    expect_points({strip[2], strip[3]}, {{r2, -1, 0}, {2 - r2, 1, 0}});
    // Turning straight back gives two rungs at the turn.
    ChainToQuadStrip({{0, 0, 0}, {1, 0, 0}, {0, 0, 0}}, {up, up, up}, {2, 2, 2}, strip);
    expect_points(strip, {{0, -1, 0}, {0, 1, 0}, {1, -1, 0}, {1, 1, 0}, {1, 1, 0}, {1, -1, 0}, {0, 1, 0}, {0, -1, 0}});
    // One point changes nothing.
    ChainToQuadStrip({{5, 5, 5}}, {up}, {2}, strip);
    EXPECT_EQ(strip.size(), 8u);
}

TEST(GeometryStrips, RemoveFromFrontAndBack) {
    // Three rungs one unit apart, even side at y = 0, odd side at y = 1.
    const std::vector<Point3> ladder = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    std::vector<Point3> strip = ladder, removed{{7, 7, 7}};
    ReverseQuadStrip(strip);
    expect_points(strip, {ladder[5], ladder[4], ladder[3], ladder[2], ladder[1], ladder[0]});
    strip = ladder;
    RemoveFromQuadStripFront(strip, 1, removed, false);
    expect_points(removed, {ladder[0], ladder[1], ladder[2], ladder[3]});
    expect_points(strip, {ladder[2], ladder[3], ladder[4], ladder[5]});
    // A cut inside a rung's span puts the cut rung in front.
    strip = ladder;
    RemoveFromQuadStripFront(strip, 0.5, removed, false);
    expect_points(removed, {ladder[0], ladder[1], {0.5, 0, 0}, {0.5, 1, 0}});
    expect_points(strip, {{0.5, 0, 0}, {0.5, 1, 0}, ladder[2], ladder[3], ladder[4], ladder[5]});
    // A cut in the last span.
    strip = ladder;
    RemoveFromQuadStripFront(strip, 1.5, removed, false);
    expect_points(strip, {{1.5, 0, 0}, {1.5, 1, 0}, ladder[4], ladder[5]});
    EXPECT_EQ(removed.size(), 6u);
    // Nothing to cut: dist 0, too few points, or longer than the strip.
    for (double dist : {0.0, -1.0, 5.0}) {
        strip = ladder;
        RemoveFromQuadStripFront(strip, dist, removed, false);
        EXPECT_TRUE(removed.empty());
        expect_points(strip, ladder);
    }
    strip = {ladder[0], ladder[1]};
    RemoveFromQuadStripFront(strip, 1, removed, false);
    EXPECT_EQ(strip.size(), 2u);
    // The back is the front of the reversed strip.
    std::vector<Point3> back = ladder, front = ladder, removed_front;
    ReverseQuadStrip(front);
    RemoveFromQuadStripBack(back, 0.5, removed, false);
    RemoveFromQuadStripFront(front, 0.5, removed_front, false);
    ReverseQuadStrip(front);
    expect_points(back, front);
    expect_points(removed, removed_front);
    EXPECT_EQ(back.size() % 2, 0u);
}

TEST(GeometryStrips, SquareCutEvensAFirstRungAtASlant) {
    // The odd end of the first rung stands 0.5 ahead of the even end.
    const std::vector<Point3> slanted = {{0, 0, 0}, {-0.5, 1, 0}, {1, 0, 0}, {1, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    EXPECT_DOUBLE_EQ(LongerSideOfQuad(slanted), -0.5);
    std::vector<Point3> strip = slanted, removed;
    RemoveFromQuadStripFront(strip, 0.5, removed, true);
    ASSERT_EQ(strip.size(), 6u);
    expect_points({strip[0], strip[1]}, {{0.5, 0, 0}, {0.5, 1, 0}});
    // The same with the even end ahead.
    strip = {{-0.5, 0, 0}, {0, 1, 0}, {1, 0, 0}, {1, 1, 0}, {2, 0, 0}, {2, 1, 0}};
    EXPECT_DOUBLE_EQ(LongerSideOfQuad(strip), 0.5);
    RemoveFromQuadStripFront(strip, 0.5, removed, true);
    ASSERT_EQ(strip.size(), 6u);
    expect_points({strip[0], strip[1]}, {{0.5, 0, 0}, {0.5, 1, 0}});
}

// --- spheres and curves

TEST(GeometrySpheres, FastBoundingSphereSmallCases) {
    Sphere3 s{{9, 9, 9}, 4};
    FastBoundingSphere({}, s);
    EXPECT_EQ(s.radius_squared, 4);
    FastBoundingSphere({{1, 2, 3}}, s);
    expect_points({s.c}, {{1, 2, 3}});
    EXPECT_EQ(s.radius_squared, 0);
    FastBoundingSphere({{0, 0, 0}, {0, 4, 0}}, s);
    expect_points({s.c}, {{0, 2, 0}});
    EXPECT_DOUBLE_EQ(s.radius_squared, 4);
    // The start sphere spans the lowest and highest points, whatever the input order.
    FastBoundingSphere({{0, 0, 0}, {0, 4, 0}, {0, 2, 1}}, s);
    expect_points({s.c}, {{0, 2, 0}});
    EXPECT_DOUBLE_EQ(s.radius_squared, 4);
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
        Sphere3 other{{coord(rng), coord(rng), coord(rng)}, std::fabs(coord(rng)) + 1};
        Sphere3 merged = s;
        ExtendBoundingSphereToSphere(other, merged);
        double r_m = std::sqrt(merged.radius_squared);
        for (const Sphere3& part : {s, other})
            EXPECT_LE(std::sqrt(squared_length(part.c - merged.c)) + std::sqrt(part.radius_squared), r_m * (1 + 1e-9));
    }
}

TEST(GeometrySpheres, MergeEmptyAndEnclosed) {
    Sphere3 big{{0, 0, 0}, 100}, small{{1, 0, 0}, 1}, empty{{5, 5, 5}, 0};
    Sphere3 dst = big;
    ExtendBoundingSphereToSphere(small, dst);
    EXPECT_EQ(dst.radius_squared, 100);
    dst = small;
    ExtendBoundingSphereToSphere(big, dst);
    EXPECT_EQ(dst.radius_squared, 100);
    expect_points({dst.c}, {{0, 0, 0}});
    dst = small;
    ExtendBoundingSphereToSphere(empty, dst);
    EXPECT_EQ(dst.radius_squared, 1);
    dst = empty;
    ExtendBoundingSphereToSphere(small, dst);
    expect_points({dst.c}, {{1, 0, 0}});
    // Two unit spheres 4 apart: a sphere of radius 3 between them.
    dst = {{0, 0, 0}, 1};
    ExtendBoundingSphereToSphere(Sphere3{{4, 0, 0}, 1}, dst);
    expect_points({dst.c}, {{2, 0, 0}});
    EXPECT_DOUBLE_EQ(dst.radius_squared, 9);
}

TEST(GeometryCurves, BezierCurve) {
    const Point3 start{0, 0, 0}, end{3, 0, 0};
    std::vector<Point3> out;
    BezierCurve(start, end, false, false, {}, {}, 10, 0, 0, out);
    expect_points(out, {start, end});
    // Controls on the line collapse the curve too.
    BezierCurve(start, end, true, true, {1, 0, 0}, {5, 0, 0}, 10, 0, 0, out);
    expect_points(out, {start, end});
    BezierCurve(start, end, true, true, {0, 3, 0}, {3, 3, 0}, 2, 0, 0, out);
    expect_points(out, {start, {1.5, 2.25, 0}, end});
    BezierCurve(start, end, true, true, {0, 3, 0}, {3, 3, 0}, 4, 0, 0, out);
    EXPECT_EQ(out.size(), 5u);
    // Inner points near either end are left out.
    BezierCurve(start, end, true, true, {0, 3, 0}, {3, 3, 0}, 4, 1.8, 0, out);
    expect_points(out, {start, {1.5, 2.25, 0}, {2.53125, 1.6875, 0}, end});
    BezierCurve(start, end, true, true, {0, 3, 0}, {3, 3, 0}, 4, 1.8, 1.8, out);
    expect_points(out, {start, {1.5, 2.25, 0}, end});
    // steps below 1 is one step.
    BezierCurve(start, end, true, false, {0, 3, 0}, {}, 0, 0, 0, out);
    EXPECT_EQ(out.size(), 2u);
}

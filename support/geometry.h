// Double-precision geometry for 2-D and 3-D work: plain value types, polygon insets and
// clipping, quad strips, bounding spheres and Bezier curves. Every function is reentrant and
// reports nothing: degenerate input gives degenerate output. The exact-equality tests inside
// (parallel corners, doubling back, collinear controls) rely on this library being compiled
// without fused multiply-add contraction.
#pragma once

#include <vector>

inline constexpr double PI2 = 6.283185307179586;

struct Point2 {
    double x, y;
};
struct Vector2 {
    double x, y;
};
struct Point3 {
    double x, y, z;
};
struct Vector3 {
    double x, y, z;
};
struct Segment2 {
    Point2 p1, p2;
};
struct Segment3 {
    Point3 p1, p2;
};
struct Line3 {
    Point3 p;   // a point on the line
    Vector3 v;  // its direction
};
// The points p with n . p == d.
struct Plane3 {
    Vector3 n;
    double d;
};
// A squared radius of exactly 0 marks an empty sphere.
struct Sphere3 {
    Point3 c;
    double radius_squared;
};
typedef std::vector<Point2> Polygon2;
typedef std::vector<Point3> Polygon3;

// Maps one axis-aligned box linearly onto another; a box of zero extent divides by zero.
struct CoordTranslator {
    Point2 src_min, src_max, dst_min, dst_max;
    Point2 Forward(Point2 p) const;
    Point2 Reverse(Point2 p) const;
};

// --- value arithmetic

inline Vector2 operator-(const Point2& a, const Point2& b) { return {a.x - b.x, a.y - b.y}; }
inline Point2 operator+(const Point2& p, const Vector2& v) { return {p.x + v.x, p.y + v.y}; }
inline Vector2 operator*(const Vector2& v, double s) { return {v.x * s, v.y * s}; }
inline double dot(const Vector2& a, const Vector2& b) { return a.x * b.x + a.y * b.y; }
inline bool operator==(const Point2& a, const Point2& b) { return a.x == b.x && a.y == b.y; }

inline Vector3 operator-(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Point3 operator+(const Point3& p, const Vector3& v) { return {p.x + v.x, p.y + v.y, p.z + v.z}; }
inline Point3 operator-(const Point3& p, const Vector3& v) { return {p.x - v.x, p.y - v.y, p.z - v.z}; }
inline Vector3 operator*(const Vector3& v, double s) { return {v.x * s, v.y * s, v.z * s}; }
inline Vector3 operator+(const Vector3& a, const Vector3& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline double dot(const Vector3& a, const Vector3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vector3 cross(const Vector3& a, const Vector3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline bool operator==(const Point3& a, const Point3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline bool operator==(const Vector3& a, const Vector3& b) { return a.x == b.x && a.y == b.y && a.z == b.z; }
inline double squared_length(const Vector3& v) { return dot(v, v); }
inline Vector3 as_vector(const Point3& p) { return {p.x, p.y, p.z}; }

// Axis-aligned vectors become exactly unit length without a square root; zero stays zero.
Vector2 normalize(Vector2 v);
// Multiplies by 1 / length; a vector of length exactly 0 is left as it is.
Vector3 normalize(Vector3 v);

// --- polygons and lines

// b lies strictly between a and c going counter-clockwise from a (true for every b when a and
// c point the same way). Headings are single-precision.
bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c);
// Moves the segment sideways by distance: to its left when positive.
void MoveSegLeft(const Segment2& in, double distance, Segment2& out);
// Moves it along up x (second - first).
void MoveSegLeft(const Segment3& in, double distance, Segment3& out, const Vector3& up);

// Side i runs from point i to point i + 1 (mod n) and moves by inset * ratios[i] (ratios may be
// null: 1 for every side). Parallel corners add no point; a corner where the outline runs back
// on itself adds two, and the callback gets the output index of the first of them.
void InsetPolygon(const Polygon2& in, const double* ratios, double inset, bool closed, Polygon2& out,
                  void (*corner_doubled)(int index, void* ref), void* ref);
void InsetPolygon(const Polygon3& in, const double* ratios, double inset, bool closed, const Vector3& up,
                  Polygon3& out);
// The inset at which the first side shrinks to nothing; 0 when no side shrinks.
double CalcMaxInset(const Polygon2& poly, const double* ratios, bool closed);
// Drops vertices too close to a neighbour or nearly in line with both, in passes, never going
// below 3 points.
void ReducePolygon(Polygon2& poly, double max_err_sq, double min_cos, double min_len_straight,
                   double min_len_drop);
// For convex polygons; points on a side count as inside.
bool PointInPolygon3(const Polygon3& poly, const Point3& p);
// The part of in where plane.n . p <= plane.d.
void ClipToHalfPlane3(const Polygon3& in, const Plane3& plane, Polygon3& out);
// Where the common perpendicular's direction meets the junction's level on the line in which
// the planes through each line and that direction meet. False for parallel lines.
bool IntersectLinesAroundJunction(const Line3& l1, const Line3& l2, const Point3& junction, Point3& out);

// --- quad strips: points 2k and 2k + 1 are the ends of rung k

// Signed overhang at the first rung: negative when the odd side reaches further.
double LongerSideOfQuad(const std::vector<Point3>& strip);
void ReverseQuadStrip(std::vector<Point3>& strip);
// One rung per chain point, two where the chain turns back; the + end first. widths are full
// rung widths. A chain of fewer than 2 points leaves strip untouched.
void ChainToQuadStrip(const std::vector<Point3>& chain, const std::vector<Vector3>& ups,
                      const std::vector<double>& widths, std::vector<Point3>& strip);
// Cuts dist off the strip's start (end) into removed; square_cut squares the cut across.
void RemoveFromQuadStripFront(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                              bool square_cut);
void RemoveFromQuadStripBack(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                             bool square_cut);

// --- bounding spheres and curves

// An empty list leaves the sphere untouched.
void FastBoundingSphere(const std::vector<Point3>& points, Sphere3& sphere);
void ExtendBoundingSphereToPt(const Point3& p, Sphere3& sphere);
// For p outside the sphere: the result holds the old sphere and p. A point at the centre
// collapses the sphere to the empty marker.
void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& sphere);
void ExtendBoundingSphereToSphere(const Sphere3& src, Sphere3& dst);
// Cubic Bezier from start to end in steps pieces (at most steps - 1 inner points); inner points
// nearer than min_dist_start / min_dist_end to the ends are left out.
void BezierCurve(const Point3& start, const Point3& end, bool has_c1, bool has_c2, const Point3& c1,
                 const Point3& c2, int steps, double min_dist_start, double min_dist_end,
                 std::vector<Point3>& out);

// Polygon insets, clipping and line meeting points.
#include "support/geometry.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

// Headings are single precision by definition: results at the boundaries depend on it.
double heading(const Vector2& v) { return std::atan2(static_cast<float>(v.y), static_cast<float>(v.x)); }

double sign_of(double v) { return v > 0 ? 1.0 : (v < 0 ? -1.0 : 0.0); }

double ratio_of(const double* ratios, int i) { return ratios ? ratios[i] : 1.0; }

// The infinite lines through two segments, first as line 1; false when parallel.
bool intersect_lines(const Segment2& l1, const Segment2& l2, Point2& out) {
    double a1 = l1.p1.y - l1.p2.y, b1 = l1.p2.x - l1.p1.x, c1 = l1.p1.x * l1.p2.y - l1.p2.x * l1.p1.y;
    double a2 = l2.p1.y - l2.p2.y, b2 = l2.p2.x - l2.p1.x, c2 = l2.p1.x * l2.p2.y - l2.p2.x * l2.p1.y;
    if (a1 * b2 == b1 * a2) return false;
    out.x = (b1 * c2 - c1 * b2) / (a1 * b2 - b1 * a2);
    out.y = (a1 * c2 - c1 * a2) / (b1 * a2 - a1 * b2);
    return true;
}

// Where the line of seg meets the plane that holds other and the up direction.
bool intersect_side_with_plane(const Segment3& seg, const Segment3& other, const Vector3& up, Point3& out) {
    Vector3 n = normalize(cross(other.p2 - other.p1, up));
    Vector3 dir = seg.p2 - seg.p1;
    double den = dot(n, dir);
    if (den == 0) return false;
    double t = dot(n, other.p2 - seg.p1) / den;
    out = seg.p1 + dir * t;
    return true;
}

// Both insets share the corner walk; the dimension supplies the offset, the meeting point and
// the report of a doubled corner.
template <class Point, class Segment, class Move, class Meet, class Doubled>
void inset_walk(const std::vector<Point>& in, const double* ratios, double inset, bool closed,
                std::vector<Point>& out, Move move, Meet meet, Doubled doubled) {
    out.clear();
    int n = static_cast<int>(in.size());
    std::vector<Segment> offset(n);
    for (int i = 0; i < n; ++i) move(Segment{in[i], in[(i + 1) % n]}, inset * ratio_of(ratios, i), offset[i]);
    int extra = 0;
    for (int i = 0; i < n; ++i) {
        int p = i == 0 ? n - 1 : i - 1;
        if (!closed && i == 0) {
            out.push_back(offset[0].p1);
        } else if (!closed && i == n - 1) {
            out.push_back(offset[n - 2].p2);
        } else if (in[p] == in[(i + 1) % n]) {
            // The outline runs to this point and straight back: square the corner off.
            Segment cap;
            move(Segment{offset[p].p2, offset[i].p1}, inset * ratio_of(ratios, i), cap);
            out.push_back(cap.p1);
            out.push_back(cap.p2);
            doubled(i + extra);
            ++extra;
        } else {
            Point corner;
            if (meet(offset[i], offset[p], corner)) out.push_back(corner);
        }
    }
}

}  // namespace

Vector2 normalize(Vector2 v) {
    if (v.x == 0) {
        v.y = sign_of(v.y);
    } else if (v.y == 0) {
        v.x = sign_of(v.x);
    } else {
        double len = std::sqrt(v.x * v.x + v.y * v.y);
        if (len != 0) {
            v.x /= len;
            v.y /= len;
        }
    }
    return v;
}

Vector3 normalize(Vector3 v) {
    double len = std::sqrt(squared_length(v));
    if (len == 0) return v;
    double r = 1.0 / len;
    return v * r;
}

bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c) {
    double A = heading(a), B = heading(b), C = heading(c);
    if (A == C) return true;
    if (A <= -kPi) A += PI2;
    if (B <= -kPi) B += PI2;
    if (C <= -kPi) C += PI2;
    if (B < A) B += PI2;
    if (C < A) C += PI2;
    return A < B && B < C;
}

Point2 CoordTranslator::Forward(Point2 p) const {
    return {dst_min.x + (p.x - src_min.x) * (dst_max.x - dst_min.x) / (src_max.x - src_min.x),
            dst_min.y + (p.y - src_min.y) * (dst_max.y - dst_min.y) / (src_max.y - src_min.y)};
}

Point2 CoordTranslator::Reverse(Point2 p) const {
    return CoordTranslator{dst_min, dst_max, src_min, src_max}.Forward(p);
}

void MoveSegLeft(const Segment2& in, double distance, Segment2& out) {
    Vector2 d = in.p2 - in.p1;
    Vector2 shift = normalize(Vector2{-d.y, d.x}) * distance;
    out.p1 = in.p1 + shift;
    out.p2 = in.p2 + shift;
}

void MoveSegLeft(const Segment3& in, double distance, Segment3& out, const Vector3& up) {
    Vector3 shift = normalize(cross(up, in.p2 - in.p1)) * distance;
    out.p1 = in.p1 + shift;
    out.p2 = in.p2 + shift;
}

void InsetPolygon(const Polygon2& in, const double* ratios, double inset, bool closed, Polygon2& out,
                  void (*corner_doubled)(int, void*), void* ref) {
    inset_walk<Point2, Segment2>(
        in, ratios, inset, closed, out,
        [](const Segment2& s, double d, Segment2& o) { MoveSegLeft(s, d, o); }, intersect_lines,
        [&](int index) {
            if (corner_doubled) corner_doubled(index, ref);
        });
}

void InsetPolygon(const Polygon3& in, const double* ratios, double inset, bool closed, const Vector3& up,
                  Polygon3& out) {
    inset_walk<Point3, Segment3>(
        in, ratios, inset, closed, out, [&](const Segment3& s, double d, Segment3& o) { MoveSegLeft(s, d, o, up); },
        [&](const Segment3& side, const Segment3& prev, Point3& o) {
            return intersect_side_with_plane(side, prev, up, o);
        },
        [](int) {});
}

double CalcMaxInset(const Polygon2& poly, const double* ratios, bool closed) {
    int n = static_cast<int>(poly.size());
    int sides = closed ? n : n - 1;
    double best = 0;
    bool found = false;
    for (int i = 0; i < sides; ++i) {
        int prev = i == 0 ? n - 1 : i - 1;
        int j = i + 1, k = i + 2;
        if (j >= n) {
            j = 0;
            k = 1;
        }
        if (k >= n) k = 0;
        double r = ratio_of(ratios, i), r_prev = ratio_of(ratios, prev), r_next = ratio_of(ratios, j);
        double h = heading(poly[j] - poly[i]);
        double h_prev = heading(poly[i] - poly[prev]);
        double h_next = heading(poly[k] - poly[j]);
        double A = kPi - (h - h_prev);
        if (A > kPi) A -= PI2;
        double B = kPi - (h_next - h);
        if (B > kPi) B -= PI2;
        double S = 0;
        if (closed || i != 0) S += r * std::cos(A) / std::sin(A) + r_prev / std::sin(A);
        if (closed || i != sides - 1) S += r * std::cos(B) / std::sin(B) + r_next / std::sin(B);
        if (S > 0) {
            Vector2 side = poly[j] - poly[i];
            double limit = std::sqrt(dot(side, side)) / S;
            if (!found || limit < best) best = limit;
            found = true;
        }
    }
    return best;
}

void ReducePolygon(Polygon2& poly, double max_err_sq, double min_cos, double min_len_straight,
                   double min_len_drop) {
    double drop_sq = min_len_drop * min_len_drop, straight_sq = min_len_straight * min_len_straight;
    bool removed = true;
    while (removed) {
        removed = false;
        for (size_t i = 0; i < poly.size(); ++i) {
            size_t n = poly.size();
            if (n < 3) return;
            const Point2 p = poly[i], prev = poly[(i + n - 1) % n], next = poly[(i + 1) % n];
            Vector2 in = p - prev, out = next - p;
            double in_sq = dot(in, in), out_sq = dot(out, out);
            bool drop = in_sq < drop_sq || out_sq < drop_sq;
            if (!drop && in_sq > straight_sq && out_sq > straight_sq) {
                Vector2 chord = next - prev;
                double t = dot(in, chord) / dot(chord, chord);
                Vector2 off = p - (prev + chord * t);
                drop = dot(off, off) < max_err_sq && dot(normalize(in), normalize(out)) > min_cos;
            }
            if (drop) {
                poly.erase(poly.begin() + static_cast<long>(i));
                removed = true;
            }
        }
    }
}

bool PointInPolygon3(const Polygon3& poly, const Point3& p) {
    size_t n = poly.size();
    if (n < 3) return false;
    Vector3 N = normalize(cross(poly[1] - poly[0], poly[1] - poly[2]));
    for (size_t i = 0; i < n; ++i) {
        Vector3 m = normalize(cross(N, poly[(i + 1) % n] - poly[i]));
        if (dot(m, p - poly[i]) > 0) return false;
    }
    return true;
}

// The side of each vertex is taken from the vertex itself rather than by flipping a flag at
// each crossing: a vertex exactly on the plane would otherwise count as a crossing twice and
// let the following outside vertices through. Such a vertex is kept once.
void ClipToHalfPlane3(const Polygon3& in, const Plane3& plane, Polygon3& out) {
    out.clear();
    size_t n = in.size();
    for (size_t i = 0; i < n; ++i) {
        const Point3& a = in[i];
        const Point3& q = in[(i + 1) % n];
        double da = dot(plane.n, as_vector(a));
        bool a_beyond = plane.d < da, q_beyond = plane.d < dot(plane.n, as_vector(q));
        if (!a_beyond) out.push_back(a);
        double den = dot(plane.n, q - a);
        if (a_beyond == q_beyond || den == 0) continue;
        double t = (plane.d - da) / den;
        Point3 x{a.x * (1 - t) + q.x * t, a.y * (1 - t) + q.y * t, a.z * (1 - t) + q.z * t};
        if (!(x == a) && !(x == q)) out.push_back(x);
    }
}

bool IntersectLinesAroundJunction(const Line3& l1, const Line3& l2, const Point3& junction, Point3& out) {
    const Vector3& e1 = l1.v;
    const Vector3& e2 = l2.v;
    if (e2.x * e1.y == e2.y * e1.x && e1.y * e2.z == e2.y * e1.z && e2.x * e1.z == e1.x * e2.z) return false;
    Vector3 n = normalize(normalize(cross(e1, e2)));
    Vector3 m1 = normalize(cross(e1, n)), m2 = normalize(cross(e2, n));
    double d1 = dot(m1, as_vector(l1.p)), d2 = dot(m2, as_vector(l2.p));
    if (m1 == m2) return false;
    double g = dot(m1, m2), s1 = dot(m1, m1), s2 = dot(m2, m2);
    double det = s1 * s2 - g * g;
    if (det == 0) return false;
    double c1 = (d1 * s2 - d2 * g) / det, c2 = (d2 * s1 - d1 * g) / det;
    Vector3 q = m1 * c1 + m2 * c2;
    Vector3 u = cross(m1, m2);
    double un = dot(u, n);
    if (un == 0) return false;
    double t = (dot(n, as_vector(junction)) - dot(n, q)) / un;
    Vector3 r = q + u * t;
    out = {r.x, r.y, r.z};
    return true;
}

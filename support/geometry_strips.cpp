// Quad strips, bounding spheres and Bezier curves.
#include <algorithm>
#include <cmath>

#include "support/geometry.h"

namespace {

// Coordinates equal in both are kept exactly, so points on an axis-aligned line stay on it.
double blend(double a, double b, double wa, double wb) { return a == b ? a : a * wa + b * wb; }

Point3 midpoint(const Point3& a, const Point3& b) {
    return {blend(a.x, b.x, 0.5, 0.5), blend(a.y, b.y, 0.5, 0.5), blend(a.z, b.z, 0.5, 0.5)};
}

double distance(const Point3& a, const Point3& b) { return std::sqrt(squared_length(a - b)); }

// One end of a turning rung: where the planes through the two offset points (normals sa and sb)
// meet the plane through p square to up.
Point3 mitre_end(const Point3& p, const Vector3& sa, const Vector3& sb, double h, const Vector3& up) {
    Point3 pa = p + sa * h, pb = p + sb * h;
    double da = dot(sa, as_vector(pa)), db = dot(sb, as_vector(pb));
    double g = dot(sa, sb), ka = dot(sa, sa), kb = dot(sb, sb);
    double det = ka * kb - g * g;
    Point3 q = pa;
    Vector3 dir = up;
    if (!(sa == sb) && det != 0) {
        double wa = (da * kb - db * g) / det, wb = (db * ka - da * g) / det;
        Vector3 through = sa * wa + sb * wb;
        q = {through.x, through.y, through.z};
        dir = cross(sa, sb);
    }
    Vector3 n = normalize(up);
    double den = dot(n, dir);
    if (den == 0) return pa;
    double t = (dot(n, as_vector(p)) - dot(n, as_vector(q))) / den;
    return q + dir * t;
}

void add_rung(std::vector<Point3>& strip, const Point3& p, const Vector3& s, double h) {
    strip.push_back(p + s * h);
    strip.push_back(p - s * h);
}

// Walks one side of the strip (start index first, step 2, last segment ending at most at last)
// and finds the segment that passes dist; at_or_past decides whether reaching it exactly counts.
bool find_cut(const std::vector<Point3>& strip, size_t first, size_t last, double dist, bool at_or_past,
              size_t& start, Point3& cut) {
    double run = 0;
    for (size_t a = first; a + 2 <= last; a += 2) {
        const Point3& pa = strip[a];
        const Point3& pb = strip[a + 2];
        double len = distance(pa, pb);
        bool passes = at_or_past ? run + len >= dist : run + len > dist;
        if (passes) {
            double t = (dist - run) / len;
            if (t == 0)
                cut = pa;
            else if (t == 1)
                cut = pb;
            else
                cut = {blend(pa.x, pb.x, 1 - t, t), blend(pa.y, pb.y, 1 - t, t), blend(pa.z, pb.z, 1 - t, t)};
            start = a;
            return true;
        }
        run += len;
    }
    return false;
}

}  // namespace

double LongerSideOfQuad(const std::vector<Point3>& strip) {
    const Point3 &q0 = strip[0], &q1 = strip[1], &q2 = strip[2], &q3 = strip[3];
    Vector3 odd = q1 - q3;
    double t = dot(q0 - q3, odd) / squared_length(odd);
    if (t < 1.0) return -distance(q3 + odd * t, q1);
    Vector3 even = q0 - q2;
    double s = dot(even, q1 - q2) / squared_length(even);
    return distance(q2 + even * s, q0);
}

void ReverseQuadStrip(std::vector<Point3>& strip) { std::reverse(strip.begin(), strip.end()); }

void ChainToQuadStrip(const std::vector<Point3>& chain, const std::vector<Vector3>& ups,
                      const std::vector<double>& widths, std::vector<Point3>& strip) {
    size_t n = chain.size();
    if (n < 2) return;
    strip.clear();
    add_rung(strip, chain[0], normalize(cross(chain[1] - chain[0], ups[0])), widths[0] * 0.5);
    for (size_t i = 1; i + 1 < n; ++i) {
        const Point3& p = chain[i];
        Vector3 a = normalize(p - chain[i - 1]), b = normalize(chain[i + 1] - p);
        Vector3 sa = normalize(cross(a, ups[i])), sb = normalize(cross(b, ups[i]));
        double c = dot(sa, sb), h = widths[i] * 0.5;
        if (c > 0.9995) {
            add_rung(strip, p, sa, h);
        } else if (c < -0.9995) {
            add_rung(strip, p, sa, h);
            add_rung(strip, p, sb, h);
        } else {
            strip.push_back(mitre_end(p, sa, sb, h, ups[i]));
            strip.push_back(mitre_end(p, sa, sb, -h, ups[i]));
        }
    }
    add_rung(strip, chain[n - 1], normalize(cross(chain[n - 1] - chain[n - 2], ups[n - 1])), widths[n - 1] * 0.5);
}

void RemoveFromQuadStripFront(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                              bool square_cut) {
    removed.clear();
    size_t n = strip.size();
    if (n < 4) return;
    double d_even = dist, d_odd = dist;
    if (square_cut) {
        double o = LongerSideOfQuad(strip);
        if (o < 0)
            d_odd = dist - o;
        else
            d_even = dist + o;
    }
    if (dist <= 0) return;
    size_t k_odd, k_even;
    Point3 odd_cut, even_cut;
    if (!find_cut(strip, 1, n - 1, d_odd, false, k_odd, odd_cut)) return;
    if (!find_cut(strip, 0, n - 2, d_even, true, k_even, even_cut)) return;
    size_t e = k_even + 1, lo = std::min(k_odd, e), hi = std::max(k_odd, e);
    removed.assign(strip.begin(), strip.begin() + static_cast<long>(lo) + 1);
    strip.erase(strip.begin(), strip.begin() + static_cast<long>(hi) + 1);
    removed.push_back(even_cut);
    removed.push_back(odd_cut);
    if (!(strip[0] == even_cut) && !(strip[1] == odd_cut)) strip.insert(strip.begin(), {even_cut, odd_cut});
}

void RemoveFromQuadStripBack(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed,
                             bool square_cut) {
    ReverseQuadStrip(strip);
    RemoveFromQuadStripFront(strip, dist, removed, square_cut);
    ReverseQuadStrip(strip);
}

void FastBoundingSphere(const std::vector<Point3>& points, Sphere3& sphere) {
    if (points.empty()) return;
    std::vector<Point3> sorted(points);
    std::sort(sorted.begin(), sorted.end(), [](const Point3& a, const Point3& b) {
        if (a.y != b.y) return a.y < b.y;
        if (a.x != b.x) return a.x < b.x;
        return a.z < b.z;
    });
    sphere.c = midpoint(sorted.front(), sorted.back());
    sphere.radius_squared = squared_length(sorted.front() - sphere.c);
    for (size_t i = 1; i + 1 < sorted.size(); ++i)
        if (squared_length(sorted[i] - sphere.c) > sphere.radius_squared) ExtendBoundingSphereToPt1(sorted[i], sphere);
}

void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& sphere) {
    Vector3 dir = normalize(p - sphere.c);
    Point3 far = sphere.c - dir * std::sqrt(sphere.radius_squared);
    sphere.c = midpoint(far, p);
    sphere.radius_squared = squared_length(p - sphere.c);
}

void ExtendBoundingSphereToPt(const Point3& p, Sphere3& sphere) {
    if (squared_length(p - sphere.c) <= sphere.radius_squared) return;
    ExtendBoundingSphereToPt1(p, sphere);
}

void ExtendBoundingSphereToSphere(const Sphere3& src, Sphere3& dst) {
    if (src.radius_squared == 0) return;
    if (dst.radius_squared == 0) {
        dst = src;
        return;
    }
    double r_dst = std::sqrt(dst.radius_squared), r_src = std::sqrt(src.radius_squared);
    Vector3 d = src.c - dst.c;
    if ((r_dst - r_src) * (r_dst - r_src) >= squared_length(d)) {
        if (r_dst < r_src) dst = src;
        return;
    }
    Vector3 dir = normalize(d);
    Point3 far_src = src.c + dir * r_src, far_dst = dst.c - dir * r_dst;
    dst.c = midpoint(far_src, far_dst);
    dst.radius_squared = squared_length(far_dst - dst.c);
}

void BezierCurve(const Point3& start, const Point3& end, bool has_c1, bool has_c2, const Point3& c1_in,
                 const Point3& c2_in, int steps, double min_dist_start, double min_dist_end,
                 std::vector<Point3>& out) {
    if (steps < 1 || (!has_c1 && !has_c2)) steps = 1;
    out.clear();
    out.push_back(start);
    Point3 c1 = has_c1 ? c1_in : start, c2 = has_c2 ? c2_in : end;
    Vector3 span = end - start;
    auto on_line = [&](const Point3& c) {
        Vector3 e = c - start;
        return span.y * e.z == span.z * e.y && span.z * e.x == span.x * e.z && span.x * e.y == span.y * e.x;
    };
    if (steps > 1 && on_line(c1) && on_line(c2)) steps = 1;
    double start_sq = min_dist_start * min_dist_start, end_sq = min_dist_end * min_dist_end;
    for (int i = 1; i < steps; ++i) {
        // Weights in float, as the curves were always drawn.
        float t = static_cast<float>(i) / static_cast<float>(steps), u = 1.0f - t;
        double w0 = u * u * u, w1 = 3.0f * u * u * t, w2 = 3.0f * u * t * t, w3 = t * t * t;
        Vector3 q = as_vector(start) * w0 + as_vector(c1) * w1 + as_vector(c2) * w2 + as_vector(end) * w3;
        Point3 qp{q.x, q.y, q.z};
        if (start_sq > 0 && squared_length(qp - start) < start_sq) continue;
        if (end_sq > 0 && squared_length(qp - end) < end_sq) continue;
        out.push_back(qp);
    }
    out.push_back(end);
}

// Sphere and wheel against one ground triangle.
#include "sim/contact_geometry.h"

#include <algorithm>

namespace contact_math {

namespace {

constexpr vec3 kUp{0.0, 1.0, 0.0};
constexpr double kEdgeDepthBias = 1.0 / 1048576.0;  // 2^-20
// Slack on every rejection, far above the rounding of the exact tests, so that a
// rejected triangle is one they would certainly have found no contact with.
constexpr double kRejectMargin = 1.0 / 4096.0;

vec3 triangle_normal(const vec3 tri[3])
{
    return cross(tri[1] - tri[0], tri[2] - tri[0]);
}

// The in-plane direction of the wheel (perpendicular to the axle) nearest to want.
vec3 wheel_plane_direction(vec3 axle, vec3 want)
{
    static constexpr vec3 tries[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0},
                                     {1, 0, 1}, {0, 1, 1}, {1, 1, 1}};
    vec3 v = want - axle * dot(want, axle);
    if (length2(v) > 1e-12 * std::max(length2(want), 1e-300))
        return v * (1.0 / length(v));
    for (vec3 t : tries) {
        v = t - axle * dot(t, axle);
        if (length2(v) > 1e-12 * length2(t))
            return v * (1.0 / length(v));
    }
    return {1.0, 0.0, 0.0};  // only for a zero axle
}

double finish(double depth, vec3 p, vec3 n, vec3* point, vec3* normal)
{
    if (!(depth > 0.0))
        return 0.0;
    if (point)
        *point = p;
    if (normal)
        *normal = n;
    return depth;
}

struct torus {
    vec3 c, a;
    double R, r;
};

// The tyre surface beside a contact: the ring point nearest to it moved r against n.
vec3 tyre_point(const torus& w, vec3 contact, vec3 n)
{
    return ring_nearest_point(w.c, w.a, w.R, contact) - n * w.r;
}

enum class face_result {
    contact,        // found
    none,           // no face, or P in front over the triangle but too far
    sunk_outside,   // the whole ring behind the plane, the centre beside the triangle
    behind_beside,  // P behind, the ring crossing the plane beside the triangle
    front_beside,   // P in front, beside the triangle
};

struct face_test {
    face_result result = face_result::none;
    vec3 n;  // the triangle's unit normal
    double plane_gap = 0.0;  // P's height over the plane
    double depth = 0.0;
    vec3 point, normal;
};

// The face test shared by both wheel variants. d is the wheel-plane direction towards
// the triangle's plane; P and Q are the ring points along it and against it.
face_test torus_face(const torus& w, const vec3 tri[3])
{
    face_test f;
    const vec3 n_raw = triangle_normal(tri);
    if (!(length2(n_raw) > 0.0))
        return f;
    const vec3 n = f.n = n_raw * (1.0 / length(n_raw));
    const vec3 d = wheel_plane_direction(w.a, -n);
    const vec3 P = w.c + d * w.R;
    const vec3 Q = w.c - d * w.R;
    const double sP = dot(P - tri[0], n);
    const double sQ = dot(Q - tri[0], n);
    f.plane_gap = sP;
    if (sP < 0.0) {
        if (sQ < 0.0) {
            if (!point_in_triangle_xz(w.c, tri)) {
                f.result = face_result::sunk_outside;
                return f;
            }
            f.result = face_result::contact;
            f.depth = 2.0 * w.R;
            f.normal = kUp;
            f.point = P - kUp * w.r;
            return f;
        }
        const vec3 X = P + (Q - P) * (sP / (sP - sQ));
        if (!point_projects_onto_triangle(X, tri)) {
            f.result = face_result::behind_beside;
            return f;
        }
    } else if (!point_projects_onto_triangle(P, tri)) {
        f.result = face_result::front_beside;
        return f;
    }
    f.depth = w.r - sP;
    f.normal = n;
    f.point = P - n * w.r;
    f.result = f.depth > 0.0 ? face_result::contact : face_result::none;
    return f;
}

// Distance from a point to the ring circle, with the ring point.
double ring_distance(const torus& w, vec3 p, vec3* ring_point)
{
    *ring_point = ring_nearest_point(w.c, w.a, w.R, p);
    return length(p - *ring_point);
}

// Closest approach of the ring circle and segment T0 + t (T1 - T0), t in [0, 1].
// The squared distance from X(t) to the circle is |w|^2 - 2 R rho + R^2 with
// w = X - c, h = w.a and rho^2 = |w|^2 - h^2. Its stationary points satisfy
// (w.e) rho = R (w.e - h (a.e)); squared, p^2 q = R^2 g^2, a quartic in t.
double edge_ring_distance(const torus& w, vec3 T0, vec3 T1, vec3* edge_point, vec3* ring_point)
{
    const vec3 e = T1 - T0;
    const double L2 = length2(e);
    if (!(L2 > 1e-18)) {
        *edge_point = T0;
        return ring_distance(w, T0, ring_point);
    }
    const vec3 w0 = T0 - w.c;
    const double p0 = dot(w0, e), p1 = L2;
    const double h0 = dot(w0, w.a), h1 = dot(e, w.a);
    const double q0 = length2(w0) - h0 * h0, q1 = 2.0 * (p0 - h0 * h1), q2 = L2 - h1 * h1;
    const double g0 = p0 - h0 * h1, g1 = p1 - h1 * h1;
    const double R2 = w.R * w.R;
    const double coef[5] = {
        p0 * p0 * q0 - R2 * g0 * g0,
        2.0 * p0 * p1 * q0 + p0 * p0 * q1 - 2.0 * R2 * g0 * g1,
        p1 * p1 * q0 + 2.0 * p0 * p1 * q1 + p0 * p0 * q2 - R2 * g1 * g1,
        p1 * p1 * q1 + 2.0 * p0 * p1 * q2,
        p1 * p1 * q2,
    };

    // Starting parameters: the edge line's closest approach to the wheel centre, and
    // either the crossing of the wheel plane (an edge across the plane) or the two
    // places where a nearly parallel edge passes the ring.
    const double L = std::sqrt(L2);
    const double t_near = -p0 / p1;
    double starts[2];
    const double along_axle = h1 / L;
    if (std::fabs(along_axle) < 1e-3) {
        const vec3 wn = w0 + e * t_near;
        const double h = dot(wn, w.a);
        const double in_plane2 = length2(wn) - h * h;
        const double spread = std::max(std::sqrt(std::max(R2 - in_plane2, 0.0)), 0.001 * w.R) / L;
        starts[0] = t_near - spread;
        starts[1] = t_near + spread;
    } else {
        starts[0] = t_near;
        starts[1] = -h0 / h1;
    }

    double best = 0.0;
    for (int k = 0; k < 2; ++k) {
        const double t = std::clamp(quartic_refine_root(coef, starts[k]), 0.0, 1.0);
        const vec3 X = T0 + e * t;
        vec3 Y;
        const double dist = ring_distance(w, X, &Y);
        if (k == 0 || dist < best) {
            best = dist;
            *edge_point = X;
            *ring_point = Y;
        }
    }
    return best;
}

// The triangle's box, with the test of whether the centre could have sunk through it.
struct triangle_box {
    vec3 lo, hi;
};

triangle_box box_of(const vec3 tri[3])
{
    triangle_box b{tri[0], tri[0]};
    for (int k = 1; k < 3; ++k) {
        b.lo = {std::min(b.lo.x, tri[k].x), std::min(b.lo.y, tri[k].y), std::min(b.lo.z, tri[k].z)};
        b.hi = {std::max(b.hi.x, tri[k].x), std::max(b.hi.y, tri[k].y), std::max(b.hi.z, tri[k].z)};
    }
    return b;
}

// Written so that an undefined coordinate counts as possibly sunk.
bool may_be_sunk_through(vec3 c, const triangle_box& b)
{
    const double m = kRejectMargin;
    return !(c.y > b.hi.y + m || c.x < b.lo.x - m || c.x > b.hi.x + m || c.z < b.lo.z - m ||
             c.z > b.hi.z + m);
}

bool box_beyond_reach(vec3 c, double reach, const triangle_box& b)
{
    const double dx = std::max({b.lo.x - c.x, c.x - b.hi.x, 0.0});
    const double dy = std::max({b.lo.y - c.y, c.y - b.hi.y, 0.0});
    const double dz = std::max({b.lo.z - c.z, c.z - b.hi.z, 0.0});
    const double limit = reach + kRejectMargin;
    return dx * dx + dy * dy + dz * dz > limit * limit;
}

}  // namespace

bool wholly_above(vec3 c, double reach, double top)
{
    return reach >= 0.0 && c.y - reach > top + kRejectMargin;
}

bool sphere_may_touch_triangle(vec3 c, double radius, const vec3 tri[3])
{
    if (!(radius >= 0.0))
        return true;
    const triangle_box b = box_of(tri);
    return may_be_sunk_through(c, b) || !box_beyond_reach(c, radius, b);
}

bool wheel_may_touch_triangle(vec3 c, vec3 axle, double R, double r, const vec3 tri[3])
{
    if (!(R >= 0.0 && r >= 0.0))
        return true;
    const triangle_box b = box_of(tri);
    if (may_be_sunk_through(c, b))
        return true;
    if (box_beyond_reach(c, R + r, b))
        return false;
    // Every point of the tyre lies within r of the wheel plane.
    if (!(std::fabs(length2(axle) - 1.0) < 1e-9))
        return true;
    const double limit = r + kRejectMargin;
    double h[3];
    for (int k = 0; k < 3; ++k)
        h[k] = dot(tri[k] - c, axle);
    return !((h[0] > limit && h[1] > limit && h[2] > limit) ||
             (h[0] < -limit && h[1] < -limit && h[2] < -limit));
}

bool point_projects_onto_triangle(vec3 p, const vec3 tri[3])
{
    const vec3 n = triangle_normal(tri);
    for (int k = 0; k < 3; ++k) {
        const vec3 a = tri[k], b = tri[(k + 1) % 3];
        if (dot(cross(b - a, p - a), n) < 0.0)
            return false;
    }
    return true;
}

bool point_in_triangle_xz(vec3 p, const vec3 tri[3])
{
    bool negative = false, positive = false;
    for (int k = 0; k < 3; ++k) {
        const vec3 a = tri[k], b = tri[(k + 1) % 3];
        const double s = (b.x - a.x) * (p.z - a.z) - (b.z - a.z) * (p.x - a.x);
        negative |= s < 0.0;
        positive |= s > 0.0;
    }
    return !(negative && positive);
}

vec3 ring_nearest_point(vec3 centre, vec3 axle, double ring_radius, vec3 p)
{
    const vec3 v = p - centre;
    const vec3 in_plane = v - axle * dot(v, axle);
    if (length(in_plane) >= ring_radius * 1e-6 && length2(in_plane) > 0.0)
        return centre + in_plane * (ring_radius / length(in_plane));
    return centre + wheel_plane_direction(axle, {0.0, 0.0, 0.0}) * ring_radius;
}

vec3 ground_contact_normal(vec3 n)
{
    if (n.y >= 0.0)
        return n;
    const vec3 h{n.x, 0.0, n.z};
    const double l = length(h);
    if (!(l >= 1.0 / 32.0))
        return kUp;
    return h * (1.0 / l);
}

double collide_sphere_triangle(vec3 c, double r, const vec3 tri[3], vec3* point, vec3* normal)
{
    const vec3 n_raw = triangle_normal(tri);
    const double n_len = length(n_raw);
    if (n_len > 0.0 && point_projects_onto_triangle(c, tri)) {
        const vec3 n = n_raw * (1.0 / n_len);
        const double depth = r - dot(c - tri[0], n);
        if (depth > 2.0 * r && !point_in_triangle_xz(c, tri))
            return 0.0;
        return finish(depth, c - n * r, n, point, normal);
    }

    // Nearest feature of the rim: each edge's closest point (a corner when c projects
    // beyond its ends), the earlier edge on ties. Taking merely the first edge that c
    // projects onto can pick a far edge and miss a corner the sphere touches.
    vec3 nearest = tri[0];
    double nearest2 = length2(c - nearest);
    for (int k = 0; k < 3; ++k) {
        const vec3 a = tri[k], e = tri[(k + 1) % 3] - a;
        const double l2 = length2(e);
        const double t = l2 > 0.0 ? std::clamp(dot(c - a, e) / l2, 0.0, 1.0) : 0.0;
        const vec3 q = a + e * t;
        if (length2(c - q) < nearest2) {
            nearest = q;
            nearest2 = length2(c - q);
        }
    }
    const vec3 v = c - nearest;
    const double dist = length(v);
    const vec3 n = dist > 0.0 ? v * (1.0 / dist)
                              : normalised_or(n_raw, kUp);
    return finish(r - dist, c - n * r, n, point, normal);
}

double collide_torus_triangle(vec3 centre, vec3 axle, double R, double r, const vec3 tri[3],
                              vec3* point, vec3* normal)
{
    const torus w{centre, axle, R, r};
    const face_test face = torus_face(w, tri);
    if (face.result == face_result::contact)
        return finish(face.depth, face.point, face.normal, point, normal);
    if (face.result != face_result::behind_beside)
        return 0.0;
    const vec3 n = face.n;

    // The first edge that crosses the wheel plane within the ring.
    for (int k = 0; k < 3; ++k) {
        const vec3 A = tri[k], B = tri[(k + 1) % 3];
        const double da = dot(A - centre, axle), db = dot(B - centre, axle);
        if ((da > 0.0 && db > 0.0) || (da < 0.0 && db < 0.0) || da == db)
            continue;
        const vec3 X = A + (B - A) * (da / (da - db));
        if (length2(X - centre) > R * R)
            continue;
        const vec3 ring_dir = normalised_or(X - centre, {0.0, -1.0, 0.0});
        const vec3 tangent = cross(axle, ring_dir);
        vec3 en = normalised_or(cross(B - A, tangent), n);
        if (dot(en, centre - X) < 0.0)
            en = -en;
        return finish(r - kEdgeDepthBias, tyre_point(w, X, en), en, point, normal);
    }
    return 0.0;
}

double collide_torus_triangle_exact(vec3 centre, vec3 axle, double R, double r,
                                    const vec3 tri[3], vec3* point, vec3* normal, double beat)
{
    const torus w{centre, axle, R, r};
    const face_test face = torus_face(w, tri);
    if (face.result == face_result::contact)
        return finish(face.depth, face.point, face.normal, point, normal);
    if (face.result == face_result::none)
        return 0.0;
    // In front of the plane, no point of the triangle is nearer the ring than the plane
    // is, so the six candidates give at most r - P's height over it.
    if (face.result == face_result::front_beside && beat >= 0.0 &&
        face.plane_gap > r - beat + kRejectMargin && std::fabs(length2(axle) - 1.0) < 1e-9)
        return 0.0;
    const vec3 n = face.n;

    // Six candidates; edges before corners and lower indices first on ties.
    double best = 0.0;
    vec3 best_point, best_normal;
    bool have = false;
    for (int k = 0; k < 3; ++k) {
        vec3 X, Y;
        const double dist = edge_ring_distance(w, tri[k], tri[(k + 1) % 3], &X, &Y);
        if (have && !(dist < best))
            continue;
        const vec3 e = tri[(k + 1) % 3] - tri[k];
        const vec3 tangent = cross(axle, normalised_or(Y - centre, {0.0, -1.0, 0.0}));
        vec3 en = normalised_or(cross(e, tangent), normalised_or(Y - X, n));
        const vec3 toward = length2(Y - X) > 1e-18 ? Y - X : centre - X;
        if (dot(en, toward) < 0.0)
            en = -en;
        best = dist;
        best_point = Y - en * r;
        best_normal = en;
        have = true;
    }
    for (int k = 0; k < 3; ++k) {
        const vec3 v = tri[k] - centre;
        const double h = dot(v, axle);
        const double rho = length(v - axle * h);
        const double dist = rho <= R ? std::fabs(h) : std::sqrt(h * h + (rho - R) * (rho - R));
        if (!(dist < best))
            continue;
        best = dist;
        best_point = tri[k];
        best_normal = h >= 0.0 ? -axle : axle;
    }
    return finish(r - best, best_point, best_normal, point, normal);
}

double torus_face_depth(vec3 centre, vec3 axle, double R, double r, const vec3 tri[3])
{
    const face_test face = torus_face({centre, axle, R, r}, tri);
    return face.result == face_result::contact ? face.depth : 0.0;
}

double quartic_refine_root(const double a[5], double x)
{
    auto value = [a](double t) { return (((a[4] * t + a[3]) * t + a[2]) * t + a[1]) * t + a[0]; };
    auto slope = [a](double t) { return ((4.0 * a[4] * t + 3.0 * a[3]) * t + 2.0 * a[2]) * t + a[1]; };
    double fx = std::fabs(value(x));
    for (int step = 0; step < 4; ++step) {
        const double d = slope(x);
        if (!(std::fabs(d) >= 1.0 / 1073741824.0))
            break;
        const double next = x - value(x) / d;
        const double f_next = std::fabs(value(next));
        if (!(f_next < fx))
            break;
        x = next;
        fx = f_next;
    }
    return x;
}

}  // namespace contact_math

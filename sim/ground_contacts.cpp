// Ground triangles under a sphere or a wheel.
#include "sim/ground_contacts.h"

#include "sim/contact_geometry.h"
#include "terrain/grid_index.h"

#include <algorithm>
#include <cmath>

using namespace contact_math;

namespace {

// Grid cells [first, last) covering [lo, hi] along one axis; empty off the grid.
struct cell_span {
    int first = 0, last = 0;
};

cell_span cover(const terrain_state* t, double lo, double hi)
{
    using namespace terrain_detail;
    const int top = t->size - 1;
    cell_span s;
    s.first = clamp_index(floor_index(lo * t->inv_cell), 0, top);
    s.last = clamp_index(floor_index(std::ceil(hi * t->inv_cell)), 0, top);
    return s;
}

struct grid_box {
    cell_span x, z;
};

grid_box cover_box(const terrain_state* t, vec3 c, double extent)
{
    return {cover(t, c.x - extent, c.x + extent), cover(t, c.z - extent, c.z + extent)};
}

bool have_ground(const terrain_state* t)
{
    return t && t->heights && t->size > 1;
}

// How far a wheel reaches from its centre; negative (nothing skipped) for sizes that
// make no sense.
double wheel_reach(double R, double r)
{
    return R >= 0.0 && r >= 0.0 ? R + r : -1.0;
}

// The highest of a cell's four grid heights.
double cell_top(const terrain_state* t, int i, int j)
{
    const float* row = t->heights + size_t(j) * size_t(t->size) + size_t(i);
    const float* next = row + t->size;
    return double(std::max(std::max(row[0], row[1]), std::max(next[0], next[1])));
}

// The deepest of the contacts offered in the search's order (the first on ties), its
// normal turned so that it never pushes down.
struct deepest_contact {
    double best = 0.0;
    vec3 point, normal;

    template <typename F>
    void offer(F&& collide)
    {
        vec3 p, n;
        const double d = collide(&p, &n);
        if (d > best) {
            best = d;
            point = p;
            normal = n;
        }
    }
    double result(vec3* p, vec3* n) const
    {
        if (best > 0.0) {
            *p = point;
            *n = ground_contact_normal(normalised_or(normal, {0.0, 1.0, 0.0}));
        }
        return best;
    }
};

// Every triangle of the box's cells that is not wholly below the shape's reach:
// visit(triangle) in the search's order, until it returns false.
template <typename F>
bool each_triangle_in_reach(const terrain_state* t, const grid_box& box, vec3 centre, double reach, F&& visit)
{
    for (int j = box.z.first; j < box.z.last; ++j)
        for (int i = box.x.first; i < box.x.last; ++i) {
            if (wholly_above(centre, reach, cell_top(t, i, j)))
                continue;
            vec3 tri[2][3];
            ground_cell_triangles(t, i, j, tri);
            for (auto& triangle : tri)
                if (!visit(triangle))
                    return false;
        }
    return true;
}

// The deepest contact of any triangle of the box's cells; collide(triangle, deepest so
// far, &point, &normal) gives a depth.
template <typename F>
double deepest_in_box(const terrain_state* t, const grid_box& box, vec3 centre, double reach, F&& collide,
                      vec3* point, vec3* normal)
{
    deepest_contact found;
    each_triangle_in_reach(t, box, centre, reach, [&](const vec3* tri) {
        found.offer([&](vec3* p, vec3* n) { return collide(tri, found.best, p, n); });
        return true;
    });
    return found.result(point, normal);
}

// Cells first..last-1 from the one nearest `middle` outward: 0, +1, -1, +2, -2, ...
template <typename F>
bool visit_middle_out(cell_span s, int middle, F&& f)
{
    if (s.last <= s.first)
        return false;
    middle = terrain_detail::clamp_index(middle, s.first, s.last - 1);
    for (int k = 0; k < 2 * (s.last - s.first); ++k) {
        const int offset = (k + 1) / 2 * (k % 2 ? 1 : -1);
        const int i = middle + offset;
        if (i >= s.first && i < s.last && f(i))
            return true;
    }
    return false;
}

}  // namespace

void ground_cell_triangles(const terrain_state* t, int i, int j, vec3 tri[2][3])
{
    auto corner = [t](int a, int b) {
        return vec3{double(a) * t->cell, double(t->heights[size_t(b) * size_t(t->size) + size_t(a)]),
                    double(b) * t->cell};
    };
    const vec3 p00 = corner(i, j), p10 = corner(i + 1, j), p01 = corner(i, j + 1),
               p11 = corner(i + 1, j + 1);
    if ((i ^ j) & 1) {
        // Diagonal from (i + 1, j) to (i, j + 1).
        tri[0][0] = p00, tri[0][1] = p01, tri[0][2] = p10;
        tri[1][0] = p11, tri[1][1] = p10, tri[1][2] = p01;
    } else {
        // Diagonal from (i, j) to (i + 1, j + 1).
        tri[0][0] = p10, tri[0][1] = p00, tri[0][2] = p11;
        tri[1][0] = p01, tri[1][1] = p11, tri[1][2] = p00;
    }
}

int collide_point_terrain(const terrain_state* t, const float centre[3], float radius,
                          float point[3], float normal[3], float* depth)
{
    *depth = 0.0f;
    if (!have_ground(t))
        return 0;
    const vec3 c = load(centre);
    vec3 p, n;
    const double best = deepest_in_box(
        t, cover_box(t, c, radius), c, radius,
        [&](const vec3* tri, double, vec3* tp, vec3* tn) {
            return sphere_may_touch_triangle(c, radius, tri) ? collide_sphere_triangle(c, radius, tri, tp, tn) : 0.0;
        }, &p, &n);
    if (!(best > 0.0))
        return 0;
    store(p, point);
    store(n, normal);
    *depth = float(best);
    return 1;
}

double ground_wheel_deepest(const terrain_state* t, vec3 centre, vec3 axle, double R, double r,
                            vec3* point, vec3* normal)
{
    if (!have_ground(t))
        return 0.0;
    const grid_box box = cover_box(t, centre, R + r);
    // The triangles left by the cheap rejections, in the search's order, and their
    // deepest face contact: no edge search that cannot beat it needs to run, whichever
    // triangle comes first. A box too large for the list searches as it goes.
    constexpr int kKept = 64;
    vec3 kept[kKept][3];
    int count = 0;
    double face_floor = 0.0;
    const bool all_kept = each_triangle_in_reach(t, box, centre, wheel_reach(R, r), [&](const vec3* tri) {
        if (!wheel_may_touch_triangle(centre, axle, R, r, tri))
            return true;
        if (count == kKept)
            return false;
        std::copy(tri, tri + 3, kept[count++]);
        face_floor = std::max(face_floor, torus_face_depth(centre, axle, R, r, tri));
        return true;
    });
    if (!all_kept)
        return deepest_in_box(
            t, box, centre, wheel_reach(R, r),
            [&](const vec3* tri, double best, vec3* p, vec3* n) {
                return wheel_may_touch_triangle(centre, axle, R, r, tri)
                           ? collide_torus_triangle_exact(centre, axle, R, r, tri, p, n, best)
                           : 0.0;
            },
            point, normal);
    deepest_contact found;
    for (int k = 0; k < count; ++k)
        found.offer([&](vec3* p, vec3* n) {
            return collide_torus_triangle_exact(centre, axle, R, r, kept[k], p, n, std::max(found.best, face_floor));
        });
    return found.result(point, normal);
}

double ground_wheel_probe(const terrain_state* t, vec3 centre, vec3 axle, double R, double r,
                          vec3* point, vec3* normal)
{
    if (!have_ground(t))
        return 0.0;
    using terrain_detail::floor_index;
    const grid_box box = cover_box(t, centre, R + r);
    double found = 0.0;
    visit_middle_out(box.z, floor_index(centre.z * t->inv_cell), [&](int j) {
        return visit_middle_out(box.x, floor_index(centre.x * t->inv_cell), [&](int i) {
            if (wholly_above(centre, wheel_reach(R, r), cell_top(t, i, j)))
                return false;
            vec3 tri[2][3];
            ground_cell_triangles(t, i, j, tri);
            for (auto& triangle : tri) {
                if (!wheel_may_touch_triangle(centre, axle, R, r, triangle))
                    continue;
                found = collide_torus_triangle(centre, axle, R, r, triangle, point, normal);
                if (found > 0.0)
                    return true;
            }
            return false;
        });
    });
    if (found > 0.0)
        *normal = ground_contact_normal(*normal);
    return found;
}

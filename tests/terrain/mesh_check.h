// Checks on a terrain mesh given as triangles of grid points: every edge shared by
// exactly two triangles unless it lies on the grid's border (no T-junctions, so no
// cracks), every triangle counter-clockwise seen from above, and the grid covered
// once (the areas add up to the whole square).
#pragma once
#include "terrain/terrain_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <utility>
#include <vector>

struct MeshPoint {
    int x, z;
    bool operator<(const MeshPoint& o) const { return x != o.x ? x < o.x : z < o.z; }
    bool operator==(const MeshPoint& o) const { return x == o.x && z == o.z; }
};

struct MeshTriangle {
    MeshPoint p[3];
};

// Triangles from queued (x, height, z) vertices of a record.
inline std::vector<MeshTriangle> mesh_triangles(const terrain_state* t, const float* vertices, int count)
{
    std::vector<MeshTriangle> out;
    for (int v = 0; v + 2 < count; v += 3) {
        MeshTriangle tri;
        for (int k = 0; k < 3; ++k) {
            const float* p = vertices + (v + k) * 3;
            tri.p[k] = {int(std::lround(p[0] / t->cell)), int(std::lround(p[2] / t->cell))};
        }
        out.push_back(tri);
    }
    return out;
}

// Twice the area, positive for counter-clockwise seen from +y (x right, z down the page).
inline long twice_area(const MeshTriangle& t)
{
    const long ax = t.p[1].x - t.p[0].x, az = t.p[1].z - t.p[0].z;
    const long bx = t.p[2].x - t.p[0].x, bz = t.p[2].z - t.p[0].z;
    return az * bx - ax * bz;
}

inline void expect_crack_free(const std::vector<MeshTriangle>& mesh, int last)
{
    std::map<std::pair<MeshPoint, MeshPoint>, int> edges;
    long area = 0;
    int wrong_winding = 0;
    for (const MeshTriangle& t : mesh) {
        const long a = twice_area(t);
        area += a;
        if (a <= 0)
            ++wrong_winding;
        for (int k = 0; k < 3; ++k) {
            MeshPoint u = t.p[k], v = t.p[(k + 1) % 3];
            if (v < u)
                std::swap(u, v);
            ++edges[{u, v}];
        }
    }
    EXPECT_EQ(wrong_winding, 0);
    EXPECT_EQ(area, 2L * last * last) << "the grid is not covered exactly once";
    int open = 0;
    for (const auto& [edge, uses] : edges) {
        const MeshPoint u = edge.first, v = edge.second;
        const bool border = (u.x == v.x && (u.x == 0 || u.x == last)) || (u.z == v.z && (u.z == 0 || u.z == last));
        if (uses != (border ? 1 : 2)) {
            if (++open <= 5)
                ADD_FAILURE() << "edge (" << u.x << "," << u.z << ")-(" << v.x << "," << v.z << ") used " << uses
                              << " times";
        }
    }
    EXPECT_EQ(open, 0);
}

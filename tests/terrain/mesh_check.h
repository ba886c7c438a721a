// Checks on a terrain mesh given as queued (x, height, z) vertices: every edge shared
// by exactly two triangles unless it lies on the grid's border (no T-junctions, so no
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
    auto operator<=>(const MeshPoint&) const = default;
};

struct MeshTriangle {
    MeshPoint p[3];
};

inline std::vector<MeshTriangle> mesh_triangles(const terrain_state* t, const float* vertices, int count)
{
    std::vector<MeshTriangle> out(size_t(count / 3));
    for (int v = 0; v < count / 3 * 3; ++v)
        out[size_t(v / 3)].p[v % 3] = {int(std::lround(vertices[v * 3] / t->cell)),
                                       int(std::lround(vertices[v * 3 + 2] / t->cell))};
    return out;
}

inline void expect_crack_free(const std::vector<MeshTriangle>& mesh, int last)
{
    std::map<std::pair<MeshPoint, MeshPoint>, int> edges;
    long area = 0;
    int wrong_winding = 0;
    for (const MeshTriangle& t : mesh) {
        // Twice the area, positive for counter-clockwise seen from +y.
        const long a = long(t.p[1].z - t.p[0].z) * (t.p[2].x - t.p[0].x) -
                       long(t.p[1].x - t.p[0].x) * (t.p[2].z - t.p[0].z);
        area += a;
        wrong_winding += a <= 0;
        for (int k = 0; k < 3; ++k)
            ++edges[std::minmax(t.p[k], t.p[(k + 1) % 3])];
    }
    EXPECT_EQ(wrong_winding, 0);
    EXPECT_EQ(area, 2L * last * last) << "the grid is not covered exactly once";
    int open = 0;
    for (const auto& [edge, uses] : edges) {
        const auto [u, v] = edge;
        const bool border = (u.x == v.x && (u.x == 0 || u.x == last)) || (u.z == v.z && (u.z == 0 || u.z == last));
        if (uses != (border ? 1 : 2) && ++open <= 5)
            ADD_FAILURE() << "edge (" << u.x << "," << u.z << ")-(" << v.x << "," << v.z << ") used " << uses;
    }
    EXPECT_EQ(open, 0);
}

// Per-vertex tangents for normal mapping, and the removal of triangles that point
// outside the part or have no area.
#include "gfx/model.h"

#include <cmath>
#include <cstring>

namespace {

struct vec3 {
    float x, y, z;
};

vec3 at(const float* array, uint32_t i) { return {array[3 * i], array[3 * i + 1], array[3 * i + 2]}; }
vec3 operator-(vec3 a, vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
vec3 operator*(vec3 a, float k) { return {a.x * k, a.y * k, a.z * k}; }
float dot(vec3 a, vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
vec3 cross(vec3 a, vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }

constexpr float tiny = 0x1p-20f;
constexpr float degenerate_area = 0x1p-80f;   // least squared cross-product length kept

bool in_range(const model* m, const uint32_t* tri)
{
    const uint32_t n = static_cast<uint32_t>(m->vertex_count);
    return tri[0] < n && tri[1] < n && tri[2] < n;
}

// A triangle whose texture mapping has no area still votes, faintly, for its longer
// edge, so a vertex that only such triangles touch gets a usable tangent.
vec3 faint_vote(vec3 e1, vec3 e2)
{
    const float l1 = dot(e1, e1), l2 = dot(e2, e2);
    if (l1 > l2)
        return e1 * (tiny / std::sqrt(l1));
    if (l2 > 0)
        return e2 * (tiny / std::sqrt(l2));
    return {tiny, 0, 0};
}

}  // namespace

void model_tangents(model* m)
{
    const int n = m->vertex_count;
    memset(m->tangents, 0, sizeof(float) * 3 * static_cast<size_t>(n));
    for (int t = 0; t < m->triangle_count; ++t) {
        const uint32_t* tri = m->triangles + 3 * t;
        if (!in_range(m, tri))
            continue;
        const vec3 p0 = at(m->positions, tri[0]);
        const vec3 e1 = at(m->positions, tri[1]) - p0, e2 = at(m->positions, tri[2]) - p0;
        const float* uv0 = m->texcoords + 2 * tri[0];
        const float* uv1 = m->texcoords + 2 * tri[1];
        const float* uv2 = m->texcoords + 2 * tri[2];
        const float du1 = uv1[0] - uv0[0], dv1 = uv1[1] - uv0[1];
        const float du2 = uv2[0] - uv0[0], dv2 = uv2[1] - uv0[1];
        const float det = du1 * dv2 - dv1 * du2;
        vec3 tangent;
        if (std::fabs(det) < tiny) {
            tangent = faint_vote(e1, e2);
        } else {
            tangent = (e1 * dv2 - e2 * dv1) * (1.0f / det);
            const vec3 bitangent = (e2 * du1 - e1 * du2) * (1.0f / det);
            // A mirrored mapping turns the frame over; the tangent follows the surface.
            if (dot(cross(e1, e2), cross(tangent, bitangent)) <= 0)
                tangent = tangent * -1.0f;
        }
        for (int k = 0; k < 3; ++k) {
            float* sum = m->tangents + 3 * tri[k];
            sum[0] += tangent.x;
            sum[1] += tangent.y;
            sum[2] += tangent.z;
        }
    }
    for (int i = 0; i < n; ++i) {
        float* v = m->tangents + 3 * i;
        const float length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        // Also catches NaN sums from non-finite positions.
        if (!(length > 0) || !std::isfinite(length)) {
            v[0] = 1, v[1] = 0, v[2] = 0;
        } else {
            v[0] /= length, v[1] /= length, v[2] /= length;
        }
    }
}

void model_drop_degenerate(model* m)
{
    int kept = 0;
    for (int t = 0; t < m->triangle_count; ++t) {
        const uint32_t* tri = m->triangles + 3 * t;
        bool keep = in_range(m, tri);
        if (keep) {
            const vec3 p0 = at(m->positions, tri[0]);
            const vec3 c = cross(at(m->positions, tri[1]) - p0, at(m->positions, tri[2]) - p0);
            keep = dot(c, c) >= degenerate_area;   // false for NaN too
        }
        if (!keep) {
            ++model_degenerate_count;
            continue;
        }
        if (kept != t)
            memmove(m->triangles + 3 * kept, tri, 3 * sizeof(uint32_t));
        ++kept;
    }
    m->triangle_count = kept;
}

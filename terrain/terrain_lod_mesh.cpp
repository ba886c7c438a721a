// The mesh builder: fans around the centres of marked nodes, nearest children first.
// An edge midpoint is a vertex only where the node across that edge, at the same
// level, is refined too (or off the grid), so a coarser neighbour meets a straight
// edge and no crack opens. The marked set is balanced (a refined node's edge
// neighbours one level up are refined), so a dropped midpoint always lies between
// two quarters drawn here, which then share one triangle.
#include "terrain/terrain_lod.h"

#include "foundation/memory.h"
#include "gfx/view_frustum.h"

#include <cstring>

namespace {

// Rim points around a centre in half-node steps, in fan order.
constexpr int32_t kRim[8][2] = {{0, -1}, {-1, -1}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}, {1, 0}, {1, -1}};
// Where each child's quarter starts on the rim; children by offset (0,0) (1,0) (0,1) (1,1).
constexpr int32_t kQuarterStart[4] = {0, 6, 2, 4};
// Child order by camera quadrant, nearest first.
constexpr int32_t kChildOrder[4][4] = {{0, 1, 2, 3}, {1, 3, 0, 2}, {2, 0, 3, 1}, {3, 2, 1, 0}};

struct node_frame {
    int32_t k, i, j;
    int32_t W, half;      // node side and half of it, grid units
    int32_t cx, cz;       // centre, grid units
    bool midpoint[8];     // for the even rim indices: used or not
};

node_frame frame_of(const terrain_state* t, int32_t k, int32_t i, int32_t j)
{
    node_frame f;
    f.k = k;
    f.i = i;
    f.j = j;
    f.W = (t->size - 1) >> k;
    f.half = f.W / 2;
    f.cx = j * f.W + f.half;
    f.cz = i * f.W + f.half;
    const int32_t side = 1 << k;
    auto across = [&](int32_t row, int32_t column) {
        if (row < 0 || column < 0 || row >= side || column >= side)
            return true;
        return terrain_lod_marked(t, k, row, column) != 0;
    };
    for (int r = 0; r < 8; ++r)
        f.midpoint[r] = true;
    f.midpoint[0] = across(i - 1, j);
    f.midpoint[2] = across(i, j - 1);
    f.midpoint[4] = across(i + 1, j);
    f.midpoint[6] = across(i, j + 1);
    return f;
}

inline bool rim_used(const node_frame& f, int32_t r)
{
    return (r & 1) || f.midpoint[r & 7];
}

struct grid_point {
    int32_t x, z;
};

inline grid_point rim_point(const node_frame& f, int32_t r)
{
    return {f.cx + kRim[r & 7][0] * f.half, f.cz + kRim[r & 7][1] * f.half};
}

// The detail level whose window holds every point, finest first, else the last.
int32_t pick_level(const terrain_state* t, const grid_point* points, int count)
{
    int32_t x0 = points[0].x, x1 = x0, z0 = points[0].z, z1 = z0;
    for (int p = 1; p < count; ++p) {
        x0 = points[p].x < x0 ? points[p].x : x0;
        x1 = points[p].x > x1 ? points[p].x : x1;
        z0 = points[p].z < z0 ? points[p].z : z0;
        z1 = points[p].z > z1 ? points[p].z : z1;
    }
    const int32_t last = t->detail_level_count - 1;
    for (int32_t d = 0; d < last; ++d) {
        const terrain_detail_level& l = t->detail_levels[d];
        if (l.origin_x <= x0 && l.origin_z <= z0 && int64_t(x1) <= int64_t(l.origin_x) + l.window &&
            int64_t(z1) <= int64_t(l.origin_z) + l.window)
            return d;
    }
    return last > 0 ? last : 0;
}

terrain_draw_segment* segments(terrain_state* t)
{
    return static_cast<terrain_draw_segment*>(t->draw_segments.items);
}

// Makes sure the open segment draws with level d, starting a new one when needed.
void use_level(terrain_state* t, int32_t d)
{
    growable_array& list = t->draw_segments;
    if (list.count > 0) {
        terrain_draw_segment& open = segments(t)[list.count - 1];
        if (open.level == d)
            return;
        if (open.first == t->mesh_vertex_count)
            --list.count;   // it received nothing: take its place
    }
    terrain_draw_segment s{};
    s.first = t->mesh_vertex_count;
    s.level = d;
    if (d >= 0 && d < t->detail_level_count) {
        const terrain_detail_level& l = t->detail_levels[d];
        s.textures[0] = l.colour_texture;
        s.textures[1] = l.normal_texture;
        s.textures[2] = l.specular_texture;
        s.offset[0] = -float(l.origin_x) * t->cell;
        s.offset[1] = -float(l.origin_z) * t->cell;
        s.scale = 1.0f / (float(l.window) * t->cell);
    }
    if (!array_push(&list, &s)) {
        // No room for another: draw what is queued, then reuse the open segment.
        terrain_mesh_flush(t);
        s.first = 0;
        if (list.count > 0)
            segments(t)[0] = s;
    }
}

inline void queue_vertex(terrain_state* t, grid_point p)
{
    float* v = t->mesh_vertices + size_t(t->mesh_vertex_count) * 3;
    v[0] = float(p.x) * t->cell;
    v[1] = t->heights[size_t(p.z) * size_t(t->size) + size_t(p.x)];
    v[2] = float(p.z) * t->cell;
    ++t->mesh_vertex_count;
}

void queue_triangle(terrain_state* t, grid_point a, grid_point b, grid_point c)
{
    queue_vertex(t, a);
    queue_vertex(t, b);
    queue_vertex(t, c);
    ++t->polygons_drawn;
    if (t->mesh_vertex_count > kTerrainMeshFlushAt)
        terrain_mesh_flush(t);
}

// The triangles of one child's quarter: (centre, midpoint, corner) and (centre,
// corner, next midpoint). A dropped midpoint before the corner makes one triangle
// from the previous corner, which this quarter draws; a dropped one after it is
// drawn by the next quarter.
void draw_quarter(terrain_state* t, const node_frame& f, int32_t child)
{
    const int32_t s = kQuarterStart[child];
    const grid_point centre{f.cx, f.cz};
    const grid_point corner = rim_point(f, s + 1);
    grid_point tri[6];
    int count = 0;
    if (rim_used(f, s)) {
        tri[count++] = rim_point(f, s);
        tri[count++] = corner;
    } else {
        tri[count++] = rim_point(f, s + 7);
        tri[count++] = corner;
    }
    if (rim_used(f, s + 2)) {
        tri[count++] = corner;
        tri[count++] = rim_point(f, s + 2);
    }
    grid_point all[7] = {centre};
    for (int p = 0; p < count; ++p)
        all[p + 1] = tri[p];
    use_level(t, pick_level(t, all, count + 1));
    for (int p = 0; p < count; p += 2)
        queue_triangle(t, centre, tri[p], tri[p + 1]);
}

// The whole node as one fan over its rim.
void draw_fan(terrain_state* t, const node_frame& f)
{
    const grid_point centre{f.cx, f.cz};
    grid_point rim[8];
    int count = 0;
    for (int32_t r = 0; r < 8; ++r)
        if (rim_used(f, r))
            rim[count++] = rim_point(f, r);
    const grid_point box[2] = {{f.cx - f.half, f.cz - f.half}, {f.cx + f.half, f.cz + f.half}};
    use_level(t, pick_level(t, box, 2));
    for (int p = 0; p < count; ++p)
        queue_triangle(t, centre, rim[p], rim[(p + 1) % count]);
}

// The node lies wholly behind the camera: even its corner farthest along the view
// direction is behind.
bool culled(const terrain_state* t, const node_frame& f)
{
    const float* d = t->view_direction;
    const int32_t m = t->view_sign_mask;
    const float x = float((m & 1) ? f.cx + f.half : f.cx - f.half) * t->cell;
    const float y = (m & 2) ? t->max_height : t->min_height;
    const float z = float((m & 4) ? f.cz + f.half : f.cz - f.half) * t->cell;
    const float* c = t->camera_position;
    return (x - c[0]) * d[0] + (y - c[1]) * d[1] + (z - c[2]) * d[2] < 0.0f;
}

// The node's column, from the lowest to the highest ground, lies wholly off one side of
// the view, so none of its triangles reaches a pixel.
bool outside(const terrain_state* t, const node_frame& f, const view_frustum* view)
{
    if (!view)
        return false;
    const float low[3] = {float(f.cx - f.half) * t->cell, t->min_height, float(f.cz - f.half) * t->cell};
    const float high[3] = {float(f.cx + f.half) * t->cell, t->max_height, float(f.cz + f.half) * t->cell};
    return frustum_misses_box(*view, low, high);
}

void build_node(terrain_state* t, const view_frustum* view, int32_t k, int32_t i, int32_t j)
{
    const node_frame f = frame_of(t, k, i, j);
    if (culled(t, f) || outside(t, f, view))
        return;
    bool marked[4] = {false, false, false, false};
    bool any = false;
    if (k < t->n) {
        for (int32_t c = 0; c < 4; ++c) {
            marked[c] = terrain_lod_marked(t, k + 1, 2 * i + (c >> 1), 2 * j + (c & 1)) != 0;
            any = any || marked[c];
        }
    }
    if (!any) {
        draw_fan(t, f);
        return;
    }
    const int32_t q = (t->camera_cell_x >= f.cx ? 1 : 0) + (t->camera_cell_z >= f.cz ? 2 : 0);
    for (int32_t c : kChildOrder[q]) {
        if (marked[c])
            build_node(t, view, k + 1, 2 * i + (c >> 1), 2 * j + (c & 1));
        else
            draw_quarter(t, f, c);
    }
}

}  // namespace

int terrain_mesh_alloc(terrain_state* t)
{
    if (!t->mesh_vertices)
        t->mesh_vertices = static_cast<float*>(mem_alloc(size_t(kTerrainMeshVertices) * 3 * sizeof(float)));
    if (!t->draw_segments.items && !array_init(&t->draw_segments, sizeof(terrain_draw_segment)))
        return 0;
    t->mesh_vertex_count = 0;
    t->draw_segments.count = 0;
    return t->mesh_vertices != nullptr;
}

void terrain_mesh_build(terrain_state* t, const view_frustum* view)
{
    if (!t->mesh_vertices || !t->draw_segments.items || !t->heights || t->size < 3)
        return;
    build_node(t, view, 0, 0, 0);
}

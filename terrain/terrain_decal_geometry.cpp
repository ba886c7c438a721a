// The decal quads the ground textures are drawn with. Each bucket cell keeps its
// decals' quads in the cell's index order, in a buffer of 5-float vertices
// (x, y, z, u, v; attribute 0 and attribute 8), and a list of runs: consecutive
// decals sharing a colour texture, drawn with the maps of the run's first decal.
#include "foundation/growable_array.h"
#include "gfx/gl_layer.h"
#include "terrain/terrain_textures.h"

#include <cmath>
#include <vector>

namespace {

constexpr int kFloatsPerDecal = 30;

void describe_vertices()
{
    bvglVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 20, nullptr);
    bvglVertexAttribPointer(8, 2, GL_FLOAT, GL_FALSE, 20, reinterpret_cast<const void*>(12));
    bvglEnableVertexAttribArray(0);
    bvglEnableVertexAttribArray(8);
}

void make_buffers(uint32_t* array, uint32_t* buffer)
{
    GLuint a = 0, b = 0;
    bvglGenVertexArrays(1, &a);
    bvglBindVertexArray(a);
    bvglGenBuffers(1, &b);
    bvglBindBuffer(GL_ARRAY_BUFFER, b);
    describe_vertices();
    bvglBindVertexArray(0);
    bvglBindBuffer(GL_ARRAY_BUFFER, 0);
    *array = a;
    *buffer = b;
}

// Quads and runs of the listed decals into one buffer and run list.
void fill(terrain_state* t, const int32_t* indices, int32_t count, uint32_t buffer, growable_array* runs)
{
    runs->count = 0;
    if (!buffer)
        return;
    std::vector<float> vertices;
    vertices.reserve(size_t(count) * kFloatsPerDecal);
    const decal* all = static_cast<const decal*>(t->decals.items);
    for (int32_t k = 0; k < count; ++k) {
        if (indices[k] < 0 || indices[k] >= t->decals.count)
            continue;
        const decal& d = all[indices[k]];
        float quad[kFloatsPerDecal];
        terrain_decal_quad(&d, quad);
        vertices.insert(vertices.end(), quad, quad + kFloatsPerDecal);
        decal_run* last = runs->count ? static_cast<decal_run*>(runs->items) + runs->count - 1 : nullptr;
        if (last && last->texture == d.texture) {
            ++last->count;
            continue;
        }
        const decal_run run{1, d.texture, d.normal_map, d.specular_map};
        if (!array_push(runs, &run)) {
            vertices.resize(vertices.size() - kFloatsPerDecal);   // no run to draw it with
        }
    }
    bvglBindBuffer(GL_ARRAY_BUFFER, buffer);
    bvglBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(float)), nullptr, GL_STATIC_DRAW);
    const size_t piece = size_t(kTerrainDecalsPerUpload) * kFloatsPerDecal;
    for (size_t at = 0; at < vertices.size(); at += piece) {
        const size_t n = vertices.size() - at < piece ? vertices.size() - at : piece;
        bvglBufferSubData(GL_ARRAY_BUFFER, GLintptr(at * sizeof(float)), GLsizeiptr(n * sizeof(float)),
                          vertices.data() + at);
    }
    bvglBindBuffer(GL_ARRAY_BUFFER, 0);
}

}  // namespace

void terrain_decal_quad(const decal* d, float out[30])
{
    const float r = d->aspect, s = d->size;
    const float ux = d->cosine * r * s * 0.5f, uz = -d->sine * r * s * 0.5f;
    const float vx = d->sine * s * 0.5f, vz = d->cosine * s * 0.5f;
    static const float corners[6][2] = {{0, 0}, {1, 0}, {0, 1}, {0, 1}, {1, 0}, {1, 1}};
    for (int k = 0; k < 6; ++k) {
        const float u = corners[k][0], v = corners[k][1];
        float* p = out + k * 5;
        p[0] = d->x + (2 * u - 1) * ux + (2 * v - 1) * vx;
        p[1] = -1.0f;
        p[2] = d->z + (2 * u - 1) * uz + (2 * v - 1) * vz;
        p[3] = u;
        p[4] = v;
    }
}

int terrain_decal_buffers_create(terrain_state* t)
{
    for (int r = 0; r < kTerrainBucketsPerSide; ++r)
        for (int c = 0; c < kTerrainBucketsPerSide; ++c)
            make_buffers(&t->decal_vertex_arrays[r][c], &t->decal_buffers[r][c]);
    make_buffers(&t->appended_vertex_array, &t->appended_buffer);
    return 1;
}

void terrain_decal_geometry_cell(terrain_state* t, int32_t row, int32_t column)
{
    const growable_array& cell = t->decal_buckets[row][column];
    fill(t, static_cast<const int32_t*>(cell.items), cell.count, t->decal_buffers[row][column],
         &t->decal_runs[row][column]);
}

void terrain_decal_geometry_appended(terrain_state* t, int32_t count)
{
    const int32_t first = t->decals.count - count > 0 ? t->decals.count - count : 0;
    std::vector<int32_t> indices;
    for (int32_t k = first; k < t->decals.count; ++k)
        indices.push_back(k);
    fill(t, indices.data(), int32_t(indices.size()), t->appended_buffer, &t->appended_runs);
}

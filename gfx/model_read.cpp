// The ".jm" reader. A file is white-space separated text (line breaks mean nothing):
//
//   "JM1"                         no bones, or
//   "JM2 <bones> <skeleton>"      <bones> weights follow every vertex (0..32)
//   then parts until a part header no longer reads:
//     <s> <a> <r> <g> <b> <n> <t>          floats, then vertex and triangle counts
//     n x  <px py pz nx ny nz u v> [<w0> .. <w(bones-1)>]
//     t x  <i0 i1 i2>                      0-based vertex numbers
//
// The legacy form has no header: "<n> <t>", n vertices of 8 numbers, t triangles,
// loaded as one white lit part with s = 32. A part whose counts are negative or
// implausibly large is read as a short part: it and everything after it are dropped.
#include "gfx/model.h"
#include "gfx/model_parts.h"

#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"

#include <cmath>

int32_t model_degenerate_count = 0;

namespace {

struct part_header {
    float s, a, r, g, b;
    int n, t;
};

// Folds one vertex's weights into four influences: each positive weight takes the
// slot holding the smallest weight (the lowest such slot), even when it is smaller
// itself. Returns 1 when an influence had to be pushed out.
int pack_weights(const float* weights, int bone_count, float slot_weight[4], int32_t slot_bone[4])
{
    int crowded = 0;
    for (int k = 0; k < 4; ++k) {
        slot_weight[k] = 0;
        slot_bone[k] = 0;
    }
    for (int j = 0; j < bone_count; ++j) {
        const float w = weights[j];
        // Also skips NaN and infinities, which would poison the sum below.
        if (!(w > 0) || !std::isfinite(w))
            continue;
        int smallest = 0;
        for (int k = 1; k < 4; ++k)
            if (slot_weight[k] < slot_weight[smallest])
                smallest = k;
        if (slot_weight[smallest] != 0)
            crowded = 1;
        slot_weight[smallest] = w;
        slot_bone[smallest] = j;
    }
    const float sum = slot_weight[0] + slot_weight[1] + slot_weight[2] + slot_weight[3];
    for (int k = 0; k < 4; ++k)
        slot_weight[k] = sum != 0 ? slot_weight[k] / sum : 0.25f;
    return crowded;
}

model* read_part_body(vfs_file* f, const char* name, const part_header& h, int bone_count)
{
    if (h.n < 0 || h.n > model_max_vertices || h.t < 0 || h.t > model_max_triangles)
        return nullptr;
    model* m = model_part_allocate(name, h.n, h.t, bone_count);
    m->s = h.s;
    m->r = h.r;
    m->g = h.g;
    m->b = h.b;
    m->a = h.s < 0 ? h.a : 1.0f;
    m->has_reflection = h.s == model_reflection_part;

    float weights[model_max_bones];
    bool warned = false;
    for (int i = 0; i < h.n; ++i) {
        float* p = m->positions + 3 * i;
        float* nrm = m->normals + 3 * i;
        float* uv = m->texcoords + 2 * i;
        if (vfs_scanf(f, "%f %f %f %f %f %f %f %f", &p[0], &p[1], &p[2], &nrm[0], &nrm[1], &nrm[2], &uv[0], &uv[1]) != 8)
            return model_part_free(m), nullptr;
        uv[1] = 1.0f - uv[1];
        if (bone_count == 0)
            continue;
        for (int j = 0; j < bone_count; ++j)
            if (vfs_scanf(f, "%f", &weights[j]) != 1)
                return model_part_free(m), nullptr;
        if (pack_weights(weights, bone_count, m->bone_weights + 4 * i, m->bone_numbers + 4 * i) && !warned) {
            char line[1024];
            format_string(line, sizeof line, "Warning: vertex with more than 4 bone influences in '%.900s'", name);
            console_print(line);
            warned = true;
        }
    }
    for (int i = 0; i < h.t; ++i) {
        int v[3];
        if (vfs_scanf(f, "%d %d %d", &v[0], &v[1], &v[2]) != 3)
            return model_part_free(m), nullptr;
        // A negative number becomes a huge unsigned one, which the range checks drop.
        for (int k = 0; k < 3; ++k)
            m->triangles[3 * i + k] = static_cast<uint32_t>(v[k]);
    }
    model_tangents(m);
    model_drop_degenerate(m);
    model_bounds(m);
    model_upload(m);
    return m;
}

// Reads the parts that follow a JM header; null when not even the first one reads.
model* read_parts(vfs_file* f, const char* name, int bone_count)
{
    model* first = model_read_part(f, name, bone_count);
    if (!first)
        return nullptr;
    model* last = first;
    while (model* next = model_read_part(f, name, bone_count)) {
        last->next_part = next;
        last = next;
        first->has_reflection |= next->has_reflection;
    }
    return first;
}

model* read_model(vfs_file* f, const char* name)
{
    int version = 0;
    if (vfs_scanf(f, "JM%d", &version) == 1) {
        if (version == 1)
            return read_parts(f, name, 0);
        if (version != 2)
            return nullptr;
        int bones = 0;
        char skeleton[1024];
        if (vfs_scanf(f, "%d %1023s", &bones, skeleton) != 2)
            return nullptr;
        if (bones < 0 || bones > model_max_bones) {
            char line[1024];
            format_string(line, sizeof line, "Error: %d bones in '%.900s', at most %d are supported", bones, name,
                          model_max_bones);
            console_print(line);
            return nullptr;
        }
        return read_parts(f, name, bones);
    }
    part_header legacy = {32, 1, 1, 1, 1, 0, 0};
    if (vfs_scanf(f, "%d %d", &legacy.n, &legacy.t) != 2)
        return nullptr;
    return read_part_body(f, name, legacy, 0);
}

}  // namespace

model* model_read_part(vfs_file* f, const char* name, int bone_count)
{
    if (bone_count < 0 || bone_count > model_max_bones)
        return nullptr;
    part_header h;
    if (vfs_scanf(f, "%f %f %f %f %f %d %d", &h.s, &h.a, &h.r, &h.g, &h.b, &h.n, &h.t) != 7)
        return nullptr;
    return read_part_body(f, name, h, bone_count);
}

model* model_load_file(const char* name)
{
    vfs_file* f = vfs_open(name, "rb");
    if (!f)
        return nullptr;
    model_degenerate_count = 0;
    model* m = read_model(f, name);
    vfs_close(f);
    if (model_degenerate_count > 0) {
        char line[256];
        format_string(line, sizeof line, "%d degenerate triangles deleted in %.100s", model_degenerate_count, name);
        console_print(line);
    }
    return m;
}

// Drawing models: the level of detail from the camera distance, the opaque pass over
// lit and self-lit parts with material uniforms from the track light, the reflection
// pass over the environment layers, and the edge lines of the editor.
#include "gfx/model.h"
#include "gfx/model_scene.h"

#include "gfx/gl_layer.h"
#include "gfx/shaders.h"
#include "gfx/view_frustum.h"

#include <algorithm>
#include <cmath>

float model_alpha = 1.0f;
int32_t model_has_specular_map = 0;
int32_t model_triangles_drawn = 0;
int32_t model_vertices_drawn = 0;

namespace {

// The counters only feed a statistics line; past INT32_MAX they wrap rather than
// overflow a signed add.
void count_drawn(int32_t& counter, int32_t amount)
{
    counter = static_cast<int32_t>(static_cast<uint32_t>(counter) + static_cast<uint32_t>(amount));
}

void draw_part(const model* part)
{
    count_drawn(model_triangles_drawn, part->triangle_count);
    count_drawn(model_vertices_drawn, part->vertex_count);
    bvglBindVertexArray(part->vertex_array);
    bvglDrawElements(GL_TRIANGLES, 3 * part->triangle_count, GL_UNSIGNED_INT, nullptr);
    bvglBindVertexArray(0);
}

int bones_sent(const float* centres, const float* translations, const float* rotations, int bone_count)
{
    if (!centres || !translations || !rotations)
        return 0;
    return std::clamp(bone_count, 0, model_max_bones);
}

void set_bones(const float* centres, const float* translations, const float* rotations, int bone_count)
{
    gl_uniform_bones(bones_sent(centres, translations, rotations, bone_count), centres, translations, rotations);
}

float length3(const float* v)
{
    return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
}

// How far a bone's rotation can carry a point: 1 for a rotation, else at most the
// Frobenius norm.
float stretch(const float* r)
{
    double worst = 0, frobenius = 0;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j) {
            double dot = 0;
            for (int k = 0; k < 3; ++k)
                dot += double(r[3 * i + k]) * r[3 * j + k];
            worst = std::max(worst, std::fabs(dot - (i == j ? 1 : 0)));
        }
    for (int k = 0; k < 9; ++k)
        frobenius += double(r[k]) * r[k];
    return worst < 1e-3 ? 1.001f : float(std::sqrt(frobenius));
}

// Where the skinned parts of one draw can reach: each vertex is a blend of its bones'
// placements R (v - c) + t, so it lies within |v - c| stretched of some t, and
// |v - c| <= |v - part centre| + |c - part centre|.
struct skin_reach {
    int bones = 0;
    float centre[3] = {0, 0, 0};
    float spread = 0;       // largest |t - centre|
    float stretch = 1;      // largest bone stretch
    const float* bone_centres = nullptr;
};

skin_reach reach_of(const float* centres, const float* translations, const float* rotations, int bones)
{
    skin_reach s;
    s.bones = bones;
    s.bone_centres = centres;
    if (bones < 1)
        return s;
    for (int k = 0; k < 3; ++k)
        s.centre[k] = translations[k];
    for (int b = 0; b < bones; ++b) {
        const float d[3] = {translations[3 * b] - s.centre[0], translations[3 * b + 1] - s.centre[1],
                            translations[3 * b + 2] - s.centre[2]};
        s.spread = std::max(s.spread, length3(d));
        s.stretch = std::max(s.stretch, stretch(rotations + 9 * b));
    }
    return s;
}

// True when the part cannot put a pixel in the view.
bool out_of_view(const model* part, const view_frustum& view, const skin_reach& skin)
{
    if (!part->bounds_known)
        return false;
    if (skin.bones == 0)
        return frustum_misses_sphere(view, part->bound_centre, part->bound_radius);
    // Without weights of its own a part takes GL's default attributes, which name a bone.
    if (!part->bone_weights || part->skin_bones < 0 || part->skin_bones > skin.bones)
        return false;
    float far = 0;
    for (int b = 0; b < part->skin_bones; ++b) {
        const float* c = skin.bone_centres + 3 * b;
        const float d[3] = {c[0] - part->bound_centre[0], c[1] - part->bound_centre[1], c[2] - part->bound_centre[2]};
        far = std::max(far, length3(d));
    }
    return frustum_misses_sphere(view, skin.centre, skin.spread + skin.stretch * (part->bound_radius + far));
}

void set_material(const model* part)
{
    if (part->s == model_self_lit_part) {
        gl_uniform_ambient(part->r, part->g, part->b, model_alpha);
        gl_uniform_diffuse(0, 0, 0);
        gl_uniform_specular_color(0, 0, 0);
        gl_uniform_shininess(1);
        return;
    }
    const model_light& light = model_lighting;
    gl_uniform_ambient(light.ambient[0] + light.global_ambient[0], light.ambient[1] + light.global_ambient[1],
                       light.ambient[2] + light.global_ambient[2], model_alpha);
    gl_uniform_diffuse(light.sun_color[0], light.sun_color[1], light.sun_color[2]);
    // A bound specular map brings its own colour; otherwise the part tints the sun.
    if (model_has_specular_map)
        gl_uniform_specular_color(light.sun_color[0], light.sun_color[1], light.sun_color[2]);
    else
        gl_uniform_specular_color(light.sun_color[0] * part->r, light.sun_color[1] * part->g,
                                  light.sun_color[2] * part->b);
    gl_uniform_shininess(std::fmax(part->s, 0.125f));
}

}  // namespace

const model* model_choose_lod(const model* m, const float position[3])
{
    const float dx = position[0] - camera_position[0];
    const float dy = position[1] - camera_position[1];
    const float dz = position[2] - camera_position[2];
    const float d2 = (dx * dx + dy * dy + dz * dz) * lod_scale * lod_scale;
    const model* choice = m;
    for (const model* variant = m->next_lod; variant; variant = variant->next_lod) {
        const float k = variant->lod_key - lod_bias;
        if (k > 0 && k * k > d2)
            break;
        choice = variant;
    }
    return choice;
}

void model_draw_skinned(const model* m, const float position[3], const float* bone_centres,
                        const float* bone_translations, const float* bone_rotations, int bone_count)
{
    if (!m)
        return;
    const model* chosen = model_choose_lod(m, position);
    set_bones(bone_centres, bone_translations, bone_rotations, bone_count);
    const view_frustum view = gl_current_frustum();
    const skin_reach skin = reach_of(bone_centres, bone_translations, bone_rotations,
                                     bones_sent(bone_centres, bone_translations, bone_rotations, bone_count));
    // Reflection layers come last in a file and belong to the second pass only.
    for (const model* part = chosen; part && part->s != model_reflection_part; part = part->next_part) {
        if (out_of_view(part, view, skin))
            continue;
        set_material(part);
        draw_part(part);
    }
}

void model_draw(const model* m, const float position[3])
{
    model_draw_skinned(m, position, nullptr, nullptr, nullptr, 0);
}

void model_draw_reflection_skinned(const model* m, const float position[3], const float* bone_centres,
                                   const float* bone_translations, const float* bone_rotations, int bone_count)
{
    if (!m)
        return;
    const model* chosen = model_choose_lod(m, position);
    set_bones(bone_centres, bone_translations, bone_rotations, bone_count);
    const view_frustum view = gl_current_frustum();
    const skin_reach skin = reach_of(bone_centres, bone_translations, bone_rotations,
                                     bones_sent(bone_centres, bone_translations, bone_rotations, bone_count));
    for (const model* part = chosen; part; part = part->next_part) {
        if (part->s != model_reflection_part || out_of_view(part, view, skin))
            continue;
        gl_uniform_specular_color(part->r * part->a, part->g * part->a, part->b * part->a);
        draw_part(part);
    }
}

void model_draw_reflection(const model* m, const float position[3])
{
    model_draw_reflection_skinned(m, position, nullptr, nullptr, nullptr, 0);
}

int model_has_reflection(const model* m)
{
    return m && reflections && m->has_reflection ? 1 : 0;
}

void model_draw_edges(const model* m)
{
    if (!m)
        return;
    while (m->next_lod)
        m = m->next_lod;
    const uint32_t n = static_cast<uint32_t>(m->vertex_count);
    bvglBegin(GL_LINES);
    for (int t = 0; t < m->triangle_count; ++t) {
        const uint32_t* tri = m->triangles + 3 * t;
        if (tri[0] >= n || tri[1] >= n || tri[2] >= n)
            continue;
        const int order[6] = {0, 1, 1, 2, 2, 0};
        for (int k : order) {
            const float* p = m->positions + 3 * tri[k];
            bvglVertex3f(p[0], p[1], p[2]);
        }
    }
    bvglEnd();
}

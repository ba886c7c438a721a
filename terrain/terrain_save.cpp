// Saving the edited terrain back into its track folder, and the shading it bakes.
//
// shading.ppm:   "P6\n<N> <N>\n255\n", then per point in row order three bytes, each
//                shading channel doubled (255 from 128 up).
// shadingx2.ppm: the same header and the undoubled channels.
// tilemap:       the 2^n x 2^n tile bytes.
// decals:        one line "[%f %f] %f %f %f %s\n" per decal: x, z, angle, size,
//                aspect and the decal texture's file name.
#include "terrain/terrain_files.h"

#include "foundation/vfs/vfs.h"
#include "gfx/texture_cache.h"
#include "terrain/lighting.h"
#include "terrain/refused_tail.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string loaded_folder;

struct shading_job {
    const terrain_state* terrain;
    const terrain_light* light;
    bool doubled;
};

int write_shading(vfs_file* f, void* context)
{
    const shading_job& job = *static_cast<const shading_job*>(context);
    const int32_t N = job.terrain->size;
    if (vfs_printf(f, "P6\n%d %d\n255\n", N, N) <= 0)
        return 0;
    std::vector<uint8_t> row(size_t(N) * 3);
    for (int32_t j = 0; j < N; ++j) {
        for (int32_t i = 0; i < N; ++i) {
            uint8_t* rgb = &row[size_t(i) * 3];
            terrain_shading_at(job.terrain, i, j, job.light, rgb);
            if (job.doubled)
                for (int c = 0; c < 3; ++c)
                    rgb[c] = rgb[c] >= 128 ? 255 : uint8_t(rgb[c] * 2);
        }
        if (vfs_write(f, row.data(), row.size()) != row.size())
            return 0;
    }
    return 1;
}

int write_tilemap(vfs_file* f, void* context)
{
    const terrain_state* t = static_cast<const terrain_state*>(context);
    const size_t bytes = size_t(1) << (2 * t->n);
    return vfs_write(f, t->tile_map, bytes) == bytes ? 1 : 0;
}

int write_decals(vfs_file* f, void* context)
{
    const terrain_state* t = static_cast<const terrain_state*>(context);
    const decal* d = static_cast<const decal*>(t->decals.items);
    for (int32_t k = 0; k < t->decals.count; ++k) {
        // A decal whose image has no name could not be found again; it is left out.
        const char* name = texture_name(d[k].texture);
        if (!name)
            continue;
        if (vfs_printf(f, "[%f %f] %f %f %f %s\n", double(d[k].x), double(d[k].z), double(d[k].angle),
                       double(d[k].size), double(d[k].aspect), name) <= 0)
            return 0;
    }
    return t->decals_refused ? refused_tail_put(t->decals_refused, f) : 1;
}

inline float height(const terrain_state* t, int32_t i, int32_t j)
{
    const int32_t last = t->size - 1;
    i = i < 0 ? 0 : (i > last ? last : i);
    j = j < 0 ? 0 : (j > last ? last : j);
    return t->heights[size_t(j) * size_t(t->size) + size_t(i)];
}

}  // namespace

const char* terrain_folder()
{
    return loaded_folder.c_str();
}

void terrain_remember_folder(const char* folder)
{
    loaded_folder = folder ? folder : "";
}

terrain_light terrain_track_light()
{
    terrain_light light;
    memcpy(light.sun, lighting.sun_vector, sizeof light.sun);
    memcpy(light.sun_colour, lighting.sun_color, sizeof light.sun_colour);
    memcpy(light.ambient, lighting.ambient, sizeof light.ambient);
    return light;
}

void terrain_shading_at(const terrain_state* t, int32_t i, int32_t j, const terrain_light* light, uint8_t rgb[3])
{
    const float dx = height(t, i + 1, j) - height(t, i - 1, j);
    const float dz = height(t, i, j + 1) - height(t, i, j - 1);
    const float s = 2.0f * t->cell;
    float lit = ((s * s) * light->sun[1] - dz * s * light->sun[2] - dx * s * light->sun[0]) /
                std::sqrt(s * s * s * s + (dz * s) * (dz * s) + (dx * s) * (dx * s));
    lit = lit < 0.0f ? 0.0f : (lit > 1.0f ? 1.0f : lit);
    if (!(lit == lit))
        lit = 0.0f;
    const int32_t last = t->size - 1;
    const uint8_t shadow = t->shadow ? t->shadow[size_t(j < 0 ? 0 : (j > last ? last : j)) * size_t(t->size) +
                                                 size_t(i < 0 ? 0 : (i > last ? last : i))]
                                     : 0;
    lit *= 1.0f - float(shadow) / 255.0f;
    for (int c = 0; c < 3; ++c) {
        const float v = (lit * light->sun_colour[c] + light->ambient[c]) * 0.5f * 255.0f;
        rgb[c] = uint8_t(v >= 255.0f ? 255 : (v > 0.0f ? int(v) : 0));
    }
}

int terrain_decals_kept(const terrain_state* t)
{
    return t->decals_refused && t->decals_refused->too_long ? 1 : 0;
}

int terrain_save(terrain_state* t)
{
    const terrain_light light = terrain_track_light();
    return terrain_save_to(t, terrain_folder(), &light);
}

int terrain_save_to(terrain_state* t, const char* folder, const terrain_light* light)
{
    if (!t->heights || !folder || !*folder)
        return 0;
    if (!terrain_write_heights(t, folder))
        return 0;
    shading_job doubled{t, light, true}, plain{t, light, false};
    if (!terrain_write_file(folder, "shading.ppm", write_shading, &doubled) ||
        !terrain_write_file(folder, "shadingx2.ppm", write_shading, &plain) ||
        !terrain_write_file(folder, "tilemap", write_tilemap, t))
        return 0;
    if (t->decals.items && !(t->decals_refused && refused_tail_keeps_file(t->decals_refused, "decals")) &&
        !terrain_write_file(folder, "decals", write_decals, t))
        return 0;
    return 1;
}

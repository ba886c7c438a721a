// The objects a save writes, printed as the files print them ("%f"): timing gates,
// the track's statues and billboards, decals and gradients. Two sessions that agree on
// this text agree on everything the save keeps of them.
#pragma once
#include "editor/gradients.h"
#include "gfx/texture_cache.h"
#include "terrain/billboards.h"
#include "terrain/decals.h"
#include "terrain/statues.h"
#include "terrain/terrain_state.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <cstdarg>
#include <cstdio>
#include <string>

namespace edtest {

inline std::string printed(const char* format, ...) __attribute__((format(printf, 1, 2)));
inline std::string printed(const char* format, ...)
{
    char line[512];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    return line;
}

inline std::string saved_objects_text()
{
    std::string s;
    for (int g = 0; g < timing_gates.checkpoint_count; ++g) {
        const timing_gate& c = timing_gates.checkpoints[g];
        s += printed("gate %f %f %f %f %f %f %f\n", c.x, c.y, c.z, c.dx, c.dy, c.dz, c.length);
    }
    for (int i = first_track_statue; i < statue_count(); ++i) {
        const statue* t = statue_at(i);
        s += printed("statue %f %f %f %f %s\n", t->x, t->height_above_ground, t->z, t->angle, t->texture_file);
    }
    for (int i = first_track_billboard; i < billboard_count(); ++i) {
        const billboard* b = billboard_at(i);
        s += printed("billboard %f %f %f %f %f %s\n", b->x, b->height_above_ground, b->z, b->size, b->aspect,
                     b->name);
    }
    for (int i = 0; i < track_terrain.decals.count; ++i) {
        const decal* d = terrain_decal(&track_terrain, i);
        s += printed("decal %f %f %f %f %f %s\n", d->x, d->z, d->angle, d->size, d->aspect, texture_name(d->texture));
    }
    for (int i = 0; i < gradient_count(); ++i) {
        const gradient* g = gradient_at(i);
        s += printed("gradient %f %f %f %f\n", g->start_x, g->start_z, g->end_x, g->end_z);
        const auto* p = static_cast<const gradient_point*>(g->points.items);
        const auto* k = static_cast<const uint8_t*>(g->kinds.items);
        for (int j = 0; j < g->points.count; ++j)
            s += printed(" %f %f %d\n", p[j].distance, p[j].height, j < g->kinds.count ? int(k[j]) : -1);
    }
    return s;
}

}  // namespace edtest

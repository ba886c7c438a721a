// A track's light: sun, ambient light, sky textures, lens flares, fog, clipping
// planes and dynamic lighting, read from the track folder's optional "lighting" file.
// The world drawing and the projection read the record; the fog goes to the shaders.
#pragma once
#include <cstdint>

#include "foundation/growable_array.h"

inline constexpr int flare_max_elements = 8;

struct flare {
    float anchor[3];            // a position (point flare) or a direction (vector flare)
    int32_t element_count;      // 0..8
    float offset[flare_max_elements][2];
    float color[flare_max_elements][3];
    float size[flare_max_elements];
    uint32_t texture[flare_max_elements];
    int32_t kind;               // 0 point, 1 vector
};

enum lighting_sky { sky_n, sky_e, sky_s, sky_w, sky_u, sky_env, sky_count };

struct lighting_state {
    float sun_vector[3];        // normalised after reading
    float sun_color[3];
    float ambient[3];
    float global_ambient[3];
    float near_plane;
    float far_plane;
    int32_t dynamic_lighting;   // 0 / 1
    uint32_t sky[sky_count];
    float fog_color[3];         // kept from track to track when a file has no fog line
    float fog_density;
    growable_array flares;      // flare records
};

extern lighting_state lighting;

// Resets the record, reads the file (a data path such as "@" + folder + "/lighting")
// and, when it existed, loads the default skies still missing and sets the fog of
// the shader programs norm_spec_lit, terrain and unlit.
void lighting_read(const char* path);

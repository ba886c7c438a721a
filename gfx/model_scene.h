// What the model drawing reads of the world it draws into and of the settings:
// the camera the level-of-detail distance is measured from (stored by the world
// renderer before it draws), the track light that colours lit parts (kept current
// by the lighting reader), and the model settings of the configuration.
#pragma once
#include <cstdint>

extern float camera_position[3];

struct model_light {
    float sun_color[3];
    float ambient[3];
    float global_ambient[3];
};
// Sun (1, 1, 1), ambient (0.5, 0.5, 0.5), global ambient (0.2, 0.2, 0.2) until a
// track's lighting says otherwise.
extern model_light model_lighting;

// Level-of-detail distance scale and bias, from the model_detail setting or the
// "--lod-scale" and "--lod-bias" options.
extern float lod_scale;
extern float lod_bias;
// The "reflections" setting: 0 turns every reflection pass off.
extern int32_t reflections;
// 0..2: optional diagnostic lines when non-zero.
extern int verbose_level;

// The ground of a course: the natural land (hills and a gentle deterministic
// roughness), the track cut into it along the centreline with its features, and
// the tile of every 2 x 2 cells.
#pragma once
#include "course.h"

#include <cstdint>
#include <vector>

enum ground_tile : uint8_t { tile_dirt = 0, tile_packed = 1, tile_grass = 2 };

struct ground {
    int size = 0;                 // points per side
    float cell = 1;
    std::vector<float> heights;   // size * size, rows of constant z
    int tiles_side = 0;
    std::vector<uint8_t> tiles;   // tiles_side^2
};

ground build_ground(const course& c, const std::vector<centre_sample>& line);

// Brightness seen from each point towards the sun: 255 lit, darker in the shadow of
// the ground itself, softened over a few points.
std::vector<uint8_t> ground_shadows(const ground& g, const float sun[3]);

// Value noise in 0..1 that repeats every `period` units along both axes.
float tiling_noise(float x, float z, int period, uint32_t seed);

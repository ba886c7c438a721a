// The loaded track's ground made in memory for the contact tests: heights from a
// function of (x, z), one tile with the default materials.
#pragma once
#include "terrain/tile_materials.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

#include <functional>

class GroundTrack {
public:
    GroundTrack(int n, float cell, const std::function<float(float, float)>& height)
    {
        terrain_init(&track_terrain);
        EXPECT_EQ(terrain_alloc(&track_terrain, n, cell, -1000.0f, 1000.0f), 1);
        for (int j = 0; j < track_terrain.size; ++j)
            for (int i = 0; i < track_terrain.size; ++i)
                track_terrain.heights[j * track_terrain.size + i] = height(i * cell, j * cell);
        track_terrain.tile_count = 1;
        terrain_tile_defaults(&track_terrain, 0);
    }
    ~GroundTrack() { terrain_free(&track_terrain); }
    GroundTrack(const GroundTrack&) = delete;
    GroundTrack& operator=(const GroundTrack&) = delete;
};

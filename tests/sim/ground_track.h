// For the contact tests: the loaded track's ground made in memory (heights from a
// function of (x, z), one tile with the default materials) and a lone wheel.
#pragma once
#include "sim/physics_world.h"
#include "sim/wheel_contact.h"
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

// A wheel of its own (ring 1, tyre 0.3, axle x) on a new body of unit mass at (x, y, z);
// the caller destroys the body.
inline wheel_contact lone_wheel(double x, double y, double z)
{
    wheel_contact w{};
    w.body = dBodyCreate(physics_world);
    dMass m;
    dMassSetSphereTotal(&m, 1.0, 1.0);
    dBodySetMass(w.body, &m);
    dBodySetPosition(w.body, x, y, z);
    w.axle_axis[0] = 1.0f;
    w.ring_radius = 1.0f;
    w.tyre_radius = 0.3f;
    return w;
}

// The tables the world drawing reads, reset for each test: an empty billboard table,
// the track terrain flat at height 0, and the 2000 particle billboards first in the
// table as track load makes them.
#pragma once
#include "race/race_state.h"
#include "terrain/billboards.h"
#include "terrain/terrain_state.h"
#include "terrain/track_list.h"

#include <gtest/gtest.h>

struct ViewTables : ::testing::Test {
    void SetUp() override
    {
        billboards_reset();
        terrain_init(&track_terrain);
        ASSERT_EQ(terrain_alloc(&track_terrain, 4, 8.0f, 0.0f, 0.0f), 1);
        particle_boards();
    }
    void TearDown() override
    {
        terrain_free(&track_terrain);
        billboards_free();
    }
    // A billboard of this texture standing at (x, y, z).
    static int32_t board(float x, float y, float z, uint32_t texture, float size = 2, float aspect = 1)
    {
        const int32_t i = create_billboard(x, 0, z, size, aspect, nullptr);
        billboard* b = billboard_at(i);
        b->y = y;
        b->texture = texture;
        return i;
    }
    // The 2000 particle billboards, as track load makes them.
    static void particle_boards()
    {
        for (int32_t k = 0; k < kRoostParticles; ++k)
            race.particle_billboards[k] = create_billboard(0, 0, 0, 1, 1, nullptr);
    }
};

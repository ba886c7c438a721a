// A small terrain record on the heap for the tests, released when it goes.
#pragma once
#include "terrain/terrain_state.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

struct TestTerrain {
    std::unique_ptr<terrain_state> record = std::make_unique<terrain_state>();

    TestTerrain(int n, float cell, float min_height = 0.0f, float max_height = 0.0f)
    {
        terrain_init(record.get());
        EXPECT_EQ(terrain_alloc(record.get(), n, cell, min_height, max_height), 1);
    }
    ~TestTerrain() { terrain_free(record.get()); }
    TestTerrain(const TestTerrain&) = delete;
    TestTerrain& operator=(const TestTerrain&) = delete;

    terrain_state* operator->() { return record.get(); }
    terrain_state* get() { return record.get(); }
    float& h(int i, int j) { return record->heights[j * record->size + i]; }

    // Uneven ground, so that refinement varies: heights within -5..5, the range kept.
    void hills()
    {
        for (int j = 0; j < record->size; ++j)
            for (int i = 0; i < record->size; ++i)
                h(i, j) = 4.0f * std::sin(i * 0.5f) * std::cos(j * 0.35f) + float((i * 7 + j * 3) % 5) * 0.2f;
        record->min_height = -5.0f;
        record->max_height = 5.0f;
    }

    bool block_marked(int row, int column)
    {
        const int bit = row * terrain_blocks_per_side(record.get()) + column;
        return (record->dirty_blocks[bit >> 3] >> (bit & 7)) & 1;
    }
    int marked_blocks()
    {
        const int b = terrain_blocks_per_side(record.get());
        int count = 0;
        for (int k = 0; k < b * b; ++k)
            count += block_marked(k / b, k % b);
        return count;
    }
};

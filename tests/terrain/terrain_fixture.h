// A small terrain record on the heap for the tests, released when it goes.
#pragma once
#include "terrain/terrain_state.h"

#include <gtest/gtest.h>

#include <initializer_list>
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

    // Rows of heights, z = 0 first; also copied into the as-loaded grid.
    void set_rows(std::initializer_list<std::initializer_list<float>> rows)
    {
        int j = 0;
        for (auto row : rows) {
            int i = 0;
            for (float v : row) {
                h(i, j) = v;
                record->heights_copy[j * record->size + i] = v;
                ++i;
            }
            ++j;
        }
    }

    bool block_marked(int row, int column)
    {
        int bit = row * terrain_blocks_per_side(record.get()) + column;
        return (record->dirty_blocks[bit >> 3] >> (bit & 7)) & 1;
    }

    int marked_blocks()
    {
        int b = terrain_blocks_per_side(record.get()), count = 0;
        for (int r = 0; r < b; ++r)
            for (int c = 0; c < b; ++c)
                count += block_marked(r, c);
        return count;
    }
};

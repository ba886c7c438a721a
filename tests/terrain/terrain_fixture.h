// A small terrain record on the heap for the tests, released when it goes.
#pragma once
#include "terrain/terrain_state.h"

#include <gtest/gtest.h>

#include <cmath>
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

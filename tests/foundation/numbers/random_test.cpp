#include <gtest/gtest.h>

#include <random>

#include "foundation/numbers/random.h"

namespace {

TEST(Random, PublishedOutputsAndTheStandardSequence)
{
    random_seed(1);
    EXPECT_EQ(random_next(), 1791095845u);
    random_seed(5489);
    EXPECT_EQ(random_next(), 3499211612u);
    // Reseeded part-way through a pass, and followed over many passes, so the
    // one-word-at-a-time regeneration meets every wrap of the state.
    for (uint32_t seed : {5489u, 0u, 0x80000000u, 0xffffffffu}) {
        random_seed(seed);
        std::mt19937 reference(seed);
        uint32_t value = 0;
        for (int i = 1; i <= 10000; ++i) {
            value = random_next();
            ASSERT_EQ(value, reference()) << "seed " << seed << " draw " << i;
        }
        if (seed == 5489) {
            EXPECT_EQ(value, 4123659995u);
        }
    }
}

}  // namespace

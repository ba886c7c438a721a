#include "foundation/numbers/random.h"

namespace {

constexpr int kWords = 624;
constexpr int kMiddle = 397;

uint32_t words[kWords];
int next_index = kWords;   // kWords: freshly seeded, the next draw regenerates word 0
bool seeded = false;

}  // namespace

void random_seed(uint32_t seed)
{
    words[0] = seed;
    for (uint32_t i = 1; i < kWords; ++i)
        words[i] = 1812433253u * (words[i - 1] ^ (words[i - 1] >> 30)) + i;
    next_index = kWords;
    seeded = true;
}

uint32_t random_next()
{
    if (!seeded)
        random_seed(5489);
    int i = next_index % kWords;
    // Regenerating only the word about to be used keeps the standard sequence: word
    // i + 1 is still of the old pass, word i + 397 - 624 already of the new one.
    uint32_t y = (words[i] & 0x80000000u) | (words[(i + 1) % kWords] & 0x7fffffffu);
    words[i] = words[(i + kMiddle) % kWords] ^ (y >> 1) ^ ((y & 1) ? 0x9908B0DFu : 0u);
    next_index = i + 1;

    y = words[i];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// The simulation's one pseudo-random generator: MT19937, seeded at track load.
#pragma once
#include <cstdint>

void random_seed(uint32_t seed);
uint32_t random_next();

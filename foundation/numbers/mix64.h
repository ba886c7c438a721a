// The 64-bit mixer of every keyed hash and unguessable name here (the splitmix64
// finaliser): each bit of the result depends on every bit of x.
#pragma once
#include <cstdint>

inline uint64_t mix64(uint64_t x)
{
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ull;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebull;
    x ^= x >> 31;
    return x;
}

// RIPEMD-160, the published 160-bit hash, with an incremental interface.
#pragma once
#include <cstddef>
#include <cstdint>

struct ripemd160_ctx {
    uint32_t state[5];
    uint8_t digest[20];      // valid after ripemd160_final
    uint32_t count_low;      // bytes absorbed, low and high words
    uint32_t count_high;
    uint8_t buffer[64];
    uint32_t buffered;
};

void ripemd160_init(ripemd160_ctx* ctx);
void ripemd160_update(ripemd160_ctx* ctx, const void* data, size_t length);
void ripemd160_final(ripemd160_ctx* ctx);

// 1 when text is exactly 40 hex digits (either case) spelling the 20-byte digest.
int ripemd160_matches_hex(const char* text, const uint8_t digest[20]);
// Writes the 40 lower-case digits and a terminator into out (41 bytes).
void ripemd160_to_hex(const uint8_t digest[20], char out[41]);

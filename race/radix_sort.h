// One stable counting-sort pass over record indices by one byte of their 32-bit sort
// keys; four passes (shifts 0, 8, 16, 24) sort the indices by key, ascending.
#pragma once
#include <cstdint>

// dst receives src's indices in the order of the byte (uint32(key) >> shift) & 0xff;
// equal bytes keep their order. keys is the first record's key and key_stride the
// bytes from one record's key to the next. Every index must name a valid record.
void radix_pass(int32_t* dst, const int32_t* src, int32_t count, int shift, const int32_t* keys,
                int32_t key_stride);

// The pass over the billboard table's depth keys.
void radix_pass_a(int32_t* dst, const int32_t* src, int32_t count, int shift);

// The pass over the world renderer's second table of draw records, whose owner binds
// the keys (their first record and the record size in bytes) before sorting.
void radix_pass_b_bind(const void* first_key, int32_t record_size);
void radix_pass_b(int32_t* dst, const int32_t* src, int32_t count, int shift);

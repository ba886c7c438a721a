// Sound data shared by a sound and all its voices, and the ring rule of stream
// writes that every driver follows.
#pragma once
#include <cstdint>

struct qorl_sound_data {
    int32_t refcount;
    int32_t length;  // bytes, always at least 1
    uint8_t* bytes;  // unsigned 8-bit mono, 128 = silence
};

// A copy of `data` (silence when data is null) with one user; null when length < 1
// or memory runs out.
qorl_sound_data* qorl_sound_data_new(int32_t length, const void* data);
qorl_sound_data* qorl_sound_data_ref(qorl_sound_data* d);
void qorl_sound_data_unref(qorl_sound_data* d);

// Where a stream write lands in a ring of ring_length bytes: `count` bytes taken
// from `source` go to `offset` (0 <= offset < ring_length), continuing at the start
// once the ring's end is reached.
struct qorl_ring_span {
    int32_t offset;
    int32_t count;
    const uint8_t* source;
};

// 0 when there is nothing sensible to write (negative length, null data, no ring).
int qorl_ring_span_of(int32_t ring_length, int32_t length, const void* data, int32_t offset,
                      qorl_ring_span* span);
// Copies a span into the ring in one or two pieces.
void qorl_ring_copy(uint8_t* ring, int32_t ring_length, const qorl_ring_span& span);

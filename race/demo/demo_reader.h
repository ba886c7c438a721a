// The reader's state, shared by the reading and the seeking.
#pragma once
#include <cstdint>

struct vfs_file;
struct rider_request;

struct demo_reader_state {
    vfs_file* file = nullptr;        // null = not playing
    int32_t version = 0;             // 4, 5 or 6
    const char* track = nullptr;     // interned; null when no demo is open
    int64_t block_start = 0;         // the first block (or frame): the header's size
    int64_t position = 0;            // the next block to read
    uint32_t previous_length = 0;    // payload length of the block before position
    int32_t read_ahead_tick = 1;
    int32_t first_block_tick = -1;
    int32_t tick_offset = 0;         // the ghost's shift of every tick read
    int64_t deformation_position = 0;// the last deformation block applied
    bool reposition = false;         // the handle is not at position (after a short read)
    bool ended = false;              // a short or damaged read stopped the reading until a seek
};
extern demo_reader_state demo_reader;

// The current tick jumps (race clock and simulation clock together).
void demo_set_current_tick(int32_t tick);
// Bytes of one frame record of versions 4 and 5.
int32_t demo_record_size();
// Track reset's rider for demo rider index (state-driven, the demo's texts), or null.
const rider_request* demo_rider_request(int32_t index);
// Walks the version-6 chain back from the reading position to the first block whose
// tick is at or below stop (or the first block); a damaged chain ends at the first.
void demo_walk_back(int32_t stop);

// A little-endian 32-bit value of the file.
inline uint32_t demo_u32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

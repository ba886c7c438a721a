// Chain buffers: one allocation holding an image's base level followed by every
// smaller level down to 1x1 (sides halved with integer division, clamped at 1).
// Texels run in rows from the top, each row left to right, `channels` bytes each.
#pragma once
#include <cstdint>

// Largest side and base texel count any reader accepts; larger headers are refused
// before anything is allocated, so a hostile size cannot overflow or exhaust memory.
inline constexpr int image_max_side = 16384;
inline constexpr int64_t image_max_texels = int64_t(1) << 26;

// 1 when both sides are 1..image_max_side and their product is within the limit.
int image_dimensions_ok(int64_t w, int64_t h);

// The 16-bit grey pictures hold terrain heights, one texel per grid point, and the
// largest grid is 8193 x 8193: a few texels past the general limit. At two bytes a
// texel and no chain, such a picture still takes less memory than the largest texture.
inline constexpr int64_t image_max_gray16_texels = int64_t(8193) * 8193;
// The same for those pictures: sides 1..image_max_side, product up to the limit above.
int image_gray16_dimensions_ok(int64_t w, int64_t h);

// Texels in a whole chain for a w x h base (one texel for an empty image).
int64_t chain_texel_count(int w, int h);

// An uninitialised chain buffer (xmalloc); null only when the sizes are refused.
uint8_t* chain_alloc(int w, int h, int channels);

// Whether image data that ended early is still read, the rest filled: when what is
// missing is no more than what was there plus 64 KiB. A cut file keeps its picture;
// a header that declares a huge image over little or no data is refused, having cost
// no more than its own length (the chain's pages are never touched).
int image_short_data_usable(uint64_t present_bytes, uint64_t declared_bytes);

// Start of level `level` inside a chain (level 0 is the base).
uint8_t* chain_level(uint8_t* chain, int w, int h, int channels, int level);

// Number of levels of a w x h chain, the 1x1 level included.
int chain_level_count(int w, int h);

inline int chain_next_side(int side) { return side / 2 > 1 ? side / 2 : 1; }
inline int is_power_of_two(int v) { return v > 0 && (v & (v - 1)) == 0; }

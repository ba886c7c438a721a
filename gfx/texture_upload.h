// From decoded pixels to a GL texture: power-of-two resampling, detail reduction (by
// the user's setting and by dropping levels that carry no detail), and the upload of
// every level with its wrap, filter, compression and memory accounting.
#pragma once
#include <cstdint>

// texture_flags bits.
inline constexpr int texture_repeat_h = 1;
inline constexpr int texture_repeat_v = 2;
inline constexpr int texture_compress_flag = 4;
inline constexpr int texture_base_only = 8;

// Bytes of texture data uploaded (compressed sizes where the driver compressed).
extern int64_t texture_memory;

// Animation images: sides that are not powers of two become the largest power of two
// not above them (nearest sampling, chain rebuilt); then top levels are dropped while
// levels_to_drop remains or a level has more than texel_limit texels, never one of
// 16384 texels or fewer. Replaces *chain (freeing the old one) and the sizes.
void texture_resample_pow2(uint8_t** chain, int* w, int* h, int channels, int texel_limit, int levels_to_drop);

// The texture loader's path. Sides that are not powers of two are resampled to the
// largest power of two below them; then up to drop_count top levels go while both
// sides exceed 128; then levels that the next level predicts within 4 go (reported
// on the console when name is not null). The caller keeps its buffer. Returns the id.
uint32_t texture_reduce_upload(const uint8_t* chain, int w, int h, int channels, int drop_count, int flags,
                               const char* name);

// 1 when every channel of every texel of the w x h level lies within 4 of its
// prediction from the next level (bilinear-like weights 3:1 of the nearer texels).
int texture_level_redundant(const uint8_t* level, int w, int h, int channels);

uint32_t texture_upload(const uint8_t* chain, int w, int h, int channels, int flags);
// Clamped, mipmapped, never compressed.
uint32_t texture_upload_mipmapped(const uint8_t* chain, int w, int h, int channels);

// A rider number plate: the number drawn with the digit fonts, white becoming the
// background colour and black the foreground, with a transparent border on every level.
uint32_t number_texture_create(const char* text, int w, int h, const uint8_t background[3],
                               const uint8_t foreground[3]);

// Filling a chain buffer's smaller levels in software: the plain box filter and the
// alpha-weighted RGBA filter that keeps transparent texels from bleeding their colour.
#pragma once
#include <cstdint>

inline constexpr int mip_max_alpha = 1;   // flag: a block takes its largest alpha

// Each writes the level after a w x h level directly behind it in the chain.
void mip_downsample_box(uint8_t* level, int w, int h, int channels);
void mip_downsample_rgb(uint8_t* level, int w, int h);
void mip_downsample_rgba(uint8_t* level, int w, int h, int flags);

// Fill every level after the base. mipchain_build: the RGBA filter (mean alpha) for 4
// channels, the box filter on every byte otherwise.
void mipchain_build(uint8_t* chain, int w, int h, int channels);
void mipchain_rgb(uint8_t* chain, int w, int h);
void mipchain_rgba(uint8_t* chain, int w, int h);
void mipchain_rgba_flags(uint8_t* chain, int w, int h, int flags);

// A new chain with the other channel count, every level converted: RGB gets alpha
// 255, RGBA loses its alpha. The source is left alone.
uint8_t* chain_rgb_to_rgba(const uint8_t* chain, int w, int h);
uint8_t* chain_rgba_to_rgb(const uint8_t* chain, int w, int h);

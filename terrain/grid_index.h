// Float-to-index conversions that stay defined for any input: coordinates far off
// the grid, infinities and NaN arrive from files, scripts and the editor.
#pragma once
#include <cmath>
#include <cstdint>

namespace terrain_detail {

// Past 2^24 every float is an even integer, so clamping there keeps both the
// fraction (0) and the parity that picks a cell's diagonal.
constexpr float kCoordinateLimit = 16777216.0f;

inline float clamp_coordinate(float v)
{
    if (v < -kCoordinateLimit)
        return -kCoordinateLimit;
    if (v > kCoordinateLimit)
        return kCoordinateLimit;
    return v;  // NaN passes through
}

// floor() as an int; NaN counts as 0 and the range is bounded so index arithmetic
// (+1, +K) never overflows.
inline int32_t floor_index(double v)
{
    constexpr double limit = 1073741824.0;  // 2^30
    if (!(v == v))
        return 0;
    if (v < -limit)
        return -static_cast<int32_t>(limit);
    if (v > limit)
        return static_cast<int32_t>(limit);
    return static_cast<int32_t>(std::floor(v));
}

// The C cast (truncation toward zero), bounded the same way.
inline int32_t trunc_index(double v)
{
    constexpr double limit = 1073741824.0;
    if (!(v == v))
        return 0;
    if (v < -limit)
        return -static_cast<int32_t>(limit);
    if (v > limit)
        return static_cast<int32_t>(limit);
    return static_cast<int32_t>(v);
}

inline int32_t clamp_index(int32_t v, int32_t low, int32_t high)
{
    return v < low ? low : (v > high ? high : v);
}

}  // namespace terrain_detail

// The one range every race value from outside must fall in before any arithmetic is
// done with it: a server's track info, a demo's header and a series file's events all
// pass their time limit, laps, gate-drop tick and first tick through here. 2^30 ticks
// is over 97 days of racing, and leaves room for every sum the race makes with them
// (laps + 1, a drop tick + 15 s, a tick + 64) without passing int32.
#pragma once
#include "race/program/startup.h"

#include <cstdint>

inline constexpr int32_t kRaceValueMax = 1 << 30;

constexpr bool race_value_in_range(int64_t v)
{
    return v >= 0 && v <= kRaceValueMax;
}

// A series event's minutes as ticks, when they fit the range.
constexpr bool race_minutes_in_range(int64_t minutes)
{
    return minutes >= 0 && double(minutes) * 60 / tick_length <= double(kRaceValueMax);
}

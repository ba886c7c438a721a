// The points-series standings screen: its four buttons, the next event, the standings
// by points and the per-round results in groups of eight rounds.
#pragma once
#include <cstdint>
#include <vector>

struct series;

// One series rider's line of the standings: riders 0..n-1 are the opponents, n the
// player.
struct series_standing {
    int32_t rider;
    int64_t points;
    int32_t tie;    // round place in the latest scored round (lower ranks first)
};
// Every rider, most points first; equal points: the lower tie value first.
std::vector<series_standing> series_standings_order(const series& s);

void series_standings_draw();

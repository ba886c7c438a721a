#include "view/flagger_rules.h"

#include "terrain/timing_gates.h"

#include <algorithm>
#include <cmath>

start_flagger_pose start_flagger_at(int32_t tick, int32_t start_reference, float walk_duration)
{
    const double t = tick / 128.0;
    const double d = std::floor(start_reference / 128.0);
    const double walk = walk_duration;
    start_flagger_pose pose;
    if (walk > 0)
        pose.walk = float(std::clamp((t - 1 - d) / walk, 0.0, 1.0));
    else
        pose.walk = t < d + 1 ? 0.0f : 1.0f;
    if (t < d + 0.1)
        pose.texture = 0;
    else if (t < d + 0.4)
        pose.texture = 1;
    else if (t < d + 1)
        pose.texture = 2;
    else if (t < d + 1 + walk)
        pose.texture = 3;
    else
        pose.texture = 4;
    return pose;
}

int lap_board_texture(const lap_board_race& r)
{
    const int32_t g = r.leader_position;
    int32_t laps = 0;
    int32_t lap_end = -1;
    if (r.normal_lap != 0 && g + 1 >= r.first_lap) {
        laps = (g + 1 - r.first_lap) / r.normal_lap + 1;
        lap_end = r.first_lap - 1 + (laps - 1) * r.normal_lap;
    }
    int32_t total = r.total_laps;
    if (g == lap_end && int64_t(r.tick) >= int64_t(r.gate_drop_tick) + r.time_limit_ticks)
        total = int32_t(std::min<int64_t>(total, int64_t(laps) + r.extra_laps));
    if (laps >= total)
        return 3;
    if (laps == total - 1)
        return 2;
    if (laps == r.lap_estimate)
        return 1;
    return 0;
}

int32_t lap_position(int32_t g, int32_t first_lap, int32_t normal_lap)
{
    if (g < 0 || normal_lap == 0)
        return 0;
    if (g < first_lap)
        return g;
    return first_lap + (g - first_lap) % normal_lap;
}

int32_t lap_entry_gate(int32_t entry, int32_t gate_count)
{
    if (entry > kFlaggedLapEntry - 1)
        entry -= kFlaggedLapEntry;
    return entry >= 0 && entry < gate_count ? entry : -1;
}

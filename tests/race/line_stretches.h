// How far a rider is from the loaded racing lines: every stretch between consecutive
// points of every line, and the horizontal distance from a place to the nearest one.
// Shared by the race tests and the race-quality benchmark.
#pragma once
#include "sim/ai_lines.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace racetest {

struct stretch {
    float ax, az, bx, bz;
};

inline std::vector<stretch> line_stretches()
{
    std::vector<stretch> out;
    for (int t = 0; t < ai_lines.table_count; ++t)
        for (const ai_line& line : ai_table(t)->lines)
            for (int i = 0; i + 1 < line.point_count; ++i)
                out.push_back({line.points[i].x, line.points[i].z, line.points[i + 1].x, line.points[i + 1].z});
    return out;
}

inline float distance_to(const std::vector<stretch>& lines, float x, float z)
{
    float best = 1e30f;
    for (const stretch& s : lines) {
        const float dx = s.bx - s.ax, dz = s.bz - s.az, l2 = dx * dx + dz * dz;
        const float u = l2 > 0 ? std::clamp(((x - s.ax) * dx + (z - s.az) * dz) / l2, 0.0f, 1.0f) : 0.0f;
        best = std::min(best, std::hypot(x - s.ax - u * dx, z - s.az - u * dz));
    }
    return best;
}

}  // namespace racetest

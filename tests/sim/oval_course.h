// A generated oval for the automatic-rider tests: its centreline, four checkpoints
// round it and racing lines ridden along it by the track generator's rider.
#pragma once
#include "racing_lines.h"

#include <cmath>

namespace aitest {

// An ellipse of half-axes 250 x 150 ft about (400, 400), ridden clockwise seen from
// above (+x then +z); gate g sits a quarter further round than gate g - 1, gate 0 at
// the start straight. Lap lists "0 1 2 3 0" then "1 2 3 0".
inline lines_course oval_course(float height = 0)
{
    course c;
    for (int i = 0; i < 16; ++i) {
        const double a = -M_PI / 2 + 2 * M_PI * i / 16;
        c.points.push_back({float(400 + 250 * std::cos(a)), float(400 + 150 * std::sin(a)), 30, 0, feature::plain, 0});
    }
    lines_course lc;
    lc.centreline = sample_centreline(c, 1.0f);
    lc.ground = [height](float, float) { return height; };
    lc.start_s = arclength_near(lc.centreline, 330, 250);
    lc.first_lap = {0, 1, 2, 3, 0};
    lc.normal_lap = {1, 2, 3, 0};
    const float gx[4] = {400, 650, 400, 150}, gz[4] = {250, 400, 550, 400};
    for (int32_t entry : lc.first_lap)
        lc.position_s.push_back(arclength_near(lc.centreline, gx[entry], gz[entry]));
    for (int32_t entry : lc.normal_lap)
        lc.position_s.push_back(arclength_near(lc.centreline, gx[entry], gz[entry]));
    return lc;
}

}  // namespace aitest

// Body origins are the rest positions of the "cr125" record (frame (0, 1.98, 3.6),
// fork upper (0, 2.9, 2.16), fork lower (0, 1.77, 1.59), swingarm (0, 1.34, 4.99),
// wheels at the axles, rider (0, 4.5, 4.12)); bike space x right, y up, z backwards.
// Nothing but the wheels may reach the ground while riding upright or leant over:
// fork, swingarm and rider spheres touching the ground mean the rider is down.
#include "shapes.h"

#include <cstdio>

namespace bikedata {

std::vector<shape_file> stock_shapes()
{
    return {
        // Steering head and tank, engine, seat and side panels.
        {"generic_frame.shp", {{0, 0.9, -1.2, 0.5}, {0, 0.2, -0.3, 0.7}, {0, 0.6, 0.6, 0.6}}},
        // Triple clamps, and the bars with the grips at +-1.1.
        {"generic_fork_upper.shp", {{0, 0, 0, 0.4}, {0, 1.0, 0.7, 0.35}, {-0.75, 1.1, 0.75, 0.25},
                                    {0.75, 1.1, 0.75, 0.25}}},
        // The sliders down towards the axle.
        {"generic_fork_lower.shp", {{0, 0, 0, 0.3}, {0, -0.5, -0.35, 0.25}}},
        // Arms from the pivot to the rear axle.
        {"generic_swingarm.shp", {{0, 0, -0.5, 0.3}, {0, -0.15, 0.5, 0.3}}},
        // Torso, head, hips.
        {"generic_rider.shp", {{0, 0.3, 0.1, 0.6}, {0, 1.2, -0.3, 0.45}, {0, -0.55, 0.6, 0.5}}},
        // Whole wheels: ring plus tyre radius.
        {"front_wheel.shp", {{0, 0, 0, 0.833333 + 0.333333}}},
        {"rear_wheel.shp", {{0, 0, 0, 0.75 + 0.333333}}},
        // The start gate's plate (3 ft wide, 3 ft long, hinged across its near end):
        // down it lies flat on the riders' side, two rows of five spheres sunk below
        // the ground, deeper than a loaded tyre presses in, so that a bike crossing the
        // dropped gate on a later lap rides over it; raised it is tipped up by 33.75
        // degrees and its outer row stands as high as a wheel's axle, which a bike
        // pushing at full throttle from the slot behind cannot climb.
        {"startgate.shp", {{-1.2, -0.75, 1.0, 0.3}, {-0.6, -0.75, 1.0, 0.3}, {0, -0.75, 1.0, 0.3},
                           {0.6, -0.75, 1.0, 0.3},  {1.2, -0.75, 1.0, 0.3},  {-1.2, -0.6, 2.9, 0.35},
                           {-0.6, -0.6, 2.9, 0.35}, {0, -0.6, 2.9, 0.35},    {0.6, -0.6, 2.9, 0.35},
                           {1.2, -0.6, 2.9, 0.35}}},
    };
}

std::string shape_text(const shape_file& shape)
{
    std::string text = std::to_string(shape.spheres.size()) + "\n";
    char line[200];
    for (const sphere& s : shape.spheres) {
        snprintf(line, sizeof line, "%.6g %.6g %.6g %.6g %.6g %.6g %.6g\n", s.x, s.y, s.z, s.radius, s.friction,
                 s.spring, s.damping);
        text += line;
    }
    return text;
}

}  // namespace bikedata

// The racing lines a new track ships with: laps ridden by a steered rider that keeps
// to the course centreline, recorded and offered to the line tables by the same rules
// as a human's ride, then written with the program's lines writer.
#pragma once
#include "course.h"

#include <cstdint>
#include <functional>
#include <vector>

struct lines_rider {
    float top_speed;       // ft/s
    float grip;            // lateral acceleration it turns at, ft/s^2
    float lane;            // feet beside the centreline, to the left when positive
    float start_lane;      // its lane at the start spot (its start slot), merging into `lane`
};

struct lines_course {
    std::vector<centre_sample> centreline;      // a closed loop, one foot apart or so
    std::function<float(float x, float z)> ground;
    float start_s = 0;                          // arclength of the start spot
    std::vector<float> position_s;              // arclength of each timing position's gate
    std::vector<int32_t> first_lap, normal_lap; // the lap lists (100000 and above: no switch)
};

// Rides the course from its start spot through the first lap and three further laps and
// offers every finished segment to the loaded tables (ai_lines_resize made them).
// Returns the number of lines stored.
int ride_racing_line(const lines_course& course, const lines_rider& rider);

// Arclength of the centreline sample nearest to (x, z).
float arclength_near(const std::vector<centre_sample>& line, float x, float z);

// The geometry and control laws of the automatic rider, free of the rider slot so
// that they can be checked on their own: the arc to a path point, the throttle,
// brake and clutch law, the position along the followed path, jumps ahead, and the
// curve that joins a new line to the path.
#pragma once
#include "sim/ai_lines.h"

struct vec3f {
    float x, y, z;
};

// Signed radius of the arc from the frame (moving with velocity v) to a path point,
// with m the radius of the turn the bike is leaning into. Points behind give +-10.
float autopilot_arc_radius(const vec3f& frame, const vec3f& velocity, const vec3f& target, float m);

// The present lean's turn radius -v^2 / (32 k tan(lean)); nearly upright it is a
// straight line, 1e6 ft to the side the bike leans.
float autopilot_lean_radius(float speed, float grip, float lean);

// The wanted lean clamped into what the ground allows at one spot: the ground's own
// lean (the bike's lean less the ground's slope across the bike, `slope` being measured
// along the bike's own sideways axis, positive when the ground falls to its right) plus
// or minus the tile's grip angle.
float autopilot_ground_lean_limit(float wanted, float lean, float slope, float grip_angle);

struct controls_situation {
    bool rear_on_ground;
    bool front_below_rear;        // front wheel lower than the rear
    bool front_high;              // front wheel more than 1 ft above the rear
    float pitch_rate;             // about the frame's own x axis
    bool crashed;
    int gear;                     // 0 = first
    float rpm;
    float shift_down_rpm;         // the bike's shift-down speed
};
struct controls_out {
    float throttle, clutch, front_brake, rear_brake;
};
// Throttle, brakes and clutch for speed v against the target speed d.
controls_out autopilot_controls(const controls_situation& s, float v, float d);

// Fractional path position of a frame at `frame` whose rear axis is `rear`, with n
// the next path point to reach.
float autopilot_path_progress(const ai_line_point* path, int count, int n, const vec3f& frame, const vec3f& rear);

// First index i from start, within 20 points and before the end, where points i and
// i + 1 are both airborne; -1 when none.
int autopilot_jump_ahead(const ai_line_point* path, int count, int start);

// Replaces path points i + 1 .. count - 1 by a cubic Hermite curve from point i (or
// from the frame, heading along `forward`, when i is 0) to `first`, the new line's
// first point, leaving `count - i` steps; `second` sets the end tangent. Speeds and
// leans run linearly and never rise above what a point had. Nothing changes when
// point i or `first` is airborne.
void autopilot_join(ai_line_point* path, int count, int i, const ai_line_point& first, const ai_line_point& second,
                    const vec3f& frame, const vec3f& forward);

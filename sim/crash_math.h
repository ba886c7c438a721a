// When a rider is thrown, and how hard the dab pushes a slow bike upright, as plain
// arithmetic.
#pragma once

struct crash_limits {
    float speed;          // rider against the frame, ft/s
    float acceleration;   // of the rider body, ft/s^2 with gravity taken off
};
// The limits in the air, or on the ground flight_time seconds after a flight that
// ended since_landing seconds ago: a long flight makes the next quarter second less
// forgiving.
crash_limits crash_thresholds(bool in_air, float flight_time, float since_landing);

// The dab speed limit: 75 while a bike-to-bike knock protects the rider (knock timer
// at or below -512) and the setting is not above 75.
float dab_speed_limit(float max_dab_speed, float knock_timer);

struct dab_push_inputs {
    float lean;              // of the frame
    float roll_rate;         // of the frame about its own z axis
    float speed;             // of the frame
    float knock_timer;
    bool auto_dab;
    float back_up;
    float max_dab_speed;     // the setting
    float roll_limit_angle;
    float steering;
    float front_slide;
};
// The sideways push (frame x) that rights a slow bike; 0 when none.
float dab_push_force(const dab_push_inputs& in);

// The fork and shock force laws and the rear linkage curve, apart from the joints
// they drive. Slider positions and swingarm angles are 0 at full extension and
// negative as the suspension compresses.
#pragma once

struct damper_coefficients {
    float compression;        // per unit of speed while compressing (speed < 0)
    float slow_compression;   // constant term while compressing
    float rebound;
    float slow_rebound;
};

// The damping force on speed v: its size is clamp(c + k|v|, k|v|/8, 8k|v|) and it
// opposes v, so it pushes the suspension out while it compresses.
float damper_force(const damper_coefficients& d, float v);

struct fork_settings {
    damper_coefficients damping;
    float spring_rate;
    float preload;
    float oil_level;          // the air gap above the oil
};
// The force the fork slider's motor pushes out with at position x (0 .. -travel).
float fork_force(const fork_settings& s, float travel, float x, float v);

struct linkage_curve {
    float breakpoint;         // swingarm position where the two pieces meet
    float mid;                // shock travel at the breakpoint
    float end;                // shock travel at full swingarm travel
    float slope0, slope_mid, slope1;
};
struct linkage_point {
    float travel;             // shock travel
    float ratio;              // d travel / d position
};
// Two cubic Hermite pieces over the swingarm position 0..1.
linkage_point shock_linkage_curve(const linkage_curve& curve, float position);

struct shock_settings {
    damper_coefficients damping;
    float spring_rate;
    float preload;
};
struct shock_output {
    float torque;             // on the swingarm hinge, outwards when positive
    float position;           // 0..1
    float speed;              // shock speed: hinge rate times the linkage ratio
};
shock_output shock_torque(const shock_settings& s, const linkage_curve& curve, float swingarm_travel,
                          float angle, float rate);

// One suspension-graph sample of a damper: ratio c / (c + k|v|) and the value c + k|v|.
struct damper_sample {
    float ratio;
    float value;
};
damper_sample damper_telemetry(const damper_coefficients& d, float v);

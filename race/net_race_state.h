// What the race rules read of the online race beyond the connection itself: when each
// slot's last state arrived, and the server's off-course limits. The network client
// owns these; it stamps the ticks and restores the limits when it resets.
#pragma once
#include <cstdint>

inline constexpr float kOffCourseScaleDefault = 1.5f;
inline constexpr float kOffCourseBiasDefault = 10.0f;   // seconds

// Tick of the last state received for each slot (0 until one arrives).
extern uint32_t net_state_tick[160];
extern float off_course_scale;
extern float off_course_bias;

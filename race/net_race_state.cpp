#include "race/net_race_state.h"

uint32_t net_state_tick[160] = {};
float off_course_scale = kOffCourseScaleDefault;
float off_course_bias = kOffCourseBiasDefault;

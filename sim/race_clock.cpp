#include "sim/race_clock.h"

int32_t current_tick = 0;

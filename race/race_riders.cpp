#include "race/race_riders.h"

void race_destroy_rider(int32_t) {}
void race_riders_clear() {}
void race_rider_table_init() {}
int race_create_rider(int32_t, const rider_request&) { return 0; }
int race_rider_exists(int32_t) { return 0; }
float race_place_rider(int32_t, float, float, float) { return 0; }
void race_settle_rider(int32_t, int) {}
void race_set_personality(int32_t, const char*) {}
void race_rider_frame(int32_t, float position[3], float* speed)
{
    position[0] = position[1] = position[2] = 0;
    *speed = 0;
}
void race_empty_contacts() {}

#include "sim/bike_info.h"

#include "foundation/front_door.h"

#include <cmath>
#include <cstdio>
#include <cstring>

const bike_info* bike_info_at(int index)
{
    return index >= 0 && index < kBikeCount ? &bike_infos[static_cast<size_t>(index)] : nullptr;
}

int bike_info_index(const char* name)
{
    if (!name)
        return -1;
    for (int i = 0; i < kBikeCount; ++i)
        if (strcmp(bike_infos[static_cast<size_t>(i)].name, name) == 0)
            return i;
    return -1;
}

const bike_info* bike_info_lookup(const char* name)
{
    return bike_info_at(bike_info_index(name));
}

namespace {

int first_containing(const char* part)
{
    for (int i = 0; i < kBikeCount; ++i)
        if (strstr(bike_infos[static_cast<size_t>(i)].name, part))
            return i;
    return 0;
}

}  // namespace

int bike_info_choose(const char* name)
{
    const int exact = bike_info_index(name);
    if (exact >= 0)
        return exact;
    const char* asked = name ? name : "";
    const int chosen = first_containing(strstr(asked, "125") ? "125" : "250f");
    char message[128];
    snprintf(message, sizeof message, "bike info for '%.20s' not found using '%.20s' instead", asked,
             bike_infos[static_cast<size_t>(chosen)].name);
    console_print(message);
    return chosen;
}

int bike_has_gear(const bike_info* info, int gear)
{
    return gear >= 0 && gear < kGearCount && info->gear_ratios[gear] > 0;
}

float bike_final_drive_ratio(const bike_info* info, float front_adjust, float rear_adjust)
{
    const float front = std::fmax(std::floor(info->front_sprocket + front_adjust), 3.0f);
    const float rear = std::fmax(std::floor(info->rear_sprocket + rear_adjust), 3.0f);
    return rear / front;
}

float bike_range_lerp(const float range[2], float x)
{
    if (!(x > 0))
        x = 0;
    if (x > 1)
        x = 1;
    return range[0] + (range[1] - range[0]) * x;
}

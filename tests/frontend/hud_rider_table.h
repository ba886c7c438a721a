// Riders for the HUD's tests: a table the rider view reads instead of the slots.
#pragma once
#include "race/race_results.h"

#include <map>

namespace fronttest {

struct HudRider {
    float rpm = 0;
    int32_t gear = 0;
    float position[3] = {};
    float velocity[3] = {};
    float rotation[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    int hidden = 0;
    int finished = 0;
    const char* number = "999";
    int32_t kind = 2;
    int32_t positions = 0;
    std::map<int32_t, int32_t> gates;   // position -> tick
};
extern std::map<int32_t, HudRider> hud_riders;
extern const results_rider_view hud_rider_view;

// The rotation of a body leaning `degrees` to its right about its backward axis.
void lean_rotation(float degrees, float out[9]);

}  // namespace fronttest

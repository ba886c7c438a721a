// The world renderer's arguments captured instead of drawn, with the listener
// velocity as the view left it at the call.
#pragma once
#include "race/program/world_view.h"
#include "view/camera_views.h"

#include <algorithm>
#include <cstdint>
#include <vector>

struct Shot {
    float position[3];
    float rotation[9];
    float fov;
    int32_t slot;
    float listener[3];
};

inline std::vector<Shot> shots;

inline void capture(const float position[3], const float rotation[9], float fov, int32_t slot)
{
    Shot s{};
    std::copy(position, position + 3, s.position);
    std::copy(rotation, rotation + 9, s.rotation);
    std::copy(listener_velocity, listener_velocity + 3, s.listener);
    s.fov = fov;
    s.slot = slot;
    shots.push_back(s);
}

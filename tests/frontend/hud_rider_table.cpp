#include "hud_rider_table.h"

#include <cmath>

namespace fronttest {

std::map<int32_t, HudRider> hud_riders;

namespace {
HudRider& at(int32_t slot)
{
    return hud_riders[slot];
}
void copy(const float* from, float* to, int n)
{
    for (int i = 0; i < n; ++i)
        to[i] = from[i];
}
}  // namespace

const results_rider_view hud_rider_view = {
    [](int32_t slot) { return int(hud_riders.count(slot)); },
    [](int32_t slot) { return at(slot).kind; },
    [](int32_t slot) { return at(slot).positions; },
    [](int32_t slot, int32_t p) {
        auto& g = at(slot).gates;
        return g.count(p) ? g[p] : -1;
    },
    [](int32_t) { return int32_t(0); },
    [](int32_t, int32_t) { return 0.0; },
    [](int32_t slot) { return at(slot).finished; },
    [](int32_t slot) { return at(slot).number; },
    [](int32_t) { return "bike"; },
    [](int32_t slot) { return at(slot).rpm; },
    [](int32_t slot) { return at(slot).gear; },
    [](int32_t slot, float out[3]) { copy(at(slot).position, out, 3); },
    [](int32_t slot, float out[3]) { copy(at(slot).velocity, out, 3); },
    [](int32_t slot, float out[9]) { copy(at(slot).rotation, out, 9); },
    [](int32_t slot) { return at(slot).hidden; },
};

void lean_rotation(float degrees, float out[9])
{
    // Turned about z: the body's x axis goes to (cos, sin, 0), so the ground's up
    // vector has the body x component sin.
    const float a = degrees * float(M_PI) / 180, c = std::cos(a), s = std::sin(a);
    const float r[9] = {c, -s, 0, s, c, 0, 0, 0, 1};
    copy(r, out, 9);
}

}  // namespace fronttest

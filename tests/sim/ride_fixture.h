// Riding a bike headless: the loaded ground made in memory from a height function,
// and the game tick's share of one rider (ground contacts, the world step, the bike
// step) with scripted controls.
#pragma once
#include "sim_fixture.h"

#include "sim/bike_step.h"

#include <cstdint>
#include <functional>
#include <string>

namespace simtest {

// The loaded track's ground (track_terrain): 2^(n+1)+1 points a side, cell feet
// apart, heights from the function, one tile of even grip.
class RideGround {
public:
    explicit RideGround(const std::function<float(float x, float z)>& height, int n = 7, float cell = 4.0f);
    ~RideGround();
    RideGround(const RideGround&) = delete;
    RideGround& operator=(const RideGround&) = delete;
};

// A bike reset, turned about the world axis by angle (about its rest pose at the
// origin) and moved to (x, z) with its lowest wheel lift feet above the ground.
void place_bike(rider_slot* r, float x, float z, float lift, const float axis[3] = nullptr, float angle = 0);

// One game tick of one rider: ground contacts, world step, group emptied, bike step,
// the tick counted.
void ride_tick(rider_slot* r);

// Scripted controls of a tick, set before it runs.
using rider_script = std::function<void(rider_slot* r, int32_t tick)>;
void ride(rider_slot* r, int ticks, const rider_script& script = {});

float speed_of(dBodyID body);
float lean_of(const rider_slot* r);
bool bodies_finite(const rider_slot* r);
// A digest of the seven bodies' positions, rotations and velocities, bit for bit.
std::string body_digest(const rider_slot* r);

}  // namespace simtest

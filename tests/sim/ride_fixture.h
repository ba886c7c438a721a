// Riding a bike headless on the loaded ground made in memory (GroundTrack): the
// game tick's share of one rider (ground contacts, the world step, the bike step)
// with scripted controls.
#pragma once
#include "ground_track.h"
#include "sim_fixture.h"

#include "sim/bike_step.h"

#include <cstdint>
#include <functional>
#include <string>

namespace simtest {

// A bike reset, turned about the world axis by angle (about its rest pose at the
// origin) and moved to (x, z) with its lowest wheel lift feet above the ground.
void place_bike(rider_slot* r, float x, float z, float lift, const float axis[3] = nullptr, float angle = 0);

// One game tick of one rider: ground contacts, world step, group emptied, bike step,
// the tick counted.
void ride_tick(rider_slot* r);
// The tick count back to 0, for a new ride.
void ride_start();

// Scripted controls of a tick, set before it runs.
using rider_script = std::function<void(rider_slot* r, int32_t tick)>;
void ride(rider_slot* r, int ticks, const rider_script& script = {});

float speed_of(dBodyID body);
float lean_of(const rider_slot* r);
bool bodies_finite(const rider_slot* r);
// A digest of the seven bodies' positions, rotations and velocities, bit for bit.
std::string body_digest(const rider_slot* r);

}  // namespace simtest

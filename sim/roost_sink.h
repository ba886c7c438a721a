// Where the tyres' dirt goes. The world presentation owns the particles and installs
// its spawn function at start-up; until then (and in headless runs) particles are
// dropped.
#pragma once
#include "terrain/terrain_state.h"

// Returns 0 when no particle was free; the emitter ignores the answer.
using roost_spawn_fn = int (*)(const float position[3], const float velocity[3], const roost_type* type);

void roost_set_spawn(roost_spawn_fn spawn);  // null: drop every particle
int roost_spawn(const float position[3], const float velocity[3], const roost_type* type);

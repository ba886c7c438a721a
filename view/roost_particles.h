// Roost: the dirt a spinning or sliding wheel throws. Each particle flies with drag
// and gravity and shows itself through its own entry of the billboard table (the
// indices track load keeps in race.particle_billboards), so the world drawing sorts
// it with the track's billboards. A fixed pool; nothing is allocated.
#pragma once
#include "race/race_state.h"
#include "terrain/terrain_state.h"

#include <cstdint>

inline constexpr int kParticles = kRoostParticles;

struct roost_particle {
    float position[3];
    float velocity[3];
    const roost_type* type;
    int32_t next;          // next particle of its list, -1 = end
};

struct roost_pool {
    roost_particle particles[kParticles];
    int32_t live;          // first live particle, -1 = none
    int32_t free;          // first free particle, -1 = none
};
extern roost_pool roost;

// Takes the first free particle, puts it at the front of the live list and dresses
// its billboard from the type. 0 (and nothing changed) when the pool is full or the
// position or velocity is not finite.
int roost_particle_spawn(const float position[3], const float velocity[3], const roost_type* type);
// Once per game tick: moves every live particle and its billboard, and retires those
// that fall below the ground.
void roost_particles_step();
// Every particle free in pool order, every particle billboard hidden.
void roost_particles_free();
// The number of live particles.
int32_t roost_live_count();

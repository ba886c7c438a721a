#include "view/roost_particles.h"

#include "terrain/billboards.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>

roost_pool roost = [] {
    roost_pool p{};
    for (int32_t i = 0; i < kParticles; ++i)
        p.particles[i].next = i + 1 < kParticles ? i + 1 : -1;
    p.live = -1;
    p.free = 0;
    return p;
}();

namespace {

constexpr float dt = 1.0f / 128.0f;

billboard* particle_billboard(int32_t particle)
{
    const int32_t b = race.particle_billboards[particle];
    return b >= 0 && b < billboard_count() ? billboard_at(b) : nullptr;
}

bool finite3(const float v[3])
{
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

uint8_t faded(uint8_t value, int8_t fade)
{
    return uint8_t(std::clamp(int(value) + int(fade), 0, 255));
}

}  // namespace

int roost_particle_spawn(const float position[3], const float velocity[3], const roost_type* type)
{
    if (roost.free < 0 || !type || !finite3(position) || !finite3(velocity))
        return 0;
    const int32_t i = roost.free;
    roost_particle& p = roost.particles[i];
    roost.free = p.next;
    std::copy(position, position + 3, p.position);
    std::copy(velocity, velocity + 3, p.velocity);
    p.type = type;
    if (billboard* b = particle_billboard(i)) {
        b->size = type->size;
        b->texture = type->texture;
        b->x = position[0];
        b->y = position[1];
        b->z = position[2];
        std::copy(type->colour, type->colour + 4, b->colour);
    }
    p.next = roost.live;
    roost.live = i;
    return 1;
}

void roost_particles_step()
{
    int32_t* link = &roost.live;
    while (*link >= 0) {
        const int32_t i = *link;
        roost_particle& p = roost.particles[i];
        for (int k = 0; k < 3; ++k)
            p.position[k] += p.velocity[k] * dt;
        // A drag past 128 per second would turn the velocity round every tick and a
        // negative one would speed it up: the factor stays within 0..1.
        const float m = std::clamp(1.0f - p.type->drag * dt, 0.0f, 1.0f);
        p.velocity[0] *= m;
        p.velocity[2] *= m;
        p.velocity[1] = p.velocity[1] * m - 32.0f * dt;
        billboard* b = particle_billboard(i);
        if (b) {
            b->x = p.position[0];
            b->y = p.position[1];
            b->z = p.position[2];
            b->size += p.type->grow * dt;
            for (int c = 0; c < 4; ++c)
                b->colour[c] = faded(b->colour[c], p.type->fade[c]);
        }
        if (p.velocity[1] < 0 && terrain_height_at(&track_terrain, p.position[0], p.position[2]) > p.position[1]) {
            if (b)
                b->texture = 0;
            *link = p.next;
            p.next = roost.free;
            roost.free = i;
            continue;
        }
        link = &p.next;
    }
}

void roost_particles_free()
{
    for (int32_t i = 0; i < kParticles; ++i) {
        roost.particles[i].next = i + 1 < kParticles ? i + 1 : -1;
        if (billboard* b = particle_billboard(i))
            b->texture = 0;
    }
    roost.live = -1;
    roost.free = 0;
}

int32_t roost_live_count()
{
    int32_t n = 0;
    for (int32_t i = roost.live; i >= 0; i = roost.particles[i].next)
        ++n;
    return n;
}

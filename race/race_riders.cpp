// The race start's side of the rider simulation.
#include "race/race_riders.h"

#include "foundation/intern.h"
#include "foundation/memory.h"
#include "sim/autopilot_drive.h"
#include "sim/bike_build.h"
#include "sim/bike_contacts.h"
#include "sim/physics_world.h"
#include "sim/rider_access.h"
#include "sim/rider_slot.h"
#include "sim/shapes.h"
#include "terrain/statues.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kRestrictedLock = 0.04363323f;   // 2.5 degrees
// A bike is placed no higher than this above the highest ground: a spot still
// touching there (a hostile shape) is left to the physics, however many steps it took.
constexpr float kPlaceMargin = 16;

const char* rider_names[kRiderSlots];            // interned

rider_slot* slot_rider(int32_t slot)
{
    if (slot < 0 || slot >= kRiderSlots || !rider_slots[slot].bodies[body_frame])
        return nullptr;
    return &rider_slots[slot];
}

// The height of the grid point of the cell under (x, z), without interpolation.
float cell_height(float x, float z)
{
    const terrain_state& t = track_terrain;
    if (!t.heights || t.size <= 0)
        return 0;
    auto index = [&](float v) {
        const float g = std::floor(v * t.inv_cell);
        return std::isfinite(g) ? std::clamp(int(g), 0, t.size - 1) : 0;
    };
    return t.heights[index(z) * t.size + index(x)];
}

}  // namespace

int (*race_bike_touches_ground)(int32_t slot) = [](int32_t slot) {
    rider_slot* r = slot_rider(slot);
    return r ? int(bike_collide_terrain(r) != 0) : 0;
};

void race_rider_table_init()
{
    rider_table_init();
}

void race_install_statue_shapes()
{
    track_loaders.shape_instance = shape_shared_instance;
    track_loaders.shape_free = [](collision_shape*) {};   // the shape cache owns the shared instances
    statue_shape_spheres = [](const collision_shape* shape) { return shape->sphere_count; };
}

void race_destroy_rider(int32_t slot)
{
    if (rider_slot* r = slot_rider(slot))
        bike_destroy(r);
}

int race_create_rider(int32_t slot, const rider_request& q)
{
    if (slot >= 0 && slot < kRiderSlots)
        rider_names[slot] = intern_string(q.name ? q.name : "");
    return rider_create(q.bike, slot, q.locally_simulated, q.number, q.body_texture, q.head_texture, q.bike_texture,
                        q.wheel_texture) != nullptr;
}

int race_rider_exists(int32_t slot)
{
    return slot_rider(slot) != nullptr;
}

const char* race_rider_name(int32_t slot)
{
    const char* name = slot >= 0 && slot < kRiderSlots ? rider_names[slot] : nullptr;
    return name ? name : "";
}

float race_place_rider(int32_t slot, float x, float z, float yaw)
{
    rider_slot* r = slot_rider(slot);
    if (!r)
        return 0;
    float h = cell_height(x, z);
    const float top = std::max(h, track_terrain.max_height) + kPlaceMargin;
    for (;;) {
        bike_reset(r);
        bike_rotate(r, 0, 1, 0, yaw);
        bike_translate(r, x, h, z);
        const float next = h + 0.25f;
        // The step is lost on heights this large; the top bounds the search either way.
        if (!race_bike_touches_ground(slot) || !(next <= top) || next == h)
            return h;
        h = next;
    }
}

void race_settle_rider(int32_t slot, int remote)
{
    rider_slot* r = slot_rider(slot);
    if (!r)
        return;
    if (!remote) {
        bike_wake(r);
        return;
    }
    bike_sleep(r);
    bike_set_roll_damping(r, 100);
    bike_set_full_lock_speed(r, 5);
    bike_set_restricted_lock_speed(r, 50);
    bike_set_restricted_lock(r, kRestrictedLock);
}

void race_set_personality(int32_t slot, const char* personality)
{
    if (rider_slot* r = slot_rider(slot))
        autopilot_set_personality(r, personality);
}

void race_rider_frame(int32_t slot, float position[3], float* speed)
{
    position[0] = position[1] = position[2] = 0;
    *speed = 0;
    rider_slot* r = slot_rider(slot);
    if (!r)
        return;
    const dReal* p = dBodyGetPosition(r->bodies[body_frame]);
    const dReal* v = dBodyGetLinearVel(r->bodies[body_frame]);
    for (int i = 0; i < 3; ++i)
        position[i] = float(p[i]);
    *speed = float(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
}

void race_empty_contacts()
{
    if (contact_group)
        dJointGroupEmpty(contact_group);
}

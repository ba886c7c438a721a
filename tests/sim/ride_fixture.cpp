#include "ride_fixture.h"

#include "foundation/numbers/ripemd160.h"
#include "sim/bike_contacts.h"
#include "sim/bike_info.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "terrain/terrain_queries.h"
#include "terrain/track_list.h"

#include <cmath>
#include <vector>

namespace simtest {

void ride_start()
{
    current_tick = 0;
}

void place_bike(rider_slot* r, float x, float z, float lift, const float axis[3], float angle)
{
    bike_reset(r);
    if (axis)
        bike_rotate(r, axis[0], axis[1], axis[2], angle);
    float lowest = 1e9f;
    for (dBodyID b : r->bodies)
        lowest = std::fmin(lowest, float(dBodyGetPosition(b)[1]) - 1.2f);
    bike_translate(r, x, terrain_height_at(&track_terrain, x, z) + lift - lowest, z);
}

void ride_tick(rider_slot* r)
{
    bike_collide_terrain(r);
    dWorldStep(physics_world, kTickLength);
    dJointGroupEmpty(contact_group);
    bike_step(r);
    ++current_tick;
}

void ride(rider_slot* r, int ticks, const rider_script& script)
{
    for (int i = 0; i < ticks; ++i) {
        if (script)
            script(r, current_tick);
        ride_tick(r);
    }
}

float speed_of(dBodyID body)
{
    const dReal* v = dBodyGetLinearVel(body);
    return float(std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]));
}

float lean_of(const rider_slot* r)
{
    return bike_lean_angle(r->bodies[body_frame]);
}

bool bodies_finite(const rider_slot* r)
{
    for (dBodyID b : r->bodies)
        for (const dReal* v : {dBodyGetPosition(b), dBodyGetLinearVel(b), dBodyGetAngularVel(b)})
            for (int i = 0; i < 3; ++i)
                if (!std::isfinite(v[i]))
                    return false;
    return true;
}

std::string body_digest(const rider_slot* r)
{
    std::vector<dReal> state;
    for (dBodyID b : r->bodies) {
        for (const dReal* v : {dBodyGetPosition(b), dBodyGetLinearVel(b), dBodyGetAngularVel(b)})
            state.insert(state.end(), v, v + 3);
        const dReal* q = dBodyGetQuaternion(b);
        state.insert(state.end(), q, q + 4);
    }
    ripemd160_ctx ctx;
    ripemd160_init(&ctx);
    ripemd160_update(&ctx, state.data(), state.size() * sizeof(dReal));
    ripemd160_final(&ctx);
    char hex[41];
    ripemd160_to_hex(ctx.digest, hex);
    return hex;
}

}  // namespace simtest

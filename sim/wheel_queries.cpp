// The contact refresh of riders simulated elsewhere, and the script's queries.
#include "sim/contact_math.h"
#include "sim/race_clock.h"
#include "sim/terrain_contacts.h"
#include "sim/wheel_sampling.h"
#include "terrain/track_list.h"

#include <cstring>

using namespace contact_math;

namespace {

void refresh_wheel(wheel_contact* w)
{
    if (!w->body)
        return;
    float point[3], normal[3], depth;
    if (!collide_wheel_terrain(&track_terrain, w, point, normal, &depth)) {
        w->depth = 0.0f;
        return;
    }
    std::memcpy(w->point, point, sizeof point);
    std::memcpy(w->normal, normal, sizeof normal);
    w->depth = depth;
    dVector3 v;
    dBodyGetPointVel(w->body, point[0], point[1], point[2], v);
    store(load(v), w->velocity);
}

float depth_of(rider_slot* r, wheel_contact* w)
{
    rider_contacts_refresh(r);
    return w->depth;
}

int position_of(rider_slot* r, wheel_contact* w, float out[3])
{
    rider_contacts_refresh(r);
    if (!(w->depth > 0.0f))
        return 0;
    std::memcpy(out, w->point, sizeof w->point);
    return 1;
}

void slip_of(rider_slot* r, wheel_contact* w, float out[3])
{
    rider_contacts_refresh(r);
    std::memcpy(out, w->velocity, sizeof w->velocity);
}

void velocity_of(rider_slot* r, wheel_contact* w, float out[3])
{
    rider_contacts_refresh(r);
    wheel_contact_velocity(w, out);
}

}  // namespace

void rider_contacts_refresh(rider_slot* r)
{
    if ((r->state_flags & state_simulated_locally) || r->last_contact_refresh_tick == current_tick)
        return;
    r->last_contact_refresh_tick = current_tick;
    refresh_wheel(&r->front_contact);
    refresh_wheel(&r->rear_contact);
}

void wheel_contact_velocity(const wheel_contact* c, float out[3])
{
    if (!c->body) {
        out[0] = out[1] = out[2] = 0.0f;
        return;
    }
    const dReal* R = dBodyGetRotation(c->body);
    const vec3 axle{R[0], R[4], R[8]};
    const vec3 w = load(dBodyGetAngularVel(c->body));
    const vec3 turning = w - axle * dot(w, axle);
    const vec3 offset = load(c->point) - load(dBodyGetPosition(c->body));
    store(load(dBodyGetLinearVel(c->body)) + cross(turning, offset), out);
}

float rider_front_contact_depth(rider_slot* r) { return depth_of(r, &r->front_contact); }
int rider_front_contact_position(rider_slot* r, float out[3]) { return position_of(r, &r->front_contact, out); }
void rider_front_contact_slip(rider_slot* r, float out[3]) { slip_of(r, &r->front_contact, out); }
void rider_front_contact_velocity(rider_slot* r, float out[3]) { velocity_of(r, &r->front_contact, out); }
float rider_rear_contact_depth(rider_slot* r) { return depth_of(r, &r->rear_contact); }
int rider_rear_contact_position(rider_slot* r, float out[3]) { return position_of(r, &r->rear_contact, out); }
void rider_rear_contact_slip(rider_slot* r, float out[3]) { slip_of(r, &r->rear_contact, out); }
void rider_rear_contact_velocity(rider_slot* r, float out[3]) { velocity_of(r, &r->rear_contact, out); }

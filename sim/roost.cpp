// Dirt thrown from the tyres into the particle system.
#include "foundation/numbers/random.h"
#include "sim/contact_math.h"
#include "sim/race_clock.h"
#include "sim/roost_sink.h"
#include "sim/wheel_sampling.h"
#include "terrain/tile_materials.h"
#include "terrain/track_list.h"

#include <algorithm>
#include <cmath>
#include <numbers>

using namespace contact_math;

int roost_density = 1000;

namespace {

// 31 random bits as a fraction of 1.
double random_fraction()
{
    return double(random_next() >> 1) / 2147483648.0;
}

// 24 random bits as a fraction of 1.
double random24()
{
    return double(random_next() >> 8) / 16777216.0;
}

vec3 random_spread(double randomize)
{
    vec3 r;
    r.x = (random24() - 0.5) * randomize;
    r.y = (random24() - 0.5) * randomize;
    r.z = (random24() - 0.5) * randomize;
    return r;
}

void spawn(vec3 position, vec3 velocity, const roost_type* type)
{
    float p[3], v[3];
    store(position, p);
    store(velocity, v);
    roost_spawn(p, v, type);
}

// Mode 2: a splash to both sides of the tyre's path, alternating by particle and tick.
void splash(const wheel_contact* c, const roost_type* type, int k)
{
    const vec3 n = load(c->normal);
    const vec3 linear = load(dBodyGetLinearVel(c->body));
    const vec3 t = linear - n * dot(linear, n);
    const double speed = length(t);
    if (!(speed > 0.0))
        return;  // standing still: no direction to splash along
    const vec3 u = t * (1.0 / speed);
    const vec3 side = cross(n, u);
    const double scale = speed / std::numbers::sqrt2;
    const vec3 directions[2] = {(n + side) * scale, (n - side) * scale};
    const vec3 point = load(c->point);
    for (int i = 0; i < k; ++i) {
        const vec3 D = directions[(i ^ current_tick) & 1];
        const vec3 start = point + D * (double(i) / (128.0 * k));
        const vec3 r = random_spread(type->randomize);
        spawn(start, (D + r) * (type->vscale * random_fraction()), type);
    }
}

// Other modes: thrown off the spinning tyre, spread round it from the contact point.
void throw_off(const wheel_contact* c, const roost_type* type, int k, double angle_limit)
{
    const vec3 surface = load(c->velocity);
    if (length(surface) < type->slip_threshold)
        return;
    const vec3 linear = load(dBodyGetLinearVel(c->body));
    double spread = std::numbers::pi / 64;
    if (dot(linear, surface) < 0.0) {
        const double w2 = length2(load(dBodyGetAngularVel(c->body)));
        const double slow2 = double(type->slow_speed) * type->slow_speed;
        const double fast2 = double(type->fast_speed) * type->fast_speed;
        const double f = fast2 != slow2 ? std::clamp((w2 - slow2) / (fast2 - slow2), 0.0, 1.0)
                                        : (w2 >= fast2 ? 1.0 : 0.0);
        spread = std::min(type->slow_angle + f * (double(type->fast_angle) - type->slow_angle), angle_limit);
    }
    dVector3 a;
    dBodyVectorToWorld(c->body, c->axle_axis[0], c->axle_axis[1], c->axle_axis[2], a);
    const vec3 axle = normalised_or(load(a), {1.0, 0.0, 0.0});
    const vec3 centre = load(dBodyGetPosition(c->body));
    const vec3 arm = load(c->point) - centre;
    for (int i = 0; i < k; ++i) {
        const double theta = random24() * spread;
        // Rodrigues: the contact point turned about the axle through the wheel centre.
        const double cs = std::cos(theta), sn = std::sin(theta);
        const vec3 turned = centre + arm * cs + cross(axle, arm) * sn + axle * (dot(axle, arm) * (1.0 - cs));
        dVector3 vp;
        dBodyGetPointVel(c->body, turned.x, turned.y, turned.z, vp);
        const vec3 v = load(vp);
        const vec3 start = turned + v * (double(i) / (128.0 * k));
        const vec3 r = random_spread(type->randomize);
        spawn(start, (v + r) * double(type->vscale), type);
    }
}

void wheel_roost(const wheel_contact* c, int n, double angle_limit)
{
    if (!(c->depth > 0.0f) || !c->body)
        return;
    const int tile = terrain_tile_at(&track_terrain, c->point[0], c->point[2]);
    for (const roost_type& type : track_terrain.roost_types[tile]) {
        if (type.mode == 0)
            break;
        const double whole = std::floor(type.count);
        const int extra = type.count - whole > random_fraction() ? 1 : 0;
        const int k = int(std::min<double>(n, std::max(whole, 0.0) + extra));
        if (k <= 0)
            continue;
        if (type.mode == 2)
            splash(c, &type, k);
        else
            throw_off(c, &type, k, angle_limit);
    }
}

}  // namespace

void bike_emit_roost(rider_slot* r)
{
    const int density = std::max(roost_density, 0);
    const int n = density / 100 + (int(random_next() % 100) < density % 100 ? 1 : 0);
    if (n == 0)
        return;
    rider_contacts_refresh(r);
    wheel_roost(&r->front_contact, n, std::numbers::pi / 8);
    wheel_roost(&r->rear_contact, n, 2 * std::numbers::pi);
}

// The race start's side of the rider simulation.
#include "race/race_riders.h"

#include "foundation/front_door.h"
#include "foundation/intern.h"
#include "foundation/memory.h"
#include "foundation/text/text_util.h"
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
// touching there (a hostile shape) is left to the physics.
constexpr float kPlaceMargin = 16;
// The placement steps tried one after another from the ground up: every honest spot
// is free well within 16 ft of its cell's height. Past them the free step is found by
// halving, so a spot at the bottom of a pit millions of feet deep costs a few dozen
// probes instead of one per quarter foot.
constexpr int kSteppedProbes = 64;
// The quarter-foot steps summed in float either pass the top or stop moving long
// before this many, whatever the start: from -2^22 up to 2^22, where a quarter foot
// is lost to rounding, is 2^25 steps.
constexpr int64_t kMostSteps = int64_t(1) << 28;
// The ground cells a placement's probes may cover in all. A stock bike's ground test
// covers about 190 cells of a 1 ft grid; a spot on flat ground takes a probe or two,
// the deepest pit under a spot at most 96 probes: some 18,000 cells. A bike whose
// shapes cost more (spheres hundreds of feet wide) stops its search here, so a start
// of 160 such riders places them in under two seconds (1.6 s measured at the worst).
constexpr double kPlaceCells = 1 << 17;

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

// Says once per shape which one leaves a bike unsearched.
void tell_unsearched(const rider_slot* r)
{
    static const collision_shape* told = nullptr;
    const collision_shape* shape = bike_costliest_shape(r, &track_terrain);
    const collision_shape* source = shape && shape->source ? shape->source : shape;
    if (source == told)
        return;
    told = source;
    char line[1200];
    format_string(line, sizeof line,
                  "Bike shape %.900s covers too much ground to search for a free start spot: "
                  "the bike stands where the search stopped",
                  source ? source->name : "?");
    console_print(line);
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

float place_step_height(float h, int64_t k)
{
    while (k > 0) {
        const float next = h + 0.25f;
        if (!(next > h))
            return h;   // the step is lost at this size (or h is not a number)
        // Every multiple of g no larger than 2^24 g is a float, g being the coarsest
        // power of two that divides both h and the step: sums staying within that
        // are exact, so any number of them is one multiplication.
        int e = 0;
        const double m = std::frexp(std::fabs(double(h)), &e);
        const uint32_t bits = uint32_t(std::ldexp(m, 24));
        const double g = h == 0 ? 0.25 : std::min(std::ldexp(double(bits & (~bits + 1)), e - 24), 0.25);
        const double limit = std::ldexp(g, 24);
        const double room = std::fabs(double(h)) <= limit ? std::floor((limit - double(h)) / 0.25) : 0.0;
        if (room >= 1) {
            const int64_t n = std::min(k, int64_t(std::min(room, double(kMostSteps))));
            h = float(double(h) + 0.25 * double(n));
            k -= n;
        } else {
            h = next;   // rounded onto a coarser grid: a few hundred times at most
            --k;
        }
    }
    return h;
}

float race_place_rider(int32_t slot, float x, float z, float yaw)
{
    rider_slot* r = slot_rider(slot);
    if (!r)
        return 0;
    const float bottom = cell_height(x, z);
    const float top = std::max(bottom, track_terrain.max_height) + kPlaceMargin;
    // The last step the search may take: the one before a step past the top or a step
    // lost to rounding.
    auto beyond = [&](int64_t k) {
        const float h = place_step_height(bottom, k), next = place_step_height(h, 1);
        return !(next <= top) || next == h;
    };
    int64_t lo = 0, hi = kMostSteps;
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (beyond(mid))
            hi = mid;
        else
            lo = mid + 1;
    }
    const int64_t last = lo;
    // Each probe's contact joints go at once: placement never runs with a step's
    // contacts pending, and a long search must not pile them up.
    auto touches_at = [&](int64_t k) {
        bike_reset(r);
        bike_rotate(r, 0, 1, 0, yaw);
        bike_translate(r, x, place_step_height(bottom, k), z);
        const int touching = race_bike_touches_ground(slot);
        race_empty_contacts();
        return touching != 0;
    };
    const double probe_cells = bike_ground_cells(r, &track_terrain);
    double cells_left = kPlaceCells;
    auto may_probe = [&] {
        if (probe_cells > cells_left)
            return false;
        cells_left -= probe_cells;
        return true;
    };
    // Out of cells: the bike stands on the lowest step known free, else the last.
    auto stand_at = [&](int64_t k) {
        tell_unsearched(r);
        bike_reset(r);
        bike_rotate(r, 0, 1, 0, yaw);
        bike_translate(r, x, place_step_height(bottom, k), z);
        return place_step_height(bottom, k);
    };
    for (int64_t k = 0; k < kSteppedProbes; ++k) {
        if (!may_probe())
            return stand_at(last);
        if (!touches_at(k) || k == last)
            return place_step_height(bottom, k);
    }
    if (!may_probe())
        return stand_at(last);
    // Touching at the last step too: left there, as stepping would have left it.
    if (touches_at(last))
        return place_step_height(bottom, last);
    // Halving between a touching step and a free one ends on a free step right above a
    // touching one: the first free step, as the ground under a bike only touches it
    // less the higher it stands.
    int64_t touching = kSteppedProbes - 1, clear = last, probed = last;
    while (clear - touching > 1) {
        if (!may_probe())
            return stand_at(clear);
        const int64_t mid = touching + (clear - touching) / 2;
        probed = mid;
        (touches_at(mid) ? touching : clear) = mid;
    }
    if (probed != clear) {
        if (!may_probe())
            return stand_at(clear);
        touches_at(clear);
    }
    return place_step_height(bottom, clear);
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

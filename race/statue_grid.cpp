#include "race/statue_grid.h"

#include "foundation/memory.h"
#include "sim/bike_contacts.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "sim/shapes.h"
#include "terrain/statues.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <cmath>
#include <cstring>

growable_array statue_grid[kStatueGridSide * kStatueGridSide] = {};
statue_contact_calls statue_contacts = {bike_collide_terrain, bike_collide_object};

namespace {

constexpr float kContactReach = 6.0f;
constexpr float kIdentity[9] = {1, 0, 0, 0, 1, 0, 0, 0, 1};

growable_array scratch[2] = {};

// Room for n indices without changing the count; false when memory runs out.
bool reserve(growable_array& list, int32_t n)
{
    list.element_size = sizeof(int32_t);
    if (list.capacity >= n)
        return true;
    int64_t capacity = list.capacity > 0 ? list.capacity : 16;
    while (capacity < n)
        capacity *= 2;
    void* items = mem_realloc(list.items, size_t(capacity) * sizeof(int32_t));
    if (!items)
        return false;
    list.items = items;
    list.capacity = int32_t(capacity);
    return true;
}

const int32_t* indices(const growable_array& list)
{
    return static_cast<const int32_t*>(list.items);
}

// out = a merged with b, ascending, shared indices once.
bool merge(const growable_array& a, const growable_array& b, growable_array& out)
{
    if (!reserve(out, a.count + b.count))
        return false;
    const int32_t *x = indices(a), *y = indices(b);
    int32_t* o = static_cast<int32_t*>(out.items);
    int32_t i = 0, j = 0, n = 0;
    while (i < a.count && j < b.count) {
        if (x[i] < y[j])
            o[n++] = x[i++];
        else if (y[j] < x[i])
            o[n++] = y[j++];
        else {
            o[n++] = x[i++];
            ++j;
        }
    }
    while (i < a.count)
        o[n++] = x[i++];
    while (j < b.count)
        o[n++] = y[j++];
    out.count = n;
    return true;
}

float extent()
{
    return track_terrain.world_size;
}

void touch(rider_slot* rider, int32_t index)
{
    if (index < 0 || index >= statue_count())
        return;
    statue* s = statue_at(index);
    if (!s->shape)
        return;
    const float position[3] = {s->x, s->y, s->z};
    // A statue set with no rotation stands upright whatever the ground.
    const float* rotation = s->angle >= kStatueScaledAngle ? kIdentity : s->rotation;
    if (statue_contacts.object(rider, s->shape, nullptr, position, rotation))
        s->touched_tick = current_tick;
}

}  // namespace

int statue_grid_cell(float c, float extent)
{
    const float inv = 1.0f / extent;
    const float a = c * inv - 0.125f;
    const float b = float(1.3333333333333333 * double(a));
    const float cell = std::floor(b * 8.0f);
    // Clamped while still a float: NaN and huge values have no int.
    if (!(cell > 0.0f))
        return 0;
    if (cell > float(kStatueGridSide - 1))
        return kStatueGridSide - 1;
    return int(cell);
}

void statue_grid_build()
{
    for (growable_array& cell : statue_grid) {
        cell.count = 0;
        cell.element_size = sizeof(int32_t);
    }
    const float e = extent();
    for (int32_t i = 0; i < statue_count(); ++i) {
        const statue* s = statue_at(i);
        if (!s->shape)
            continue;
        const float r = shape_bound_radius(s->shape);
        const int x0 = statue_grid_cell(s->x - r, e), x1 = statue_grid_cell(s->x + r, e);
        const int z0 = statue_grid_cell(s->z - r, e), z1 = statue_grid_cell(s->z + r, e);
        for (int z = z0; z <= z1; ++z)
            for (int x = x0; x <= x1; ++x)
                array_push(&statue_grid[z * kStatueGridSide + x], &i);
    }
}

void statue_grid_free()
{
    for (growable_array& cell : statue_grid)
        array_free(&cell);
    for (growable_array& list : scratch)
        array_free(&list);
}

void rider_gather_contacts(rider_slot* rider)
{
    statue_contacts.terrain(rider);
    const dReal* p = dBodyGetPosition(rider->bodies[body_frame]);
    const float x = float(p[0]), z = float(p[2]), e = extent();
    const int x0 = statue_grid_cell(x - kContactReach, e), x1 = statue_grid_cell(x + kContactReach, e);
    const int z0 = statue_grid_cell(z - kContactReach, e), z1 = statue_grid_cell(z + kContactReach, e);
    const growable_array* list = &statue_grid[z0 * kStatueGridSide + x0];
    if (x0 != x1 || z0 != z1) {
        scratch[0].count = scratch[1].count = 0;
        int current = 0;
        for (int z = z0; z <= z1; ++z)
            for (int x = x0; x <= x1; ++x) {
                if (!merge(scratch[current], statue_grid[z * kStatueGridSide + x], scratch[1 - current]))
                    return;   // out of memory: no object contacts this tick
                current = 1 - current;
            }
        list = &scratch[current];
    }
    for (int32_t k = 0; k < list->count; ++k)
        touch(rider, indices(*list)[k]);
}

void gate_pieces_touch(rider_slot* rider)
{
    for (int32_t i = 0; i < timing_gates.start_slot_count; ++i)
        touch(rider, timing_gates.start_slot_statue[i]);
}

// The decal array, its bucket grid and the region query.
#include "terrain/decals.h"

#include "foundation/memory.h"
#include "foundation/front_door.h"
#include "terrain/grid_index.h"
#include "terrain/terrain_deform.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

using namespace terrain_detail;

namespace {

constexpr int32_t kFirstCapacity = 16;
constexpr int kSide = kTerrainBucketsPerSide;

// Grows list (doubling, 16 at first) until it holds at least needed elements.
int list_reserve(growable_array* list, int64_t needed)
{
    if (needed <= list->capacity)
        return 1;
    int64_t capacity = list->capacity > 0 ? list->capacity : kFirstCapacity;
    while (capacity < needed)
        capacity *= 2;
    if (capacity > INT32_MAX || list->element_size <= 0)
        return 0;
    void* items = mem_realloc(list->items, size_t(capacity) * size_t(list->element_size));
    if (!items)
        return 0;
    list->items = items;
    list->capacity = int32_t(capacity);
    return 1;
}

int list_make(growable_array* list, int32_t element_size)
{
    list->element_size = element_size;
    list->count = 0;
    return list_reserve(list, kFirstCapacity);
}

inline int32_t* entries(growable_array* list)
{
    return static_cast<int32_t*>(list->items);
}

inline decal* records(terrain_state* t)
{
    return static_cast<decal*>(t->decals.items);
}

void out_of_range()
{
    console_print("Out of range decal index");
}

// The cells a decal's box covers; also asks the detail levels under it for a redraw.
struct cell_range {
    int32_t c0, c1, r0, r1;
};

cell_range touch_decal(terrain_state* t, const decal* d)
{
    float hx, hz;
    decal_box(d, &hx, &hz);
    terrain_mark_region_dirty(t, trunc_index((d->x - hx) * t->inv_cell), trunc_index((d->z - hz) * t->inv_cell),
                              trunc_index((d->x + hx) * t->inv_cell), trunc_index((d->z + hz) * t->inv_cell));
    return {decal_bucket_coordinate(t, d->x - hx), decal_bucket_coordinate(t, d->x + hx),
            decal_bucket_coordinate(t, d->z - hz), decal_bucket_coordinate(t, d->z + hz)};
}

void mark_cell_changed(terrain_state* t, int32_t row, int32_t column)
{
    t->changed_cells |= uint64_t{1} << (row * kSide + column);
}

// Merges two ascending lists into out, an index present in both written once.
void merge_into(growable_array* a, growable_array* b, growable_array* out)
{
    const int32_t* pa = entries(a);
    const int32_t* pb = entries(b);
    int32_t* po = entries(out);
    int32_t i = 0, j = 0, n = 0;
    while (i < a->count || j < b->count) {
        int32_t v;
        if (j >= b->count || (i < a->count && pa[i] < pb[j]))
            v = pa[i++];
        else if (i >= a->count || pb[j] < pa[i])
            v = pb[j++];
        else {
            v = pa[i++];
            ++j;
        }
        if (n == 0 || po[n - 1] != v)
            po[n++] = v;
    }
    out->count = n;
}

}  // namespace

int terrain_decals_alloc(terrain_state* t)
{
    int ok = list_make(&t->decals, sizeof(decal));
    ok &= list_make(&t->decal_scratch[0], sizeof(int32_t));
    ok &= list_make(&t->decal_scratch[1], sizeof(int32_t));
    ok &= list_make(&t->appended_runs, sizeof(decal_run));
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c) {
            ok &= list_make(&t->decal_buckets[r][c], sizeof(int32_t));
            ok &= list_make(&t->decal_runs[r][c], sizeof(decal_run));
        }
    return ok;
}

decal* terrain_decal(terrain_state* t, int32_t index)
{
    if (index < 0 || index >= t->decals.count || !t->decals.items)
        return nullptr;
    return records(t) + index;
}

void decal_box(const decal* d, float* half_x, float* half_z)
{
    const double s = d->size, a = d->aspect, c = d->cosine, n = d->sine;
    *half_x = float(std::fabs(c * 0.5 * s * a) + std::fabs(n * s * 0.5));
    *half_z = float(std::fabs(c * s * 0.5) + std::fabs(n * s * a * 0.5));
}

int32_t decal_bucket_coordinate(const terrain_state* t, float v)
{
    return clamp_index(floor_index(v * 8.0f / t->world_size), 0, kSide - 1);
}

int32_t decal_cells(const terrain_state* t, const decal* d)
{
    float hx, hz;
    decal_box(d, &hx, &hz);
    const int32_t columns = decal_bucket_coordinate(t, d->x + hx) - decal_bucket_coordinate(t, d->x - hx) + 1;
    const int32_t rows = decal_bucket_coordinate(t, d->z + hz) - decal_bucket_coordinate(t, d->z - hz) + 1;
    return columns > 0 && rows > 0 ? columns * rows : 0;
}

int64_t decal_cells_used(const terrain_state* t)
{
    int64_t used = 0;
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c)
            used += t->decal_buckets[r][c].count;
    return used;
}

void decal_bucket(terrain_state* t, int32_t index)
{
    const decal* d = terrain_decal(t, index);
    if (!d)
        return;
    const cell_range range = touch_decal(t, d);
    for (int32_t r = range.r0; r <= range.r1; ++r)
        for (int32_t c = range.c0; c <= range.c1; ++c) {
            growable_array* cell = &t->decal_buckets[r][c];
            // Equal indices are passed over: bucketing twice lists the decal twice. A
            // search from the front would make a load of n decals cost n^2 per cell.
            const int32_t at = int32_t(std::upper_bound(entries(cell), entries(cell) + cell->count, index) -
                                       entries(cell));
            if (!list_reserve(cell, int64_t(cell->count) + 1))
                continue;
            int32_t* e = entries(cell);
            memmove(e + at + 1, e + at, size_t(cell->count - at) * sizeof(int32_t));
            e[at] = index;
            ++cell->count;
            mark_cell_changed(t, r, c);
        }
}

void decal_unbucket(terrain_state* t, int32_t index)
{
    const decal* d = terrain_decal(t, index);
    if (!d)
        return;
    const cell_range range = touch_decal(t, d);
    for (int32_t r = range.r0; r <= range.r1; ++r)
        for (int32_t c = range.c0; c <= range.c1; ++c) {
            growable_array* cell = &t->decal_buckets[r][c];
            int32_t* e = entries(cell);
            for (int32_t at = 0; at < cell->count; ++at)
                if (e[at] == index) {
                    memmove(e + at, e + at + 1, size_t(cell->count - at - 1) * sizeof(int32_t));
                    --cell->count;
                    break;
                }
            mark_cell_changed(t, r, c);
        }
}

void decals_rebuild(terrain_state* t)
{
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c)
            t->decal_buckets[r][c].count = 0;
    for (int32_t i = 0; i < t->decals.count; ++i)
        decal_bucket(t, i);
}

int decal_delete(terrain_state* t, int32_t index)
{
    if (index < 0 || index >= t->decals.count) {
        out_of_range();
        return 0;
    }
    t->appended_decals = -1;
    decal_unbucket(t, index);
    decal* d = records(t);
    memmove(d + index, d + index + 1, size_t(t->decals.count - index - 1) * sizeof(decal));
    --t->decals.count;
    return 1;
}

int decal_insert(terrain_state* t, const decal* record, int32_t index)
{
    if (index < 0 || index > t->decals.count) {
        out_of_range();
        return 0;
    }
    if (t->decals.count >= kMaxDecals) {
        console_print("Decal not added: the track holds 8192 decals already");
        return 0;
    }
    const decal zeroed{};
    if (decal_cells_used(t) + decal_cells(t, record ? record : &zeroed) > kMaxDecalCells) {
        console_print("Decal not added: the track's decals would cover more than 8192 decal cells");
        return 0;
    }
    t->decals.element_size = sizeof(decal);
    if (!list_reserve(&t->decals, int64_t(t->decals.count) + 1))
        return 0;
    decal* d = records(t);
    if (index == t->decals.count) {
        if (t->appended_decals != -1)
            ++t->appended_decals;
    } else {
        t->appended_decals = -1;
        memmove(d + index + 1, d + index, size_t(t->decals.count - index) * sizeof(decal));
    }
    if (record)
        d[index] = *record;
    else
        memset(&d[index], 0, sizeof(decal));
    ++t->decals.count;
    decal_bucket(t, index);
    return 1;
}

int decal_set(terrain_state* t, const decal* record, int32_t index)
{
    if (index < 0 || index >= t->decals.count) {
        out_of_range();
        return 0;
    }
    if (!record)
        return 0;
    if (decal_cells_used(t) - decal_cells(t, records(t) + index) + decal_cells(t, record) > kMaxDecalCells) {
        console_print("Decal not changed: the track's decals would cover more than 8192 decal cells");
        return 0;
    }
    t->appended_decals = -1;
    decal_unbucket(t, index);
    records(t)[index] = *record;
    decal_bucket(t, index);
    return 1;
}

void decal_buckets_renumber(terrain_state* t, int32_t first_index, int32_t delta)
{
    for (int r = 0; r < kSide; ++r)
        for (int c = 0; c < kSide; ++c) {
            growable_array* cell = &t->decal_buckets[r][c];
            int32_t* e = entries(cell);
            for (int32_t at = 0; at < cell->count; ++at)
                if (e[at] >= first_index) {
                    const int64_t v = int64_t(e[at]) + delta;
                    e[at] = int32_t(v < INT32_MIN ? INT32_MIN : (v > INT32_MAX ? INT32_MAX : v));
                }
        }
}

const growable_array* decals_near(terrain_state* t, float x0, float z0, float x1, float z1)
{
    const int32_t c0 = decal_bucket_coordinate(t, x0), c1 = decal_bucket_coordinate(t, x1);
    const int32_t r0 = decal_bucket_coordinate(t, z0), r1 = decal_bucket_coordinate(t, z1);
    if (c0 == c1 && r0 == r1)
        return &t->decal_buckets[r0][c0];

    growable_array* current = &t->decal_scratch[0];
    growable_array* other = &t->decal_scratch[1];
    current->element_size = other->element_size = sizeof(int32_t);
    current->count = 0;
    for (int32_t r = r0; r <= r1; ++r)
        for (int32_t c = c0; c <= c1; ++c) {
            growable_array* cell = &t->decal_buckets[r][c];
            // A list that cannot grow leaves this cell out rather than overrun.
            if (!list_reserve(other, int64_t(current->count) + cell->count))
                continue;
            merge_into(current, cell, other);
            std::swap(current, other);
        }
    return current;
}

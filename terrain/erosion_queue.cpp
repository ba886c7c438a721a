// The erosion queue: decoded rut points wait in a ring and are dug into the ground a
// few per frame, held back while the local rider rides over them.
#include "terrain/ruts.h"

#include "foundation/front_door.h"
#include "terrain/terrain_deform.h"
#include "terrain/terrain_queries.h"
#include "terrain/tile_materials.h"

#include <climits>
#include <cmath>

namespace {

constexpr int32_t kNoWait = INT32_MAX;
constexpr int32_t kBacklog = 8192;   // past this the hold-back is ignored and the budget grows fast
constexpr float kHoldBackRadius2 = 100.0f;
constexpr int32_t kHoldBackTicks = 256;

// The ring lives for the whole run (2.5 MB), like the other static tables.
erosion_entry ring[kErosionQueueSize];
int32_t head = 0;
int32_t count = 0;
int32_t wait_tick = kNoWait;
bool full_reported = false;

void push(const erosion_entry& e)
{
    if (count >= kErosionQueueSize) {
        if (!full_reported) {
            full_reported = true;
            console_print("Erode queue full!");
        }
        return;
    }
    ring[(head + count) % kErosionQueueSize] = e;
    ++count;
}

// Where dug depth D falls on the tile's limit curve, as a fractional index.
float limit_index(const tile_erode_params& p, float D)
{
    const int32_t c = p.limit_count > kTerrainCurvePoints ? kTerrainCurvePoints : p.limit_count;
    if (c <= 1 || !(D >= p.limit_depth[0]))
        return 0.0f;
    for (int32_t j = 0; j + 1 < c; ++j)
        if (p.limit_depth[j + 1] > D) {
            const float span = p.limit_depth[j + 1] - p.limit_depth[j];
            const float f = span > 0.0f ? (D - p.limit_depth[j]) / span : 0.0f;
            return float(j) + f;
        }
    return float(c - 1);
}

float limit_value(const tile_erode_params& p, const float* table, float index)
{
    const int32_t c = p.limit_count < 1 ? 1 : (p.limit_count > kTerrainCurvePoints ? kTerrainCurvePoints : p.limit_count);
    int32_t i0 = int32_t(std::floor(index));
    const float f = index - float(i0);
    if (i0 > c - 1)
        i0 = c - 1;
    const int32_t i1 = i0 + 1 > c - 1 ? c - 1 : i0 + 1;
    return table[i0] + f * (table[i1] - table[i0]);
}

void dig(terrain_state* t, const erosion_entry& e, float scale)
{
    const tile_erode_params& p = t->erode_params[terrain_tile_at(t, e.x, e.z)];
    const float h0 = terrain_height_at(t, e.x, e.z);
    const float L = std::sqrt(e.dig_a * e.dig_a + e.dig_b * e.dig_b);
    float push = (L - 0.125f) * 8.0f / 7.0f;
    push = (push > 0.0f ? (push < 1.0f ? push : 1.0f) : 0.0f) * p.displacement;
    // A dig vector of (0, 0) has no direction to pile towards; its push is 0 anyway.
    float o = e.x, tz = e.z;
    if (L > 0.0f) {
        o = e.x - e.dig_a / L * push;
        tz = e.z - e.dig_b / L * push;
    }
    const float h1 = terrain_height_at(t, o, tz);
    const float D = terrain_interpolate(t, t->heights_copy, e.x, e.z) - h0;

    if (h1 - h0 > p.max_slope * push || h1 - h0 < p.min_slope * push)
        return;
    float s = scale * (1.0f / 2048.0f);
    if (h1 < h0)
        s += s * p.downhill_scale * (h0 - h1) / push;

    const float index = limit_index(p, D);
    const float first = limit_value(p, p.limit_first, index);
    const float second = limit_value(p, p.limit_second, index);
    const float removed1 = brush_add(t, e.x, e.z, p.radius, -(float(e.weight) * first * p.depth * s));
    const float removed2 = brush_add(t, e.x, e.z, p.inner_radius, -(second * p.inner_depth * s));
    brush_add_normalised(t, o, tz, p.radius, -(removed1 + removed2));
    wait_tick = kNoWait;
}

}  // namespace

void erosion_apply_message(const terrain_state* terrain, const uint8_t* record, int32_t length)
{
    erosion_entry entries[kRutMaxPoints];
    const int32_t n = deformation_record_decode(record, length, terrain->world_size, entries);
    for (int32_t k = 0; k < n; ++k)
        push(entries[k]);
}

void erosion_queue_clear()
{
    count = 0;
    head = 0;
    wait_tick = kNoWait;
}

void erosion_process(terrain_state* terrain, const float* position, float scale, int32_t race_tick)
{
    if (race_tick > wait_tick || count > kBacklog) {
        wait_tick = kNoWait;
        position = nullptr;
    }
    int32_t budget = count / 512 + (count > kBacklog ? count - kBacklog : 0) / 64 + 4;
    for (; budget > 0 && count > 0; --budget) {
        const erosion_entry e = ring[head];
        if (position) {
            const float dx = e.x - position[0];
            const float dz = e.z - position[2];
            if (dx * dx + dz * dz < kHoldBackRadius2) {
                const int32_t until = race_tick > INT32_MAX - kHoldBackTicks ? INT32_MAX : race_tick + kHoldBackTicks;
                if (until < wait_tick)
                    wait_tick = until;
                return;
            }
        }
        --count;
        head = (head + 1) % kErosionQueueSize;
        dig(terrain, e, scale);
    }
}

int32_t erosion_queue_count()
{
    return count;
}

const erosion_entry* erosion_queue_at(int32_t k)
{
    if (k < 0 || k >= count)
        return nullptr;
    return &ring[(head + k) % kErosionQueueSize];
}

int32_t erosion_wait_tick()
{
    return wait_tick;
}

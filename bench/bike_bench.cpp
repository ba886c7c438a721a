// How long one bike's tick takes: the ground contacts, the world step and the bike
// step together, with scripted controls over 60 s of ticks, on the flat test ground
// and on the sample track of the base data. Prints one line per ground:
//   bike step (<ground>): <N> us per bike-tick, <F>x real time
// The base data is found through BV_HOME (default: the build's staging folder).
#include "foundation/vfs/vfs.h"
#include "sim/bike_build.h"
#include "sim/bike_contacts.h"
#include "sim/bike_graphics.h"
#include "sim/bike_step.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/rider_access.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_queries.h"
#include "terrain/statues.h"
#include "terrain/terrain_tiles_read.h"
#include "terrain/tile_materials.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kTicks = 60 * 128;
constexpr int kRuns = 3;

struct start_spot {
    float x, z, yaw;
};

uint32_t no_texture(const char*)
{
    return 0;
}

model* no_model(const char*)
{
    return nullptr;
}

start_spot flat_ground()
{
    terrain_init(&track_terrain);
    if (!terrain_alloc(&track_terrain, 8, 4.0f, 0.0f, 0.0f))
        return {-1, -1, 0};
    track_terrain.tile_count = 1;
    terrain_tile_defaults(&track_terrain, 0);
    return {1024, 1024, 0};
}

// The sample track's heights and tiles, without anything for drawing; the bike
// starts on the first start slot (or in the middle).
start_spot sample_track()
{
    terrain_init(&track_terrain);
    uint8_t digest[20];
    if (!terrain_read_heights(&track_terrain, "tracks/sample", digest) ||
        !terrain_read_tilemap(&track_terrain, "tracks/sample"))
        return {-1, -1, 0};
    if (vfs_file* f = vfs_open("@tracks/sample/tileinfo", "rb")) {
        std::vector<std::string> names;
        terrain_read_tileinfo(&track_terrain, f, no_texture, &names);
        vfs_close(f);
    }
    if (track_terrain.tile_count <= 0) {
        track_terrain.tile_count = 1;
        terrain_tile_defaults(&track_terrain, 0);
    }
    // The start gates are statues: nothing of them is drawn here.
    track_loaders.texture_load = no_texture;
    track_loaders.model_get = no_model;
    timing_gates_read("@tracks/sample/timing_gates");
    statues_free();
    if (timing_gates.start_slot_count > 0)
        return {timing_gates.start_slot_position[0][0], timing_gates.start_slot_position[0][2],
                timing_gates.start_slot_yaw[0]};
    return {track_terrain.world_size / 2, track_terrain.world_size / 2, 0};
}

constexpr int kLegTicks = 8 * 128;   // the bike goes back to its start every 8 s

// Away from the start at full throttle, a weave at part throttle, then the brakes.
void script(rider_slot* r, int32_t t)
{
    const int32_t s = t % kLegTicks;
    const bool braking = s >= 768;
    rider_set_clutch(r, 1);
    rider_set_throttle(r, braking ? 0.0f : s < 384 ? 1.0f : 0.5f);
    rider_set_front_brake(r, braking ? 1.0f : 0.0f);
    rider_set_rear_brake(r, braking ? 1.0f : 0.0f);
    rider_set_steering(r, s >= 384 && !braking ? ((s / 96) % 2 ? 0.2f : -0.2f) : 0.0f);
}

void place(rider_slot* r, const start_spot& at)
{
    bike_reset(r);
    bike_rotate(r, 0, 1, 0, at.yaw);
    bike_translate(r, at.x, terrain_height_at(&track_terrain, at.x, at.z) + 0.05f, at.z);
}

// Seconds for the ride (the scripted controls and the returns to the start included;
// they cost next to nothing).
double ride(const start_spot& at)
{
    rider_table_init();
    rider_slot* r = rider_create("cr125", 0, 1, "1", nullptr, nullptr, nullptr, nullptr);
    bike_set_auto_shift(r, 1);
    bike_set_auto_dab(r, 1);
    current_tick = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kTicks; ++i) {
        if (current_tick % kLegTicks == 0)
            place(r, at);
        script(r, current_tick);
        bike_collide_terrain(r);
        dWorldStep(physics_world, kTickLength);
        dJointGroupEmpty(contact_group);
        bike_step(r);
        ++current_tick;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    bike_destroy(r);
    return took.count();
}

int measure(const char* ground, start_spot (*make)())
{
    const start_spot at = make();
    if (at.x < 0) {
        fprintf(stderr, "bike_bench: can't make the %s ground\n", ground);
        return 0;
    }
    double best = 1e30;
    for (int run = 0; run < kRuns; ++run)
        best = std::fmin(best, ride(at));
    terrain_free(&track_terrain);
    const double us = best / kTicks * 1e6;
    printf("bike step (%s): %.1f us per bike-tick, %.0fx real time\n", ground, us, kTicks / 128.0 / best);
    return 1;
}

}  // namespace

int main()
{
    if (!getenv("BV_HOME"))
        setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 1);
    if (!getenv("XDG_DATA_HOME")) {
        char home[] = "/tmp/bike_bench.XXXXXX";
        if (mkdtemp(home))
            setenv("XDG_DATA_HOME", home, 1);
    }
    bike_graphics_install(bike_graphics_null());
    if (!physics_world_init())
        return 1;
    int ok = measure("flat", flat_ground);
    ok &= measure("sample", sample_track);
    shapes_free_all();
    physics_world_shutdown();
    return ok ? 0 : 1;
}

// How much faster than real time a race of eight automatic riders runs on the sample
// track: the riders start from the start gate, the gate drops at 13 s, and the race
// runs until each has completed its first lap (or 240 s after the drop), in the game
// tick's order (contacts, world step, auto pilot, bike step, gate tick). Prints:
//   auto pilot race: 8 riders, <S> s raced in <T> s, <F>x real time, <L> of 8 laps
// The base data is found through BV_HOME (default: the build's staging folder).
#include "foundation/random.h"
#include "foundation/vfs.h"
#include "sim/ai_lines_file.h"
#include "sim/ai_lines_learning.h"
#include "sim/ai_lines_rules.h"
#include "sim/autopilot_drive.h"
#include "sim/autopilot_plan.h"
#include "sim/bike_build.h"
#include "sim/bike_contacts.h"
#include "sim/bike_graphics.h"
#include "sim/bike_step.h"
#include "sim/gate_times.h"
#include "sim/physics_world.h"
#include "sim/race_clock.h"
#include "sim/shapes.h"
#include "terrain/statues.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_queries.h"
#include "terrain/terrain_tiles_read.h"
#include "terrain/timing_gates.h"
#include "terrain/track_list.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kBots = 8;
constexpr int kDropTick = 13 * 128;

uint32_t no_texture(const char*)
{
    return 0;
}

model* no_model(const char*)
{
    return nullptr;
}

// The sample track's ground, gates and expert lines, nothing for drawing.
bool sample_track()
{
    terrain_init(&track_terrain);
    uint8_t digest[20];
    if (!terrain_read_heights(&track_terrain, "tracks/sample", digest) ||
        !terrain_read_tilemap(&track_terrain, "tracks/sample"))
        return false;
    if (vfs_file* f = vfs_open("@tracks/sample/tileinfo", "rb")) {
        std::vector<std::string> names;
        terrain_read_tileinfo(&track_terrain, f, no_texture, &names);
        vfs_close(f);
    }
    track_loaders.texture_load = no_texture;
    track_loaders.model_get = no_model;
    timing_gates_alloc_line_tables = ai_lines_resize;
    timing_gates_free_line_tables = ai_lines_free;
    timing_gates_read("@tracks/sample/timing_gates");
    statues_free();
    if (timing_gates.start_slot_count < kBots || ai_lines_load("tracks/sample", 2) <= 0)
        return false;
    ai_lines_prune();
    autopilot_plan_laps();
    return true;
}

void place(rider_slot* r, int slot)
{
    const float x = timing_gates.start_slot_position[slot][0], z = timing_gates.start_slot_position[slot][2];
    float y = terrain_height_at(&track_terrain, x, z);
    do {
        bike_reset(r);
        bike_rotate(r, 0, 1, 0, timing_gates.start_slot_yaw[slot]);
        bike_translate(r, x, y, z);
        y += 0.25f;
    } while (bike_collide_terrain(r));
    dJointGroupEmpty(contact_group);
}

}  // namespace

int main()
{
    if (!getenv("BV_HOME"))
        setenv("BV_HOME", BV_BUILD_DIR "/base_staging", 1);
    if (!getenv("XDG_DATA_HOME")) {
        char home[] = "/tmp/autopilot_bench.XXXXXX";
        if (mkdtemp(home))
            setenv("XDG_DATA_HOME", home, 1);
    }
    bike_graphics_install(bike_graphics_null());
    if (!physics_world_init() || !sample_track()) {
        fprintf(stderr, "autopilot_race_bench: can't load the sample track and its lines\n");
        return 1;
    }
    gate_timing_hooks.current_tick = [] { return current_tick; };
    gate_timing_hooks.gate_drop_tick = [] { return int32_t(kDropTick); };
    gate_timing_hooks.laps = [] { return int32_t(1); };
    ai_lines_learning_install();
    random_seed(11);
    rider_table_init();
    const char* const personalities[] = {"ostro", "vardle", "sollo"};
    for (int k = 0; k < kBots; ++k) {
        rider_slot* r = rider_create("cr125", k, 1, "1", nullptr, nullptr, nullptr, nullptr);
        place(r, k);
        autopilot_set_personality(r, personalities[k % 3]);
    }
    current_tick = 0;
    const int lap_end = timing_gates.firstlap_length - 1;
    int laps = 0;
    const auto start = std::chrono::steady_clock::now();
    while (current_tick < kDropTick + 240 * 128 && laps < kBots) {
        for (int k = 0; k < kBots; ++k)
            bike_collide_terrain(&rider_slots[k]);
        for (int a = 0; a < kBots; ++a)
            for (int b = a + 1; b < kBots; ++b)
                bike_collide_bikes(&rider_slots[a], &rider_slots[b], 0);
        dWorldStep(physics_world, kTickLength);
        dJointGroupEmpty(contact_group);
        laps = 0;
        for (int k = 0; k < kBots; ++k) {
            rider_slot* r = &rider_slots[k];
            autopilot_tick(r);
            bike_step(r);
            rider_gate_tick(r);
            laps += r->timing_position > lap_end ? 1 : 0;
        }
        ++current_tick;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const double raced = current_tick / 128.0;
    printf("auto pilot race: %d riders, %.1f s raced in %.2f s, %.1fx real time, %d of %d laps\n", kBots, raced,
           took.count(), raced / took.count(), laps, kBots);
    for (int k = 0; k < kBots; ++k)
        bike_destroy(&rider_slots[k]);
    ai_lines_free();
    shapes_free_all();
    physics_world_shutdown();
    return 0;
}

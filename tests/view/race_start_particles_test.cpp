// Race starts free every particle: on a full track load and on a restart of the same
// track, through the hook the world presentation installs.
#include "offscreen_window.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/physics_world.h"
#include "sim/roost_sink.h"
#include "support/fresh_process.h"
#include "support/test_support.h"
#include "terrain/billboards.h"
#include "terrain/track_list.h"
#include "view/roost_particles.h"
#include "view/view_install.h"

#include <gtest/gtest.h>

namespace {

std::string all_free(const char* when)
{
    std::string out;
    if (roost.live != -1 || roost.free != 0)
        out += std::string(when) + ": the lists are not reset\n";
    for (int32_t k = 0; k < kParticles; ++k) {
        if (roost.particles[k].next != (k + 1 < kParticles ? k + 1 : -1))
            return out + when + ": particle " + std::to_string(k) + " out of pool order\n";
        const int32_t b = race.particle_billboards[k];
        if (b < 0 || b >= billboard_count() || billboard_at(b)->texture != 0)
            return out + when + ": particle " + std::to_string(k) + "'s billboard\n";
    }
    return out;
}

TEST(RaceStartParticles, FullLoadAndRestartFreeEveryParticle)
{
    bvtest::in_fresh_process([] {
        bvtest::TempDir root;
        OffscreenWindow w(64, 64);
        if (!w.failure.empty())
            return std::string();   // no GL here: the track cannot load
        bvtest::use_built_data(root);
        view_install();
        if (!physics_world_init())
            return std::string("no physics world");
        scan_tracks();
        race_requested_folder = "tracks/flat";
        race_opts.seed = 3;
        int32_t lineup[160] = {1};
        roost_type type{};
        type.texture = 5;
        type.colour[3] = 255;
        const float p[3] = {10, 50, 10}, v[3] = {1, 1, 1};
        // Particles thrown before any track: they have no billboards yet.
        roost_spawn(p, v, &type);
        reset_race(lineup, 0, 0, 0, 3, 0);
        if (!track_folder)
            return std::string("tracks/flat did not load");
        std::string problems = all_free("full load");
        for (int k = 0; k < 50; ++k)
            if (roost_spawn(p, v, &type) != 1)
                return problems + "the sink does not reach the particles";
        if (billboard_at(race.particle_billboards[0])->texture != 5)
            problems += "a spawned particle's billboard is hidden\n";
        reset_race(lineup, 0, 0, 0, 3, 0);
        problems += all_free("restart");
        return problems;
    });
}

}  // namespace

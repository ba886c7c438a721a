// The looks kept in "@config" reach the local rider of a race start.
#include "race_fixture.h"

#include "frontend/settings.h"
#include "frontend/settings_start.h"
#include "gfx/texture_cache.h"
#include "race/race_start.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "sim/rider_slot.h"
#include "support/fresh_process.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(RiderLooks, ThePracticeRiderWearsTheKeptRidingGear)
{
    bvtest::in_fresh_process([] {
        bvtest::Problems p;
        bvtest::TempDir root;
        racetest::start(root);
        bvtest::write_file(racetest::user_folder(root) + "/config", "rider_texture=red\nhead_texture=nothing\n");
        settings_start_read();
        settings_lists_build();
        race_requested_folder = "tracks/sample";
        reset_race(nullptr, 0, 0, 0, 1, 0);
        const rider_slot& r = rider_slots[race.viewed_slot];
        const char* gear = texture_name(r.rider_textures.colour);
        p.same(gear ? gear : "(none)", "@rider_body-red.png", "riding gear texture");
        const char* head = texture_name(r.head_textures.colour);
        p.check(head && strstr(head, "rider_head-") == nullptr, "an unlisted helmet name leaves the default");
        p.same(local_profile.bike ? local_profile.bike : "", "yz250f(2017)", "the default bike");
        return p.text;
    });
}

}  // namespace

// Demos (".bvdemo", versions 4 to 6): the header and riders, then the blocks read
// ahead tick by tick as the game tick reads them, with the rewind and skip keys'
// seeking between. Demo rider i plays remote slot 1 + i on a flat ground;
// what a state would do to a bike is left out (no physics world).
#include "support/fuzz_support.h"
#include "support/fuzz_track.h"

#include "race/demo/demo.h"
#include "race/demo/demo_reader.h"
#include "race/race_state.h"
#include "race/rider_history.h"
#include "sim/race_clock.h"
#include "sim/rider_slot.h"
#include "terrain/ruts.h"
#include "terrain/track_list.h"

#include <cstring>

namespace {

// The seeds are the bundled demo (of the sample track) and demos of "tracks/fuzz".
track_entry listed[] = {{const_cast<char*>("tracks/fuzz"), const_cast<char*>("Fuzz")},
                        {const_cast<char*>("tracks/sample"), const_cast<char*>("Sample")}};

void setup()
{
    fuzz::flat_track();
    demo_rider_seam = {[](int32_t) { return 0; }, [](int32_t, packed_rider_state* out) { memset(out, 0, sizeof *out); },
                       [](int32_t, demo_rider_texts* out) { *out = {}; }, [] { return 0; }};
    demo_later_hooks.game_tick = [] {
        demo_set_current_tick(current_tick + 1);
        demo_playback_read();
    };
    track_list = listed;
    track_count = 2;
    track_terrain.erosion_amount = -1;
    rider_table_init();
    for (int32_t k = 0; k < kRaceSlots; ++k)
        race.kinds[k] = rider_kind_remote;
    race.time_trial_active = 0;
    snprintf(demo_settings.chosen, sizeof demo_settings.chosen, "@demos/fuzz.bvdemo");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool ready = (setup(), true);
    (void)ready;
    fuzz::put("demos/fuzz.bvdemo", data, size);
    history_clear_all();
    erosion_queue_clear();
    current_tick = race.tick = 0;
    if (!demo_playback_open())
        return 0;
    for (int32_t i = 0; i < demo_rider_count() && i < kRaceSlots - 1; ++i)
        demo_set_rider_slot(i, 1 + i);
    for (int i = 0; i < 2000 && current_tick < 1 << 20; ++i) {
        ++current_tick;
        race.tick = current_tick;
        demo_playback_read();
    }
    demo_seek(-3);
    demo_seek(1);
    demo_seek(-100);
    demo_seek(0.5);
    demo_playback_close();
    return 0;
}

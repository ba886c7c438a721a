// A track script, run by the real host with the game's limits on a race of two
// automatic riders on "tracks/flat": loaded as a track load loads it, then eight
// ticks and frames of its handlers and a script message, then unloaded as the track
// goes. (libFuzzer's time limit for this target is raised above the 2 s load budget.)
#include "support/fuzz_support.h"

#include "race/race_rules.h"
#include "race/race_state.h"
#include "race/track_load.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "terrain/track_list.h"
#include "tools/headless/headless_race.h"

#include <cstdlib>

namespace {

void race_on_flat()
{
    fuzz::start(true);
    headless::start();
    race_rules_install();
    script_install();
    if (!scan_tracks())
        abort();
    race_requested_folder = "tracks/flat";
    int32_t lineup[160] = {2, 2};
    reset_race(lineup, 0, 0, 0, 3, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool racing = (race_on_flat(), true);
    (void)racing;
    script_load(fuzz::put("tracks/flat/fuzz.js", data, size).c_str());
    for (int t = 0; t < 8; ++t) {
        race.tick = race.gate_drop_tick + t;
        script_call_tic_handler();
        script_call_frame_handler();
    }
    script_call_message_handler("fuzz");
    script_unload();
    return 0;
}

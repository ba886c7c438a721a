#include "installed_hash.h"

#include "race/race_state.h"
#include "race/track_load.h"
#include "terrain/track_list.h"
#include "tools/headless/headless_race.h"

#include <cstdlib>
#include <cstring>

namespace test_server {

bool installed_track_hash(const std::string& folder, TrackHash* hash, std::string* why)
{
    // This program does not sit beside the game's data as the game does.
    setenv("BV_HOME", BV_GAME_DIR, 0);
    headless::start();
    if (!scan_tracks()) {
        *why = "no tracks in the installed data (is BV_HOME the game's data folder?)";
        return false;
    }
    std::string listed;
    for (int32_t i = 0; i < track_count; ++i) {
        if (folder == track_list[i].folder) {
            race_requested_folder = track_list[i].folder;
            reset_race(nullptr, 0, 0, 0, 3, 0);
            if (!track_folder || folder != track_folder) {
                *why = "track '" + folder + "' does not load: " + track_load_failure();
                return false;
            }
            memcpy(hash->data(), track_hash, hash->size());
            return true;
        }
        listed += std::string(" ") + track_list[i].folder;
    }
    *why = "no track '" + folder + "' in the installed data; the tracks are:" + listed;
    return false;
}

}  // namespace test_server

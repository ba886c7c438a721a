#include "support/fuzz_track.h"

#include "support/fuzz_support.h"
#include "terrain/track_list.h"

#include <cstdlib>
#include <cstring>

namespace fuzz {

void flat_track()
{
    static const bool made = [] {
        start();
        terrain_init(&track_terrain);
        if (!terrain_alloc(&track_terrain, 7, 4.0f, 0.0f, 0.0f))
            abort();
        track_folder = strdup(kTrackFolder);
        track_title = strdup("Fuzz");
        return true;
    }();
    (void)made;
}

std::string put_track_file(const char* name, const uint8_t* data, size_t size)
{
    return put(std::string(kTrackFolder) + "/" + name, data, size);
}

}  // namespace fuzz

#include "support/fuzz_track.h"

#include "support/fuzz_support.h"
#include "terrain/decals.h"
#include "terrain/track_list.h"

#include <cstdlib>
#include <cstring>

#include "foundation/growable_array.h"

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

terrain_state* new_grid(int32_t n, float cell)
{
    auto* t = new terrain_state;
    terrain_init(t);
    if (!terrain_alloc(t, n, cell, 0.0f, 10.0f))
        abort();
    return t;
}

terrain_state* reused_grid()
{
    static terrain_state* const grid = [] {
        terrain_state* t = new_grid(7, 4.0f);
        if (!terrain_decals_alloc(t))
            abort();
        return t;
    }();
    grid->decals.count = 0;
    grid->appended_runs.count = 0;
    for (auto& row : grid->decal_buckets)
        for (growable_array& bucket : row)
            bucket.count = 0;
    for (auto& row : grid->decal_runs)
        for (growable_array& runs : row)
            runs.count = 0;
    return grid;
}

std::string put_track_file(const char* name, const uint8_t* data, size_t size)
{
    return put(std::string(kTrackFolder) + "/" + name, data, size);
}

void put_track_file_or_gzip(const char* name, const uint8_t* data, size_t size)
{
    const std::string plain = std::string(kTrackFolder) + "/" + name, packed = plain + ".gz";
    const bool gzip = size >= 2 && data[0] == 0x1f && data[1] == 0x8b;
    remove(gzip ? plain : packed);
    put(gzip ? packed : plain, data, size);
}

}  // namespace fuzz

// The tile map, "tilemap" (one tile number per 2 x 2 cells) or its gzip member
// "tilemap.gz", read as the track load does after the heights and the tiles: into a
// grid shaped like the flat track's (65 x 65 points, so 32 x 32 tiles, of its 2 ground
// tiles). Longer maps, the sample's among them, are read as far as the grid needs.
#include "support/fuzz_support.h"
#include "support/fuzz_track.h"

#include "terrain/terrain_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static terrain_state* const grid = [] {
        fuzz::start();
        terrain_state* t = fuzz::new_grid(5, 2.0f);
        t->tile_count = 2;
        return t;
    }();
    fuzz::put_track_file_or_gzip("tilemap", data, size);
    terrain_read_tilemap(grid, fuzz::kTrackFolder);
    return 0;
}

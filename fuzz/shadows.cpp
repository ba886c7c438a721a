// The ground's shading, "shadows.pgm" (a grey map the size of the grid) or its gzip
// member "shadows.pgm.gz", read as the track load reads it, for a grid
// shaped like the sample track's (1025 x 1025 points), whose own map is a seed.
#include "support/fuzz_support.h"
#include "support/fuzz_track.h"

#include "terrain/terrain_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static terrain_state* const grid = (fuzz::start(), fuzz::new_grid(9, 1.0f));
    fuzz::put_track_file_or_gzip("shadows.pgm", data, size);
    terrain_read_shadows(grid, fuzz::kTrackFolder);
    return 0;
}

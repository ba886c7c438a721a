// The ground's shading, "shadows.pgm" (a grey map the size of the grid), read into a grid of
// 129 x 129 points as the track load does after the heights.
#include "support/fuzz_support.h"
#include "support/fuzz_track.h"

#include "terrain/terrain_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::put("tracks/fuzz/shadows.pgm", data, size);
    terrain_read_shadows(fuzz::reused_grid(), "tracks/fuzz");
    return 0;
}

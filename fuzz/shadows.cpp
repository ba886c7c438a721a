// The ground's shading, "shadows.pgm" (a grey map the size of the grid), read into a grid of
// 129 x 129 points as the track load does after the heights.
#include "support/fuzz_support.h"

#include "terrain/terrain_files.h"

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::put("tracks/fuzz/shadows.pgm", data, size);
    auto t = std::make_unique<terrain_state>();
    terrain_init(t.get());
    if (!terrain_alloc(t.get(), 7, 4.0f, 0.0f, 10.0f))
        abort();
    terrain_read_shadows(t.get(), "tracks/fuzz");
    terrain_free(t.get());
    return 0;
}

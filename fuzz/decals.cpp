// The track's "decals" lines (position, size, angle and picture of each), bucketed on
// a grid of 129 x 129 points, their pictures through the texture cache.
#include "support/fuzz_gl.h"
#include "support/fuzz_support.h"

#include "gfx/texture_cache.h"
#include "terrain/decals.h"
#include "terrain/terrain_files.h"

#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::use_fake_gl();
    fuzz::put("tracks/fuzz/decals", data, size);
    auto t = std::make_unique<terrain_state>();
    terrain_init(t.get());
    if (!terrain_alloc(t.get(), 7, 4.0f, 0.0f, 10.0f) || !terrain_decals_alloc(t.get()))
        abort();
    terrain_read_decals(t.get(), "tracks/fuzz", texture_load);
    terrain_free(t.get());
    fuzz::drop_gl_objects();
    return 0;
}

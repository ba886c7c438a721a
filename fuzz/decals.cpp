// The track's "decals" lines (position, size, angle and picture of each), bucketed on
// a grid of 257 x 257 points, their pictures (and normal and specular maps) through the
// texture cache from the base data, where the sample track's decals find theirs.
#include "support/fuzz_gl.h"
#include "support/fuzz_support.h"
#include "support/fuzz_track.h"

#include "gfx/texture_cache.h"
#include "terrain/terrain_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start(true);
    fuzz::use_fake_gl();
    fuzz::put("tracks/fuzz/decals", data, size);
    terrain_read_decals(fuzz::reused_grid(), "tracks/fuzz", texture_load);
    fuzz::drop_gl_objects();
    return 0;
}

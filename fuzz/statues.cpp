// The track's "statues" lines (models, textures, shapes), read on a flat track with the texture cache
// and models behind it, as the track load reads it.
#include "support/fuzz_gl.h"
#include "support/fuzz_track.h"

#include "terrain/statues.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::flat_track();
    fuzz::use_fake_gl();
    statues_read(fuzz::put_track_file("statues", data, size).c_str());
    statues_reset();
    fuzz::drop_gl_objects();
    return 0;
}

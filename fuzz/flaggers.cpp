// The track's "flaggers" (marshals, their pictures and gates), read on a flat track with the texture cache
// and models behind it, as the track load reads it.
#include "support/fuzz_gl.h"
#include "support/fuzz_track.h"

#include "terrain/flaggers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::flat_track();
    fuzz::use_fake_gl();
    flaggers_read(fuzz::put_track_file("flaggers", data, size).c_str());
    flaggers_reset();
    fuzz::drop_gl_objects();
    return 0;
}

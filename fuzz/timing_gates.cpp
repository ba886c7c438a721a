// The track's "timing_gates" (start slots, checkpoints, laps), read on a flat track with the texture cache
// and models behind it, as the track load reads it.
#include "support/fuzz_gl.h"
#include "support/fuzz_track.h"

#include "terrain/timing_gates.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::flat_track();
    fuzz::use_fake_gl();
    timing_gates_read(fuzz::put_track_file("timing_gates", data, size).c_str());
    fuzz::drop_gl_objects();
    return 0;
}

// The automatic riders' lines files ("lines_novice", "lines_amateur", "lines_expert"):
// "ct03", the table count, then per table its lines. The tables are sized as the
// track load sizes them, by the sample track's timing gates, so the sample's own
// lines files (the seeds) match them.
#include "support/fuzz_gl.h"
#include "support/fuzz_support.h"
#include "support/fuzz_track.h"

#include "sim/ai_lines.h"
#include "sim/ai_lines_file.h"
#include "terrain/timing_gates.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool sized = [] {
        fuzz::start(true);
        fuzz::flat_track();
        fuzz::use_fake_gl();   // the gates' start slots are statues
        timing_gates_alloc_line_tables = ai_lines_resize;
        timing_gates_free_line_tables = ai_lines_free;
        timing_gates_read("@tracks/sample/timing_gates");
        fuzz::drop_gl_objects();
        if (!ai_lines_exist())
            abort();
        return true;
    }();
    (void)sized;
    fuzz::put_track_file("lines_novice", data, size);
    ai_lines_load(fuzz::kTrackFolder, 0);
    return 0;
}

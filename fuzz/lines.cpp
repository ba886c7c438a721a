// The automatic riders' lines files ("lines_novice", "lines_amateur", "lines_expert"):
// "ct03", the table count, then per table its lines. Read into tables sized for a
// track of 12 first-lap and 30 lap switch points.
#include "support/fuzz_track.h"

#include "sim/ai_lines.h"
#include "sim/ai_lines_file.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::flat_track();
    static const bool sized = ai_lines_resize(12, 30) || (abort(), false);
    (void)sized;
    fuzz::put_track_file("lines_novice", data, size);
    ai_lines_load(fuzz::kTrackFolder, 0);
    return 0;
}

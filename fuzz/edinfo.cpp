// The editor's "edinfo" (the track's gradients), read as the editor opens a track.
#include "support/fuzz_track.h"

#include "editor/edinfo.h"
#include "editor/gradients.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::flat_track();
    fuzz::put_track_file("edinfo", data, size);
    edinfo_read();
    gradients_clear();
    return 0;
}

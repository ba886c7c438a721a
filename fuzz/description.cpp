// A track's "desc" file, whose first line is the title the track list shows: the
// list is built over the one track "tracks/fuzz" as the menu builds it.
#include "support/fuzz_support.h"

#include "foundation/index/file_index.h"
#include "terrain/track_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    static const bool listed = [] {
        fuzz::put("tracks/fuzz/terrain.hf", "5 4 0 1\n");
        fuzz::put("tracks/fuzz/desc", "");
        vfs_shutdown();
        return true;
    }();
    (void)listed;
    fuzz::put("tracks/fuzz/desc", data, size);
    scan_tracks();
    free_track_list();
    return 0;
}

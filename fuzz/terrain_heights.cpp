// A track's heights: "terrain.hf" (header, then inline samples or none) and, after a
// "----" line, "terrain.png" for the samples of a header without them.
#include "support/fuzz_support.h"

#include "terrain/terrain_files.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    const fuzz::Split parts = fuzz::split(data, size);
    fuzz::put("tracks/fuzz/terrain.hf", parts.first);
    fuzz::put("tracks/fuzz/terrain.png", parts.rest);
    auto t = std::make_unique<terrain_state>();
    terrain_init(t.get());
    uint8_t digest[20];
    terrain_read_heights(t.get(), "tracks/fuzz", digest);
    terrain_free(t.get());
    return 0;
}

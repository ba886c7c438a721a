// The older ground tile list "texturelist" (one tile a line),
// with its textures loaded through the texture cache (the tiles need no grid).
#include "support/fuzz_gl.h"
#include "support/fuzz_support.h"

#include "foundation/vfs.h"
#include "gfx/texture_cache.h"
#include "terrain/terrain_tiles_read.h"

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::use_fake_gl();
    const std::string path = fuzz::put("tracks/fuzz/texturelist", data, size);
    auto t = std::make_unique<terrain_state>();
    terrain_init(t.get());
    if (vfs_file* f = vfs_open(path.c_str(), "rb")) {
        std::vector<std::string> names;
        terrain_read_texturelist(t.get(), f, texture_load, &names);
        vfs_close(f);
    }
    terrain_free(t.get());
    fuzz::drop_gl_objects();
    return 0;
}

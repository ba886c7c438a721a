// The older ground tile list "texturelist" (one tile a line),
// with its textures loaded through the texture cache (the tiles need no grid).
#include "support/fuzz_gl.h"
#include "support/fuzz_support.h"

#include "foundation/vfs/vfs.h"
#include "gfx/texture_cache.h"
#include "terrain/terrain_tiles_read.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::start();
    fuzz::use_fake_gl();
    const std::string path = fuzz::put("tracks/fuzz/texturelist", data, size);
    // One record for every input (it is large); the tile tables start cleared.
    static terrain_state* const t = new terrain_state;
    terrain_init(t);
    if (vfs_file* f = vfs_open(path.c_str(), "rb")) {
        std::vector<std::string> names;
        terrain_read_texturelist(t, f, texture_load, &names);
        vfs_close(f);
    }
    fuzz::drop_gl_objects();
    return 0;
}

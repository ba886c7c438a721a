// Loading a track folder's terrain: heights and shadows, the level-of-detail pyramid,
// tiles and their atlas, the tile map, the detail levels and the decals, with the GL
// objects that draw them. A failure frees whatever was made.
#include "foundation/numbers/ripemd160.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "gfx/shaders.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_settings.h"
#include "gfx/texture_upload.h"
#include "terrain/decals.h"
#include "terrain/terrain_files.h"
#include "terrain/terrain_gl.h"
#include "terrain/terrain_lod.h"
#include "terrain/terrain_settings.h"
#include "terrain/terrain_textures.h"
#include "terrain/terrain_tiles_read.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

int fail(terrain_state* t)
{
    terrain_free(t);
    return 0;
}

void say(const char* format, const std::string& text)
{
    char line[1024];
    format_string(line, sizeof line, format, text.c_str());
    console_print(line);
}

void memory_line(const char* format)
{
    if (verbose_level >= 1) {
        char line[160];
        format_string(line, sizeof line, format, static_cast<unsigned long>(texture_memory));
        console_print(line);
    }
}

// tileinfo, else texturelist; 0 when neither gives a tile, or the one read is past
// its bound.
int read_tiles(terrain_state* t, const char* folder, std::vector<std::string>* names)
{
    const std::string base = std::string("@") + folder + "/";
    bool info = true;
    const char* kind = "tileinfo";
    uint32_t bound = kTileInfoMax;
    vfs_file* f = nullptr;
    int opened = vfs_open_bounded(&f, (base + kind).c_str(), bound, "Terrain tiles");
    if (opened == 0) {
        info = false;
        kind = "texturelist";
        bound = kTextureListMax;
        opened = vfs_open_bounded(&f, (base + kind).c_str(), bound, "Terrain tiles");
        if (opened == 0)
            say("Can't open '%.950s'", base + kind);
    }
    if (opened != 1)
        return 0;
    const std::string name = base + kind;
    if (info)
        terrain_read_tileinfo(t, f, texture_load, names, name.c_str());
    else
        terrain_read_texturelist(t, f, texture_load, names);
    const bool passed = vfs_bound_passed(f, name.c_str(), bound, "Terrain tiles");
    vfs_close(f);
    if (passed)
        return 0;
    // Without a tile every tile number would be -1 (stored as 255).
    if (t->tile_count <= 0) {
        say("No tiles in %s", kind);
        return 0;
    }
    return 1;
}

}  // namespace

int terrain_load(terrain_state* t, const char* folder)
{
    terrain_init(t);
    progress_log_reset("Loading terrain");
    uint8_t digest[20];
    // The shadows are read once, before the grid is made: a map of another size, or
    // one with far too little data for its header, is refused without costing the
    // grid (the largest alone takes seconds and most of a gigabyte to make). The grid
    // takes the map's block as its own shadows.
    terrain_shadow_map shadows;
    const int32_t side = terrain_heights_side(folder);
    if ((side > 0 && !terrain_shadows_take(folder, side, &shadows)) ||
        !terrain_read_heights(t, folder, digest, &shadows) || !terrain_shadows_put(t, &shadows)) {
        terrain_shadows_drop(&shadows);
        return fail(t);
    }
    progress_dots("Loading heights");
    if (verbose_level == 2) {
        char hex[41];
        ripemd160_to_hex(digest, hex);
        console_print((std::string(hex) + "\n").c_str());
    }
    const float E = terrain_error_scale;
    t->error_scale = std::isfinite(E) && E > 0.0f ? E : 0.125f / 70.0f;
    while (!terrain_lod_build(t, kTerrainUnlimitedBudget)) {
    }
    progress_done("Loading heights");
    progress_done("Loading terrain");

    terrain_heights_texture_create(t);
    terrain_mesh_buffers_create(t);
    if (!terrain_mesh_alloc(t))
        return fail(t);

    progress_log_reset("Loading shadows");
    terrain_shadow_texture_create(t);
    progress_done("Loading shadows");
    memory_line("%lu bytes texture memory used before ground tiles loaded\n");

    progress_log_reset("Loading tileinfo");
    std::vector<std::string> names;
    if (!read_tiles(t, folder, &names) || !terrain_atlas_create(t, names))
        return fail(t);
    progress_done("Loading tileinfo");
    memory_line("%lu bytes texture memory used after ground tiles loaded\n");

    progress_log_reset("Loading tilemap");
    if (!terrain_read_tilemap(t, folder))
        return fail(t);
    terrain_tilemap_texture_create(t);
    progress_done("Loading tilemap");

    progress_log_reset("Creating terrain texture pyramid");
    if (!terrain_detail_levels_create(t))
        return fail(t);
    progress_done("Creating terrain texture pyramid");
    if (!terrain_decals_alloc(t) || !terrain_decal_buffers_create(t))
        return fail(t);
    terrain_read_decals(t, folder, texture_load);

    gl_use_shader(shader_terrain);
    gl_uniform_spacing(t->cell);
    gl_uniform_heights_dim_inv(1.0f / float(t->size - 1));
    gl_use_shader(shader_unlit);
    terrain_remember_folder(folder);
    return 1;
}

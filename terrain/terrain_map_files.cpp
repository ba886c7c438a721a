// The per-point and per-tile maps of a track folder, and its decal list.
//
// shadows.pgm: a PGM of exactly N x N bytes of brightness; the record keeps 255 - v.
// tilemap:     2^n x 2^n raw bytes, rows of constant z, one tile index per 2 x 2 cells.
// decals:      lines "[ x z ] angle size aspect texture", angle in radians; the maps
//              are the texture's name up to its last '.' + "_tnorm.png" (else ".ppm")
//              and "_tspec.png" (else ".ppm").
#include "terrain/terrain_files.h"

#include "foundation/memory.h"
#include "foundation/text/scan.h"
#include "foundation/text/text_util.h"
#include "foundation/vfs/file_bound.h"
#include "foundation/vfs/vfs.h"
#include "foundation/front_door.h"
#include "gfx/images.h"
#include "gfx/texture_settings.h"
#include "platform/qorl_log.h"
#include "terrain/decals.h"
#include "terrain/refused_tail.h"

#include <cmath>
#include <cstring>
#include <string>

namespace {

std::string path_in(const char* folder, const char* name)
{
    return std::string("@") + folder + "/" + name;
}

void say(const char* format, const std::string& text)
{
    char line[1024];
    format_string(line, sizeof line, format, text.c_str());
    console_print(line);
}

// The decal's map with the given ending, trying PNG before PPM; 0 when none loads.
uint32_t decal_map(const std::string& texture, const char* ending, uint32_t (*load)(const char*))
{
    const size_t dot = texture.rfind('.');
    if (dot == std::string::npos)
        return 0;
    const std::string stem = texture.substr(0, dot) + ending;
    const uint32_t png = load((stem + ".png").c_str());
    return png ? png : load((stem + ".ppm").c_str());
}

}  // namespace

int terrain_shadows_take(const char* folder, int32_t side, terrain_shadow_map* map)
{
    terrain_shadows_drop(map);
    vfs_file* f = vfs_open(path_in(folder, "shadows.pgm").c_str(), "rb");
    if (!f)
        return 1;   // no shadows: every point lit
    uint8_t* pixels = nullptr;
    int w = 0, h = 0;
    // The size is checked on the header, before any sample is read or kept; a map far
    // shorter than it declares is refused on what it holds.
    const int ok = pgm_read_sized(f, side, side, &pixels, &w, &h);
    vfs_close(f);
    if (!ok && w > 0 && (w != side || h != side)) {
        qorl_log("Bad shadow dimensions (%dx%d)\n", w, h);
        return 0;
    }
    if (!ok || !pixels) {
        console_print("Error reading shadows");
        return 0;
    }
    const size_t points = size_t(side) * size_t(side);
    for (size_t k = 0; k < points; ++k)
        pixels[k] = uint8_t(255 - pixels[k]);
    map->shadow = pixels;
    map->side = side;
    return 1;
}

int terrain_shadows_put(terrain_state* t, terrain_shadow_map* map)
{
    if (!map->shadow)
        return 1;
    if (map->side != t->size) {
        qorl_log("Bad shadow dimensions (%dx%d)\n", map->side, map->side);
        terrain_shadows_drop(map);
        return 0;
    }
    memcpy(t->shadow, map->shadow, size_t(t->size) * size_t(t->size));
    terrain_shadows_drop(map);
    return 1;
}

void terrain_shadows_drop(terrain_shadow_map* map)
{
    mem_free(map->shadow);
    map->shadow = nullptr;
    map->side = 0;
}

int terrain_read_shadows(terrain_state* t, const char* folder)
{
    terrain_shadow_map map;
    return terrain_shadows_take(folder, t->size, &map) && terrain_shadows_put(t, &map);
}

int terrain_read_tilemap(terrain_state* t, const char* folder)
{
    const std::string name = path_in(folder, "tilemap");
    vfs_file* f = nullptr;
    // Past the largest grid's map the file is no tile map, though this grid's part reads.
    const int opened = vfs_open_bounded(&f, name.c_str(), kTileMapMax, "Terrain tile map");
    if (opened != 1) {
        if (opened == 0)
            say("Can't open '%.950s'", name);
        return 0;
    }
    const int side = 1 << t->n;
    const int bytes = side * side;
    int got = 0;
    while (got < bytes) {
        const int n = vfs_read(f, t->tile_map + got, bytes - got);
        if (n <= 0)
            break;
        got += n;
    }
    vfs_close(f);
    if (got < bytes) {
        say("Error reading tilemap: '%.900s' is too short", name);
        return 0;
    }
    const int last = t->tile_count > 0 ? t->tile_count - 1 : 0;
    for (int k = 0; k < bytes; ++k)
        if (t->tile_map[k] > last)
            t->tile_map[k] = uint8_t(last);
    return 1;
}

int terrain_read_decals(terrain_state* t, const char* folder, uint32_t (*load)(const char* name))
{
    if (!t->decals.items)
        return 0;
    delete t->decals_refused;
    t->decals_refused = nullptr;
    const std::string name = path_in(folder, "decals");
    if (vfs_file* f = vfs_open(name.c_str(), "rb")) {
        char texture[1024];
        float x, z, angle, size, aspect;
        int32_t line = 0;
        int64_t cells = 0;   // bucket cells the decals kept so far touch
        uint32_t line_start = 0;
        // What the load leaves out is kept for the next save to write back.
        refused_tail left_out;
        auto refuse = [&](const char* why) {
            char refusal[1200];
            format_string(refusal, sizeof refusal, "Decals file %.900s: line %d and later refused, %s", name.c_str(),
                          int(line), why);
            console_print(refusal);
        };
        for (;;) {
            line_start = refused_tail_mark(f);
            if (vfs_scanf(f, "[ %f %f ] %f %f %f %1023s ", &x, &z, &angle, &size, &aspect, texture) != 6)
                break;
            ++line;
            if (t->decals.count >= kMaxDecals) {
                refuse("more than 8192 decals");
                break;
            }
            progress_dots("Loading decals");
            // A decal nowhere would only spoil the buckets.
            if (!std::isfinite(x) || !std::isfinite(z) || !std::isfinite(angle) || !std::isfinite(size) ||
                !std::isfinite(aspect)) {
                refused_tail_drop(&left_out, f, line_start);
                continue;
            }
            decal d{};
            d.x = x;
            d.z = z;
            d.angle = angle;
            d.size = size;
            d.aspect = aspect;
            d.sine = std::sin(angle);
            d.cosine = std::cos(angle);
            const int32_t covered = decal_cells(t, &d);
            if (cells + covered > kMaxDecalCells) {
                refuse("more than 8192 decal cells");
                break;
            }
            d.texture = load(texture);
            if (!d.texture) {
                refused_tail_drop(&left_out, f, line_start);
                continue;
            }
            d.normal_map = decal_map(texture, "_tnorm", load);
            d.specular_map = decal_map(texture, "_tspec", load);
            if (array_push(&t->decals, &d))   // a failed growth skips the decal
                cells += covered;
            else
                refused_tail_drop(&left_out, f, line_start);
        }
        refused_tail_take(&left_out, f, name.c_str(), line_start);
        if (left_out.cut)
            t->decals_refused = new refused_tail(std::move(left_out));
        vfs_close(f);
        progress_done("Loading decals");
    }
    decals_rebuild(t);
    if (verbose_level >= 1) {
        console_print("Decal map counts:\n");
        for (int r = 0; r < kTerrainBucketsPerSide; ++r) {
            char line[128];
            int at = 0;
            for (int c = 0; c < kTerrainBucketsPerSide; ++c)
                at += format_string(line + at, sizeof line - size_t(at), " %4d", t->decal_buckets[r][c].count);
            console_print(line);
        }
    }
    return 1;
}

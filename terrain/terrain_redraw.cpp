// The per-frame upkeep of the ground textures. One level at a time is redrawn into
// the spare set, a piece per frame: tiles, what the old window already holds, the
// decals of the 4 x 4 sub-squares it did not hold, mipmaps; then the normal pass
// (shading and decal normal maps) and the specular pass; then the spare and the
// level exchange their textures.
#include "foundation/growable_array.h"
#include "gfx/gl_layer.h"
#include "gfx/gl_queue.h"
#include "gfx/gl_state.h"
#include "gfx/gl_table.h"
#include "gfx/shaders.h"
#include "terrain/decals.h"
#include "terrain/grid_index.h"
#include "terrain/terrain_settings.h"
#include "terrain/terrain_textures.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

using namespace terrain_detail;

namespace {

enum pass { colour_pass, normal_pass, specular_pass };

enum step {
    tile_fill,
    colour_copy,
    colour_decals,
    colour_mipmaps,
    normal_all,
    specular_all,
    exchange,
};

int torture_test = -1;
// The copy from the old window is still to come (a real mask has 16 bits).
constexpr uint32_t kCopyWanted = ~0u;

uint32_t texture_of(const terrain_detail_level& level, pass p)
{
    return p == colour_pass ? level.colour_texture : p == normal_pass ? level.normal_texture : level.specular_texture;
}

uint32_t run_texture(const decal_run& run, pass p)
{
    return p == colour_pass ? run.texture : p == normal_pass ? run.normal_map : run.specular_map;
}

void quad(float x0, float z0, float x1, float z1, float s0, float t0, float s1, float t1)
{
    bvglBegin(GL_QUADS);
    imm_texcoord[0] = s0;
    imm_texcoord[1] = t0;
    bvglVertex3f(x0, 0, z0);
    imm_texcoord[0] = s1;
    bvglVertex3f(x1, 0, z0);
    imm_texcoord[1] = t1;
    bvglVertex3f(x1, 0, z1);
    imm_texcoord[0] = s0;
    bvglVertex3f(x0, 0, z1);
    bvglEnd();
    imm_texcoord[0] = imm_texcoord[1] = 0.0f;
}

void set_colour(float r, float g, float b, float a)
{
    imm_color[0] = r;
    imm_color[1] = g;
    imm_color[2] = b;
    imm_color[3] = a;
}

// The world rectangle of a window, world units.
struct rect {
    float x0, z0, x1, z1;
};

rect window_rect(const terrain_state* t, int32_t ox, int32_t oz, int32_t w)
{
    return {float(ox) * t->cell, float(oz) * t->cell, float(ox + w) * t->cell, float(oz + w) * t->cell};
}

bool begin_drawing(terrain_state* t, uint32_t texture, const rect& window)
{
    if (!terrain_framebuffer_bind(t, texture))
        return false;
    terrain_map_world(window.x0, window.z0, window.x1, window.z1);
    return true;
}

void finish_drawing(uint32_t texture)
{
    if (terrain_ground_mipmaps) {
        bvglBindTexture(GL_TEXTURE_2D, texture);
        bvglGenerateMipmap(GL_TEXTURE_2D);
    }
    bvglBindTexture(GL_TEXTURE_2D, 0);
}

// Sets up the program of a pass, with what it samples besides its main texture.
void use_pass(terrain_state* t, pass p)
{
    if (p != normal_pass) {
        gl_use_shader(shader_unlit);
        return;
    }
    gl_use_shader(shader_terrain_normals);
    bvglActiveTexture(GL_TEXTURE1);
    bvglBindTexture(GL_TEXTURE_2D, t->shadow_texture);
    // The shadow map spans the grid: world x and z over (N - 1) cells give 0..1.
    const float s = 1.0f / (t->cell * float(t->size - 1));
    bvglMatrixMode(GL_TEXTURE);
    bvglLoadIdentity();
    bvglRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    bvglScalef(s, 1.0f, s);
    bvglMatrixMode(GL_MODELVIEW);
    bvglActiveTexture(GL_TEXTURE0);
}

// The ground itself over the whole window: tiles, flat normals with the shading, or
// the plain specular base.
void draw_base(terrain_state* t, pass p)
{
    const float side = t->world_size;
    bvglDisable(GL_BLEND);
    set_colour(1, 1, 1, 1);
    if (p == colour_pass) {
        gl_use_shader(shader_tilemap);
        const int32_t c = terrain_atlas_columns(t->tile_count);
        gl_uniform_tilemap_dims(t->inv_cell, 1.0f / float(1 << t->n), 1.0f / float(c));
        bvglActiveTexture(GL_TEXTURE1);
        bvglBindTexture(GL_TEXTURE_2D, t->tilemap_texture);
        bvglActiveTexture(GL_TEXTURE0);
        bvglBindTexture(GL_TEXTURE_2D, t->tile_atlas);
        // The atlas level whose tiles are about as large as a tile in this texture.
        const terrain_detail_level& spare = t->detail_levels[kTerrainSpareLevel];
        const float wanted = 2.0f * float(t->detail_texture_size) / float(spare.window);
        int32_t j = 0;
        while (float((kTerrainAtlasSide / c) >> j) > (wanted > 1.0f ? wanted : 1.0f) && ((kTerrainAtlasSide / c) >> j) > 1)
            ++j;
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, j);
        bvglTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, j);
        quad(0, 0, side, side, 0, 0, 1, 1);
    } else if (p == normal_pass) {
        use_pass(t, normal_pass);
        bvglEnable(GL_BLEND);
        bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_normal_texture);
        // s grows with texture x, so the shader's turn of the normal is none.
        quad(0, 0, side, side, 0, 0, 1, 1);
    } else {
        gl_use_shader(shader_unlit);
        bvglBindTexture(GL_TEXTURE_2D, gl_state.gl_white_texture);
        set_colour(0, 1, 1, 1);
        quad(0, 0, side, side, 0, 0, 1, 1);
        set_colour(1, 1, 1, 1);
    }
}

// What the old window of the level holds that the new one needs; returns the mask
// of the sub-squares the copy filled completely.
uint32_t copy_old(terrain_state* t, const terrain_detail_level& old, const terrain_detail_level& fresh, pass p)
{
    const int32_t w = fresh.window;
    const int32_t x0 = old.origin_x > fresh.origin_x ? old.origin_x : fresh.origin_x;
    const int32_t z0 = old.origin_z > fresh.origin_z ? old.origin_z : fresh.origin_z;
    const int32_t x1 = old.origin_x + w < fresh.origin_x + w ? old.origin_x + w : fresh.origin_x + w;
    const int32_t z1 = old.origin_z + w < fresh.origin_z + w ? old.origin_z + w : fresh.origin_z + w;
    if (x1 <= x0 || z1 <= z0)
        return 0;
    gl_use_shader(shader_unlit);
    bvglDisable(GL_BLEND);
    set_colour(1, 1, 1, 1);
    bvglBindTexture(GL_TEXTURE_2D, texture_of(old, p));
    const float inv = 1.0f / float(w);
    quad(float(x0) * t->cell, float(z0) * t->cell, float(x1) * t->cell, float(z1) * t->cell,
         float(x0 - old.origin_x) * inv, float(z0 - old.origin_z) * inv, float(x1 - old.origin_x) * inv,
         float(z1 - old.origin_z) * inv);
    uint32_t mask = 0;
    const int32_t q = w / 4;
    for (int32_t r = 0; r < 4; ++r)
        for (int32_t c = 0; c < 4; ++c) {
            const int32_t sx = fresh.origin_x + c * q, sz = fresh.origin_z + r * q;
            if (sx >= x0 && sx + q <= x1 && sz >= z0 && sz + q <= z1)
                mask |= 1u << (r * 4 + c);
        }
    return mask;
}

// Texel position of a world coordinate in the window, rounded so neighbours share edges.
int32_t texel(float world, float origin, float span, int32_t side)
{
    const float v = (world - origin) / span * float(side);
    return int32_t(v + 0.5f);
}

// The decals of one sub-square, cell by cell, each clipped to its cell so a decal
// listed in two cells is drawn once.
void draw_sub_square(terrain_state* t, const terrain_detail_level& fresh, int32_t square, pass p)
{
    const int32_t q = fresh.window / 4;
    const int32_t sx = fresh.origin_x + (square % 4) * q, sz = fresh.origin_z + (square / 4) * q;
    const rect area{float(sx) * t->cell, float(sz) * t->cell, float(sx + q) * t->cell, float(sz + q) * t->cell};
    const rect window = window_rect(t, fresh.origin_x, fresh.origin_z, fresh.window);
    const float span = window.x1 - window.x0;
    const int32_t T = t->detail_texture_size;
    const float cell_side = t->world_size / float(kTerrainBucketsPerSide);

    use_pass(t, p);
    bvglEnable(GL_BLEND);
    bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    const int32_t c0 = decal_bucket_coordinate(t, area.x0), c1 = decal_bucket_coordinate(t, area.x1);
    const int32_t r0 = decal_bucket_coordinate(t, area.z0), r1 = decal_bucket_coordinate(t, area.z1);
    for (int32_t r = r0; r <= r1; ++r)
        for (int32_t c = c0; c <= c1; ++c) {
            const growable_array& runs = t->decal_runs[r][c];
            if (!runs.count)
                continue;
            const float bx0 = float(c) * cell_side, bz0 = float(r) * cell_side;
            const float x0 = area.x0 > bx0 ? area.x0 : bx0, z0 = area.z0 > bz0 ? area.z0 : bz0;
            const float x1 = area.x1 < bx0 + cell_side ? area.x1 : bx0 + cell_side;
            const float z1 = area.z1 < bz0 + cell_side ? area.z1 : bz0 + cell_side;
            const int32_t tx0 = texel(x0, window.x0, span, T), tx1 = texel(x1, window.x0, span, T);
            const int32_t tz0 = texel(z0, window.z0, span, T), tz1 = texel(z1, window.z0, span, T);
            if (tx1 <= tx0 || tz1 <= tz0)
                continue;
            bvglViewport(tx0, tz0, tx1 - tx0, tz1 - tz0);
            const float texel_world = span / float(T);
            terrain_map_world(window.x0 + float(tx0) * texel_world, window.z0 + float(tz0) * texel_world,
                              window.x0 + float(tx1) * texel_world, window.z0 + float(tz1) * texel_world);
            // Decals keep their own colours: the colour multiplies the image.
            bvglVertexAttrib4f(3, 1.0f, 1.0f, 1.0f, 1.0f);
            bvglBindVertexArray(t->decal_vertex_arrays[r][c]);
            int32_t first = 0;
            for (int32_t k = 0; k < runs.count; ++k) {
                const decal_run& run = static_cast<const decal_run*>(runs.items)[k];
                if (const uint32_t id = run_texture(run, p)) {
                    bvglBindTexture(GL_TEXTURE_2D, id);
                    bvglDrawArrays(GL_TRIANGLES, first, run.count * 6);
                }
                first += run.count * 6;
            }
            bvglBindVertexArray(0);
        }
    bvglViewport(0, 0, T, T);
    terrain_map_world(window.x0, window.z0, window.x1, window.z1);
}

// A whole pass into one spare texture: base, copy, the decals the copy left open.
void full_pass(terrain_state* t, const terrain_detail_level& old, const terrain_detail_level& fresh, pass p)
{
    const uint32_t target = texture_of(fresh, p);
    if (begin_drawing(t, target, window_rect(t, fresh.origin_x, fresh.origin_z, fresh.window))) {
        draw_base(t, p);
        if (t->redraw_copied)
            copy_old(t, old, fresh, p);
        for (int32_t square = 0; square < 16; ++square)
            if (!(t->redraw_copied & (1u << square)))
                draw_sub_square(t, fresh, square, p);
        finish_drawing(target);
    }
}

void swap_textures(terrain_detail_level& a, terrain_detail_level& b)
{
    std::swap(a.colour_texture, b.colour_texture);
    std::swap(a.normal_texture, b.normal_texture);
    std::swap(a.specular_texture, b.specular_texture);
}

// Newly appended decals go straight into every level: copy, draw them, exchange.
void appended_pass(terrain_state* t)
{
    terrain_detail_level& spare = t->detail_levels[kTerrainSpareLevel];
    for (int32_t k = 0; k < t->detail_level_count; ++k) {
        terrain_detail_level& level = t->detail_levels[k];
        const rect window = window_rect(t, level.origin_x, level.origin_z, level.window);
        for (pass p : {colour_pass, normal_pass, specular_pass}) {
            const uint32_t target = texture_of(spare, p);
            if (!begin_drawing(t, target, window))
                continue;
            gl_use_shader(shader_unlit);
            bvglDisable(GL_BLEND);
            set_colour(1, 1, 1, 1);
            bvglBindTexture(GL_TEXTURE_2D, texture_of(level, p));
            quad(window.x0, window.z0, window.x1, window.z1, 0, 0, 1, 1);
            use_pass(t, p);
            bvglEnable(GL_BLEND);
            bvglBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
            bvglVertexAttrib4f(3, 1.0f, 1.0f, 1.0f, 1.0f);
            bvglBindVertexArray(t->appended_vertex_array);
            int32_t first = 0;
            for (int32_t r = 0; r < t->appended_runs.count; ++r) {
                const decal_run& run = static_cast<const decal_run*>(t->appended_runs.items)[r];
                if (const uint32_t id = run_texture(run, p)) {
                    bvglBindTexture(GL_TEXTURE_2D, id);
                    bvglDrawArrays(GL_TRIANGLES, first, run.count * 6);
                }
                first += run.count * 6;
            }
            bvglBindVertexArray(0);
            finish_drawing(target);
        }
        swap_textures(level, spare);
    }
}

// One piece of work; 0 when there was nothing to do.
int redraw_step(terrain_state* t)
{
    terrain_detail_level& spare = t->detail_levels[kTerrainSpareLevel];
    if (t->redraw_level == kTerrainSpareLevel) {
        if (t->appended_pending > 0) {
            appended_pass(t);
            t->appended_pending = 0;
            return 1;
        }
        int32_t x = 0, z = 0;
        const int32_t k = terrain_pick_level(t, &x, &z);
        if (k < 0)
            return 0;
        const terrain_detail_level& level = t->detail_levels[k];
        t->redraw_level = k;
        t->redraw_step = tile_fill;
        spare.origin_x = x;
        spare.origin_z = z;
        spare.window = level.window;
        spare.redraw = 0;
        // A level asked to redraw has stale content: nothing of it is kept.
        t->redraw_copied = (level.redraw & 2) ? 0 : kCopyWanted;
        t->redraw_mask = 0;
    }
    terrain_detail_level& level = t->detail_levels[t->redraw_level];
    const rect window = window_rect(t, spare.origin_x, spare.origin_z, spare.window);
    switch (t->redraw_step) {
    case tile_fill:
        if (begin_drawing(t, spare.colour_texture, window))
            draw_base(t, colour_pass);
        t->redraw_step = colour_copy;
        break;
    case colour_copy:
        if (t->redraw_copied == kCopyWanted) {
            t->redraw_copied = 0;
            if (begin_drawing(t, spare.colour_texture, window))
                t->redraw_copied = copy_old(t, level, spare, colour_pass);
        }
        t->redraw_mask = t->redraw_copied;
        t->redraw_step = colour_decals;
        break;
    case colour_decals: {
        int32_t square = 0;
        while (square < 16 && (t->redraw_mask & (1u << square)))
            ++square;
        if (square < 16) {
            if (begin_drawing(t, spare.colour_texture, window))
                draw_sub_square(t, spare, square, colour_pass);
            t->redraw_mask |= 1u << square;
            break;
        }
        t->redraw_step = colour_mipmaps;
        [[fallthrough]];
    }
    case colour_mipmaps:
        finish_drawing(spare.colour_texture);
        t->redraw_step = normal_all;
        break;
    case normal_all:
        full_pass(t, level, spare, normal_pass);
        t->redraw_step = specular_all;
        break;
    case specular_all:
        full_pass(t, level, spare, specular_pass);
        t->redraw_step = exchange;
        break;
    default:
        swap_textures(level, spare);
        level.origin_x = spare.origin_x;
        level.origin_z = spare.origin_z;
        level.redraw &= ~2;
        t->redraw_level = kTerrainSpareLevel;
        t->redraw_step = tile_fill;
        break;
    }
    return 1;
}

bool any_served(const terrain_state* t)
{
    for (int32_t k = 0; k < t->detail_level_count; ++k)
        if (t->detail_levels[k].redraw & 2)
            return true;
    return false;
}

// About two dozen steps redraw one level; the bound only guards against a level that
// could never be placed.
constexpr int32_t kFirstDrawSteps = 1000;

bool never_drawn(const terrain_state* t)
{
    // Levels start with their window off the grid (origin N) until first drawn.
    for (int32_t k = 0; k < t->detail_level_count; ++k)
        if (t->detail_levels[k].origin_x >= t->size)
            return true;
    return false;
}

void idle_upkeep(terrain_state* t)
{
    for (int32_t cell = 0; cell < kTerrainBucketsPerSide * kTerrainBucketsPerSide; ++cell)
        if (t->changed_cells & (uint64_t{1} << cell)) {
            terrain_decal_geometry_cell(t, cell / kTerrainBucketsPerSide, cell % kTerrainBucketsPerSide);
            t->changed_cells &= ~(uint64_t{1} << cell);
        }
    for (int32_t k = 0; k < t->detail_level_count; ++k)
        t->detail_levels[k].redraw = (t->detail_levels[k].redraw << 1) & 3;
    if (t->appended_decals > 0) {
        terrain_decal_geometry_appended(t, t->appended_decals);
        t->appended_pending = t->appended_decals;
    }
    t->appended_decals = 0;
}

}  // namespace

void terrain_update_textures(terrain_state* t)
{
    if (torture_test < 0) {
        const char* value = getenv("BV_TERRAIN_TEXTURE_TORTURE");
        torture_test = value && atoi(value) > 0 ? 1 : 0;
        if (torture_test)
            fprintf(stderr, "Terrain texture torture test enabled!\n");
    }
    if (!t->detail_framebuffer || t->detail_level_count <= 0)
        return;
    gl_use_shader(shader_unlit);
    gl_replay_queue();
    GLint viewport[4] = {0, 0, 0, 0};
    gl.GetIntegerv(GL_VIEWPORT, viewport);
    bvglMatrixMode(GL_PROJECTION);
    bvglPushMatrix();
    bvglMatrixMode(GL_MODELVIEW);
    bvglPushMatrix();
    // Texture-space quads are seen from below; nothing here is to be culled.
    bvglDisable(GL_CULL_FACE);
    bvglActiveTexture(GL_TEXTURE0);
    bvglMatrixMode(GL_TEXTURE);
    bvglLoadIdentity();
    bvglMatrixMode(GL_MODELVIEW);

    if (t->redraw_level == kTerrainSpareLevel && !any_served(t))
        idle_upkeep(t);
    t->camera_cell_x = floor_index(double(t->camera_position[0]) * t->inv_cell);
    t->camera_cell_z = floor_index(double(t->camera_position[2]) * t->inv_cell);
    if (!torture_test) {
        redraw_step(t);
        // A level not drawn since the load is black: the first frame of a track draws
        // them whole rather than show black ground while they come piece by piece.
        for (int32_t guard = 0; never_drawn(t) && guard < kFirstDrawSteps && redraw_step(t); ++guard) {
        }
    } else {
        for (int32_t k = 0; k < t->detail_level_count; ++k)
            t->detail_levels[k].redraw |= 2;
        while (redraw_step(t)) {
        }
    }

    bvglBindFramebuffer(GL_FRAMEBUFFER, 0);
    bvglViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    bvglActiveTexture(GL_TEXTURE1);
    bvglMatrixMode(GL_TEXTURE);
    bvglLoadIdentity();
    bvglActiveTexture(GL_TEXTURE0);
    bvglMatrixMode(GL_PROJECTION);
    bvglPopMatrix();
    bvglMatrixMode(GL_MODELVIEW);
    bvglPopMatrix();
    bvglEnable(GL_CULL_FACE);
    bvglEnable(GL_DEPTH_TEST);
    bvglDepthMask(GL_TRUE);
    bvglDisable(GL_BLEND);
    gl_use_shader(shader_unlit);
}

void terrain_set_torture_test(int on)
{
    torture_test = on ? 1 : 0;
}

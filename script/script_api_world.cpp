// Natives: the ground, the camera, and the track's billboards and statues.
#include "script/script_api.h"
#include "script/script_host.h"
#include "script/script_seams.h"
#include "script/script_tables.h"

#include "gfx/model.h"
#include "gfx/texture_cache.h"
#include "terrain/billboards.h"
#include "terrain/statues.h"
#include "terrain/terrain_queries.h"
#include "terrain/terrain_state.h"
#include "terrain/track_list.h"
#include "view/render_world.h"

#include <algorithm>
#include <cmath>

using namespace script_api;

duk_ret_t script_get_elevation(duk_context* ctx)
{
    const float x = arg_float(ctx, 0), z = arg_float(ctx, 1);
    if (!track_terrain.heights)
        return give(ctx, 0);
    return give(ctx, terrain_height_at(&track_terrain, x, z));
}

duk_ret_t script_get_tile_number(duk_context* ctx)
{
    double x = arg_number(ctx, 0), z = arg_number(ctx, 1);
    const terrain_state& t = track_terrain;
    if (!t.tile_map || t.n < 0)
        return give(ctx, 0);
    if (std::isnan(x))
        x = 0;
    if (std::isnan(z))
        z = 0;
    const double s = t.inv_cell * 0.5;
    const double last = double((1 << t.n) - 1);
    const int64_t column = x * s < 0 ? 0 : int64_t(std::min(x * s, last));
    const int64_t row = z * s < 0 ? 0 : int64_t(std::min(z * s, last));
    return give(ctx, t.tile_map[column + (row << t.n)]);
}

duk_ret_t script_get_camera_location(duk_context* ctx)
{
    float position[3], rotation[9];
    for (int i = 0; i < 3; ++i)
        position[i] = current_camera.position[i];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            rotation[3 * r + c] = current_camera.rotation[3 * c + r];
    duk_push_number(ctx, 1);
    script_put_floats(ctx, 0, position, 3);
    script_put_floats(ctx, 1, rotation, 9);
    return 1;
}

namespace {

// Billboards by relative index 0..last only.
billboard* own_billboard(int32_t index)
{
    const int64_t a = int64_t(index) + first_track_billboard;
    if (index < 0 || a >= billboard_count())
        return nullptr;
    return billboard_at(int32_t(a));
}

uint8_t colour_byte(double v)
{
    if (std::isnan(v))
        v = 0;
    v = std::clamp(v, 0.0, 1.0);
    return uint8_t(v * 255 + 0.5);
}

int64_t search_start(int32_t start, int32_t first)
{
    return std::max<int64_t>(0, int64_t(start) + first);
}

} // namespace

duk_ret_t script_move_billboard(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const float x = arg_float(ctx, 1), h = arg_float(ctx, 2), z = arg_float(ctx, 3);
    billboard* b = own_billboard(index);
    if (!b)
        return give(ctx, 0);
    b->x = x;
    b->z = z;
    b->y = (track_terrain.heights ? terrain_height_at(&track_terrain, x, z) : 0.0f) + h;
    return give(ctx, 1);
}

duk_ret_t script_move_billboard_absolute(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const float x = arg_float(ctx, 1), y = arg_float(ctx, 2), z = arg_float(ctx, 3);
    billboard* b = own_billboard(index);
    if (!b)
        return give(ctx, 0);
    b->x = x;
    b->y = y;
    b->z = z;
    return give(ctx, 1);
}

duk_ret_t script_size_billboard(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const float size = arg_float(ctx, 1);
    billboard* b = own_billboard(index);
    if (!b)
        return give(ctx, 0);
    b->size = size;
    return give(ctx, 1);
}

duk_ret_t script_color_billboard(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    uint8_t rgba[4];
    for (int i = 0; i < 4; ++i)
        rgba[i] = colour_byte(arg_number(ctx, 1 + i));
    billboard* b = own_billboard(index);
    if (!b)
        return give(ctx, 0);
    for (int i = 0; i < 4; ++i)
        b->colour[i] = rgba[i];
    return give(ctx, 1);
}

duk_ret_t script_find_billboard(duk_context* ctx)
{
    const char* name = arg_text(ctx, 0);
    const int32_t start = arg_int(ctx, 1);
    uint32_t id = 0;
    if (*name) {
        id = texture_find(name);
        if (!id)
            return give(ctx, -1);
    }
    for (int64_t a = search_start(start, first_track_billboard); a < billboard_count(); ++a)
        if (billboard_at(int32_t(a))->texture == id)
            return give(ctx, double(a - first_track_billboard));
    return give(ctx, -1);
}

duk_ret_t script_add_billboard(duk_context* ctx)
{
    const float x = arg_float(ctx, 0), h = arg_float(ctx, 1), z = arg_float(ctx, 2);
    const float size = arg_float(ctx, 3), aspect = arg_float(ctx, 4);
    const char* name = arg_text(ctx, 5);
    if (!script_loading)
        return give(ctx, -1);
    // The colour prefix comes off before the name is checked; the texture loader takes it whole.
    uint8_t rgba[4];
    const char* file = billboard_colour_prefix(name, rgba);
    if (*name && !script_path_allowed(file[0] == '!' ? file + 1 : file))
        return give(ctx, -1);
    if (script_added.billboard_first >= 0 &&
        script_added.billboard_end - script_added.billboard_first >= script_limit.max_added_billboards)
        return give(ctx, -1);
    const int32_t before = billboard_count();
    const int index = create_billboard(x, h, z, size, aspect, *name ? name : nullptr);
    if (index < 0)
        return give(ctx, -1);
    if (script_added.billboard_first < 0)
        script_added.billboard_first = before;
    script_added.billboard_end = billboard_count();
    return give(ctx, index - first_track_billboard);
}

duk_ret_t script_find_statue(duk_context* ctx)
{
    const char* model_name = arg_text(ctx, 0);
    const char* skin_name = arg_text(ctx, 1);
    const int32_t start = arg_int(ctx, 2);
    model* mesh = nullptr;
    uint32_t skin = 0;
    if (*model_name && !(mesh = model_find(model_name)))
        return give(ctx, -1);
    if (*skin_name && !(skin = texture_find(skin_name)))
        return give(ctx, -1);
    for (int64_t a = search_start(start, first_track_statue); a < statue_count(); ++a) {
        const statue* s = statue_at(int32_t(a));
        if ((!mesh || s->mesh == mesh) && (!skin || s->texture == skin))
            return give(ctx, double(a - first_track_statue));
    }
    return give(ctx, -1);
}

duk_ret_t script_add_statue(duk_context* ctx)
{
    const float x = arg_float(ctx, 0), h = arg_float(ctx, 1), z = arg_float(ctx, 2), angle = arg_float(ctx, 3);
    const char* model_name = arg_text(ctx, 4);
    const char* skin_name = arg_text(ctx, 5);
    (void)arg_text(ctx, 6);
    if (!script_loading)
        return give(ctx, -1);
    if ((*model_name && !script_path_allowed(model_name)) ||
        (*skin_name && !script_path_allowed(skin_name[0] == '!' ? skin_name + 1 : skin_name)))
        return give(ctx, -1);
    if (script_added.statue_first >= 0 &&
        script_added.statue_end - script_added.statue_first >= script_limit.max_added_statues)
        return give(ctx, -1);
    const int32_t before = statue_count();
    const int index = create_statue(x, h, z, angle, *model_name ? model_name : nullptr,
                                    *skin_name ? skin_name : nullptr, nullptr);
    if (index < 0)
        return give(ctx, -1);
    if (script_added.statue_first < 0)
        script_added.statue_first = before;
    script_added.statue_end = statue_count();
    return give(ctx, index - first_track_statue);
}

duk_ret_t script_move_statue(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const float x = arg_float(ctx, 1), h = arg_float(ctx, 2), z = arg_float(ctx, 3), angle = arg_float(ctx, 4);
    statue* s = statue_of(index);
    if (!s || s->shape)
        return give(ctx, 0);
    s->x = x;
    s->height_above_ground = h;
    s->z = z;
    s->angle = angle;
    place_statue(s);
    track_terrain.change_flags = 7;
    return give(ctx, 1);
}

duk_ret_t script_move_statue_absolute(duk_context* ctx)
{
    const int32_t index = arg_int(ctx, 0);
    const float x = arg_float(ctx, 1), y = arg_float(ctx, 2), z = arg_float(ctx, 3);
    float rotation[9];
    script_get_floats(ctx, 4, rotation, 9);
    statue* s = statue_of(index);
    if (!s || s->shape)
        return give(ctx, 0);
    s->x = x;
    s->y = y;
    s->z = z;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            s->rotation[3 * c + r] = rotation[3 * r + c];
    track_terrain.change_flags = 7;
    return give(ctx, 1);
}

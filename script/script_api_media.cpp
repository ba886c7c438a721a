// Natives: textures and their custom frames, and the script's positioned sounds.
#include "script/script_api.h"
#include "script/script_seams.h"
#include "script/script_tables.h"

#include "gfx/anim_texture.h"
#include "gfx/texture_cache.h"
#include "view/script_sounds.h"

using namespace script_api;

duk_ret_t script_read_texture(duk_context* ctx)
{
    const char* name = arg_text(ctx, 0);
    if (!script_path_allowed(name[0] == '!' ? name + 1 : name))
        return give(ctx, 0);
    return give(ctx, texture_load(name));
}

duk_ret_t script_begin_custom_frame(duk_context* ctx)
{
    return give(ctx, texture_begin_custom_frame(uint32_t(arg_int(ctx, 0))));
}

duk_ret_t script_end_custom_frame(duk_context* ctx)
{
    return give(ctx, texture_end_custom_frame(uint32_t(arg_int(ctx, 0))));
}

// The script names the destination before the source; the texture side takes the source first.
duk_ret_t script_paste_custom_frame(duk_context* ctx)
{
    const int32_t id = arg_int(ctx, 0);
    const int32_t image = arg_int(ctx, 1);
    const float dest_x = arg_float(ctx, 2), dest_y = arg_float(ctx, 3);
    const float source_x = arg_float(ctx, 4), source_y = arg_float(ctx, 5);
    const float width = arg_float(ctx, 6), height = arg_float(ctx, 7);
    return give(ctx, texture_paste_custom_frame(uint32_t(id), image, source_x, source_y, dest_x, dest_y, width, height));
}

duk_ret_t script_add_sound(duk_context* ctx)
{
    const char* name = arg_text(ctx, 0);
    if (!script_path_allowed(name))
        return give(ctx, -1);
    return give(ctx, sound_add(name));
}

duk_ret_t script_start_sound(duk_context* ctx)
{
    return give(ctx, sound_start(arg_int(ctx, 0)));
}

duk_ret_t script_stop_sound(duk_context* ctx)
{
    return give(ctx, sound_stop(arg_int(ctx, 0)));
}

duk_ret_t script_set_sound_loop(duk_context* ctx)
{
    return give(ctx, sound_set_loop(arg_int(ctx, 0), arg_int(ctx, 1)));
}

duk_ret_t script_set_sound_freq(duk_context* ctx)
{
    return give(ctx, sound_set_freq(arg_int(ctx, 0), arg_float(ctx, 1)));
}

duk_ret_t script_set_sound_vol(duk_context* ctx)
{
    return give(ctx, sound_set_vol(arg_int(ctx, 0), arg_float(ctx, 1)));
}

duk_ret_t script_set_sound_pos(duk_context* ctx)
{
    const int32_t id = arg_int(ctx, 0);
    const float position[3] = {arg_float(ctx, 1), arg_float(ctx, 2), arg_float(ctx, 3)};
    return give(ctx, sound_set_pos(id, position));
}

duk_ret_t script_set_sound_vel(duk_context* ctx)
{
    const int32_t id = arg_int(ctx, 0);
    const float velocity[3] = {arg_float(ctx, 1), arg_float(ctx, 2), arg_float(ctx, 3)};
    return give(ctx, sound_set_vel(id, velocity));
}

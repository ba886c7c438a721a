// The models and textures a bike is drawn with, and their textured variants: a
// texture named "base-variant-colour.png" asks for models named "<model>-variant.jm"
// and shares the normal and specular maps of "base-variant".
#include "sim/bike_looks.h"

#include "sim/bike_build.h"
#include "sim/bike_graphics.h"

#include "foundation/text/text_util.h"
#include "foundation/front_door.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void warn_missing(const char* name)
{
    char message[1024];
    snprintf(message, sizeof message, "Warning: Can't load %.900s", name);
    console_print(message);
}

const char* file_part(const char* name)
{
    const char* slash = strrchr(name, '/');
    return slash ? slash + 1 : name;
}

model* plain_model(const char* name, int warn)
{
    model* m = bike_graphics_get()->model_get(name);
    if (!m && warn)
        warn_missing(name);
    return m;
}

// texture_load of the name with its extension replaced by suffix; 0 without one.
uint32_t texture_with_suffix(const char* name, const char* suffix)
{
    const char* dot = strrchr(name, '.');
    if (!dot || dot < file_part(name))
        return 0;
    const std::string replaced = std::string(name, static_cast<size_t>(dot - name)) + suffix;
    return bike_graphics_get()->texture_load(replaced.c_str());
}

uint32_t first_found(const char* name, const char* const suffixes[3])
{
    for (int i = 0; i < 3; ++i)
        if (uint32_t id = texture_with_suffix(name, suffixes[i]))
            return id;
    return 0;
}

void fill_maps(const char* name, uint32_t* normal, uint32_t* specular)
{
    static const char* const normals[3] = {"_norm.seq", "_norm.png", "_norm.ppm"};
    static const char* const speculars[3] = {"_spec.seq", "_spec.png", "_spec.ppm"};
    if (!*normal)
        *normal = first_found(name, normals);
    if (!*specular)
        *specular = first_found(name, speculars);
}

}  // namespace

int variant_name(char* out, int out_size, const char* name, const char* texture_name, const char* extension)
{
    if (!name || !texture_name)
        return 0;
    const char* texture_file = file_part(texture_name);
    const char* first = strchr(texture_file, '-');
    const char* next = first ? strchr(first + 1, '-') : nullptr;
    if (!next)
        return 0;
    const char* name_file = file_part(name);
    const char* end = strchr(name_file, '-');
    if (!end) {
        end = strrchr(name, '.');
        if (!end || end < name_file)
            return 0;
    }
    const std::string variant = std::string(name, static_cast<size_t>(end - name)) +
                                std::string(first, static_cast<size_t>(next - first)) + extension;
    if (static_cast<int>(variant.size()) >= out_size)
        return 0;
    memcpy(out, variant.c_str(), variant.size() + 1);
    return 1;
}

model* bike_model_load(const char* model_name, const char* texture_name, int warn)
{
    char variant[512];
    if (!texture_name || !variant_name(variant, sizeof variant, model_name, texture_name, ".jm"))
        return plain_model(model_name, warn);
    if (model* m = bike_graphics_get()->model_get(variant))
        return m;
    const char* slash = strrchr(texture_name, '/');
    if (!slash) {
        if (warn)
            warn_missing(variant);
        return nullptr;
    }
    // Beside the texture: the variant's file part in the texture's folder.
    const char* part = file_part(variant);
    if (part == variant && *part == '@')
        ++part;
    const std::string beside = std::string(texture_name, static_cast<size_t>(slash + 1 - texture_name)) + part;
    if (model* m = bike_graphics_get()->model_get(beside.c_str()))
        return m;
    if (warn) {
        char message[1024];
        snprintf(message, sizeof message, "Warning: Can't load %.450s or %.450s", variant, beside.c_str());
        console_print(message);
    }
    return nullptr;
}

void texture_maps_find(const char* texture_name, const char* default_texture_name, uint32_t* normal,
                       uint32_t* specular)
{
    *normal = *specular = 0;
    if (!texture_name)
        return;
    fill_maps(texture_name, normal, specular);
    char stem[512];
    if ((!*normal || !*specular) && variant_name(stem, sizeof stem, texture_name, texture_name, ".foo"))
        fill_maps(stem, normal, specular);
    if ((!*normal || !*specular) && default_texture_name &&
        variant_name(stem, sizeof stem, default_texture_name, texture_name, ".foo"))
        fill_maps(stem, normal, specular);
}

namespace {

uint32_t load_texture(const char* name)
{
    return name ? bike_graphics_get()->texture_load(name) : 0;
}

void load_bike_models(rider_slot* r, const bike_info* b, const char* texture)
{
    r->frame_model = bike_model_load(b->file_names[bike_file_frame_model], texture, 1);
    r->side_plates_model = bike_model_load(b->file_names[bike_file_side_plates_model], texture, 1);
    r->fork_upper_model = bike_model_load(b->file_names[bike_file_fork_upper_model], texture, 1);
    r->front_plate_model = bike_model_load(b->file_names[bike_file_front_plate_model], texture, 1);
    r->fork_lower_model = bike_model_load(b->file_names[bike_file_fork_lower_model], texture, 1);
    r->swingarm_model = bike_model_load(b->file_names[bike_file_swingarm_model], texture, 1);
}

void load_wheel_models(rider_slot* r, const bike_info* b, const char* texture)
{
    r->front_wheel_model = bike_model_load(b->file_names[bike_file_front_wheel_model], texture, 1);
    r->rear_wheel_model = bike_model_load(b->file_names[bike_file_rear_wheel_model], texture, 1);
}

void load_rider_models(rider_slot* r, const bike_info* b, const char* texture)
{
    r->rider_plate_model = bike_model_load(b->file_names[bike_file_rider_plate_model], texture, 0);
    r->rider_body_model = bike_model_load(b->file_names[bike_file_rider_body_model], texture, 1);
    r->rider_body_fp_model = bike_model_load(b->file_names[bike_file_rider_body_fp_model], texture, 0);
}

void load_head_model(rider_slot* r, const bike_info* b, const char* texture)
{
    r->head_model = bike_model_load(b->file_names[bike_file_head_model], texture, 1);
}

// The name of the texture a set ended up with (the given one, else the default).
const char* in_use(const char* given, uint32_t given_id, const char* default_name)
{
    return given && given_id ? given : default_name;
}

}  // namespace

void bike_load_looks(rider_slot* r, const bike_info* b, const char* rider_texture, const char* head_texture,
                     const char* bike_texture, const char* wheel_texture)
{
    r->bike_textures = r->wheel_textures = r->rider_textures = r->head_textures = texture_set{};
    r->bike_textures.colour = load_texture(bike_texture);
    r->wheel_textures.colour = load_texture(wheel_texture);
    r->rider_textures.colour = load_texture(rider_texture);
    r->head_textures.colour = load_texture(head_texture);
    const uint32_t given_bike = r->bike_textures.colour, given_wheel = r->wheel_textures.colour;
    const uint32_t given_rider = r->rider_textures.colour, given_head = r->head_textures.colour;

    load_bike_models(r, b, bike_texture);
    load_wheel_models(r, b, wheel_texture);
    load_rider_models(r, b, rider_texture);
    load_head_model(r, b, head_texture);

    // Whatever is missing falls back to the bike's own default texture and models.
    const auto& names = b->file_names;
    if (!r->bike_textures.colour || !r->frame_model) {
        r->bike_textures.colour = load_texture(names[bike_file_bike_texture]);
        load_bike_models(r, b, names[bike_file_bike_texture]);
    }
    if (!r->wheel_textures.colour || !r->front_wheel_model || !r->rear_wheel_model) {
        r->wheel_textures.colour = load_texture(names[bike_file_wheel_texture]);
        load_wheel_models(r, b, names[bike_file_wheel_texture]);
    }
    if (!r->rider_textures.colour || !r->rider_body_model) {
        r->rider_textures.colour = load_texture(names[bike_file_rider_texture]);
        load_rider_models(r, b, names[bike_file_rider_texture]);
    }
    if (!r->head_textures.colour || !r->head_model) {
        r->head_textures.colour = load_texture(names[bike_file_head_texture]);
        load_head_model(r, b, names[bike_file_head_texture]);
    }

    // The number plate in the colours the bike texture's tags ask for.
    const bike_graphics* gfx = bike_graphics_get();
    uint8_t background[3] = {255, 255, 255}, foreground[3] = {0, 0, 0};
    if (const char* info = r->bike_textures.colour ? gfx->texture_info(r->bike_textures.colour) : nullptr) {
        parse_colour_tag(info, "[numberbackground:", background);
        parse_colour_tag(info, "[numberforeground:", foreground);
    }
    r->number_texture = gfx->number_texture_create(r->number, 128, 128, background, foreground);

    struct maps_request {
        const char* name;
        const char* default_name;
        texture_set* set;
    } const requests[] = {
        {in_use(bike_texture, given_bike, names[bike_file_bike_texture]), names[bike_file_bike_texture],
         &r->bike_textures},
        {in_use(wheel_texture, given_wheel, names[bike_file_wheel_texture]), names[bike_file_wheel_texture],
         &r->wheel_textures},
        {in_use(rider_texture, given_rider, names[bike_file_rider_texture]), names[bike_file_rider_texture],
         &r->rider_textures},
        {in_use(head_texture, given_head, names[bike_file_head_texture]), names[bike_file_head_texture],
         &r->head_textures},
    };
    for (const maps_request& q : requests)
        texture_maps_find(q.name, q.default_name, &q.set->normal, &q.set->specular);
}

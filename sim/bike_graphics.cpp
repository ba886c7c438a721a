#include "sim/bike_graphics.h"

#include "gfx/gl_layer.h"
#include "gfx/model.h"
#include "gfx/texture_cache.h"
#include "gfx/texture_upload.h"

namespace {

// A 128 x 128 RGBA plate with its mip chain.
constexpr int64_t number_texture_bytes = 87381;

void engine_delete_number_texture(uint32_t id)
{
    const GLuint name = id;
    bvglDeleteTextures(1, &name);
    texture_memory -= number_texture_bytes;
}

void engine_push_matrix(const float matrix[16])
{
    bvglPushMatrix();
    bvglMultMatrixf(matrix);
}

const bike_graphics engine_table = {
    texture_load, texture_name, texture_info, model_get, number_texture_create, engine_delete_number_texture,
    engine_push_matrix,
};

uint32_t null_texture_load(const char*) { return 0; }
const char* null_texture_text(uint32_t) { return nullptr; }
model* null_model_get(const char*) { return nullptr; }
uint32_t null_number_texture(const char*, int, int, const uint8_t*, const uint8_t*) { return 0; }
void null_delete_texture(uint32_t) {}
void null_push_matrix(const float*) {}

const bike_graphics null_table = {
    null_texture_load, null_texture_text, null_texture_text, null_model_get, null_number_texture,
    null_delete_texture, null_push_matrix,
};

const bike_graphics* current = &engine_table;

}  // namespace

const bike_graphics* bike_graphics_get()
{
    return current;
}

void bike_graphics_install(const bike_graphics* table)
{
    current = table ? table : &engine_table;
}

const bike_graphics* bike_graphics_null()
{
    return &null_table;
}

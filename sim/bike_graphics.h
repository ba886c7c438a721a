// The graphics calls a bike makes while it is built, destroyed and drawn. They go
// through this table so the simulation runs with no GL at all: the program uses the
// graphics engine's functions (the default), headless tests install their own.
#pragma once
#include <cstdint>

struct model;

struct bike_graphics {
    uint32_t (*texture_load)(const char* name);
    const char* (*texture_name)(uint32_t id);
    const char* (*texture_info)(uint32_t id);
    model* (*model_get)(const char* name);
    uint32_t (*number_texture_create)(const char* text, int w, int h, const uint8_t background[3],
                                      const uint8_t foreground[3]);
    void (*delete_number_texture)(uint32_t id);    // also takes its bytes off texture_memory
    void (*push_matrix)(const float matrix[16]);   // push, then multiply by the column-major matrix
};

// The table in use; never null.
const bike_graphics* bike_graphics_get();
// Installs a table (null restores the graphics engine's).
void bike_graphics_install(const bike_graphics* table);
// A table whose loads answer 0 / null and whose other calls do nothing.
const bike_graphics* bike_graphics_null();

// The texture cache: every texture of the program is loaded once by its file name
// and returned as a GL texture id (0 = failure). "LINK" files alias one name to
// another; a generation stamp per record lets a track load drop the textures of the
// previous track in one purge. Main thread only, GL context current.
#pragma once
#include <cstdint>

#include "gfx/texture_upload.h"

struct growable_array;

struct texture_record {
    uint32_t tid;
    uint32_t generation;   // 0 = permanent (loaded before the first track)
    int32_t memory;        // bytes its load added to texture_memory
    char* info;            // PNG text chunks and ".info" sidecar, or null
    char* name;            // as loaded: without the '!' prefix, aliases applied
};

// Only the track loader raises it.
extern uint32_t texture_generation;

// A data-file name; a leading '!' turns the detail reduction off for a first load.
uint32_t texture_load(const char* name);
// Cached texture by exact name, else by a name equal but for letter case (warned).
// A hit re-stamps the record's generation.
uint32_t texture_find(const char* name);
const char* texture_name(uint32_t id);
const char* texture_info(uint32_t id);
// Deletes textures of older generations (all != 0: everything, and the tables).
void texture_purge(int all);

// When name ends with suffix: texture_load of the name with that ending replaced by
// new_suffix. 0 otherwise, or when that does not load.
uint32_t texture_load_replacing_suffix(const char* name, const char* suffix, const char* new_suffix);

// The records in load order (for tools and tests).
int texture_record_count();
const texture_record* texture_record_at(int i);

// The animation table (pointers to anim_texture), null before the first load.
growable_array* texture_animation_table();

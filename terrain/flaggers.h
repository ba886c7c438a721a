// Flaggers: the marshals beside the course, each a billboard that shows one of two
// textures by the state of up to four timing gates, read from the track's optional
// "flaggers" file. Two shared sprites (the head of the file) go with them.
#pragma once
#include <cstdint>

#include "foundation/growable_array.h"

struct flagger {
    int32_t billboard;
    uint32_t texture_a;
    uint32_t texture_b;
    int32_t gates[4];           // timing-gate indices, -1 = none
};

struct flagger_template {
    int32_t sprite1_billboard;  // -1 when the file has no head
    uint32_t sprite1_textures[5];
    float sprite1_from[3];      // where the file put it: x, height above ground, z
    float sprite1_vector[3];    // where it walks to, the same way
    float sprite1_extra;
    int32_t sprite2_billboard;
    uint32_t sprite2_textures[4];
};

extern growable_array flaggers;         // of flagger
extern flagger_template flagger_head;

// Empties the table and the head for a track load.
void flaggers_reset();
void flaggers_free();
// Reads the file at a data path (nothing when missing); any short read stops it and
// keeps what was read. Gate indices are clamped to -1..checkpoint count - 1.
void flaggers_read(const char* path);
